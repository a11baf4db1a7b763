// Links for the movies, the help page, the about box and the exit.
#include "app/about.h"
#include "app/settings.h"
#include "forms/jpeg.h"
#include "support/ticker_fixture.h"

using namespace app;
using testing_support::TickerFixture;

TEST(Tid, AppendsTheIdentifierAsAQueryParameter)
{
    EXPECT_EQ(WithTid("http://n.example/story", "050314092653_0_417"), "http://n.example/story?tid=050314092653_0_417");
    EXPECT_EQ(WithTid("http://n.example/story?id=4", "1_2_3"), "http://n.example/story?id=4&tid=1_2_3");
    EXPECT_EQ(WithTid("http://n.example/story#part?x", "1_2_3"), "http://n.example/story#part?x&tid=1_2_3")
        << "a ? only in the fragment still counts, and the parameter lands after the fragment";
    EXPECT_EQ(WithTid("http://n.example/", ""), "http://n.example/?tid=");
    EXPECT_EQ(WithTid("http://n.example/?a", ""), "http://n.example/?a&tid=");
}

namespace
{
    const std::string Key = "Software\\Norvale\\Vodazovovarar";

    class LinksTest : public TickerFixture
    {
      protected:
        LinksTest()
        {
            desktop.registry.PutString(os::RegRoot::currentUser, Key, "UID", "050314092653_0_417");
            Start();
            desktop.Advance(100);
        }
        void Send(const std::wstring& command, const std::wstring& args = L"")
        {
            desktop.players.RaiseFSCommand(Ticker(), command, args);
        }
        const os::sim::ShellExecuteCall& LastOpened() { return desktop.shell.Executed().back(); }
        // Opens the strip's context menu and chooses the item with this caption, as
        // the user does; its click runs from the message loop.
        void Choose(const std::string& caption)
        {
            desktop.windows.onPopupMenu = [&](const os::sim::PopupMenuCall& menu)
            {
                const os::UINT id = menu.IdOf(caption);
                EXPECT_NE(id, 0u) << caption;
                return id;
            };
            tick->PopupMenu1.Popup(300, 110);
            desktop.windows.ProcessPending();
        }
    };
} // namespace

TEST_F(LinksTest, OpenURLFromTheMovieCarriesTheIdentifierAndOpenSponsorURLDoesNot)
{
    Send(L"openURL", L"http://news.example/story?id=9");
    ASSERT_EQ(desktop.shell.Executed().size(), 1u);
    EXPECT_EQ(LastOpened().verb, "open");
    EXPECT_EQ(LastOpened().file, "http://news.example/story?id=9&tid=050314092653_0_417");
    EXPECT_EQ(LastOpened().params, "");
    EXPECT_EQ(LastOpened().dir, "");
    EXPECT_EQ(LastOpened().show, os::sw::shownormal);
    EXPECT_EQ(LastOpened().owner, app.Handle());
    Send(L"openSponsorURL", L"http://sponsor.example/offer");
    EXPECT_EQ(LastOpened().file, "http://sponsor.example/offer");
    Send(L"openURL", L"C:\\Windows\\System32\\calc.exe");
    Send(L"openSponsorURL", L"file:///C:/Windows/notepad.exe");
    EXPECT_EQ(desktop.shell.Executed().size(), 2u) << "non-web addresses are not opened";
}

TEST_F(LinksTest, AnEmptyIdentifierStillAddsTheParameter)
{
    tick->UserId.clear();
    Send(L"openURL", L"http://news.example/");
    EXPECT_EQ(LastOpened().file, "http://news.example/?tid=");
}

TEST_F(LinksTest, HelpOpensTheOnlinePageWhenConnectedEvenWithALocalCopy)
{
    desktop.registry.PutString(os::RegRoot::currentUser, Key, "InstallPath", "C:\\Norvale");
    desktop.process.AddFile("C:\\Norvale\\help.htm");
    Choose("&Help");
    EXPECT_EQ(LastOpened().file, ContentBaseUrl() + "help.htm");
}

TEST_F(LinksTest, HelpOfflineOpensTheInstalledPageOrSaysItIsMissing)
{
    desktop.internet.SetConnected(false);
    desktop.registry.PutString(os::RegRoot::currentUser, Key, "InstallPath", "C:\\Norvale");
    desktop.process.AddFile("C:\\Norvale\\help.htm");
    Choose("&Help");
    EXPECT_EQ(LastOpened().file, "C:\\Norvale\\help.htm");

    desktop.registry.PutString(os::RegRoot::currentUser, Key, "InstallPath", "C:\\Elsewhere");
    desktop.process.AddFolder("C:\\Elsewhere\\help.htm"); // a folder of that name is no help file
    Choose("&Help");
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 1u);
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].text, "Sorry, cannot find the help file");
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].caption, "Norvale Desktop Ticker");
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].flags, os::mb::ok | os::mb::iconerror);

    desktop.registry.PutDword(os::RegRoot::currentUser, Key, "InstallPath", 3);
    Choose("&Help");
    EXPECT_EQ(desktop.windows.MessageBoxes().size(), 2u) << "no installation folder: the box again";
    EXPECT_EQ(desktop.shell.Executed().size(), 1u);
}

TEST_F(LinksTest, TheAboutBoxShowsItsPictureAndAClickAnywhereClosesIt)
{
    TAboutForm about(app);
    tick->AboutForm = &about;
    Choose("&About the Norvale Desktop Ticker");
    const os::Hwnd h = about.Handle();
    EXPECT_TRUE(desktop.windows.IsWindowVisible(h));
    EXPECT_TRUE(desktop.windows.IsTopmost(h));
    EXPECT_EQ(desktop.windows.GetClientRect(h), (os::Rect{ 0, 0, 320, 110 }));
    EXPECT_EQ(about.Left(), (1280 - 320) / 2);
    EXPECT_EQ(about.Image1.Picture().width, 322);
    EXPECT_EQ(about.Image1.Picture().height, 112);
    const auto& ops = desktop.windows.LastPaint(h);
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops.back().text, "ABOUT");
    EXPECT_EQ(ops.back().rect, os::Rect::FromBounds(-1, -1, 322, 112));

    for (os::Point p : { os::Point{ 0, 0 }, os::Point{ 160, 55 }, os::Point{ 319, 109 } })
    {
        Choose("&About the Norvale Desktop Ticker");
        EXPECT_TRUE(desktop.windows.IsWindowVisible(h));
        desktop.windows.Click(desktop.windows.ClientToScreen(h, p));
        EXPECT_FALSE(desktop.windows.IsWindowVisible(h)) << p.x << "," << p.y;
        EXPECT_TRUE(desktop.windows.IsWindow(h)) << "hidden, not destroyed";
    }
    tick->AboutForm = nullptr;
}

TEST_F(LinksTest, LaunchAtStartupAndExitAnswerFromTheMenu)
{
    const std::string runPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    ASSERT_TRUE(tick->LaunchatStartup1.Checked());
    Choose("&Launch at startup");
    EXPECT_FALSE(tick->LaunchatStartup1.Checked());
    EXPECT_FALSE(desktop.registry.Get(os::RegRoot::currentUser, runPath, "Norvale Desktop Ticker"));
    Choose("&Launch at startup");
    EXPECT_TRUE(tick->LaunchatStartup1.Checked());
    EXPECT_TRUE(desktop.registry.Get(os::RegRoot::currentUser, runPath, "Norvale Desktop Ticker"));
    Choose("E&xit");
    EXPECT_FALSE(desktop.shell.TrayIcon(tick->Handle(), TrayIconId).has_value());
    EXPECT_TRUE(desktop.windows.QuitPosted());
}

TEST_F(LinksTest, OnlyWebAddressesLeaveThroughTheBrowserAndTheFetcher)
{
    // Whatever asks: the strip's own callers reach the same doors as the movie.
    tick->OpenURL("file:///C:/Windows/notepad.exe", false);
    tick->OpenURL("\\\\server\\share\\x.htm", true);
    EXPECT_TRUE(desktop.shell.Executed().empty());

    // The downloads would read a local file; the fetches never ask them to.
    desktop.downloads.AddFile("C:\\secret.txt", "secret");
    for (const char* local : { "file:///C:/secret.txt", "C:\\secret.txt" })
    {
        tick->GetFlashChannel(local);
        tick->GetFlashSponsor(std::string(local) + " " + local);
    }
    desktop.Advance(100);
    EXPECT_TRUE(desktop.downloads.Requests().empty()) << "no request for a local file";
}

TEST(AboutPicture, TheArtworkDecodesAndDamagedDataDoesNot)
{
    os::sim::Desktop desktop;
    testing_support::AddProgramResources(desktop.process);
    const auto bytes = desktop.process.LoadResourceData("ABOUT");
    const os::Bitmap b = forms::DecodeJpeg(bytes, "ABOUT");
    ASSERT_EQ(b.width, 322);
    ASSERT_EQ(b.height, 112);
    const std::uint32_t corner = b.pixels[static_cast<std::size_t>(111) * 322];
    EXPECT_LT((corner >> 16) & 0xFF, 40u) << "the box's dark blue";
    EXPECT_GT(corner & 0xFF, 110u);
    EXPECT_TRUE(forms::DecodeJpeg({ bytes.data(), bytes.size() / 2 }, "cut").Empty());
    auto damaged = bytes;
    for (std::size_t i = 2; i < 40 && i < damaged.size(); ++i)
        damaged[i] = 0xFF;
    EXPECT_TRUE(forms::DecodeJpeg(damaged, "damaged").Empty());
    EXPECT_TRUE(forms::DecodeJpeg({}, "none").Empty());
    const std::vector<std::uint8_t> bmp{ 'B', 'M', 0, 0, 0, 0 };
    EXPECT_TRUE(forms::DecodeJpeg(bmp, "not a jpeg").Empty());
}
