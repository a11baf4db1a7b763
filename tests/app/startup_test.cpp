// The program entry and the start-up sequence: one instance, the player test and
// its prompt, what the strip shows first, and the quit.
#include "app/ticker.h"
#include "support/ticker_fixture.h"

using namespace app;
using testing_support::TickerFixture;
using testing_support::Wide;

namespace
{
    const char* const NotInstalled = "The Norvale Desktop Ticker has detected that you do not have\r\n"
                                     "the Macromedia Flash ActiveX control installed. \r\n\r\n"
                                     "Would you like to download and install Flash now?";
    const char* const Incompatible = "The Norvale Desktop Ticker has detected that you have an incompatible\r\n"
                                     "version of the Macromedia Flash ActiveX control installed. The ticker\r\n"
                                     "requires version 6 or above of the Flash player.\r\n\r\n"
                                     "Would you like to download and install version 6 now?";
    const std::string SettingsKey = "Software\\Norvale\\Vodazovovarar";

    class StartupTest : public TickerFixture
    {
    };

    // The whole program on its own desktop, as the entry runs it.
    class EntryTest : public ::testing::Test
    {
      protected:
        EntryTest()
        {
            desktop.SetScreen(1280, 1024);
            desktop.windows.SetRunLimit(60'000);
            testing_support::AddProgramResources(desktop.process);
        }
        // The settings choose the hosted Flash control instead of our own player.
        void ChooseFlash() { desktop.registry.PutString(os::RegRoot::currentUser, SettingsKey, "Player", "flash"); }
        os::sim::Desktop desktop;
    };
} // namespace

TEST_F(EntryTest, ASecondInstanceEndsAtOnceShowingNothing)
{
    desktop.process.SetMutex("NorvaleTickerMutex", os::sim::SimProcess::MutexState::ownedByOther);
    EXPECT_EQ(RunTicker(desktop.Os()), 0);
    EXPECT_TRUE(desktop.windows.TopLevelWindows().empty());
    EXPECT_TRUE(desktop.windows.MessageBoxes().empty());
    EXPECT_EQ(desktop.shell.NotifyIconCalls(), 0);
    EXPECT_EQ(desktop.players.All().size(), 0u);
}

TEST_F(EntryTest, AnAbandonedMutexDoesNotStopTheNextStart)
{
    desktop.process.SetMutex("NorvaleTickerMutex", os::sim::SimProcess::MutexState::abandoned);
    ChooseFlash();
    desktop.players.SetCreateResult(os::hr::class_not_registered);
    EXPECT_EQ(RunTicker(desktop.Os()), 0);
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 1u) << "the program ran: it asked about the player";
    EXPECT_TRUE(desktop.process.OwnsMutex("NorvaleTickerMutex"));
    EXPECT_TRUE(desktop.windows.QuitRetrieved());
}

TEST_F(EntryTest, WithoutAPlayerTheStripNeverShowsAndTheIconStaysUntilTheQuit)
{
    ChooseFlash();
    desktop.players.SetCreateResult(os::hr::class_not_registered);
    bool stripEverShown = false;
    std::size_t iconsDuringPrompt = 0;
    desktop.windows.onMessageBox = [&](const os::sim::MessageBoxCall&)
    {
        iconsDuringPrompt = desktop.shell.TrayIcons().size();
        return os::id::no;
    };
    EXPECT_EQ(RunTicker(desktop.Os()), 0);
    for (const auto& m : desktop.windows.MessageLog())
        if (m.message == os::wm::showwindow && m.wParam == 1 && desktop.windows.ClassName(m.hwnd) == "NorvaleForm")
            stripEverShown = true;
    EXPECT_FALSE(stripEverShown);
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 1u);
    const auto& box = desktop.windows.MessageBoxes()[0];
    EXPECT_EQ(box.text, NotInstalled);
    EXPECT_EQ(box.caption, "Flash Detection");
    EXPECT_EQ(box.flags, os::mb::yesno | os::mb::iconquestion);
    EXPECT_EQ(iconsDuringPrompt, 1u);
    EXPECT_TRUE(desktop.shell.TrayIcons().empty()) << "the quit removed the icon";
    EXPECT_TRUE(desktop.shell.Executed().empty());
    const auto record = desktop.registry.Get(os::RegRoot::currentUser, SettingsKey, "");
    ASSERT_TRUE(record) << "the quit saved the toolbar record";
    EXPECT_EQ(record->type, os::reg::binary);
    EXPECT_EQ(record->data.size(), 84u);
}

TEST_F(EntryTest, WithoutAPlayerSettingOurOwnPlayerPlaysTheTickerMovie)
{
    desktop.windows.SetRunLimit(2'000);
    desktop.downloads.Serve(ContentBaseUrl() + "ticker4.swf",
                            os::sim::DownloadResponse::Body("--!movie 1\nfscommand('ticker', 'playing')\n"));
    RunTicker(desktop.Os());
    EXPECT_TRUE(desktop.players.All().empty()) << "the hosted control was never asked for";
    ASSERT_EQ(desktop.downloads.Requests().size(), 2u);
    EXPECT_EQ(desktop.downloads.Requests()[1].url, ContentBaseUrl() + "ticker4.swf");
    EXPECT_TRUE(desktop.windows.MessageBoxes().empty());
}

TEST_F(EntryTest, YesToThePromptOpensTheDownloadPageAfterTheInformationBox)
{
    ChooseFlash();
    desktop.players.SetCreateResult(os::hr::class_not_registered);
    std::size_t openedBeforeInformation = 99;
    desktop.windows.onMessageBox = [&](const os::sim::MessageBoxCall& box)
    {
        if (box.caption == "Information")
        {
            openedBeforeInformation = desktop.shell.Executed().size();
            return os::id::ok;
        }
        return os::id::yes;
    };
    EXPECT_EQ(RunTicker(desktop.Os()), 0);
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 2u);
    const auto& info = desktop.windows.MessageBoxes()[1];
    EXPECT_EQ(info.text, "The ticker will now close, and you will be \r\ndirected to the Flash download page.\r\n\r\n"
                         "When the installation is complete, please \r\nstart the Norvale Desktop Ticker again.");
    EXPECT_EQ(info.flags, os::mb::ok | os::mb::iconinformation);
    EXPECT_EQ(openedBeforeInformation, 0u);
    ASSERT_EQ(desktop.shell.Executed().size(), 1u);
    const auto& open = desktop.shell.Executed()[0];
    EXPECT_EQ(open.verb, "open");
    EXPECT_EQ(open.file, ContentBaseUrl() + "getflash.htm");
    EXPECT_EQ(open.show, os::sw::shownormal);
    EXPECT_TRUE(desktop.shell.TrayIcons().empty());
}

TEST_F(EntryTest, YesWithoutAConnectionSaysSoAndQuits)
{
    ChooseFlash();
    desktop.players.SetCreateResult(os::hr::class_not_registered);
    desktop.internet.SetConnected(false);
    desktop.windows.onMessageBox = [](const os::sim::MessageBoxCall&)
    {
        return os::id::yes;
    };
    EXPECT_EQ(RunTicker(desktop.Os()), 0);
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 2u);
    const auto& box = desktop.windows.MessageBoxes()[1];
    EXPECT_EQ(box.caption, "No Internet Connection");
    EXPECT_EQ(box.text, "Sorry, you must be connected to the Internet\r\nto download and run the Flash Installer.\r\n\r\n"
                        "Please connect and try again.");
    EXPECT_EQ(box.flags, os::mb::ok | os::mb::iconerror);
    EXPECT_TRUE(desktop.shell.Executed().empty());
    EXPECT_TRUE(desktop.windows.QuitRetrieved());
}

TEST_F(StartupTest, APlayerErrorDuringStartUpIsShownAndTheLoadGoesOn)
{
    for (const wchar_t* call : { L"DoVerb", L"Play" })
    {
        desktop.players.FailCall(call, os::hr::fail);
        ASSERT_NO_THROW(Start()) << "the error escaped the window's construction";
        const std::string expected = (call == std::wstring(L"DoVerb") ? "DoVerb" : "Play") + std::string(" failed");
        ASSERT_FALSE(desktop.windows.MessageBoxes().empty());
        EXPECT_EQ(desktop.windows.MessageBoxes().back().text.rfind(expected, 0), 0u) << expected;
        EXPECT_TRUE(StripVisible());
        EXPECT_TRUE(HasTrayIcon());
        EXPECT_TRUE(tick->Timer1.Enabled()) << "the watchdog runs the load";
        EXPECT_EQ(Ticker().Movies().size(), 2u);
        desktop.players.RaiseFSCommand(Ticker(), L"complete", L"success");
        EXPECT_EQ(ChildRect(tick->Flash).top, 0) << "the events reach the strip";
        desktop.players.FailCall(call, os::hr::ok);
        Close();
    }
}

TEST_F(EntryTest, AnErrorThatEscapesTheStartIsShownAndEndsTheProgramCleanly)
{
    desktop.windows.failCreate = [](const os::WindowParams& params)
    {
        return params.text == "Norvale Desktop Ticker" && params.className == "NorvaleForm";
    };
    int code = 0;
    ASSERT_NO_THROW(code = RunTicker(desktop.Os()));
    EXPECT_EQ(code, 1);
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 1u);
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].text, "cannot make the window of tickForm");
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].flags, os::mb::ok | os::mb::iconerror);
    EXPECT_TRUE(desktop.shell.TrayIcons().empty());
    EXPECT_TRUE(desktop.players.All().empty());
}

TEST_F(StartupTest, AnOldPlayerHidesTheStripAndOffersVersionSix)
{
    desktop.players.SetVersion(0x00050000);
    Start();
    desktop.Advance(100);
    EXPECT_TRUE(StripVisible()) << "the loading picture shows first";
    desktop.windows.onMessageBox = [&](const os::sim::MessageBoxCall&)
    {
        EXPECT_FALSE(StripVisible());
        return os::id::no;
    };
    desktop.players.RaiseReadyState(Ticker(), 3);
    desktop.Advance(20);
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 1u);
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].text, Incompatible);
    EXPECT_TRUE(desktop.windows.QuitRetrieved());
}

TEST_F(StartupTest, OnlyReadyStateThreeTestsTheVersionAndOnlyOnce)
{
    desktop.players.SetVersion(0x00050000);
    Start();
    desktop.Advance(100);
    desktop.players.RaiseReadyState(Ticker(), 4);
    desktop.Advance(50);
    EXPECT_TRUE(desktop.windows.MessageBoxes().empty()) << "state 4 does not test";
    int prompts = 0;
    desktop.windows.onMessageBox = [&](const os::sim::MessageBoxCall&)
    {
        ++prompts;
        desktop.players.RaiseReadyState(Ticker(), 3); // while the player is already known to be missing
        return os::id::no;
    };
    desktop.players.RaiseReadyState(Ticker(), 3);
    desktop.Advance(50);
    EXPECT_EQ(prompts, 1);
}

TEST_F(StartupTest, VersionSixPassesAndTheVersionIsReadFromBitsSixteenToTwentyThree)
{
    desktop.players.SetVersion(0x7F060000); // 6, with other bits set around it
    Start();
    desktop.Advance(100);
    EXPECT_EQ(tick->GetFlashVersion(), 6);
    desktop.players.RaiseReadyState(Ticker(), 3);
    desktop.Advance(100);
    EXPECT_TRUE(desktop.windows.MessageBoxes().empty());
    EXPECT_FALSE(tick->FlashMissing);
}

TEST_F(StartupTest, TheStripStartsAs25HighFloatingAt100WithTheLoadingPicture)
{
    Start();
    desktop.Advance(100);
    EXPECT_EQ(desktop.windows.GetWindowRect(tick->Handle()), os::Rect::FromBounds(100, 100, 703, 25));
    EXPECT_EQ(tick->Height(), TickerHeight);
    EXPECT_TRUE(StripVisible());
    EXPECT_FALSE(desktop.windows.IsWindowVisible(app.Handle())) << "no taskbar button";
    EXPECT_EQ(desktop.windows.CountMessages(app.Handle(), os::wm::showwindow), 0) << "not even for a moment";
    EXPECT_TRUE(tick->Image2.Visible());
    EXPECT_FALSE(tick->OopsImage.Visible());
    EXPECT_EQ(tick->ProgressLabel.Caption(), "Connecting to Norvale...");
    EXPECT_EQ(tick->ProgressLabel.Top(), 5);
    EXPECT_EQ(tick->ProgressLabel.Left(), 703 - 10 - 329 - 5);
    EXPECT_EQ(tick->GrabImage.Left(), 693);
    EXPECT_EQ(tick->Font(), (os::Font{ "MS Sans Serif", -14, false }));
    EXPECT_EQ(tick->Image2.Cursor(), forms::cr::drag);
    EXPECT_TRUE(HasTrayIcon());
    const auto icon = *desktop.shell.TrayIcon(tick->Handle(), TrayIconId);
    EXPECT_EQ(icon.flags, 7u);
    EXPECT_EQ(icon.callbackMessage, 1025u);
    EXPECT_EQ(icon.tip, "Norvale Desktop Ticker");
    // What was painted: the strip's grey, the loading picture, the status line.
    const auto& ops = desktop.windows.LastPaint(tick->Handle());
    ASSERT_GE(ops.size(), 3u);
    EXPECT_EQ(ops[0].color, os::Rgb(66, 66, 66));
    EXPECT_EQ(ops[1].text, "LOADING");
    EXPECT_EQ(ops.back().text, "Connecting to Norvale...");
    // Without a saved record the menu's first check puts the floating strip on top.
    EXPECT_TRUE(desktop.windows.IsTopmost(tick->Handle()));
    EXPECT_TRUE(tick->StayonTop1.Checked());
    EXPECT_TRUE(tick->AlwaysOnTop());
    EXPECT_TRUE(desktop.shell.Registered(tick->Handle()));
}

TEST_F(StartupTest, At120DotsPerInchTheStatusLineMovesUp)
{
    desktop.system.SetLogPixelsX(120);
    Start();
    EXPECT_EQ(tick->ProgressLabel.Top(), 3);
}

TEST_F(StartupTest, TheLayoutTimerRunsOnceTheLoopDoes)
{
    Start();
    ASSERT_TRUE(tick->Timer2.Enabled()) << "the resizes of the start-up started it";
    desktop.Advance(15);
    EXPECT_FALSE(tick->Timer2.Enabled());
    EXPECT_TRUE(desktop.windows.IsWindowVisible(tick->Flash->Handle()));
    EXPECT_EQ(tick->Flash->Width(), 703 - GrabWidth) << "no sponsor logo yet";
    EXPECT_EQ(tick->SponsorFlash->Left(), 703 - GrabWidth - SponsorWidth);
}

TEST_F(StartupTest, ClosingTheStripSavesTheToolbarRecordAndRemovesTheIcon)
{
    Start();
    desktop.Advance(100);
    EXPECT_FALSE(desktop.registry.Get(os::RegRoot::currentUser, SettingsKey, ""));
    desktop.windows.Post(tick->Handle(), os::wm::close, 0, 0);
    desktop.Advance(10);
    EXPECT_FALSE(HasTrayIcon());
    const auto record = desktop.registry.Get(os::RegRoot::currentUser, SettingsKey, "");
    ASSERT_TRUE(record);
    const auto loaded = appbar::FromRecord(record->data);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->edge, appbar::abeFloat);
    EXPECT_EQ(loaded->floatLeft, 100);
    EXPECT_EQ(loaded->floatRight, 803);
    EXPECT_EQ(loaded->horzDockSize, TickerHeight);
    EXPECT_EQ(loaded->flags, 0x1A) << "top, bottom and floating";
    EXPECT_TRUE(desktop.windows.QuitRetrieved());
    EXPECT_EQ(desktop.registry.OpenHandles(), 0u);
}

TEST_F(StartupTest, ASavedEdgeAndOnTopStateComeBackAtTheNextStart)
{
    appbar::TAppBarSettings saved;
    saved.edge = appbar::abeBottom;
    saved.alwaysOnTop = true;
    saved.horzDockSize = 25;
    saved.flags = 0x1A;
    const auto bytes = appbar::ToRecord(saved);
    desktop.registry.PutBinary(os::RegRoot::currentUser, SettingsKey, "", { bytes.begin(), bytes.end() });
    Start();
    desktop.Advance(100);
    EXPECT_EQ(tick->Edge(), appbar::abeBottom);
    EXPECT_EQ(desktop.windows.GetWindowRect(tick->Handle()), (os::Rect{ 0, 1024 - 30 - 25, 1280, 1024 - 30 }));
}
