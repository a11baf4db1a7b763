// System information, the shell's desktop-toolbar messages and the seam's handle and
// root-key constants that the SDK defines as pointers.
#include "os/win32/backend.h"
#include "os/win32/common.h"
#include "os/win32/dpi.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <memory>

namespace os::win32::test
{
    TEST(SystemTest, ScreenMetricsAndWorkAreaAreSane)
    {
        auto backend = CreateBackend();
        ISystemInfo& system = backend->Os().system;
        const int cx = system.GetSystemMetrics(sm::cxscreen);
        const int cy = system.GetSystemMetrics(sm::cyscreen);
        EXPECT_GE(cx, 640);
        EXPECT_GE(cy, 480);
        EXPECT_GE(system.GetSystemMetrics(sm::cmonitors), 1);
        EXPECT_GT(system.GetSystemMetrics(sm::cycaption), 0);
        EXPECT_GT(system.GetSystemMetrics(sm::cxsmicon), 0);
        EXPECT_LT(system.GetSystemMetrics(sm::cxsmicon), system.GetSystemMetrics(sm::cxicon));

        const Rect work = system.GetWorkArea();
        EXPECT_GT(work.Width(), 0);
        EXPECT_GT(work.Height(), 0);
        EXPECT_GE(work.left, 0);
        EXPECT_GE(work.top, 0);
        EXPECT_LE(work.right, cx);
        EXPECT_LE(work.bottom, cy);

        const int dpi = system.GetLogPixelsX();
        EXPECT_GE(dpi, 72);
        EXPECT_LE(dpi, 480);

        const std::string separator = system.GetDecimalSeparator();
        EXPECT_FALSE(separator.empty());
        EXPECT_LE(separator.size(), 3u);
        EXPECT_EQ(separator.find_first_of("0123456789"), std::string::npos);
    }

    TEST(SystemTest, TheDpiOfAWindowItsMonitorAndTheSystemAgreeOnOneMonitor)
    {
        // Wine, and a Windows with one monitor, give every monitor the system DPI:
        // the per-monitor calls, where this Windows has them, answer it too.
        auto backend = CreateBackend();
        ISystemInfo& system = backend->Os().system;
        IWindowManager& windows = backend->Os().windows;
        const int dpi = system.GetLogPixelsX();
        EXPECT_EQ(system.GetDpiForMonitorAt(Rect::FromBounds(10, 10, 100, 20)), dpi);
        EXPECT_EQ(system.GetDpiForMonitorAt(Rect::FromBounds(-30000, -30000, 5, 5)), dpi) << "off every monitor: the nearest";
        HWND plain =
            CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 10, 10, 100, 20, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(plain, nullptr);
        EXPECT_EQ(windows.GetDpiForWindow(FromHwnd(plain)), dpi);
        DestroyWindow(plain);
        EXPECT_EQ(system.GetSystemMetricsForDpi(sm::cmonitors, 2 * dpi), system.GetSystemMetrics(sm::cmonitors));
        const int scroll = system.GetSystemMetricsForDpi(sm::cxvscroll, dpi);
        EXPECT_EQ(scroll, system.GetSystemMetrics(sm::cxvscroll));
        if (DpiFunctions::Get().HasMetricsForDpi())
        {
            const int doubled = system.GetSystemMetricsForDpi(sm::cxvscroll, 2 * dpi);
            EXPECT_GE(doubled, 2 * scroll - 1);
            EXPECT_LE(doubled, 2 * scroll + 1);
        }
    }

    TEST(SystemTest, PointerAndKeysAndClock)
    {
        auto backend = CreateBackend();
        ISystemInfo& system = backend->Os().system;
        ASSERT_TRUE(SetCursorPos(123, 234));
        EXPECT_EQ(system.GetCursorPos(), (Point{ 123, 234 }));
        // Nobody holds a button down in the test display.
        EXPECT_EQ(system.GetAsyncKeyState(vk::lbutton) & 0x8000, 0);
        EXPECT_EQ(system.GetKeyState(vk::control) & 0x8000, 0);

        const DWORD t0 = system.GetTickCount();
        Sleep(50);
        const DWORD elapsed = system.GetTickCount() - t0;
        EXPECT_GE(elapsed, 30u); // the tick may advance in steps of about 16 ms
        EXPECT_LT(elapsed, 2000u);
        EXPECT_NE(system.GetSysColor(color::btnface), system.GetSysColor(color::btntext));
    }

    TEST(SystemTest, HandleAndRootConstantsAreTheSdkOnes)
    {
        EXPECT_EQ(ToHwnd(hwnd_top), HWND_TOP);
        EXPECT_EQ(ToHwnd(hwnd_bottom), HWND_BOTTOM);
        EXPECT_EQ(ToHwnd(hwnd_topmost), HWND_TOPMOST);
        EXPECT_EQ(ToHwnd(hwnd_notopmost), HWND_NOTOPMOST);
        EXPECT_EQ(MAKEINTRESOURCEW(idc::arrow), IDC_ARROW);
        EXPECT_EQ(MAKEINTRESOURCEW(idc::sizeall), IDC_SIZEALL);
        EXPECT_EQ(MAKEINTRESOURCEW(idc::hand), IDC_HAND);
        EXPECT_EQ(MAKEINTRESOURCEW(idi::application), IDI_APPLICATION);
        EXPECT_EQ(MAKEINTRESOURCEW(idi::question), IDI_QUESTION);
        // The registry roots as 32-bit values, as the settings record stores them.
        EXPECT_EQ(static_cast<std::uint32_t>(RegRoot::classesRoot),
                  static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT)));
        EXPECT_EQ(static_cast<std::uint32_t>(RegRoot::currentUser),
                  static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_USER)));
        EXPECT_EQ(static_cast<std::uint32_t>(RegRoot::localMachine),
                  static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(HKEY_LOCAL_MACHINE)));
    }

    TEST(SystemTest, CursorsAndIconsAreTheSystemOnesAndTheProgramsOwn)
    {
        auto backend = CreateBackend();
        IWindowManager& wm = backend->Os().windows;
        EXPECT_EQ(ToHcursor(wm.LoadSystemCursor(idc::arrow)), LoadCursorW(nullptr, IDC_ARROW));
        EXPECT_EQ(ToHcursor(wm.LoadSystemCursor(idc::hand)), LoadCursorW(nullptr, IDC_HAND));
        EXPECT_NE(wm.LoadSystemCursor(idc::hand), wm.LoadSystemCursor(idc::arrow));
        EXPECT_EQ(ToHicon(wm.LoadSystemIcon(idi::question)), LoadIconW(nullptr, IDI_QUESTION));

        // The program's icon at the size asked for, each size its own image.
        for (int size : { 16, 32, 48 })
        {
            const IconHandle icon = wm.LoadAppIcon(size);
            ASSERT_NE(icon, IconHandle{}) << size;
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(ToHicon(icon), &info)) << size;
            BITMAP bm{};
            GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
            EXPECT_EQ(bm.bmWidth, size);
            if (info.hbmColor)
                DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            EXPECT_EQ(wm.LoadAppIcon(size), icon); // loaded once
        }
    }

    TEST(ShellTest, DesktopToolbarAndTrayIconAreAcceptedByTheShell)
    {
        auto backend = CreateBackend();
        IShell& shell = backend->Os().shell;
        IWindowManager& wm = backend->Os().windows;
        struct Quiet final : IWindowProcedure
        {
            explicit Quiet(IWindowManager& w) : windows(w) {}
            LRESULT WindowProc(Hwnd h, UINT m, WPARAM wp, LPARAM lp) override { return windows.DefaultProc(h, m, wp, lp); }
            IWindowManager& windows;
        } proc{ wm };
        WindowParams request;
        request.className = "NorvaleShellTest";
        request.style = WS_POPUP;
        request.exStyle = WS_EX_TOOLWINDOW;
        request.bounds = Rect::FromBounds(0, 0, 300, 25);
        const Hwnd hwnd = wm.Create(request, &proc);
        ASSERT_NE(hwnd, Hwnd{});

        AppBarData bar;
        bar.hWnd = hwnd;
        bar.uCallbackMessage = WM_USER + 9;
        EXPECT_EQ(shell.AppBarMessage(abm::new_, bar), 1u);
        AppBarData query;
        query.hWnd = hwnd;
        query.uEdge = abe::top;
        const int cx = GetSystemMetrics(SM_CXSCREEN);
        query.rc = { 0, 0, cx, 25 };
        EXPECT_EQ(shell.AppBarMessage(abm::querypos, query), 1u);
        // The shell may move the rectangle off other bars, never off the screen.
        EXPECT_GE(query.rc.left, 0);
        EXPECT_LE(query.rc.right, cx);
        EXPECT_GT(query.rc.Height(), 0);
        EXPECT_EQ(shell.AppBarMessage(abm::remove, bar), 1u);
        // Only the two documented state bits.
        AppBarData state;
        EXPECT_EQ(shell.AppBarMessage(abm::getstate, state) & ~std::uintptr_t{ abs_::autohide | abs_::alwaysontop }, 0u);

        NotifyIconData icon;
        icon.hwnd = hwnd;
        icon.id = 1;
        icon.flags = nif::message | nif::icon | nif::tip;
        icon.callbackMessage = WM_USER + 10;
        icon.icon = wm.LoadAppIcon(16);
        icon.tip = std::string(200, 'x'); // longer than the shell holds: cut, not refused
        EXPECT_TRUE(shell.NotifyIcon(nim::add, icon));
        icon.tip = "Norvale";
        EXPECT_TRUE(shell.NotifyIcon(nim::modify, icon));
        EXPECT_TRUE(shell.NotifyIcon(nim::delete_, icon));
        EXPECT_FALSE(shell.NotifyIcon(nim::delete_, icon));
        wm.Destroy(hwnd);
    }
} // namespace os::win32::test
