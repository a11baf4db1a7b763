// The settings store: the user identifier, the first-run query, launch at log-on
// with its Run entry, and the installation folder.
#include "app/settings.h"
#include "support/ticker_fixture.h"

using namespace app;
using testing_support::TickerFixture;

namespace
{
    const std::string Key = "Software\\Norvale\\Vodazovovarar";
    const std::string RunPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    constexpr auto HKCU = os::RegRoot::currentUser;

    // A seed whose first draw below 1000 is `draw`.
    std::uint32_t SeedDrawing(int draw)
    {
        for (std::uint32_t seed = 0;; ++seed)
            if (RandomBelow(seed, 1000) == draw)
                return seed;
    }

    class SettingsTest : public TickerFixture
    {
      protected:
        std::optional<std::string> Value(const std::string& key, const std::string& name)
        {
            return desktop.registry.GetString(HKCU, key, name);
        }
        void Send(const std::wstring& command, const std::wstring& args = L"")
        {
            desktop.players.RaiseFSCommand(Ticker(), command, args);
        }
    };
} // namespace

TEST(UserId, TwelveDigitsTheBiasAndTheDrawWithoutLeadingZeros)
{
    EXPECT_EQ(FormatUserId({ 2005, 3, 1, 14, 9, 26, 53, 0 }, 0, 417), "050314092653_0_417");
    EXPECT_EQ(FormatUserId({ 2026, 12, 2, 8, 23, 5, 9, 0 }, -330, 7), "261208230509_-330_7");
    EXPECT_EQ(FormatUserId({ 2000, 1, 6, 1, 0, 0, 0, 0 }, 210, 0), "000101000000_210_0");
    for (std::uint32_t seed : { 0u, 1u, 12345u, 0xFFFFFFFFu })
    {
        const int draw = RandomBelow(seed, 1000);
        EXPECT_GE(draw, 0);
        EXPECT_LT(draw, 1000);
    }
    EXPECT_NE(RandomBelow(1, 1000), RandomBelow(2, 1000)) << "a fresh seed gives a fresh draw";
}

TEST_F(SettingsTest, AFirstStartMakesTheIdentifierOnceAndKeepsIt)
{
    desktop.process.SetLocalTime({ 2026, 12, 2, 8, 9, 30, 5, 0 });
    desktop.process.SetTimeZoneBias(-330);
    desktop.process.SetRandomSeed(SeedDrawing(7));
    Start();
    EXPECT_EQ(tick->UserId, "261208093005_-330_7");
    EXPECT_EQ(Value(Key, "UID"), "261208093005_-330_7");
    EXPECT_TRUE(tick->LaunchatStartup1.Checked());
    Close();
    desktop.process.SetTimeZoneBias(210);
    Start();
    EXPECT_EQ(tick->UserId, "261208093005_-330_7") << "the stored identifier is used unchanged";
    EXPECT_EQ(desktop.registry.OpenHandles(), 0u);
}

TEST_F(SettingsTest, AnyStoredIdentifierIsUsedAsItIsAndAMistypedOneIsMadeAfresh)
{
    desktop.registry.PutString(HKCU, Key, "UID", "not really an id \xe9");
    Start();
    EXPECT_EQ(tick->UserId, "not really an id \xe9");
    Close();
    desktop.registry.PutDword(HKCU, Key, "UID", 42);
    desktop.process.SetTimeZoneBias(210);
    Start();
    EXPECT_NE(tick->UserId.find("_210_"), std::string::npos) << "a number is no identifier: a new one is made";
    EXPECT_EQ(Value(Key, "UID"), tick->UserId);
}

TEST_F(SettingsTest, OnlyNoInLowerCaseTurnsLaunchAtStartupOff)
{
    for (const char* stored : { "No", "false", "NO", "", "yes" })
    {
        desktop.registry.PutString(HKCU, Key, "LaunchOnStartup", stored);
        Start();
        EXPECT_TRUE(tick->LaunchatStartup1.Checked()) << stored;
        Close();
    }
    desktop.registry.PutDword(HKCU, Key, "LaunchOnStartup", 0);
    Start();
    EXPECT_TRUE(tick->LaunchatStartup1.Checked()) << "a number reads as missing and the window is made all the same";
    Close();
    desktop.registry.PutString(HKCU, Key, "LaunchOnStartup", "no");
    Start();
    EXPECT_FALSE(tick->LaunchatStartup1.Checked());
}

TEST_F(SettingsTest, ASettingsKeyThatCannotBeOpenedLeavesTheDefaults)
{
    desktop.registry.FailOpen(HKCU, Key);
    Start();
    EXPECT_TRUE(tick->UserId.empty());
    EXPECT_TRUE(tick->LaunchatStartup1.Checked());
    Send(L"getfirsttime");
    EXPECT_FALSE(Ticker().variables.count(L"gFirstTime")) << "no answer";
    EXPECT_EQ(tick->GetPath(), "");
}

TEST_F(SettingsTest, TheFirstGetfirsttimeSaysYesOnceAndArmsThePanel)
{
    Start();
    desktop.Advance(100);
    Send(L"getfirsttime");
    EXPECT_EQ(Ticker().variables[L"gFirstTime"], L"yes");
    EXPECT_TRUE(tick->FirstRun);
    EXPECT_EQ(Value(Key, "Initialized"), "done");
    Send(L"getfirsttime");
    EXPECT_EQ(Ticker().variables[L"gFirstTime"], L"no") << "the same run";
    Send(L"complete", L"success");
    EXPECT_FALSE(tick->FirstRun) << "consumed by the completion";
    Close();
    desktop.registry.PutString(HKCU, Key, "Initialized", "anything");
    Start();
    Send(L"getfirsttime");
    EXPECT_EQ(Ticker().variables[L"gFirstTime"], L"no");
    EXPECT_FALSE(tick->FirstRun);
}

TEST_F(SettingsTest, TheFirstQuitRegistersTheQuotedProgramPathToRunAtLogOn)
{
    desktop.registry.PutString(HKCU, Key, "InstallPath", "C:\\Program Files\\Norvale");
    Start();
    EXPECT_FALSE(Value(RunPath, RunValueName));
    tick->Exit1Click(tick->Exit1);
    EXPECT_EQ(Value(RunPath, RunValueName), "\"C:\\Program Files\\Norvale\\ticker.exe\"");
    EXPECT_EQ(Value(Key, "LaunchOnStartup"), "yes");
    desktop.Advance(10);
    EXPECT_TRUE(desktop.windows.QuitRetrieved());
    EXPECT_FALSE(HasTrayIcon());
}

TEST_F(SettingsTest, UncheckingDeletesTheRunEntryAndCheckingWritesItAgain)
{
    desktop.registry.PutString(HKCU, RunPath, RunValueName, "\"C:\\Norvale\\ticker.exe\"");
    Start();
    tick->LaunchatStartup1Click(tick->LaunchatStartup1);
    EXPECT_FALSE(tick->LaunchatStartup1.Checked());
    EXPECT_FALSE(Value(RunPath, RunValueName));
    EXPECT_EQ(Value(Key, "LaunchOnStartup"), "no");
    tick->LaunchatStartup1Click(tick->LaunchatStartup1);
    EXPECT_EQ(Value(RunPath, RunValueName), "\"" + desktop.process.CurrentDirectory() + "\\ticker.exe\"")
        << "no InstallPath: the current directory";
    EXPECT_EQ(Value(Key, "LaunchOnStartup"), "yes");
    EXPECT_EQ(desktop.registry.OpenHandles(), 0u);
}

TEST_F(SettingsTest, ARunEntryThatNamesAnotherProgramIsLeftAlone)
{
    desktop.registry.PutString(HKCU, RunPath, RunValueName, "D:\\Elsewhere\\other.exe");
    Start();
    tick->DoRunOnStartup(true);
    EXPECT_EQ(Value(RunPath, RunValueName), "D:\\Elsewhere\\other.exe");
    tick->LaunchatStartup1.SetChecked(false);
    tick->DoQuit(); // an unchecked item removes it at the quit
    EXPECT_FALSE(Value(RunPath, RunValueName));
}

TEST_F(SettingsTest, AOneCharacterInstallPathIsNoFolderForTheRunEntryButIsOneForGetPath)
{
    desktop.registry.PutString(HKCU, Key, "InstallPath", "C");
    desktop.process.SetCurrentDirectory("E:\\Cwd");
    Start();
    tick->DoRunOnStartup(true);
    EXPECT_EQ(Value(RunPath, RunValueName), "\"E:\\Cwd\\ticker.exe\"");
    EXPECT_EQ(tick->GetPath(), "C");
    desktop.registry.PutString(HKCU, Key, "InstallPath", "");
    EXPECT_EQ(tick->GetPath(), "E:\\Cwd");
}
