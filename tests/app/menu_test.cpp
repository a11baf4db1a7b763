// The context menu and what opens it, the docking commands with the menu's checks
// and the on-top state following the edge, and the strip's place after a change of
// the display.
#include "support/ticker_fixture.h"

using namespace app;
using testing_support::TickerFixture;

namespace
{
    class MenuTest : public TickerFixture
    {
      protected:
        // A started strip whose load has completed (the ticker control laid out).
        void Ready()
        {
            Start();
            desktop.Advance(100);
            tick->Timer1.SetEnabled(false);
        }
        os::Point OnStrip(int x, int y) { return desktop.windows.ClientToScreen(tick->Handle(), { x, y }); }
        std::size_t Menus() const { return desktop.windows.PopupMenus().size(); }
        // Opens the menu by a right press on the grab handle (the ticker control covers
        // the rest once laid out) and chooses the item with the caption.
        void Choose(const std::string& caption)
        {
            desktop.windows.onPopupMenu = [&](const os::sim::PopupMenuCall& call)
            {
                return call.IdOf(caption);
            };
            desktop.windows.Click(OnStrip(tick->ClientWidth() - 5, 12), os::vk::rbutton);
            desktop.windows.ProcessPending();
            desktop.windows.onPopupMenu = nullptr;
            desktop.Advance(20); // the deferred layout of the controls after a resize
        }
        void RightClick(os::Point p)
        {
            desktop.windows.Click(p, os::vk::rbutton);
            desktop.windows.ProcessPending();
        }
        void Tray(os::UINT mouseMessage) { desktop.windows.Send(tick->Handle(), TrayCallbackMessage, TrayIconId, mouseMessage); }
        bool Topmost() { return desktop.windows.IsTopmost(tick->Handle()); }
    };
} // namespace

TEST_F(MenuTest, TheStripsBackgroundAndGrabHandleOpenTheMenuAtThePointerTheStatusLineDoesNot)
{
    Ready();
    desktop.windows.ClearMessageLog();
    desktop.windows.MouseDown(OnStrip(200, 12), os::vk::rbutton);
    desktop.windows.ProcessPending();
    ASSERT_EQ(Menus(), 1u) << "on the press, over the disabled loading picture";
    const auto menu = desktop.windows.PopupMenus()[0];
    EXPECT_EQ(menu.at, OnStrip(200, 12));
    EXPECT_EQ(menu.owner, tick->Handle());
    EXPECT_EQ(desktop.windows.GetForegroundWindow(), tick->Handle());
    EXPECT_EQ(desktop.windows.CountMessages(tick->Handle(), os::wm::null), 1) << "posted after the menu";
    desktop.windows.MouseUp(OnStrip(200, 12), os::vk::rbutton);

    RightClick(OnStrip(tick->ClientWidth() - 5, 12));
    EXPECT_EQ(Menus(), 2u) << "the grab handle";
    RightClick(OnStrip(tick->ProgressLabel.Left() + 300, 12));
    EXPECT_EQ(Menus(), 2u) << "the status line takes its own presses";
    desktop.windows.Click(OnStrip(200, 12));
    desktop.windows.ProcessPending();
    EXPECT_EQ(Menus(), 2u) << "the primary button does not open it";

    // The docking group and the on-top item as the layout has them.
    const auto* undocked = menu.Find("Undocked");
    ASSERT_NE(undocked, nullptr);
    EXPECT_TRUE(undocked->checked && undocked->radio);
    EXPECT_FALSE(menu.Find("Top")->checked);
    EXPECT_TRUE(menu.Find("Always on &top")->enabled);
}

TEST_F(MenuTest, TheTrayIconOpensTheMenuOnADoubleClickOrARightPressAndOnlyBringsTheStripForwardOnAClick)
{
    Ready();
    desktop.windows.SetForegroundWindow(app.Handle());
    Tray(os::wm::lbuttondown);
    Tray(os::wm::rbuttonup);
    EXPECT_NE(desktop.windows.GetForegroundWindow(), tick->Handle());
    Tray(os::wm::lbuttonup);
    EXPECT_EQ(desktop.windows.GetForegroundWindow(), tick->Handle());
    EXPECT_EQ(Menus(), 0u);
    desktop.windows.MouseMove({ 1200, 1010 });
    desktop.windows.SetForegroundWindow(app.Handle());
    Tray(os::wm::lbuttondblclk);
    EXPECT_EQ(desktop.windows.GetForegroundWindow(), tick->Handle());
    ASSERT_EQ(Menus(), 1u);
    EXPECT_EQ(desktop.windows.PopupMenus()[0].at, (os::Point{ 1200, 1010 }));
    Tray(os::wm::rbuttondown);
    EXPECT_EQ(Menus(), 2u);
}

TEST_F(MenuTest, DockingThroughTheMenuMovesTheStripAndTheLogoAndTheChecksFollow)
{
    Ready();
    ASSERT_TRUE(Topmost()) << "a first run floats on top";
    tick->SponsorFlash->SetBounds(703 - 69, 0, SponsorWidth, TickerHeight); // a logo is shown
    Choose("Top");
    EXPECT_EQ(tick->Edge(), appbar::abeTop);
    EXPECT_EQ(desktop.windows.GetWindowRect(tick->Handle()), os::Rect::FromBounds(0, 0, 1280, 25));
    EXPECT_EQ(tick->SponsorFlash->Left(), 1280 - 69) << "the logo keeps to the right end";
    EXPECT_TRUE(tick->DockTop1.Checked());
    EXPECT_FALSE(tick->Undocke1.Checked());
    EXPECT_FALSE(tick->AlwaysOnTop());
    EXPECT_FALSE(tick->StayonTop1.Enabled());
    EXPECT_TRUE(tick->StayonTop1.Checked()) << "the check stays as the user left it";
    EXPECT_TRUE(Topmost()) << "docked through the menu from on top: topmost until the next edge change";
    EXPECT_EQ(desktop.system.GetWorkArea().top, 25);
    tick->Flash->SetTop(1000); // parked as during a load
    desktop.Advance(20);
    const int paints = desktop.windows.PaintCount(tick->Handle());
    Choose("Top"); // the same edge again: no resize
    EXPECT_GT(desktop.windows.PaintCount(tick->Handle()), paints) << "the loading picture and status line repaint";

    tick->SponsorFlash->SetBounds(0, 30, 0, TickerHeight); // no logo
    Choose("Bottom");
    EXPECT_TRUE(tick->DockBottom1.Checked());
    EXPECT_FALSE(tick->DockTop1.Checked());
    EXPECT_EQ(tick->SponsorFlash->Left(), 0) << "a hidden logo stays where it is";
    EXPECT_FALSE(Topmost());
    EXPECT_EQ(tick->Top() + tick->Height(), desktop.system.GetWorkArea().bottom + 25);

    Choose("Undocked");
    EXPECT_EQ(tick->Edge(), appbar::abeFloat);
    EXPECT_TRUE(tick->Undocke1.Checked());
    EXPECT_FALSE(tick->DockBottom1.Checked());
    EXPECT_TRUE(tick->StayonTop1.Enabled());
    EXPECT_TRUE(tick->AlwaysOnTop()) << "the checked item turns it on again";
    EXPECT_EQ(desktop.windows.GetWindowRect(tick->Handle()), os::Rect::FromBounds(100, 100, 703, 25));
}

TEST_F(MenuTest, AlwaysOnTopTwiceReturnsToTopmostAndUndockingWithItOffStaysOff)
{
    Ready();
    Choose("Always on &top");
    EXPECT_FALSE(tick->StayonTop1.Checked());
    EXPECT_FALSE(tick->AlwaysOnTop());
    EXPECT_FALSE(Topmost());
    const auto order = desktop.windows.TopLevelWindows();
    EXPECT_EQ(std::find(order.begin(), order.end(), tick->Handle()), order.begin())
        << "from the bottom it comes to the top of the ordinary windows";
    EXPECT_TRUE(desktop.windows.IsWindowVisible(tick->Handle()));
    EXPECT_EQ(desktop.windows.GetFocus(), tick->Handle());

    Choose("Top");
    EXPECT_FALSE(tick->StayonTop1.Enabled());
    Choose("Always on &top");
    EXPECT_FALSE(tick->StayonTop1.Checked()) << "a disabled item cannot be chosen";
    Choose("Undocked");
    EXPECT_FALSE(tick->AlwaysOnTop());
    EXPECT_FALSE(tick->StayonTop1.Checked());
    EXPECT_TRUE(tick->StayonTop1.Enabled());

    Choose("Always on &top");
    EXPECT_TRUE(tick->StayonTop1.Checked());
    EXPECT_TRUE(tick->AlwaysOnTop());
    EXPECT_TRUE(Topmost());
}

TEST_F(MenuTest, ASavedOffStaysOffAtTheNextStart)
{
    Ready();
    Choose("Always on &top");
    tick->DoQuit();
    Close();
    Ready();
    EXPECT_FALSE(tick->StayonTop1.Checked());
    EXPECT_FALSE(tick->AlwaysOnTop());
    EXPECT_FALSE(Topmost());
}

TEST_F(MenuTest, DockingByADragLeavesTheStripNotTopmostAndBackInTheOpenTheMenuFollows)
{
    Ready();
    ASSERT_TRUE(Topmost());
    desktop.windows.ScriptDrag({ { { 300, 400 } }, { { 300, 3 } } });
    desktop.windows.MouseDown(OnStrip(200, 12));
    desktop.windows.MouseUp({ 300, 3 });
    desktop.windows.ProcessPending();
    EXPECT_EQ(tick->Edge(), appbar::abeTop);
    EXPECT_TRUE(tick->DockTop1.Checked());
    EXPECT_FALSE(Topmost()) << "the on-top state turned off during the drag, before the z-order was applied";

    // Over the bottom edge and back into the open within one drag, by the grab handle
    // (the ticker control covers the rest of a docked strip).
    desktop.Advance(20);
    desktop.windows.ScriptDrag({ { { 300, 1000 } }, { { 300, 500 } } });
    desktop.windows.MouseDown(OnStrip(tick->ClientWidth() - 5, 12));
    desktop.windows.MouseUp({ 300, 500 });
    desktop.windows.ProcessPending();
    EXPECT_EQ(tick->Edge(), appbar::abeFloat);
    EXPECT_TRUE(tick->Undocke1.Checked());
    EXPECT_FALSE(tick->DockBottom1.Checked());
    EXPECT_TRUE(tick->AlwaysOnTop());
    EXPECT_TRUE(Topmost()) << "the drag's end applies the z-order";
}

TEST_F(MenuTest, ADisplayChangeReadsTheNewWorkAreaAndQuitsBelow800)
{
    Ready();
    tick->SetLeft(500);
    desktop.SetScreen(1024, 768);
    desktop.windows.Send(tick->Handle(), os::wm::displaychange, 32, 0);
    EXPECT_EQ(tick->Left(), 1024 - 703 - 10);
    EXPECT_TRUE(desktop.windows.MessageBoxes().empty());

    Choose("Bottom");
    const int workBottom = desktop.system.GetWorkArea().bottom;
    desktop.windows.Send(tick->Handle(), os::wm::displaychange, 32, 0);
    EXPECT_EQ(tick->Top(), workBottom - 35) << "a strip docked at the bottom lies below the work area";

    desktop.SetScreen(799, 600);
    desktop.windows.Send(tick->Handle(), os::wm::displaychange, 32, 0);
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 1u);
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].flags, os::mb::ok | os::mb::iconerror);
    EXPECT_FALSE(HasTrayIcon()) << "the quit sequence ran";
    desktop.Advance(10);
    EXPECT_TRUE(desktop.windows.QuitRetrieved());
}
