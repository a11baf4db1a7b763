// The simulator's window manager against what Windows does: position messages,
// creation, z-order bands, focus and the mouse.
#include "os/sim/desktop.h"
#include "support/recorder.h"

#include <gtest/gtest.h>

using namespace os;
using testing_support::Recorder;
using testing_support::TopLevel;

namespace
{
    class SimWindowsTest : public ::testing::Test
    {
      protected:
        sim::Desktop desktop;
        IWindowManager& wm = desktop.windows;
    };
} // namespace

TEST_F(SimWindowsTest, CreationSendsCreateThenSizeAndMove)
{
    Recorder rec(wm);
    const Hwnd h = wm.Create(TopLevel(Rect::FromBounds(100, 100, 703, 32)), &rec);
    ASSERT_NE(h, Hwnd{});
    EXPECT_EQ(rec.Only({ wm::nccreate, wm::create, wm::size, wm::move }),
              (std::vector<UINT>{ wm::nccreate, wm::create, wm::size, wm::move }));
    EXPECT_EQ(wm.GetWindowRect(h), Rect::FromBounds(100, 100, 703, 32));
    EXPECT_FALSE(wm.IsWindowVisible(h));
}

TEST_F(SimWindowsTest, OverlappedWindowsLearnTheirSizeAtTheFirstShowingAndChildrenTheirClientOrigin)
{
    Recorder framed(wm);
    const Hwnd h = wm.Create(TopLevel(Rect::FromBounds(10, 10, 200, 100), ws::overlapped | ws::caption), &framed);
    EXPECT_TRUE(framed.Only({ wm::size, wm::move }).empty());
    wm.ShowWindow(h, sw::show);
    EXPECT_EQ(framed.Only({ wm::size, wm::move }), (std::vector<UINT>{ wm::size, wm::move }));
    wm.ShowWindow(h, sw::hide);
    wm.ShowWindow(h, sw::show);
    EXPECT_EQ(framed.Only({ wm::size, wm::move }).size(), 2u) << "only the first showing";

    Recorder child(wm);
    os::WindowParams params = TopLevel(Rect::FromBounds(10, 20, 50, 30), ws::child | ws::border);
    params.parent = h;
    wm.Create(params, &child);
    auto move = std::find_if(child.log.begin(), child.log.end(), [](auto& e) { return e.message == wm::move; });
    ASSERT_NE(move, child.log.end());
    EXPECT_EQ(PointFromLParam(move->lParam), (Point{ 11, 21 })) << "a child's WM_MOVE gives its client origin";
}

TEST_F(SimWindowsTest, CreateAnsweredWithMinusOneFails)
{
    Recorder rec(wm);
    rec.hook = [](Hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT>
    {
        if (msg == wm::create)
            return -1;
        return std::nullopt;
    };
    EXPECT_EQ(wm.Create(TopLevel({ 0, 0, 10, 10 }), &rec), Hwnd{});
    EXPECT_TRUE(desktop.windows.TopLevelWindows().empty());
    EXPECT_EQ(rec.Only({ wm::create, wm::destroy, wm::ncdestroy }), (std::vector<UINT>{ wm::create, wm::ncdestroy }))
        << "a window that never was gets no WM_DESTROY";
}

TEST_F(SimWindowsTest, PositionMessagesComeInWindowsOrderAndChangingMayAlterTheMove)
{
    Recorder rec(wm);
    const Hwnd h = wm.Create(TopLevel(Rect::FromBounds(100, 100, 300, 40)), &rec);
    rec.log.clear();
    rec.hook = [](Hwnd, UINT msg, WPARAM, LPARAM lp) -> std::optional<LRESULT>
    {
        if (msg == wm::windowposchanging)
        {
            auto* pos = reinterpret_cast<WindowPos*>(lp);
            pos->y = 7; // a handler snaps the proposed top
        }
        return std::nullopt;
    };
    wm.SetWindowPos(h, Hwnd{}, 50, 60, 320, 25, swp::nozorder | swp::noactivate);
    EXPECT_EQ(rec.Only({ wm::windowposchanging, wm::windowposchanged, wm::move, wm::size, wm::getminmaxinfo }),
              (std::vector<UINT>{ wm::windowposchanging, wm::windowposchanged, wm::move, wm::size }));
    EXPECT_EQ(wm.GetWindowRect(h), Rect::FromBounds(50, 7, 320, 25));
    // WM_SIZE carries the new client size.
    auto size = std::find_if(rec.log.begin(), rec.log.end(), [](auto& e) { return e.message == wm::size; });
    EXPECT_EQ(LoWord(static_cast<std::uintptr_t>(size->lParam)), 320);
    EXPECT_EQ(HiWord(static_cast<std::uintptr_t>(size->lParam)), 25);
}

TEST_F(SimWindowsTest, ChangingSeesTheCallersFlagsAndChangedWhatReallyChanged)
{
    Recorder rec(wm);
    const Hwnd h = wm.Create(TopLevel(Rect::FromBounds(0, 0, 100, 20)), &rec);
    UINT changingFlags = 0;
    UINT changedFlags = 0;
    rec.hook = [&](Hwnd, UINT msg, WPARAM, LPARAM lp) -> std::optional<LRESULT>
    {
        if (msg == wm::windowposchanging)
            changingFlags = reinterpret_cast<WindowPos*>(lp)->flags;
        if (msg == wm::windowposchanged)
            changedFlags = reinterpret_cast<WindowPos*>(lp)->flags;
        return std::nullopt;
    };
    wm.SetWindowPos(h, Hwnd{}, 0, 0, 120, 20, swp::nozorder | swp::noactivate);
    EXPECT_EQ(changingFlags, swp::nozorder | swp::noactivate);
    EXPECT_TRUE(changedFlags & swp::nomove);
    EXPECT_FALSE(changedFlags & swp::nosize);
}

TEST_F(SimWindowsTest, AMoveWithoutResizeSendsNoSizeAndANoOpSendsNoChanged)
{
    Recorder rec(wm);
    const Hwnd h = wm.Create(TopLevel(Rect::FromBounds(0, 0, 100, 20)), &rec);
    rec.log.clear();
    wm.SetWindowPos(h, Hwnd{}, 10, 0, 100, 20, swp::nozorder | swp::noactivate);
    EXPECT_EQ(rec.Only({ wm::windowposchanged, wm::move, wm::size }), (std::vector<UINT>{ wm::windowposchanged, wm::move }));
    rec.log.clear();
    wm.SetWindowPos(h, Hwnd{}, 10, 0, 100, 20, swp::nozorder | swp::noactivate);
    EXPECT_EQ(rec.Only({ wm::windowposchanging, wm::windowposchanged }), (std::vector<UINT>{ wm::windowposchanging }));
}

TEST_F(SimWindowsTest, ThickFramedWindowsAreClampedToTheirTrackSizes)
{
    Recorder rec(wm);
    rec.hook = [](Hwnd, UINT msg, WPARAM, LPARAM lp) -> std::optional<LRESULT>
    {
        if (msg == wm::getminmaxinfo)
        {
            auto* mmi = reinterpret_cast<MinMaxInfo*>(lp);
            mmi->ptMinTrackSize = { 200, 50 };
            return 0;
        }
        return std::nullopt;
    };
    const Hwnd framed =
        wm.Create(TopLevel(Rect::FromBounds(0, 0, 300, 100), ws::overlapped | ws::caption | ws::thickframe), &rec);
    wm.SetWindowPos(framed, Hwnd{}, 0, 0, 50, 20, swp::nozorder | swp::nomove);
    EXPECT_EQ(wm.GetWindowRect(framed).Width(), 200);
    EXPECT_EQ(wm.GetWindowRect(framed).Height(), 50);

    Recorder popupRec(wm);
    popupRec.hook = rec.hook;
    const Hwnd popup = wm.Create(TopLevel(Rect::FromBounds(0, 0, 300, 100)), &popupRec);
    wm.SetWindowPos(popup, Hwnd{}, 0, 0, 50, 20, swp::nozorder | swp::nomove);
    EXPECT_EQ(wm.GetWindowRect(popup).Width(), 50) << "a borderless popup is not clamped by the default handling";
}

TEST_F(SimWindowsTest, ClientAreaExcludesTheFrame)
{
    Recorder rec(wm);
    const DWORD style = ws::popup | ws::caption | ws::dlgframe;
    const Rect outer = wm.AdjustWindowRectEx({ 0, 0, 296, 118 }, style, ws_ex::dlgmodalframe);
    const Hwnd h = wm.Create(TopLevel(Rect::FromBounds(10, 10, outer.Width(), outer.Height()), style), &rec);
    EXPECT_EQ(wm.GetClientRect(h), (Rect{ 0, 0, 296, 118 }));
    const Point o = wm.ClientToScreen(h, { 0, 0 });
    EXPECT_EQ(wm.ScreenToClient(h, o), (Point{ 0, 0 }));
    EXPECT_GT(o.y - 10, o.x - 10) << "the caption lies above the client area";
}

TEST_F(SimWindowsTest, ZOrderKeepsTopmostWindowsInTheirOwnBand)
{
    Recorder a(wm), b(wm), c(wm);
    const Hwnd ha = wm.Create(TopLevel({ 0, 0, 10, 10 }), &a);
    const Hwnd hb = wm.Create(TopLevel({ 0, 0, 10, 10 }), &b);
    const Hwnd hc = wm.Create(TopLevel({ 0, 0, 10, 10 }), &c);
    const UINT zOnly = swp::nomove | swp::nosize | swp::noactivate;
    wm.SetWindowPos(ha, hwnd_topmost, 0, 0, 0, 0, zOnly);
    EXPECT_EQ(desktop.windows.TopLevelWindows().front(), ha);
    EXPECT_TRUE(wm.IsTopmost(ha));
    // HWND_TOP for a normal window stays below every topmost one.
    wm.SetWindowPos(hb, hwnd_top, 0, 0, 0, 0, zOnly);
    EXPECT_EQ(desktop.windows.TopLevelWindows()[0], ha);
    EXPECT_EQ(desktop.windows.TopLevelWindows()[1], hb);
    // HWND_BOTTOM takes the topmost status away and puts it below all.
    wm.SetWindowPos(ha, hwnd_bottom, 0, 0, 0, 0, zOnly);
    EXPECT_FALSE(wm.IsTopmost(ha));
    EXPECT_EQ(desktop.windows.TopLevelWindows().back(), ha);
    // HWND_NOTOPMOST on a window that is not topmost changes nothing.
    wm.SetWindowPos(ha, hwnd_notopmost, 0, 0, 0, 0, zOnly);
    EXPECT_EQ(desktop.windows.TopLevelWindows().back(), ha);
    // ... and on a topmost one puts it at the top of the normal band.
    wm.SetWindowPos(hc, hwnd_topmost, 0, 0, 0, 0, zOnly);
    wm.SetWindowPos(hc, hwnd_notopmost, 0, 0, 0, 0, zOnly);
    EXPECT_FALSE(wm.IsTopmost(hc));
    EXPECT_EQ(desktop.windows.TopLevelWindows().front(), hc);
}

TEST_F(SimWindowsTest, ShowingActivatesAndHidingGivesUpActivationAndFocus)
{
    Recorder rec(wm);
    const Hwnd h = wm.Create(TopLevel({ 0, 0, 50, 50 }), &rec);
    wm.ShowWindow(h, sw::show);
    EXPECT_TRUE(wm.IsWindowVisible(h));
    EXPECT_EQ(wm.GetActiveWindow(), h);
    EXPECT_EQ(wm.GetFocus(), h) << "default activation gives the window the focus";
    EXPECT_EQ(rec.Only({ wm::showwindow, wm::activate, wm::setfocus }),
              (std::vector<UINT>{ wm::showwindow, wm::activate, wm::setfocus }));
    wm.ShowWindow(h, sw::hide);
    EXPECT_FALSE(wm.IsWindowVisible(h));
    EXPECT_EQ(wm.GetActiveWindow(), Hwnd{});
    EXPECT_EQ(wm.GetFocus(), Hwnd{});
    rec.log.clear();
    wm.ShowWindow(h, sw::hide);
    EXPECT_TRUE(rec.log.empty()) << "hiding a hidden window sends nothing";
}

TEST_F(SimWindowsTest, DestroyGoesToOwnedWindowsAndChildrenAndStopsTheirTimers)
{
    Recorder owner(wm), owned(wm), child(wm);
    const Hwnd ho = wm.Create(TopLevel({ 0, 0, 100, 100 }), &owner);
    os::WindowParams ownedParams = TopLevel({ 0, 0, 10, 10 });
    ownedParams.parent = ho;
    const Hwnd hw = wm.Create(ownedParams, &owned);
    os::WindowParams childParams = TopLevel({ 1, 1, 5, 5 }, ws::child | ws::visible);
    childParams.parent = ho;
    const Hwnd hc = wm.Create(childParams, &child);
    wm.SetTimer(hc, 1, 100);
    std::vector<std::string> order;
    auto track = [&](const char* who)
    {
        return [&order, who](Hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT>
        {
            if (msg == wm::destroy || msg == wm::ncdestroy)
                order.push_back(std::string(who) + (msg == wm::destroy ? " destroy" : " ncdestroy"));
            return std::nullopt;
        };
    };
    owner.hook = track("owner");
    child.hook = track("child");
    wm.Destroy(ho);
    EXPECT_EQ(order, (std::vector<std::string>{ "owner destroy", "child destroy", "child ncdestroy", "owner ncdestroy" }));
    EXPECT_FALSE(wm.IsWindow(ho));
    EXPECT_FALSE(wm.IsWindow(hw));
    EXPECT_FALSE(wm.IsWindow(hc));
    EXPECT_EQ(owned.Only({ wm::destroy }).size(), 1u);
    EXPECT_EQ(desktop.windows.TimerCount(), 0u);
    EXPECT_FALSE(wm.Post(hc, wm::user, 0, 0)) << "nothing is posted to a window that is gone";
}

TEST_F(SimWindowsTest, TheActiveWindowIsToldItIsNoLongerActiveBeforeItGoes)
{
    Recorder rec(wm);
    const Hwnd h = wm.Create(TopLevel({ 0, 0, 50, 50 }), &rec);
    wm.ShowWindow(h, sw::show);
    ASSERT_EQ(wm.GetActiveWindow(), h);
    rec.log.clear();
    wm.Destroy(h);
    EXPECT_EQ(rec.Only({ wm::activate, wm::destroy }), (std::vector<UINT>{ wm::activate, wm::destroy }));
    EXPECT_EQ(wm.GetActiveWindow(), Hwnd{});
}

TEST_F(SimWindowsTest, ClicksGoToTheClientAreaInClientCoordinatesAndSkipDisabledChildren)
{
    Recorder parent(wm), child(wm);
    const Hwnd hp = wm.Create(TopLevel({ 100, 100, 400, 125 }), &parent);
    os::WindowParams childParams = TopLevel({ 10, 0, 50, 25 }, ws::child | ws::visible | ws::disabled);
    childParams.parent = hp;
    const Hwnd hc = wm.Create(childParams, &child);
    wm.ShowWindow(hp, sw::show);
    parent.log.clear();
    desktop.windows.Click({ 120, 110 });
    ASSERT_EQ(parent.Only({ wm::lbuttondown, wm::lbuttonup }), (std::vector<UINT>{ wm::lbuttondown, wm::lbuttonup }));
    auto down = std::find_if(parent.log.begin(), parent.log.end(), [](auto& e) { return e.message == wm::lbuttondown; });
    EXPECT_EQ(PointFromLParam(down->lParam), (Point{ 20, 10 }));
    EXPECT_TRUE(child.Only({ wm::lbuttondown }).empty());

    wm.EnableWindow(hc, true);
    desktop.windows.Click({ 120, 110 }, vk::rbutton);
    EXPECT_EQ(child.Only({ wm::rbuttondown }).size(), 1u);
}

TEST_F(SimWindowsTest, SwappedButtonsSwapTheMessagesAndTheLogicalStateButNotThePhysical)
{
    Recorder rec(wm);
    const Hwnd h = wm.Create(TopLevel({ 100, 100, 400, 125 }), &rec);
    wm.ShowWindow(h, sw::show);
    desktop.system.SetMetric(sm::swapbutton, 1);
    rec.log.clear();
    desktop.windows.MouseDown({ 120, 110 }, vk::rbutton); // the physical right button
    EXPECT_NE(desktop.system.GetAsyncKeyState(vk::rbutton) & 0x8000, 0) << "the physical button";
    EXPECT_EQ(desktop.system.GetAsyncKeyState(vk::lbutton) & 0x8000, 0);
    EXPECT_NE(desktop.system.GetKeyState(vk::lbutton) & 0x8000, 0) << "the logical one";
    desktop.windows.MouseUp({ 120, 110 }, vk::rbutton);
    desktop.windows.ProcessPending();
    EXPECT_EQ(rec.Only({ wm::lbuttondown, wm::lbuttonup, wm::rbuttondown, wm::rbuttonup }),
              (std::vector<UINT>{ wm::lbuttondown, wm::lbuttonup }));
}

TEST_F(SimWindowsTest, AnOutlineDragMovesTheWindowOnceTheButtonIsUp)
{
    Recorder rec(wm);
    const Hwnd h = wm.Create(TopLevel({ 100, 100, 400, 125 }), &rec);
    wm.ShowWindow(h, sw::show);
    std::vector<std::pair<bool, int>> moves; // (button down, left) at each move
    rec.hook = [&](Hwnd, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT>
    {
        if (msg == wm::nchittest)
            return ht::caption;
        if (msg == wm::windowposchanged)
            moves.emplace_back(desktop.system.GetAsyncKeyState(vk::lbutton) & 0x8000,
                               reinterpret_cast<const WindowPos*>(lParam)->x);
        return std::nullopt;
    };
    for (const bool full : { true, false })
    {
        desktop.system.SetDragFullWindows(full);
        moves.clear();
        const Point from = wm.ClientToScreen(h, { 10, 10 });
        desktop.windows.ScriptDrag({ { { from.x + 20, from.y } }, { { from.x + 40, from.y } } });
        desktop.windows.MouseDown(from);
        desktop.windows.ProcessPending();
        if (full)
        {
            EXPECT_EQ(moves, (std::vector<std::pair<bool, int>>{ { true, 120 }, { true, 140 } }))
                << "a full-window drag moves the window with the pointer, the button down";
        }
        else
        {
            EXPECT_EQ(moves, (std::vector<std::pair<bool, int>>{ { false, 180 } }))
                << "an outline moves the window once, after the release";
        }
    }
}

TEST_F(SimWindowsTest, SystemControlsNotifyTheirParent)
{
    Recorder parent(wm);
    const Hwnd hp = wm.Create(TopLevel({ 0, 0, 200, 200 }), &parent);
    os::WindowParams box;
    box.className = "BUTTON";
    box.style = ws::child | ws::visible | bs::autocheckbox;
    box.bounds = Rect::FromBounds(10, 10, 100, 20);
    box.parent = hp;
    box.controlId = 77;
    const Hwnd hb = wm.Create(box, nullptr);
    wm.ShowWindow(hp, sw::show);
    desktop.windows.Click({ 20, 15 });
    EXPECT_TRUE(desktop.windows.ButtonChecked(hb));
    auto cmd = std::find_if(parent.log.begin(), parent.log.end(), [](auto& e) { return e.message == wm::command; });
    ASSERT_NE(cmd, parent.log.end());
    EXPECT_EQ(LoWord(cmd->wParam), 77);
    EXPECT_EQ(HiWord(cmd->wParam), bn::clicked);
    EXPECT_EQ(static_cast<Hwnd>(cmd->lParam), hb);
    EXPECT_EQ(wm.Send(hb, bm::getcheck, 0, 0), 1);
}

// The same cases as the Windows backend's test of the same name.
TEST_F(SimWindowsTest, OnlyOneOpaqueWindowAboveThatSpansItCoversAWindowWholly)
{
    const Hwnd strip = wm.Create(TopLevel(Rect::FromBounds(100, 100, 703, 25), ws::popup | ws::visible), nullptr);
    WindowParams child = TopLevel(Rect::FromBounds(10, 0, 390, 25), ws::child | ws::visible);
    child.parent = strip;
    const Hwnd stage = wm.Create(child, nullptr);
    EXPECT_FALSE(wm.IsWhollyCovered(strip));
    WindowParams over = TopLevel(Rect::FromBounds(0, 0, 900, 200), ws::popup | ws::visible);
    over.exStyle = ws_ex::topmost;
    const Hwnd cover = wm.Create(over, nullptr);
    EXPECT_TRUE(wm.IsWhollyCovered(strip));
    EXPECT_TRUE(wm.IsWhollyCovered(stage)) << "a child is covered with its window";
    for (const Rect empty : { Rect::FromBounds(10, 0, 0, 25), Rect::FromBounds(10, 0, 25, 0) })
    {
        child.bounds = empty;
        EXPECT_FALSE(wm.IsWhollyCovered(wm.Create(child, nullptr))) << "nothing of an empty window is covered";
    }
    wm.SetWindowPos(cover, Hwnd{}, 101, 0, 800, 200, swp::nozorder | swp::noactivate);
    EXPECT_FALSE(wm.IsWhollyCovered(strip)) << "a column shows";
    EXPECT_TRUE(wm.IsWhollyCovered(stage));
    wm.ShowWindow(cover, sw::hide);
    EXPECT_FALSE(wm.IsWhollyCovered(stage)) << "hidden";
    over.exStyle |= ws_ex::layered;
    wm.Create(over, nullptr);
    EXPECT_FALSE(wm.IsWhollyCovered(strip)) << "a layered window lets it show through";
    wm.SetWindowPos(cover, Hwnd{}, 0, 0, 900, 200, swp::nozorder | swp::noactivate | swp::showwindow);
    EXPECT_TRUE(wm.IsWhollyCovered(strip));
    wm.SetWindowPos(strip, hwnd_topmost, 0, 0, 0, 0, swp::nomove | swp::nosize | swp::noactivate);
    EXPECT_FALSE(wm.IsWhollyCovered(strip)) << "above its cover";
}

// The same as the Windows backend's test of the same name.
TEST_F(SimWindowsTest, PaintNowDrawsTheWholeClientAndLeavesAWaitingPaintDue)
{
    int painted = 0;
    Recorder rec(wm);
    rec.hook = [&](Hwnd h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT>
    {
        if (msg != wm::paint)
            return std::nullopt;
        wm.Paint(h, [&](ICanvas&) { ++painted; });
        return 0;
    };
    const Hwnd hwnd = wm.Create(TopLevel(Rect::FromBounds(0, 0, 64, 48), ws::popup | ws::visible), &rec);
    desktop.windows.ProcessPending();
    const int before = painted;
    const int counted = desktop.windows.PaintCount(hwnd);
    wm.InvalidateRect(hwnd, nullptr);
    wm.PaintNow(hwnd, [&](ICanvas& canvas) { canvas.FillRect({ 0, 0, 64, 48 }, Rgb(0, 128, 0)); });
    EXPECT_EQ(desktop.windows.PaintCount(hwnd), counted + 1);
    ASSERT_FALSE(desktop.windows.LastPaint(hwnd).empty());
    EXPECT_EQ(desktop.windows.LastPaint(hwnd).back().color, Rgb(0, 128, 0));
    wm.UpdateWindow(hwnd);
    EXPECT_EQ(painted, before + 1) << "the invalidation still waited";
    wm.ShowWindow(hwnd, sw::hide);
    wm.PaintNow(hwnd, [&](ICanvas& canvas) { canvas.FillRect({ 0, 0, 64, 48 }, Rgb(0, 0, 0)); });
    EXPECT_EQ(desktop.windows.PaintCount(hwnd), counted + 2) << "a hidden window shows nothing";
}
