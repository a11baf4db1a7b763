// The sponsor logo: the two documents, the link holder's states across requests, the
// sponsor movie's answers and the slot at the strip's right end.
#include "support/ticker_fixture.h"

using namespace app;
using os::sim::DownloadResponse;
using testing_support::TickerFixture;
using testing_support::Wide;

namespace
{
    const std::string Key = "Software\\Norvale\\Vodazovovarar";
    const std::string FeedUrl = "http://content.example/sponsor.xml";
    const std::string LogoPageUrl = "http://content.example/logo.js";
    const std::string Link = "http://sponsor.example/offer";
    const std::string Logo = "http://img.example/logo.gif";

    // The length announced, the connection closed one byte before its end.
    DownloadResponse Cut(std::string body)
    {
        DownloadResponse r = DownloadResponse::Body(std::move(body));
        r.cutAfter = r.body.size() - 1;
        return r;
    }

    std::string SponsorFeed(const std::string& link, const std::string& text)
    {
        return "<sponsor><URL>" + link + "</URL><text>" + text + "</text></sponsor>";
    }

    class SponsorTest : public TickerFixture
    {
      protected:
        SponsorTest()
        {
            desktop.registry.PutString(os::RegRoot::currentUser, Key, "InstallPath", "C:\\Norvale");
            desktop.downloads.Serve(FeedUrl, DownloadResponse::Body(SponsorFeed(Link, "Buy now")));
            desktop.downloads.Serve(LogoPageUrl,
                                    DownloadResponse::Body(R"(document.write("<img src=\")" + Logo + R"(\" border=0>");)"));
            Start();
            tick->TraceSink = [this](const std::string& line)
            {
                traces.push_back(line);
            };
            desktop.Advance(100);
        }
        void GetSponsor(const std::string& args = FeedUrl + " " + LogoPageUrl)
        {
            desktop.players.RaiseFSCommand(Ticker(), L"getsponsor", Wide(args));
            desktop.Advance(10); // the answers come back as messages
        }
        void FromSponsorMovie(const std::wstring& command) { desktop.players.RaiseFSCommand(Sponsor(), command, L"ignored"); }
        os::sim::PlayerRecord& Sponsor() { return Record(tick->SponsorFlash); }
        std::wstring Var(const std::wstring& name)
        {
            auto& v = Ticker().variables;
            auto it = v.find(name);
            return it == v.end() ? L"<unset>" : it->second;
        }
        int Fetches(const std::string& url)
        {
            int n = 0;
            for (const auto& r : desktop.downloads.Requests())
                n += r.url == url ? 1 : 0;
            return n;
        }
        int Width() { return tick->ClientWidth(); }
        // The top and width of the sponsor slot.
        std::pair<int, int> Hidden()
        {
            const os::Rect r = ChildRect(tick->SponsorFlash);
            return { r.top, r.Width() };
        }

        std::vector<std::string> traces;
    };
} // namespace

TEST_F(SponsorTest, TheFirstRequestHandsOverLinkAndTextAndLoadsTheLogoWhichShowsOnlyOnSuccess)
{
    GetSponsor();
    EXPECT_EQ(Var(L"sponsor_url"), Wide(Link));
    EXPECT_EQ(Var(L"sponsor_text"), L"Buy now");
    EXPECT_EQ(Var(L"gSponsorState"), L"<unset>") << "the sponsor movie reports the logo's fate";
    EXPECT_EQ(tick->SponsorURL, Link);
    EXPECT_EQ(desktop.downloads.Held(), 0u);
    EXPECT_EQ(desktop.downloads.Urls(), (std::vector<std::string>{ FeedUrl, LogoPageUrl })) << "the feed, then the logo page";
    EXPECT_EQ(desktop.downloads.Requests()[0].limits.agent, "Norvale Desktop Ticker");

    const std::vector<std::wstring> loaderCalls(Sponsor().calls.end() - 5, Sponsor().calls.end());
    EXPECT_EQ(loaderCalls, (std::vector<std::wstring>{ L"Movie=C:\\Norvale\\loader.swf", L"Stop", L"Rewind", L"Play",
                                                       L"SetVariable=content_src=" + Wide(Logo) }));
    EXPECT_EQ(traces,
              (std::vector<std::string>{ "oldSponsorURL: ", "oldSponsorText: ", "sponsor_url = " + Link, "sponsor_text = Buy now",
                                         "Setting content_src: " + Logo, "gSponsorURL = " + Link }));
    EXPECT_EQ(Hidden(), (std::pair{ 30, 0 })) << "still out of sight";

    desktop.windows.SetFocus(tick->Handle());
    FromSponsorMovie(L"sponsorlogoSuccess");
    EXPECT_EQ(ChildRect(tick->SponsorFlash), os::Rect::FromBounds(Width() - 69, 0, 59, 25));
    EXPECT_EQ(desktop.windows.GetFocus(), tick->Flash->Handle()) << "the strip was laid out";
    EXPECT_EQ(ChildRect(tick->Flash).Width(), Width() - 69) << "the ticker leaves the slot free";
    EXPECT_EQ(Var(L"gSponsorState"), L"1");
    EXPECT_EQ(Sponsor().calls.back(), L"DoVerb=" + std::to_wstring(os::oleiverb::show));

    // hidelogo: out of sight, the 59 pixels stay free, and no logo is asked for again.
    desktop.windows.SetFocus(tick->Handle());
    desktop.players.RaiseFSCommand(Ticker(), L"hidelogo", L"");
    EXPECT_EQ(desktop.windows.GetFocus(), tick->Flash->Handle()) << "the strip was laid out";
    EXPECT_EQ(ChildRect(tick->SponsorFlash), os::Rect::FromBounds(Width() - 69, 500, 59, 25));
    EXPECT_EQ(ChildRect(tick->Flash).Width(), Width() - 69);
    EXPECT_EQ(tick->SponsorURL, "/");
    GetSponsor();
    EXPECT_EQ(Fetches(LogoPageUrl), 1);
    EXPECT_EQ(Sponsor().Count(L"Play"), 1) << "the logo is not reloaded";
}

TEST_F(SponsorTest, LaterRequestsFollowTheComparisonRuleAndReportOne)
{
    GetSponsor();
    FromSponsorMovie(L"sponsorlogoSuccess");
    FromSponsorMovie(L"sponsorlogoFailed"); // a later failure takes the slot away again
    EXPECT_EQ(Var(L"gSponsorState"), L"-1");
    EXPECT_EQ(traces.back(), "[[[[[[[[[[[[[[[[ SPONSOR LOGO FAILED ]]]]]]]]]]]]]]]]]]]");
    EXPECT_EQ(Hidden(), (std::pair{ 30, 0 }));
    EXPECT_EQ(ChildRect(tick->Flash).Width(), Width() - 10) << "the whole strip for the ticker";

    // The same sponsor again: kept, and "1" whatever the logo's fate was.
    traces.clear();
    GetSponsor();
    EXPECT_EQ(Fetches(FeedUrl), 2);
    EXPECT_EQ(Fetches(LogoPageUrl), 1);
    EXPECT_EQ(Var(L"sponsor_url"), Wide(Link));
    EXPECT_EQ(Var(L"gSponsorState"), L"1");
    EXPECT_EQ(traces[0], "oldSponsorURL: " + Link);
    EXPECT_EQ(traces.back(), "gSponsorURL = " + Link);

    // Another sponsor with the same text: the link goes, the text stays.
    desktop.downloads.Serve(FeedUrl, DownloadResponse::Body(SponsorFeed("http://other.example/", "Buy now")));
    GetSponsor();
    EXPECT_EQ(Var(L"sponsor_url"), L"");
    EXPECT_EQ(Var(L"sponsor_text"), L"Buy now");
    EXPECT_EQ(tick->SponsorURL, "/");

    // With the movie's link empty, the new one is taken; a changed text goes.
    desktop.downloads.Serve(FeedUrl, DownloadResponse::Body(SponsorFeed("http://other.example/", "Sale")));
    traces.clear();
    GetSponsor();
    EXPECT_EQ(traces[2], "sponsor_url = http://other.example/");
    EXPECT_EQ(traces[3], "sponsor_text = ");
    EXPECT_EQ(Var(L"sponsor_url"), L"http://other.example/");
    EXPECT_EQ(Var(L"sponsor_text"), L"");
    EXPECT_EQ(tick->SponsorURL, "http://other.example/");
    EXPECT_EQ(Sponsor().Count(L"Play"), 1);
    EXPECT_EQ(desktop.downloads.Held(), 0u);
}

TEST_F(SponsorTest, AFailedFetchReportsMinusOneAndChangesNothingElse)
{
    struct Case
    {
        const char* what;
        std::function<void()> scene;
        std::string args;
    };
    const std::vector<Case> cases{
        { "no space: no feed address", [] {}, LogoPageUrl },
        { "feed missing", [&] { desktop.downloads.Remove(FeedUrl); }, FeedUrl + " " + LogoPageUrl },
        { "feed 404", [&] { desktop.downloads.Serve(FeedUrl, DownloadResponse::Status(404, SponsorFeed("http://x/", "x"))); },
          FeedUrl + " " + LogoPageUrl },
        { "logo page 500",
          [&] { desktop.downloads.Serve(LogoPageUrl, DownloadResponse::Status(500, "<img src=\\\"http://x/\\\" ")); },
          FeedUrl + " " + LogoPageUrl },
        { "logo page empty", [&] { desktop.downloads.Serve(LogoPageUrl, DownloadResponse::Body("")); },
          FeedUrl + " " + LogoPageUrl },
        { "feed not a web address", [] {}, "file:///C:/sponsor.xml " + LogoPageUrl },
        { "feed cut short", [&] { desktop.downloads.Serve(FeedUrl, Cut(SponsorFeed(Link, "Buy now"))); },
          FeedUrl + " " + LogoPageUrl },
    };
    const auto sponsorCalls = Sponsor().calls;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        desktop.downloads.Serve(FeedUrl, DownloadResponse::Body(SponsorFeed(Link, "Buy now")));
        desktop.downloads.Serve(LogoPageUrl, DownloadResponse::Body(R"(<img src=\")" + Logo + R"(\" >)"));
        c.scene();
        Ticker().variables.erase(L"gSponsorState");
        GetSponsor(c.args);
        EXPECT_EQ(Var(L"gSponsorState"), L"-1");
        EXPECT_EQ(Var(L"sponsor_url"), L"<unset>");
        EXPECT_EQ(Var(L"sponsor_text"), L"<unset>");
        EXPECT_EQ(tick->SponsorURL, "");
        EXPECT_EQ(Sponsor().calls, sponsorCalls);
        EXPECT_EQ(desktop.downloads.Held(), 0u);
    }
}

TEST_F(SponsorTest, AReloadEmptiesTheLinkHolderSoTheLogoIsLoadedAgain)
{
    GetSponsor();
    desktop.players.RaiseFSCommand(Ticker(), L"reload", L"");
    desktop.Advance(1000);
    EXPECT_EQ(tick->SponsorURL, "");
    EXPECT_EQ(Hidden(), (std::pair{ 30, 0 })) << "a fresh slot";
    GetSponsor();
    EXPECT_EQ(Fetches(LogoPageUrl), 2);
    EXPECT_EQ(Sponsor().Count(L"Play"), 1) << "the new control loads the logo";
    EXPECT_EQ(Var(L"sponsor_url"), Wide(Link)) << "the new movie takes the link";
}

TEST_F(SponsorTest, AClickOnTheLogoOpensOnlyAKnownWebLinkWithoutTheIdentifier)
{
    FromSponsorMovie(L"sponsorclick"); // nothing requested yet
    GetSponsor();
    FromSponsorMovie(L"sponsorclick");
    ASSERT_EQ(desktop.shell.Executed().size(), 1u);
    EXPECT_EQ(desktop.shell.Executed()[0].file, Link);
    EXPECT_EQ(desktop.shell.Executed()[0].verb, "open");

    desktop.players.RaiseFSCommand(Ticker(), L"hidelogo", L"");
    FromSponsorMovie(L"sponsorclick"); // "/": no link known
    EXPECT_EQ(desktop.shell.Executed().size(), 1u);

    // A link from the network that is not a web address is never opened.
    desktop.players.RaiseFSCommand(Ticker(), L"reload", L"");
    desktop.Advance(1000);
    desktop.downloads.Serve(FeedUrl, DownloadResponse::Body(SponsorFeed("file:///C:/Windows/system32/calc.exe", "x")));
    GetSponsor();
    EXPECT_EQ(tick->SponsorURL, "file:///C:/Windows/system32/calc.exe");
    FromSponsorMovie(L"sponsorclick");
    EXPECT_EQ(desktop.shell.Executed().size(), 1u);
}

TEST_F(SponsorTest, RequestsInARowWaitTheirTurnAndAFailedOneLeavesTheLogoPageInFlightAlone)
{
    DownloadResponse slowPage = DownloadResponse::Body(R"(<img src=\")" + Logo + R"(\" >)");
    slowPage.headersMs = 1000;
    desktop.downloads.Serve(LogoPageUrl, slowPage);
    desktop.players.RaiseFSCommand(Ticker(), L"getsponsor", Wide(FeedUrl + " " + LogoPageUrl));
    desktop.players.RaiseFSCommand(Ticker(), L"getsponsor", Wide(FeedUrl + " " + LogoPageUrl));
    EXPECT_EQ(Var(L"gSponsorState"), L"<unset>") << "a request that waits its turn has not failed";
    desktop.Advance(500); // the first one's logo page is on its way
    desktop.players.RaiseFSCommand(Ticker(), L"getsponsor", Wide("file:///C:/x.xml " + LogoPageUrl));
    EXPECT_EQ(Var(L"gSponsorState"), L"-1") << "a request that cannot go out fails at once";
    desktop.Advance(1000);
    EXPECT_EQ(desktop.downloads.Urls(), (std::vector<std::string>{ FeedUrl, LogoPageUrl, FeedUrl }))
        << "the logo page before the second request's feed, and only once a load";
    EXPECT_EQ(Sponsor().Count(L"SetVariable=content_src=" + Wide(Logo)), 1);
    EXPECT_EQ(Var(L"sponsor_url"), Wide(Link));
    EXPECT_EQ(Var(L"gSponsorState"), L"1") << "the second request: the same sponsor";
}
