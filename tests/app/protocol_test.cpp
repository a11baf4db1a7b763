// The ticker movie's commands as the strip receives them from its player control.
#include "support/ticker_fixture.h"

#include <algorithm>

using namespace app;
using testing_support::TickerFixture;

namespace
{
    class ProtocolTest : public TickerFixture
    {
      protected:
        TtickForm& tickApp()
        {
            if (!tick)
            {
                Start();
                tick->TraceSink = [this](const std::string& line)
                {
                    traces.push_back(line);
                };
                desktop.Advance(100);
            }
            return *tick;
        }
        void Send(const std::wstring& command, const std::wstring& args = L"")
        {
            desktop.players.RaiseFSCommand(Ticker(), command, args);
        }
        std::wstring Variable(const std::wstring& name) { return Ticker().variables[name]; }
        // Controls made for the strip (the preferences panel has one of its own).
        std::size_t Made() const
        {
            const auto& all = desktop.players.All();
            return std::count_if(all.begin(), all.end(), [&](const auto& r) { return r->parent == tick->Handle(); });
        }

        std::vector<std::string> traces;
    };
} // namespace

TEST_F(ProtocolTest, NamesAreComparedExactlyAndUnknownCommandsAreIgnored)
{
    tickApp();
    for (const wchar_t* name : { L"Reload", L"reload ", L" reload", L"RELOAD", L"relo", L"" })
        Send(name);
    desktop.Advance(1000);
    EXPECT_EQ(Made(), 2u) << "no reload";
    Send(L"Complete", L"success");
    Send(L"complete", L"Success");
    Send(L"complete", L"success ");
    EXPECT_TRUE(tick->Timer1.Enabled()) << "not completed";
    EXPECT_TRUE(tick->Image2.Visible());
    Send(L"no such command", L"whatever");
    EXPECT_TRUE(desktop.windows.MessageBoxes().empty());
}

TEST_F(ProtocolTest, GetversionAnswersInTheVariableTheMovieNames)
{
    tickApp();
    Send(L"getversion", L"v");
    EXPECT_EQ(Variable(L"v"), L"3.2") << "set from inside the command's handler";
    desktop.system.SetDecimalSeparator(",");
    Send(L"getversion", L"hostVersion");
    EXPECT_EQ(Variable(L"hostVersion"), L"3,2");
    Send(L"getversion", L"");
    EXPECT_EQ(Variable(L""), L"3,2") << "an empty name is not checked";
}

TEST_F(ProtocolTest, GetuidAnswersTheStoredIdentifierEveryTime)
{
    tickApp().UserId = "050314092653_0_417";
    Send(L"getuid", L"uid");
    EXPECT_EQ(Variable(L"uid"), L"050314092653_0_417");
    Send(L"getuid", L"uid2");
    EXPECT_EQ(Variable(L"uid2"), L"050314092653_0_417");
}

TEST_F(ProtocolTest, CompleteWithSuccessShowsTheTickerAndTellsItTheMonitors)
{
    desktop.system.SetMetric(os::sm::cmonitors, 2);
    tickApp();
    Send(L"complete", L"success");
    EXPECT_FALSE(tick->Timer1.Enabled());
    EXPECT_FALSE(tick->Image2.Visible());
    EXPECT_FALSE(tick->ProgressLabel.Visible());
    EXPECT_EQ(ChildRect(tick->Flash), os::Rect::FromBounds(0, 0, 693, 25));
    EXPECT_TRUE(desktop.windows.IsWindowVisible(tick->Flash->Handle())) << "shown at once, not 10 ms later";
    EXPECT_EQ(Variable(L"num_monitors"), L"2");
    EXPECT_EQ(desktop.windows.GetFocus(), tick->Flash->Handle());
    EXPECT_EQ(Ticker().Count(L"DoVerb=-1"), 2) << "once when made, once now";
    EXPECT_TRUE(tick->Timer2.Enabled());
    desktop.Advance(10);
    EXPECT_FALSE(tick->Timer2.Enabled());
    EXPECT_EQ(ChildRect(tick->Flash), os::Rect::FromBounds(0, 0, 693, 25));
    desktop.Advance(20'000);
    EXPECT_FALSE(tick->OopsImage.Visible()) << "the watchdog stopped";
    EXPECT_EQ(Made(), 2u);
}

TEST_F(ProtocolTest, TickerTextShowsUntilTheNextProgressEvent)
{
    tickApp();
    Send(L"ticker", L"Fetching the headlines");
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Fetching the headlines");
    EXPECT_EQ(desktop.windows.LastPaint(tick->Handle()).back().text, "Fetching the headlines");
    desktop.players.RaiseProgress(Ticker(), 60);
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Loading 60%");
}

TEST_F(ProtocolTest, ReloadsFromTheMovieRebuildOnceAndOnlyAfterTheHandlerReturned)
{
    tickApp();
    auto first = desktop.players.Alive().at(0);
    Send(L"reload");
    EXPECT_TRUE(first->alive) << "the control that sent it is still there";
    desktop.Advance(100);
    Send(L"reload");
    desktop.Advance(100);
    Send(L"reload");
    desktop.Advance(600);
    EXPECT_EQ(Made(), 4u);
    EXPECT_FALSE(first->alive);
    desktop.Advance(2000);
    EXPECT_EQ(Made(), 4u);
}

TEST_F(ProtocolTest, MemoryRunsTheTwelveHourTest)
{
    desktop.process.SetLocalTime({ 2026, 12, 2, 8, 9, 0, 0, 0 });
    tickApp();
    desktop.process.SetLocalTime({ 2026, 12, 2, 8, 22, 0, 0, 0 });
    Send(L"memory");
    EXPECT_TRUE(tick->fsCommandTimer.Enabled());
    EXPECT_NE(std::find(traces.begin(), traces.end(), "12 Hours have passed: Reload"), traces.end());
}

TEST_F(ProtocolTest, LoadmovieReplacesTheMovieInTheSameControlAndLeavesTheLoadAlone)
{
    tickApp();
    Send(L"loadmovie", L"http://127.0.0.1:8421/other.swf");
    EXPECT_EQ(Ticker().movie, L"http://127.0.0.1:8421/other.swf");
    EXPECT_TRUE(tick->Timer1.Enabled());
    EXPECT_TRUE(tick->Image2.Visible());
    EXPECT_EQ(Made(), 2u);
    for (const wchar_t* hostile : { L"C:\\Windows\\evil.swf", L"\\\\server\\share\\x.swf", L"file:///C:/x.swf", L"javascript:x" })
    {
        Send(L"loadmovie", hostile);
        EXPECT_EQ(Ticker().movie, L"http://127.0.0.1:8421/other.swf") << "refused: " << std::wstring(hostile).size();
    }
}

TEST_F(ProtocolTest, MessageShowsAnInformationBoxWhileTimersGoOn)
{
    tickApp();
    int ticksBefore = static_cast<int>(tick->Timer1.Tag());
    desktop.windows.onMessageBox = [&](const os::sim::MessageBoxCall& box)
    {
        desktop.Advance(3000);
        EXPECT_EQ(box.caption, "Information");
        return os::id::ok;
    };
    Send(L"message", L"Caf\u00e9 news");
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 1u);
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].text, "Caf\xe9 news") << "converted to the ANSI code page";
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].flags, os::mb::ok | os::mb::iconinformation);
    EXPECT_EQ(tick->Timer1.Tag(), ticksBefore + 3);
}

TEST_F(ProtocolTest, ExitSavesAndEnds)
{
    tickApp();
    Send(L"exit");
    EXPECT_FALSE(HasTrayIcon());
    EXPECT_TRUE(desktop.registry.Get(os::RegRoot::currentUser, "Software\\Norvale\\Vodazovovarar", ""));
    desktop.Advance(10);
    EXPECT_TRUE(desktop.windows.QuitRetrieved());
}

TEST_F(ProtocolTest, PreferencesOpensTheMenuAndANewChannelOpensThePanel)
{
    tickApp();
    desktop.windows.MouseMove({ 400, 300 });
    Send(L"preferences", L"abc||Sport");
    ASSERT_EQ(desktop.windows.PopupMenus().size(), 1u) << "the context menu, not the panel";
    EXPECT_EQ(desktop.windows.PopupMenus()[0].at, (os::Point{ 400, 300 }));
    EXPECT_FALSE(prefs->Visible());

    Send(L"addnewchanel", L"abc||Sport"); // two n's: not a command at all
    EXPECT_FALSE(prefs->Visible());
    Send(L"addnewchannnel", L"abc||Sport");
    EXPECT_TRUE(prefs->Visible());
    EXPECT_EQ(prefs->ChannelCode, "abc");
    EXPECT_EQ(prefs->ChannelName, "Sport");
    EXPECT_EQ(desktop.windows.PopupMenus().size(), 1u);
}
