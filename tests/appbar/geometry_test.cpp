// The toolbar's geometry: drop edges, size steps, hit-test codes and auto-hide places.
#include "appbar/geometry.h"

#include <gtest/gtest.h>

using namespace appbar;

namespace
{
    // 1024 by 768 with a 30-pixel taskbar at the bottom and 17-pixel scroll bars.
    ScreenFacts Screen1024()
    {
        return { 1024, 768, { 0, 0, 1024, 738 }, 17, 17 };
    }
} // namespace

TEST(EdgeFromPoint, TheScreenIsCutAlongItsDiagonalsOutsideTheFloatingArea)
{
    const auto s = Screen1024();
    EXPECT_EQ(EdgeFromPoint(AllFlags, { 512, 2 }, s, abeFloat), abeTop);
    EXPECT_EQ(EdgeFromPoint(AllFlags, { 2, 384 }, s, abeFloat), abeLeft);
    EXPECT_EQ(EdgeFromPoint(AllFlags, { 1020, 384 }, s, abeFloat), abeRight);
    EXPECT_EQ(EdgeFromPoint(AllFlags, { 512, 760 }, s, abeFloat), abeBottom);
    EXPECT_EQ(EdgeFromPoint(AllFlags, { 512, 384 }, s, abeTop), abeFloat);
    // The floating area is the work area less a scroll bar's width on each side.
    EXPECT_EQ(EdgeFromPoint(AllFlags, { 512, 17 }, s, abeFloat), abeFloat);
    EXPECT_EQ(EdgeFromPoint(AllFlags, { 512, 16 }, s, abeFloat), abeTop);
    EXPECT_EQ(EdgeFromPoint(AllFlags, { 512, 720 }, s, abeFloat), abeFloat);
    EXPECT_EQ(EdgeFromPoint(AllFlags, { 512, 721 }, s, abeFloat), abeBottom);
}

TEST(EdgeFromPoint, APointOnADiagonalGoesToTheSideEdge)
{
    const auto s = Screen1024();
    const TAppBarFlags docks = DockFlags;
    EXPECT_EQ(EdgeFromPoint(docks, { 512, 384 }, s, abeTop), abeRight) << "dx = dy = 0";
    // (0, 0): |dy| * 1024 = 384 * 1024 = 393216 <= |dx| * 768 = 512 * 768 = 393216
    EXPECT_EQ(EdgeFromPoint(docks, { 0, 0 }, s, abeTop), abeLeft);
    EXPECT_EQ(EdgeFromPoint(docks, { 1, 0 }, s, abeTop), abeTop);
}

TEST(EdgeFromPoint, EdgesThatAreNotAllowedFloatOrStay)
{
    const auto s = Screen1024();
    const TAppBarFlags topBottom = FlagBit(abfAllowTop) | FlagBit(abfAllowBottom);
    EXPECT_EQ(EdgeFromPoint(topBottom, { 2, 384 }, s, abeBottom), abeBottom) << "no floating allowed: stays";
    EXPECT_EQ(EdgeFromPoint(topBottom | FlagBit(abfAllowFloat), { 2, 384 }, s, abeBottom), abeFloat);
    EXPECT_EQ(EdgeFromPoint(FlagBit(abfAllowFloat), { 512, 2 }, s, abeTop), abeFloat) << "only floating: floats everywhere";
    EXPECT_EQ(EdgeFromPoint(topBottom, { 512, 2 }, s, abeBottom), abeTop);
}

// The rounding itself (102 to 100, 103 to 105) is shown by the sizing drag.
TEST(SizeSteps, CountFromTheBaseAndTheDraggedSidesMove)
{
    EXPECT_EQ(SnapToStep(27, 25, 5), 25);
    EXPECT_EQ(SnapToStep(28, 25, 5), 30);
    EXPECT_EQ(SnapToStep(97, 0, 0), 97) << "a step of 0 keeps the size";
    // A 100 by 40 rectangle sized to 90 by 30 from each side and corner.
    const os::Rect r{ 10, 10, 110, 50 };
    using namespace os::wmsz;
    const std::pair<int, os::Rect> cases[] = {
        { left, { 20, 10, 110, 50 } },       { right, { 10, 10, 100, 50 } },       { top, { 10, 20, 110, 50 } },
        { bottom, { 10, 10, 110, 40 } },     { topleft, { 20, 20, 110, 50 } },     { topright, { 10, 20, 100, 50 } },
        { bottomleft, { 20, 10, 110, 40 } }, { bottomright, { 10, 10, 100, 40 } }, { 99, r },
    };
    for (const auto& [edge, expected] : cases)
        EXPECT_EQ(SizedRect(edge, r, 90, 30), expected) << "edge " << edge;
}

TEST(HitTest, FloatingBarsLoseTheSizingBordersOfAStepOfZero)
{
    using namespace os::ht;
    EXPECT_EQ(FloatingHitTest(left, 0, 1), border);
    EXPECT_EQ(FloatingHitTest(top, 0, 1), top);
    EXPECT_EQ(FloatingHitTest(topleft, 0, 1), top);
    EXPECT_EQ(FloatingHitTest(bottomright, 0, 1), bottom);
    EXPECT_EQ(FloatingHitTest(bottom, 1, 0), border);
    EXPECT_EQ(FloatingHitTest(topright, 1, 0), right);
    EXPECT_EQ(FloatingHitTest(bottomleft, 1, 0), left);
    for (int code = left; code <= bottomright; ++code)
    {
        EXPECT_EQ(FloatingHitTest(code, 0, 0), border);
        EXPECT_EQ(FloatingHitTest(code, 5, 1), code);
    }
    EXPECT_EQ(FloatingHitTest(client, 0, 0), client);
    EXPECT_EQ(FloatingHitTest(caption, 0, 0), caption);
}

TEST(HitTest, DockedBarsKeepOnlyTheirInnerEdge)
{
    using namespace os::ht;
    const os::Rect topBar{ 0, 0, 1024, 25 }; // the client area; a frame below it reaches y 26 to 29
    EXPECT_EQ(DockedHitTest(abeTop, bottom, 1, 1, topBar, { 500, 27 }), bottom);
    EXPECT_EQ(DockedHitTest(abeTop, bottomleft, 1, 1, topBar, { 2, 27 }), bottom);
    EXPECT_EQ(DockedHitTest(abeTop, bottomright, 1, 1, topBar, { 1022, 27 }), bottom);
    EXPECT_EQ(DockedHitTest(abeTop, top, 1, 1, topBar, { 500, -2 }), border);
    EXPECT_EQ(DockedHitTest(abeTop, bottom, 1, 0, topBar, { 500, 27 }), border) << "no vertical step: no sizing";
    const os::Rect side{ 0, 0, 100, 768 };
    EXPECT_EQ(DockedHitTest(abeLeft, right, 1, 1, side, { 102, 300 }), right);
    EXPECT_EQ(DockedHitTest(abeLeft, right, 0, 1, side, { 102, 300 }), border);
    const os::Rect rightSide{ 924, 0, 1024, 768 };
    EXPECT_EQ(DockedHitTest(abeRight, left, 1, 1, rightSide, { 921, 300 }), left);
    const os::Rect bottomBar{ 0, 743, 1024, 768 };
    EXPECT_EQ(DockedHitTest(abeBottom, top, 1, 1, bottomBar, { 5, 741 }), top);
    EXPECT_EQ(DockedHitTest(abeBottom, bottom, 1, 1, bottomBar, { 5, 767 }), border);
    EXPECT_EQ(DockedHitTest(abeBottom, client, 1, 1, bottomBar, { 5, 750 }), client);
}

TEST(AutoHide, HiddenBarsKeepTwiceTheBorderOnScreen)
{
    const os::Rect bar{ 0, 700, 1024, 725 };
    EXPECT_EQ(AutoHidePlace(abeBottom, false, bar, 1024, 768, 1, 1), os::Rect::FromBounds(0, 766, 1024, 25));
    EXPECT_EQ(AutoHidePlace(abeBottom, true, bar, 1024, 768, 1, 1), os::Rect::FromBounds(0, 743, 1024, 25));
    EXPECT_EQ(AutoHidePlace(abeTop, false, bar, 1024, 768, 1, 1), os::Rect::FromBounds(0, -23, 1024, 25));
    const os::Rect side{ 0, 0, 60, 768 };
    EXPECT_EQ(AutoHidePlace(abeLeft, false, side, 1024, 768, 2, 2), os::Rect::FromBounds(-56, 0, 60, 768));
    EXPECT_EQ(AutoHidePlace(abeRight, false, side, 1024, 768, 2, 2), os::Rect::FromBounds(1020, 0, 60, 768));
    EXPECT_EQ(AutoHidePlace(abeRight, true, side, 1024, 768, 2, 2), os::Rect::FromBounds(964, 0, 60, 768));
    EXPECT_EQ(AutoHidePlace(abeFloat, true, side, 1024, 768, 2, 2), side);
}

TEST(Drag, LeavingADockPutsTheOutlineSixPixelsRightOfThePointer)
{
    EXPECT_EQ(LeaveDockOutline({ 500, 300 }, 703, 25), (os::Rect{ -197, 288, 506, 313 }));
    EXPECT_EQ(DockedRect(abeTop, { 0, 30, 1024, 768 }, 32, 25), (os::Rect{ 0, 30, 1024, 55 }));
    EXPECT_EQ(DockedRect(abeBottom, { 0, 0, 1024, 738 }, 32, 25), (os::Rect{ 0, 713, 1024, 738 }));
    EXPECT_EQ(DockedRect(abeRight, { 0, 0, 1024, 738 }, 32, 25), (os::Rect{ 992, 0, 1024, 738 }));
}

TEST(Slide, FramesInterpolateTheElapsedShareAndTruncate)
{
    const os::Rect from{ 0, 766, 1024, 791 };
    const os::Rect to{ 0, 743, 1024, 768 };
    EXPECT_EQ(SlideFrame(from, to, 0, 400), from);
    EXPECT_EQ(SlideFrame(from, to, 200, 400).top, 755); // 766 - 23 * 200 / 400 = 766 - 11
    EXPECT_EQ(SlideFrame(from, to, 399, 400).top, 744);
    EXPECT_EQ(SlideFrame(from, to, 400, 400), to);
}
