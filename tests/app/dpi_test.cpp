// The strip, its slots, the panel, the prompts and the toolbar's reservation on
// displays of 144 and 192 dpi, and a move between monitors of different DPI. At
// 96 dpi every other test of the program holds unchanged.
#include "app/about.h"
#include "app/placement.h"
#include "app/update.h"
#include "forms/picture.h"
#include "support/ticker_fixture.h"

#include <climits>

using namespace app;
using testing_support::TickerFixture;

TEST(ScaleForDpi, RoundsHalvesAwayFromZeroAsMulDivDoes)
{
    EXPECT_EQ(os::ScaleForDpi(25, 96), 25);
    EXPECT_EQ(os::ScaleForDpi(25, 144), 38) << "37.5";
    EXPECT_EQ(os::ScaleForDpi(25, 192), 50);
    EXPECT_EQ(os::ScaleForDpi(25, 120), 31) << "31.25";
    EXPECT_EQ(os::ScaleForDpi(59, 144), 89) << "88.5";
    EXPECT_EQ(os::ScaleForDpi(-11, 144), -17) << "a font height, -16.5";
    EXPECT_EQ(os::MulDiv(-7, 3, -2), 11);
    EXPECT_EQ(os::MulDiv(7, 1, 3), 2);
    EXPECT_EQ(os::MulDiv(5, 1, 0), -1);
    EXPECT_EQ(os::MulDiv(INT_MAX, 2, 1), -1) << "does not fit";
    EXPECT_EQ(os::MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX) << "no overflow on the way";
}

TEST(ArtworkScale, TheNearestDrawnScaleTheSmallerOfTwoAsNear)
{
    EXPECT_EQ(forms::ArtworkScale(96), 100);
    EXPECT_EQ(forms::ArtworkScale(120), 100);
    EXPECT_EQ(forms::ArtworkScale(121), 150);
    EXPECT_EQ(forms::ArtworkScale(168), 150);
    EXPECT_EQ(forms::ArtworkScale(169), 200);
    EXPECT_EQ(forms::ArtworkScale(288), 200);
    EXPECT_EQ(forms::ArtworkName("GRAB", 96), "GRAB");
    EXPECT_EQ(forms::ArtworkName("GRAB", 144), "GRAB_150");
}

TEST(KeepOnScreen, TheMarginsAndTheStripsMetricsAreScaled)
{
    const os::Rect work{ 0, 0, 2560, 2100 };
    EXPECT_EQ(KeepOnScreen(-51, 100, 1406, work, 192).top, 20) << "50 high: wholly above y = 0";
    EXPECT_FALSE(KeepOnScreen(-50, 100, 1406, work, 192).top);
    EXPECT_EQ(KeepOnScreen(2051, 100, 1406, work, 192).top, 2100 - 50 - 20);
    EXPECT_EQ(KeepOnScreen(100, -1387, 1406, work, 192).left, 20 - 1406 + 20) << "right end at 19, left of the 20 grab";
    EXPECT_FALSE(KeepOnScreen(100, -1386, 1406, work, 192).left);
    EXPECT_EQ(KeepOnScreen(100, 1155, 1406, work, 192).left, 2560 - 1406 - 20);
    EXPECT_EQ(KeepOnScreen(-39, 100, 1055, work, 144).top, 15) << "38 high at 144 dpi";
}

namespace
{
    // One display's figures: the 96-dpi lengths at its DPI.
    struct Display
    {
        int dpi;
        int height;  // 25
        int grab;    // 10
        int sponsor; // 59
        int panelWidth;
        int panelHeight;
        int step;    // 30
        int snap;    // 20
        int font;    // the status line's -11
        int minimum; // 656
    };
    const Display At144{ 144, 38, 15, 89, 1035, 528, 45, 30, -17, 984 };
    const Display At192{ 192, 50, 20, 118, 1380, 704, 60, 40, -22, 1312 };

    class DpiTest : public TickerFixture, public ::testing::WithParamInterface<Display>
    {
      protected:
        const Display& d = GetParam();
        // A strip started on a session at the display's DPI, its load complete.
        void Ready()
        {
            desktop.SetDpi(d.dpi);
            Start();
            desktop.Advance(100);
            desktop.players.RaiseFSCommand(Ticker(), L"complete", L"success");
            desktop.Advance(100);
        }
        const os::sim::PaintOp* StatusText()
        {
            tick->Repaint();
            for (const auto& op : desktop.windows.LastPaint(tick->Handle()))
                if (op.kind == os::sim::PaintOp::Kind::text && op.text == tick->ProgressLabel.Caption())
                    return &op;
            return nullptr;
        }
    };
} // namespace

TEST_P(DpiTest, TheStripItsPicturesAndItsStatusLineAreLaidOutAtTheDisplaysScale)
{
    desktop.SetDpi(d.dpi);
    Start();
    EXPECT_EQ(desktop.windows.GetDpiForWindow(tick->Handle()), d.dpi);
    EXPECT_EQ(tick->Height(), d.height);
    EXPECT_EQ(tick->Width(), os::ScaleForDpi(703, d.dpi));
    EXPECT_EQ(tick->Constraints().minWidth, std::min(d.minimum, 1280)) << "656 scaled, within the work area";
    EXPECT_EQ(tick->GrabImage.BoundsRect(), os::Rect::FromBounds(tick->ClientWidth() - d.grab, 0, d.grab, d.height));
    EXPECT_EQ(tick->GrabImage.Picture().width, d.grab) << "drawn at the scale, not stretched";
    EXPECT_EQ(tick->Image2.Picture().height, d.height);
    const os::Rect picture = os::Rect::FromBounds(0, 0, os::ScaleForDpi(445, d.dpi), d.height);
    EXPECT_EQ(tick->Image2.BoundsRect(), picture);
    EXPECT_EQ(tick->OopsImage.BoundsRect(), picture);
    EXPECT_EQ(tick->HorzSizeInc(), os::ScaleForDpi(5, d.dpi)) << "the width's size step";
    EXPECT_EQ(tick->Image2.Picture().name, forms::ArtworkName("LOADING", d.dpi));
    const os::sim::PaintOp* status = StatusText();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->font.height, d.font);
    EXPECT_EQ(tick->ProgressLabel.Left() + tick->ProgressLabel.Width(), tick->GrabImage.Left() - os::ScaleForDpi(5, d.dpi));
    EXPECT_EQ(ChildRect(tick->Flash).Height(), d.height);
}

TEST_P(DpiTest, TheTickerAndSponsorSlotsSitAtTheScaledGrabAndSponsorWidths)
{
    Ready();
    const int width = tick->ClientWidth();
    EXPECT_EQ(ChildRect(tick->Flash), os::Rect::FromBounds(0, 0, width - d.grab, d.height)) << "no logo yet";
    tick->SponsorURL.clear();
    desktop.players.RaiseFSCommand(Record(tick->SponsorFlash), L"sponsorlogoSuccess", L"");
    EXPECT_EQ(ChildRect(tick->SponsorFlash), os::Rect::FromBounds(width - d.grab - d.sponsor, 0, d.sponsor, d.height));
    EXPECT_EQ(ChildRect(tick->Flash).Width(), width - d.grab - d.sponsor);
    // Docking keeps the logo at the new right end.
    tick->DockTop1Click(tick->DockTop1);
    EXPECT_EQ(ChildRect(tick->SponsorFlash).left, tick->ClientWidth() - d.grab - d.sponsor);
}

TEST_P(DpiTest, ADockedStripReservesItsHeightInTheMonitorsPixels)
{
    Ready();
    tick->DockTop1Click(tick->DockTop1);
    EXPECT_EQ(desktop.shell.Reserved(tick->Handle()), (os::Rect{ 0, 0, 1280, d.height }));
    EXPECT_EQ(desktop.system.GetWorkArea().top, d.height);
    EXPECT_EQ(tick->BoundsRect(), (os::Rect{ 0, 0, 1280, d.height }));
}

TEST_P(DpiTest, TheMinimumWidthNeverPassesTheWorkAreasWidth)
{
    // 656 at 192 dpi is 1312, wider than this 1280 desktop: the strip would reach
    // past the screen and a docked one past its own band.
    Ready();
    EXPECT_EQ(tick->Constraints().minWidth, std::min(d.minimum, 1280));
    tick->SetBounds(0, 300, 100, tick->Height());
    EXPECT_EQ(tick->Width(), std::min(d.minimum, 1280));
}

TEST_P(DpiTest, ThePanelOpensInScaledStepsToItsScaledSizeBelowTheStrip)
{
    Ready();
    desktop.system.SetWorkArea({ 0, 0, 1280, 2100 });
    tick->SetBounds(100, 300, tick->Width(), tick->Height());
    tick->SetNewsPreferences1Click();
    EXPECT_EQ(prefs->Width(), d.panelWidth);
    EXPECT_EQ(prefs->Top(), 300 + d.height) << "below: on the strip's bottom edge";
    EXPECT_EQ(prefs->ClientHeight(), 0);
    desktop.Advance(20);
    EXPECT_EQ(prefs->ClientHeight(), d.step);
    desktop.Advance(20);
    EXPECT_EQ(prefs->ClientHeight(), 2 * d.step);
    desktop.Advance(200);
    EXPECT_EQ(prefs->ClientHeight(), d.panelHeight);
    EXPECT_EQ(ChildRect(tick->Flash).Height(), d.height);
    desktop.players.RaiseFSCommand(Record(prefs->prefsFlash), L"preferences", L"loaded");
    const os::Rect movie = desktop.windows.GetWindowRect(prefs->prefsFlash->Handle());
    EXPECT_EQ(movie.Width(), os::ScaleForDpi(680, d.dpi));
    EXPECT_EQ(movie.Height(), os::ScaleForDpi(350, d.dpi));
    EXPECT_EQ(prefs->grab.Picture().width, os::ScaleForDpi(9, d.dpi));
    auto scaled = [&](int l, int t, int w, int h)
    {
        return os::Rect::FromBounds(os::ScaleForDpi(l, d.dpi), os::ScaleForDpi(t, d.dpi), os::ScaleForDpi(w, d.dpi),
                                    os::ScaleForDpi(h, d.dpi));
    };
    EXPECT_EQ(prefs->grab.BoundsRect(), scaled(681, 1, 9, 350));
    EXPECT_EQ(prefs->LoadLabel.BoundsRect(), scaled(13, 7, 120, 13));

    // Above the strip when it does not fit below: its bottom edge on the strip's top.
    prefs->Above = false;
    tick->PositionPrefsForm(100, 2100 - d.height - 10, true);
    EXPECT_TRUE(prefs->Above);
    EXPECT_EQ(prefs->Top() + prefs->Height(), 2100 - d.height - 10);
}

TEST_P(DpiTest, BothWindowsSnapWithinTheScaledDistance)
{
    Ready();
    desktop.system.SetWorkArea({ 0, 0, 1280, 2100 });
    tick->SetBounds(100, 300, tick->Width(), tick->Height());
    tick->SetNewsPreferences1Click();
    desktop.Advance(300);
    const int slot = 300 + d.height;
    ASSERT_EQ(prefs->Top(), slot);
    auto dropAt = [&](int left, int top)
    {
        prefs->SetBounds(left, top, prefs->Width(), prefs->Height());
        return std::make_pair(prefs->Left(), prefs->Top());
    };
    EXPECT_EQ(dropAt(100 + d.snap - 1, slot - d.snap), std::make_pair(100, slot));
    EXPECT_TRUE(prefs->Attached);
    EXPECT_EQ(dropAt(100, slot + d.snap), std::make_pair(100, slot + d.snap));
    EXPECT_FALSE(prefs->Attached);
    EXPECT_EQ(dropAt(100 - d.snap, slot + d.snap - 1), std::make_pair(100, slot));
    EXPECT_EQ(dropAt(100 + d.snap, slot), std::make_pair(100 + d.snap, slot)) << "the distance itself does not snap";

    // The strip the user drags snaps into line with the detached panel.
    dropAt(400, 900);
    auto stripTo = [&](int left, int top)
    {
        desktop.windows.Send(tick->Handle(), os::wm::entersizemove, 0, 0);
        tick->SetBounds(left, top, tick->Width(), tick->Height());
        desktop.windows.Send(tick->Handle(), os::wm::exitsizemove, 0, 0);
        return std::make_pair(tick->Left(), tick->Top());
    };
    const int inLine = 900 - d.height;
    EXPECT_EQ(stripTo(400, inLine + d.snap), std::make_pair(400, inLine + d.snap));
    EXPECT_EQ(stripTo(400 + d.snap - 1, inLine - d.snap), std::make_pair(400, inLine));
    EXPECT_TRUE(prefs->Attached);
}

TEST_P(DpiTest, ThePromptAndTheAboutBoxAreLaidOutAtTheScale)
{
    desktop.SetDpi(d.dpi);
    TUpdateForm update(app);
    EXPECT_EQ(update.ClientWidth(), os::ScaleForDpi(296, d.dpi));
    EXPECT_EQ(update.ClientHeight(), os::ScaleForDpi(118, d.dpi));
    EXPECT_EQ(update.NoButton.BoundsRect(), os::Rect::FromBounds(os::ScaleForDpi(133, d.dpi), os::ScaleForDpi(88, d.dpi),
                                                                 os::ScaleForDpi(75, d.dpi), d.height));
    TAboutForm about(app);
    EXPECT_EQ(about.ClientWidth(), os::ScaleForDpi(320, d.dpi));
    EXPECT_EQ(about.Image1.Picture().width, os::ScaleForDpi(322, d.dpi)) << "the picture drawn at the scale";
}

INSTANTIATE_TEST_SUITE_P(Displays, DpiTest, ::testing::Values(At144, At192),
                         [](const auto& display) { return "At" + std::to_string(display.param.dpi); });

namespace
{
    // A primary monitor of 96 dpi and, right of it, one of 192.
    class MonitorsTest : public TickerFixture
    {
      protected:
        MonitorsTest() { desktop.system.AddMonitor({ 1280, 0, 1280 + 2560, 1600 }, 192); }
        void Ready()
        {
            Start();
            desktop.Advance(100);
            desktop.players.RaiseFSCommand(Ticker(), L"complete", L"success");
            desktop.Advance(100);
        }
    };
} // namespace

TEST_F(MonitorsTest, AStripMovedToAMonitorOfAnotherDpiTakesItsScaleAndBack)
{
    Ready();
    ASSERT_EQ(tick->Height(), 25);
    desktop.windows.ClearMessageLog();
    tick->SetBounds(1400, 100, tick->Width(), tick->Height());
    EXPECT_EQ(desktop.windows.CountMessages(tick->Handle(), os::wm::dpichanged), 1);
    EXPECT_EQ(tick->BoundsRect(), os::Rect::FromBounds(1400, 100, 1406, 50)) << "the suggested rectangle";
    EXPECT_EQ(tick->GrabImage.BoundsRect(), os::Rect::FromBounds(1406 - 20, 0, 20, 50));
    EXPECT_EQ(tick->GrabImage.Picture().width, 20);
    EXPECT_EQ(tick->Constraints().minWidth, 1280) << "1312, held within the primary work area";
    desktop.Advance(20);
    EXPECT_EQ(ChildRect(tick->Flash), os::Rect::FromBounds(0, 0, 1406 - 20, 50));
    EXPECT_EQ((tick->FloatRight() - tick->FloatLeft()), 1406) << "undocking later gives the size at this scale";

    tick->SetBounds(100, 100, tick->Width(), tick->Height());
    EXPECT_EQ(desktop.windows.CountMessages(tick->Handle(), os::wm::dpichanged), 2);
    EXPECT_EQ(tick->BoundsRect(), os::Rect::FromBounds(100, 100, 703, 25));
    EXPECT_EQ(tick->GrabImage.BoundsRect(), os::Rect::FromBounds(693, 0, 10, 25));
    EXPECT_EQ(tick->Constraints().minWidth, 656);
}

TEST_F(MonitorsTest, AnAttachedPanelFollowsTheStripOntoTheOtherMonitorAtItsScale)
{
    Ready();
    tick->SetBounds(100, 100, tick->Width(), tick->Height());
    tick->SetNewsPreferences1Click();
    desktop.Advance(300);
    ASSERT_EQ(prefs->BoundsRect(), os::Rect::FromBounds(100, 125, 690, 352));
    desktop.system.SetKeyDown(os::vk::lbutton, true); // the user drags the strip
    tick->SetBounds(1400, 100, tick->Width(), tick->Height());
    desktop.system.SetKeyDown(os::vk::lbutton, false);
    EXPECT_EQ(tick->Height(), 50);
    EXPECT_EQ(desktop.windows.GetDpiForWindow(prefs->Handle()), 192);
    EXPECT_EQ(prefs->BoundsRect(), os::Rect::FromBounds(1400, 150, 1380, 704)) << "in its slot below, at the new size";
    const os::Point origin = desktop.windows.ClientToScreen(prefs->Handle(), { 0, 0 });
    EXPECT_EQ(desktop.windows.GetWindowRect(prefs->prefsFlash->Handle()).Offset(-origin.x, -origin.y),
              os::Rect::FromBounds(2, 2, 1360, 700));
    EXPECT_EQ(prefs->grab.BoundsRect(), os::Rect::FromBounds(1362, 2, 18, 700));
    EXPECT_TRUE(prefs->Attached);
}

TEST_F(MonitorsTest, ThePromptMovedToTheOtherMonitorLaysItselfOutAndMakesItsControlsFontsThere)
{
    TUpdateForm update(app);
    update.Show();
    ASSERT_EQ(desktop.windows.FontOf(update.YesButton.Handle()).height, -11);
    update.SetBounds(1400, 200, update.Width(), update.Height());
    EXPECT_EQ(update.ClientWidth(), 592);
    EXPECT_EQ(update.ClientHeight(), 236);
    EXPECT_EQ(update.YesButton.BoundsRect(), os::Rect::FromBounds(96, 176, 150, 50));
    EXPECT_EQ(desktop.windows.FontOf(update.YesButton.Handle()).height, -22);
    EXPECT_EQ(desktop.windows.FontOf(update.Memo1.Handle()).height, -22);
    EXPECT_EQ(update.Left(), 1400) << "at the place Windows suggests";
}

TEST_F(MonitorsTest, ADockedStripDocksAgainWhenItsMonitorsScaleChanges)
{
    Ready();
    tick->DockBottom1Click(tick->DockBottom1);
    ASSERT_EQ(desktop.shell.Reserved(tick->Handle()).Height(), 25);
    desktop.ChangeMonitorDpi(0, 144);
    EXPECT_EQ(desktop.shell.Reserved(tick->Handle()), (os::Rect{ 0, 1024 - 30 - 38, 1280, 1024 - 30 }));
    EXPECT_EQ(tick->BoundsRect(), desktop.shell.Reserved(tick->Handle()));
    EXPECT_EQ(tick->Edge(), appbar::abeBottom);
    // Undocked, it floats at its earlier size in 96-dpi terms.
    tick->Undocke1Click(tick->Undocke1);
    EXPECT_EQ(tick->Width(), os::ScaleForDpi(703, 144));
    EXPECT_EQ(tick->Height(), 38);
}
