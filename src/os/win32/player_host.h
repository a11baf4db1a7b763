// The player control hosted in a child window: its automation members reached
// through IDispatch by name, and its events received by a sink of our own.
#pragma once

#include "os/os.h"
#include "os/win32/com.h"

#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>

#include <string>

namespace os::win32
{
    // {D27CDB6E-AE6D-11CF-96B8-444553540000}
    extern const wchar_t kPlayerClassId[];

    // DISPIDs of the events that the program listens to; DISPID_UNKNOWN when the
    // control's event interface has no member of that name.
    struct PlayerEventIds
    {
        DISPID fsCommand = DISPID_UNKNOWN;
        DISPID progress = DISPID_UNKNOWN;
        DISPID readyStateChange = DISPID_UNKNOWN;
    };

    // Looks the event names up in the type information of the source interface.
    PlayerEventIds LookUpEventIds(ITypeInfo& events);

    // The IDispatch that the control calls for its events. It forwards them to the
    // program until Detach(). A COM object deletes itself in Release and is never
    // deleted through an interface pointer, so the interface's non-virtual destructor
    // is as COM means it.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
    class PlayerEventSink final : public IDispatch
    {
      public:
        PlayerEventSink(IPlayerEvents& events, const IID& source, const PlayerEventIds& ids);
        PlayerEventSink(const PlayerEventSink&) = delete;
        PlayerEventSink& operator=(const PlayerEventSink&) = delete;

        void Detach() { _events = nullptr; }

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
        HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                         EXCEPINFO* exception, UINT* argError) override;

      private:
        ~PlayerEventSink() = default;

        LONG _refs = 1;
        IPlayerEvents* _events;
        IID _source;
        PlayerEventIds _ids;
    };
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

    // One control in its host window. Owns the window, the control references and
    // the event connection, and gives them all back when destroyed.
    class HostedPlayer final : public IPlayer
    {
      public:
        // `host` is the window the control lives in; `control` any of its interfaces.
        HostedPlayer(HWND host, IUnknown* control);
        ~HostedPlayer() override;
        HostedPlayer(const HostedPlayer&) = delete;
        HostedPlayer& operator=(const HostedPlayer&) = delete;

        // Finds the control's default source interface and connects a sink to it.
        HRESULT ConnectEvents(IPlayerEvents& events);
        // S_OK when the control can be driven through IDispatch.
        HRESULT Usable() const { return _dispatch ? S_OK : E_NOINTERFACE; }

        Hwnd Window() override;
        HResult DoVerb(int verb) override;
        HResult SetMovie(const std::wstring& movie) override;
        HResult GetMovie(std::wstring& movie) override;
        HResult SetMenu(bool menu) override;
        HResult SetProperty(const std::wstring& name, const std::variant<bool, std::wstring>& value) override;
        HResult Play() override;
        HResult Stop() override;
        HResult Rewind() override;
        HResult FlashVersion(long& version) override;
        HResult SetVariable(const std::wstring& name, const std::wstring& value) override;
        HResult GetVariable(const std::wstring& name, std::wstring& value) override;

      private:
        HRESULT MemberId(const wchar_t* name, DISPID& id) const;
        HRESULT PutProperty(const wchar_t* name, Variant& value);
        HRESULT GetProperty(const wchar_t* name, Variant& result);
        // `args` in the order of the member's parameters (they are passed reversed).
        HRESULT CallMethod(DISPID id, Variant* args, UINT count, Variant* result);
        HRESULT CallMethod(const wchar_t* name, Variant* args, UINT count, Variant* result);

        HWND _host;
        ComPtr<IUnknown> _control;
        ComPtr<IDispatch> _dispatch;
        ComPtr<IConnectionPoint> _connection;
        ::DWORD _cookie = 0;
        PlayerEventSink* _sink = nullptr;
    };

    // A child window of the system's ActiveX host class at `bounds`, hosting the
    // control named by `control` (a class identifier in braces; empty for none).
    HWND CreateHostWindow(HWND parent, const Rect& bounds, const wchar_t* control);

    // Makes the control in a new child window of `parent` at `bounds` (parent client
    // coordinates). Fails with the class factory's answer, REGDB_E_CLASSNOTREG when
    // the control is not installed, and then leaves no window behind.
    HRESULT CreateHostedPlayer(HWND parent, const Rect& bounds, IPlayerEvents& events, std::unique_ptr<IPlayer>& player);
} // namespace os::win32
