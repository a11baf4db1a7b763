// The ticker's movies on the whole road: the strip loads ticker4.swf from the
// served tree, which asks the host for what it needs, completes once its headlines
// are up, scrolls them, opens their links, shows the sponsor and offers updates;
// and copes with an unreachable server, empty and overlong headlines.
#include "movies_fixture.h"

#include <cctype>

using movies_test::MoviesFixture;

namespace
{
    class RoadTest : public MoviesFixture
    {
    };

    const char* const Council = "City council votes on night buses";
} // namespace

TEST_F(RoadTest, TheTickerAsksTheHostCompletesOnceItsHeadlinesAreUpAndShowsChannelAndSponsor)
{
    StartStrip();
    const int version = Find("fs", "ticker4.swf: getversion gTickerVersion");
    const int uid = Find("fs", "ticker4.swf: getuid gUserId");
    const int first = Find("fs", "ticker4.swf: getfirsttime");
    const int channel = Find("fs", "ticker4.swf: getchannel " + Base() + "channel/uk-top.txt");
    const int sponsor = Find("fs", "ticker4.swf: getsponsor " + Base() + "sponsor.txt " + Base() + "sponsor/logo.htm");
    const int headlines = Find("load", Base() + "headlines/uk-top.txt");
    const int complete = Find("fs", "ticker4.swf: complete success");
    ASSERT_GE(version, 0);
    EXPECT_GT(uid, version);
    EXPECT_GT(first, uid);
    EXPECT_GT(channel, first) << "the first channel of channels.txt by default";
    EXPECT_GT(sponsor, channel);
    EXPECT_GT(headlines, first);
    EXPECT_GT(complete, headlines) << "complete only once the headlines are there";
    EXPECT_EQ(Count("fs", "ticker4.swf: complete success"), 1);

    EXPECT_FALSE(s.tick->ProgressLabel.Visible());
    EXPECT_EQ(ChildRect(s.tick->Flash->Handle()).top, 0) << "the strip shows the ticker";
    const auto texts = Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "WELCOME TO TOP NEWS"), texts.end()) << "the announcement of gNewChannel";
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Harbour bridge reopens after repairs"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Top News"), texts.end()) << "the channel's name from channels.txt";

    // The sponsor movie loaded the logo and the slot took its place left of the grab handle.
    EXPECT_GE(Find("fs", "loader.swf: sponsorlogoSuccess"), 0);
    const int width = s.tick->ClientWidth();
    EXPECT_EQ(ChildRect(s.tick->SponsorFlash->Handle()), os::Rect::FromBounds(width - 69, 0, 59, 25));
    EXPECT_EQ(ChildRect(s.tick->Flash->Handle()).Width(), width - 69);
    s.desktop.windows.InvalidateRect(s.tick->SponsorFlash->Handle(), nullptr);
    s.desktop.windows.UpdateWindow(s.tick->SponsorFlash->Handle());
    const auto& logo = s.desktop.windows.LastPaint(s.tick->SponsorFlash->Handle());
    ASSERT_FALSE(logo.empty());
    EXPECT_EQ(logo.back().kind, os::sim::PaintOp::Kind::bitmap);
    EXPECT_EQ(logo.back().rect, os::Rect::FromBounds(0, 0, 59, 25));

    // The sponsor's line runs in the loop, and a click on the logo opens the sponsor.
    EXPECT_TRUE(WaitFullyShown("Fly Norvale Air from 9 pounds"));
    const os::Point logoAt = s.desktop.windows.ClientToScreen(s.tick->SponsorFlash->Handle(), { 20, 10 });
    s.desktop.windows.MouseMove(logoAt);
    s.desktop.windows.Click(logoAt);
    s.PointAway();
    EXPECT_TRUE(s.Has("shell", "open http://sponsor.example/offer"));
    EXPECT_EQ(Count("fs", "ticker4.swf: update " + Base() + "setup.exe"), 0) << "3.1.9 is older than 3.2";
    EXPECT_FALSE(Stopped());
}

TEST_F(RoadTest, HeadlinesScrollAtSixtyPixelsASecondAndOnlyWhatShowsIsDrawn)
{
    StartStrip();
    const auto a = Drawn(Council);
    ASSERT_TRUE(a);
    s.Advance(5000);
    const auto b = Drawn(Council);
    ASSERT_TRUE(b);
    // By the time passed, not by frames (about 294 frames in 5 s).
    EXPECT_NEAR(a->left - b->left, 300, 2);
    const int width = s.desktop.windows.GetClientRect(s.MovieWindow()).Width();
    for (const auto& op : s.Paint())
    {
        if (op.kind == os::sim::PaintOp::Kind::widetext)
        {
            EXPECT_TRUE(op.rect.right > 0 && op.rect.left < width)
                << player::movie::WideToUtf8(op.wide) << " at " << op.rect.left;
        }
    }
}

TEST_F(RoadTest, ThePointerPausesTheTickerAndAClickOnAHeadlineOpensItsLink)
{
    StartStrip();
    const auto shown = WaitFullyShown(Council);
    ASSERT_TRUE(shown);
    s.PointAt(shown->left + 10, 10);
    EXPECT_EQ(os::sim::SimWindows::CursorId(s.desktop.windows.CurrentCursor()), os::idc::hand);
    s.Advance(2000);
    EXPECT_EQ(Drawn(Council)->left, shown->left) << "paused under the pointer";

    s.Click(shown->left + 10, 10);
    const auto opened = s.Texts("shell");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].rfind("open http://news.example/buses?tid=", 0), 0u) << opened[0] << ": the host adds the user id";
    s.Advance(1000);
    EXPECT_LT(Drawn(Council)->left, shown->left - 50) << "scrolling again once the pointer left";

    // A headline without a link, and the announcement, open nothing.
    const auto plain = WaitFullyShown("Local bakery wins regional prize");
    ASSERT_TRUE(plain);
    s.PointAt(plain->left + 10, 10);
    EXPECT_EQ(os::sim::SimWindows::CursorId(s.desktop.windows.CurrentCursor()), os::idc::arrow);
    s.Click(plain->left + 10, 10);
    EXPECT_EQ(s.Texts("shell").size(), 1u);
}

namespace
{
    struct VersionCase
    {
        const char* served;
        const char* separator; // the user's decimal separator, in the host's version
        bool offered;
    };
    void PrintTo(const VersionCase& c, std::ostream* os)
    {
        *os << c.served << " against 3" << c.separator << "2";
    }

    class UpdateTest : public MoviesFixture, public ::testing::WithParamInterface<VersionCase>
    {
    };
} // namespace

TEST_P(UpdateTest, AnUpdateIsOfferedOnceWhenTheServedVersionIsNumericallyNewer)
{
    const VersionCase c = GetParam();
    s.desktop.system.SetDecimalSeparator(c.separator);
    s.content.Put("version.txt", std::string(c.served) + "\r\n" + Base() + "setup.exe\r\n");
    StartStrip();
    const std::string update = "ticker4.swf: update " + Base() + "setup.exe";
    EXPECT_EQ(Count("fs", update), c.offered ? 1 : 0);
    EXPECT_EQ(s.Has("prompt", Base() + "setup.exe"), c.offered);
    if (c.offered)
    {
        EXPECT_GT(Find("fs", update), Find("fs", "ticker4.swf: complete success")) << "after the strip is up";
        s.Advance(5 * 60 * 1000); // a refresh
        EXPECT_EQ(Count("fs", update), 1) << "offered once a run";
        EXPECT_EQ(Count("fs", "ticker4.swf: memory"), 1) << "each refresh tells the host's 12-hour test";
    }
}

// 3.10 is newer than 3.2 by number, not by text; the host says 3,2 where the
// decimal separator is a comma.
INSTANTIATE_TEST_SUITE_P(Versions, UpdateTest,
                         ::testing::Values(VersionCase{ "3.10", ".", true }, VersionCase{ "3.2.1", ",", true },
                                           VersionCase{ "3.2.0", ".", false }, VersionCase{ "3.1.99", ".", false },
                                           VersionCase{ "soon", ".", false }),
                         [](const ::testing::TestParamInfo<VersionCase>& param)
                         {
                             std::string name = std::string(param.param.offered ? "Offered" : "NotOffered") + "_";
                             for (const char* c = param.param.served; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name + (*param.param.separator == ',' ? "_comma" : "");
                         });

TEST_F(RoadTest, AnUnreachableServerIsRetriedBeforeAndAfterTheFirstHeadlines)
{
    // The server answers with the movies, then goes away before the ticker's first load.
    for (const char* movie : { "faketickerstart.swf", "ticker4.swf" })
        s.desktop.downloads.Serve(Base() + movie, os::sim::DownloadResponse::Body(s.content.Files().at(movie)));
    s.StartStrip(false);
    s.Advance(2000);
    EXPECT_EQ(s.tick->ProgressLabel.Caption(), "The news server is not answering; trying again...");
    EXPECT_TRUE(s.tick->ProgressLabel.Visible());
    EXPECT_EQ(Count("fs", "ticker4.swf: complete success"), 0);
    s.Online();
    s.Advance(2000);
    EXPECT_EQ(Count("fs", "ticker4.swf: complete success"), 1) << "the next try found the server";
    EXPECT_TRUE(Drawn(Council));

    // Later the server goes away: the ticker keeps its headlines and says so.
    s.Offline();
    s.Advance(5 * 60 * 1000);
    EXPECT_GE(Find("load", Base() + "headlines/uk-top.txt (not served)"), 0) << "the trace marks the server's absence";
    const auto texts = Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "The headlines could not be updated; trying again shortly"), texts.end());
    EXPECT_FALSE(WaitFullyShown(Council, 30000) == std::nullopt) << "the last headlines stay";
    // It is back, with news: the retry half a minute later takes it.
    s.content.Put("headlines/uk-top.txt", "Ferry service resumes\thttp://news.example/ferry\n");
    s.Online();
    s.Advance(30000);
    EXPECT_TRUE(WaitFullyShown("Ferry service resumes"));
    const auto now = Texts();
    EXPECT_EQ(std::find(now.begin(), now.end(), Council), now.end()) << "the old headlines went";
    EXPECT_EQ(std::find(now.begin(), now.end(), "The headlines could not be updated; trying again shortly"), now.end());
    EXPECT_FALSE(Stopped());
}

TEST_F(RoadTest, EmptyHeadlinesCompleteWithASayingAndOverlongOrBrokenOnesAreCutSafely)
{
    s.content.Put("headlines/uk-top.txt", "");
    StartStrip();
    EXPECT_EQ(Count("fs", "ticker4.swf: complete success"), 1);
    EXPECT_TRUE(WaitFullyShown("No headlines in this channel at present"));

    // At the next refresh, 600 KiB of headlines: more than the pattern functions
    // take at once and far more than a hundred, led by an overlong title with a
    // link that is not a web address, and a title with a broken byte and a
    // control character.
    std::string many = std::string(1000, 'x') + "\xC3\xA9\xC3\xA9\tjavascript:alert(1)\n";
    many += "Bad \xFF byte and\x01 control\thttp://news.example/bad\n";
    while (many.size() < 600 * 1024)
        many += "Filler headline number " + std::to_string(many.size()) + "\thttp://news.example/f\n";
    s.content.Put("headlines/uk-top.txt", many);
    s.Online();
    s.Advance(5 * 60 * 1000);
    EXPECT_FALSE(Stopped());

    std::optional<os::Rect> overlong;
    std::string cut;
    for (int i = 0; i < 1200 && !overlong; ++i, s.Advance(100))
        for (const auto& op : s.Paint())
            if (op.kind == os::sim::PaintOp::Kind::widetext && op.wide.rfind(L"xxx", 0) == 0 && op.rect.right > 200)
                overlong = op.rect, cut = player::movie::WideToUtf8(op.wide);
    ASSERT_TRUE(overlong) << "the refreshed headlines replaced the saying";
    EXPECT_EQ(cut.size(), 300u) << "cut to 300 bytes";
    EXPECT_EQ(cut.substr(297), "\u2026");
    s.Click(std::max(overlong->left, 150) + 5, 10);
    EXPECT_TRUE(s.Texts("shell").empty()) << "no link that is not a web address";

    const auto bad = WaitFullyShown("Bad ? byte and  control");
    ASSERT_TRUE(bad);
    s.Click(bad->left + 5, 10);
    EXPECT_EQ(s.Texts("shell").size(), 1u);
}

TEST_F(RoadTest, TheStoredChannelIsShownWithItsNonAsciiText)
{
    Store("channel", "world");
    StartStrip();
    EXPECT_GE(Find("fs", "ticker4.swf: getchannel " + Base() + "channel/world.txt"), 0);
    // The host reads the channel feed in the ANSI code page and upper-cases a to z only.
    EXPECT_TRUE(s.Has("var", "ticker4.swf: gNewChannel = WORLD|WORLD CAF\u00e9|BONJOUR DU CAF\u00e9"));
    EXPECT_TRUE(WaitFullyShown("Z\u00fcrich opens a new tram line"));
    EXPECT_TRUE(Drawn("World caf\u00e9"));
    EXPECT_TRUE(WaitFullyShown("BONJOUR DU CAF\u00e9"));
}

TEST_F(RoadTest, AStoredChannelThatIsGoneFallsBackToTheFirstListed)
{
    Store("channel", "gone");
    StartStrip(5000);
    EXPECT_GE(Find("load", Base() + "headlines/gone.txt (not served)"), 0);
    EXPECT_GE(Find("fs", "ticker4.swf: getchannel " + Base() + "channel/uk-top.txt"), 0);
    EXPECT_EQ(Count("fs", "ticker4.swf: complete success"), 1);
    EXPECT_TRUE(Drawn(Council) || WaitFullyShown(Council));
}

TEST_F(RoadTest, ALogoThatDoesNotLoadKeepsTheSlotHiddenAndAFirstRunIsWelcomed)
{
    s.content.Put("sponsor/logo.jpg", "GIF89a not a logo");
    s.Online();
    s.StartStrip(true);
    s.Advance(1000);
    EXPECT_GE(Find("fs", "loader.swf: sponsorlogoFailed"), 0);
    EXPECT_EQ(Find("fs", "loader.swf: sponsorlogoSuccess"), -1);
    EXPECT_TRUE(s.Has("var", "ticker4.swf: gSponsorState = -1"));
    const os::Rect slot = ChildRect(s.tick->SponsorFlash->Handle());
    EXPECT_EQ(slot.top, 30) << "out of sight";
    EXPECT_EQ(slot.Width(), 0);
    EXPECT_EQ(ChildRect(s.tick->Flash->Handle()).Width(), s.tick->ClientWidth() - 10) << "the whole strip for the ticker";

    EXPECT_TRUE(s.Has("var", "ticker4.swf: gFirstTime = yes"));
    EXPECT_TRUE(WaitFullyShown("Welcome to the Norvale Desktop Ticker"));
}

TEST_F(RoadTest, TheSponsorMovieWithoutALogoAddressReportsAFailure)
{
    s.content.Put("sponsor/logo.htm", "<p>no picture today</p>");
    StartStrip(3000);
    EXPECT_GE(Find("fs", "loader.swf: sponsorlogoFailed"), 0) << "the host passed an empty address";
    EXPECT_EQ(ChildRect(s.tick->SponsorFlash->Handle()).Width(), 0);
}

TEST_F(RoadTest, AHugeAnnouncementAndSponsorLineAreCutAndTheTickerGoesOn)
{
    // The host hands over whatever the feeds held, up to its fetch cap of 1 MiB.
    s.content.Put("channel/uk-top.txt", "<channel>uk-top</channel><name>Top News</name><announcement>" +
                                            std::string(400 * 1024, 'a') + "</announcement>");
    s.content.Put("sponsor.txt", "<URL>http://sponsor.example/offer</URL><text>" + std::string(300 * 1024, 'b') + "</text>");
    StartStrip();
    EXPECT_FALSE(Stopped());
    EXPECT_EQ(Count("fs", "ticker4.swf: complete success"), 1);
    const auto texts = Texts();
    const auto a = std::find_if(texts.begin(), texts.end(), [](const std::string& t) { return t.rfind("AAA", 0) == 0; });
    ASSERT_NE(a, texts.end());
    EXPECT_EQ(a->size(), 300u);
}

TEST_F(RoadTest, WithAStoredChannelTheHeadlinesThemselvesAreTriedAgainUntilTheServerAnswers)
{
    Store("channel", "sport");
    for (const char* movie : { "faketickerstart.swf", "ticker4.swf" })
        s.desktop.downloads.Serve(Base() + movie, os::sim::DownloadResponse::Body(s.content.Files().at(movie)));
    s.StartStrip(false);
    s.Advance(2000);
    EXPECT_GE(Find("load", Base() + "headlines/sport.txt (not served)"), 0) << "the stored channel needs no list";
    EXPECT_EQ(s.tick->ProgressLabel.Caption(), "The news server is not answering; trying again...");
    s.Online();
    s.Advance(2000);
    EXPECT_EQ(Count("fs", "ticker4.swf: complete success"), 1);
    EXPECT_TRUE(WaitFullyShown("Rovers win the cup final"));
}
