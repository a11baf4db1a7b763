// Loading a movie: the order of the events the host relies on, cancellation, time
// limits, local files, the bodies that are not movies, and the movie's own loads.
#include "player/player_fixture.h"

using testing_support::PlayerEventLog;
using testing_support::PlayerFixture;

namespace
{
    class LoadingTest : public PlayerFixture
    {
    };

    const char* const Hello = "--!movie 1\nfscommand('hello', stage.address())\n";

    struct NotAMovie
    {
        const char* name;
        std::string body;
        const char* reason;
    };

    class RefusedTest : public PlayerFixture, public ::testing::WithParamInterface<NotAMovie>
    {
    };
} // namespace

TEST_F(LoadingTest, ProgressThenInteractiveThenCompleteAndTheScriptRunsBetween)
{
    os::sim::DownloadResponse r = os::sim::DownloadResponse::Body(Hello);
    r.body.resize(100, '-'); // a comment to the end, in four equal parts
    r.steps = 4;
    r.stepMs = 100;
    r.delayMs = 50;
    desktop.downloads.Serve(std::string(Base) + "ticker4.swf", r);
    player = Make(events);
    player->SetMovie(Wide(std::string(Base) + "ticker4.swf"));
    EXPECT_TRUE(events.lines.empty()) << "nothing is raised inside SetMovie";
    desktop.Advance(1000);
    const std::vector<std::string> expected{ "progress 25",  "progress 50", "progress 75",
                                             "progress 100", "ready 3",     "fs hello " + std::string(Base) + "ticker4.swf",
                                             "ready 4" };
    EXPECT_EQ(events.lines, expected);
    std::wstring movie;
    player->GetMovie(movie);
    EXPECT_EQ(movie, Wide(std::string(Base) + "ticker4.swf"));

    ASSERT_EQ(desktop.downloads.Requests().size(), 1u);
    EXPECT_EQ(desktop.downloads.Requests()[0].limits.maxBytes, 4u << 20);
    // Thirds of 150 bytes: the share is truncated, never rounded up.
    r.body.resize(150, '-');
    r.steps = 3;
    desktop.downloads.Serve(std::string(Base) + "prefs4.swf", r);
    events.lines.clear();
    player->SetMovie(Wide(std::string(Base) + "prefs4.swf"));
    desktop.Advance(1000);
    ASSERT_GE(events.lines.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(events.lines.begin(), events.lines.begin() + 3),
              (std::vector<std::string>{ "progress 33", "progress 66", "progress 100" }));
}

TEST_F(LoadingTest, ANewMovieCancelsTheLoadInFlightAndAnUnknownLengthReportsOnlyTheEnd)
{
    os::sim::DownloadResponse slow = os::sim::DownloadResponse::Body("--!movie 1\nfscommand('first')\n");
    slow.delayMs = 500;
    desktop.downloads.Serve(std::string(Base) + "faketickerstart.swf", slow);
    os::sim::DownloadResponse second = os::sim::DownloadResponse::Body("--!movie 1\nfscommand('second')\n");
    second.announceLength = false;
    second.steps = 3;
    second.stepMs = 10;
    desktop.downloads.Serve(std::string(Base) + "ticker4.swf", second);
    player = Make(events);
    player->SetMovie(Wide(std::string(Base) + "faketickerstart.swf"));
    player->SetMovie(Wide(std::string(Base) + "ticker4.swf"));
    desktop.Advance(2000);
    const std::vector<std::string> expected{ "progress 100", "ready 3", "fs second", "ready 4" };
    EXPECT_EQ(events.lines, expected);
    ASSERT_EQ(desktop.downloads.Requests().size(), 2u);
    EXPECT_TRUE(desktop.downloads.Requests()[0].cancelled);
    EXPECT_EQ(desktop.downloads.Running(), 0u);
}

TEST_F(LoadingTest, ASlowOrFailingServerEndsTheLoadWithATraceAndNoReadyState)
{
    os::sim::DownloadResponse stalled = os::sim::DownloadResponse::Body(Hello);
    stalled.delayMs = 120'000;
    desktop.downloads.Serve(std::string(Base) + "slow.swf", stalled);
    os::sim::DownloadResponse cut = os::sim::DownloadResponse::Body(Hello);
    cut.steps = 3;
    cut.failAtStep = 1;
    desktop.downloads.Serve(std::string(Base) + "cut.swf", cut);
    os::sim::DownloadResponse missing = os::sim::DownloadResponse::Body("<html>Not Found</html>");
    missing.httpStatus = 404;
    desktop.downloads.Serve(std::string(Base) + "missing.swf", missing);

    player = Make(events);
    player->SetMovie(Wide(std::string(Base) + "slow.swf"));
    desktop.Advance(29'000);
    EXPECT_FALSE(Traced("the load failed"));
    desktop.Advance(2'000);
    EXPECT_TRUE(Traced("movie " + std::string(Base) + "slow.swf: the load failed: no complete answer within 30000 ms"))
        << AllTraces();
    for (const char* name : { "cut.swf", "missing.swf", "nowhere.swf" })
    {
        player->SetMovie(Wide(std::string(Base) + name));
        desktop.Advance(100);
        EXPECT_TRUE(Traced("movie " + std::string(Base) + name + ": the load failed: ")) << name;
    }
    EXPECT_TRUE(Traced("HTTP status 404"));
    for (const auto& line : events.lines)
    {
        EXPECT_EQ(line.rfind("ready", 0), std::string::npos) << line;
    }
}

TEST_P(RefusedTest, IsNoMovieTracedWithItsAddressAndNeverReady)
{
    Play(GetParam().body);
    desktop.Advance(100);
    EXPECT_TRUE(Traced("movie " + std::string(Base) + "test.swf: stopped: not a movie: ")) << AllTraces();
    EXPECT_TRUE(Traced(GetParam().reason)) << AllTraces();
    EXPECT_FALSE(events.Has("ready 3"));
    EXPECT_FALSE(events.Has("ready 4"));
    EXPECT_EQ(Current(), nullptr);
    const auto& ops = Painted();
    ASSERT_EQ(ops.size(), 1u) << "only the empty stage";
    EXPECT_EQ(ops[0].kind, os::sim::PaintOp::Kind::fill);
}

INSTANTIATE_TEST_SUITE_P(Bodies, RefusedTest,
                         ::testing::Values(NotAMovie{ "Swf", std::string("FWS\x0a\x10\x00\x00\x00", 8), "Flash (SWF)" },
                                           NotAMovie{ "CompressedSwf", "CWS\x0a\x10zzzz", "Flash (SWF)" },
                                           NotAMovie{ "HtmlErrorPage", "<!DOCTYPE html><html><body>502</body></html>", "markup" },
                                           NotAMovie{ "Empty", "", "the body is empty" },
                                           NotAMovie{ "NotUtf8", "--!movie 1\nfscommand('x', '\xff\xfe')\n", "not UTF-8" },
                                           NotAMovie{ "NulByte", std::string("--!movie 1\nx = 1\0\n", 17), "NUL" },
                                           NotAMovie{ "Bytecode", "\x1bLuaT\x00\x19\x93\r\n\x1a\n", "precompiled" },
                                           NotAMovie{ "NoSignature", "fscommand('complete', 'success')\n", "signature" },
                                           NotAMovie{ "OtherVersion", "--!movie 2\nfscommand('x')\n", "signature" }),
                         [](const ::testing::TestParamInfo<NotAMovie>& p) { return p.param.name; });

TEST_F(LoadingTest, AByteOrderMarkAndWindowsLineEndsAreFine)
{
    Play("\xEF\xBB\xBF--!movie 1\r\nfscommand('bom')\r\n");
    EXPECT_TRUE(events.Has("fs bom")) << AllTraces();
    EXPECT_TRUE(events.Has("ready 4"));
}

TEST_F(LoadingTest, TheSizeCapIsTheDownloadsToo)
{
    Play("--!movie 1\n" + std::string(5u << 20, ' '));
    EXPECT_TRUE(Traced("the load failed: larger than")) << AllTraces();
    EXPECT_FALSE(events.Has("ready 3"));
}

TEST_F(LoadingTest, AMovieFromALocalFileLoadsFilesOfItsOwnFolderOnly)
{
    const std::string folder = "C:\\Program Files\\Norvale\\";
    desktop.downloads.AddFile(folder + "loader.swf", R"lua(--!movie 1
stage.load_text("sponsor.txt", function(text, err) fscommand("text", text or err) end)
fscommand("up", tostring(stage.load_text("..\\secret.txt", function() end)))
fscommand("sub", tostring(stage.load_text("sub/x.txt", function() end)))
fscommand("web", tostring(stage.load_text("http://content.test/a.txt", function() end)))
)lua");
    desktop.downloads.AddFile(folder + "sponsor.txt", "Sponsored by Norvale");
    desktop.downloads.Serve("http://content.test/a.txt", os::sim::DownloadResponse::Body("from the web"));
    player = Make(events);
    player->SetMovie(Wide(folder + "loader.swf"));
    desktop.Advance(100);
    EXPECT_TRUE(events.Has("ready 4")) << AllTraces();
    EXPECT_TRUE(events.Has("fs text Sponsored by Norvale"));
    EXPECT_TRUE(events.Has("fs up nil"));
    EXPECT_TRUE(events.Has("fs sub nil"));
    EXPECT_TRUE(events.Has("fs web nil")) << "text only from its own folder: a web page is another origin";
    EXPECT_TRUE(Traced("may only load files in its own folder"));
    EXPECT_TRUE(Traced("reads text only from its own origin"));
}

TEST_F(LoadingTest, AWebMovieResolvesItsLoadsAgainstItsAddressAndOnlyOverHttp)
{
    desktop.downloads.Serve("http://content.test/movies/feeds/one.txt", os::sim::DownloadResponse::Body("one"));
    desktop.downloads.Serve("http://content.test/top.txt", os::sim::DownloadResponse::Body("top"));
    os::sim::DownloadResponse gone = os::sim::DownloadResponse::Body("");
    gone.httpStatus = 500;
    desktop.downloads.Serve("http://content.test/movies/gone.txt", gone);
    Play(R"lua(--!movie 1
local function got(name) return function(text, err) fscommand(name, text or ("failed: " .. err)) end end
stage.load_text("feeds/./one.txt", got("relative"))
stage.load_text("../top.txt", got("parent"))
stage.load_text("gone.txt", got("gone"))
fscommand("file", tostring(select(2, stage.load_text("file:///etc/passwd", got("x")))))
fscommand("ftp", tostring(select(2, stage.load_text("ftp://content.test/x", got("x")))))
fscommand("local path", tostring(select(2, stage.load_text("C:\\x.txt", got("x")))))
for i = 1, 9 do stage.load_text("feeds/one.txt", function() end) end
)lua");
    desktop.Advance(100);
    EXPECT_TRUE(events.Has("fs relative one")) << AllTraces();
    EXPECT_TRUE(events.Has("fs parent top"));
    EXPECT_TRUE(events.Has("fs gone failed: HTTP status 500"));
    EXPECT_TRUE(events.Has("fs file only http and https addresses are allowed"));
    EXPECT_TRUE(events.Has("fs ftp only http and https addresses are allowed"));
    EXPECT_TRUE(events.Has("fs local path only http and https addresses are allowed"));
    EXPECT_LE(desktop.downloads.Requests().size(), 1u + 3u + 8u) << "at most 8 loads at once";
}
