// The simulator's side of the movie player's seam: downloads on the virtual
// clock, wide text recorded and measured, and the pointer's leave notice.
#include "os/download_cache.h"
#include "os/sim/desktop.h"
#include "support/recorder.h"

#include <gtest/gtest.h>

using namespace os;
using testing_support::Recorder;

namespace
{
    class SimPlayerSeamTest : public ::testing::Test
    {
      protected:
        SimPlayerSeamTest()
        {
            desktop.SetScreen(1280, 1024);
            WindowParams params;
            params.className = "Test";
            params.style = ws::popup | ws::visible;
            params.bounds = Rect::FromBounds(10, 10, 200, 50);
            window = desktop.windows.Create(params, &recorder);
            downloadMessage = desktop.windows.RegisterMessage("Download");
            recorder.log.clear();
        }

        sim::Desktop desktop;
        Recorder recorder{ desktop.windows };
        Hwnd window{};
        UINT downloadMessage = 0;
    };
} // namespace

TEST_F(SimPlayerSeamTest, ADownloadArrivesAfterItsDelayInItsStepsAndIsForgottenOnceQueried)
{
    sim::DownloadResponse r = sim::DownloadResponse::Body("abcdefgh");
    r.delayMs = 100;
    r.steps = 4;
    r.stepMs = 50;
    desktop.downloads.Serve("http://x.test/m", r);
    const std::uint32_t id = desktop.downloads.Start("http://x.test/m", {}, window, downloadMessage);
    ASSERT_NE(id, 0u);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> seen; // time, bytes
    recorder.hook = [&](Hwnd, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT>
    {
        if (msg != downloadMessage)
            return std::nullopt;
        EXPECT_EQ(wParam, id);
        DownloadStatus s;
        EXPECT_TRUE(desktop.downloads.Query(id, s));
        EXPECT_EQ(s.total, 8u);
        seen.emplace_back(desktop.Now(), s.received);
        if (s.state == DownloadStatus::State::done)
        {
            EXPECT_EQ(std::string(s.body.begin(), s.body.end()), "abcdefgh");
            EXPECT_EQ(s.httpStatus, 200);
        }
        else
            EXPECT_TRUE(s.body.empty()) << "the body comes with the end";
        return 0;
    };
    desktop.Advance(99);
    EXPECT_TRUE(seen.empty());
    desktop.Advance(1000);
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> expected{ { 100, 2 }, { 150, 4 }, { 200, 6 }, { 250, 8 } };
    EXPECT_EQ(seen, expected);
    DownloadStatus after;
    EXPECT_FALSE(desktop.downloads.Query(id, after));
    EXPECT_EQ(desktop.downloads.Running(), 0u);
}

TEST_F(SimPlayerSeamTest, DownloadsTakeVirtualTimeToConnectAnswerAndSendAndTheirDeadlineHoldsThroughout)
{
    std::map<std::uint32_t, std::pair<DownloadStatus, std::uint64_t>> ended; // the status and when it came
    const UINT message = downloadMessage;
    recorder.hook = [&](Hwnd, UINT msg, WPARAM id, LPARAM) -> std::optional<LRESULT>
    {
        DownloadStatus s;
        if (msg == message && desktop.downloads.Query(static_cast<std::uint32_t>(id), s) &&
            s.state != DownloadStatus::State::running)
            ended[static_cast<std::uint32_t>(id)] = { std::move(s), desktop.Now() };
        return std::nullopt;
    };
    sim::DownloadResponse timed = sim::DownloadResponse::Body("abcdef");
    timed.connectMs = 100;
    timed.headersMs = 200;
    timed.delayMs = 50;
    timed.steps = 3;
    timed.stepMs = 1000;
    desktop.downloads.Serve("http://x/timed", timed);
    sim::DownloadResponse headersLate = timed;
    headersLate.headersMs = 5000;
    desktop.downloads.Serve("http://x/late", headersLate);
    sim::DownloadResponse cut = sim::DownloadResponse::Body("0123456789");
    cut.steps = 2;
    cut.cutAfter = 7;
    desktop.downloads.Serve("http://x/cut", cut);
    cut.announceLength = false;
    desktop.downloads.Serve("http://x/cut-unsized", cut);

    const std::uint64_t start = desktop.Now();
    const auto timedId = desktop.downloads.Start("http://x/timed", { 100, 3000, true, {} }, window, message);
    const auto lateId = desktop.downloads.Start("http://x/late", { 100, 3000, true, {} }, window, message);
    const auto cutId = desktop.downloads.Start("http://x/cut", {}, window, message);
    const auto unsizedId = desktop.downloads.Start("http://x/cut-unsized", {}, window, message);
    desktop.Advance(10'000);
    ASSERT_EQ(ended.size(), 4u);
    EXPECT_EQ(ended[timedId].first.state, DownloadStatus::State::done);
    EXPECT_EQ(ended[timedId].second - start, 100u + 200 + 50 + 2 * 1000) << "connect, headers, delay, two more parts";
    EXPECT_EQ(ended[lateId].first.error, "no complete answer within 3000 ms") << "waiting for the headers";
    // It waited for the first to have run a second; its deadline counts from the take.
    const std::uint64_t lateTaken = desktop.downloads.Requests()[lateId - 1].taken;
    EXPECT_EQ(lateTaken - start, 1000u);
    EXPECT_EQ(ended[lateId].second - lateTaken, 3000u);
    EXPECT_EQ(ended[cutId].first.error, "the answer ended after 7 of 10 bytes");
    EXPECT_EQ(ended[unsizedId].first.state, DownloadStatus::State::done) << "without a length, the end is the end";
    EXPECT_EQ(std::string(ended[unsizedId].first.body.begin(), ended[unsizedId].first.body.end()), "0123456");
}

TEST_F(SimPlayerSeamTest, AnUnchangedDocumentIsAskedForOnlyIfChangedAndComesFromTheKeptCopy)
{
    std::map<std::uint32_t, DownloadStatus> ended;
    recorder.hook = [&](Hwnd, UINT msg, WPARAM id, LPARAM) -> std::optional<LRESULT>
    {
        DownloadStatus s;
        if (msg == downloadMessage && desktop.downloads.Query(static_cast<std::uint32_t>(id), s) &&
            s.state != DownloadStatus::State::running)
            ended[static_cast<std::uint32_t>(id)] = std::move(s);
        return std::nullopt;
    };
    auto fetch = [&](const std::string& url)
    {
        const auto id = desktop.downloads.Start(url, {}, window, downloadMessage);
        desktop.Advance(100);
        return std::make_pair(ended[id], desktop.downloads.Requests().back());
    };
    auto text = [](const DownloadStatus& s)
    {
        return std::string(s.body.begin(), s.body.end());
    };
    sim::DownloadResponse movie = sim::DownloadResponse::Body("-- movie v1");
    movie.etag = "\"v1\"";
    desktop.downloads.Serve("http://x.test/ticker4.swf", movie);
    sim::DownloadResponse dated = sim::DownloadResponse::Body("headlines");
    dated.lastModified = "Wed, 09 Dec 2026 01:00:00 GMT";
    desktop.downloads.Serve("http://x.test/headlines.txt", dated);
    sim::DownloadResponse plain = sim::DownloadResponse::Body("no validators");
    desktop.downloads.Serve("http://x.test/plain.txt", plain);

    const auto [first, firstAsked] = fetch("http://x.test/ticker4.swf");
    EXPECT_EQ(text(first), "-- movie v1");
    EXPECT_FALSE(firstAsked.conditional);
    const auto [again, asked] = fetch("http://x.test/ticker4.swf");
    EXPECT_TRUE(asked.conditional);
    EXPECT_TRUE(asked.notModified);
    EXPECT_EQ(again.state, DownloadStatus::State::done);
    EXPECT_EQ(again.httpStatus, 304);
    EXPECT_EQ(text(again), "-- movie v1") << "the kept copy";

    // A new version has a new tag: sent whole, and kept in place of the old one.
    movie.body = "-- movie v2";
    movie.etag = "\"v2\"";
    desktop.downloads.Serve("http://x.test/ticker4.swf", movie);
    const auto [changed, changedAsked] = fetch("http://x.test/ticker4.swf");
    EXPECT_TRUE(changedAsked.conditional);
    EXPECT_FALSE(changedAsked.notModified);
    EXPECT_EQ(text(changed), "-- movie v2");
    EXPECT_EQ(text(fetch("http://x.test/ticker4.swf").first), "-- movie v2");

    // A date alone does as well; an answer without validators is never asked again so.
    fetch("http://x.test/headlines.txt");
    EXPECT_TRUE(fetch("http://x.test/headlines.txt").second.notModified);
    fetch("http://x.test/plain.txt");
    EXPECT_FALSE(fetch("http://x.test/plain.txt").second.conditional);
}

TEST(DownloadCacheTest, KeepsWithinItsBoundsAndSendsBackOnlyWhatIsSafeInAHeader)
{
    DownloadCache cache;
    const std::vector<std::uint8_t> kilobyte(1024, 'x');
    for (int i = 0; i < 70; ++i)
        cache.Keep("http://x/" + std::to_string(i), { "\"t\"", "", kilobyte });
    EXPECT_EQ(cache.Entries(), DownloadCache::MaxEntries);
    EXPECT_FALSE(cache.Find("http://x/5")) << "the oldest went first";
    EXPECT_TRUE(cache.Find("http://x/69"));

    const std::vector<std::uint8_t> big(DownloadCache::MaxEntry, 'b');
    for (int i = 0; i < 5; ++i)
        cache.Keep("http://big/" + std::to_string(i), { "\"b\"", "", big });
    EXPECT_LE(cache.Bytes(), DownloadCache::MaxBytes);
    EXPECT_TRUE(cache.Find("http://big/4")) << "a body of the largest size kept";
    cache.Keep("http://huge/", { "\"h\"", "", std::vector<std::uint8_t>(DownloadCache::MaxEntry + 1) });
    EXPECT_FALSE(cache.Find("http://huge/"));

    cache.Keep("http://x/bad", { "\"a\"\r\nX-Injected: 1", "", kilobyte });
    EXPECT_FALSE(cache.Find("http://x/bad")) << "no validator it could send back";
    cache.Keep("http://x/bad-date", { "", "Wed,\r\nX-Injected: 1", kilobyte });
    EXPECT_FALSE(cache.Find("http://x/bad-date"));

    DownloadCache small;
    small.Keep("http://x/a", { "\"a\"", "", kilobyte });
    small.Keep("http://x/a", { "", "", kilobyte });
    EXPECT_FALSE(small.Find("http://x/a")) << "an answer without validators forgets the old one";
    EXPECT_EQ(small.Bytes(), 0u);
    EXPECT_EQ(DownloadCache::ConditionalHeaders({ "\"t\"", "Wed, 09 Dec 2026 01:00:00 GMT", {} }),
              "If-None-Match: \"t\"\r\nIf-Modified-Since: Wed, 09 Dec 2026 01:00:00 GMT\r\n");
}

TEST_F(SimPlayerSeamTest, FailuresTimeoutsCapsAndCancellation)
{
    sim::DownloadResponse missing = sim::DownloadResponse::Body("gone");
    missing.httpStatus = 404;
    desktop.downloads.Serve("http://x.test/404", missing);
    sim::DownloadResponse slow = sim::DownloadResponse::Body("late");
    slow.delayMs = 10'000;
    desktop.downloads.Serve("http://x.test/slow", slow);
    desktop.downloads.Serve("http://x.test/big", sim::DownloadResponse::Body(std::string(100, 'x')));
    desktop.downloads.AddFile("C:\\Norvale\\loader.swf", "local");
    sim::DownloadResponse cancelled = sim::DownloadResponse::Body("never");
    cancelled.delayMs = 50;
    desktop.downloads.Serve("http://x.test/cancelled", cancelled);

    std::map<std::uint32_t, DownloadStatus> results;
    recorder.hook = [&](Hwnd, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT>
    {
        if (msg == downloadMessage)
        {
            DownloadStatus s;
            if (desktop.downloads.Query(static_cast<std::uint32_t>(wParam), s) && s.state != DownloadStatus::State::running)
                results[static_cast<std::uint32_t>(wParam)] = s;
        }
        return std::nullopt;
    };
    const auto start = [&](const std::string& url, DownloadLimits limits = {})
    {
        return desktop.downloads.Start(url, limits, window, downloadMessage);
    };
    const auto notFound = start("http://x.test/404");
    const auto timedOut = start("http://x.test/slow", { 1000, 2000, true, {} });
    const auto tooBig = start("http://x.test/big", { 99, 1000, true, {} });
    const auto unreachable = start("http://nowhere.test/");
    const auto file = start("C:\\Norvale\\loader.swf");
    const auto dropped = start("http://x.test/cancelled");
    desktop.downloads.Cancel(dropped);
    EXPECT_EQ(desktop.downloads.Start("http://x.test/404", {}, Hwnd{ 12345 }, downloadMessage), 0u) << "no window, no download";
    desktop.Advance(1999);
    EXPECT_FALSE(results.count(timedOut));
    desktop.Advance(10'000);
    EXPECT_EQ(results[notFound].error, "HTTP status 404");
    EXPECT_EQ(results[notFound].httpStatus, 404);
    EXPECT_EQ(results[timedOut].error, "no complete answer within 2000 ms");
    EXPECT_EQ(results[tooBig].error, "larger than 99 bytes");
    EXPECT_EQ(results[unreachable].error, "cannot connect");
    for (auto id : { notFound, timedOut, tooBig, unreachable })
        EXPECT_EQ(results[id].state, DownloadStatus::State::failed);
    EXPECT_EQ(results[file].state, DownloadStatus::State::done);
    EXPECT_EQ(results[file].httpStatus, 0);
    EXPECT_FALSE(results.count(dropped)) << "nothing after a cancel";
    EXPECT_EQ(desktop.windows.CountMessages(window, downloadMessage), 5);
    EXPECT_TRUE(desktop.downloads.Requests()[5].cancelled);
    EXPECT_EQ(desktop.windows.PendingWork(), 0u);
}

TEST_F(SimPlayerSeamTest, WideTextIsRecordedAtItsMeasuredExtent)
{
    const Font font{ "Arial", -12, false };
    EXPECT_EQ(desktop.windows.MeasureText(L"abc", font), (Size{ 18, 12 }));
    EXPECT_EQ(desktop.windows.MeasureText(L"abc", { "Arial", -11, true }), (Size{ 21, 11 }));
    EXPECT_EQ(desktop.windows.MeasureText(L"", { "Arial", 0, false }), (Size{ 0, 11 }));
    recorder.hook = [&](Hwnd hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT>
    {
        if (msg != wm::paint)
            return std::nullopt;
        desktop.windows.Paint(hwnd, [&](ICanvas& c) { c.DrawWideText(5, 2, L"\x41F\x440\x438", font, Rgb(1, 2, 3)); });
        return 0;
    };
    desktop.windows.InvalidateRect(window, nullptr);
    desktop.windows.UpdateWindow(window);
    const auto& ops = desktop.windows.LastPaint(window);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].kind, sim::PaintOp::Kind::widetext);
    EXPECT_EQ(ops[0].wide, L"\x41F\x440\x438");
    EXPECT_EQ(ops[0].rect, Rect::FromBounds(5, 2, 18, 12));
    EXPECT_EQ(ops[0].font, font);
    EXPECT_EQ(ops[0].color, Rgb(1, 2, 3));
}

TEST_F(SimPlayerSeamTest, ATrackedWindowHearsOnceThatThePointerLeft)
{
    desktop.windows.MouseMove({ 20, 20 });
    desktop.windows.MouseMove({ 300, 20 });
    EXPECT_TRUE(recorder.Only({ wm::mouseleave }).empty()) << "only when asked";
    desktop.windows.MouseMove({ 20, 20 });
    EXPECT_TRUE(desktop.windows.TrackMouseLeave(window));
    desktop.windows.MouseMove({ 30, 30 });
    EXPECT_TRUE(recorder.Only({ wm::mouseleave }).empty()) << "still inside";
    desktop.windows.MouseMove({ 300, 300 });
    desktop.windows.MouseMove({ 20, 20 });
    desktop.windows.MouseMove({ 300, 300 });
    EXPECT_EQ(recorder.Only({ wm::mouseleave }).size(), 1u);
    EXPECT_EQ(desktop.windows.MouseLeaveTracked(), Hwnd{});
}
