// The notification-area icon as an object: added once, removed on every way out,
// and back after the shell restarts.
#include "app/tray_icon.h"
#include "support/recorder.h"
#include "support/ticker_fixture.h"

using namespace app;

namespace
{
    class TrayIconTest : public ::testing::Test
    {
      protected:
        os::sim::Desktop desktop;
        testing_support::Recorder rec{ desktop.windows };
        os::Hwnd window = desktop.windows.Create(testing_support::TopLevel({ 0, 0, 10, 10 }), &rec);
    };
} // namespace

TEST_F(TrayIconTest, RemovesItselfWhenDestroyed)
{
    {
        TrayIcon icon(desktop.Os(), 100, os::wm::user + 1);
        EXPECT_TRUE(icon.Add(window, os::IconHandle{ 5 }, "Tip"));
        EXPECT_EQ(desktop.shell.TrayIcons().size(), 1u);
    }
    EXPECT_TRUE(desktop.shell.TrayIcons().empty());
}

TEST_F(TrayIconTest, ComesBackAfterTheShellRestartsUnlessRemoved)
{
    TrayIcon icon(desktop.Os(), 100, os::wm::user + 1);
    icon.Add(window, os::IconHandle{ 5 }, "Tip");
    desktop.shell.RestartShell();
    EXPECT_TRUE(desktop.shell.TrayIcons().empty());
    icon.TaskbarCreated();
    EXPECT_EQ(desktop.shell.TrayIcons().size(), 1u);
    icon.Remove();
    desktop.shell.RestartShell();
    icon.TaskbarCreated();
    EXPECT_TRUE(desktop.shell.TrayIcons().empty());
}

TEST_F(TrayIconTest, AnIconTheShellRefusedAtLogOnArrivesWhenTheShellStarts)
{
    TrayIcon icon(desktop.Os(), 100, os::wm::user + 1);
    TrayIcon first(desktop.Os(), 100, os::wm::user + 1);
    first.Add(window, os::IconHandle{ 5 }, "Tip"); // takes the identifier
    EXPECT_FALSE(icon.Add(window, os::IconHandle{ 5 }, "Tip"));
    first.Remove();
    icon.TaskbarCreated();
    EXPECT_TRUE(icon.Added());
    EXPECT_EQ(desktop.shell.TrayIcons().size(), 1u);
}

namespace
{
    class TickerTrayTest : public testing_support::TickerFixture
    {
    };
} // namespace

TEST_F(TickerTrayTest, TheStripPutsItsIconBackWhenTheShellRestarts)
{
    Start();
    desktop.shell.RestartShell();
    EXPECT_TRUE(HasTrayIcon());
}
