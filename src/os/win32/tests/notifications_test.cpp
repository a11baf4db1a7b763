// The session's and the display's notifications: what the window's procedure hears
// of a display state change, and which registrations are made and released.
#include "os/win32/backend.h"
#include "os/win32/common.h"
#include "os/win32/notifications.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace os::win32::test
{
    namespace
    {
        constexpr GUID kConsoleDisplayState = { 0x6fe69556, 0x704a, 0x47a0, { 0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47 } };
        // GUID_ACDC_POWER_SOURCE: another setting a window may hear of.
        constexpr GUID kPowerSource = { 0x5d3e9a59, 0xe9d5, 0x4b00, { 0xa6, 0xbd, 0xff, 0x34, 0xff, 0x51, 0x65, 0x48 } };

        // A POWERBROADCAST_SETTING as the system sends it, with `length` bytes of data.
        std::vector<std::uint8_t> Setting(const GUID& guid, DWORD state, DWORD length = sizeof(DWORD))
        {
            std::vector<std::uint8_t> bytes(sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD), 0);
            auto* setting = reinterpret_cast<POWERBROADCAST_SETTING*>(bytes.data());
            setting->PowerSetting = guid;
            setting->DataLength = length;
            std::memcpy(setting->Data, &state, sizeof(state));
            return bytes;
        }

        // The system's calls, played: what they were asked and what they answer.
        struct FakeSystem
        {
            static inline FakeSystem* current = nullptr;
            bool answerSession = true;
            HANDLE answerPower = reinterpret_cast<HANDLE>(0x5150);
            std::vector<HWND> sessionRegistered, sessionUnregistered;
            std::vector<HWND> powerRegistered;
            std::vector<HANDLE> powerUnregistered;
            bool askedForDisplayState = true;
            DWORD powerFlags = 0xFFFF;

            NotificationCalls Calls() const
            {
                NotificationCalls calls;
                calls.registerSession = [](HWND h, DWORD flags) -> BOOL
                {
                    current->sessionRegistered.push_back(h);
                    return flags == 0 /* this session */ && current->answerSession;
                };
                calls.unregisterSession = [](HWND h) -> BOOL
                {
                    current->sessionUnregistered.push_back(h);
                    return TRUE;
                };
                calls.registerPower = [](HANDLE h, LPCGUID guid, DWORD flags) -> HANDLE
                {
                    current->powerRegistered.push_back(static_cast<HWND>(h));
                    current->askedForDisplayState = current->askedForDisplayState && IsEqualGUID(*guid, kConsoleDisplayState);
                    current->powerFlags = flags;
                    return current->answerPower;
                };
                calls.unregisterPower = [](HANDLE h) -> BOOL
                {
                    current->powerUnregistered.push_back(h);
                    return TRUE;
                };
                return calls;
            }
        };

        class NotificationsTest : public ::testing::Test
        {
          protected:
            NotificationsTest() { FakeSystem::current = &fake; }
            ~NotificationsTest() override { FakeSystem::current = nullptr; }
            void TearDown() override
            {
                for (Hwnd h : made)
                    if (wm.IsWindow(h))
                        wm.Destroy(h);
            }

            Hwnd Make()
            {
                WindowParams request;
                request.className = "NorvaleTestNotified";
                request.style = WS_POPUP;
                request.bounds = Rect::FromBounds(0, 0, 100, 20);
                const Hwnd h = wm.Create(request, &rec);
                made.push_back(h);
                return h;
            }

            std::unique_ptr<Backend> backend = CreateBackend();
            IWindowManager& wm = backend->Os().windows;
            Recorder rec{ wm };
            FakeSystem fake;
            std::vector<Hwnd> made;
        };
    } // namespace

    TEST_F(NotificationsTest, TheProcedureHearsTheDisplaysStateInTheSeamsForm)
    {
        const Hwnd hwnd = Make();
        ASSERT_NE(hwnd, Hwnd{});
        for (DWORD state : { 0u, 1u, 2u })
        {
            rec.Clear();
            std::vector<std::uint8_t> setting = Setting(kConsoleDisplayState, state);
            wm.Send(hwnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(setting.data()));
            ASSERT_EQ(rec.Count(WM_POWERBROADCAST), 1) << rec.Describe();
            const Logged* heard = rec.Find(WM_POWERBROADCAST).at(0);
            EXPECT_EQ(heard->wParam, pbt::powersettingchange);
            EXPECT_EQ(heard->lParam, static_cast<LPARAM>(state));
        }

        // Another setting, and a display state without its data, are not the seam's
        // message: the procedure does not hear them.
        rec.Clear();
        std::vector<std::uint8_t> other = Setting(kPowerSource, 1);
        wm.Send(hwnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(other.data()));
        std::vector<std::uint8_t> cut = Setting(kConsoleDisplayState, 1, 0);
        wm.Send(hwnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(cut.data()));
        wm.Send(hwnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0);
        EXPECT_EQ(rec.Count(WM_POWERBROADCAST), 0) << rec.Describe();

        // The other power events pass as they came.
        wm.Send(hwnd, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 7);
        ASSERT_EQ(rec.Count(WM_POWERBROADCAST), 1);
        EXPECT_EQ(rec.Find(WM_POWERBROADCAST).at(0)->wParam, static_cast<WPARAM>(PBT_APMRESUMEAUTOMATIC));
        EXPECT_EQ(rec.Find(WM_POWERBROADCAST).at(0)->lParam, 7);
    }

    TEST_F(NotificationsTest, RegistrationsAreMadeOnceAndReleasedOnUnregisterOrWhenTheWindowGoes)
    {
        ScopedNotificationCalls calls(fake.Calls());
        const Hwnd first = Make();
        const Hwnd second = Make();
        ASSERT_NE(first, Hwnd{});
        ASSERT_NE(second, Hwnd{});

        EXPECT_TRUE(wm.RegisterDisplayStateNotification(first));
        EXPECT_TRUE(wm.RegisterDisplayStateNotification(first)); // already: not twice
        EXPECT_TRUE(fake.askedForDisplayState);
        EXPECT_EQ(fake.powerFlags, 0u); // DEVICE_NOTIFY_WINDOW_HANDLE
        EXPECT_TRUE(wm.RegisterSessionNotification(first));
        EXPECT_TRUE(wm.RegisterSessionNotification(first));
        ASSERT_EQ(fake.powerRegistered, std::vector<HWND>{ ToHwnd(first) });
        ASSERT_EQ(fake.sessionRegistered, std::vector<HWND>{ ToHwnd(first) });

        wm.UnregisterDisplayStateNotification(first);
        wm.UnregisterSessionNotification(first);
        EXPECT_EQ(fake.powerUnregistered, std::vector<HANDLE>{ fake.answerPower });
        EXPECT_EQ(fake.sessionUnregistered, std::vector<HWND>{ ToHwnd(first) });
        // Unregistering again, or what was never registered, asks nothing.
        wm.UnregisterDisplayStateNotification(first);
        wm.UnregisterSessionNotification(second);
        EXPECT_EQ(fake.powerUnregistered.size(), 1u);
        EXPECT_EQ(fake.sessionUnregistered.size(), 1u);

        // A window destroyed while registered releases both.
        fake.answerPower = reinterpret_cast<HANDLE>(0x6160);
        EXPECT_TRUE(wm.RegisterDisplayStateNotification(second));
        EXPECT_TRUE(wm.RegisterSessionNotification(second));
        ASSERT_TRUE(wm.Destroy(second));
        EXPECT_EQ(fake.powerUnregistered.back(), reinterpret_cast<HANDLE>(0x6160));
        EXPECT_EQ(fake.sessionUnregistered.back(), ToHwnd(second));
        EXPECT_EQ(fake.powerUnregistered.size(), 2u);
        EXPECT_EQ(fake.sessionUnregistered.size(), 2u);
    }

    TEST_F(NotificationsTest, RegistrationFailsWhenTheSystemRefusesOrLacksTheCall)
    {
        const Hwnd hwnd = Make();
        ASSERT_NE(hwnd, Hwnd{});
        {
            fake.answerSession = false;
            fake.answerPower = nullptr;
            ScopedNotificationCalls calls(fake.Calls());
            EXPECT_FALSE(wm.RegisterSessionNotification(hwnd));
            EXPECT_FALSE(wm.RegisterDisplayStateNotification(hwnd));
            // Nothing was registered, so nothing is released.
            wm.UnregisterSessionNotification(hwnd);
            wm.UnregisterDisplayStateNotification(hwnd);
            EXPECT_TRUE(fake.sessionUnregistered.empty());
            EXPECT_TRUE(fake.powerUnregistered.empty());
        }
        {
            ScopedNotificationCalls missing(NotificationCalls{});
            EXPECT_FALSE(wm.RegisterSessionNotification(hwnd));
            EXPECT_FALSE(wm.RegisterDisplayStateNotification(hwnd));
        }
        {
            // A window that is not one of ours is never registered: nothing would
            // release it when it goes.
            fake.answerSession = true;
            fake.answerPower = reinterpret_cast<HANDLE>(0x5150);
            ScopedNotificationCalls calls(fake.Calls());
            EXPECT_FALSE(wm.RegisterSessionNotification(FromHwnd(GetDesktopWindow())));
            EXPECT_FALSE(wm.RegisterDisplayStateNotification(FromHwnd(GetDesktopWindow())));
            EXPECT_TRUE(fake.sessionRegistered.size() == 1 && fake.powerRegistered.size() == 1);
        }
    }

    TEST_F(NotificationsTest, RegistrationAnswersWhatTheSystemGives)
    {
        const Hwnd hwnd = Make();
        ASSERT_NE(hwnd, Hwnd{});
        // The system's own answer, asked directly for a window of the test's.
        HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(probe, nullptr);
        const HMODULE user32 = GetModuleHandleW(L"user32.dll");
        auto registerPower = reinterpret_cast<NotificationCalls::RegisterPowerFn>(
            reinterpret_cast<void*>(GetProcAddress(user32, "RegisterPowerSettingNotification")));
        auto unregisterPower = reinterpret_cast<NotificationCalls::UnregisterPowerFn>(
            reinterpret_cast<void*>(GetProcAddress(user32, "UnregisterPowerSettingNotification")));
        bool systemPower = false;
        if (registerPower)
        {
            const HANDLE h = registerPower(probe, &kConsoleDisplayState, 0);
            systemPower = h != nullptr;
            if (h && unregisterPower)
                unregisterPower(h);
        }
        bool systemSession = false;
        if (HMODULE wtsapi32 = LoadLibraryW(L"wtsapi32.dll"))
        {
            auto registerSession = reinterpret_cast<NotificationCalls::RegisterSessionFn>(
                reinterpret_cast<void*>(GetProcAddress(wtsapi32, "WTSRegisterSessionNotification")));
            auto unregisterSession = reinterpret_cast<NotificationCalls::UnregisterSessionFn>(
                reinterpret_cast<void*>(GetProcAddress(wtsapi32, "WTSUnRegisterSessionNotification")));
            if (registerSession && registerSession(probe, 0))
            {
                systemSession = true;
                if (unregisterSession)
                    unregisterSession(probe);
            }
            FreeLibrary(wtsapi32);
        }
        DestroyWindow(probe);

        EXPECT_EQ(wm.RegisterDisplayStateNotification(hwnd), systemPower);
        EXPECT_EQ(wm.RegisterSessionNotification(hwnd), systemSession);
        wm.UnregisterDisplayStateNotification(hwnd);
        wm.UnregisterSessionNotification(hwnd);
        std::printf("the system's registrations: display state %s, session %s\n", systemPower ? "given" : "refused",
                    systemSession ? "given" : "refused");
    }
} // namespace os::win32::test
