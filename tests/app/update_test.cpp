// The offer of a new version: when the prompt shows, its answers, its keys and the
// "Don't ask me this again" setting.
#include "app/update.h"
#include "support/ticker_fixture.h"

using namespace app;
using testing_support::TickerFixture;

namespace
{
    const std::string Key = "Software\\Norvale\\Vodazovovarar";
    const std::string Download = "http://content.example/setup.exe";

    class UpdateTest : public TickerFixture
    {
      protected:
        void StartWithPrompt()
        {
            Start();
            update = std::make_unique<TUpdateForm>(app);
            update->Exit1 = &tick->Exit1;
            tick->UpdateForm = update.get();
            desktop.Advance(100);
        }
        ~UpdateTest() override
        {
            if (tick)
                tick->UpdateForm = nullptr;
            update.reset();
        }
        void Offer(const std::string& url = Download)
        {
            desktop.players.RaiseFSCommand(Ticker(), L"update", testing_support::Wide(url));
            desktop.windows.ProcessPending();
        }
        bool Shown() { return update->HandleAllocated() && desktop.windows.IsWindowVisible(update->Handle()); }
        std::optional<os::sim::RegValue> DontAsk()
        {
            return desktop.registry.Get(os::RegRoot::currentUser, Key, "dontaskupdate");
        }
        void Alt(char letter)
        {
            desktop.windows.Post(desktop.windows.GetFocus(), os::wm::syskeydown, static_cast<os::WPARAM>(letter), 0);
            desktop.windows.ProcessPending();
        }
        void ForgetAnswer()
        {
            os::RegKeyHandle key{};
            ASSERT_EQ(desktop.registry.OpenKey(os::RegRoot::currentUser, Key, true, key), os::error::success);
            desktop.registry.DeleteValue(key, "dontaskupdate");
            desktop.registry.CloseKey(key);
        }
        bool Quit()
        {
            desktop.Advance(10);
            return desktop.windows.QuitRetrieved();
        }

        std::unique_ptr<TUpdateForm> update;
    };
} // namespace

TEST_F(UpdateTest, ThePromptIsADialogOfTheLaidOutShape)
{
    StartWithPrompt();
    EXPECT_FALSE(Shown()) << "hidden until offered";
    Offer();
    ASSERT_TRUE(Shown());
    const os::Hwnd h = update->Handle();
    const os::Rect client = desktop.windows.GetClientRect(h);
    EXPECT_EQ(client.Width(), 296);
    EXPECT_EQ(client.Height(), 118);
    const os::Rect frame = desktop.windows.GetWindowRect(h);
    EXPECT_EQ(frame.left + frame.right, 1280) << "centred";
    EXPECT_TRUE(desktop.windows.IsTopmost(h));
    EXPECT_EQ(desktop.windows.GetStyle(h) & (os::ws::sysmenu | os::ws::minimizebox | os::ws::maximizebox), 0u)
        << "no border icons";
    const os::Point origin = desktop.windows.ClientToScreen(h, { 0, 0 });
    auto placed = [&](forms::WinControl& c)
    {
        return desktop.windows.GetWindowRect(c.Handle()).Offset(-origin.x, -origin.y);
    };
    EXPECT_EQ(placed(update->Memo1), os::Rect::FromBounds(48, 8, 257, 49));
    EXPECT_EQ(placed(update->YesButton), os::Rect::FromBounds(48, 88, 75, 25));
    EXPECT_EQ(placed(update->NoButton), os::Rect::FromBounds(133, 88, 75, 25));
    EXPECT_EQ(placed(update->CheckBox1), os::Rect::FromBounds(48, 59, 257, 17));
    EXPECT_EQ(update->Image1.BoundsRect(), os::Rect::FromBounds(10, 10, 32, 32));
    EXPECT_EQ(desktop.windows.GetText(h), "New version available");
    EXPECT_EQ(desktop.windows.GetText(update->Memo1.Handle()),
              "A new version of the Norvale Desktop Ticker has \r\nbecome available. Would like like to download and \r\n"
              "install the new version now?");
    EXPECT_EQ(update->Image1.Icon(), desktop.windows.LoadSystemIcon(os::idi::question));
    EXPECT_FALSE(update->CheckBox1.Checked());
    desktop.windows.MouseMove(desktop.windows.ClientToScreen(update->Memo1.Handle(), { 5, 5 }));
    EXPECT_EQ(os::sim::SimWindows::CursorId(desktop.windows.CurrentCursor()), os::idc::arrow) << "no I-beam over the text";

    // Modeless: the ticker runs on, and a second offer only replaces the address.
    Offer("http://content.example/setup2.exe");
    EXPECT_EQ(update->DownloadURL, "http://content.example/setup2.exe");
    EXPECT_TRUE(tick->UpdatePromptVisible());
    EXPECT_TRUE(desktop.windows.MessageBoxes().empty());
}

TEST_F(UpdateTest, TheStoredAnswerDecidesWhetherToAsk)
{
    struct Case
    {
        const char* what;
        std::optional<os::sim::RegValue> stored;
        bool asks;
    };
    const std::vector<Case> cases{
        { "missing", std::nullopt, true },
        { "0", os::sim::RegValue{ os::reg::dword, { 0, 0, 0, 0 } }, true },
        { "1", os::sim::RegValue{ os::reg::dword, { 1, 0, 0, 0 } }, false },
        { "2", os::sim::RegValue{ os::reg::dword, { 2, 0, 0, 0 } }, false },
        { "the string 1", os::sim::RegValue{ os::reg::sz, { '1', 0 } }, true },
        { "a short dword", os::sim::RegValue{ os::reg::dword, { 1 } }, true },
    };
    StartWithPrompt();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        update->Hide();
        ForgetAnswer();
        if (c.stored)
            desktop.registry.Put(os::RegRoot::currentUser, Key, "dontaskupdate", *c.stored);
        Offer();
        EXPECT_EQ(Shown(), c.asks);
        EXPECT_TRUE(StripVisible()) << "the ticker keeps running";
    }

    // Without the settings key the user is asked, and the answer is written nowhere.
    update->Hide();
    desktop.registry.Put(os::RegRoot::currentUser, Key, "dontaskupdate", { os::reg::dword, { 1, 0, 0, 0 } });
    desktop.registry.FailOpen(os::RegRoot::currentUser, Key);
    Offer();
    ASSERT_TRUE(Shown());
    update->NoButton.Click();
    EXPECT_FALSE(Shown());
    desktop.registry.ClearFailures();
    EXPECT_EQ(DontAsk(), (os::sim::RegValue{ os::reg::dword, { 1, 0, 0, 0 } }));
    EXPECT_EQ(desktop.registry.OpenHandles(), 0u);
}

TEST_F(UpdateTest, NoStoresTheBoxAndHidesYesStoresItOpensTheDownloadAndQuits)
{
    StartWithPrompt();
    Offer();
    desktop.windows.KeyPress(os::vk::escape); // No, with the box clear
    EXPECT_FALSE(Shown());
    EXPECT_EQ(DontAsk(), (os::sim::RegValue{ os::reg::dword, { 0, 0, 0, 0 } }));
    Offer();
    ASSERT_TRUE(Shown()) << "asked again";
    update->CheckBox1.SetChecked(true);
    Alt('N');
    EXPECT_FALSE(Shown());
    EXPECT_EQ(DontAsk(), (os::sim::RegValue{ os::reg::dword, { 1, 0, 0, 0 } }));
    Offer();
    EXPECT_FALSE(Shown()) << "never asked again";
    EXPECT_TRUE(update->CheckBox1.Checked()) << "the box keeps its state";
    EXPECT_TRUE(desktop.shell.Executed().empty());
    EXPECT_FALSE(Quit());

    // Yes by Enter: the box's state, the download, and the quit sequence.
    ForgetAnswer();
    Offer();
    update->CheckBox1.SetChecked(false);
    update->CheckBox1.SetFocus(); // Enter goes to the default button
    desktop.windows.KeyPress(os::vk::return_);
    EXPECT_EQ(DontAsk(), (os::sim::RegValue{ os::reg::dword, { 0, 0, 0, 0 } }));
    ASSERT_EQ(desktop.shell.Executed().size(), 1u);
    EXPECT_EQ(desktop.shell.Executed()[0].file, Download);
    EXPECT_EQ(desktop.shell.Executed()[0].verb, "open");
    EXPECT_EQ(desktop.shell.Executed()[0].show, os::sw::shownormal);
    EXPECT_FALSE(HasTrayIcon()) << "the quit sequence ran";
    EXPECT_TRUE(Quit());
}

TEST_F(UpdateTest, YesByAltYOpensNoAddressThatIsNotAWebAddressAndStillQuits)
{
    StartWithPrompt();
    Offer("file:///C:/Windows/system32/cmd.exe");
    update->CheckBox1.SetChecked(true);
    Alt('Y');
    EXPECT_TRUE(desktop.shell.Executed().empty());
    EXPECT_EQ(DontAsk(), (os::sim::RegValue{ os::reg::dword, { 1, 0, 0, 0 } }));
    EXPECT_TRUE(Quit());
}

TEST_F(UpdateTest, TabbingIntoTheTextMovesTheFocusOnToYesAndTheTickerLeavesTheFocusAlone)
{
    StartWithPrompt();
    Offer();
    update->CheckBox1.SetFocus();
    desktop.windows.KeyPress(os::vk::tab); // wraps to the text, first in tab order
    EXPECT_TRUE(update->YesButton.Focused());
    desktop.windows.KeyPress(os::vk::tab);
    EXPECT_TRUE(update->NoButton.Focused());
    desktop.windows.KeyPress(os::vk::tab);
    EXPECT_TRUE(update->CheckBox1.Focused());
    update->NoButton.SetFocus();

    // The ticker's completion does not take the focus from the prompt.
    desktop.players.RaiseFSCommand(Ticker(), L"complete", L"success");
    desktop.Advance(50);
    EXPECT_TRUE(update->NoButton.Focused());
}
