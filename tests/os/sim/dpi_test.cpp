// The simulator's monitors and their DPI against what Windows does for a program
// aware of each monitor: a window takes its monitor's DPI and hears of a new one
// through WM_DPICHANGED with a suggested rectangle.
#include "os/sim/desktop.h"
#include "support/recorder.h"

#include <gtest/gtest.h>

using namespace os;
using testing_support::Recorder;
using testing_support::TopLevel;

namespace
{
    // A primary monitor of 96 dpi (1280 by 1024) and, right of it, one of 192.
    class SimDpiTest : public ::testing::Test
    {
      protected:
        SimDpiTest() : second(desktop.system.AddMonitor({ 1280, 0, 3840, 1600 }, 192)) {}
        sim::Desktop desktop;
        IWindowManager& wm = desktop.windows;
        ISystemInfo& system = desktop.system;
        std::size_t second;
    };
} // namespace

TEST_F(SimDpiTest, TheMonitorWithTheLargestPartOfARectangleOrTheNearestGivesItsDpi)
{
    EXPECT_EQ(system.GetSystemMetrics(sm::cmonitors), 2);
    EXPECT_EQ(system.GetDpiForMonitorAt(Rect::FromBounds(100, 100, 50, 50)), 96);
    EXPECT_EQ(system.GetDpiForMonitorAt(Rect::FromBounds(1200, 100, 200, 50)), 192) << "120 of 200 on the second";
    EXPECT_EQ(system.GetDpiForMonitorAt(Rect::FromBounds(1180, 100, 200, 50)), 96) << "100 of 200: the first keeps it";
    EXPECT_EQ(system.GetDpiForMonitorAt(Rect::FromBounds(3000, 1700, 10, 10)), 192) << "below the second, nearest to it";
    EXPECT_EQ(system.GetDpiForMonitorAt(Rect::FromBounds(-500, -500, 10, 10)), 96);
    EXPECT_EQ(system.GetDpiForMonitorAt(Rect::FromBounds(1275, -20, 10, 5)), 96) << "as near to both: the first";
    EXPECT_EQ(second, 1u);
    // Lengths follow the DPI asked for; counts and flags do not.
    EXPECT_EQ(system.GetSystemMetricsForDpi(sm::cxvscroll, 192), 34);
    EXPECT_EQ(system.GetSystemMetricsForDpi(sm::cxvscroll, 144), 26) << "25.5";
    EXPECT_EQ(system.GetSystemMetricsForDpi(sm::cmonitors, 192), 2);
    EXPECT_EQ(system.GetSystemMetricsForDpi(sm::swapbutton, 192), 0);
}

TEST_F(SimDpiTest, AWindowMovedOntoAMonitorOfAnotherDpiTakesItAndHearsOnceWithTheSuggestedRectangle)
{
    Recorder rec(wm);
    Rect suggested;
    int dpiInside = 0;
    rec.hook = [&](Hwnd h, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT>
    {
        if (msg == wm::dpichanged)
        {
            suggested = *reinterpret_cast<const Rect*>(lParam);
            dpiInside = wm.GetDpiForWindow(h);
        }
        return std::nullopt;
    };
    const Hwnd h = wm.Create(TopLevel(Rect::FromBounds(100, 100, 703, 25)), &rec);
    const Hwnd child = wm.Create(
        [&]
        {
            WindowParams p = TopLevel(Rect::FromBounds(0, 0, 10, 10), ws::child);
            p.parent = h;
            return p;
        }(),
        &rec);
    EXPECT_EQ(wm.GetDpiForWindow(h), 96);
    EXPECT_EQ(wm.GetDpiForWindow(Hwnd{}), 0) << "no window, no DPI";
    wm.SetWindowPos(h, Hwnd{}, 1400, 100, 703, 25, swp::nozorder | swp::noactivate);
    EXPECT_EQ(rec.Only({ wm::dpichanged }).size(), 1u);
    EXPECT_EQ(rec.log.back().message, wm::dpichanged) << "after the move's own messages";
    EXPECT_EQ(rec.log.back().wParam, (192u << 16) | 192u);
    EXPECT_EQ(suggested, Rect::FromBounds(1400, 100, 1406, 50));
    EXPECT_EQ(dpiInside, 192) << "the window has the new DPI when it hears of it";
    EXPECT_EQ(wm.GetDpiForWindow(child), 192) << "a child has its window's";
    EXPECT_EQ(wm.GetWindowRect(h), Rect::FromBounds(1400, 100, 703, 25)) << "nothing resizes a window that does not";

    wm.SetWindowPos(h, Hwnd{}, 1500, 200, 703, 25, swp::nozorder | swp::noactivate);
    EXPECT_EQ(rec.Only({ wm::dpichanged }).size(), 1u) << "same monitor, same DPI: nothing";
    wm.SetWindowPos(h, Hwnd{}, 0, 0, 703, 25, swp::nozorder | swp::noactivate);
    EXPECT_EQ(rec.Only({ wm::dpichanged }).size(), 2u);
    EXPECT_EQ(suggested, Rect::FromBounds(0, 0, 352, 13)) << "351.5 and 12.5 rounded";
    EXPECT_EQ(wm.GetDpiForWindow(h), 96);
}

TEST_F(SimDpiTest, ANewScaleReachesTheWindowsOnThatMonitorOnly)
{
    Recorder first(wm);
    Recorder other(wm);
    const Hwnd a = wm.Create(TopLevel(Rect::FromBounds(100, 100, 200, 20)), &first);
    const Hwnd b = wm.Create(TopLevel(Rect::FromBounds(1400, 100, 200, 20)), &other);
    desktop.ChangeMonitorDpi(0, 144);
    EXPECT_EQ(first.Only({ wm::dpichanged }).size(), 1u);
    EXPECT_EQ(other.Only({ wm::dpichanged }).size(), 0u);
    EXPECT_EQ(wm.GetDpiForWindow(a), 144);
    EXPECT_EQ(wm.GetDpiForWindow(b), 192);
    desktop.ChangeMonitorDpi(second, 144);
    EXPECT_EQ(other.Only({ wm::dpichanged }).size(), 1u);
    EXPECT_EQ(wm.GetDpiForWindow(b), 144);
}

TEST_F(SimDpiTest, AProgramAwareOnlyOfTheSystemDpiHasItEverywhereAndNeverHearsOfAChange)
{
    // Older Windows, and Wine, whose monitors all have the system DPI.
    desktop.system.SetPerMonitorAware(false);
    desktop.system.SetLogPixelsX(120);
    Recorder rec(wm);
    const Hwnd h = wm.Create(TopLevel(Rect::FromBounds(100, 100, 200, 20)), &rec);
    wm.SetWindowPos(h, Hwnd{}, 1400, 100, 200, 20, swp::nozorder | swp::noactivate);
    EXPECT_TRUE(rec.Only({ wm::dpichanged }).empty());
    EXPECT_EQ(wm.GetDpiForWindow(h), 120);
    EXPECT_EQ(system.GetDpiForMonitorAt(Rect::FromBounds(1400, 100, 10, 10)), 120);
}
