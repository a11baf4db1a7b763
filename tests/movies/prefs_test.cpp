// The preferences movie, played through the player alone as the preferences
// panel hosts it: the channel list with the choice marked, "loaded", "done" with
// the choice stored for the ticker, "cancel", and the channel the host hands over.
#include "movies_fixture.h"

using movies_test::MoviesFixture;

namespace
{
    constexpr os::Color Chosen = os::Rgb(0xC8, 0x10, 0x2E);
    // Rows of the first column, 26 pixels apart from y = 64; the buttons below.
    os::Point Row(int n)
    {
        return { 40, 64 + 26 * (n - 1) + 10 };
    }
    const os::Point Done{ 500, 320 };
    const os::Point Cancel{ 600, 320 };

    class PrefsTest : public MoviesFixture
    {
      protected:
        void Open(std::uint64_t ms = 200, bool online = true)
        {
            if (online)
                s.Online();
            s.StartMovie("prefs4.swf", 680, 350);
            s.Advance(ms);
        }
        void Click(os::Point p) { s.Click(p.x, p.y); }
        // The row whose name is drawn with the chosen row's colour under it.
        std::string Marked()
        {
            const auto& ops = s.Paint();
            for (std::size_t i = 0; i + 1 < ops.size(); ++i)
                if (ops[i].kind == os::sim::PaintOp::Kind::fill && ops[i].color == Chosen && ops[i].rect.Height() == 24)
                    for (std::size_t j = i + 1; j < ops.size(); ++j)
                        if (ops[j].kind == os::sim::PaintOp::Kind::widetext)
                            return player::movie::WideToUtf8(ops[j].wide);
            return {};
        }
        std::string StoredChannel()
        {
            const auto v = Stored("channel");
            return v && std::holds_alternative<std::string>(*v) ? std::get<std::string>(*v) : "<none>";
        }
    };
} // namespace

TEST_F(PrefsTest, LoadedOnceDrawnWithTheStoredChoiceMarkedAndDoneStoresTheClickedChannel)
{
    Store("channel", "sport");
    Open();
    EXPECT_EQ(Count("fs", "prefs4.swf: preferences loaded"), 1);
    EXPECT_GT(Find("fs", "prefs4.swf: preferences loaded"), Find("load", Base() + "channels.txt"));
    EXPECT_EQ(Marked(), "Sport");
    Click(Row(3));
    EXPECT_EQ(Marked(), "World caf\u00e9") << "a click chooses";
    EXPECT_EQ(StoredChannel(), "sport") << "stored only on Done";
    Click(Done);
    EXPECT_EQ(s.Texts("fs").back(), "prefs4.swf: preferences done");
    EXPECT_EQ(StoredChannel(), "world");
    s.Advance(5000);
    EXPECT_EQ(Count("fs", "prefs4.swf: preferences loaded"), 1) << "told once";
}

TEST_F(PrefsTest, WithoutAStoredChoiceTheFirstChannelIsMarkedAndCancelStoresNothing)
{
    Open();
    EXPECT_EQ(Marked(), "Top News");
    Click(Row(2));
    Click(Cancel);
    EXPECT_EQ(s.Texts("fs").back(), "prefs4.swf: preferences cancel");
    EXPECT_EQ(StoredChannel(), "<none>");
    Click(Done);
    EXPECT_EQ(Count("fs", "prefs4.swf: preferences done"), 0) << "the panel is closing";
}

TEST_F(PrefsTest, TheChannelTheHostHandsOverIsPreselectedAndAddedWhenNotListed)
{
    Open(0);
    s.SetVariable("new_channel_code", "sport"); // left from an earlier opening: not a choice
    s.Advance(200);
    EXPECT_EQ(Marked(), "Top News");

    s.SetVariable("new_channel_code", "local");
    s.SetVariable("new_channel_name", "Local \u00e9dition");
    EXPECT_EQ(Marked(), "Local \u00e9dition");
    s.SetVariable("new_channel_code", "../etc");
    EXPECT_EQ(Marked(), "Local \u00e9dition") << "not a channel code";
    Click(Done);
    EXPECT_EQ(StoredChannel(), "local");
}

TEST_F(PrefsTest, AChannelListThatDoesNotLoadIsTriedAgainAndLoadedWaitsForIt)
{
    s.desktop.downloads.Serve(Base() + "prefs4.swf", os::sim::DownloadResponse::Body(s.content.Files().at("prefs4.swf")));
    Open(2000, false);
    EXPECT_EQ(Count("fs", "prefs4.swf: preferences loaded"), 0) << "the panel's own wait reports the failure";
    const auto texts = Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "The channel list cannot be loaded at present; trying again..."),
              texts.end());
    s.Online();
    s.Advance(3000);
    EXPECT_EQ(Count("fs", "prefs4.swf: preferences loaded"), 1);
    EXPECT_EQ(Marked(), "Top News");
}

TEST_F(PrefsTest, TheChoiceMadeInThePanelIsTheChannelOfTheReloadedTicker)
{
    StartStrip();
    EXPECT_GE(Find("fs", "ticker4.swf: getchannel " + Base() + "channel/uk-top.txt"), 0);
    // From the menu command: the panel opens next to the strip and plays prefs4.swf.
    s.tick->SetNewsPreferences1Click();
    s.Advance(1000);
    ASSERT_TRUE(s.prefs->Visible());
    EXPECT_EQ(Count("fs", "prefs4.swf: preferences loaded"), 1);
    EXPECT_FALSE(s.prefs->OpenTimer.Enabled()) << "the wait ended with loaded";
    s.ClickPanel(Row(2).x, Row(2).y);
    s.ClickPanel(Done.x, Done.y);
    const int done = Find("fs", "prefs4.swf: preferences done");
    ASSERT_GE(done, 0);
    EXPECT_FALSE(s.prefs->Visible());
    s.Advance(2000); // the panel's "done" reloads the ticker 800 ms later
    EXPECT_GT(Find("fs", "ticker4.swf: getchannel " + Base() + "channel/sport.txt", done), done);
    EXPECT_GT(Find("fs", "ticker4.swf: complete success", done), done);
    EXPECT_TRUE(WaitFullyShown("Rovers win the cup final"));
    s.Advance(11000);
    EXPECT_TRUE(s.desktop.windows.MessageBoxes().empty()) << "no warning after a successful load";
}
