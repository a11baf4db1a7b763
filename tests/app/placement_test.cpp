// The strip on the desktop: the on-screen rule and the minimum desktop width.
#include "app/placement.h"
#include "support/ticker_fixture.h"

using namespace app;
using testing_support::TickerFixture;

TEST(KeepOnScreen, TopAndBottom)
{
    const os::Rect work{ 0, 0, 1280, 1050 };
    EXPECT_EQ(KeepOnScreen(-26, 100, 703, work).top, 10) << "wholly above y = 0";
    EXPECT_FALSE(KeepOnScreen(-25, 100, 703, work).top) << "its bottom edge at 0";
    EXPECT_EQ(KeepOnScreen(1026, 100, 703, work).top, 1015);
    EXPECT_FALSE(KeepOnScreen(1025, 100, 703, work).top);
}

TEST(KeepOnScreen, LeftAndRight)
{
    const os::Rect work{ 0, 0, 1280, 1050 };
    EXPECT_EQ(KeepOnScreen(100, -694, 703, work).left, -683) << "right end at 9 goes to 20";
    EXPECT_FALSE(KeepOnScreen(100, -693, 703, work).left);
    EXPECT_EQ(KeepOnScreen(100, 578, 703, work).left, 567);
    EXPECT_FALSE(KeepOnScreen(100, 577, 703, work).left);
    EXPECT_EQ(KeepOnScreen(100, 1400, 703, work).left, 1280 - 703 - 10) << "a strip on a monitor to the right comes back";
}

namespace
{
    class PlacementTest : public TickerFixture
    {
    };
} // namespace

TEST_F(PlacementTest, ADesktopNarrowerThan800EndsTheProgram)
{
    desktop.system.SetWorkArea({ 0, 0, 799, 600 });
    Start();
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 1u);
    const auto& box = desktop.windows.MessageBoxes()[0];
    EXPECT_EQ(box.text, "Sorry, The Norvale Desktop Ticker requires that\r\nyour desktop is at least 800 pixels wide.");
    EXPECT_EQ(box.caption, "Norvale Desktop Ticker");
    EXPECT_EQ(box.flags, os::mb::ok | os::mb::iconerror);
    desktop.Advance(10);
    EXPECT_TRUE(desktop.windows.QuitRetrieved());
    EXPECT_FALSE(HasTrayIcon());
}

TEST_F(PlacementTest, EightHundredIsWideEnoughAndTheStripIsPulledBackOn)
{
    desktop.system.SetWorkArea({ 0, 0, 800, 600 });
    Start();
    EXPECT_TRUE(desktop.windows.MessageBoxes().empty());
    EXPECT_EQ(tick->Left(), 800 - 703 - 10);
    EXPECT_FALSE(desktop.windows.QuitRetrieved());
}

TEST_F(PlacementTest, AResizeMovesTheGrabHandleAndTheStatusLine)
{
    Start();
    desktop.Advance(100);
    tick->SetWidth(900);
    EXPECT_EQ(tick->GrabImage.Left(), 890);
    EXPECT_EQ(tick->ProgressLabel.Left(), 890 - 329 - 5);
    EXPECT_EQ(ChildRect(tick->Flash).top, 1000) << "while loading the parked control stays put";
    tick->Timer1.SetEnabled(false);
    tick->SetWidth(1000);
    EXPECT_EQ(ChildRect(tick->Flash), os::Rect::FromBounds(0, 0, 1000, 25)) << "until the deferred layout";
    desktop.Advance(20);
    EXPECT_EQ(ChildRect(tick->Flash), os::Rect::FromBounds(0, 0, 990, 25));
}
