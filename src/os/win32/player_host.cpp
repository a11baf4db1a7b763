#include "os/win32/player_host.h"

#include "os/win32/common.h"
#include "os/win32/ole32.h"

#include <olectl.h>

#include <array>

// The ActiveX host window of the system's ATL library (atl.dll). A window of class
// "AtlAxWin" whose text is a class identifier makes that control and hosts it.
extern "C"
{
    __declspec(dllimport) BOOL WINAPI AtlAxWinInit();
    __declspec(dllimport) HRESULT WINAPI AtlAxGetControl(HWND hwnd, IUnknown** control);
}

namespace os::win32
{
    const wchar_t kPlayerClassId[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";

    namespace
    {
        constexpr wchar_t kHostClass[] = L"AtlAxWin";

        HRESULT LastErrorResult()
        {
            const DWORD error = GetLastError();
            return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
        }

        DISPID IdOf(ITypeInfo& info, const wchar_t* name)
        {
            LPOLESTR names[] = { const_cast<LPOLESTR>(name) };
            MEMBERID id = DISPID_UNKNOWN;
            if (FAILED(info.GetIDsOfNames(names, 1, &id)))
                return DISPID_UNKNOWN;
            return id;
        }

        // The default source interface of the control: its IID and type information.
        HRESULT FindEventInterface(IUnknown& control, IID& iid, ComPtr<ITypeInfo>& events)
        {
            ComPtr<IProvideClassInfo> classInfo;
            HRESULT hr = control.QueryInterface(IID_IProvideClassInfo, classInfo.PutVoid());
            if (FAILED(hr))
                return hr;
            bool known = false;
            ComPtr<IProvideClassInfo2> classInfo2;
            if (SUCCEEDED(control.QueryInterface(IID_IProvideClassInfo2, classInfo2.PutVoid())))
                known = SUCCEEDED(classInfo2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid));

            ComPtr<ITypeInfo> coclass;
            hr = classInfo->GetClassInfo(coclass.Put());
            if (FAILED(hr))
                return hr;
            TYPEATTR* attributes = nullptr;
            hr = coclass->GetTypeAttr(&attributes);
            if (FAILED(hr))
                return hr;
            const UINT implemented = attributes->cImplTypes;
            coclass->ReleaseTypeAttr(attributes);

            constexpr int kDefaultSource = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
            for (UINT i = 0; i < implemented; ++i)
            {
                INT flags = 0;
                HREFTYPE ref = 0;
                ComPtr<ITypeInfo> candidate;
                if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || !(flags & IMPLTYPEFLAG_FSOURCE) ||
                    FAILED(coclass->GetRefTypeOfImplType(i, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, candidate.Put())))
                    continue;
                TYPEATTR* candidateAttributes = nullptr;
                if (FAILED(candidate->GetTypeAttr(&candidateAttributes)))
                    continue;
                const IID candidateIid = candidateAttributes->guid;
                candidate->ReleaseTypeAttr(candidateAttributes);
                if (known ? IsEqualIID(candidateIid, iid) : (flags & kDefaultSource) == kDefaultSource)
                {
                    iid = candidateIid;
                    events = std::move(candidate);
                    return S_OK;
                }
            }
            return CONNECT_E_NOCONNECTION;
        }
    } // namespace

    PlayerEventIds LookUpEventIds(ITypeInfo& events)
    {
        PlayerEventIds ids;
        ids.fsCommand = IdOf(events, L"FSCommand");
        ids.progress = IdOf(events, L"Progress");
        ids.readyStateChange = IdOf(events, L"ReadyStateChange");
        return ids;
    }

    // ------------------------------------------------------------------ event sink

    PlayerEventSink::PlayerEventSink(IPlayerEvents& events, const IID& source, const PlayerEventIds& ids)
        : _events(&events), _source(source), _ids(ids)
    {
    }

    HRESULT STDMETHODCALLTYPE PlayerEventSink::QueryInterface(REFIID iid, void** out)
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, _source))
        {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE PlayerEventSink::AddRef()
    {
        return static_cast<ULONG>(InterlockedIncrement(&_refs));
    }

    ULONG STDMETHODCALLTYPE PlayerEventSink::Release()
    {
        const LONG left = InterlockedDecrement(&_refs);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE PlayerEventSink::GetTypeInfoCount(UINT* count)
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE PlayerEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info)
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE PlayerEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
    {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE PlayerEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                                      EXCEPINFO*, UINT* argError)
    {
        if (result)
            VariantInit(result);
        if (!_events || id == DISPID_UNKNOWN)
            return S_OK;
        const UINT count = params ? params->cArgs : 0;
        // The arguments arrive last first: rgvarg[0] is the last parameter.
        auto argument = [&](UINT position) -> const VARIANT&
        {
            return params->rgvarg[count - 1 - position];
        };
        if (id == _ids.fsCommand)
        {
            if (count != 2)
                return DISP_E_BADPARAMCOUNT;
            std::wstring command;
            std::wstring args;
            HRESULT hr = VariantToString(argument(0), command);
            if (SUCCEEDED(hr))
                hr = VariantToString(argument(1), args);
            if (FAILED(hr))
            {
                if (argError)
                    *argError = 0;
                return DISP_E_TYPEMISMATCH;
            }
            _events->FSCommand(command, args);
            return S_OK;
        }
        if (id == _ids.progress || id == _ids.readyStateChange)
        {
            if (count != 1)
                return DISP_E_BADPARAMCOUNT;
            long value = 0;
            if (FAILED(VariantToLong(argument(0), value)))
            {
                if (argError)
                    *argError = 0;
                return DISP_E_TYPEMISMATCH;
            }
            if (id == _ids.progress)
                _events->Progress(value);
            else
                _events->ReadyStateChange(value);
            return S_OK;
        }
        return S_OK; // events the program does not listen to
    }

    // ------------------------------------------------------------------ the hosted control

    HostedPlayer::HostedPlayer(HWND host, IUnknown* control) : _host(host)
    {
        if (control)
        {
            control->AddRef();
            _control = ComPtr<IUnknown>(control);
            _control.QueryInto(IID_IDispatch, _dispatch);
        }
    }

    HostedPlayer::~HostedPlayer()
    {
        if (_connection && _cookie != 0)
            _connection->Unadvise(_cookie);
        _connection.Reset();
        if (_sink)
        {
            _sink->Detach();
            _sink->Release();
            _sink = nullptr;
        }
        _dispatch.Reset();
        _control.Reset();
        // The host window releases the control when it goes.
        if (_host && ::IsWindow(_host))
            DestroyWindow(_host);
    }

    HRESULT HostedPlayer::ConnectEvents(IPlayerEvents& events)
    {
        if (!_control)
            return E_POINTER;
        IID source{};
        ComPtr<ITypeInfo> eventInfo;
        HRESULT hr = FindEventInterface(*_control.Get(), source, eventInfo);
        if (FAILED(hr))
            return hr;
        ComPtr<IConnectionPointContainer> container;
        hr = _control.QueryInto(IID_IConnectionPointContainer, container);
        if (FAILED(hr))
            return hr;
        ComPtr<IConnectionPoint> connection;
        hr = container->FindConnectionPoint(source, connection.Put());
        if (FAILED(hr))
            return hr;
        auto* sink = new PlayerEventSink(events, source, LookUpEventIds(*eventInfo.Get()));
        ::DWORD cookie = 0;
        hr = connection->Advise(static_cast<IDispatch*>(sink), &cookie);
        if (FAILED(hr))
        {
            sink->Detach();
            sink->Release();
            return hr;
        }
        _sink = sink;
        _cookie = cookie;
        _connection = std::move(connection);
        return S_OK;
    }

    Hwnd HostedPlayer::Window()
    {
        return FromHwnd(_host);
    }

    HResult HostedPlayer::DoVerb(int verb)
    {
        ComPtr<IOleObject> object;
        HRESULT hr = _control.QueryInto(IID_IOleObject, object);
        if (FAILED(hr))
            return hr;
        ComPtr<IOleClientSite> site;
        object->GetClientSite(site.Put()); // may be none; DoVerb accepts that
        RECT client{};
        ::GetClientRect(_host, &client);
        return object->DoVerb(verb, nullptr, site.Get(), 0, _host, &client);
    }

    HRESULT HostedPlayer::MemberId(const wchar_t* name, DISPID& id) const
    {
        if (!_dispatch)
            return E_NOINTERFACE;
        LPOLESTR names[] = { const_cast<LPOLESTR>(name) };
        return _dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    }

    HRESULT HostedPlayer::PutProperty(const wchar_t* name, Variant& value)
    {
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = MemberId(name, id);
        if (FAILED(hr))
            return hr;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{ value.Ptr(), &named, 1, 1 };
        return _dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    }

    HRESULT HostedPlayer::GetProperty(const wchar_t* name, Variant& result)
    {
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = MemberId(name, id);
        if (FAILED(hr))
            return hr;
        DISPPARAMS params{ nullptr, nullptr, 0, 0 };
        return _dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &params, result.Ptr(), nullptr,
                                 nullptr);
    }

    HRESULT HostedPlayer::CallMethod(DISPID id, Variant* args, UINT count, Variant* result)
    {
        // DISPPARAMS holds the arguments last first.
        std::array<VARIANT, 2> reversed{};
        if (count > reversed.size())
            return E_INVALIDARG;
        for (UINT i = 0; i < count; ++i)
            reversed[count - 1 - i] = args[i].Get(); // shallow: the Variants keep ownership
        DISPPARAMS params{ count ? reversed.data() : nullptr, nullptr, count, 0 };
        return _dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result ? result->Ptr() : nullptr,
                                 nullptr, nullptr);
    }

    HRESULT HostedPlayer::CallMethod(const wchar_t* name, Variant* args, UINT count, Variant* result)
    {
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = MemberId(name, id);
        if (FAILED(hr))
            return hr;
        return CallMethod(id, args, count, result);
    }

    HResult HostedPlayer::SetMovie(const std::wstring& movie)
    {
        Variant value;
        if (!value.SetString(movie))
            return E_OUTOFMEMORY;
        return PutProperty(L"Movie", value);
    }

    HResult HostedPlayer::GetMovie(std::wstring& movie)
    {
        Variant result;
        HRESULT hr = GetProperty(L"Movie", result);
        if (FAILED(hr))
            return hr;
        return VariantToString(result.Get(), movie);
    }

    HResult HostedPlayer::SetMenu(bool menu)
    {
        Variant value;
        value.SetBool(menu);
        return PutProperty(L"Menu", value);
    }

    HResult HostedPlayer::SetProperty(const std::wstring& name, const std::variant<bool, std::wstring>& value)
    {
        Variant v;
        if (const bool* flag = std::get_if<bool>(&value))
            v.SetBool(*flag);
        else if (!v.SetString(std::get<std::wstring>(value)))
            return E_OUTOFMEMORY;
        return PutProperty(name.c_str(), v);
    }

    HResult HostedPlayer::Play()
    {
        return CallMethod(L"Play", nullptr, 0, nullptr);
    }

    HResult HostedPlayer::Stop()
    {
        return CallMethod(L"Stop", nullptr, 0, nullptr);
    }

    HResult HostedPlayer::Rewind()
    {
        return CallMethod(L"Rewind", nullptr, 0, nullptr);
    }

    HResult HostedPlayer::FlashVersion(long& version)
    {
        Variant result;
        HRESULT hr = CallMethod(L"FlashVersion", nullptr, 0, &result);
        if (FAILED(hr))
            return hr;
        return VariantToLong(result.Get(), version);
    }

    HResult HostedPlayer::SetVariable(const std::wstring& name, const std::wstring& value)
    {
        std::array<Variant, 2> args;
        if (!args[0].SetString(name) || !args[1].SetString(value))
            return E_OUTOFMEMORY;
        return CallMethod(L"SetVariable", args.data(), 2, nullptr);
    }

    HResult HostedPlayer::GetVariable(const std::wstring& name, std::wstring& value)
    {
        Variant arg;
        if (!arg.SetString(name))
            return E_OUTOFMEMORY;
        Variant result;
        HRESULT hr = CallMethod(L"GetVariable", &arg, 1, &result);
        if (FAILED(hr))
            return hr;
        // An unset variable may come back as an empty or a null variant.
        if (result.Get().vt == VT_EMPTY || result.Get().vt == VT_NULL)
        {
            value.clear();
            return S_OK;
        }
        return VariantToString(result.Get(), value);
    }

    // ------------------------------------------------------------------ creation

    HWND CreateHostWindow(HWND parent, const Rect& bounds, const wchar_t* control)
    {
        if (FAILED(StartComHere()) || !AtlAxWinInit())
            return nullptr;
        return CreateWindowExW(0, kHostClass, control, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, bounds.left,
                               bounds.top, bounds.Width(), bounds.Height(), parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    }

    HRESULT CreateHostedPlayer(HWND parent, const Rect& bounds, IPlayerEvents& events, std::unique_ptr<IPlayer>& player)
    {
        player.reset();
        HRESULT hr = StartComHere();
        if (FAILED(hr))
            return hr;
        CLSID clsid{};
        hr = CLSIDFromString(kPlayerClassId, &clsid);
        if (FAILED(hr))
            return hr;
        // Is it installed? Asked before any window is made, so that a missing control
        // leaves nothing behind.
        {
            ComPtr<IClassFactory> factory;
            hr = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.PutVoid());
            if (FAILED(hr))
                return hr;
        }
        HWND host = CreateHostWindow(parent, bounds, kPlayerClassId);
        if (!host)
            return LastErrorResult();
        ComPtr<IUnknown> control;
        hr = AtlAxGetControl(host, control.Put());
        if (SUCCEEDED(hr) && !control)
            hr = E_NOINTERFACE;
        if (FAILED(hr))
        {
            DestroyWindow(host);
            return hr;
        }
        // From here the player object owns the window.
        auto made = std::make_unique<HostedPlayer>(host, control.Get());
        hr = made->Usable();
        if (SUCCEEDED(hr))
            hr = made->ConnectEvents(events);
        if (FAILED(hr))
            return hr;
        player = std::move(made);
        return S_OK;
    }
} // namespace os::win32
