// The simulated downloads take turns as the real ones do: a queue in the order
// asked, one worker, one more for what waits while a download has run for a
// second (four at most), deadlines from the take, and a cancelled download that
// waited still asks the server when its turn comes.
#include "os/sim/desktop.h"
#include "support/recorder.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace os;
using testing_support::Recorder;

namespace
{
    class SimDownloadQueueTest : public ::testing::Test
    {
      protected:
        SimDownloadQueueTest()
        {
            WindowParams params;
            params.className = "Test";
            params.style = ws::popup | ws::visible;
            params.bounds = Rect::FromBounds(10, 10, 200, 50);
            window = desktop.windows.Create(params, &recorder);
            message = desktop.windows.RegisterMessage("Download");
            recorder.hook = [this](Hwnd, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT>
            {
                if (msg != message)
                    return std::nullopt;
                const auto id = static_cast<std::uint32_t>(wParam);
                ++messages[id];
                DownloadStatus s;
                if (desktop.downloads.Query(id, s) && s.state != DownloadStatus::State::running)
                {
                    ended[id] = { std::move(s), desktop.Now() };
                    order.push_back(id);
                }
                return std::nullopt;
            };
        }

        std::uint32_t Start(const std::string& url, DWORD timeoutMs = 30000)
        {
            DownloadLimits limits;
            limits.timeoutMs = timeoutMs;
            return desktop.downloads.Start(url, limits, window, message);
        }
        const sim::DownloadRequest& Asked(std::uint32_t id) const { return desktop.downloads.Requests().at(id - 1); }
        std::string Body(std::uint32_t id) { return std::string(ended[id].first.body.begin(), ended[id].first.body.end()); }

        sim::Desktop desktop;
        Recorder recorder{ desktop.windows };
        Hwnd window{};
        UINT message = 0;
        std::map<std::uint32_t, std::pair<DownloadStatus, std::uint64_t>> ended; // the status and when it came
        std::map<std::uint32_t, int> messages;
        std::vector<std::uint32_t> order;
    };

    sim::DownloadResponse Hangs()
    {
        sim::DownloadResponse r = sim::DownloadResponse::Body("never");
        r.headersMs = 60'000;
        return r;
    }
    sim::DownloadResponse Takes(std::uint64_t ms, std::string body)
    {
        sim::DownloadResponse r = sim::DownloadResponse::Body(std::move(body));
        r.delayMs = ms;
        return r;
    }
} // namespace

// The same expectation as the Windows backend's test of this name.
TEST_F(SimDownloadQueueTest, AHangingDownloadHoldsUpNoOtherAndACancelledWaitingOneStaysSilent)
{
    desktop.downloads.Serve("http://hang.test/channel/world.txt", Hangs());
    desktop.downloads.Serve("http://first.test/faketickerstart.swf", Takes(200, std::string(200000, 'm')));
    desktop.downloads.Serve("http://quick.test/b", Takes(700, "quick"));
    desktop.downloads.Serve("http://quick.test/c", Takes(0, "quick"));
    const std::uint64_t start = desktop.Now();
    const auto hung = Start("http://hang.test/channel/world.txt", 6000);
    const auto cancelled = Start("http://first.test/faketickerstart.swf");
    // Shorter than its wait for a worker and its own time together.
    const auto behind = Start("http://quick.test/b", 800);
    const auto next = Start("http://quick.test/c", 800);
    ASSERT_TRUE(hung && cancelled && behind && next);
    EXPECT_EQ(desktop.downloads.Workers(), 1) << "one worker for them all";
    desktop.downloads.Cancel(cancelled);
    desktop.Advance(1);
    EXPECT_EQ(desktop.downloads.Workers(), 1);
    EXPECT_EQ(desktop.downloads.Waiting(), 3u) << "the downloads take turns";
    EXPECT_TRUE(Asked(hung).Taken());

    desktop.Advance(998);
    EXPECT_FALSE(Asked(cancelled).Taken()) << "another worker before the first had run a second";
    EXPECT_FALSE(Asked(behind).Taken());
    desktop.Advance(1);
    EXPECT_EQ(desktop.downloads.Workers(), 2);
    EXPECT_EQ(Asked(cancelled).taken, start + 1000) << "the cancelled one still asks, in its turn";
    EXPECT_EQ(Asked(behind).taken, start + 1000) << "and reads nothing, so the next follows at once";

    desktop.Advance(10'000);
    ASSERT_TRUE(ended.count(behind));
    EXPECT_EQ(ended[behind].first.state, DownloadStatus::State::done) << ended[behind].first.error;
    EXPECT_EQ(Body(behind), "quick");
    EXPECT_EQ(ended[behind].second, start + 1700) << "its whole time bound, counted from the take";
    EXPECT_EQ(Asked(next).taken, start + 1700) << "in the order asked";
    EXPECT_EQ(Body(next), "quick");
    EXPECT_EQ(messages[cancelled], 0);
    EXPECT_TRUE(Asked(cancelled).cancelled);
    DownloadStatus gone;
    EXPECT_FALSE(desktop.downloads.Query(cancelled, gone));

    EXPECT_EQ(ended[hung].first.error, "no complete answer within 6000 ms");
    EXPECT_EQ(ended[hung].second, start + 6000);
    EXPECT_EQ(order, (std::vector<std::uint32_t>{ behind, next, hung }));
    EXPECT_EQ(desktop.downloads.Workers(), 0);
    EXPECT_EQ(desktop.downloads.Waiting(), 0u);
    EXPECT_EQ(desktop.windows.PendingWork(), 0u);
}

TEST_F(SimDownloadQueueTest, QuickDownloadsFinishInTheOrderAskedOnOneWorkerAndALaterOneAsksWithWhatAnEarlierKept)
{
    const std::uint64_t takes[] = { 300, 50, 200, 10, 100 };
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < 5; ++i)
    {
        const std::string url = "http://x.test/" + std::to_string(i);
        desktop.downloads.Serve(url, Takes(takes[i], url));
        ids.push_back(Start(url));
    }
    sim::DownloadResponse movie = Takes(100, "-- movie");
    movie.etag = "\"v1\"";
    desktop.downloads.Serve("http://x.test/ticker4.swf", movie);
    const auto firstMovie = Start("http://x.test/ticker4.swf");
    const auto secondMovie = Start("http://x.test/ticker4.swf");
    int most = 0;
    for (int ms = 0; ms < 2000; ms += 5)
    {
        desktop.Advance(5);
        most = std::max(most, desktop.downloads.Workers());
    }
    ids.push_back(firstMovie);
    ids.push_back(secondMovie);
    EXPECT_EQ(order, ids);
    EXPECT_EQ(most, 1) << "none ran for a second";
    EXPECT_EQ(ended[ids[4]].second, 300u + 50 + 200 + 10 + 100);
    EXPECT_EQ(Body(ids[2]), "http://x.test/2");
    EXPECT_FALSE(Asked(firstMovie).conditional);
    EXPECT_TRUE(Asked(secondMovie).notModified) << "asked after the first had kept its answer";
    EXPECT_EQ(ended[secondMovie].second, ended[firstMovie].second) << "a 304 brings no body to wait for";
    EXPECT_EQ(Body(secondMovie), "-- movie");
    EXPECT_EQ(desktop.downloads.Workers(), 0);
}

TEST_F(SimDownloadQueueTest, NoMoreThanFourRunAtOnceAndTheExtraWorkersEndWithTheSlowDownloads)
{
    std::vector<std::uint32_t> hanging;
    for (int i = 0; i < 6; ++i)
    {
        const std::string url = "http://hang.test/" + std::to_string(i);
        desktop.downloads.Serve(url, Hangs());
        hanging.push_back(Start(url, 10'000));
    }
    desktop.Advance(1);
    std::vector<int> workers{ desktop.downloads.Workers() };
    for (int s = 1; s <= 5; ++s)
    {
        desktop.Advance(1000);
        workers.push_back(desktop.downloads.Workers());
    }
    EXPECT_EQ(workers, (std::vector<int>{ 1, 2, 3, 4, 4, 4 })) << "one more for each slow download";
    EXPECT_EQ(desktop.downloads.Waiting(), 2u);
    EXPECT_EQ(Asked(hanging[3]).taken, 3000u);
    EXPECT_FALSE(Asked(hanging[4]).Taken());
    desktop.Advance(4999);
    EXPECT_EQ(Asked(hanging[4]).taken, 10'000u) << "the first worker free takes it";
    EXPECT_EQ(ended[hanging[0]].second, 10'000u);

    desktop.Advance(30'000);
    EXPECT_EQ(ended.size(), 6u);
    EXPECT_EQ(desktop.downloads.Workers(), 0) << "no worker stays when nothing downloads";

    // With two slow ones running, a third worker takes what comes, and ends once
    // nothing waits; the two slow ones' workers end with them.
    desktop.downloads.Serve("http://slow.test/a", Takes(3000, "a"));
    desktop.downloads.Serve("http://slow.test/b", Takes(3000, "b"));
    desktop.downloads.Serve("http://quick.test/c", Takes(10, "c"));
    const std::uint64_t t = desktop.Now();
    Start("http://slow.test/a");
    Start("http://slow.test/b");
    desktop.Advance(2000);
    EXPECT_EQ(desktop.downloads.Workers(), 2);
    const auto c = Start("http://quick.test/c");
    desktop.Advance(1);
    EXPECT_EQ(desktop.downloads.Workers(), 3);
    EXPECT_EQ(Asked(c).taken, t + 2000) << "taken at once";
    desktop.Advance(100);
    EXPECT_EQ(desktop.downloads.Workers(), 2);
    desktop.Advance(10'000);
    EXPECT_EQ(desktop.downloads.Workers(), 0);
}

TEST_F(SimDownloadQueueTest, ACancelledRunningDownloadHoldsItsWorkerUntilItsNextReport)
{
    sim::DownloadResponse headersLate = Takes(5000, "late");
    headersLate.headersMs = 400;
    desktop.downloads.Serve("http://x.test/headers-late", headersLate);
    sim::DownloadResponse parts = Takes(0, "0123456789");
    parts.steps = 5;
    parts.stepMs = 300;
    desktop.downloads.Serve("http://x.test/parts", parts);
    desktop.downloads.Serve("http://x.test/next", Takes(0, "next"));

    const auto late = Start("http://x.test/headers-late");
    const auto next = Start("http://x.test/next");
    desktop.Advance(100);
    desktop.downloads.Cancel(late);
    EXPECT_EQ(desktop.downloads.Held(), 1u) << "a cancelled download holds no slot";
    desktop.Advance(1000);
    EXPECT_EQ(Asked(next).taken, 400u) << "the cancelled one read its headers and stopped";
    EXPECT_EQ(Body(next), "next");

    const auto inParts = Start("http://x.test/parts");
    const auto after = Start("http://x.test/next");
    desktop.Advance(350); // two parts in, the third comes at 600
    desktop.downloads.Cancel(inParts);
    desktop.Advance(1000);
    EXPECT_EQ(Asked(after).taken, 1100u + 600);
    EXPECT_EQ(messages[late] + messages[inParts], 2) << "only the parts before the cancel";
    EXPECT_FALSE(ended.count(late) || ended.count(inParts));
    EXPECT_EQ(desktop.downloads.Held(), 0u);
    EXPECT_EQ(desktop.downloads.Workers(), 0);

    // One cancelled after its end, before its query, is simply forgotten.
    recorder.hook = nullptr;
    const auto unread = Start("http://x.test/next");
    desktop.Advance(10);
    EXPECT_EQ(desktop.downloads.Held(), 1u);
    desktop.downloads.Cancel(unread);
    EXPECT_FALSE(Asked(unread).cancelled) << "it had finished";
    EXPECT_EQ(desktop.downloads.Held(), 0u);
    DownloadStatus gone;
    EXPECT_FALSE(desktop.downloads.Query(unread, gone));
}
