// The channel feed and the text fetch behind it: the cut rules, and what the strip
// does with every kind of answer a server can give.
#include "app/feeds.h"
#include "support/ticker_fixture.h"

using namespace app;
using os::sim::UrlResponse;
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
        }
        void GetChannel(const std::string& url = Feed)
        {
            desktop.players.RaiseFSCommand(Ticker(), L"getchannel", testing_support::Wide(url));
        }
        std::wstring Channel() { return Ticker().variables[L"gNewChannel"]; }

        std::vector<std::string> traces;
    };
} // namespace

TEST_F(ChannelTest, TheFeedIsReadInChunksCutAndHandedToTheMovieWithEveryHandleClosed)
{
    const std::string longName(1500, 'n');
    desktop.internet.AddUrl(Feed, { { "<channel>uk-top</channel><name>", longName, std::string("Top\0junk", 8),
                                      "</name><announcement>Hi</announcement>" } });
    GetChannel();
    EXPECT_EQ(Channel(), L"UK-TOP|" + std::wstring(1500, 'N') + L"TOP|HI")
        << "1500 bytes in two reads, and a NUL cuts its own read only";
    EXPECT_EQ(desktop.internet.OpenHandles(), 0u);
    EXPECT_EQ(desktop.internet.HandlesOpened(), 2);
    ASSERT_EQ(desktop.internet.Agents(), (std::vector<std::string>{ "Norvale Desktop Ticker" }));
    ASSERT_EQ(desktop.internet.Requests().size(), 1u);
    EXPECT_EQ(desktop.internet.Requests()[0].url, Feed) << "the address goes out unchanged";
    EXPECT_EQ(desktop.internet.Requests()[0].flags, os::inet::flag_no_cache_write);
    EXPECT_EQ(desktop.internet.Requests()[0].timeoutMs, 15000u) << "the connection's waits are bounded";

    // A NUL cuts its own 1024-byte read only: the next read starts at byte 1024.
    std::string body = "<channel>" + std::string(1011, 'a') + std::string("\0bcd", 4) + "zz";
    body += std::string(2000 - 10 - body.size(), 'y') + "</channel>";
    desktop.internet.AddUrl(Feed, UrlResponse::Body(body));
    GetChannel();
    EXPECT_EQ(Channel(), std::wstring(1011, 'A') + L"ZZ" + std::wstring(2000 - 10 - 1026, 'Y') + L"||");

    // Each request fetches afresh.
    desktop.internet.AddUrl(Feed, UrlResponse::Body("<channel>b</channel>"));
    GetChannel();
    EXPECT_EQ(Channel(), L"B||");
    EXPECT_EQ(desktop.internet.OpenHandles(), 0u);
}

TEST_F(ChannelTest, NothingReadLeavesTheChannelAsItWasAndClosesEveryHandle)
{
    const std::string doc = "<channel>new</channel>";
    UrlResponse broken{ { doc, "<name>x</name>" }, 1 };
    UrlResponse tooLong;
    for (int i = 0; i < 16; ++i)
        tooLong.chunks.push_back(std::string(65536, 'a'));
    tooLong.chunks.push_back("<"); // 1 MiB and one byte
    UrlResponse trickle;
    for (int i = 0; i < 400; ++i)
        trickle.chunks.push_back("<");
    trickle.msPerChunk = 100;
    UrlResponse stalled{ { doc } };
    stalled.msPerChunk = 60000;
    UrlResponse slowTwice{ { doc, doc } }; // each wait within the time-out, both together not
    slowTwice.msPerChunk = 10000;

    struct Case
    {
        const char* what;
        UrlResponse response;
        std::string trace;
    };
    const std::vector<Case> cases{
        { "empty body", UrlResponse::Body(""), "" },
        { "not found", UrlResponse::Status(404, "<channel>Not Found</channel>"), "fetch failed: HTTP status 404" },
        { "server error", UrlResponse::Status(500, doc), "fetch failed: HTTP status 500" },
        { "bad request", UrlResponse::Status(400, doc), "fetch failed: HTTP status 400" },
        { "failed read", broken, "fetch failed: the read failed" },
        { "over 1 MiB", tooLong, "fetch failed: the body is larger than 1048576 bytes" },
        { "trickling", trickle, "fetch failed: no complete answer within 15000 ms" },
        { "stalled", stalled, "fetch failed: no complete answer within 15000 ms" },
        { "slow twice", slowTwice, "fetch failed: no complete answer within 15000 ms" },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Ticker().variables[L"gNewChannel"] = L"OLD";
        traces.clear();
        desktop.internet.AddUrl(Feed, c.response);
        const std::uint64_t before = desktop.Now();
        GetChannel();
        EXPECT_EQ(Channel(), L"OLD");
        EXPECT_EQ(desktop.internet.OpenHandles(), 0u);
        EXPECT_LE(desktop.Now() - before, 15100u) << "the strip is frozen no longer than the bound";
        EXPECT_EQ(traces, c.trace.empty() ? std::vector<std::string>{} : std::vector<std::string>{ c.trace });
    }

    // A trickle whose waits end exactly at the bound is given up there, and not later.
    desktop.system.SetTickCost(0);
    Ticker().variables[L"gNewChannel"] = L"OLD";
    traces.clear();
    desktop.internet.AddUrl(Feed, trickle);
    const std::uint64_t before = desktop.Now();
    GetChannel();
    EXPECT_EQ(desktop.Now() - before, 15000u);
    EXPECT_EQ(Channel(), L"OLD");
    EXPECT_EQ(traces, std::vector<std::string>{ "fetch failed: no complete answer within 15000 ms" });
    desktop.system.SetTickCost(1);

    // No answer at all, or no session, or an address that is not a web address.
    Ticker().variables[L"gNewChannel"] = L"OLD";
    desktop.internet.RemoveUrl(Feed);
    GetChannel();
    GetChannel("file:///C:/Windows/win.ini");
    GetChannel("");
    desktop.internet.AddUrl(Feed, UrlResponse::Body(doc));
    desktop.internet.SetConnected(false);
    GetChannel();
    desktop.internet.SetConnected(true);
    desktop.internet.SetOpenFails(true);
    GetChannel();
    EXPECT_EQ(Channel(), L"OLD");
    EXPECT_EQ(desktop.internet.OpenHandles(), 0u);
    EXPECT_EQ(desktop.internet.Requests().back().url, Feed) << "the local file was never asked for";
}

TEST_F(ChannelTest, ABodyOfExactlyOneMebibyteWithinTheTimeBoundIsRead)
{
    UrlResponse big;
    for (int i = 0; i < 15; ++i)
        big.chunks.push_back(std::string(65536, 'x'));
    big.chunks.push_back(std::string(65536 - 21, 'x'));
    big.chunks.push_back("<channel>ok</channel>"); // 21 bytes: 1048576 in all
    big.msPerChunk = 700;                          // 17 waits: 11.9 s, and the clock moves a little with each read
    desktop.internet.AddUrl(Feed, big);
    GetChannel();
    EXPECT_EQ(Channel(), L"OK||");
    EXPECT_EQ(traces, std::vector<std::string>{});
}

TEST_F(ChannelTest, AFetchThatThrowsStillClosesItsSession)
{
    desktop.internet.AddUrl(Feed, UrlResponse::Status(500, "<channel>x</channel>"));
    // The trace of the failed fetch throws, as an out-of-memory would.
    tick->TraceSink = [](const std::string&)
    {
        throw std::runtime_error("trace failed");
    };
    EXPECT_THROW(tick->GetFlashChannel(Feed), std::runtime_error);
    EXPECT_EQ(desktop.internet.OpenHandles(), 0u);
    EXPECT_THROW(tick->GetFlashSponsor(Feed + " " + Feed), std::runtime_error);
    EXPECT_EQ(desktop.internet.OpenHandles(), 0u);
}
