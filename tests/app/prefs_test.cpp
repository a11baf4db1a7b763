// The preferences panel: its place next to the strip, the opening steps on the
// virtual clock, the wait for the movie, the movie's commands and the channel
// hand-over, and the snapping and attachment of the two windows.
#include "support/ticker_fixture.h"

#include <algorithm>

using namespace app;
using testing_support::TickerFixture;
using testing_support::Wide;

namespace
{
    const char* const WarningText = "Sorry, Norvale cannot download the News Preferences at present.\r\nPlease try again later.";

    class PrefsTest : public TickerFixture
    {
      protected:
        // A strip at (100, top) whose load has completed, on a work area 1050 high.
        void Ready(int top = 600)
        {
            Start();
            desktop.Advance(100);
            tick->Timer1.SetEnabled(false);
            desktop.system.SetWorkArea({ 0, 0, 1280, 1050 });
            tick->SetBounds(100, top, 703, TickerHeight);
        }
        // Shows the panel from the menu command and runs its twelve opening steps.
        void Open()
        {
            tick->SetNewsPreferences1Click();
            desktop.Advance(240);
        }
        os::sim::PlayerRecord& Movie() { return Record(prefs->prefsFlash); }
        void Send(const wchar_t* command, const wchar_t* args) { desktop.players.RaiseFSCommand(Movie(), command, args); }
        std::size_t StripControlsMade() const
        {
            const auto& all = desktop.players.All();
            return std::count_if(all.begin(), all.end(), [&](const auto& r) { return r->parent == tick->Handle(); });
        }
        // Where a forced placement puts the panel for a strip at `top`, and its side.
        std::pair<int, bool> Place(int top, bool above)
        {
            prefs->Above = above;
            tick->PositionPrefsForm(tick->Left(), top, true);
            return { prefs->Top(), prefs->Above };
        }
    };
} // namespace

TEST_F(PrefsTest, ThePanelGoesBelowWhileItFitsAndAboveOnlyWithRoomAboveAndAStripHeightMore)
{
    Ready();
    EXPECT_EQ(Place(600, false), std::make_pair(625, false));
    EXPECT_EQ(Place(600, true), std::make_pair(248, true)) << "600 - 377 is not negative: it stays above";
    EXPECT_EQ(Place(300, true), std::make_pair(325, false)) << "300 - 377 < 0";
    EXPECT_EQ(Place(377, true), std::make_pair(25, true)) << "exactly no more room than needed";
    EXPECT_EQ(Place(700, false), std::make_pair(348, true)) << "700 + 377 passes the work area's bottom";
    EXPECT_EQ(Place(673, false), std::make_pair(698, false)) << "673 + 377 reaches it exactly";
    EXPECT_EQ(Place(0, false), std::make_pair(25, false)) << "a strip docked at the top";
    desktop.system.SetWorkArea({ 0, 0, 1280, 1025 });
    EXPECT_EQ(Place(1025, false), std::make_pair(673, true)) << "docked at the bottom: the work area ends at its top";
    EXPECT_EQ(prefs->Left(), 100);

    prefs->Attached = false;
    tick->PositionPrefsForm(400, 600, false);
    EXPECT_EQ(prefs->Left(), 100) << "a detached panel stays unless forced";
    tick->PositionPrefsForm(400, 600, true);
    EXPECT_EQ(prefs->Left(), 400);
    EXPECT_TRUE(prefs->Attached);
}

TEST_F(PrefsTest, ItOpensInThirtyPixelStepsThenLoadsTheMovieAndPaintsItsFrame)
{
    Ready(700); // above: its bottom edge stays on the strip's top edge
    tick->SetNewsPreferences1Click();
    ASSERT_TRUE(prefs->Visible());
    EXPECT_EQ(prefs->ClientHeight(), 0);
    EXPECT_FALSE(prefs->prefsFlash->Visible());
    std::vector<int> heights;
    for (int tick20 = 0; tick20 < 11; ++tick20)
    {
        desktop.Advance(20);
        heights.push_back(prefs->ClientHeight());
        EXPECT_EQ(prefs->Top() + prefs->Height(), 700);
    }
    EXPECT_EQ(heights, (std::vector<int>{ 30, 60, 90, 120, 150, 180, 210, 240, 270, 300, 330 }));
    EXPECT_TRUE(Movie().Movies().empty());
    desktop.Advance(20);
    EXPECT_EQ(prefs->ClientHeight(), 352);
    EXPECT_EQ(prefs->Top(), 348);
    EXPECT_TRUE(prefs->Attached && prefs->Above);
    const std::wstring base = Wide(ContentBaseUrl());
    EXPECT_EQ(Movie().Movies(), (std::vector<std::wstring>{ base + L"faketickerstart.swf", base + L"prefs4.swf" }));
    EXPECT_EQ(Movie().Count(L"Play"), 1);
    EXPECT_TRUE(prefs->prefsFlash->Visible());
    EXPECT_EQ(prefs->prefsFlash->BoundsRect(), os::Rect::FromBounds(1, 1, 680, 350));
    EXPECT_TRUE(prefs->OpenTimer.Enabled());
    desktop.Advance(20);
    EXPECT_EQ(Movie().Movies().size(), 2u) << "the opening timer stopped";

    prefs->Repaint();
    const auto& ops = desktop.windows.LastPaint(prefs->Handle());
    EXPECT_TRUE(std::any_of(ops.begin(), ops.end(),
                            [](const os::sim::PaintOp& op)
                            {
                                return op.kind == os::sim::PaintOp::Kind::frame && op.rect == os::Rect{ 0, 0, 691, 352 } &&
                                       op.color == os::Rgb(66, 66, 66);
                            }));
    EXPECT_EQ(desktop.windows.Send(prefs->Handle(), os::wm::nchittest, 0, os::LParamFromPoint({ 400, 500 })), os::ht::caption);
}

TEST_F(PrefsTest, WithoutLoadedTheWaitCountsDotsAndGivesUpAfterTenSecondsEachTime)
{
    Ready();
    Open();
    const std::uint64_t loadBegan = desktop.Now();
    desktop.Advance(9'000);
    EXPECT_EQ(prefs->LoadLabel.Caption(), "Loading.........");
    EXPECT_TRUE(desktop.windows.MessageBoxes().empty());
    desktop.Advance(1'000);
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 1u);
    const auto box = desktop.windows.MessageBoxes()[0];
    EXPECT_EQ(box.time, loadBegan + 10'000);
    EXPECT_EQ(box.text, WarningText);
    EXPECT_EQ(box.caption, "Warning");
    EXPECT_EQ(box.flags, os::mb::ok | os::mb::iconwarning);
    EXPECT_EQ(prefs->LoadLabel.Caption(), "Could not connect");
    EXPECT_FALSE(prefs->Visible());
    EXPECT_EQ(Movie().movie, L"nomovie.swf");
    EXPECT_EQ(Movie().Count(L"Stop"), 1);
    EXPECT_EQ(Movie().Count(L"Rewind"), 1);

    Open();
    EXPECT_EQ(prefs->LoadLabel.Caption(), "Loading");
    desktop.Advance(9'999);
    EXPECT_EQ(desktop.windows.MessageBoxes().size(), 1u) << "a fresh count";
    desktop.Advance(1);
    EXPECT_EQ(desktop.windows.MessageBoxes().size(), 2u);
}

TEST_F(PrefsTest, LoadedStopsTheWaitAndHandsOverTheChannelOnceInTheExactLetterCase)
{
    Ready();
    tick->AddNewChannel("abc||Sport");
    EXPECT_TRUE(prefs->Visible());
    desktop.Advance(240);
    Send(L"Preferences", L"loaded");
    Send(L"preferences", L"LOADED");
    Send(L"preferences", L"Done");
    EXPECT_TRUE(prefs->OpenTimer.Enabled());
    EXPECT_TRUE(prefs->Visible());
    Send(L"preferences", L"loaded");
    EXPECT_FALSE(prefs->OpenTimer.Enabled());
    EXPECT_FALSE(prefs->LoadLabel.Visible());
    EXPECT_EQ(prefs->prefsFlash->BoundsRect(), os::Rect::FromBounds(1, 1, 680, 350));
    EXPECT_EQ(Movie().Count(L"DoVerb=-1"), 1) << "shown in place";
    EXPECT_EQ(Movie().variables[L"new_channel_code"], L"abc");
    EXPECT_EQ(Movie().variables[L"new_channel_name"], L"Sport");
    EXPECT_TRUE(prefs->ChannelCode.empty() && prefs->ChannelName.empty()) << "handed over once";
    desktop.Advance(20'000);
    EXPECT_TRUE(desktop.windows.MessageBoxes().empty());

    // While open and loaded a new pair waits for the next "loaded".
    tick->AddNewChannel("biz||Business");
    EXPECT_EQ(Movie().Count(L"SetVariable=new_channel_code=biz"), 0);
    prefs->SetChannelInfo("no separator");
    EXPECT_EQ(prefs->ChannelCode, "biz") << "without bars nothing changes";
    prefs->SetChannelInfo("a||b||c");
    EXPECT_EQ(prefs->ChannelName, "b||c");
    prefs->SetChannelInfo("abc||");
    EXPECT_EQ(prefs->ChannelCode, "abc");
    EXPECT_EQ(prefs->ChannelName, "");
    prefs->SetChannelInfo("||Sport");
    const int handedOver = Movie().Count(L"SetVariable=new_channel_code=abc");
    Send(L"preferences", L"loaded");
    EXPECT_EQ(Movie().Count(L"SetVariable=new_channel_code=abc"), handedOver) << "an empty code is never handed over";
    EXPECT_EQ(prefs->ChannelName, "Sport") << "nor emptied";
}

TEST_F(PrefsTest, DoneClosesAndReloadsTheTicker800msLaterCancelOnlyCloses)
{
    Ready();
    Open();
    Send(L"preferences", L"loaded");
    const std::size_t made = StripControlsMade();
    Send(L"preferences", L"done");
    EXPECT_FALSE(prefs->Visible());
    EXPECT_EQ(Movie().movie, L"nomovie.swf");
    desktop.Advance(799);
    EXPECT_EQ(StripControlsMade(), made);
    desktop.Advance(1);
    EXPECT_EQ(StripControlsMade(), made + 2) << "the ticker reloads";

    Open();
    Send(L"preferences", L"cancel");
    EXPECT_FALSE(prefs->Visible());
    desktop.Advance(2'000);
    EXPECT_EQ(StripControlsMade(), made + 2);
}

TEST_F(PrefsTest, ClosingBeforeTheMovieLoadedLeavesNoWarningBehind)
{
    Ready();
    Open();
    desktop.Advance(3'000);
    Send(L"preferences", L"cancel");
    desktop.Advance(20'000);
    EXPECT_TRUE(desktop.windows.MessageBoxes().empty()) << "the wait stopped with the panel";

    tick->SetNewsPreferences1Click();
    desktop.Advance(100);
    EXPECT_FALSE(prefs->prefsFlash->Visible()) << "the last opening's movie stays hidden while the panel opens";
    prefs->Close(); // in the middle of the opening steps
    desktop.Advance(1'000);
    EXPECT_EQ(Movie().Movies().back(), L"nomovie.swf") << "no load after the close";
}

TEST_F(PrefsTest, ThePanelSnapsIntoItsSlotFrom20AboveTo19BelowAndDetachesOutsideIt)
{
    Ready();
    Open();
    Send(L"preferences", L"loaded");
    ASSERT_EQ(prefs->BoundsRect(), os::Rect::FromBounds(100, 625, 690, 352));
    auto dropAt = [&](int left, int top)
    {
        prefs->SetBounds(left, top, prefs->Width(), prefs->Height());
        return std::make_pair(prefs->Left(), prefs->Top());
    };
    EXPECT_EQ(dropAt(119, 644), std::make_pair(100, 625));
    EXPECT_TRUE(prefs->Attached);
    EXPECT_EQ(dropAt(100, 645), std::make_pair(100, 645));
    EXPECT_FALSE(prefs->Attached);
    EXPECT_EQ(dropAt(81, 605), std::make_pair(100, 625)) << "20 above and 19 left snap";
    EXPECT_TRUE(prefs->Attached);
    EXPECT_EQ(dropAt(120, 625), std::make_pair(120, 625)) << "20 right does not";
    EXPECT_FALSE(prefs->Attached);

    // The strip that the user moves snaps into line with the detached panel, which
    // attaches it again.
    dropAt(300, 700);
    auto stripTo = [&](int left, int top)
    {
        desktop.windows.Send(tick->Handle(), os::wm::entersizemove, 0, 0);
        tick->SetBounds(left, top, tick->Width(), tick->Height());
        desktop.windows.Send(tick->Handle(), os::wm::exitsizemove, 0, 0);
        return std::make_pair(tick->Left(), tick->Top());
    };
    EXPECT_EQ(stripTo(100, 695), std::make_pair(100, 695)) << "20 below the line";
    EXPECT_FALSE(prefs->Attached);
    EXPECT_EQ(stripTo(100, 690), std::make_pair(100, 675)) << "in line, but too far left to snap sideways";
    EXPECT_FALSE(prefs->Attached);
    EXPECT_EQ(stripTo(319, 694), std::make_pair(300, 675));
    EXPECT_TRUE(prefs->Attached);
    // With the panel above, the line is the panel's bottom edge.
    dropAt(300, 100);
    EXPECT_EQ(stripTo(290, 432), std::make_pair(300, 452));
    EXPECT_TRUE(prefs->Attached && prefs->Above);
}

TEST_F(PrefsTest, ThePanelsMiddleOnTheStripsTopCountsAsAboveOnlyWhenThePanelMoved)
{
    Ready();
    Open();
    Send(L"preferences", L"loaded");
    prefs->SetBounds(500, 600 - 176, prefs->Width(), prefs->Height());
    EXPECT_TRUE(prefs->Above);
    EXPECT_FALSE(prefs->Attached);
    tick->SetLeft(90);
    EXPECT_FALSE(prefs->Above);
    prefs->SetBounds(500, 600 - 177, prefs->Width(), prefs->Height());
    tick->SetLeft(80);
    EXPECT_TRUE(prefs->Above) << "its middle a pixel above the strip's top";
    prefs->SetBounds(500, 700, prefs->Width(), prefs->Height());
    tick->SetLeft(70);
    EXPECT_FALSE(prefs->Above);
}

TEST_F(PrefsTest, AnAttachedPanelFollowsTheStripOnlyWhileThePrimaryButtonIsDown)
{
    Ready();
    Open();
    Send(L"preferences", L"loaded");
    desktop.system.SetKeyDown(os::vk::lbutton, true);
    tick->SetBounds(300, 500, tick->Width(), tick->Height());
    EXPECT_EQ(std::make_pair(prefs->Left(), prefs->Top()), std::make_pair(300, 525));
    desktop.system.SetKeyDown(os::vk::lbutton, false);
    tick->SetBounds(400, 450, tick->Width(), tick->Height());
    EXPECT_EQ(std::make_pair(prefs->Left(), prefs->Top()), std::make_pair(300, 525)) << "moves by the program leave it";
    prefs->SetBounds(700, 800, prefs->Width(), prefs->Height());
    desktop.system.SetKeyDown(os::vk::lbutton, true);
    tick->SetBounds(410, 450, tick->Width(), tick->Height());
    desktop.system.SetKeyDown(os::vk::lbutton, false);
    EXPECT_EQ(std::make_pair(prefs->Left(), prefs->Top()), std::make_pair(700, 800)) << "a detached panel stays put";

    // A resize, or the menu command, puts it back by force without a new load.
    ASSERT_FALSE(prefs->Attached);
    const std::size_t loads = Movie().Movies().size();
    tick->SetWidth(800);
    EXPECT_EQ(std::make_pair(prefs->Left(), prefs->Top()), std::make_pair(410, 475));
    prefs->SetBounds(700, 800, prefs->Width(), prefs->Height());
    tick->SetNewsPreferences1Click();
    EXPECT_EQ(std::make_pair(prefs->Left(), prefs->Top()), std::make_pair(410, 475));
    EXPECT_TRUE(prefs->Attached);
    EXPECT_EQ(prefs->ClientHeight(), 352) << "already shown: not opened again";
    EXPECT_EQ(Movie().Movies().size(), loads);
}

TEST_F(PrefsTest, WithoutAPlayerThereIsNoPanelAndItsCommandsDoNothing)
{
    desktop.players.SetCreateResult(os::hr::class_not_registered);
    Start();
    EXPECT_EQ(prefs, nullptr);
    tick->SetNewsPreferences1Click();
    tick->AddNewChannel("abc||Sport");
    EXPECT_TRUE(desktop.players.All().empty());
}

TEST_F(PrefsTest, TheProgramsOwnPlacementNeverSnapsTheStripToAPanelPulledAside)
{
    Ready();
    Open();
    Send(L"preferences", L"loaded");
    // Dragged sideways, the panel's own snap keeps it in line below the strip, detached.
    prefs->SetBounds(10, 625, prefs->Width(), prefs->Height());
    ASSERT_EQ(std::make_pair(prefs->Left(), prefs->Top()), std::make_pair(10, 625));
    ASSERT_FALSE(prefs->Attached);
    tick->DockTop1Click(tick->DockTop1);
    EXPECT_EQ(tick->BoundsRect(), os::Rect::FromBounds(0, 0, 1280, TickerHeight)) << "a docked strip fills its band";

    tick->Undocke1Click(tick->Undocke1);
    prefs->SetBounds(-15, tick->Top() + TickerHeight, prefs->Width(), prefs->Height());
    tick->DockBottom1Click(tick->DockBottom1);
    EXPECT_EQ(tick->Left(), 0);
    EXPECT_EQ(tick->Width(), 1280);

    // A panel dropped exactly 20 pixels right of its slot stays detached; a resize of
    // the strip then moves the strip nowhere.
    tick->Undocke1Click(tick->Undocke1);
    tick->SetBounds(100, 600, 703, TickerHeight);
    prefs->SetBounds(120, 625, prefs->Width(), prefs->Height());
    ASSERT_FALSE(prefs->Attached);
    tick->SetWidth(750);
    EXPECT_EQ(std::make_pair(tick->Left(), tick->Top()), std::make_pair(100, 600));
}

TEST_F(PrefsTest, WithSwappedButtonsTheAttachedPanelFollowsADragWithThePhysicalRightButton)
{
    Ready();
    Open();
    Send(L"preferences", L"loaded");
    ASSERT_TRUE(prefs->Attached);
    desktop.system.SetMetric(os::sm::swapbutton, 1);
    desktop.system.SetDragFullWindows(true);
    const os::Point grab = desktop.windows.ClientToScreen(tick->Handle(), { tick->ClientWidth() - 5, 12 }); // the grab handle
    desktop.windows.ScriptDrag({ { { grab.x + 50, grab.y - 100 } }, { { grab.x + 100, grab.y - 200 } } });
    desktop.windows.MouseDown(grab, os::vk::rbutton); // the primary button
    desktop.windows.ProcessPending();                 // the move loop, until the button goes up
    EXPECT_EQ(std::make_pair(tick->Left(), tick->Top()), std::make_pair(200, 400));
    EXPECT_EQ(std::make_pair(prefs->Left(), prefs->Top()), std::make_pair(200, 425)) << "the panel came along";
    EXPECT_TRUE(prefs->Attached);
}

TEST_F(PrefsTest, ThePanelsControlHasItsStoredSettingsAndOneItRefusesTakesNothingElse)
{
    desktop.players.FailCall(L"AllowScriptAccess", os::hr::fail); // a player without it
    Start();
    ASSERT_NE(prefs, nullptr);
    const std::vector<std::wstring> stored{ L"WMode=Window", L"Quality2=High", L"Playing=1",
                                            L"Loop=1",       L"Menu=1",        L"AllowScriptAccess=always",
                                            L"Scale=ShowAll" };
    EXPECT_EQ(Movie().calls, stored);
    // The strip's controls keep the player's defaults but for the menu.
    for (auto* control : { &tick->Flash, &tick->SponsorFlash })
        for (const std::wstring& call : Record(*control).calls)
            EXPECT_TRUE(std::find(stored.begin(), stored.end(), call) == stored.end()) << std::string(call.begin(), call.end());
}
