// Loading the ticker movie: what each load asks of the player, progress, the
// watchdog with its automatic reload and failure, the offline state, the retry on
// a click, the joined reload requests and the twelve-hour reload.
#include "app/datetime.h"
#include "support/ticker_fixture.h"

#include <algorithm>

using namespace app;
using testing_support::TickerFixture;
using testing_support::Wide;

namespace
{
    // The strip's own two controls, counted without the preferences panel's.
    class LoadingTest : public TickerFixture
    {
      protected:
        LoadingTest() { withPanel = false; }
        std::vector<std::wstring> ExpectedMovies()
        {
            return { Wide(ContentBaseUrl() + "faketickerstart.swf"), Wide(ContentBaseUrl() + "ticker4.swf") };
        }
        // Controls made for the strip (the preferences panel has one of its own).
        std::size_t Made() const
        {
            const auto& all = desktop.players.All();
            return std::count_if(all.begin(), all.end(), [&](const auto& r) { return r->parent == tick->Handle(); });
        }
        os::Point LabelPoint() { return desktop.windows.ClientToScreen(tick->Handle(), { 650, 12 }); }
    };
} // namespace

TEST(ContentBase, IsAnAbsoluteHttpAddressOfTheMoviesFolder)
{
    const std::string& url = ContentBaseUrl();
    EXPECT_EQ(url.rfind("http://", 0), 0u);
    const std::string path = "/resources/media/uk/downloads/vodazovovarar/";
    ASSERT_GE(url.size(), path.size());
    EXPECT_EQ(url.substr(url.size() - path.size()), path);
}

TEST_F(LoadingTest, EachLoadSetsTheMovieTwicePlaysOnceAndParksTheTickerOutOfSight)
{
    Start();
    ASSERT_EQ(Made(), 2u) << "the ticker control, then the sponsor control";
    auto& ticker = Ticker();
    EXPECT_EQ(ticker.Movies(), ExpectedMovies());
    EXPECT_EQ(ticker.Count(L"Play"), 1);
    EXPECT_EQ(ticker.Count(L"Menu=0"), 1);
    EXPECT_EQ(ticker.Count(L"DoVerb=-1"), 1);
    EXPECT_EQ(ChildRect(tick->Flash), os::Rect::FromBounds(0, 1000, 693, 25));
    auto& sponsor = Record(tick->SponsorFlash);
    EXPECT_EQ(ChildRect(tick->SponsorFlash), os::Rect::FromBounds(0, 30, 0, 25));
    EXPECT_EQ(sponsor.Count(L"Menu=0"), 1);
    EXPECT_EQ(sponsor.Count(L"DoVerb=-1"), 1);
    EXPECT_TRUE(sponsor.Movies().empty());
    EXPECT_TRUE(tick->Timer1.Enabled());
}

TEST_F(LoadingTest, ProgressShowsAsAPercentageAtOnceUntilTheNextEvent)
{
    Start();
    desktop.Advance(100);
    desktop.players.RaiseProgress(Ticker(), 42);
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Loading 42%");
    EXPECT_EQ(desktop.windows.LastPaint(tick->Handle()).back().text, "Loading 42%") << "repainted at once";
    desktop.players.RaiseProgress(Ticker(), 100);
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Loading 100%");
}

TEST_F(LoadingTest, AStalledLoadIsReloadedAfterTheSeventhTickAndFailsAtTheFifteenth)
{
    Start();
    desktop.Advance(6'999);
    EXPECT_EQ(Made(), 2u);
    desktop.Advance(1);
    EXPECT_EQ(tick->Timer1.Tag(), 7);
    EXPECT_TRUE(tick->fsCommandTimer.Enabled()) << "tick 7 asks for a reload";
    desktop.Advance(800);
    EXPECT_EQ(Made(), 4u) << "both controls rebuilt 800 ms later";
    EXPECT_EQ(Ticker().Movies(), ExpectedMovies());
    EXPECT_TRUE(tick->Timer1.Enabled()) << "the watchdog ran on through the reload";
    desktop.Advance(15'000 - 7'800 - 1);
    EXPECT_FALSE(tick->OopsImage.Visible());
    desktop.Advance(1);
    EXPECT_FALSE(tick->Timer1.Enabled());
    EXPECT_EQ(tick->Timer1.Tag(), 0);
    EXPECT_TRUE(tick->OopsImage.Visible());
    EXPECT_FALSE(tick->Image2.Visible());
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Please check connections and click here to try again");
    EXPECT_EQ(tick->ProgressLabel.Tag(), 1);
    EXPECT_EQ(tick->ProgressLabel.Cursor(), HandCursor);
    desktop.windows.MouseMove(LabelPoint());
    EXPECT_EQ(os::sim::SimWindows::CursorId(desktop.windows.CurrentCursor()), os::idc::hand);
}

TEST_F(LoadingTest, AClickOnTheArmedLabelRetriesAndAnUnarmedOneDoesNothing)
{
    Start();
    desktop.Advance(15'000);
    ASSERT_EQ(tick->ProgressLabel.Tag(), 1);
    const std::size_t before = Made();
    desktop.windows.Click(LabelPoint());
    EXPECT_EQ(tick->ProgressLabel.Tag(), 0);
    EXPECT_TRUE(tick->Image2.Visible());
    EXPECT_TRUE(tick->OopsImage.Visible()) << "the failure picture stays until the new load";
    EXPECT_EQ(tick->ProgressLabel.Cursor(), forms::cr::defaultCursor);
    desktop.Advance(799);
    EXPECT_EQ(Made(), before);
    desktop.Advance(1);
    EXPECT_EQ(Made(), before + 2);
    EXPECT_FALSE(tick->OopsImage.Visible());
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Connecting to Norvale...");
    desktop.windows.Click(LabelPoint());
    desktop.Advance(1000);
    EXPECT_EQ(Made(), before + 2) << "not armed: no reload";
}

TEST_F(LoadingTest, WithoutAConnectionTheStripOffersARetryAndStillPlays)
{
    desktop.internet.SetConnected(false);
    Start();
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Not currently connected. Click here to retry.");
    EXPECT_EQ(tick->ProgressLabel.Tag(), 1);
    EXPECT_EQ(tick->ProgressLabel.Cursor(), HandCursor);
    EXPECT_FALSE(tick->Timer1.Enabled());
    EXPECT_EQ(tick->Timer1.Tag(), 1) << "one watchdog tick ran by hand";
    EXPECT_EQ(Ticker().Count(L"Play"), 1);
    EXPECT_TRUE(tick->Image2.Visible());
    desktop.Advance(20'000);
    EXPECT_EQ(Made(), 2u) << "nothing is retried by itself";
    desktop.internet.SetConnected(true);
    desktop.windows.Click(LabelPoint());
    desktop.Advance(800);
    EXPECT_EQ(Made(), 4u);
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Connecting to Norvale...");
    EXPECT_TRUE(tick->Timer1.Enabled());
}

TEST_F(LoadingTest, OfflineLoadsCountTowardsTheFailureToo)
{
    desktop.internet.SetConnected(false);
    Start();
    for (int i = 0; i < 14; ++i)
    {
        desktop.windows.Click(LabelPoint());
        desktop.Advance(800);
    }
    EXPECT_EQ(tick->Timer1.Tag(), 0) << "the fifteenth tick, made by hand, reset the count";
    EXPECT_TRUE(tick->OopsImage.Visible());
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Not currently connected. Click here to retry.");
}

TEST_F(LoadingTest, ReloadRequestsWithinTheirWindowJoinIntoOneRebuild)
{
    Start();
    desktop.Advance(1000);
    const std::uint64_t first = desktop.Now();
    tick->Reload();
    desktop.Advance(100);
    tick->Reload();
    desktop.Advance(100);
    tick->Reload();
    desktop.Advance(599);
    EXPECT_EQ(Made(), 2u);
    desktop.Advance(1);
    EXPECT_EQ(desktop.Now() - first, 800u);
    EXPECT_EQ(Made(), 4u);
    desktop.Advance(2000);
    EXPECT_EQ(Made(), 4u);
    EXPECT_EQ(desktop.players.Alive().size(), 2u) << "the old controls are gone";
    EXPECT_EQ(desktop.players.PeakAlive(), 2u) << "stopped and destroyed before the new ones were made";
    for (const auto& old : { desktop.players.All()[0], desktop.players.All()[1] })
        EXPECT_EQ(old->Count(L"Stop"), 1);
}

TEST_F(LoadingTest, EveryLoadAttemptCountsItsWatchdogTicksFromZero)
{
    Start();
    desktop.Advance(5'000);
    desktop.players.RaiseFSCommand(Ticker(), L"complete", L"success");
    EXPECT_FALSE(tick->Timer1.Enabled());
    tick->Reload1Click(tick->Reload1);
    desktop.Advance(800);
    ASSERT_EQ(Made(), 4u);
    EXPECT_TRUE(tick->Image2.Visible()) << "the loading picture is back for the new load";
    desktop.Advance(6'999);
    EXPECT_FALSE(tick->fsCommandTimer.Enabled()) << "six ticks of the new load";
    desktop.Advance(1);
    EXPECT_TRUE(tick->fsCommandTimer.Enabled()) << "its seventh asks for the reload";
}

TEST_F(LoadingTest, NoControlIsDestroyedWhileOneOfItsEventsWaitsInABox)
{
    Start();
    desktop.Advance(100);
    // The movie's box stays up past the watchdog's reload at 7.8 s; later the
    // error box of a failing handler stays up past a reload asked for by hand.
    std::shared_ptr<os::sim::PlayerRecord> sender = desktop.players.Alive().at(0);
    std::size_t made = Made();
    desktop.windows.onMessageBox = [&](const os::sim::MessageBoxCall&)
    {
        desktop.Advance(8'000);
        EXPECT_TRUE(sender->alive) << "destroyed under its own event";
        EXPECT_EQ(Made(), made);
        return os::id::ok;
    };
    desktop.players.RaiseFSCommand(*sender, L"message", L"Breaking news");
    desktop.Advance(800);
    EXPECT_FALSE(sender->alive) << "the rebuild follows once the event has returned";
    EXPECT_EQ(Made(), 4u);

    sender = desktop.players.Alive().at(0);
    made = Made();
    desktop.players.FailCall(L"SetVariable", os::hr::fail);
    tick->Reload();
    desktop.players.RaiseFSCommand(*sender, L"getuid", L"gUid");
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 2u);
    EXPECT_NE(desktop.windows.MessageBoxes()[1].text.find("SetVariable failed"), std::string::npos);
    desktop.Advance(800);
    EXPECT_FALSE(sender->alive);
    EXPECT_EQ(Made(), 6u);
}

TEST_F(LoadingTest, QuittingWithAReloadDueStartsNoNewLoad)
{
    Start();
    desktop.Advance(100);
    tick->Reload();
    desktop.clock.Set(desktop.Now() + 800); // due, not yet dispatched
    desktop.windows.Send(tick->Handle(), os::wm::close, 0, 0);
    EXPECT_EQ(Made(), 2u) << "the quit's own message pump must not rebuild the controls";
    EXPECT_FALSE(tick->fsCommandTimer.Enabled());
    EXPECT_FALSE(HasTrayIcon());
}

TEST_F(LoadingTest, AReloadKeepsTheSponsorLinkOnlyUntilTheNewLoadStarts)
{
    Start();
    tick->SponsorURL = "http://sponsor.example/";
    tick->Reload1Click(tick->Reload1);
    desktop.Advance(799);
    EXPECT_EQ(tick->SponsorURL, "http://sponsor.example/");
    desktop.Advance(1);
    EXPECT_TRUE(tick->SponsorURL.empty());
}

TEST_F(LoadingTest, APlayerThatCannotBeMadeOnAReloadLeavesTheStripAsItWas)
{
    Start();
    desktop.Advance(100);
    desktop.players.SetCreateResult(os::hr::class_not_registered);
    tick->Reload();
    desktop.Advance(800);
    EXPECT_TRUE(tick->FlashMissing);
    EXPECT_EQ(tick->Flash, nullptr);
    EXPECT_EQ(tick->SponsorFlash, nullptr);
    EXPECT_TRUE(desktop.players.Alive().empty());
    EXPECT_TRUE(StripVisible());
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Connecting to Norvale...");
}

TEST_F(LoadingTest, TheTwelveHourReloadNeedsThirteenWholeHoursEitherWay)
{
    desktop.process.SetLocalTime({ 2026, 12, 2, 8, 9, 0, 0, 0 });
    Start();
    desktop.Advance(100);
    auto at = [&](int hour, int minute, int day = 8)
    {
        desktop.process.SetLocalTime({ 2026, 12, 0, static_cast<std::uint16_t>(day), static_cast<std::uint16_t>(hour),
                                       static_cast<std::uint16_t>(minute), 0, 0 });
    };
    at(21, 59);
    tick->CheckDate();
    EXPECT_FALSE(tick->fsCommandTimer.Enabled()) << "12 hours 59 minutes";
    at(22, 0);
    tick->CheckDate();
    EXPECT_TRUE(tick->fsCommandTimer.Enabled()) << "13 hours";
    EXPECT_EQ(tick->StartTime.hour, 22);
    desktop.Advance(800);
    // A manual reload leaves the count alone.
    tick->Reload();
    desktop.Advance(800);
    EXPECT_EQ(tick->StartTime.hour, 22);
    // The clock set back by thirteen hours also reloads.
    at(9, 0);
    tick->CheckDate();
    EXPECT_TRUE(tick->fsCommandTimer.Enabled());
}

TEST(DateTime, WholeHoursCountAcrossDaysAndMonths)
{
    EXPECT_EQ(WholeHoursBetween({ 2026, 12, 0, 8, 9, 0, 0, 0 }, { 2026, 12, 0, 8, 21, 59, 59, 999 }), 12);
    EXPECT_EQ(WholeHoursBetween({ 2026, 11, 0, 30, 23, 0, 0, 0 }, { 2026, 12, 0, 1, 12, 0, 0, 0 }), 13);
    EXPECT_EQ(WholeHoursBetween({ 2024, 2, 0, 28, 12, 0, 0, 0 }, { 2024, 3, 0, 1, 12, 0, 0, 0 }), 48) << "a leap year";
    EXPECT_EQ(WholeHoursBetween({ 2026, 12, 0, 8, 22, 0, 0, 0 }, { 2026, 12, 0, 8, 9, 0, 0, 0 }), 13);
}
