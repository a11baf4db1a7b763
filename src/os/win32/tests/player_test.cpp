// The player control host: creation where the control is not installed (as under
// Wine), the automation calls against a scripted IDispatch, and the event sink.
#include "os/win32/backend.h"
#include "os/win32/common.h"
#include "os/win32/player_host.h"
#include "recorder.h"

#include <olectl.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>

extern "C" __declspec(dllimport) HRESULT WINAPI AtlAxGetControl(HWND hwnd, IUnknown** control);

namespace os::win32::test
{
    namespace
    {

        std::wstring Text(const VARIANT& v)
        {
            std::wstring out;
            if (FAILED(VariantToString(v, out)))
                return L"<not text>";
            return out;
        }

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
        // An automation object with the members it is told about. It records each
        // call as "Name:flags:arg1,arg2" with the arguments in parameter order.
        class ScriptedControl final : public IDispatch
        {
          public:
            explicit ScriptedControl(std::map<std::wstring, DISPID> members) : _members(std::move(members)) {}

            HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
            {
                if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch))
                {
                    *out = static_cast<IDispatch*>(this);
                    AddRef();
                    return S_OK;
                }
                *out = nullptr;
                return E_NOINTERFACE;
            }
            ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
            ULONG STDMETHODCALLTYPE Release() override { return --refs; } // lives on the test's stack
            HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
            {
                *count = 0;
                return S_OK;
            }
            HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
            HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
            {
                if (count != 1)
                    return E_INVALIDARG;
                auto it = _members.find(names[0]);
                if (it == _members.end())
                {
                    ids[0] = DISPID_UNKNOWN;
                    return DISP_E_UNKNOWNNAME;
                }
                ids[0] = it->second;
                return S_OK;
            }
            HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                             UINT*) override
            {
                std::wstring name;
                for (const auto& [member, dispid] : _members)
                    if (dispid == id)
                        name = member;
                std::wstring call = name + L":" + std::to_wstring(flags) + L":";
                for (UINT i = params->cArgs; i-- > 0;)
                    call += Text(params->rgvarg[i]) + (i ? L"," : L"");
                if (params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT)
                    call += L"=put";
                calls.push_back(call);
                if (result)
                {
                    if (name == L"FlashVersion")
                    {
                        result->vt = VT_I4;
                        result->lVal = 0x00090000;
                    }
                    else if (name == L"GetVariable" && variable != VT_BSTR)
                        result->vt = variable; // VT_EMPTY or VT_NULL: nothing in it
                    else if (name == L"GetVariable" || name == L"Movie")
                    {
                        result->vt = VT_BSTR;
                        result->bstrVal = SysAllocString(name == L"Movie" ? L"ticker.swf" : L"value");
                    }
                }
                return answer;
            }

            ULONG refs = 1;
            HRESULT answer = S_OK;
            VARTYPE variable = VT_BSTR; // what GetVariable answers
            std::vector<std::wstring> calls;

          private:
            std::map<std::wstring, DISPID> _members;
        };
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

        HWND MakeHostWindow()
        {
            return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, GetModuleHandleW(nullptr),
                                   nullptr);
        }

        std::wstring Flags(WORD flags)
        {
            return std::to_wstring(flags);
        }
    } // namespace

    // COM initialised for the test, and a window of ours to be the controls' parent.
    class PlayerParentTest : public ::testing::Test
    {
      protected:
        void SetUp() override
        {
            const HResult init = os.players.InitializeCom();
            ASSERT_TRUE(init == S_OK || init == S_FALSE) << std::hex << init;
        }
        void TearDown() override
        {
            if (parent != Hwnd{} && os.windows.IsWindow(parent))
                os.windows.Destroy(parent);
            os.players.UninitializeCom();
        }
        Hwnd MakeParent(DWORD style, Rect bounds)
        {
            WindowParams request;
            request.className = "NorvalePlayerParent";
            request.style = style;
            request.bounds = bounds;
            parent = os.windows.Create(request, &rec);
            return parent;
        }

        std::unique_ptr<Backend> backend = CreateBackend();
        Os& os = backend->Os();
        Recorder rec{ os.windows };
        Hwnd parent{};
    };

    TEST_F(PlayerParentTest, NotInstalledPlayerFailsAsNotRegisteredAndLeavesNothing)
    {
        ASSERT_NE(MakeParent(WS_POPUP | WS_VISIBLE, Rect::FromBounds(0, 0, 200, 100)), Hwnd{});

        RecordingEvents events;
        std::unique_ptr<IPlayer> player;
        EXPECT_EQ(os.players.CreatePlayer(parent, { 0, 0, 200, 25 }, events, player), hr::class_not_registered);
        EXPECT_EQ(player, nullptr);
        EXPECT_EQ(GetWindow(ToHwnd(parent), GW_CHILD), nullptr);
    }

    TEST_F(PlayerParentTest, SystemActiveXHostWindowIsAChildOfItsParent)
    {
        ASSERT_NE(MakeParent(WS_POPUP, Rect::FromBounds(100, 100, 300, 100)), Hwnd{});

        HWND host = CreateHostWindow(ToHwnd(parent), { 10, 20, 210, 45 }, L"");
        ASSERT_NE(host, nullptr);
        EXPECT_EQ(GetParent(host), ToHwnd(parent));
        EXPECT_EQ(os.windows.GetWindowRect(FromHwnd(host)), Rect::FromBounds(110, 120, 200, 25));
        IUnknown* control = nullptr;
        EXPECT_HRESULT_FAILED(AtlAxGetControl(host, &control)); // hosts nothing
        EXPECT_EQ(control, nullptr);

        os.windows.Destroy(parent);
        EXPECT_FALSE(IsWindow(host));
    }

    TEST(PlayerTest, AutomationCallsUseTheControlsMembersByName)
    {
        ScriptedControl control({ { L"Movie", 1 },
                                  { L"Menu", 2 },
                                  { L"Play", 3 },
                                  { L"Stop", 4 },
                                  { L"FlashVersion", 6 },
                                  { L"SetVariable", 7 },
                                  { L"GetVariable", 8 } });
        HWND host = MakeHostWindow();
        ASSERT_NE(host, nullptr);
        {
            HostedPlayer player(host, &control);
            ASSERT_EQ(player.Usable(), S_OK);
            EXPECT_EQ(player.Window(), FromHwnd(host));

            EXPECT_EQ(player.SetMovie(L"http://127.0.0.1/ticker.swf"), S_OK);
            EXPECT_EQ(player.SetMenu(false), S_OK);
            EXPECT_EQ(player.Play(), S_OK);
            EXPECT_EQ(player.Stop(), S_OK); // no StopPlay here: Stop
            EXPECT_EQ(player.SetVariable(L"gSponsorState", L"-1"), S_OK);
            std::wstring value;
            EXPECT_EQ(player.GetVariable(L"gVersion", value), S_OK);
            EXPECT_EQ(value, L"value");
            long version = 0;
            EXPECT_EQ(player.FlashVersion(version), S_OK);
            EXPECT_EQ(version, 0x00090000);
            std::wstring movie;
            EXPECT_EQ(player.GetMovie(movie), S_OK);
            EXPECT_EQ(movie, L"ticker.swf");

            const std::wstring put = Flags(DISPATCH_PROPERTYPUT);
            const std::wstring method = Flags(DISPATCH_METHOD);
            const std::wstring get = Flags(DISPATCH_PROPERTYGET);
            EXPECT_EQ(control.calls,
                      (std::vector<std::wstring>{
                          L"Movie:" + put + L":http://127.0.0.1/ticker.swf=put", L"Menu:" + put + L":0=put",
                          L"Play:" + method + L":", L"Stop:" + method + L":", L"SetVariable:" + method + L":gSponsorState,-1",
                          L"GetVariable:" + method + L":gVersion", L"FlashVersion:" + method + L":", L"Movie:" + get + L":" }));

            // A member the control does not have, and a failing call, give their HRESULT.
            EXPECT_EQ(player.Rewind(), DISP_E_UNKNOWNNAME);
            control.answer = E_ACCESSDENIED;
            EXPECT_EQ(player.Play(), E_ACCESSDENIED);
            // Not an OLE object: no verbs.
            EXPECT_EQ(player.DoVerb(oleiverb::show), E_NOINTERFACE);
        }
        EXPECT_EQ(control.refs, 1u) << "references left behind";
        EXPECT_FALSE(IsWindow(host)) << "the host window outlived the player";
    }

    TEST(PlayerTest, SettingsArePutAsTheControlsPropertiesByName)
    {
        ScriptedControl control({ { L"WMode", 20 }, { L"Loop", 21 } });
        HostedPlayer player(MakeHostWindow(), &control);
        EXPECT_EQ(player.SetProperty(L"WMode", std::wstring(L"Window")), S_OK);
        EXPECT_EQ(player.SetProperty(L"Loop", true), S_OK);
        EXPECT_EQ(player.SetProperty(L"AllowScriptAccess", std::wstring(L"always")), DISP_E_UNKNOWNNAME) << "an older player";
        const std::wstring put = Flags(DISPATCH_PROPERTYPUT);
        EXPECT_EQ(control.calls, (std::vector<std::wstring>{ L"WMode:" + put + L":Window=put", L"Loop:" + put + L":-1=put" }));
    }

    TEST(PlayerTest, StopCallsTheBindingsStopAndAnEmptyVariableReadsAsEmptyText)
    {
        ScriptedControl control({ { L"StopPlay", 9 }, { L"Stop", 4 }, { L"GetVariable", 8 } });
        HostedPlayer player(MakeHostWindow(), &control);
        EXPECT_EQ(player.Stop(), S_OK);
        EXPECT_EQ(control.calls, (std::vector<std::wstring>{ L"Stop:" + Flags(DISPATCH_METHOD) + L":" }));
        for (VARTYPE empty : { VT_EMPTY, VT_NULL })
        {
            control.variable = empty;
            std::wstring value = L"stale";
            EXPECT_EQ(player.GetVariable(L"gUnset", value), S_OK) << empty;
            EXPECT_EQ(value, L"") << empty;
        }
    }

    TEST(PlayerTest, EventSinkForwardsEventsWithArgumentsInParameterOrder)
    {
        RecordingEvents events;
        const IID source = { 0x6F1C2A10, 0x3B5D, 0x4E2A, { 0x9C, 0x11, 0x52, 0x0D, 0x7E, 0x31, 0x44, 0x01 } };
        auto* sink = new PlayerEventSink(events, source, { 10, 11, DISPID_READYSTATECHANGE });

        IDispatch* asSource = nullptr;
        ASSERT_EQ(sink->QueryInterface(source, reinterpret_cast<void**>(&asSource)), S_OK);
        asSource->Release();

        // FSCommand(command, args): DISPPARAMS holds them last first.
        Variant args[2];
        args[0].SetString(L"http://127.0.0.1/update");
        args[1].SetString(L"update");
        VARIANT raw[2] = { args[0].Get(), args[1].Get() };
        DISPPARAMS fs{ raw, nullptr, 2, 0 };
        EXPECT_EQ(sink->Invoke(10, IID_NULL, 0, DISPATCH_METHOD, &fs, nullptr, nullptr, nullptr), S_OK);

        // By reference and in another integer type, as some controls pass them.
        BSTR byRef[2] = { SysAllocString(L"a b"), SysAllocString(L"quit") };
        VARIANT refs[2];
        refs[0].vt = VT_BSTR | VT_BYREF;
        refs[0].pbstrVal = &byRef[0];
        refs[1].vt = VT_BSTR | VT_BYREF;
        refs[1].pbstrVal = &byRef[1];
        DISPPARAMS fsRef{ refs, nullptr, 2, 0 };
        EXPECT_EQ(sink->Invoke(10, IID_NULL, 0, DISPATCH_METHOD, &fsRef, nullptr, nullptr, nullptr), S_OK);
        SysFreeString(byRef[0]);
        SysFreeString(byRef[1]);

        VARIANT percent;
        percent.vt = VT_I2;
        percent.iVal = 42;
        DISPPARAMS progress{ &percent, nullptr, 1, 0 };
        EXPECT_EQ(sink->Invoke(11, IID_NULL, 0, DISPATCH_METHOD, &progress, nullptr, nullptr, nullptr), S_OK);
        VARIANT state;
        state.vt = VT_I4;
        state.lVal = 4;
        DISPPARAMS ready{ &state, nullptr, 1, 0 };
        EXPECT_EQ(sink->Invoke(DISPID_READYSTATECHANGE, IID_NULL, 0, DISPATCH_METHOD, &ready, nullptr, nullptr, nullptr), S_OK);
        // Another event of the control, and a malformed one.
        EXPECT_EQ(sink->Invoke(5, IID_NULL, 0, DISPATCH_METHOD, &ready, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(sink->Invoke(10, IID_NULL, 0, DISPATCH_METHOD, &ready, nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT);

        EXPECT_EQ(events.calls,
                  (std::vector<std::wstring>{ L"update(http://127.0.0.1/update)", L"quit(a b)", L"progress 42", L"ready 4" }));

        // Once detached, late events reach nobody.
        sink->Detach();
        EXPECT_EQ(sink->Invoke(DISPID_READYSTATECHANGE, IID_NULL, 0, DISPATCH_METHOD, &ready, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(events.calls.size(), 4u);
        sink->Release();
    }
} // namespace os::win32::test
