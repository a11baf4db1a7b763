// Windows and their messages under the real window manager: creation, SetWindowPos,
// destruction, classes, system controls, text and styles.
#include "os/win32/backend.h"
#include "os/win32/common.h"
#include "os/win32/user32.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <memory>

namespace os::win32::test
{
    namespace
    {
        class WindowsTest : public ::testing::Test
        {
          protected:
            void TearDown() override
            {
                for (Hwnd h : _made)
                    if (wm.IsWindow(h))
                        wm.Destroy(h);
                wm.PumpMessages();
            }

            Hwnd Make(const std::string& className, DWORD style, const Rect& bounds, IWindowProcedure* proc, Hwnd parent = {},
                      DWORD exStyle = 0, int id = 0, bool doubleClicks = false)
            {
                WindowParams request;
                request.className = className;
                request.text = className;
                request.style = style;
                request.exStyle = exStyle;
                request.bounds = bounds;
                request.parent = parent;
                request.controlId = id;
                request.doubleClicks = doubleClicks;
                Hwnd h = wm.Create(request, proc);
                if (h != Hwnd{})
                    _made.push_back(h);
                return h;
            }

            std::unique_ptr<Backend> backend = CreateBackend();
            IWindowManager& wm = backend->Os().windows;
            Recorder rec{ wm };

          private:
            std::vector<Hwnd> _made;
        };

        const std::set<UINT> kPositionMessages = { WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE };
    } // namespace

    TEST_F(WindowsTest, CreationSendsNcCreateCreateThenSizeAndMove)
    {
        const Hwnd hwnd = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(40, 50, 200, 100), &rec);
        ASSERT_NE(hwnd, Hwnd{});

        EXPECT_EQ(Names(rec.Sequence({ WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE })), "NCCREATE CREATE SIZE MOVE")
            << rec.Describe();
        // The procedure sees WM_NCCREATE first: nothing reaches it before.
        ASSERT_FALSE(rec.Log().empty());
        EXPECT_EQ(rec.Log().front().message, static_cast<UINT>(WM_NCCREATE)) << rec.Describe();
        // The window reached its procedure under the handle that Create returned.
        EXPECT_EQ(rec.Log().front().hwnd, hwnd);
        // WM_SIZE carries the client size, WM_MOVE the client origin on the screen.
        const Logged* size = rec.Find(WM_SIZE).at(0);
        EXPECT_EQ(size->wParam, static_cast<WPARAM>(SIZE_RESTORED));
        EXPECT_EQ(PointFromLParam(size->lParam), (Point{ 200, 100 }));
        EXPECT_EQ(PointFromLParam(rec.Find(WM_MOVE).at(0)->lParam), (Point{ 40, 50 }));
        EXPECT_EQ(wm.GetWindowRect(hwnd), Rect::FromBounds(40, 50, 200, 100));
        EXPECT_FALSE(wm.IsWindowVisible(hwnd));
    }

    TEST_F(WindowsTest, ProcedureThatFailsCreateFailsTheWindow)
    {
        rec.handlers[WM_CREATE] = [](Hwnd, WPARAM, LPARAM) -> std::optional<LRESULT>
        {
            return -1;
        };
        EXPECT_EQ(Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(0, 0, 10, 10), &rec), Hwnd{});
        ASSERT_FALSE(rec.Log().empty());
        // The procedure still hears WM_NCDESTROY last (Wine sends no WM_DESTROY here),
        // and no WM_SIZE or WM_MOVE.
        EXPECT_EQ(rec.Log().back().message, static_cast<UINT>(WM_NCDESTROY)) << rec.Describe();
        EXPECT_EQ(rec.Count(WM_SIZE) + rec.Count(WM_MOVE), 0) << rec.Describe();
        EXPECT_FALSE(wm.IsWindow(rec.Log().back().hwnd));
    }

    TEST_F(WindowsTest, OverlappedWindowGetsSizeAndMoveWhenFirstShownNotAtCreation)
    {
        const Hwnd hwnd = Make("NorvaleTestFrame", WS_OVERLAPPED | WS_CAPTION, Rect::FromBounds(40, 50, 200, 100), &rec);
        ASSERT_NE(hwnd, Hwnd{});
        EXPECT_EQ(Names(rec.Sequence({ WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE })), "NCCREATE CREATE") << rec.Describe();
        rec.Clear();

        wm.ShowWindow(hwnd, SW_SHOWNA);

        EXPECT_EQ(Names(rec.Sequence({ WM_SIZE, WM_MOVE })), "SIZE MOVE") << rec.Describe();
        const Rect client = wm.GetClientRect(hwnd);
        EXPECT_EQ(PointFromLParam(rec.Find(WM_SIZE).at(0)->lParam), (Point{ client.right, client.bottom }));
        EXPECT_EQ(PointFromLParam(rec.Find(WM_MOVE).at(0)->lParam), wm.ClientToScreen(hwnd, { 0, 0 }));
    }

    TEST_F(WindowsTest, SetWindowPosSendsChangingChangedThenMoveAndSize)
    {
        const Hwnd hwnd = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(10, 20, 100, 80), &rec);
        ASSERT_NE(hwnd, Hwnd{});
        rec.Clear();

        ASSERT_TRUE(wm.SetWindowPos(hwnd, Hwnd{}, 120, 130, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE));

        EXPECT_EQ(Names(rec.Sequence(kPositionMessages)), "WINDOWPOSCHANGING WINDOWPOSCHANGED MOVE SIZE") << rec.Describe();
        const Logged* changing = rec.Find(WM_WINDOWPOSCHANGING).at(0);
        EXPECT_EQ(changing->pos.hwnd, hwnd);
        EXPECT_EQ((Rect::FromBounds(changing->pos.x, changing->pos.y, changing->pos.cx, changing->pos.cy)),
                  Rect::FromBounds(120, 130, 300, 200));
        EXPECT_EQ(changing->pos.flags & (SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE),
                  static_cast<UINT>(SWP_NOZORDER | SWP_NOACTIVATE));
        const Logged* changed = rec.Find(WM_WINDOWPOSCHANGED).at(0);
        EXPECT_EQ((Rect::FromBounds(changed->pos.x, changed->pos.y, changed->pos.cx, changed->pos.cy)),
                  Rect::FromBounds(120, 130, 300, 200));
        EXPECT_EQ(changed->pos.flags & (SWP_NOMOVE | SWP_NOSIZE), 0u);
        EXPECT_EQ(PointFromLParam(rec.Find(WM_MOVE).at(0)->lParam), (Point{ 120, 130 }));
        EXPECT_EQ(PointFromLParam(rec.Find(WM_SIZE).at(0)->lParam), (Point{ 300, 200 }));
        EXPECT_EQ(wm.GetWindowRect(hwnd), Rect::FromBounds(120, 130, 300, 200));
    }

    TEST_F(WindowsTest, MoveOnlyAndSizeOnlyChangesSendOnlyTheirMessage)
    {
        const Hwnd hwnd = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(10, 20, 100, 80), &rec);
        ASSERT_NE(hwnd, Hwnd{});

        rec.Clear();
        wm.SetWindowPos(hwnd, Hwnd{}, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(Names(rec.Sequence(kPositionMessages)), "WINDOWPOSCHANGING WINDOWPOSCHANGED MOVE") << rec.Describe();

        rec.Clear();
        wm.SetWindowPos(hwnd, Hwnd{}, 0, 0, 150, 90, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(Names(rec.Sequence(kPositionMessages)), "WINDOWPOSCHANGING WINDOWPOSCHANGED SIZE") << rec.Describe();

        // The same size given again without SWP_NOSIZE: Windows marks it unchanged.
        rec.Clear();
        wm.SetWindowPos(hwnd, Hwnd{}, 60, 40, 150, 90, SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(Names(rec.Sequence(kPositionMessages)), "WINDOWPOSCHANGING WINDOWPOSCHANGED MOVE") << rec.Describe();
        ASSERT_EQ(rec.Count(WM_WINDOWPOSCHANGED), 1);
        EXPECT_NE(rec.Find(WM_WINDOWPOSCHANGED).at(0)->pos.flags & SWP_NOSIZE, 0u);
    }

    TEST_F(WindowsTest, WindowPosChangingCarriesTheCallersFlagsAndChangedWhatHappened)
    {
        const Hwnd hwnd = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(10, 20, 100, 80), &rec);
        ASSERT_NE(hwnd, Hwnd{});
        rec.Clear();

        // Same place, new size, and no SWP_NOMOVE given.
        wm.SetWindowPos(hwnd, Hwnd{}, 10, 20, 150, 90, SWP_NOZORDER | SWP_NOACTIVATE);

        ASSERT_EQ(rec.Count(WM_WINDOWPOSCHANGING), 1);
        ASSERT_EQ(rec.Count(WM_WINDOWPOSCHANGED), 1);
        EXPECT_EQ(rec.Find(WM_WINDOWPOSCHANGING)[0]->pos.flags & SWP_NOMOVE, 0u);
        EXPECT_NE(rec.Find(WM_WINDOWPOSCHANGED)[0]->pos.flags & SWP_NOMOVE, 0u);
        EXPECT_EQ(rec.Count(WM_MOVE), 0);
    }

    TEST_F(WindowsTest, ShowingActivatesBetweenChangingAndChanged)
    {
        const Hwnd hwnd = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(10, 20, 100, 80), &rec);
        ASSERT_NE(hwnd, Hwnd{});
        rec.Clear();

        wm.ShowWindow(hwnd, SW_SHOW);

        EXPECT_EQ(Names(rec.Sequence({ WM_SHOWWINDOW, WM_WINDOWPOSCHANGING, WM_ACTIVATE, WM_WINDOWPOSCHANGED })),
                  "SHOWWINDOW WINDOWPOSCHANGING ACTIVATE WINDOWPOSCHANGED")
            << rec.Describe();
        EXPECT_EQ(wm.GetActiveWindow(), hwnd);
        EXPECT_EQ(wm.GetFocus(), hwnd);
    }

    TEST_F(WindowsTest, NothingToChangeStillAsksButReportsNoChange)
    {
        const Hwnd hwnd = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(10, 20, 100, 80), &rec);
        ASSERT_NE(hwnd, Hwnd{});
        rec.Clear();

        wm.SetWindowPos(hwnd, Hwnd{}, 10, 20, 100, 80, SWP_NOZORDER | SWP_NOACTIVATE);

        EXPECT_EQ(Names(rec.Sequence(kPositionMessages)), "WINDOWPOSCHANGING") << rec.Describe();
    }

    TEST_F(WindowsTest, ChangesMadeInWindowPosChangingTakeEffect)
    {
        const Hwnd hwnd = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(10, 20, 100, 80), &rec);
        ASSERT_NE(hwnd, Hwnd{});
        rec.handlers[WM_WINDOWPOSCHANGING] = [](Hwnd, WPARAM, LPARAM lParam) -> std::optional<LRESULT>
        {
            auto* pos = reinterpret_cast<WindowPos*>(lParam);
            pos->x = 50; // the handler keeps the window at x = 50 and at most 250 wide
            if (pos->cx > 250)
                pos->cx = 250;
            return 0;
        };
        rec.Clear();

        wm.SetWindowPos(hwnd, Hwnd{}, 120, 130, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);

        EXPECT_EQ(wm.GetWindowRect(hwnd), Rect::FromBounds(50, 130, 250, 200));
        const Logged* changed = rec.Find(WM_WINDOWPOSCHANGED).at(0);
        EXPECT_EQ((Rect::FromBounds(changed->pos.x, changed->pos.y, changed->pos.cx, changed->pos.cy)),
                  Rect::FromBounds(50, 130, 250, 200));
        EXPECT_EQ(PointFromLParam(rec.Find(WM_MOVE).at(0)->lParam), (Point{ 50, 130 }));
        EXPECT_EQ(PointFromLParam(rec.Find(WM_SIZE).at(0)->lParam), (Point{ 250, 200 }));
    }

    TEST_F(WindowsTest, SizingFrameAsksForMinMaxInfoWhenTheSizeChanges)
    {
        const DWORD style = WS_POPUP | WS_THICKFRAME;
        const Hwnd hwnd = Make("NorvaleTestPopup", style, Rect::FromBounds(10, 20, 300, 200), &rec);
        ASSERT_NE(hwnd, Hwnd{});
        rec.handlers[WM_GETMINMAXINFO] = [](Hwnd, WPARAM, LPARAM lParam) -> std::optional<LRESULT>
        {
            reinterpret_cast<MinMaxInfo*>(lParam)->ptMinTrackSize = { 180, 120 };
            return 0;
        };
        rec.Clear();

        wm.SetWindowPos(hwnd, Hwnd{}, 0, 0, 50, 40, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

        EXPECT_EQ(Names(rec.Sequence({ WM_WINDOWPOSCHANGING, WM_GETMINMAXINFO, WM_WINDOWPOSCHANGED })),
                  "WINDOWPOSCHANGING GETMINMAXINFO WINDOWPOSCHANGED")
            << rec.Describe();
        EXPECT_EQ(wm.GetWindowRect(hwnd), Rect::FromBounds(10, 20, 180, 120));
    }

    TEST_F(WindowsTest, ChildMoveReportsItsClientOriginInTheParent)
    {
        Recorder parentRec{ wm };
        const Hwnd parent = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(100, 100, 300, 200), &parentRec);
        const Hwnd child = Make("NorvaleTestChild", WS_CHILD | WS_BORDER, Rect::FromBounds(10, 20, 50, 40), &rec, parent, 0, 7);
        ASSERT_NE(child, Hwnd{});

        // WM_MOVE gives the client area's origin: inside the one-pixel border.
        const int border = GetSystemMetrics(SM_CXBORDER);
        EXPECT_EQ(PointFromLParam(rec.Find(WM_MOVE).at(0)->lParam), (Point{ 10 + border, 20 + border }));
        EXPECT_EQ(GetDlgCtrlID(ToHwnd(child)), 7);
        EXPECT_EQ(GetParent(ToHwnd(child)), ToHwnd(parent));
        EXPECT_EQ(wm.GetWindowRect(child), Rect::FromBounds(110, 120, 50, 40));
        EXPECT_EQ(wm.ClientToScreen(child, { 0, 0 }), (Point{ 110 + border, 120 + border }));
        EXPECT_EQ(wm.ScreenToClient(parent, { 110, 120 }), (Point{ 10, 20 }));
    }

    TEST_F(WindowsTest, DestroySendsDestroyParentFirstAndNcDestroyChildrenFirst)
    {
        std::vector<Logged> shared;
        Recorder parentRec{ wm, &shared };
        Recorder firstRec{ wm, &shared };
        Recorder secondRec{ wm, &shared };
        const Hwnd parent = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(0, 0, 100, 100), &parentRec);
        const Hwnd first = Make("NorvaleTestChild", WS_CHILD, Rect::FromBounds(0, 0, 10, 10), &firstRec, parent, 0, 1);
        const Hwnd second = Make("NorvaleTestChild", WS_CHILD, Rect::FromBounds(0, 0, 10, 10), &secondRec, parent, 0, 2);
        ASSERT_NE(second, Hwnd{});
        // A new child goes below its older siblings.
        EXPECT_EQ(GetWindow(ToHwnd(parent), GW_CHILD), ToHwnd(first));
        EXPECT_EQ(GetWindow(ToHwnd(first), GW_HWNDNEXT), ToHwnd(second));
        shared.clear();

        ASSERT_TRUE(wm.Destroy(parent));

        std::vector<std::string> order;
        for (const Logged& m : shared)
            if (m.message == WM_DESTROY || m.message == WM_NCDESTROY)
                order.push_back(MessageName(m.message) + (m.hwnd == parent  ? "(parent)"
                                                          : m.hwnd == first ? "(first)"
                                                                            : "(second)"));
        EXPECT_EQ(order, (std::vector<std::string>{ "DESTROY(parent)", "DESTROY(first)", "DESTROY(second)", "NCDESTROY(first)",
                                                    "NCDESTROY(second)", "NCDESTROY(parent)" }));
        EXPECT_FALSE(wm.IsWindow(first));
        EXPECT_FALSE(wm.IsWindow(parent));
    }

    TEST_F(WindowsTest, ProcedureHearsEverythingUpToNcDestroy)
    {
        const Hwnd hwnd = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(0, 0, 10, 10), &rec);
        ASSERT_NE(hwnd, Hwnd{});
        ASSERT_NE(GetWindowLongPtrW(ToHwnd(hwnd), GWLP_USERDATA), 0);
        LONG_PTR dataAtNcDestroy = 0;
        rec.handlers[WM_NCDESTROY] = [&](Hwnd h, WPARAM, LPARAM) -> std::optional<LRESULT>
        {
            dataAtNcDestroy = GetWindowLongPtrW(ToHwnd(h), GWLP_USERDATA);
            return 0;
        };
        wm.Destroy(hwnd);
        EXPECT_EQ(dataAtNcDestroy, reinterpret_cast<LONG_PTR>(static_cast<IWindowProcedure*>(&rec)));
        EXPECT_EQ(rec.Log().back().message, static_cast<UINT>(WM_NCDESTROY));
    }

    TEST_F(WindowsTest, ClassesAreRegisteredPerDoubleClickChoice)
    {
        Recorder other{ wm };
        const Hwnd plain = Make("NorvaleTestClass", WS_POPUP, Rect::FromBounds(0, 0, 10, 10), &rec);
        const Hwnd clicks = Make("NorvaleTestClass", WS_POPUP, Rect::FromBounds(0, 0, 10, 10), &other, {}, 0, 0, true);
        const Hwnd again = Make("norvaletestclass", WS_POPUP, Rect::FromBounds(0, 0, 10, 10), &other);
        ASSERT_NE(plain, Hwnd{});
        ASSERT_NE(clicks, Hwnd{});
        ASSERT_NE(again, Hwnd{});

        EXPECT_EQ(GetClassLongPtrW(ToHwnd(plain), GCL_STYLE) & CS_DBLCLKS, 0);
        EXPECT_NE(GetClassLongPtrW(ToHwnd(clicks), GCL_STYLE) & CS_DBLCLKS, 0);
        wchar_t name[64] = {};
        GetClassNameW(ToHwnd(plain), name, 64);
        EXPECT_STREQ(name, L"NorvaleTestClass");
        EXPECT_EQ(GetClassLongPtrW(ToHwnd(again), GCW_ATOM), GetClassLongPtrW(ToHwnd(plain), GCW_ATOM));
        EXPECT_NE(GetClassLongPtrW(ToHwnd(clicks), GCW_ATOM), GetClassLongPtrW(ToHwnd(plain), GCW_ATOM));
        // The arrow, no background brush and the program's icon in both sizes.
        EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(ToHwnd(plain), GCLP_HCURSOR)), LoadCursorW(nullptr, IDC_ARROW));
        EXPECT_EQ(GetClassLongPtrW(ToHwnd(plain), GCLP_HBRBACKGROUND), 0);
        EXPECT_NE(GetClassLongPtrW(ToHwnd(plain), GCLP_HICON), 0);
        EXPECT_NE(GetClassLongPtrW(ToHwnd(plain), GCLP_HICONSM), 0);
    }

    TEST_F(WindowsTest, TopLevelWindowIsOwnedByItsParentWindow)
    {
        Recorder ownerRec{ wm };
        const Hwnd owner = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(0, 0, 50, 50), &ownerRec);
        const Hwnd owned = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(0, 0, 20, 20), &rec, owner);
        ASSERT_NE(owned, Hwnd{});
        EXPECT_EQ(GetWindow(ToHwnd(owned), GW_OWNER), ToHwnd(owner));
        EXPECT_EQ(GetParent(ToHwnd(owned)), ToHwnd(owner)); // GetParent answers the owner of a popup
        EXPECT_EQ(GetAncestor(ToHwnd(owned), GA_PARENT), GetDesktopWindow());
        // Destroying the owner destroys what it owns.
        wm.Destroy(owner);
        EXPECT_FALSE(wm.IsWindow(owned));
    }

    TEST_F(WindowsTest, SystemButtonNotifiesItsParentAndKeepsItsCheck)
    {
        rec.handlers[WM_COMMAND] = [](Hwnd, WPARAM, LPARAM) -> std::optional<LRESULT>
        {
            return 0;
        };
        const Hwnd parent = Make("NorvaleTestPopup", WS_POPUP | WS_VISIBLE, Rect::FromBounds(0, 0, 200, 100), &rec);
        const Hwnd box =
            Make("BUTTON", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, Rect::FromBounds(5, 5, 120, 20), nullptr, parent, 0, 42);
        const Hwnd edit = Make("Edit", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY, Rect::FromBounds(5, 30, 120, 40),
                               nullptr, parent, 0, 43);
        ASSERT_NE(box, Hwnd{});
        ASSERT_NE(edit, Hwnd{});
        wchar_t name[32] = {};
        GetClassNameW(ToHwnd(box), name, 32);
        EXPECT_EQ(_wcsicmp(name, L"Button"), 0);
        EXPECT_EQ(GetDlgCtrlID(ToHwnd(box)), 42);
        GetClassNameW(ToHwnd(edit), name, 32);
        EXPECT_EQ(_wcsicmp(name, L"Edit"), 0);
        rec.Clear();

        wm.Send(box, BM_CLICK, 0, 0);

        const auto commands = rec.Find(WM_COMMAND);
        ASSERT_EQ(commands.size(), 1u) << rec.Describe();
        EXPECT_EQ(commands[0]->wParam, MakeWParam(42, BN_CLICKED));
        EXPECT_EQ(commands[0]->lParam, static_cast<LPARAM>(box));
        EXPECT_EQ(wm.Send(box, BM_GETCHECK, 0, 0), BST_CHECKED);

        // Text goes through the ANSI code page both ways.
        wm.SetText(edit, "line one\r\nline two");
        EXPECT_EQ(wm.GetText(edit), "line one\r\nline two");
    }

    TEST_F(WindowsTest, SetFontGivesTheControlAFontOfThatFaceHeightAndWeight)
    {
        const Hwnd parent = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(0, 0, 200, 100), &rec);
        const Hwnd button = Make("button", WS_CHILD, Rect::FromBounds(0, 0, 80, 20), nullptr, parent, 0, 1);
        ASSERT_NE(button, Hwnd{});

        wm.SetFont(button, { "Arial", -13, true });

        auto font = reinterpret_cast<HFONT>(wm.Send(button, WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW lf{};
        ASSERT_EQ(GetObjectW(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
        EXPECT_STREQ(lf.lfFaceName, L"Arial");
        EXPECT_EQ(lf.lfHeight, -13);
        EXPECT_EQ(lf.lfWeight, FW_BOLD);
        // The same font again is the same GDI object.
        wm.SetFont(parent, { "Arial", -13, true });
        EXPECT_EQ(reinterpret_cast<HFONT>(wm.Send(button, WM_GETFONT, 0, 0)), font);
    }

    TEST_F(WindowsTest, TextStylesAndTopmost)
    {
        const Hwnd hwnd = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(0, 0, 50, 50), &rec);
        ASSERT_NE(hwnd, Hwnd{});

        wm.SetText(hwnd, "Norvale \xA3 ticker"); // a pound sign in the ANSI code page
        EXPECT_EQ(wm.GetText(hwnd), "Norvale \xA3 ticker");
        wchar_t wide[64] = {};
        GetWindowTextW(ToHwnd(hwnd), wide, 64);
        if (GetACP() == 1252)
        {
            EXPECT_STREQ(wide, L"Norvale \u00A3 ticker");
        }

        EXPECT_EQ(wm.GetStyle(hwnd) & WS_POPUP, static_cast<DWORD>(WS_POPUP));
        wm.SetStyle(hwnd, WS_POPUP | WS_BORDER);
        EXPECT_EQ(wm.GetStyle(hwnd) & (WS_POPUP | WS_BORDER), static_cast<DWORD>(WS_POPUP | WS_BORDER));

        EXPECT_FALSE(wm.IsTopmost(hwnd));
        wm.SetWindowPos(hwnd, hwnd_topmost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        EXPECT_TRUE(wm.IsTopmost(hwnd));
        wm.SetWindowPos(hwnd, hwnd_notopmost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        EXPECT_FALSE(wm.IsTopmost(hwnd));
    }

    // The same cases as the simulator's test of the same name.
    TEST_F(WindowsTest, OnlyOneOpaqueWindowAboveThatSpansItCoversAWindowWholly)
    {
        const Rect stripAt = Rect::FromBounds(100, 100, 703, 25);
        const Hwnd strip = Make("NorvaleTestPopup", WS_POPUP | WS_VISIBLE, stripAt, &rec);
        const Hwnd stage = Make("NorvaleTestChild", WS_CHILD | WS_VISIBLE, Rect::FromBounds(10, 0, 390, 25), &rec, strip);
        EXPECT_FALSE(wm.IsWhollyCovered(strip));
        const Hwnd cover =
            Make("NorvaleTestCover", WS_POPUP | WS_VISIBLE, Rect::FromBounds(0, 0, 900, 200), &rec, {}, WS_EX_TOPMOST);
        ASSERT_NE(cover, Hwnd{});
        EXPECT_TRUE(wm.IsWhollyCovered(strip));
        EXPECT_TRUE(wm.IsWhollyCovered(stage)) << "a child is covered with its window";
        for (const Rect bounds : { Rect::FromBounds(10, 0, 0, 25), Rect::FromBounds(10, 0, 25, 0) })
        {
            const Hwnd empty = Make("NorvaleTestChild", WS_CHILD | WS_VISIBLE, bounds, &rec, strip);
            ASSERT_NE(empty, Hwnd{});
            EXPECT_FALSE(wm.IsWhollyCovered(empty)) << "nothing of an empty window is covered";
        }
        wm.SetWindowPos(cover, Hwnd{}, 101, 0, 800, 200, SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_FALSE(wm.IsWhollyCovered(strip)) << "a column shows";
        EXPECT_TRUE(wm.IsWhollyCovered(stage));
        wm.ShowWindow(cover, SW_HIDE);
        EXPECT_FALSE(wm.IsWhollyCovered(stage)) << "hidden";
        const Hwnd layered = Make("NorvaleTestCover", WS_POPUP | WS_VISIBLE, Rect::FromBounds(0, 0, 900, 200), &rec, {},
                                  WS_EX_TOPMOST | WS_EX_LAYERED);
        SetLayeredWindowAttributes(ToHwnd(layered), 0, 128, LWA_ALPHA);
        EXPECT_FALSE(wm.IsWhollyCovered(strip)) << "a layered window lets it show through";
        wm.SetWindowPos(cover, Hwnd{}, 0, 0, 900, 200, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        EXPECT_TRUE(wm.IsWhollyCovered(strip));
        wm.SetWindowPos(strip, hwnd_topmost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        EXPECT_FALSE(wm.IsWhollyCovered(strip)) << "above its cover";
    }

    TEST_F(WindowsTest, ShowAndEnableReportThePreviousState)
    {
        const Hwnd hwnd = Make("NorvaleTestPopup", WS_POPUP, Rect::FromBounds(0, 0, 50, 50), &rec);
        ASSERT_NE(hwnd, Hwnd{});
        rec.Clear();

        EXPECT_FALSE(wm.ShowWindow(hwnd, SW_SHOWNA));
        EXPECT_TRUE(wm.IsWindowVisible(hwnd));
        EXPECT_EQ(Names(rec.Sequence({ WM_SHOWWINDOW, WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED })),
                  "SHOWWINDOW WINDOWPOSCHANGING WINDOWPOSCHANGED")
            << rec.Describe();
        EXPECT_NE(rec.Find(WM_WINDOWPOSCHANGED).at(0)->pos.flags & SWP_SHOWWINDOW, 0u);
        EXPECT_TRUE(wm.ShowWindow(hwnd, SW_HIDE));
        EXPECT_FALSE(wm.IsWindowVisible(hwnd));

        EXPECT_FALSE(wm.EnableWindow(hwnd, false)); // was enabled
        EXPECT_FALSE(wm.IsWindowEnabled(hwnd));
        EXPECT_TRUE(wm.EnableWindow(hwnd, true)); // was disabled
        EXPECT_TRUE(wm.IsWindowEnabled(hwnd));
    }

    TEST_F(WindowsTest, AdjustWindowRectAddsTheFrame)
    {
        const Rect client{ 100, 100, 300, 200 };
        EXPECT_EQ(wm.AdjustWindowRectEx(client, WS_POPUP, 0), client);
        const int border = GetSystemMetrics(SM_CXBORDER);
        EXPECT_EQ(wm.AdjustWindowRectEx(client, WS_POPUP | WS_BORDER, 0), client.Inflated(border, border));
        const Rect captioned = wm.AdjustWindowRectEx(client, WS_OVERLAPPEDWINDOW, 0);
        EXPECT_LT(captioned.top, client.top - GetSystemMetrics(SM_CYCAPTION) + 1);
    }

    TEST_F(WindowsTest, TrackedWindowHearsOneMouseLeaveWhenThePointerGoes)
    {
        const Hwnd hwnd =
            Make("NorvaleLeaveTest", WS_POPUP | WS_VISIBLE, Rect::FromBounds(100, 100, 300, 160), &rec, {}, WS_EX_TOPMOST);
        ASSERT_NE(hwnd, Hwnd{});
        auto pumpFor = [&](int ms)
        {
            const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
            while (GetTickCount64() < end)
            {
                wm.PumpMessages();
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            }
            wm.PumpMessages();
        };
        SetCursorPos(150, 130);
        pumpFor(200);
        rec.Clear();

        ASSERT_TRUE(wm.TrackMouseLeave(hwnd));
        pumpFor(300);
        EXPECT_EQ(rec.Count(WM_MOUSELEAVE), 0) << "left while the pointer stayed";
        SetCursorPos(600, 600);
        pumpFor(1200);
        EXPECT_EQ(rec.Count(WM_MOUSELEAVE), 1);

        // Asked again with the pointer already outside: told at once, and once.
        ASSERT_TRUE(wm.TrackMouseLeave(hwnd));
        pumpFor(600);
        EXPECT_EQ(rec.Count(WM_MOUSELEAVE), 2);
    }
} // namespace os::win32::test
