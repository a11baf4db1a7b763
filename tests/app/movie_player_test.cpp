// The strip's start-up road with our own movie player (the default): the two
// movies load, progress and ready states reach the host, the movie's commands
// drive the strip to its final layout, and the movie's drawing is on the strip.
#include "app/ticker.h"
#include "player/movie/movie_player.h"
#include "support/ticker_fixture.h"

using namespace app;
using testing_support::TickerFixture;

namespace
{
    class MoviePlayerRoadTest : public TickerFixture
    {
      protected:
        MoviePlayerRoadTest() { chosen = &movies; }
        player::MoviePlayerFactory movies{ desktop.Os() };
    };

    const char* const TickerMovie = R"lua(--!movie 1
local font = { face = "Arial", size = 12, bold = true }
stage.on("paint", function()
  stage.fill(0, 0, stage.width(), stage.height(), 0x002050)
  stage.text(4, 6, "Norvale headlines: " .. stage.get("num_monitors") .. " monitor(s)", font, 0xFFFFFF)
end)
fscommand("ticker", "Fetching the headlines")
stage.after(500, function() fscommand("complete", "success") end)
)lua";
} // namespace

TEST_F(MoviePlayerRoadTest, TheTickerMovieLoadsReportsAndCompletesTheStrip)
{
    const std::string base = ContentBaseUrl();
    desktop.downloads.Serve(base + "faketickerstart.swf", os::sim::DownloadResponse::Body("--!movie 1\nfscommand('ticker', 'fake')\n"));
    os::sim::DownloadResponse ticker = os::sim::DownloadResponse::Body(TickerMovie);
    ticker.body.resize(400, '-');
    ticker.delayMs = 100;
    ticker.steps = 4;
    ticker.stepMs = 200;
    desktop.downloads.Serve(base + "ticker4.swf", ticker);

    Start();
    desktop.Advance(350);
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Loading 50%");
    desktop.Advance(400); // the last part arrives at 700
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Fetching the headlines") << "ready 3 and 4 passed; the movie runs";
    EXPECT_TRUE(tick->Timer1.Enabled()) << "not complete yet";
    EXPECT_FALSE(tick->FlashMissing) << "version 10 passed the test at ready state 3";
    desktop.Advance(600);
    EXPECT_FALSE(tick->Timer1.Enabled());
    EXPECT_FALSE(tick->Image2.Visible());
    EXPECT_FALSE(tick->ProgressLabel.Visible());
    desktop.Advance(100);
    EXPECT_EQ(ChildRect(tick->Flash), os::Rect::FromBounds(0, 0, 693, 25));
    EXPECT_EQ(tick->Flash->GetVariable(L"num_monitors"), L"1") << "set by the host inside the movie's command";

    const auto urls = desktop.downloads.Urls();
    ASSERT_GE(urls.size(), 2u);
    EXPECT_EQ(urls[0], base + "faketickerstart.swf");
    EXPECT_TRUE(desktop.downloads.Requests()[0].cancelled) << "the second Movie replaced the first";
    EXPECT_EQ(urls[1], base + "ticker4.swf");
    EXPECT_TRUE(desktop.players.All().empty()) << "the hosted control was never asked for";

    desktop.windows.InvalidateRect(tick->Flash->Handle(), nullptr);
    desktop.windows.UpdateWindow(tick->Flash->Handle());
    const auto& ops = desktop.windows.LastPaint(tick->Flash->Handle());
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[1].color, os::Rgb(0x00, 0x20, 0x50));
    EXPECT_EQ(ops[2].wide, L"Norvale headlines: 1 monitor(s)");
    desktop.Advance(20'000);
    EXPECT_FALSE(tick->OopsImage.Visible()) << "the watchdog stopped";
}

TEST_F(MoviePlayerRoadTest, AMovieThatIsNotAMovieLeavesTheLoadToTheWatchdog)
{
    const std::string base = ContentBaseUrl();
    desktop.downloads.Serve(base + "ticker4.swf", os::sim::DownloadResponse::Body("<html><body>Bad Gateway</body></html>"));
    Start();
    desktop.Advance(1000);
    EXPECT_TRUE(tick->Timer1.Enabled());
    EXPECT_TRUE(tick->ProgressLabel.Visible());
    bool traced = false;
    for (const auto& line : desktop.process.DebugLines())
        traced = traced || line == "movie " + base + "ticker4.swf: stopped: not a movie: markup (an HTML page?), not a movie";
    EXPECT_TRUE(traced);
}

TEST_F(MoviePlayerRoadTest, AReloadFromTheMovieRebuildsTheControlsWhileTheMovieRuns)
{
    const std::string base = ContentBaseUrl();
    desktop.downloads.Serve(base + "ticker4.swf", os::sim::DownloadResponse::Body(R"lua(--!movie 1
stage.every(20, function() stage.redraw() end)
stage.load_text("feed.txt", function() end)
fscommand("reload")
)lua"));
    os::sim::DownloadResponse feed = os::sim::DownloadResponse::Body("slow feed");
    feed.delayMs = 5000;
    desktop.downloads.Serve(base + "feed.txt", feed);
    Start();
    desktop.Advance(100);
    const os::Hwnd first = tick->Flash->Handle();
    desktop.downloads.Serve(base + "ticker4.swf", os::sim::DownloadResponse::Body(TickerMovie));
    desktop.Advance(2000);
    EXPECT_FALSE(desktop.windows.IsWindow(first)) << "the first control is gone";
    EXPECT_NE(tick->Flash->Handle(), first);
    EXPECT_FALSE(tick->Timer1.Enabled()) << "the second load completed";
    const auto& requests = desktop.downloads.Requests();
    ASSERT_EQ(requests.size(), 5u); // fake, ticker, feed, fake, ticker
    EXPECT_TRUE(requests[2].cancelled) << "the feed of the destroyed control";
    EXPECT_EQ(desktop.downloads.Running(), 0u);
}
