// Downloads on worker threads, against HTTP servers on the loopback interface that
// the tests run themselves and files the tests write: what arrives, what fails and
// why, the size cap, the time bound, and that an abandoned download stays silent.
#include "loopback_server.h"

#include "os/win32/backend.h"
#include "os/win32/common.h"
#include "os/win32/downloads.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace os::win32::test
{
    namespace
    {
        constexpr UINT kDownloadMsg = WM_APP + 7;
        constexpr UINT kMarkerMsg = WM_APP + 8;

        using Clock = std::chrono::steady_clock;

        int MsSince(Clock::time_point start)
        {
            return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        }

        std::string Bytes(std::size_t n)
        {
            std::string s(n, '\0');
            for (std::size_t i = 0; i < n; ++i)
                s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF); // NULs included
            return s;
        }

        std::string Text(const std::vector<std::uint8_t>& body)
        {
            return std::string(body.begin(), body.end());
        }

        class DownloadsTest : public ::testing::Test
        {
          protected:
            void SetUp() override
            {
                WindowParams request;
                request.className = "NorvaleDownloadsTest";
                request.style = WS_POPUP;
                request.bounds = Rect::FromBounds(0, 0, 10, 10);
                window = wm.Create(request, &rec);
                ASSERT_NE(window, Hwnd{});
            }
            void TearDown() override
            {
                wm.Destroy(window);
                wm.PumpMessages();
            }

            // Pumps the GUI thread's messages until `done` or `ms` have passed.
            bool PumpUntil(const std::function<bool()>& done, int ms)
            {
                const auto start = Clock::now();
                for (;;)
                {
                    wm.PumpMessages();
                    if (done())
                        return true;
                    if (MsSince(start) >= ms)
                        return false;
                    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
                }
            }

            // The download's messages so far; every one carries its id.
            int Messages(std::uint32_t id)
            {
                int n = 0;
                for (const Logged& m : rec.Log())
                    if (m.message == kDownloadMsg && m.wParam == id)
                        ++n;
                return n;
            }

            // Answers each message of the download with a Query, as the player does,
            // until it ends; the final status, or a running one after `ms`.
            DownloadStatus Finish(std::uint32_t id, int ms = 10000)
            {
                DownloadStatus last;
                std::size_t seen = 0;
                PumpUntil(
                    [&]
                    {
                        for (; seen < rec.Log().size(); ++seen)
                        {
                            const Logged& m = rec.Log()[seen];
                            if (m.message != kDownloadMsg || m.wParam != id)
                                continue;
                            DownloadStatus now;
                            if (!downloads.Query(id, now))
                                continue;
                            EXPECT_GE(now.received, last.received) << "progress went back";
                            last = std::move(now);
                            if (last.state != DownloadStatus::State::running)
                                return true;
                        }
                        return false;
                    },
                    ms);
                return last;
            }

            bool WorkersEnd(Win32Downloads& d, int ms = 5000)
            {
                return PumpUntil([&] { return d.RunningWorkers() == 0; }, ms);
            }

            std::unique_ptr<Backend> backend = CreateBackend();
            IWindowManager& wm = backend->Os().windows;
            Win32Downloads& downloads = static_cast<Win32Downloads&>(backend->Os().downloads);
            Recorder rec{ wm };
            Hwnd window{};
        };

        // Headers announcing `length` bytes, then one byte every `everyMs` for as long as
        // the client reads.
        LoopbackServer::Answer Trickle(int everyMs, std::size_t length = 1000)
        {
            return [=](LoopbackServer::Connection& c)
            {
                if (!c.Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n"))
                    return;
                for (std::size_t i = 0; i < length && c.Pause(everyMs); ++i)
                    if (!c.Send("x"))
                        return;
            };
        }
    } // namespace

    TEST_F(DownloadsTest, HttpBodyArrivesWholeWithItsStatusAndProgressOnTheGuiThread)
    {
        const std::string body = Bytes(300 * 1024);
        LoopbackServer server([&](LoopbackServer::Connection& c) { c.Send(LoopbackServer::Response(200, body)); });
        ASSERT_NE(server.Port(), 0);

        const std::uint32_t id = downloads.Start(server.Url("/movies/ticker4.swf?tid=1"), {}, window, kDownloadMsg);
        ASSERT_NE(id, 0u);
        const DownloadStatus s = Finish(id);
        ASSERT_EQ(s.state, DownloadStatus::State::done) << s.error;
        EXPECT_EQ(s.httpStatus, 200);
        EXPECT_EQ(s.total, body.size());
        EXPECT_EQ(s.received, body.size());
        EXPECT_TRUE(Text(s.body) == body) << "body of " << s.body.size() << " bytes differs";
        EXPECT_EQ(server.LastRequest().rfind("GET /movies/ticker4.swf?tid=1 HTTP/1.", 0), 0u) << server.LastRequest();
        EXPECT_NE(server.LastRequest().find("\r\nConnection: close\r\n"), std::string::npos) << "nothing kept open";
        // Once it is done the id is forgotten.
        DownloadStatus again;
        EXPECT_FALSE(downloads.Query(id, again));

        // Without an announced length the body ends with the connection; two at once
        // keep apart.
        const std::string shortBody = "--!movie 1\nstage.text('caf\xC3\xA9')\n";
        LoopbackServer unannounced([&](LoopbackServer::Connection& c)
                                   { c.Send(LoopbackServer::Response(200, shortBody, false)); });
        const std::uint32_t a = downloads.Start(unannounced.Url("/a"), {}, window, kDownloadMsg);
        const std::uint32_t b = downloads.Start(server.Url("/b"), {}, window, kDownloadMsg);
        ASSERT_NE(a, 0u);
        ASSERT_NE(b, 0u);
        EXPECT_NE(a, b);
        const DownloadStatus sa = Finish(a);
        const DownloadStatus sb = Finish(b);
        ASSERT_EQ(sa.state, DownloadStatus::State::done) << sa.error;
        EXPECT_EQ(sa.total, 0u);
        EXPECT_EQ(Text(sa.body), shortBody);
        ASSERT_EQ(sb.state, DownloadStatus::State::done) << sb.error;
        EXPECT_EQ(sb.body.size(), body.size());
        EXPECT_TRUE(WorkersEnd(downloads));
    }

    TEST_F(DownloadsTest, FailuresSayWhyAndAddressesOutsideHttpAndLocalFilesDoNotStart)
    {
        LoopbackServer server([&](LoopbackServer::Connection& c) { c.Send(LoopbackServer::Response(404, "<html>gone</html>")); });
        const std::uint32_t missing = downloads.Start(server.Url("/nomovie.swf"), {}, window, kDownloadMsg);
        ASSERT_NE(missing, 0u);
        const DownloadStatus s = Finish(missing);
        EXPECT_EQ(s.state, DownloadStatus::State::failed);
        EXPECT_EQ(s.httpStatus, 404);
        EXPECT_NE(s.error.find("404"), std::string::npos) << s.error;
        EXPECT_TRUE(s.body.empty());

        // Nobody listens on port 1.
        const std::uint32_t refused = downloads.Start("http://127.0.0.1:1/ticker4.swf", {}, window, kDownloadMsg);
        ASSERT_NE(refused, 0u);
        const DownloadStatus r = Finish(refused);
        EXPECT_EQ(r.state, DownloadStatus::State::failed);
        EXPECT_FALSE(r.error.empty());

        for (const char* url : { "", "ftp://127.0.0.1/ticker4.swf", "file:///C:/windows/win.ini", "javascript:alert(1)",
                                 "\\\\server\\share\\loader.swf", "\\\\?\\C:\\loader.swf", "loader.swf", "C:loader.swf",
                                 "/C:/loader.swf", "http://127.0.0.1/a\r\nX-Injected: 1" })
            EXPECT_EQ(downloads.Start(url, {}, window, kDownloadMsg), 0u) << url;
        EXPECT_EQ(downloads.Start(server.Url("/"), {}, Hwnd{}, kDownloadMsg), 0u) << "no window to tell";
        EXPECT_TRUE(WorkersEnd(downloads));
    }

    TEST_F(DownloadsTest, RedirectsAreFollowedUnlessTheDownloadAsksForNone)
    {
        LoopbackServer target([&](LoopbackServer::Connection& c) { c.Send(LoopbackServer::Response(200, "moved here")); });
        LoopbackServer mover(
            [&](LoopbackServer::Connection& c)
            { c.Send("HTTP/1.0 302 Found\r\nLocation: " + target.Url("/there.txt") + "\r\nContent-Length: 5\r\n\r\nmoved"); });
        const std::uint32_t followed = downloads.Start(mover.Url("/here.txt"), {}, window, kDownloadMsg);
        const DownloadStatus f = Finish(followed);
        ASSERT_EQ(f.state, DownloadStatus::State::done) << f.error;
        EXPECT_EQ(Text(f.body), "moved here");

        DownloadLimits own;
        own.followRedirects = false;
        const int before = target.Connections();
        const std::uint32_t refused = downloads.Start(mover.Url("/here.txt"), own, window, kDownloadMsg);
        const DownloadStatus r = Finish(refused);
        EXPECT_EQ(r.state, DownloadStatus::State::failed);
        EXPECT_EQ(r.error, "redirected to another address");
        EXPECT_TRUE(r.body.empty()) << "the redirect's own body is not handed over either";
        EXPECT_EQ(target.Connections(), before) << "the other address is never asked";
        EXPECT_TRUE(WorkersEnd(downloads));
    }

    TEST_F(DownloadsTest, BodiesOverTheCapFailWhetherAnnouncedOrNot)
    {
        DownloadLimits limits;
        limits.maxBytes = 64 * 1024;
        const std::string atCap = Bytes(limits.maxBytes);
        const std::string overCap = Bytes(limits.maxBytes + 1);
        LoopbackServer exact([&](LoopbackServer::Connection& c) { c.Send(LoopbackServer::Response(200, atCap, false)); });
        LoopbackServer announced([&](LoopbackServer::Connection& c) { c.Send(LoopbackServer::Response(200, overCap)); });
        LoopbackServer unannounced([&](LoopbackServer::Connection& c) { c.Send(LoopbackServer::Response(200, overCap, false)); });

        const DownloadStatus fits = Finish(downloads.Start(exact.Url("/"), limits, window, kDownloadMsg));
        ASSERT_EQ(fits.state, DownloadStatus::State::done) << fits.error;
        EXPECT_EQ(fits.body.size(), limits.maxBytes);

        for (LoopbackServer* server : { &announced, &unannounced })
        {
            const DownloadStatus s = Finish(downloads.Start(server->Url("/"), limits, window, kDownloadMsg));
            EXPECT_EQ(s.state, DownloadStatus::State::failed);
            EXPECT_NE(s.error.find("larger than 65536 bytes"), std::string::npos) << s.error;
            EXPECT_TRUE(s.body.empty());
            EXPECT_LE(s.received, limits.maxBytes);
        }
        EXPECT_TRUE(WorkersEnd(downloads));
    }

    TEST_F(DownloadsTest, SlowOrSilentServersFailWithinTheTimeBound)
    {
        DownloadLimits limits;
        limits.timeoutMs = 800;
        // A body that keeps coming, a byte at a time, and headers that never come.
        LoopbackServer trickling(Trickle(50));
        LoopbackServer silent([](LoopbackServer::Connection& c) { c.Pause(5000); });

        for (LoopbackServer* server : { &trickling, &silent })
        {
            const auto start = Clock::now();
            const std::uint32_t id = downloads.Start(server->Url("/ticker4.swf"), limits, window, kDownloadMsg);
            ASSERT_NE(id, 0u);
            const DownloadStatus s = Finish(id);
            const int took = MsSince(start);
            EXPECT_EQ(s.state, DownloadStatus::State::failed);
            EXPECT_NE(s.error.find("800 ms"), std::string::npos) << s.error;
            EXPECT_GE(took, 700);
            EXPECT_LT(took, 2500) << "the time bound did not hold";
        }
        EXPECT_EQ(silent.Connections(), 1) << "the silent server was never reached";
        EXPECT_TRUE(WorkersEnd(downloads));
    }

    // The bound holds from the start, whatever the server does: WinInet's own
    // time-outs limit each wait, not their sum, and under Wine a byte that comes late
    // starts a wait afresh. The watchdog ends the download at its deadline.
    TEST_F(DownloadsTest, TheDeadlineHoldsWhileHeadersTrickleOrStallAndACutBodyFails)
    {
        const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 20\r\n\r\n";
        struct Case
        {
            const char* what;
            LoopbackServer::Answer answer;
            ::DWORD bound;
        };
        const LoopbackServer::Answer byteASecond = [&](LoopbackServer::Connection& c)
        {
            for (std::size_t i = 0; i < head.size() && c.Send(head.substr(i, 1)); ++i)
                if (!c.Pause(1000))
                    return;
        };
        const std::vector<Case> cases{
            { "headers a byte a second", byteASecond, 3000 },
            { "a byte, another at 2.5 s, then silence",
              [&](LoopbackServer::Connection& c)
              {
                  if (c.Send("H") && c.Pause(2500) && c.Send("T"))
                      c.Pause(60000);
              },
              3000 },
            { "headers whole after 8 s",
              [&](LoopbackServer::Connection& c)
              {
                  if (c.Pause(8000))
                      c.Send(head + std::string(20, 'x'));
              },
              3000 },
            { "headers a byte a second, the strip's own bound", byteASecond, 15000 },
        };
        for (const Case& c : cases)
        {
            SCOPED_TRACE(c.what);
            LoopbackServer server(c.answer);
            DownloadLimits limits;
            limits.timeoutMs = c.bound;
            const auto start = Clock::now();
            const std::uint32_t id = downloads.Start(server.Url("/channel/world.txt"), limits, window, kDownloadMsg);
            ASSERT_NE(id, 0u);
            const DownloadStatus s = Finish(id, 40000);
            const int took = MsSince(start);
            EXPECT_EQ(s.state, DownloadStatus::State::failed);
            EXPECT_EQ(s.error, "no complete answer within " + std::to_string(c.bound) + " ms");
            EXPECT_GE(took, static_cast<int>(c.bound) - 1000);
            EXPECT_LE(took, static_cast<int>(c.bound) + 1000) << "the bound did not hold";
        }

        // A server that announces 100 bytes, sends 10 and closes.
        LoopbackServer cut([](LoopbackServer::Connection& c)
                           { c.Send("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"); });
        const DownloadStatus s = Finish(downloads.Start(cut.Url("/ticker4.swf"), {}, window, kDownloadMsg));
        EXPECT_EQ(s.state, DownloadStatus::State::failed);
        EXPECT_EQ(s.error, "the answer ended after 10 of 100 bytes");
        EXPECT_TRUE(s.body.empty());
    }

    // The second download of an unchanged document asks "only if changed" with what
    // the first answer carried, and a 304 gives the kept body.
    TEST_F(DownloadsTest, AnUnchangedDocumentComesFromTheKeptCopyAfterA304)
    {
        const std::string body = Bytes(3000);
        std::string version = "\"v1\"";
        LoopbackServer server(
            [&](LoopbackServer::Connection& c)
            {
                if (c.Request().find("If-None-Match: " + version + "\r\n") != std::string::npos)
                    c.Send("HTTP/1.0 304 Not Modified\r\nETag: " + version + "\r\n\r\n");
                else
                    c.Send("HTTP/1.0 200 OK\r\nETag: " + version + "\r\nContent-Length: 3000\r\n\r\n" + body);
            });
        const DownloadStatus first = Finish(downloads.Start(server.Url("/ticker4.swf"), {}, window, kDownloadMsg));
        EXPECT_EQ(first.httpStatus, 200);
        EXPECT_EQ(server.LastRequest().find("If-None-Match"), std::string::npos) << server.LastRequest();
        const DownloadStatus again = Finish(downloads.Start(server.Url("/ticker4.swf"), {}, window, kDownloadMsg));
        EXPECT_NE(server.LastRequest().find("If-None-Match: \"v1\"\r\n"), std::string::npos) << server.LastRequest();
        EXPECT_EQ(again.state, DownloadStatus::State::done);
        EXPECT_EQ(again.httpStatus, 304);
        EXPECT_EQ(Text(again.body), body) << "the kept copy";

        version = "\"v2\""; // a new version is sent whole
        const DownloadStatus changed = Finish(downloads.Start(server.Url("/ticker4.swf"), {}, window, kDownloadMsg));
        EXPECT_EQ(changed.httpStatus, 200);
        EXPECT_EQ(Text(changed.body), body);
        EXPECT_EQ(server.Connections(), 3);
    }

    // The strip's fetches name themselves to the server.
    TEST_F(DownloadsTest, ADownloadGivesTheAgentItIsAskedFor)
    {
        LoopbackServer server([](LoopbackServer::Connection& c) { c.Send(LoopbackServer::Response(200, "<channel>")); });
        DownloadLimits limits;
        limits.agent = "Norvale Desktop Ticker";
        const DownloadStatus s = Finish(downloads.Start(server.Url("/channel.xml"), limits, window, kDownloadMsg));
        EXPECT_EQ(s.state, DownloadStatus::State::done);
        EXPECT_NE(server.LastRequest().find("User-Agent: Norvale Desktop Ticker\r\n"), std::string::npos) << server.LastRequest();
    }

    TEST_F(DownloadsTest, CancelledDownloadPostsNothingMoreAndItsWorkerEnds)
    {
        LoopbackServer server(Trickle(20, 100000));
        const std::uint32_t id = downloads.Start(server.Url("/ticker4.swf"), {}, window, kDownloadMsg);
        ASSERT_NE(id, 0u);
        // Let it run: several messages, each answered.
        DownloadStatus s;
        ASSERT_TRUE(PumpUntil(
            [&]
            {
                if (Messages(id) > 0)
                    downloads.Query(id, s);
                return Messages(id) >= 3;
            },
            5000));
        EXPECT_EQ(s.state, DownloadStatus::State::running);
        EXPECT_EQ(s.total, 100000u);

        downloads.Cancel(id);
        // Whatever was posted before Cancel returned is ahead of this marker.
        wm.Post(window, kMarkerMsg, 0, 0);
        EXPECT_FALSE(downloads.Query(id, s));
        EXPECT_TRUE(WorkersEnd(downloads)) << "the worker of a cancelled download kept running";
        PumpUntil([] { return false; }, 300);
        const auto& log = rec.Log();
        const auto marker = std::find_if(log.begin(), log.end(), [](const Logged& m) { return m.message == kMarkerMsg; });
        ASSERT_NE(marker, log.end());
        EXPECT_EQ(std::count_if(marker, log.end(), [&](const Logged& m) { return m.message == kDownloadMsg; }), 0)
            << "a message came after Cancel";
        downloads.Cancel(id); // again, and unknown ids: nothing happens
        downloads.Cancel(12345);

        // Downloads that go away with downloads in flight leave them silent too.
        rec.Clear();
        {
            Win32Downloads owner;
            ASSERT_NE(owner.Start(server.Url("/a"), {}, window, kDownloadMsg), 0u);
            ASSERT_NE(owner.Start(server.Url("/b"), {}, window, kDownloadMsg), 0u);
            PumpUntil([&] { return rec.Count(kDownloadMsg) >= 1; }, 3000);
        }
        wm.Post(window, kMarkerMsg, 0, 0);
        PumpUntil([] { return false; }, 300);
        const auto& after = rec.Log();
        const auto mark = std::find_if(after.begin(), after.end(), [](const Logged& m) { return m.message == kMarkerMsg; });
        ASSERT_NE(mark, after.end());
        EXPECT_EQ(std::count_if(mark, after.end(), [&](const Logged& m) { return m.message == kDownloadMsg; }), 0);
    }

    TEST_F(DownloadsTest, ProgramMayEndWithDownloadsInFlight)
    {
        LoopbackServer server(Trickle(20, 100000));
        // In a process of its own: a download that is reading, and others waiting for
        // the server or for a worker, when their owner goes and the process ends.
        EXPECT_EXIT(
            {
                {
                    Win32Downloads inFlight;
                    for (int i = 0; i < 3; ++i)
                        inFlight.Start(server.Url("/ticker4.swf"), {}, window, kDownloadMsg);
                    PumpUntil([&] { return rec.Count(kDownloadMsg) >= 1; }, 3000);
                    if (inFlight.RunningWorkers() < 1 || inFlight.RunningWorkers() + inFlight.Waiting() < 3)
                        std::exit(3);
                }
                std::exit(rec.Count(kDownloadMsg) >= 1 ? 0 : 4);
            },
            ::testing::ExitedWithCode(0), "");
    }

    // The downloads take turns on one worker, in the order asked, but one that hangs
    // holds up the others for about a second only, and a download's deadline starts
    // when it runs: the one behind the hanging one neither fails nor waits for its
    // end. A cancelled one that waited still asks the server, as the start's first
    // movie needs, but tells nothing. The simulator's queue is held to the same.
    TEST_F(DownloadsTest, AHangingDownloadHoldsUpNoOtherAndACancelledWaitingOneStaysSilent)
    {
        std::mutex askedMutex;
        std::vector<std::string> asked; // the paths, in the order the servers read them
        auto note = [&](const std::string& request)
        {
            const std::size_t path = request.find(' ') + 1;
            std::lock_guard lock(askedMutex);
            asked.push_back(request.substr(path, request.find(' ', path) - path));
        };
        LoopbackServer hanging([](LoopbackServer::Connection& c) { c.Pause(30000); });
        LoopbackServer quick(
            [&](LoopbackServer::Connection& c)
            {
                note(c.Request());
                c.Send(LoopbackServer::Response(200, "quick"));
            });
        LoopbackServer first(
            [&](LoopbackServer::Connection& c)
            {
                note(c.Request());
                c.Send(LoopbackServer::Response(200, Bytes(200000)));
            });

        DownloadLimits hangLimits;
        hangLimits.timeoutMs = 6000;
        DownloadLimits quickLimits;
        quickLimits.timeoutMs = 800; // shorter than its wait for a worker
        const auto start = Clock::now();
        const std::uint32_t hung = downloads.Start(hanging.Url("/channel/world.txt"), hangLimits, window, kDownloadMsg);
        const std::uint32_t cancelled = downloads.Start(first.Url("/faketickerstart.swf"), {}, window, kDownloadMsg);
        const std::uint32_t behind = downloads.Start(quick.Url("/b"), quickLimits, window, kDownloadMsg);
        const std::uint32_t next = downloads.Start(quick.Url("/c"), quickLimits, window, kDownloadMsg);
        ASSERT_NE(hung, 0u);
        ASSERT_NE(cancelled, 0u);
        ASSERT_NE(behind, 0u);
        ASSERT_NE(next, 0u);
        EXPECT_GE(downloads.Waiting(), 1) << "the downloads take turns";
        downloads.Cancel(cancelled);

        const DownloadStatus b = Finish(behind, 5000);
        const int behindMs = MsSince(start);
        EXPECT_EQ(b.state, DownloadStatus::State::done) << b.error;
        EXPECT_EQ(Text(b.body), "quick");
        // The second worker comes once the hanging download has run a second.
        EXPECT_GE(behindMs, 900) << "the download behind did not wait for its turn";
        EXPECT_LT(behindMs, 4000) << "the download behind waited for the hanging one";
        EXPECT_EQ(first.Connections(), 1) << "a cancelled download that waited never asked";
        EXPECT_EQ(Messages(cancelled), 0);
        DownloadStatus gone;
        EXPECT_FALSE(downloads.Query(cancelled, gone));
        EXPECT_EQ(Finish(next, 5000).state, DownloadStatus::State::done);
        {
            std::lock_guard lock(askedMutex);
            EXPECT_EQ(asked, (std::vector<std::string>{ "/faketickerstart.swf", "/b", "/c" })) << "in the order asked";
        }

        const DownloadStatus h = Finish(hung, 15000);
        EXPECT_EQ(h.state, DownloadStatus::State::failed);
        EXPECT_EQ(h.error, "no complete answer within 6000 ms");
        EXPECT_LT(MsSince(start), 9000);
        EXPECT_TRUE(WorkersEnd(downloads));
        EXPECT_EQ(downloads.Waiting(), 0);
        EXPECT_EQ(Messages(cancelled), 0);
    }

    TEST_F(DownloadsTest, ManyDownloadsAtOnceAllFinishOnAFewThreads)
    {
        LoopbackServer server(
            [](LoopbackServer::Connection& c)
            {
                const std::string& r = c.Request();
                const std::size_t path = r.find(' ') + 1;
                c.Send(LoopbackServer::Response(200, r.substr(path, r.find(' ', path) - path)));
            });
        std::vector<std::uint32_t> ids;
        for (int i = 0; i < 24; ++i)
            ids.push_back(downloads.Start(server.Url("/item" + std::to_string(i)), {}, window, kDownloadMsg));
        int most = 0;
        for (std::size_t i = 0; i < ids.size(); ++i)
        {
            ASSERT_NE(ids[i], 0u);
            most = std::max(most, downloads.RunningWorkers());
            const DownloadStatus s = Finish(ids[i]);
            ASSERT_EQ(s.state, DownloadStatus::State::done) << i << ": " << s.error;
            EXPECT_EQ(Text(s.body), "/item" + std::to_string(i));
        }
        EXPECT_EQ(server.Connections(), 24);
        EXPECT_GE(most, 1);
        EXPECT_LE(most, 4) << "a thread for each download";
        EXPECT_TRUE(WorkersEnd(downloads));
        EXPECT_EQ(downloads.Waiting(), 0);
    }

    TEST_F(DownloadsTest, LocalFilesAreReadWithTheSameCap)
    {
        wchar_t folder[MAX_PATH] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
        wchar_t file[MAX_PATH] = {};
        ASSERT_NE(GetTempFileNameW(folder, L"mov", 0, file), 0u);
        const std::string body = Bytes(40000);
        {
            HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            ::DWORD written = 0;
            WriteFile(h, body.data(), static_cast<::DWORD>(body.size()), &written, nullptr);
            CloseHandle(h);
            ASSERT_EQ(written, body.size());
        }
        const std::string path = Narrow(file);
        std::string slashed = path;
        std::replace(slashed.begin(), slashed.end(), '\\', '/');

        for (const std::string& p : { path, slashed })
        {
            const DownloadStatus s = Finish(downloads.Start(p, {}, window, kDownloadMsg));
            ASSERT_EQ(s.state, DownloadStatus::State::done) << p << ": " << s.error;
            EXPECT_EQ(s.httpStatus, 0);
            EXPECT_EQ(s.total, body.size());
            EXPECT_TRUE(Text(s.body) == body) << p;
        }

        DownloadLimits small;
        small.maxBytes = 1000;
        const DownloadStatus big = Finish(downloads.Start(path, small, window, kDownloadMsg));
        EXPECT_EQ(big.state, DownloadStatus::State::failed);
        EXPECT_NE(big.error.find("larger than 1000 bytes"), std::string::npos) << big.error;

        const std::string folderPath = Narrow(folder);
        for (const std::string& p : { path + ".missing", folderPath, std::string("C:\\NUL") })
        {
            const DownloadStatus s = Finish(downloads.Start(p, {}, window, kDownloadMsg));
            EXPECT_EQ(s.state, DownloadStatus::State::failed) << p;
            EXPECT_FALSE(s.error.empty()) << p;
        }
        DeleteFileW(file);
        EXPECT_TRUE(WorkersEnd(downloads));
    }
} // namespace os::win32::test
