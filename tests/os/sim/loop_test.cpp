// The simulated message loop: queue order, timers on the virtual clock, nested
// loops of modal boxes and menus, and the quit.
#include "os/sim/desktop.h"
#include "support/recorder.h"

#include <gtest/gtest.h>

using namespace os;
using testing_support::Recorder;
using testing_support::TopLevel;

namespace
{
    class SimLoopTest : public ::testing::Test
    {
      protected:
        sim::Desktop desktop;
        IWindowManager& wm = desktop.windows;
        Recorder rec{ wm };
        Hwnd h = wm.Create(TopLevel({ 0, 0, 100, 100 }), &rec);

        std::vector<std::uint64_t> TimerTimes(std::uintptr_t id) const
        {
            return _fired.count(id) ? _fired.at(id) : std::vector<std::uint64_t>{};
        }
        void RecordTimers(std::function<void(std::uintptr_t)> also = {})
        {
            rec.hook = [this, also](Hwnd, UINT msg, WPARAM wp, LPARAM) -> std::optional<LRESULT>
            {
                if (msg != wm::timer)
                    return std::nullopt;
                _fired[wp].push_back(desktop.Now());
                if (also)
                    also(wp);
                return 0;
            };
        }

      private:
        std::map<std::uintptr_t, std::vector<std::uint64_t>> _fired;
    };
} // namespace

TEST_F(SimLoopTest, APostedMessageIsHandledAfterTheCurrentOneReturns)
{
    const UINT first = wm::user + 1;
    const UINT second = wm::user + 2;
    std::vector<std::string> order;
    rec.hook = [&](Hwnd hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT>
    {
        if (msg == first)
        {
            wm.Post(hwnd, second, 0, 0);
            wm.Send(hwnd, wm::user + 3, 0, 0); // sent messages are handled at once
            order.push_back("first done");
        }
        else if (msg == second)
            order.push_back("second");
        else if (msg == wm::user + 3)
            order.push_back("sent");
        return std::nullopt;
    };
    wm.Post(h, first, 0, 0);
    EXPECT_TRUE(order.empty()) << "nothing runs before the loop does";
    desktop.windows.ProcessPending();
    EXPECT_EQ(order, (std::vector<std::string>{ "sent", "first done", "second" }));
}

TEST_F(SimLoopTest, TimersFireAtTheirVirtualTimesInOrder)
{
    RecordTimers();
    wm.SetTimer(h, 1, 1000);
    wm.SetTimer(h, 2, 300);
    desktop.Advance(2100);
    EXPECT_EQ(TimerTimes(1), (std::vector<std::uint64_t>{ 1000, 2000 }));
    EXPECT_EQ(TimerTimes(2), (std::vector<std::uint64_t>{ 300, 600, 900, 1200, 1500, 1800, 2100 }));
    EXPECT_EQ(desktop.Now(), 2100u);
}

TEST_F(SimLoopTest, ATimerStoppedInItsHandlerDoesNotFireAgain)
{
    RecordTimers([&](std::uintptr_t id) { wm.KillTimer(h, id); });
    wm.SetTimer(h, 5, 10);
    desktop.Advance(1000);
    EXPECT_EQ(TimerTimes(5), (std::vector<std::uint64_t>{ 10 }));
}

TEST_F(SimLoopTest, SettingATimerAgainRestartsItsPeriodAndTinyPeriodsAreRaised)
{
    RecordTimers();
    wm.SetTimer(h, 1, 800);
    desktop.Advance(500);
    wm.SetTimer(h, 1, 800);
    desktop.Advance(1000);
    EXPECT_EQ(TimerTimes(1), (std::vector<std::uint64_t>{ 1300 }));
    wm.KillTimer(h, 1);
    wm.SetTimer(h, 2, 1); // below the system minimum of 10 ms
    desktop.Advance(25);
    EXPECT_EQ(TimerTimes(2), (std::vector<std::uint64_t>{ 1510, 1520 }));
}

TEST_F(SimLoopTest, ACoalescedStretchDoesTheWorkInOrderThenFiresEachDueTimerOnce)
{
    std::vector<std::string> order;
    RecordTimers(
        [&](std::uintptr_t id)
        {
            order.push_back("timer " + std::to_string(id));
            if (id == 2)
                wm.KillTimer(h, 3); // an earlier handler stops a later timer
        });
    wm.SetTimer(h, 1, 17);
    wm.SetTimer(h, 2, 1000);
    wm.SetTimer(h, 3, 1000);
    wm.SetTimer(h, 4, 60'000); // not due in the stretch
    desktop.windows.ScheduleWork(900, [&] { order.push_back("work 900 at " + std::to_string(desktop.Now())); });
    desktop.windows.ScheduleWork(300,
                                 [&]
                                 {
                                     order.push_back("work 300");
                                     wm.Post(h, wm::user, 0, 0); // waits in the queue
                                 });
    desktop.windows.ScheduleWork(900, [&] { order.push_back("work 900 again"); }); // ties keep their order
    desktop.windows.ScheduleWork(5000, [&] { order.push_back("work at the end"); });
    desktop.windows.ScheduleWork(5001, [&] { order.push_back("work after"); });
    desktop.windows.Coalesce(5000);
    EXPECT_EQ(desktop.Now(), 5000u);
    EXPECT_EQ(order, (std::vector<std::string>{ "work 300", "work 900 at 900", "work 900 again", "work at the end", "timer 1",
                                                "timer 2" }));
    EXPECT_EQ(TimerTimes(1), (std::vector<std::uint64_t>{ 5000 }));
    EXPECT_EQ(rec.Only({ wm::user }).size(), 1u);
    // Each fired timer counts its next period from the stretch's end.
    desktop.Advance(1000);
    EXPECT_EQ(TimerTimes(2), (std::vector<std::uint64_t>{ 5000, 6000 }));
    EXPECT_EQ(TimerTimes(1).size(), 1u + 1000 / 17);
    EXPECT_TRUE(TimerTimes(3).empty());
    EXPECT_TRUE(TimerTimes(4).empty());
}

TEST_F(SimLoopTest, AMessageBoxAnsweredAfterTimeAdvancedLetsTimersFireMeanwhile)
{
    RecordTimers();
    wm.SetTimer(h, 1, 1000);
    desktop.windows.onMessageBox = [&](const sim::MessageBoxCall& box)
    {
        EXPECT_EQ(box.text, "Go on?");
        EXPECT_FALSE(wm.IsWindowEnabled(h)) << "the owner is disabled while the box is up";
        desktop.Advance(3500);
        return id::yes;
    };
    const int answer = wm.ShowMessageBox(h, "Go on?", "Question", mb::yesno | mb::iconquestion);
    EXPECT_EQ(answer, id::yes);
    EXPECT_TRUE(wm.IsWindowEnabled(h));
    EXPECT_EQ(TimerTimes(1), (std::vector<std::uint64_t>{ 1000, 2000, 3000 }));
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 1u);
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].answer, id::yes);
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].caption, "Question");
}

TEST_F(SimLoopTest, UnansweredBoxesTakeTheSafeButton)
{
    EXPECT_EQ(wm.ShowMessageBox(h, "x", "y", mb::yesno), id::no);
    EXPECT_EQ(wm.ShowMessageBox(h, "x", "y", mb::okcancel), id::cancel);
    EXPECT_EQ(wm.ShowMessageBox(h, "x", "y", mb::ok | mb::iconerror), id::ok);
}

TEST_F(SimLoopTest, APopupMenuReturnsTheChoiceOfAnEnabledCommandOnly)
{
    const MenuHandle sub = wm.CreatePopupMenu();
    wm.AppendMenuItem(sub, { 21, "Top", false, false, true, true, {} });
    const MenuHandle menu = wm.CreatePopupMenu();
    wm.AppendMenuItem(menu, { 10, "&Reload", false, false, true, false, {} });
    wm.AppendMenuItem(menu, { 0, "", true, false, true, false, {} });
    wm.AppendMenuItem(menu, { 11, "Always on &top", false, true, false, false, {} });
    wm.AppendMenuItem(menu, { 0, "&Docking", false, false, true, false, sub });

    desktop.windows.onPopupMenu = [](const sim::PopupMenuCall& call)
    {
        EXPECT_TRUE(call.Find("Always on &top")->checked);
        EXPECT_FALSE(call.Find("Always on &top")->enabled);
        return call.IdOf("Top");
    };
    EXPECT_EQ(wm.TrackPopupMenu(menu, tpm::returncmd, { 5, 6 }, h), 21u);
    desktop.windows.onPopupMenu = [](const sim::PopupMenuCall& call)
    {
        return call.IdOf("Always on &top");
    };
    EXPECT_EQ(wm.TrackPopupMenu(menu, tpm::returncmd, { 5, 6 }, h), 0u) << "a disabled item cannot be chosen";

    // Without TPM_RETURNCMD the choice arrives as a posted WM_COMMAND.
    desktop.windows.onPopupMenu = [](const sim::PopupMenuCall& call)
    {
        return call.IdOf("&Reload");
    };
    rec.log.clear();
    wm.TrackPopupMenu(menu, 0, { 5, 6 }, h);
    EXPECT_TRUE(rec.Only({ wm::command }).empty());
    desktop.windows.ProcessPending();
    EXPECT_EQ(rec.Only({ wm::command }).size(), 1u);

    wm.DestroyMenu(menu);
    EXPECT_EQ(desktop.windows.LiveMenus(), 0u) << "destroying a menu destroys its submenus";
}

TEST_F(SimLoopTest, TheQuitComesAfterWhatWasPostedBeforeItAndEndsTheLoop)
{
    RecordTimers();
    wm.SetTimer(h, 1, 100);
    wm.Post(h, wm::user, 0, 0);
    wm.PostQuitMessage(3);
    EXPECT_FALSE(wm.PumpMessages());
    EXPECT_EQ(rec.Only({ wm::user }).size(), 1u);
    EXPECT_TRUE(desktop.windows.QuitRetrieved());
    desktop.Advance(1000);
    EXPECT_TRUE(TimerTimes(1).empty()) << "nothing runs once the loop has ended";
    EXPECT_EQ(wm.RunMessageLoop(), 3);
}

TEST_F(SimLoopTest, RunMessageLoopRunsTimersUntilTheQuit)
{
    RecordTimers(
        [&](std::uintptr_t)
        {
            if (desktop.Now() >= 5000)
                wm.PostQuitMessage(0);
        });
    wm.SetTimer(h, 9, 1000);
    EXPECT_EQ(wm.RunMessageLoop(), 0);
    EXPECT_EQ(TimerTimes(9).size(), 5u);
}

TEST_F(SimLoopTest, PaintingWaitsForAnEmptyQueueAndUpdateWindowPaintsAtOnce)
{
    int paints = 0;
    rec.hook = [&](Hwnd hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT>
    {
        if (msg == wm::paint)
        {
            ++paints;
            wm.Paint(hwnd, [](ICanvas& c) { c.FillRect({ 0, 0, 10, 10 }, Rgb(66, 66, 66)); });
            return 0;
        }
        return std::nullopt;
    };
    wm.ShowWindow(h, sw::show);
    EXPECT_EQ(paints, 0);
    desktop.windows.ProcessPending();
    EXPECT_EQ(paints, 1);
    ASSERT_EQ(desktop.windows.LastPaint(h).size(), 1u);
    EXPECT_EQ(desktop.windows.LastPaint(h)[0].color, Rgb(66, 66, 66));
    wm.InvalidateRect(h, nullptr);
    wm.UpdateWindow(h);
    EXPECT_EQ(paints, 2);
    wm.UpdateWindow(h);
    EXPECT_EQ(paints, 2) << "a valid window is not painted again";
}
