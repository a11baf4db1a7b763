#include "os/win32/notifications.h"

#include <cstring>

namespace os::win32
{
    namespace
    {
        // GUID_CONSOLE_DISPLAY_STATE, written out so that no import library is needed.
        constexpr GUID kConsoleDisplayState = { 0x6fe69556, 0x704a, 0x47a0, { 0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47 } };
        constexpr DWORD kNotifyForThisSession = 0; // NOTIFY_FOR_THIS_SESSION
        constexpr DWORD kNotifyWindowHandle = 0;   // DEVICE_NOTIFY_WINDOW_HANDLE
        constexpr wchar_t kSessionProperty[] = L"NorvaleSessionNotification";
        constexpr wchar_t kPowerProperty[] = L"NorvaleDisplayStateNotification";

        template <typename F> F Find(HMODULE module, const char* name)
        {
            if (!module)
                return nullptr;
            return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        }

        // The system's own calls: user32 is loaded with the program; wtsapi32 is
        // loaded on the first registration and kept until the process ends.
        class SystemCalls
        {
          public:
            static SystemCalls& Get()
            {
                static SystemCalls calls;
                return calls;
            }
            SystemCalls(const SystemCalls&) = delete;
            SystemCalls& operator=(const SystemCalls&) = delete;
            ~SystemCalls()
            {
                if (_wtsapi32)
                    FreeLibrary(_wtsapi32);
            }
            const NotificationCalls& Calls() const { return _calls; }

          private:
            SystemCalls()
            {
                const HMODULE user32 = GetModuleHandleW(L"user32.dll");
                _calls.registerPower = Find<NotificationCalls::RegisterPowerFn>(user32, "RegisterPowerSettingNotification");
                _calls.unregisterPower = Find<NotificationCalls::UnregisterPowerFn>(user32, "UnregisterPowerSettingNotification");
                _wtsapi32 = LoadLibraryExW(L"wtsapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
                _calls.registerSession = Find<NotificationCalls::RegisterSessionFn>(_wtsapi32, "WTSRegisterSessionNotification");
                _calls.unregisterSession =
                    Find<NotificationCalls::UnregisterSessionFn>(_wtsapi32, "WTSUnRegisterSessionNotification");
            }

            HMODULE _wtsapi32 = nullptr;
            NotificationCalls _calls;
        };

        const NotificationCalls* replaced = nullptr;

        const NotificationCalls& Calls()
        {
            return replaced ? *replaced : SystemCalls::Get().Calls();
        }
    } // namespace

    ScopedNotificationCalls::ScopedNotificationCalls(const NotificationCalls& calls) : _calls(calls), _previous(replaced)
    {
        replaced = &_calls;
    }

    ScopedNotificationCalls::~ScopedNotificationCalls()
    {
        replaced = _previous;
    }

    bool RegisterSessionNotification(HWND hwnd)
    {
        if (GetPropW(hwnd, kSessionProperty))
            return true;
        const NotificationCalls& calls = Calls();
        if (!calls.registerSession || !calls.registerSession(hwnd, kNotifyForThisSession))
            return false;
        if (!SetPropW(hwnd, kSessionProperty, reinterpret_cast<HANDLE>(1)))
        {
            // Nothing would unregister it when the window goes.
            if (calls.unregisterSession)
                calls.unregisterSession(hwnd);
            return false;
        }
        return true;
    }

    void UnregisterSessionNotification(HWND hwnd)
    {
        if (!RemovePropW(hwnd, kSessionProperty))
            return;
        const NotificationCalls& calls = Calls();
        if (calls.unregisterSession)
            calls.unregisterSession(hwnd);
    }

    bool RegisterDisplayStateNotification(HWND hwnd)
    {
        if (GetPropW(hwnd, kPowerProperty))
            return true;
        const NotificationCalls& calls = Calls();
        if (!calls.registerPower)
            return false;
        const HANDLE notification = calls.registerPower(hwnd, &kConsoleDisplayState, kNotifyWindowHandle);
        if (!notification)
            return false;
        if (!SetPropW(hwnd, kPowerProperty, notification))
        {
            if (calls.unregisterPower)
                calls.unregisterPower(notification);
            return false;
        }
        return true;
    }

    void UnregisterDisplayStateNotification(HWND hwnd)
    {
        const HANDLE notification = RemovePropW(hwnd, kPowerProperty);
        if (!notification)
            return;
        const NotificationCalls& calls = Calls();
        if (calls.unregisterPower)
            calls.unregisterPower(notification);
    }

    void ReleaseNotifications(HWND hwnd)
    {
        UnregisterSessionNotification(hwnd);
        UnregisterDisplayStateNotification(hwnd);
    }

    PowerMessage ReadPowerBroadcast(WPARAM wParam, LPARAM lParam, LPARAM& displayState)
    {
        if (wParam != PBT_POWERSETTINGCHANGE)
            return PowerMessage::pass;
        const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
        if (!setting || !IsEqualGUID(setting->PowerSetting, kConsoleDisplayState) || setting->DataLength < sizeof(DWORD))
            return PowerMessage::withhold;
        DWORD state = 0;
        std::memcpy(&state, setting->Data, sizeof(state));
        displayState = static_cast<LPARAM>(state);
        return PowerMessage::translate;
    }
} // namespace os::win32
