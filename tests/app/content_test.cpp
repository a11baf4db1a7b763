// The channel feed and the text fetch behind it: the cut rules, and what the strip
// does with every kind of answer a server can give.
#include "app/feeds.h"
#include "support/ticker_fixture.h"

using namespace app;
using os::sim::DownloadResponse;
using testing_support::TickerFixture;

TEST(FeedCut, ChannelFieldsFollowTheTextSearchRules)
{
    EXPECT_EQ(ChannelValue("<channel>uk-top</channel><name>Top News</name><announcement>Welcome</announcement>"),
              "UK-TOP|TOP NEWS|WELCOME");
    EXPECT_EQ(ChannelValue("x<channel>caf\xe9 9-z|</channel> <name> a\tb </name><announcement>\xff\xe0!</announcement>y"),
              "CAF\xe9 9-Z|| A\tB |\xff\xe0!")
        << "only a to z change; a | inside a field is not escaped";
    EXPECT_EQ(ChannelValue("<channel>one</channel><name>n1</name><announcement>a1</announcement>"
                           "<channel>two</channel><name>n2</name><announcement>a2</announcement>"),
              "ONE|N1|A1");
    EXPECT_EQ(ChannelValue("<channel>c</channel><announcement>late</announcement><name>n</name>"), "C|N|")
        << "the announcement is searched after the name";
    EXPECT_EQ(ChannelValue("<channel>c</channel><name>n<announcement>w</announcement>"), "C||W")
        << "no </name>: empty name, the text left whole";
    EXPECT_EQ(ChannelValue("12345678abc</channel><name>n</name><announcement>w</announcement>"), "ABC|N|W")
        << "no <channel>: the first 8 characters go";
    EXPECT_EQ(ChannelValue("<channel>c</channel>xyz</name><announcement>w</announcement>"), "C|NNEL>XYZ|W")
        << "no <name>: 5 characters of the text left go";
    EXPECT_EQ(ChannelValue("<channel id=\"1\">c</channel>"), " ID=\"1\">C||") << "attributes are not recognised";
    EXPECT_EQ(ChannelValue("plain"), "||");
}

TEST(FeedCut, SponsorFieldsLogoAddressAndArguments)
{
    EXPECT_EQ(SponsorFields("<URL>http://S.example/A</URL>\n<text>Buy &amp; save</text>"),
              (std::pair<std::string, std::string>{ "http://S.example/A", "Buy &amp; save" }));
    EXPECT_EQ(SponsorFields("abcdhttp://x/</URL><text>t</text>"), (std::pair<std::string, std::string>{ "http://x/", "t" }));
    EXPECT_EQ(SponsorFields("<URL>u</URL><text>no end"), (std::pair<std::string, std::string>{ "u", "" }));

    EXPECT_EQ(LogoAddress(R"(document.write("<img src=\"http://logo.example/a.gif\" width=59>");)"), "http://logo.example/a.gif");
    EXPECT_EQ(LogoAddress(R"(<a href=\"http://click.example/\" ><img src=\"http://logo.example/b.gif\" >)"),
              "http://logo.example/b.gif")
        << "an address before the <img does not count";
    EXPECT_EQ(LogoAddress(R"(src=\"http://logo.example/c.gif\" )"), "http://logo.example/c.gif");
    EXPECT_EQ(LogoAddress(R"(xx<img src=\"logo.gif\" )"), R"(<img src=\"logo.gif)");
    EXPECT_EQ(LogoAddress(R"(xx\" <img src='http://logo.example/d.gif'>)"), "") << "no terminator after the address";
    EXPECT_EQ(LogoAddress(R"(http://logo.example/e.gif\" )"), "http://logo.example/e.gif");
    EXPECT_EQ(LogoAddress(""), "");

    EXPECT_EQ(SplitSponsorArgs("http://a/f http://a/l x"), (std::pair<std::string, std::string>{ "http://a/f", "http://a/l x" }));
    EXPECT_EQ(SplitSponsorArgs("http://a/l"), (std::pair<std::string, std::string>{ "", "http://a/l" }));
}

namespace
{
    const std::string Feed = "http://content.example/channel.xml";
    const std::string SponsorFeedUrl = "http://content.example/sponsor.xml";
    const std::string LogoPageUrl = "http://content.example/logo.js";

    class ChannelTest : public TickerFixture
    {
      protected:
        ChannelTest()
        {
            Start();
            tick->TraceSink = [this](const std::string& line)
            {
                traces.push_back(line);
            };
            desktop.Advance(100);
            // A complete movie: the load's watchdog does not replace it while a test waits.
            desktop.players.RaiseFSCommand(Ticker(), L"complete", L"success");
            desktop.Advance(100);
        }
        // Asks, and checks that the strip did not wait for the answer.
        void GetChannel(const std::string& url = Feed)
        {
            const std::uint64_t before = desktop.Now();
            desktop.players.RaiseFSCommand(Ticker(), L"getchannel", testing_support::Wide(url));
            EXPECT_EQ(desktop.Now(), before) << "the command waited for the network";
        }
        std::wstring Channel() { return Ticker().variables[L"gNewChannel"]; }
        const os::sim::DownloadRequest& LastRequest() { return desktop.downloads.Requests().back(); }

        std::vector<std::string> traces;
    };
} // namespace

TEST_F(ChannelTest, TheFeedIsFetchedWhileTheStripRunsOnAndHandedToTheMovieWhenItComes)
{
    const std::string longName(1500, 'n');
    DownloadResponse slow =
        DownloadResponse::Body("<channel>uk-top</channel><name>" + longName + "Top</name>" + "<announcement>Hi</announcement>");
    slow.connectMs = 1000;
    slow.headersMs = 2000;
    slow.delayMs = 500;
    slow.steps = 3;
    slow.stepMs = 4000; // complete at 11.5 s
    desktop.downloads.Serve(Feed, slow);
    Ticker().variables[L"gNewChannel"] = L"OLD";
    GetChannel();
    ASSERT_EQ(desktop.downloads.Requests().size(), 1u);
    EXPECT_EQ(LastRequest().url, Feed) << "the address goes out unchanged";
    EXPECT_EQ(LastRequest().limits.agent, "Norvale Desktop Ticker");
    EXPECT_EQ(LastRequest().limits.maxBytes, 1u << 20);
    EXPECT_EQ(LastRequest().limits.timeoutMs, 15000u);
    desktop.Advance(11'000);
    EXPECT_EQ(Channel(), L"OLD") << "nothing before the whole answer";
    desktop.Advance(1'000);
    EXPECT_EQ(Channel(), L"UK-TOP|" + std::wstring(1500, 'N') + L"TOP|HI");
    EXPECT_EQ(desktop.downloads.Held(), 0u);

    // A NUL cuts its own 1024-byte block only: the next block starts at byte 1024.
    std::string body = "<channel>" + std::string(1011, 'a') + std::string("\0bcd", 4) + "zz";
    body += std::string(2000 - 10 - body.size(), 'y') + "</channel>";
    desktop.downloads.Serve(Feed, DownloadResponse::Body(body));
    GetChannel();
    desktop.Advance(10);
    EXPECT_EQ(Channel(), std::wstring(1011, 'A') + L"ZZ" + std::wstring(2000 - 10 - 1026, 'Y') + L"||");

    // Each request fetches afresh.
    desktop.downloads.Serve(Feed, DownloadResponse::Body("<channel>b</channel>"));
    GetChannel();
    desktop.Advance(10);
    EXPECT_EQ(Channel(), L"B||");
    EXPECT_EQ(desktop.downloads.Requests().size(), 3u);
    EXPECT_TRUE(traces.empty());
}

TEST_F(ChannelTest, NothingReadLeavesTheChannelAsItWasAndTheBoundHoldsFromTheStart)
{
    const std::string doc = "<channel>new</channel>";
    DownloadResponse broken = DownloadResponse::Body(doc + "<name>x</name>");
    broken.steps = 2;
    broken.failAtStep = 1;
    DownloadResponse tooLong = DownloadResponse::Body(std::string((1u << 20) + 1, '<'));
    tooLong.announceLength = false;
    DownloadResponse cut = DownloadResponse::Body(doc);
    cut.cutAfter = doc.size() - 1;
    DownloadResponse trickle = DownloadResponse::Body(std::string(400, '<'));
    trickle.steps = 400;
    trickle.stepMs = 100;
    DownloadResponse slowHeaders = DownloadResponse::Body(doc);
    slowHeaders.headersMs = 16000;
    DownloadResponse slowConnect = DownloadResponse::Body(doc);
    slowConnect.connectMs = 60000;
    DownloadResponse slowParts = DownloadResponse::Body(doc + doc); // each part in time, both together not
    slowParts.headersMs = 100;
    slowParts.steps = 2;
    slowParts.stepMs = 14950;

    struct Case
    {
        const char* what;
        DownloadResponse response;
        std::string trace;
        std::uint64_t endsAt; // ms after the request
    };
    const std::string late = "fetch failed: no complete answer within 15000 ms";
    const std::vector<Case> cases{
        { "empty body", DownloadResponse::Body(""), "", 0 },
        { "not found", DownloadResponse::Status(404, "<channel>Not Found</channel>"), "fetch failed: HTTP status 404", 0 },
        { "server error", DownloadResponse::Status(500, doc), "fetch failed: HTTP status 500", 0 },
        { "failed read", broken, "fetch failed: connection lost", 0 },
        { "over 1 MiB", tooLong, "fetch failed: larger than 1048576 bytes", 0 },
        { "cut short", cut, "fetch failed: the answer ended after 21 of 22 bytes", 0 },
        { "trickling", trickle, late, 15000 },
        { "slow headers", slowHeaders, late, 15000 },
        { "slow connection", slowConnect, late, 15000 },
        { "slow parts", slowParts, late, 15000 },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Ticker().variables[L"gNewChannel"] = L"OLD";
        traces.clear();
        desktop.downloads.Serve(Feed, c.response);
        GetChannel();
        if (c.endsAt > 0)
        {
            desktop.Advance(c.endsAt - 1);
            EXPECT_TRUE(traces.empty()) << "given up early";
        }
        desktop.Advance(2);
        EXPECT_EQ(Channel(), L"OLD");
        EXPECT_EQ(traces, c.trace.empty() ? std::vector<std::string>{} : std::vector<std::string>{ c.trace });
        EXPECT_EQ(desktop.downloads.Held(), 0u);
        desktop.Advance(60'000); // nothing comes later
        EXPECT_EQ(Channel(), L"OLD");
    }

    // Downloads that cannot start (no window to tell) fail the request at once.
    app::Fetches orphan(desktop.downloads);
    orphan.SetNotify(os::Hwnd{ 12345 });
    EXPECT_FALSE(orphan.Ask(FetchKind::channel, { Feed, {}, 0 }));

    // No answer at all, or an address that is not a web address.
    Ticker().variables[L"gNewChannel"] = L"OLD";
    desktop.downloads.Remove(Feed);
    GetChannel();
    const std::size_t asked = desktop.downloads.Requests().size();
    GetChannel("file:///C:/Windows/win.ini");
    GetChannel("");
    desktop.Advance(100);
    EXPECT_EQ(Channel(), L"OLD");
    EXPECT_EQ(desktop.downloads.Requests().size(), asked) << "the local file was never asked for";
}

TEST_F(ChannelTest, ABodyOfExactlyOneMebibyteWithinTheBoundIsRead)
{
    DownloadResponse big = DownloadResponse::Body(std::string((1u << 20) - 21, 'x') + "<channel>ok</channel>");
    big.steps = 17;
    big.stepMs = 870; // the last part at 13.9 s
    desktop.downloads.Serve(Feed, big);
    GetChannel();
    desktop.Advance(15'000);
    EXPECT_EQ(Channel(), L"OK||");
    EXPECT_EQ(traces, std::vector<std::string>{});
}

TEST_F(ChannelTest, RequestsInARowAreAnsweredInTheirOrderAndAReloadOrAQuitDropsTheAnswer)
{
    DownloadResponse first = DownloadResponse::Body("<channel>first</channel>");
    first.headersMs = 3000;
    desktop.downloads.Serve(Feed, first);
    const std::string second = "http://content.example/second.xml";
    desktop.downloads.Serve(second, DownloadResponse::Body("<channel>second</channel>"));
    const std::string missing = "http://content.example/missing.xml";
    Ticker().calls.clear();
    GetChannel();
    GetChannel(missing);
    for (int i = 0; i < 6; ++i)
        GetChannel(i < 5 ? Feed : second); // the fifth waiting takes the last place
    EXPECT_EQ(desktop.downloads.Requests().size(), 1u) << "one at a time";
    desktop.Advance(10'000);
    const std::vector<std::wstring> set(Ticker().calls.begin(), Ticker().calls.end());
    EXPECT_EQ(set, (std::vector<std::wstring>{ L"SetVariable=gNewChannel=FIRST||", L"SetVariable=gNewChannel=FIRST||",
                                               L"SetVariable=gNewChannel=FIRST||", L"SetVariable=gNewChannel=SECOND||" }))
        << "first, missing (nothing), first, first, second";
    ASSERT_EQ(desktop.downloads.Requests().size(), 5u);
    EXPECT_EQ(desktop.downloads.Requests()[1].url, missing);
    EXPECT_EQ(Channel(), L"SECOND||");

    // A reload while the fetch is on its way: the new movie never sees the old answer.
    desktop.downloads.Serve(Feed, first);
    GetChannel();
    const unsigned loads = tick->Loads();
    desktop.players.RaiseFSCommand(Ticker(), L"reload", L"");
    desktop.Advance(1000);
    ASSERT_GT(tick->Loads(), loads);
    desktop.players.RaiseFSCommand(Ticker(), L"complete", L"success");
    desktop.Advance(5000);
    EXPECT_EQ(Ticker().variables.count(L"gNewChannel"), 0u) << "the new control got the old control's answer";
    EXPECT_TRUE(desktop.downloads.Requests().back().cancelled);
    // ... and it gets its own.
    GetChannel();
    desktop.Advance(5000);
    EXPECT_EQ(Channel(), L"FIRST||");

    // A quit while the fetch is on its way: nothing reaches the strip or its control.
    GetChannel();
    tick->Exit1Click(tick->Exit1);
    desktop.Advance(5000);
    EXPECT_EQ(Ticker().Count(L"SetVariable=gNewChannel=FIRST||"), 1);
    EXPECT_TRUE(desktop.downloads.Requests().back().cancelled);
    // And a strip destroyed with a fetch on its way leaves nothing behind.
    GetChannel();
    Close();
    desktop.Advance(5000);
    EXPECT_EQ(desktop.downloads.Held(), 0u);
}

TEST_F(ChannelTest, ASponsorRequestWhoseLogoPageHangsEndsAtItsOwnBoundWhileTheChannelGoesOn)
{
    desktop.downloads.Serve(SponsorFeedUrl, DownloadResponse::Body("<URL>http://s.example/</URL><text>t</text>"));
    DownloadResponse hangs = DownloadResponse::Body("<img src=\\\"http://s.example/l.gif\\\" ");
    hangs.headersMs = 60000;
    desktop.downloads.Serve(LogoPageUrl, hangs);
    desktop.downloads.Serve(Feed, DownloadResponse::Body("<channel>c</channel>"));
    desktop.players.RaiseFSCommand(Ticker(), L"getsponsor", testing_support::Wide(SponsorFeedUrl + " " + LogoPageUrl));
    desktop.Advance(100);
    GetChannel();
    // Downloads take turns: the channel's is taken once the logo page's has run a
    // second, not when it ends.
    desktop.Advance(1000);
    EXPECT_EQ(Channel(), L"C||") << "the channel does not wait for the sponsor";
    EXPECT_EQ(Ticker().variables.count(L"sponsor_url"), 0u) << "nothing of the sponsor before the logo page";
    desktop.Advance(13'800); // the logo page's fetch started 100 ms after the request
    EXPECT_EQ(Ticker().variables.count(L"gSponsorState"), 0u);
    desktop.Advance(200);
    EXPECT_EQ(Ticker().variables[L"gSponsorState"], L"-1");
    EXPECT_EQ(Ticker().variables.count(L"sponsor_url"), 0u);
    EXPECT_EQ(tick->SponsorURL, "");
    EXPECT_EQ(desktop.downloads.Held(), 0u);
}

TEST_F(ChannelTest, AHandlerThatThrowsHoldsNothingAndTheRequestsWaitingStillGoOut)
{
    desktop.downloads.Serve(Feed, DownloadResponse::Status(500, "<channel>x</channel>"));
    const std::string next = "http://content.example/next.xml";
    desktop.downloads.Serve(next, DownloadResponse::Body("<channel>next</channel>"));
    GetChannel();
    GetChannel(next);
    // The trace of the failed fetch throws, as an out-of-memory would; the strip's
    // window reports it as any handler's exception.
    tick->TraceSink = [](const std::string& line)
    {
        if (line.rfind("fetch failed", 0) == 0)
            throw std::runtime_error("trace failed");
    };
    desktop.Advance(100);
    EXPECT_EQ(desktop.downloads.Held(), 0u);
    EXPECT_EQ(desktop.downloads.Urls(), (std::vector<std::string>{ Feed, next }));
    EXPECT_EQ(Channel(), L"NEXT||");
}
