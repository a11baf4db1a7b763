// The session's lock and unlock (wtsapi32's WTSRegisterSessionNotification) and the
// console display's power state (user32's RegisterPowerSettingNotification, Vista
// and later), both found at run time so that the program starts where they are
// missing. The registrations are kept per window and released when the window goes.
#pragma once

#include <windows.h>

namespace os::win32
{
    // The system's calls behind the registrations; a member is null where the system
    // lacks it. Tests put their own in place with ScopedNotificationCalls.
    struct NotificationCalls
    {
        using RegisterSessionFn = BOOL(WINAPI*)(HWND, DWORD);
        using UnregisterSessionFn = BOOL(WINAPI*)(HWND);
        using RegisterPowerFn = HANDLE(WINAPI*)(HANDLE, LPCGUID, DWORD);
        using UnregisterPowerFn = BOOL(WINAPI*)(HANDLE);
        RegisterSessionFn registerSession = nullptr;
        UnregisterSessionFn unregisterSession = nullptr;
        RegisterPowerFn registerPower = nullptr;
        UnregisterPowerFn unregisterPower = nullptr;
    };

    class ScopedNotificationCalls
    {
      public:
        explicit ScopedNotificationCalls(const NotificationCalls& calls);
        ScopedNotificationCalls(const ScopedNotificationCalls&) = delete;
        ScopedNotificationCalls& operator=(const ScopedNotificationCalls&) = delete;
        ~ScopedNotificationCalls();

      private:
        NotificationCalls _calls; // a copy: the caller's may be a temporary
        const NotificationCalls* _previous;
    };

    bool RegisterSessionNotification(HWND hwnd);
    void UnregisterSessionNotification(HWND hwnd);
    bool RegisterDisplayStateNotification(HWND hwnd);
    void UnregisterDisplayStateNotification(HWND hwnd);
    // Releases whatever the window still has registered: at WM_NCDESTROY.
    void ReleaseNotifications(HWND hwnd);

    // How the window's procedure hears a WM_POWERBROADCAST.
    enum class PowerMessage
    {
        pass,      // as it came (not a power setting's change)
        translate, // the display's state: lParam becomes it
        withhold,  // another setting, or a display state without its data
    };
    // For a power setting's change: whether it is the console display's state, and
    // that state (displaystate::) when it is.
    PowerMessage ReadPowerBroadcast(WPARAM wParam, LPARAM lParam, LPARAM& displayState);
} // namespace os::win32
