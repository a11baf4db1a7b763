#include "os/win32/accessible.h"

#include <ole2.h>

#include <oleacc.h>

#include <new>
#include <string>

namespace os::win32
{
    namespace
    {
        // IAccessible's identifier, written out so that no import library is needed.
        constexpr IID kIidAccessible = { 0x618736e0, 0x3c3d, 0x11cf, { 0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71 } };
        // The window property that holds the window's object (one reference).
        constexpr wchar_t kProperty[] = L"NorvaleAccessibleObject";

        // oleacc.dll's calls, found when a screen reader first asks and kept until
        // the process ends.
        class Oleacc
        {
          public:
            static Oleacc& Get()
            {
                static Oleacc functions;
                return functions;
            }
            Oleacc(const Oleacc&) = delete;
            Oleacc& operator=(const Oleacc&) = delete;
            ~Oleacc()
            {
                if (_module)
                    FreeLibrary(_module);
            }

            using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
            using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
            LresultFromObjectFn lresultFromObject = nullptr;
            CreateStdAccessibleObjectFn createStdAccessibleObject = nullptr;

          private:
            Oleacc()
            {
                _module = LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
                if (!_module)
                    return;
                lresultFromObject = Find<LresultFromObjectFn>("LresultFromObject");
                createStdAccessibleObject = Find<CreateStdAccessibleObjectFn>("CreateStdAccessibleObject");
            }
            template <typename F> F Find(const char* name)
            {
                return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(_module, name)));
            }

            HMODULE _module = nullptr;
        };

        // Whether this thread's COM initialisation is ours to balance.
        thread_local bool comInitialisedHere = false;

        // Handing an object to another process marshals it, which needs COM on this
        // thread. A thread whose COM is already initialised (in either apartment
        // model) keeps it; otherwise this one joins a single-threaded apartment, as
        // a thread with windows should.
        bool EnsureCom()
        {
            if (comInitialisedHere)
                return true;
            const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            if (hr == S_OK)
            {
                comInitialisedHere = true;
                return true;
            }
            if (hr == S_FALSE)
            {
                // Someone else initialised it: keep their count as it was.
                CoUninitialize();
                return true;
            }
            return hr == RPC_E_CHANGED_MODE; // initialised multithreaded: still usable
        }

        bool IsSelf(const VARIANT& child)
        {
            return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
        }

        void SetEmpty(VARIANT* v)
        {
            v->vt = VT_EMPTY;
        }

        // A BSTR of the text for an out parameter: S_FALSE and null for no text.
        HRESULT ReturnText(const std::wstring& text, BSTR* out)
        {
            if (text.empty())
                return S_FALSE;
            *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            return *out ? S_OK : E_OUTOFMEMORY;
        }

// A COM object is destroyed through Release, never through a pointer to its interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
        class AccessibleObject final : public IAccessible
        {
          public:
            AccessibleObject(HWND hwnd, IAccessibleContent* content) : _hwnd(hwnd), _content(content) {}
            AccessibleObject(const AccessibleObject&) = delete;
            AccessibleObject& operator=(const AccessibleObject&) = delete;

            IAccessibleContent* Content() const { return _content; }
            void MarkHandedOut() { _handedOut = true; }

            // After this, nothing the object answers comes from the window or the
            // content, and the stubs that other processes reach it through let go.
            void Disconnect()
            {
                _content = nullptr;
                _hwnd = nullptr;
                if (_handedOut)
                    CoDisconnectObject(static_cast<IAccessible*>(this), 0);
            }

            // IUnknown
            HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
            {
                if (!out)
                    return E_POINTER;
                if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kIidAccessible))
                {
                    *out = static_cast<IAccessible*>(this);
                    AddRef();
                    return S_OK;
                }
                *out = nullptr;
                return E_NOINTERFACE;
            }
            ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&_refs)); }
            ULONG STDMETHODCALLTYPE Release() override
            {
                const LONG left = InterlockedDecrement(&_refs);
                if (left == 0)
                    delete this;
                return static_cast<ULONG>(left);
            }

            // IDispatch: the object is reached through its interface, not by name.
            HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
            {
                if (count)
                    *count = 0;
                return E_NOTIMPL;
            }
            HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
            {
                if (info)
                    *info = nullptr;
                return E_NOTIMPL;
            }
            HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
            HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
            {
                return E_NOTIMPL;
            }

            // IAccessible
            HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
            {
                if (!parent)
                    return E_POINTER;
                *parent = nullptr;
                if (!_content)
                    return RPC_E_DISCONNECTED;
                const Oleacc& oleacc = Oleacc::Get();
                if (!oleacc.createStdAccessibleObject)
                    return E_FAIL;
                return oleacc.createStdAccessibleObject(_hwnd, OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
            }
            HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override
            {
                if (!count)
                    return E_POINTER;
                *count = 0;
                return _content ? S_OK : RPC_E_DISCONNECTED;
            }
            HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override
            {
                if (!child)
                    return E_POINTER;
                *child = nullptr;
                return _content ? E_INVALIDARG : RPC_E_DISCONNECTED;
            }
            HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
            {
                return Text(child, name, &IAccessibleContent::AccessibleName);
            }
            HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
            {
                return Text(child, value, &IAccessibleContent::AccessibleValue);
            }
            HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override
            {
                return Text(child, description, &IAccessibleContent::AccessibleDescription);
            }
            HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
            {
                if (!role)
                    return E_POINTER;
                SetEmpty(role);
                const HRESULT hr = Check(child);
                if (hr != S_OK)
                    return hr;
                try
                {
                    const long value = _content->AccessibleRole();
                    role->vt = VT_I4;
                    role->lVal = value;
                    return S_OK;
                }
                catch (...)
                {
                    return E_FAIL;
                }
            }
            HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
            {
                if (!state)
                    return E_POINTER;
                SetEmpty(state);
                const HRESULT hr = Check(child);
                if (hr != S_OK)
                    return hr;
                long value = STATE_SYSTEM_FOCUSABLE;
                if (GetFocus() == _hwnd)
                    value |= STATE_SYSTEM_FOCUSED;
                if (!IsWindowVisible(_hwnd))
                    value |= STATE_SYSTEM_INVISIBLE;
                state->vt = VT_I4;
                state->lVal = value;
                return S_OK;
            }
            HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return NoText(child, help); }
            HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
            {
                if (topic)
                    *topic = 0;
                return NoText(child, file);
            }
            HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
            {
                return NoText(child, shortcut);
            }
            HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
            {
                if (!focus)
                    return E_POINTER;
                SetEmpty(focus);
                if (!_content)
                    return RPC_E_DISCONNECTED;
                if (GetFocus() != _hwnd)
                    return S_FALSE;
                focus->vt = VT_I4;
                focus->lVal = CHILDID_SELF;
                return S_OK;
            }
            HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
            {
                if (!selection)
                    return E_POINTER;
                SetEmpty(selection);
                return _content ? S_FALSE : RPC_E_DISCONNECTED;
            }
            HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
            {
                return Text(child, action, &IAccessibleContent::DefaultActionName);
            }
            HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
            {
                const HRESULT hr = Check(child);
                if (hr != S_OK)
                    return hr;
                if (flags != SELFLAG_TAKEFOCUS)
                    return DISP_E_MEMBERNOTFOUND;
                SetFocus(_hwnd);
                return GetFocus() == _hwnd ? S_OK : S_FALSE;
            }
            HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
            {
                if (!left || !top || !width || !height)
                    return E_POINTER;
                *left = *top = *width = *height = 0;
                const HRESULT hr = Check(child);
                if (hr != S_OK)
                    return hr;
                RECT rc{};
                if (!ClientOnScreen(rc))
                    return E_FAIL;
                *left = rc.left;
                *top = rc.top;
                *width = rc.right - rc.left;
                *height = rc.bottom - rc.top;
                return S_OK;
            }
            HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT start, VARIANT* end) override
            {
                if (!end)
                    return E_POINTER;
                SetEmpty(end);
                const HRESULT hr = Check(start);
                // No children and no siblings that this object knows of.
                return hr == S_OK ? S_FALSE : hr;
            }
            HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override
            {
                if (!hit)
                    return E_POINTER;
                SetEmpty(hit);
                if (!_content)
                    return RPC_E_DISCONNECTED;
                RECT rc{};
                const POINT at{ x, y };
                if (!ClientOnScreen(rc) || !PtInRect(&rc, at))
                    return S_FALSE;
                hit->vt = VT_I4;
                hit->lVal = CHILDID_SELF;
                return S_OK;
            }
            HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
            {
                const HRESULT hr = Check(child);
                if (hr != S_OK)
                    return hr;
                try
                {
                    return _content->DoDefaultAction() ? S_OK : DISP_E_MEMBERNOTFOUND;
                }
                catch (...)
                {
                    return E_FAIL;
                }
            }
            HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
            HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

          private:
            ~AccessibleObject() = default;

            // S_OK when the object is connected and `child` names the object itself.
            HRESULT Check(const VARIANT& child) const
            {
                if (!_content)
                    return RPC_E_DISCONNECTED;
                return IsSelf(child) ? S_OK : E_INVALIDARG;
            }

            HRESULT Text(const VARIANT& child, BSTR* out, std::wstring (IAccessibleContent::*read)())
            {
                if (!out)
                    return E_POINTER;
                *out = nullptr;
                const HRESULT hr = Check(child);
                if (hr != S_OK)
                    return hr;
                try
                {
                    return ReturnText((_content->*read)(), out);
                }
                catch (const std::bad_alloc&)
                {
                    return E_OUTOFMEMORY;
                }
                catch (...)
                {
                    return E_FAIL;
                }
            }

            HRESULT NoText(const VARIANT& child, BSTR* out) const
            {
                if (!out)
                    return E_POINTER;
                *out = nullptr;
                const HRESULT hr = Check(child);
                return hr == S_OK ? S_FALSE : hr;
            }

            bool ClientOnScreen(RECT& rc) const
            {
                if (!GetClientRect(_hwnd, &rc))
                    return false;
                MapWindowPoints(_hwnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
                return true;
            }

            LONG _refs = 1;
            HWND _hwnd;
            IAccessibleContent* _content;
            bool _handedOut = false;
        };
#pragma GCC diagnostic pop

        AccessibleObject* Find(HWND hwnd)
        {
            return static_cast<AccessibleObject*>(GetPropW(hwnd, kProperty));
        }
    } // namespace

    bool AttachAccessible(HWND hwnd, IAccessibleContent* content)
    {
        if (AccessibleObject* old = Find(hwnd))
        {
            if (old->Content() == content)
                return true;
            RemovePropW(hwnd, kProperty);
            old->Disconnect();
            old->Release();
        }
        if (!content)
            return true;
        auto* object = new (std::nothrow) AccessibleObject(hwnd, content);
        if (!object)
            return false;
        if (!SetPropW(hwnd, kProperty, object))
        {
            object->Release();
            return false;
        }
        return true;
    }

    void DetachAccessible(HWND hwnd)
    {
        AttachAccessible(hwnd, nullptr);
    }

    bool AnswerGetObject(HWND hwnd, WPARAM wParam, LPARAM lParam, LRESULT& result)
    {
        // The object's identifier is a 32-bit value however the sender widened it.
        if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT)
            return false;
        AccessibleObject* object = Find(hwnd);
        if (!object)
            return false;
        const Oleacc& oleacc = Oleacc::Get();
        if (!oleacc.lresultFromObject || !EnsureCom())
            return false;
        // Marked first: the handing out may already have reached the stubs.
        object->MarkHandedOut();
        const LRESULT answer = oleacc.lresultFromObject(kIidAccessible, wParam, static_cast<IAccessible*>(object));
        if (answer < 0)
            return false; // an error: the system's own object answers instead
        result = answer;
        return true;
    }

    void ReleaseAccessibilityCom()
    {
        if (!comInitialisedHere)
            return;
        comInitialisedHere = false;
        CoUninitialize();
    }
} // namespace os::win32
