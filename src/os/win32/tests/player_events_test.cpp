// Connecting the player's event sink: a control whose events are described by a
// type library made at run time, reached through IProvideClassInfo(2) and a
// connection point, as a hosted control offers them.
#include "os/win32/common.h"
#include "os/win32/player_host.h"
#include "recorder.h"

#include <olectl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace os::win32::test
{
    namespace
    {
        // Made-up identifiers of the test's control and its event interface.
        const IID kEventsIid = { 0x2B8E5F40, 0x7C1A, 0x4D3B, { 0x8E, 0x21, 0x6A, 0x90, 0x14, 0xC2, 0x55, 0x10 } };
        const CLSID kControlClsid = { 0x2B8E5F41, 0x7C1A, 0x4D3B, { 0x8E, 0x21, 0x6A, 0x90, 0x14, 0xC2, 0x55, 0x10 } };
        const GUID kLibraryGuid = { 0x2B8E5F42, 0x7C1A, 0x4D3B, { 0x8E, 0x21, 0x6A, 0x90, 0x14, 0xC2, 0x55, 0x10 } };
        constexpr DISPID kCommandId = 0x31;
        constexpr DISPID kProgressId = 0x32;
        constexpr DISPID kReadyId = 0x33;
        constexpr DISPID kOtherId = 0x34;

        struct EventDesc
        {
            const wchar_t* name;
            DISPID id;
            std::vector<VARTYPE> params;
        };

        // The coclass type information: its default source is a dispinterface with the
        // three events the program listens to and one it does not.
        HRESULT MakeTypeInfo(ComPtr<ITypeInfo>& coclassInfo)
        {
            ComPtr<ICreateTypeLib2> lib;
            HRESULT hr = CreateTypeLib2(SYS_WIN64, const_cast<LPOLESTR>(L"norvale_test.tlb"), lib.Put());
            if (FAILED(hr))
                return hr;
            lib->SetGuid(kLibraryGuid);
            ComPtr<ITypeLib> stdole;
            hr = LoadTypeLib(L"stdole2.tlb", stdole.Put());
            if (FAILED(hr))
                return hr;
            ComPtr<ITypeInfo> dispatchInfo;
            hr = stdole->GetTypeInfoOfGuid(IID_IDispatch, dispatchInfo.Put());
            if (FAILED(hr))
                return hr;

            ComPtr<ICreateTypeInfo> events;
            hr = lib->CreateTypeInfo(const_cast<LPOLESTR>(L"_TestEvents"), TKIND_DISPATCH, events.Put());
            if (FAILED(hr))
                return hr;
            events->SetGuid(kEventsIid);
            HREFTYPE base = 0;
            events->AddRefTypeInfo(dispatchInfo.Get(), &base);
            events->AddImplType(0, base);
            const std::vector<EventDesc> descs = { { L"ReadyStateChange", kReadyId, { VT_I4 } },
                                                   { L"Progress", kProgressId, { VT_I4 } },
                                                   { L"FSCommand", kCommandId, { VT_BSTR, VT_BSTR } },
                                                   { L"OnSomethingElse", kOtherId, {} } };
            for (UINT i = 0; i < descs.size(); ++i)
            {
                std::vector<ELEMDESC> params(descs[i].params.size());
                for (std::size_t p = 0; p < params.size(); ++p)
                {
                    params[p].tdesc.vt = descs[i].params[p];
                    params[p].paramdesc.wParamFlags = PARAMFLAG_FIN;
                }
                FUNCDESC fd{};
                fd.memid = descs[i].id;
                fd.lprgelemdescParam = params.empty() ? nullptr : params.data();
                fd.funckind = FUNC_DISPATCH;
                fd.invkind = INVOKE_FUNC;
                fd.callconv = CC_STDCALL;
                fd.cParams = static_cast<SHORT>(params.size());
                fd.elemdescFunc.tdesc.vt = VT_VOID;
                hr = events->AddFuncDesc(i, &fd);
                if (FAILED(hr))
                    return hr;
                std::vector<LPOLESTR> names{ const_cast<LPOLESTR>(descs[i].name) };
                const wchar_t* paramNames[] = { L"first", L"second" };
                for (std::size_t p = 0; p < params.size(); ++p)
                    names.push_back(const_cast<LPOLESTR>(paramNames[p]));
                hr = events->SetFuncAndParamNames(i, names.data(), static_cast<UINT>(names.size()));
                if (FAILED(hr))
                    return hr;
            }
            hr = events->LayOut();
            if (FAILED(hr))
                return hr;
            ComPtr<ITypeInfo> eventsInfo;
            hr = events.QueryInto(IID_ITypeInfo, eventsInfo);
            if (FAILED(hr))
                return hr;

            ComPtr<ICreateTypeInfo> coclass;
            hr = lib->CreateTypeInfo(const_cast<LPOLESTR>(L"TestControl"), TKIND_COCLASS, coclass.Put());
            if (FAILED(hr))
                return hr;
            coclass->SetGuid(kControlClsid);
            HREFTYPE source = 0;
            coclass->AddRefTypeInfo(eventsInfo.Get(), &source);
            coclass->AddImplType(0, source);
            coclass->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
            hr = coclass->LayOut();
            if (FAILED(hr))
                return hr;
            return coclass.QueryInto(IID_ITypeInfo, coclassInfo);
        }

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
        // A control that offers its class information and one connection point for
        // its events; it lives on the test's stack.
        class EventingControl final : public IProvideClassInfo2, public IConnectionPointContainer, public IConnectionPoint
        {
          public:
            EventingControl(ITypeInfo* coclass, bool classInfo2) : _coclass(coclass), _classInfo2(classInfo2) {}

            HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
            {
                *out = nullptr;
                if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IProvideClassInfo) ||
                    (_classInfo2 && IsEqualIID(iid, IID_IProvideClassInfo2)))
                    *out = static_cast<IProvideClassInfo2*>(this);
                else if (IsEqualIID(iid, IID_IConnectionPointContainer))
                    *out = static_cast<IConnectionPointContainer*>(this);
                else if (IsEqualIID(iid, IID_IConnectionPoint))
                    *out = static_cast<IConnectionPoint*>(this);
                if (!*out)
                    return E_NOINTERFACE;
                AddRef();
                return S_OK;
            }
            ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
            ULONG STDMETHODCALLTYPE Release() override { return --refs; }

            HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override
            {
                _coclass->AddRef();
                *info = _coclass;
                return S_OK;
            }
            HRESULT STDMETHODCALLTYPE GetGUID(::DWORD kind, GUID* guid) override
            {
                if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
                    return E_INVALIDARG;
                *guid = kEventsIid;
                return S_OK;
            }

            HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
            HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override
            {
                *point = nullptr;
                if (!IsEqualIID(iid, kEventsIid))
                    return CONNECT_E_NOCONNECTION;
                *point = this;
                AddRef();
                return S_OK;
            }

            HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override
            {
                *iid = kEventsIid;
                return S_OK;
            }
            HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override
            {
                *container = this;
                AddRef();
                return S_OK;
            }
            HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, ::DWORD* cookie) override
            {
                if (_sink)
                    return CONNECT_E_ADVISELIMIT;
                // A control asks the sink for its event interface, as the real ones do.
                HRESULT hr = sink->QueryInterface(kEventsIid, reinterpret_cast<void**>(&_sink));
                if (FAILED(hr))
                    return CONNECT_E_CANNOTCONNECT;
                *cookie = 77;
                return S_OK;
            }
            HRESULT STDMETHODCALLTYPE Unadvise(::DWORD cookie) override
            {
                if (cookie != 77 || !_sink)
                    return CONNECT_E_NOCONNECTION;
                _sink->Release();
                _sink = nullptr;
                ++unadvised;
                return S_OK;
            }
            HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

            bool Connected() const { return _sink != nullptr; }
            // Raises an event with its arguments in parameter order.
            HRESULT Fire(DISPID id, std::vector<VARIANT> args)
            {
                std::vector<VARIANT> reversed(args.rbegin(), args.rend());
                DISPPARAMS params{ reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0 };
                return _sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
            }

            ULONG refs = 1;
            int unadvised = 0;

          private:
            ITypeInfo* _coclass;
            bool _classInfo2;
            IDispatch* _sink = nullptr;
        };
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

        VARIANT Long(long value)
        {
            VARIANT v;
            VariantInit(&v);
            v.vt = VT_I4;
            v.lVal = value;
            return v;
        }

        class PlayerEventsTest : public ::testing::TestWithParam<bool>
        {
          protected:
            void SetUp() override
            {
                ASSERT_EQ(MakeTypeInfo(coclass), S_OK);
                host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                                       nullptr);
                ASSERT_NE(host, nullptr);
            }
            ComPtr<ITypeInfo> coclass;
            HWND host = nullptr;
        };
    } // namespace

    TEST_P(PlayerEventsTest, SinkIsFoundByTypeInformationConnectedAndLetGo)
    {
        EventingControl control(coclass.Get(), GetParam());
        RecordingEvents events;
        {
            HostedPlayer player(host, static_cast<IProvideClassInfo2*>(&control));
            ASSERT_EQ(player.ConnectEvents(events), S_OK);
            ASSERT_TRUE(control.Connected());

            Variant command;
            command.SetString(L"update");
            Variant args;
            args.SetString(L"http://127.0.0.1/new");
            EXPECT_EQ(control.Fire(kCommandId, { command.Get(), args.Get() }), S_OK);
            EXPECT_EQ(control.Fire(kProgressId, { Long(60) }), S_OK);
            EXPECT_EQ(control.Fire(kReadyId, { Long(4) }), S_OK);
            EXPECT_EQ(control.Fire(kOtherId, {}), S_OK);
            EXPECT_EQ(events.calls, (std::vector<std::wstring>{ L"update(http://127.0.0.1/new)", L"progress 60", L"ready 4" }));
        }
        EXPECT_EQ(control.unadvised, 1);
        EXPECT_FALSE(control.Connected());
        EXPECT_EQ(control.refs, 1u) << "references left behind";
        EXPECT_FALSE(IsWindow(host));
    }

    std::string SourceName(const ::testing::TestParamInfo<bool>& param)
    {
        return param.param ? "WithDefaultSourceGuid" : "FromImplTypeFlags";
    }
    INSTANTIATE_TEST_SUITE_P(ClassInfo, PlayerEventsTest, ::testing::Values(true, false), SourceName);

    TEST(PlayerEventsNoSourceTest, ControlWithoutClassInformationCannotBeConnected)
    {
        RecordingEvents events;
        HWND host =
            CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        HostedPlayer player(host, nullptr);
        EXPECT_EQ(player.Usable(), E_NOINTERFACE);
        EXPECT_HRESULT_FAILED(player.ConnectEvents(events));
    }
} // namespace os::win32::test
