// The desktop toolbar in the simulated shell: registration, edges, the reserved
// space, auto-hide, z-order, the taskbar entry and the settings record.
#include "support/test_bar.h"

using namespace appbar;
using testing_support::AppBarFixture;
using testing_support::TestBar;

namespace
{
    class AppBarTest : public AppBarFixture
    {
    };
} // namespace

TEST_F(AppBarTest, ANewBarHasTheDocumentedDefaults)
{
    TAppBar bar(app, "Bar");
    EXPECT_EQ(bar.Edge(), abeFloat);
    EXPECT_EQ(bar.Flags(), AllFlags);
    EXPECT_FALSE(bar.AutoHide());
    EXPECT_TRUE(bar.AlwaysOnTop());
    EXPECT_TRUE(bar.SlideEffect());
    EXPECT_EQ(bar.SlideTime(), 400);
    EXPECT_EQ(bar.HorzSizeInc(), 1);
    EXPECT_EQ(bar.VertSizeInc(), 1);
    EXPECT_EQ(bar.HorzDockSize(), 32);
    EXPECT_EQ(bar.VertDockSize(), 32);
    EXPECT_EQ(bar.FloatLeft() | bar.FloatTop() | bar.FloatRight() | bar.FloatBottom(), 0);
    EXPECT_EQ(bar.MinWidth() | bar.MinHeight() | bar.MinVertDockSize() | bar.MinHorzDockSize(), 0);
    EXPECT_EQ(bar.MaxWidth(), 1024);
    EXPECT_EQ(bar.MaxHeight(), 768);
    EXPECT_EQ(bar.MaxVertDockSize(), 512);
    EXPECT_EQ(bar.MaxHorzDockSize(), 384);
    EXPECT_EQ(bar.TaskEntry(), abtFloatDependent);
    EXPECT_EQ(bar.RootKey(), os::RegRoot::currentUser);
    EXPECT_EQ(bar.KeyName().rfind("Software\\AppBar\\1.4\\", 0), 0u);
    EXPECT_EQ(bar.ProposedEdge(), abeUnknown);
}

TEST_F(AppBarTest, CreationRegistersATrimmedToolWindowAndTakesItsFloatOrigin)
{
    TestBar bar(app);
    bar.SetConstraints({ 350, 0, 0, 0 }); // wider than the float rectangle
    const os::Hwnd h = bar.Handle();
    EXPECT_TRUE(desktop.shell.Registered(h));
    EXPECT_EQ(bar.FloatLeft(), 100);
    EXPECT_EQ(bar.FloatTop(), 100);
    EXPECT_TRUE(desktop.windows.ExStyle(h) & os::ws_ex::toolwindow);
    EXPECT_FALSE(desktop.windows.ExStyle(h) & os::ws_ex::appwindow);
    EXPECT_FALSE(desktop.windows.GetStyle(h) & (os::ws::sysmenu | os::ws::minimizebox | os::ws::maximizebox));
    EXPECT_EQ(desktop.windows.SystemMenuCommands(h), (std::vector<os::UINT>{ os::sc::move, os::sc::size, os::sc::close }));
    ASSERT_NE(bar.AutoHideTimer(), nullptr);
    EXPECT_EQ(bar.AutoHideTimer()->Interval(), 400u);
    EXPECT_TRUE(bar.AutoHideTimer()->Enabled());
    // The posted end of a move takes the window's rectangle as the float rectangle.
    EXPECT_EQ(bar.Edge(), abeFloat);
    EXPECT_EQ(bar.FloatRight(), 400);
    desktop.windows.ProcessPending();
    EXPECT_EQ(bar.FloatRight(), 450);
    EXPECT_EQ(bar.FloatBottom(), 130);
    EXPECT_EQ(bar.changes.back(), std::make_pair(false, abeFloat));
}

TEST_F(AppBarTest, DockingReservesTheEdgeAndTheWorkAreaShrinks)
{
    TestBar bar(app);
    bar.Handle();
    desktop.windows.ProcessPending();
    bar.SetEdge(abeTop);
    EXPECT_EQ(WindowRect(bar), (os::Rect{ 0, 0, 1024, 32 }));
    EXPECT_EQ(desktop.shell.Reserved(bar.Handle()), (os::Rect{ 0, 0, 1024, 32 }));
    EXPECT_EQ(desktop.system.GetWorkArea(), (os::Rect{ 0, 32, 1024, 738 }));

    bar.SetEdge(abeBottom);
    EXPECT_EQ(WindowRect(bar), (os::Rect{ 0, 706, 1024, 738 })) << "above the taskbar";
    EXPECT_EQ(desktop.system.GetWorkArea(), (os::Rect{ 0, 0, 1024, 706 }));

    bar.SetEdge(abeLeft);
    EXPECT_EQ(WindowRect(bar), (os::Rect{ 0, 0, 32, 738 }));
    EXPECT_EQ(desktop.system.GetWorkArea(), (os::Rect{ 32, 0, 1024, 738 }));
    bar.SetEdge(abeRight);
    EXPECT_EQ(WindowRect(bar), (os::Rect{ 992, 0, 1024, 738 }));

    bar.SetEdge(abeFloat);
    EXPECT_EQ(WindowRect(bar), (os::Rect{ 100, 100, 400, 130 }));
    EXPECT_EQ(desktop.shell.Reserved(bar.Handle()), os::Rect{}) << "a floating bar reserves nothing";
    EXPECT_EQ(desktop.system.GetWorkArea(), (os::Rect{ 0, 0, 1024, 738 }));
    EXPECT_TRUE(desktop.shell.Registered(bar.Handle()));
}

TEST_F(AppBarTest, ADockedBarStartsWhereTheShellLeavesRoomAndOtherBarsFollow)
{
    desktop.shell.SetTaskbar(os::abe::top, 30);
    TestBar first(app, "First");
    first.Handle();
    first.SetEdge(abeTop);
    EXPECT_EQ(WindowRect(first), (os::Rect{ 0, 30, 1024, 62 })) << "below the taskbar, HorzDockSize high";

    TestBar second(app, "Second");
    second.SetHorzDockSize(25);
    second.SetSlideEffect(false);
    second.Handle();
    second.SetEdge(abeTop);
    EXPECT_EQ(WindowRect(second), (os::Rect{ 0, 62, 1024, 87 }));
    desktop.windows.ProcessPending();

    // The first bar leaves; the shell tells the second, which moves up and says
    // so to the shell.
    desktop.shell.ClearAppBarCalls();
    first.SetEdge(abeUnknown);
    EXPECT_FALSE(desktop.shell.Registered(first.Handle()));
    desktop.windows.ProcessPending();
    EXPECT_EQ(WindowRect(second), (os::Rect{ 0, 30, 1024, 55 }));
    EXPECT_EQ(desktop.shell.CountAppBarCalls(os::abm::windowposchanged, second.Handle()), 3)
        << "two from its window's moves, one once it has taken its new place";
}

TEST_F(AppBarTest, DockingTakesTheCaptionAwayUnlessADragOnlyProposesTheEdge)
{
    desktop.system.SetDragFullWindows(false);
    TestBar bar(app);
    bar.SetBorderStyle(forms::BorderStyle::sizeable);
    bar.Handle();
    EXPECT_FALSE(desktop.windows.GetStyle(bar.Handle()) & os::ws::caption) << "an edge set, not proposed";
    desktop.windows.SetStyle(bar.Handle(), desktop.windows.GetStyle(bar.Handle()) | os::ws::caption);
    bar.OnAppBarStateChange(true, abeTop);
    EXPECT_TRUE(desktop.windows.GetStyle(bar.Handle()) & os::ws::caption) << "only proposed, outline drag";
    desktop.system.SetDragFullWindows(true);
    bar.OnAppBarStateChange(true, abeTop);
    EXPECT_FALSE(desktop.windows.GetStyle(bar.Handle()) & os::ws::caption);
}

TEST_F(AppBarTest, WritingTheCurrentEdgeRunsTheWholeChangeAgain)
{
    TestBar bar(app);
    bar.Handle();
    bar.SetEdge(abeTop);
    desktop.shell.ClearAppBarCalls();
    bar.changes.clear();
    bar.SetEdge(abeTop);
    const os::Hwnd h = bar.Handle();
    EXPECT_EQ(desktop.shell.CountAppBarCalls(os::abm::querypos, h), 1);
    EXPECT_EQ(desktop.shell.CountAppBarCalls(os::abm::setpos, h), 1);
    EXPECT_EQ(desktop.shell.CountAppBarCalls(os::abm::activate, h), 1);
    EXPECT_EQ(desktop.shell.CountAppBarCalls(os::abm::getstate, h), 0) << "the taskbar is on top anyway";
    EXPECT_EQ(desktop.shell.CountAppBarCalls(os::abm::getautohidebar, h), 4) << "left, top, right, bottom";
    EXPECT_EQ(bar.changes, (std::vector<std::pair<bool, TAppBarEdge>>{ { false, abeTop } }));
}

TEST_F(AppBarTest, TheTaskbarIsForcedOnTopOnlyWhereTheShellCanLetItGo)
{
    // Today's shell keeps its taskbar on top: the user's auto-hide stays.
    desktop.shell.SetTaskbarState(os::abs_::autohide | os::abs_::alwaysontop);
    {
        TestBar bar(app);
        bar.Handle();
        bar.SetEdge(abeTop);
        EXPECT_EQ(desktop.shell.TaskbarState(), os::abs_::autohide | os::abs_::alwaysontop);
        EXPECT_EQ(desktop.shell.CountAppBarCalls(os::abm::setstate), 0);
    }
    // A shell that reports the state: each edge change puts the taskbar on top,
    // which switches its auto-hide off, and once on top nothing is sent.
    desktop.shell.SetClassicShell(true);
    TestBar bar(app);
    bar.Handle();
    EXPECT_EQ(desktop.shell.TaskbarState(), os::abs_::alwaysontop);
    desktop.shell.ClearAppBarCalls();
    bar.SetEdge(abeFloat);
    EXPECT_EQ(desktop.shell.CountAppBarCalls(os::abm::setstate), 0) << "nothing to change";
}

TEST_F(AppBarTest, ASecondAutoHideBarOnAnEdgeIsRefusedWithTheMessageAndDocksNormally)
{
    TestBar first(app, "First");
    first.SetAutoHide(true);
    first.Handle();
    first.SetEdge(abeBottom);
    EXPECT_EQ(desktop.shell.AutoHideBar(os::abe::bottom), first.Handle());
    EXPECT_EQ(desktop.shell.Reserved(first.Handle()), os::Rect{}) << "an auto-hide bar reserves nothing";

    TestBar second(app, "Second");
    second.SetAutoHide(true);
    second.Handle();
    desktop.windows.ProcessPending();
    second.SetEdge(abeBottom);
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 1u);
    const auto& box = desktop.windows.MessageBoxes()[0];
    EXPECT_EQ(box.text,
              "There is already an auto hidden window on this edge.\n\rOnly one auto hidden window is allowed on each edge.");
    EXPECT_EQ(box.caption, "Information");
    EXPECT_EQ(box.flags, os::mb::ok | os::mb::iconinformation);
    EXPECT_FALSE(second.AutoHide());
    EXPECT_EQ(WindowRect(second), (os::Rect{ 0, 706, 1024, 738 }));
    EXPECT_EQ(desktop.shell.Reserved(second.Handle()), (os::Rect{ 0, 706, 1024, 738 }));
}

TEST_F(AppBarTest, MovingAnAutoHideBarDropsItsOldRegistrationFirst)
{
    TestBar bar(app);
    bar.SetAutoHide(true);
    bar.Handle();
    bar.SetEdge(abeTop);
    EXPECT_EQ(desktop.shell.AutoHideBar(os::abe::top), bar.Handle());
    bar.SetEdge(abeBottom);
    EXPECT_EQ(desktop.shell.AutoHideBar(os::abe::top), os::Hwnd{});
    EXPECT_EQ(desktop.shell.AutoHideBar(os::abe::bottom), bar.Handle());
}

TEST_F(AppBarTest, AnAutoHideBarHidesAtTheEdgeAndSlidesOutUnderThePointer)
{
    TestBar bar(app);
    bar.SetAutoHide(true);
    bar.SetSlideEffect(false);
    bar.SetHorzDockSize(25);
    bar.Handle();
    bar.SetEdge(abeBottom);
    EXPECT_EQ(WindowRect(bar).top, 766) << "hidden after construction, two borders on screen";
    EXPECT_FALSE(bar.AutoHideShown());
    bar.Show();
    // The pointer over a non-client part of the hidden bar.
    desktop.windows.Post(bar.Handle(), os::wm::ncmousemove, os::ht::border, os::MakeLParam(500, 767));
    desktop.windows.ProcessPending();
    EXPECT_EQ(WindowRect(bar).top, 768 - 25);
    EXPECT_TRUE(bar.AutoHideShown());
    // The poll slides it in only once the bar is not active and the pointer has
    // left the bar and the double-click zone around it (twice the zone: 8 pixels).
    desktop.system.SetMetric(os::sm::cxdoubleclk, 4);
    desktop.system.SetMetric(os::sm::cydoubleclk, 4);
    desktop.windows.SetForegroundWindow(bar.Handle());
    desktop.windows.MouseMove({ 500, 300 });
    desktop.Advance(400);
    EXPECT_TRUE(bar.AutoHideShown()) << "the active bar stays out";
    desktop.windows.SetForegroundWindow(app.Handle());
    EXPECT_FALSE(bar.AutoHideShown()) << "deactivation slides it in";
    desktop.windows.Post(bar.Handle(), os::wm::ncmousemove, os::ht::border, os::MakeLParam(500, 767));
    desktop.windows.ProcessPending();
    desktop.windows.MouseMove({ 500, 743 - 8 });
    desktop.Advance(400);
    EXPECT_TRUE(bar.AutoHideShown()) << "inside the zone";
    desktop.windows.MouseMove({ 500, 743 - 9 });
    desktop.Advance(400);
    EXPECT_EQ(WindowRect(bar).top, 766);
    EXPECT_FALSE(bar.AutoHideShown());
}

TEST_F(AppBarTest, AFullScreenApplicationSendsATopmostBarToTheBottomUntilItCloses)
{
    TestBar bar(app);
    bar.Handle();
    bar.Show();
    EXPECT_TRUE(desktop.windows.IsTopmost(bar.Handle()));
    desktop.shell.SetFullScreenApp(true);
    desktop.windows.ProcessPending();
    EXPECT_TRUE(bar.FullScreenAppOpen());
    EXPECT_FALSE(desktop.windows.IsTopmost(bar.Handle()));
    EXPECT_EQ(desktop.windows.TopLevelWindows().back(), bar.Handle());
    desktop.shell.SetFullScreenApp(false);
    desktop.windows.ProcessPending();
    EXPECT_TRUE(desktop.windows.IsTopmost(bar.Handle()));

    bar.SetAlwaysOnTop(false);
    bar.UpdateBar();
    EXPECT_FALSE(desktop.windows.IsTopmost(bar.Handle()));
}

TEST_F(AppBarTest, TheTaskbarEntryFollowsTheEdgeOrTheChoice)
{
    TestBar bar(app);
    const os::Hwnd appWindow = app.Handle();
    bar.Handle();
    EXPECT_TRUE(desktop.windows.IsWindowVisible(appWindow)) << "floating shows the button";
    bar.SetEdge(abeTop);
    EXPECT_FALSE(desktop.windows.IsWindowVisible(appWindow)) << "docking hides it";
    bar.SetEdge(abeFloat);
    EXPECT_TRUE(desktop.windows.IsWindowVisible(appWindow));
    bar.SetEdge(abeUnknown);
    EXPECT_TRUE(desktop.windows.IsWindowVisible(appWindow)) << "leaving the shell changes nothing";
    bar.SetEdge(abeBottom);
    bar.SetEdge(abeUnknown);
    EXPECT_FALSE(desktop.windows.IsWindowVisible(appWindow)) << "not even after a docked edge";
    bar.SetTaskEntry(abtHide);
    bar.SetEdge(abeFloat);
    EXPECT_FALSE(desktop.windows.IsWindowVisible(appWindow));
    bar.SetTaskEntry(abtShow);
    bar.SetEdge(abeTop);
    EXPECT_TRUE(desktop.windows.IsWindowVisible(appWindow));
}

TEST_F(AppBarTest, DestructionLeavesTheShellAndASaveAfterwardsStoresUnknown)
{
    TestBar bar(app);
    bar.SetKeyName("Software\\Norvale\\Test");
    bar.Handle();
    const os::Hwnd h = bar.Handle();
    bar.SetEdge(abeTop);
    bar.changes.clear();
    bar.DestroyHandle();
    EXPECT_FALSE(desktop.shell.Registered(h));
    EXPECT_EQ(desktop.system.GetWorkArea(), (os::Rect{ 0, 0, 1024, 738 }));
    EXPECT_EQ(bar.changes, (std::vector<std::pair<bool, TAppBarEdge>>{ { false, abeUnknown } }));
    EXPECT_EQ(desktop.windows.TimerCount(), 0u);
    EXPECT_TRUE(bar.SaveSettings());
    const auto stored = desktop.registry.Get(os::RegRoot::currentUser, "Software\\Norvale\\Test", "");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, os::reg::binary);
    ASSERT_EQ(stored->data.size(), 84u);
    EXPECT_EQ(stored->data[4], abeUnknown);
}

TEST_F(AppBarTest, SettingsAreSavedAndLoadedByteForByte)
{
    const std::string key = "Software\\Norvale\\Test";
    TestBar saved(app, "Saved");
    saved.SetKeyName(key);
    saved.SetEdge(abeBottom);
    saved.SetHorzSizeInc(5);
    saved.SetMaxWidth(10000);
    saved.SetFloatLeft(-683);
    ASSERT_TRUE(saved.SaveSettings());
    auto bytes = desktop.registry.Get(os::RegRoot::currentUser, key, "")->data;
    bytes[8] = 7;     // slide effect: true, in a byte of its own
    bytes[10] = 0x5A; // a reserved byte written by someone else
    desktop.registry.PutBinary(os::RegRoot::currentUser, key, "", bytes);

    TestBar loaded(app, "Loaded");
    loaded.SetKeyName(key);
    ASSERT_TRUE(loaded.LoadSettings());
    EXPECT_EQ(loaded.Edge(), abeBottom);
    EXPECT_EQ(loaded.HorzSizeInc(), 5);
    EXPECT_EQ(loaded.MaxWidth(), 10000);
    EXPECT_EQ(loaded.FloatLeft(), -683);
    EXPECT_TRUE(loaded.SlideEffect());
    ASSERT_TRUE(loaded.SaveSettings());
    EXPECT_EQ(desktop.registry.Get(os::RegRoot::currentUser, key, "")->data, bytes);
    EXPECT_EQ(desktop.registry.OpenHandles(), 0u);
}

TEST_F(AppBarTest, RecordsOfTheWrongLengthTypeOrContentsLeaveEveryPropertyAlone)
{
    const std::string key = "Software\\Norvale\\Test";
    TestBar bar(app);
    bar.SetKeyName(key);
    EXPECT_FALSE(bar.LoadSettings()) << "no key";
    const auto good = ToRecord(
        []
        {
            TAppBarSettings s;
            s.edge = abeTop;
            s.horzDockSize = 25;
            return s;
        }());
    auto refused = [&](os::DWORD type, std::vector<std::uint8_t> data)
    {
        desktop.registry.Put(os::RegRoot::currentUser, key, "", { type, std::move(data) });
        const TAppBarSettings before = bar.Settings();
        const bool loaded = bar.LoadSettings();
        return !loaded && bar.Settings() == before;
    };
    std::vector<std::uint8_t> bytes(good.begin(), good.end());
    EXPECT_TRUE(refused(os::reg::binary, { bytes.begin(), bytes.end() - 1 })) << "83 bytes";
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_TRUE(refused(os::reg::binary, longer)) << "85 bytes";
    EXPECT_TRUE(refused(os::reg::sz, bytes));
    EXPECT_TRUE(refused(os::reg::expand_sz, bytes));
    EXPECT_TRUE(refused(os::reg::dword, bytes));
    auto badEdge = bytes;
    badEdge[4] = 9;
    EXPECT_TRUE(refused(os::reg::binary, badEdge));
    auto badTask = bytes;
    badTask[80] = 3;
    EXPECT_TRUE(refused(os::reg::binary, badTask));
    auto badFlags = bytes;
    badFlags[5] = 0x3F;
    EXPECT_TRUE(refused(os::reg::binary, badFlags));
    desktop.registry.PutBinary(os::RegRoot::currentUser, key, "", bytes);
    EXPECT_TRUE(bar.LoadSettings());
    EXPECT_EQ(bar.Edge(), abeTop);
    EXPECT_EQ(desktop.registry.OpenHandles(), 0u);
}

TEST_F(AppBarTest, ASaveThatCannotOpenOrWriteItsKeyReportsFailure)
{
    TestBar bar(app);
    bar.SetKeyName("Software\\Norvale\\Locked");
    desktop.registry.FailOpen(os::RegRoot::currentUser, "Software\\Norvale\\Locked");
    EXPECT_FALSE(bar.SaveSettings());
    desktop.registry.ClearFailures();
    desktop.registry.FailWrites(os::RegRoot::currentUser, "Software\\Norvale\\Locked");
    EXPECT_FALSE(bar.SaveSettings());
    EXPECT_EQ(desktop.registry.OpenHandles(), 0u);
}
