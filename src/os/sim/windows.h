// The simulated window manager: windows, the message queue, timers on the virtual
// clock, the message loop and its nested loops, menus, message boxes and the mouse.
//
// It delivers messages the way Windows does where the program's behaviour depends
// on it: SetWindowPos sends WM_WINDOWPOSCHANGING (whose WINDOWPOS a handler may
// change) and WM_WINDOWPOSCHANGED, whose default handling sends WM_MOVE and WM_SIZE;
// posted messages wait for the loop; WM_PAINT and WM_TIMER are made only when the
// queue is empty; a timer fires no earlier than its due time; message boxes and
// popup menus run a nested loop, answered by the test.
#pragma once

#include "os/os.h"
#include "os/sim/system.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace os::sim
{
    struct PaintOp
    {
        enum class Kind
        {
            fill,
            frame,
            bitmap,
            text,
            icon,
            widetext, // DrawWideText: `wide` at rect's top-left; rect is the measured extent
        };
        Kind kind = Kind::fill;
        Rect rect;
        Color color = 0;
        std::string text; // text, or the bitmap's name
        Font font;
        UINT flags = 0;
        IconHandle icon{};
        std::wstring wide;
    };

    struct MessageBoxCall
    {
        Hwnd owner{};
        std::string text;
        std::string caption;
        UINT flags = 0;
        int answer = 0;
        std::uint64_t time = 0; // virtual time when it was shown
    };

    struct MenuSnapshotItem
    {
        UINT id = 0;
        std::string text;
        bool separator = false;
        bool checked = false;
        bool enabled = true;
        bool radio = false;
        std::vector<MenuSnapshotItem> submenu;
    };

    struct PopupMenuCall
    {
        Point at;
        Hwnd owner{};
        UINT flags = 0;
        std::vector<MenuSnapshotItem> items;
        UINT chosen = 0;

        // The identifier of the item with this caption, searched through submenus; 0 if none.
        UINT IdOf(const std::string& caption) const;
        const MenuSnapshotItem* Find(const std::string& caption) const;
    };

    struct LoggedMessage
    {
        Hwnd hwnd{};
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        bool posted = false; // retrieved from the queue rather than sent
    };

    class SimWindows final : public IWindowManager
    {
      public:
        SimWindows(Clock& clock, SimSystem& system);
        ~SimWindows();

        // ---- time and the loop (test side)

        // Runs the message loop for `ms` of virtual time: pending messages first, then
        // each timer at its due time, in order. Does nothing once the quit was retrieved.
        void Advance(std::uint64_t ms);
        // Runs `ms` of virtual time as a thread sees it that was busy all along and
        // then comes back to its loop: the background work due by then is done in
        // order (its messages wait in the queue), the queue is emptied, and each
        // timer that came due fires once, as Windows keeps one WM_TIMER per timer
        // however many periods went by. Long stretches pass in few steps this way.
        void Coalesce(std::uint64_t ms);
        // Dispatches what is pending at the current time.
        void ProcessPending() { PumpMessages(); }
        // Work that the simulated machine does in the background (a download's
        // worker): run by the loop at its virtual due time, in order with the
        // timers; it may post messages. Returns an id for CancelWork.
        std::uint64_t ScheduleWork(std::uint64_t due, std::function<void()> work);
        void CancelWork(std::uint64_t id);
        std::size_t PendingWork() const { return _work.size(); }
        // The longest virtual time a RunMessageLoop may run before it gives up.
        void SetRunLimit(std::uint64_t ms) { _runLimit = ms; }
        // Virtual time that a synchronous repaint (UpdateWindow that paints) costs.
        void SetPaintCost(std::uint64_t ms) { _paintCost = ms; }
        bool QuitRetrieved() const { return _quitRetrieved; }
        bool QuitPosted() const { return _quitPosted || _quitRetrieved; }
        int ExitCode() const { return _exitCode; }
        int ModalDepth() const { return _modalDepth; }

        // ---- answers to modal UI (test side)

        // Called inside the message box's nested loop; may advance time. Without
        // one, a box is answered with OK, No or Cancel.
        std::function<int(const MessageBoxCall&)> onMessageBox;
        // Window creation fails (Create answers 0) for the windows this picks.
        std::function<bool(const WindowParams&)> failCreate;
        // Returns the chosen identifier, 0 to dismiss; may advance time.
        std::function<UINT(const PopupMenuCall&)> onPopupMenu;
        const std::vector<MessageBoxCall>& MessageBoxes() const { return _boxes; }
        const std::vector<PopupMenuCall>& PopupMenus() const { return _menus; }

        // ---- input (test side). Points are in screen coordinates.

        void MouseMove(Point p);
        void MouseDown(Point p, int button = vk::lbutton);
        void MouseUp(Point p, int button = vk::lbutton);
        void Click(Point p, int button = vk::lbutton);
        void KeyPress(int vk);
        Hwnd WindowFromPoint(Point p) const;
        // The window that asked for WM_MOUSELEAVE and has not had it yet.
        Hwnd MouseLeaveTracked() const { return _tracking; }

        // A user's move or size loop that the next press on a caption or sizing
        // border runs: the pointer goes through `path`, with Ctrl down or up as each
        // step says, then the button is released.
        struct DragStep
        {
            Point pointer;
            bool ctrl = false;
        };
        void ScriptDrag(std::vector<DragStep> path) { _dragPath = std::move(path); }
        // A desktop compositor (the default, as Windows' usual desktop and Wine paint a
        // window wholly under another); without one such a window gets no WM_PAINT.
        void SetCompositing(bool on) { _compositing = on; }

        // ---- what happened (test side)

        std::vector<Hwnd> TopLevelWindows() const;     // z-order, topmost first
        std::vector<Hwnd> Children(Hwnd parent) const; // z-order, top first
        std::string ClassName(Hwnd hwnd) const;
        Hwnd Parent(Hwnd hwnd) const;
        DWORD ExStyle(Hwnd hwnd) const; // the extended style it was made with
        Hwnd Owner(Hwnd hwnd) const;
        const std::vector<PaintOp>& LastPaint(Hwnd hwnd) const;
        int PaintCount(Hwnd hwnd) const;
        bool IsInvalid(Hwnd hwnd) const;
        CursorHandle CurrentCursor() const { return _cursor; }
        bool ButtonChecked(Hwnd hwnd) const;
        // The font last given to a window with SetFont.
        Font FontOf(Hwnd hwnd) const;
        std::vector<UINT> SystemMenuCommands(Hwnd hwnd) const;
        std::size_t TimerCount() const { return _timers.size(); }
        std::size_t WindowCount() const { return _windows.size(); }
        std::size_t LiveMenus() const { return _menuItems.size(); }
        const std::vector<LoggedMessage>& MessageLog() const { return _log; }
        void ClearMessageLog() { _log.clear(); }
        // Messages of one kind sent or posted to hwnd since the log was cleared.
        int CountMessages(Hwnd hwnd, UINT message) const;

        // Accessibility: the content a window answers WM_GETOBJECT with, and the
        // events NotifyWinEvent raised (with the virtual time of each).
        IAccessibleContent* AccessibleOf(Hwnd hwnd) const;
        struct WinEvent
        {
            DWORD event = 0;
            Hwnd hwnd{};
            long idObject = 0;
            long idChild = 0;
            std::uint64_t at = 0;
        };
        const std::vector<WinEvent>& WinEvents() const { return _winEvents; }
        void ClearWinEvents() { _winEvents.clear(); }

        // The session and the display: each window that asked hears of a change,
        // as Windows tells them (Desktop::LockSession and Desktop::SetDisplayState
        // also deliver what waits).
        void SessionChanged(bool locked);
        void DisplayStateChanged(LPARAM state);
        bool HearsSession(Hwnd hwnd) const;
        bool HearsDisplayState(Hwnd hwnd) const;
        // A system setting changed (SPI_SET... in wParam): every top-level window
        // is sent WM_SETTINGCHANGE.
        void SettingChanged(UINT spi);

        // The monitors or their DPIs changed (Desktop::ChangeMonitorDpi): every
        // top-level window whose monitor now has another DPI is sent WM_DPICHANGED.
        void MonitorsChanged();

        // Built-in pointer shapes handed out by LoadSystemCursor: the idc:: value.
        static int CursorId(CursorHandle c) { return static_cast<int>(c); }

        // ---- IWindowManager

        Hwnd Create(const WindowParams& params, IWindowProcedure* proc) override;
        bool Destroy(Hwnd hwnd) override;
        bool IsWindow(Hwnd hwnd) override;
        LRESULT DefaultProc(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
        bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy, UINT flags) override;
        bool ShowWindow(Hwnd hwnd, int cmd) override;
        bool IsWindowVisible(Hwnd hwnd) override;
        bool IsWhollyCovered(Hwnd hwnd) override;
        bool EnableWindow(Hwnd hwnd, bool enable) override;
        bool IsWindowEnabled(Hwnd hwnd) override;
        Rect GetWindowRect(Hwnd hwnd) override;
        Rect GetClientRect(Hwnd hwnd) override;
        Point ClientToScreen(Hwnd hwnd, Point p) override;
        Point ScreenToClient(Hwnd hwnd, Point p) override;
        Rect AdjustWindowRectEx(Rect client, DWORD style, DWORD exStyle) override;
        DWORD GetStyle(Hwnd hwnd) override;
        void SetStyle(Hwnd hwnd, DWORD style) override;
        bool IsTopmost(Hwnd hwnd) override;
        void SetText(Hwnd hwnd, const std::string& text) override;
        std::string GetText(Hwnd hwnd) override;
        void SetFont(Hwnd hwnd, const Font& font) override;
        void SetIcon(Hwnd hwnd, IconHandle icon) override;
        Hwnd SetFocus(Hwnd hwnd) override;
        Hwnd GetFocus() override { return _focus; }
        bool SetForegroundWindow(Hwnd hwnd) override;
        Hwnd GetForegroundWindow() override { return _active; }
        Hwnd GetActiveWindow() override { return _active; }
        void InvalidateRect(Hwnd hwnd, const Rect* r) override;
        void UpdateWindow(Hwnd hwnd) override;
        void Paint(Hwnd hwnd, const std::function<void(ICanvas&)>& paint) override;
        void PaintNow(Hwnd hwnd, const std::function<void(ICanvas&)>& paint) override;
        // The picture keeps the drawing; a paint that shows it records that drawing,
        // moved to its place, as if it were drawn there.
        Bitmap Render(Size size, const std::function<void(ICanvas&)>& paint) override;
        int RenderCount() const { return _renders; }
        // A deterministic font: every UTF-16 unit is half the character height wide
        // (rounded up, one more when bold), and a line is the character height tall
        // (11 pixels for a height of 0).
        Size MeasureText(const std::wstring& text, const Font& f) override;
        bool TrackMouseLeave(Hwnd hwnd) override;

        LRESULT Send(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
        bool Post(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
        UINT RegisterMessage(const std::string& name) override;
        void SetMessageFilter(IMessageFilter* filter) override { _filter = filter; }
        int RunMessageLoop() override;
        bool PumpMessages() override;
        void PostQuitMessage(int exitCode) override;

        bool SetTimer(Hwnd hwnd, std::uintptr_t id, UINT elapse) override;
        bool KillTimer(Hwnd hwnd, std::uintptr_t id) override;

        MenuHandle CreatePopupMenu() override;
        bool AppendMenuItem(MenuHandle menu, const MenuItemParams& item) override;
        bool DestroyMenu(MenuHandle menu) override;
        UINT TrackPopupMenu(MenuHandle menu, UINT flags, Point at, Hwnd owner) override;
        MenuHandle GetSystemMenu(Hwnd hwnd, bool revert) override;
        bool DeleteMenu(MenuHandle menu, UINT item, UINT flags) override;

        int ShowMessageBox(Hwnd owner, const std::string& text, const std::string& caption, UINT flags) override;

        CursorHandle LoadSystemCursor(int idc) override { return static_cast<CursorHandle>(idc); }
        void SetCursor(CursorHandle cursor) override { _cursor = cursor; }
        IconHandle LoadSystemIcon(int idi) override { return static_cast<IconHandle>(idi); }
        IconHandle LoadAppIcon(int size) override { return static_cast<IconHandle>(0x1000 + size); }
        int GetDpiForWindow(Hwnd hwnd) override;
        void SetAccessible(Hwnd hwnd, IAccessibleContent* content) override;
        void NotifyWinEvent(DWORD event, Hwnd hwnd, long idObject, long idChild) override;
        bool RegisterSessionNotification(Hwnd hwnd) override;
        void UnregisterSessionNotification(Hwnd hwnd) override;
        bool RegisterDisplayStateNotification(Hwnd hwnd) override;
        void UnregisterDisplayStateNotification(Hwnd hwnd) override;

      private:
        enum class Builtin
        {
            none,
            button,
            edit,
        };
        struct Window
        {
            Hwnd hwnd{};
            std::string className;
            std::string text;
            DWORD style = 0;
            DWORD exStyle = 0;
            Rect rect; // screen coordinates, or the parent's client coordinates for a child
            Hwnd parent{};
            Hwnd owner{};
            int controlId = 0;
            bool doubleClicks = false;
            IWindowProcedure* proc = nullptr;
            Builtin builtin = Builtin::none;
            bool invalid = false;
            int paintCount = 0;
            std::vector<PaintOp> lastPaint;
            Font font;
            IconHandle icon{};
            bool checked = false;
            bool pressed = false;
            bool destroying = false;
            bool needSize = false;      // WM_SIZE and WM_MOVE wait for the first showing
            std::vector<Hwnd> children; // top first
            MenuHandle systemMenu{};
            int dpi = 0; // a top-level window's; 0 for a child, which has its parent's
            IAccessibleContent* accessible = nullptr;
            bool hearsSession = false;
            bool hearsDisplay = false;
        };
        struct Timer
        {
            Hwnd hwnd{};
            std::uintptr_t id = 0;
            UINT elapse = 0;
            std::uint64_t due = 0;
            std::uint64_t seq = 0;
        };

        Window* Find(Hwnd hwnd) const;
        Window& Get(Hwnd hwnd) const; // throws for a window that does not exist
        Rect Insets(DWORD style, DWORD exStyle) const;
        Rect ScreenRect(const Window& w) const;
        Point ClientOrigin(const Window& w) const;
        Hwnd TopLevelOf(Hwnd hwnd) const;
        bool Visible(const Window& w) const; // itself and every ancestor
        bool Covered(const Window& w) const; // wholly under a top-level window, without a compositor
        bool WhollyCovered(const Window& w) const;
        void Activate(Hwnd top, int how);
        void PlaceInZOrder(Window& w, Hwnd insertAfter);
        LRESULT Dispatch(const Msg& msg, bool posted);
        LRESULT BuiltinProc(Window& w, UINT msg, WPARAM wParam, LPARAM lParam);
        int DefaultHitTest(const Window& w, Point screen) const;
        void RunMoveSizeLoop(Hwnd hwnd, int hit);
        void DestroyTree(Hwnd hwnd);
        void SendDestroy(Hwnd hwnd);
        void Discard(Hwnd hwnd);                 // WM_NCDESTROY and the end of the window
        Point MoveOrigin(const Window& w) const; // what WM_MOVE reports
        void SendSizeAndMove(Hwnd hwnd);
        // After a top-level window moved or its monitor changed: a window of a
        // program aware of each monitor whose monitor now has another DPI takes it
        // and is sent WM_DPICHANGED with the rectangle Windows suggests.
        void FollowMonitorDpi(Hwnd hwnd);
        bool RetrieveOne(); // dispatches one message; false when nothing is pending
        std::optional<std::size_t> NextTimer(std::uint64_t limit) const;
        void FireTimer(std::size_t index);
        // Fires the earliest timer or work due no later than `limit`, moving the
        // clock to its due time; false when nothing is due by then.
        bool FireNextDue(std::uint64_t limit);
        void LeaveTracked(Point screen);
        std::vector<MenuSnapshotItem> Snapshot(MenuHandle menu) const;

        Clock& _clock;
        SimSystem& _system;
        std::map<Hwnd, std::unique_ptr<Window>> _windows;
        std::vector<Hwnd> _zorder; // top-level windows, topmost band first
        std::intptr_t _nextHandle = 0x10010;
        std::deque<Msg> _queue;
        std::vector<Timer> _timers;
        std::vector<WinEvent> _winEvents;
        int _renders = 0;
        bool _compositing = true;
        LPARAM _displayState = displaystate::on;
        struct Work
        {
            std::uint64_t id = 0;
            std::uint64_t due = 0;
            std::uint64_t seq = 0;
            std::function<void()> run;
        };
        std::vector<Work> _work;
        const Work* NextWork(std::uint64_t limit) const; // the earliest due no later than limit
        void RunWork(const Work& work);                  // at its due time, gone from the list
        std::uint64_t _nextWork = 1;
        Hwnd _tracking{};
        std::uint64_t _timerSeq = 0;
        IMessageFilter* _filter = nullptr;
        bool _quitPosted = false;
        bool _quitRetrieved = false;
        int _exitCode = 0;
        std::uint64_t _runLimit = 600'000;
        std::uint64_t _paintCost = 15;
        int _modalDepth = 0;
        Hwnd _active{};
        Hwnd _focus{};
        Hwnd _capture{};
        Hwnd _lastClickWindow{};
        std::uint64_t _lastClickTime = 0;
        CursorHandle _cursor{};
        std::map<std::string, UINT> _registered;
        std::map<MenuHandle, std::vector<MenuItemParams>> _menuItems;
        std::intptr_t _nextMenu = 0x20010;
        std::vector<MessageBoxCall> _boxes;
        std::vector<PopupMenuCall> _menus;
        std::vector<LoggedMessage> _log;
        std::vector<DragStep> _dragPath;
        int _dragButton = vk::lbutton; // the physical button of the last primary press
    };
} // namespace os::sim
