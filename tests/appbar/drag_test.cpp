// The desktop toolbar under the user's hands: hit testing, drags between edges,
// size steps and limits, and the slide animation on the virtual tick count.
#include "forms/controls.h"
#include "support/test_bar.h"

using namespace appbar;
using testing_support::AppBarFixture;
using testing_support::TestBar;

namespace
{
    class DragTest : public AppBarFixture
    {
      protected:
        void ReadyFloating(TestBar& bar)
        {
            bar.SetSlideEffect(false);
            bar.Handle();
            bar.Show();
            desktop.windows.ProcessPending();
        }

        // Presses the primary button on the bar at a screen point and drags through
        // the points, releasing at the last.
        void Drag(os::Point from, std::vector<os::sim::SimWindows::DragStep> path)
        {
            desktop.windows.ScriptDrag(std::move(path));
            desktop.windows.MouseDown(from);
            desktop.windows.ProcessPending();
            desktop.windows.MouseUp(path_end);
            desktop.windows.ProcessPending();
        }
        os::Point path_end{};

        int HitTest(TestBar& bar, os::Point p)
        {
            return static_cast<int>(desktop.windows.Send(bar.Handle(), os::wm::nchittest, 0, os::LParamFromPoint(p)));
        }
    };
} // namespace

TEST_F(DragTest, APressOnAnEmptyPartOrADisabledPictureStartsAMove)
{
    TestBar bar(app);
    forms::Image picture(bar, "Image2");
    picture.SetBounds(0, 0, 100, 30);
    picture.SetEnabled(false);
    forms::Label label(bar, "ProgressLabel");
    label.SetBounds(150, 0, 100, 30);
    ReadyFloating(bar);
    EXPECT_EQ(HitTest(bar, { 120, 110 }), os::ht::client) << "no button down: the client";
    desktop.system.SetKeyDown(os::vk::lbutton, true);
    EXPECT_EQ(HitTest(bar, { 120, 110 }), os::ht::caption);
    EXPECT_EQ(HitTest(bar, { 230, 110 }), os::ht::caption);
    EXPECT_EQ(HitTest(bar, { 260, 110 }), os::ht::client) << "the enabled label takes the press";
    desktop.system.SetKeyDown(os::vk::lbutton, false);
    desktop.system.SetKeyDown(os::vk::rbutton, true);
    EXPECT_EQ(HitTest(bar, { 120, 110 }), os::ht::client);
    desktop.system.SetMetric(os::sm::swapbutton, 1);
    EXPECT_EQ(HitTest(bar, { 120, 110 }), os::ht::caption) << "with swapped buttons the right one is primary";
}

TEST_F(DragTest, SizingBordersFollowTheStepsAndTheEdge)
{
    TestBar bar(app);
    bar.SetBorderStyle(forms::BorderStyle::sizeable); // a frame to size by
    bar.SetSlideEffect(false);
    bar.Handle();
    desktop.windows.ProcessPending();
    const os::Rect r = WindowRect(bar);
    const os::Point leftBorder{ r.left + 1, r.top + 15 };
    const os::Point bottomBorder{ r.left + 50, r.bottom - 1 };
    EXPECT_EQ(HitTest(bar, leftBorder), os::ht::left);
    bar.SetHorzSizeInc(0);
    EXPECT_EQ(HitTest(bar, leftBorder), os::ht::border);
    EXPECT_EQ(HitTest(bar, bottomBorder), os::ht::bottom);
    bar.SetVertSizeInc(0);
    EXPECT_EQ(HitTest(bar, bottomBorder), os::ht::border) << "both steps 0: a floating bar cannot be sized";

    bar.SetHorzSizeInc(1);
    bar.SetVertSizeInc(1);
    bar.SetEdge(abeTop);
    const os::Rect t = WindowRect(bar);
    EXPECT_EQ(HitTest(bar, { 500, t.bottom - 1 }), os::ht::bottom) << "a top bar sizes only below its client area";
    EXPECT_EQ(HitTest(bar, { t.left + 1, 10 }), os::ht::border);
    EXPECT_EQ(HitTest(bar, { 500, t.top }), os::ht::border);
    bar.SetVertSizeInc(0);
    EXPECT_EQ(HitTest(bar, { 500, t.bottom - 1 }), os::ht::border);
}

TEST_F(DragTest, DraggingAFloatingBarToTheTopDocksItAndFollowsTheProposedEdges)
{
    TestBar bar(app);
    ReadyFloating(bar);
    bar.changes.clear();
    path_end = { 512, 3 };
    Drag({ 150, 110 }, { { { 300, 300 } }, { { 512, 3 } }, { { 512, 300 } }, { { 512, 3 } } });
    EXPECT_EQ(bar.Edge(), abeTop);
    EXPECT_EQ(bar.ProposedEdge(), abeUnknown);
    EXPECT_EQ(WindowRect(bar), (os::Rect{ 0, 0, 1024, 32 }));
    const std::vector<std::pair<bool, TAppBarEdge>> expected{
        { true, abeFloat }, { true, abeTop }, { true, abeFloat }, { true, abeTop }, { false, abeTop }
    };
    EXPECT_EQ(bar.changes, expected);
    EXPECT_EQ(desktop.system.GetWorkArea().top, 32);
}

TEST_F(DragTest, CtrlKeepsTheBarFloatingOnlyWhenFloatingIsAllowed)
{
    TestBar bar(app);
    ReadyFloating(bar);
    path_end = { 512, 3 };
    Drag({ 150, 110 }, { { { 512, 3 }, true } });
    EXPECT_EQ(bar.Edge(), abeFloat);
    EXPECT_EQ(WindowRect(bar).top, 100 - 107) << "moved with the pointer, not docked";

    bar.SetFlags(FlagBit(abfAllowTop) | FlagBit(abfAllowBottom));
    bar.SetEdge(abeBottom);
    Drag({ 500, 720 }, { { { 512, 3 }, true } });
    EXPECT_EQ(bar.Edge(), abeTop) << "Ctrl does nothing without abfAllowFloat";
    path_end = { 2, 384 };
    Drag({ 500, 10 }, { { { 2, 384 } } });
    EXPECT_EQ(bar.Edge(), abeTop) << "the left edge is not allowed and floating neither: the bar stays";
}

TEST_F(DragTest, LeavingADockedEdgePutsTheOutlineRightOfThePointerAndKeepsTheFloatSize)
{
    TestBar bar(app);
    ReadyFloating(bar);
    bar.SetEdge(abeTop);
    path_end = { 500, 300 };
    Drag({ 500, 10 }, { { { 500, 200 } }, { { 500, 300 } } });
    EXPECT_EQ(bar.Edge(), abeFloat);
    // The outline, 300 by 30, had its right edge 6 pixels right of the pointer at
    // (500, 200), then followed the pointer 100 pixels down.
    EXPECT_EQ(WindowRect(bar), (os::Rect{ 206, 285, 506, 315 }));
    EXPECT_EQ(bar.FloatLeft(), 206);
    EXPECT_EQ(bar.FloatTop(), 285);
    EXPECT_EQ(bar.FloatRight() - bar.FloatLeft(), 300);
    EXPECT_EQ(bar.FloatBottom() - bar.FloatTop(), 30);
}

TEST_F(DragTest, AWindowAsLargeAsTheWorkAreaFloatsAtThePreviousFloatSize)
{
    TestBar bar(app);
    ReadyFloating(bar);
    bar.SetEdge(abeLeft); // 32 wide and as high as the work area
    const os::Hwnd h = bar.Handle();
    desktop.windows.Send(h, os::wm::entersizemove, 0, 0);
    desktop.system.SetCursorPos({ 500, 300 });
    os::Rect drag = WindowRect(bar);
    desktop.windows.Send(h, os::wm::moving, 0, reinterpret_cast<os::LPARAM>(&drag)); // proposes floating
    desktop.windows.Send(h, os::wm::exitsizemove, 0, 0);                             // the window never took the outline
    EXPECT_EQ(bar.Edge(), abeFloat);
    EXPECT_EQ(bar.FloatLeft(), 0);
    EXPECT_EQ(bar.FloatRight(), 300);
    EXPECT_EQ(bar.FloatBottom() - bar.FloatTop(), 30);
}

TEST_F(DragTest, SizingSnapsToTheStepsAndATopBarKeepsItsNewHeight)
{
    TestBar bar(app);
    bar.SetBorderStyle(forms::BorderStyle::sizeable);
    bar.SetHorzSizeInc(5);
    bar.SetBounds(100, 100, 100, 60);
    bar.SetFloatRight(200);
    bar.SetFloatBottom(160);
    ReadyFloating(bar);
    const os::Rect r = WindowRect(bar);
    path_end = { r.right - 1 + 2, r.top + 30 };
    Drag({ r.right - 1, r.top + 30 }, { { { r.right + 1, r.top + 30 } } });
    EXPECT_EQ(WindowRect(bar).Width(), 100) << "102 rounds to 100";
    path_end = { r.right + 2, r.top + 30 };
    Drag({ r.right - 1, r.top + 30 }, { { { r.right + 2, r.top + 30 } } });
    EXPECT_EQ(WindowRect(bar).Width(), 105) << "103 rounds to 105";

    bar.SetEdge(abeTop);
    const os::Rect t = WindowRect(bar);
    path_end = { 500, t.bottom + 9 };
    Drag({ 500, t.bottom - 1 }, { { { 500, t.bottom + 9 } } });
    EXPECT_EQ(bar.HorzDockSize(), 42);
    bar.SetEdge(abeBottom);
    EXPECT_EQ(WindowRect(bar).Height(), 42) << "the next edge change uses the new height";

    // A left bar sizes by its right border in steps of 5 and keeps its width.
    bar.SetEdge(abeLeft);
    const os::Rect l = WindowRect(bar);
    ASSERT_EQ(l.Width(), 32);
    path_end = { l.right + 11, 300 };
    Drag({ l.right - 1, 300 }, { { { l.right + 11, 300 } } });
    EXPECT_EQ(bar.VertDockSize(), 45) << "44 rounds to 45";
    bar.SetEdge(abeRight);
    EXPECT_EQ(WindowRect(bar).Width(), 45);
}

TEST_F(DragTest, SizeLimitsDependOnTheEdge)
{
    TestBar bar(app);
    bar.SetMinWidth(656);
    bar.SetMinHeight(25);
    bar.SetMaxWidth(10000);
    bar.SetMaxHeight(25);
    bar.SetMinVertDockSize(20);
    bar.SetMinHorzDockSize(25);
    bar.SetMaxVertDockSize(300);
    bar.SetMaxHorzDockSize(100);
    ReadyFloating(bar);
    auto limits = [&]
    {
        os::MinMaxInfo mmi{};
        desktop.windows.Send(bar.Handle(), os::wm::getminmaxinfo, 0, reinterpret_cast<os::LPARAM>(&mmi));
        return std::make_pair(mmi.ptMinTrackSize, mmi.ptMaxTrackSize);
    };
    EXPECT_EQ(limits(), std::make_pair(os::Point{ 656, 25 }, os::Point{ 10000, 25 }));
    bar.SetEdge(abeTop);
    EXPECT_EQ(limits(), std::make_pair(os::Point{ 20, 25 }, os::Point{ 1024, 100 }));
    bar.SetEdge(abeRight);
    EXPECT_EQ(limits(), std::make_pair(os::Point{ 20, 25 }, os::Point{ 300, 768 }));
    bar.SetEdge(abeUnknown);
    EXPECT_EQ(limits(), std::make_pair(os::Point{ 20, 25 }, os::Point{ 300, 100 }));
}

TEST_F(DragTest, TheSlideTakesItsTimeWhateverTheFrameRateAndEndsExactly)
{
    auto slide = [&](std::uint64_t paintCost)
    {
        os::sim::Desktop d;
        d.SetScreen(1024, 768);
        d.windows.SetPaintCost(paintCost);
        forms::Application a(d.Os());
        TestBar bar(a);
        bar.SetSlideEffect(false);
        bar.Handle();
        bar.Show();
        d.windows.ProcessPending();
        bar.SetSlideEffect(true);
        d.windows.ClearMessageLog();
        const std::uint64_t start = d.Now();
        bar.SlideWindow({ 0, 706, 1024, 738 });
        const int frames = d.windows.CountMessages(bar.Handle(), os::wm::windowposchanged);
        return std::make_tuple(frames, d.Now() - start, d.windows.GetWindowRect(bar.Handle()));
    };
    const auto [fastFrames, fastTime, fastEnd] = slide(10);
    const auto [slowFrames, slowTime, slowEnd] = slide(50);
    EXPECT_GT(fastFrames, slowFrames);
    EXPECT_GE(slowFrames, 5);
    EXPECT_NEAR(static_cast<double>(fastTime), 400.0, 20.0);
    EXPECT_NEAR(static_cast<double>(slowTime), 400.0, 60.0);
    EXPECT_EQ(fastEnd, (os::Rect{ 0, 706, 1024, 738 }));
    EXPECT_EQ(slowEnd, fastEnd);
}

TEST_F(DragTest, NoSlideWithoutTheEffectFullWindowDragOrATimeAndThenNoAutoHidePoll)
{
    TestBar bar(app);
    ReadyFloating(bar);
    desktop.windows.ClearMessageLog();
    bar.SlideWindow({ 0, 0, 1024, 32 });
    EXPECT_LE(desktop.windows.CountMessages(bar.Handle(), os::wm::windowposchanged), 4) << "placed at once, property by property";

    bar.SetSlideEffect(true);
    desktop.system.SetDragFullWindows(false);
    desktop.windows.ClearMessageLog();
    bar.SlideWindow({ 0, 706, 1024, 738 });
    EXPECT_LE(desktop.windows.CountMessages(bar.Handle(), os::wm::windowposchanged), 4);

    desktop.system.SetDragFullWindows(true);
    bar.SetSlideTime(0);
    desktop.windows.ClearMessageLog();
    bar.SlideWindow({ 0, 0, 1024, 32 });
    EXPECT_LE(desktop.windows.CountMessages(bar.Handle(), os::wm::windowposchanged), 4);
    EXPECT_EQ(bar.AutoHideTimer()->Interval(), 0u);
    desktop.windows.ClearMessageLog();
    desktop.Advance(2000);
    EXPECT_EQ(desktop.windows.CountMessages(app.Handle(), os::wm::timer), 0);

    TestBar still(app, "Still"); // no slide time from the start: no poll either
    still.SetSlideTime(0);
    still.Handle();
    EXPECT_EQ(still.AutoHideTimer()->Interval(), 0u);
}
