// The OS seam: everything the program asks of Windows, in the program's own
// vocabulary, one interface per subsystem. Two backends implement it: src/os/win32
// (thin adapters over the Win32 API) and src/os/sim (the desktop simulator that the
// tests drive). Nothing above this folder includes <windows.h>.
//
// Method names avoid the SDK's A/W macro names (CreateWindow, SendMessage, ...), so
// that a backend can include both this header and <windows.h>.
#pragma once

#include "os/types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace os
{
    // ---------------------------------------------------------------- painting (gdi32)

    struct Font
    {
        std::string face = "MS Sans Serif";
        int height = -11; // LOGFONT height: negative = character height in pixels
        bool bold = false;
        friend bool operator==(const Font&, const Font&) = default;
    };

    // The extent of a piece of text, in pixels.
    struct Size
    {
        int cx = 0;
        int cy = 0;
        friend bool operator==(const Size&, const Size&) = default;
    };

    // A picture held in memory: top-down rows of 0x00RRGGBB pixels.
    struct Bitmap
    {
        int width = 0;
        int height = 0;
        std::vector<std::uint32_t> pixels;
        std::string name; // where it came from, for traces and tests
        // What the backend that drew it keeps with it (the simulator: the drawing).
        std::shared_ptr<const void> drawing;
        bool Empty() const { return width <= 0 || height <= 0; }
    };

    // What a window paints on during WM_PAINT. Coordinates are client coordinates.
    class ICanvas
    {
      public:
        virtual void FillRect(const Rect& r, Color c) = 0;
        virtual void FrameRect(const Rect& r, Color c) = 0; // one-pixel frame inside r
        virtual void DrawBitmap(int x, int y, const Bitmap& b) = 0;
        // Text on a transparent background, with DrawText's dt:: flags.
        virtual void DrawString(const std::string& text, const Rect& r, const Font& f, Color c, UINT dtFlags) = 0;
        virtual void DrawIcon(int x, int y, IconHandle icon) = 0;
        // Wide (UTF-16) text with its top-left corner at x, y, on a transparent
        // background, in one line; what falls outside the window is clipped.
        virtual void DrawWideText(int x, int y, const std::wstring& text, const Font& f, Color c) = 0;

      protected:
        ~ICanvas() = default;
    };

    // ---------------------------------------------------------------- windows (user32)

    // A window's procedure. The framework implements it once per window object.
    class IWindowProcedure
    {
      public:
        virtual LRESULT WindowProc(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;

      protected:
        ~IWindowProcedure() = default;
    };

    // Sees every message that a message loop of the program retrieves before it is
    // dispatched (dialog keys). Returns true when it has handled the message.
    class IMessageFilter
    {
      public:
        virtual bool PreTranslateMessage(const Msg& msg) = 0;

      protected:
        ~IMessageFilter() = default;
    };

    struct WindowParams
    {
        // A class of the program (registered by the backend on first use) or one of
        // the system's control classes, "BUTTON" or "EDIT".
        std::string className;
        std::string text;
        DWORD style = 0;
        DWORD exStyle = 0;
        Rect bounds;               // screen coordinates for a top-level window, parent client for a child
        Hwnd parent{};             // owner of a top-level window, parent of a child
        int controlId = 0;         // child identifier in WM_COMMAND
        bool doubleClicks = false; // CS_DBLCLKS
    };

    // What assistive technology (a screen reader) reads of a window's client area:
    // the backend answers WM_GETOBJECT for it with an accessible object that asks
    // these, on the window's thread, each time it is read.
    class IAccessibleContent
    {
      public:
        virtual std::wstring AccessibleName() = 0;        // what the window shows now
        virtual std::wstring AccessibleValue() = 0;       // a detail of it (a link), or empty
        virtual std::wstring AccessibleDescription() = 0; // what kind of thing the window is
        virtual long AccessibleRole() = 0;                // a role:: value
        virtual std::wstring DefaultActionName() = 0;     // empty when there is no default action
        virtual bool DoDefaultAction() = 0;               // false when there was nothing to do

      protected:
        ~IAccessibleContent() = default;
    };

    struct MenuItemParams
    {
        UINT id = 0;
        std::string text;
        bool separator = false;
        bool checked = false;
        bool enabled = true;
        bool radio = false; // a check shown as a bullet
        MenuHandle submenu{};
    };

    class IWindowManager
    {
      public:
        // Windows. Create() returns 0 when the window cannot be made.
        virtual Hwnd Create(const WindowParams& params, IWindowProcedure* proc) = 0;
        virtual bool Destroy(Hwnd hwnd) = 0;
        virtual bool IsWindow(Hwnd hwnd) = 0;
        virtual LRESULT DefaultProc(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
        virtual bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy, UINT flags) = 0;
        virtual bool ShowWindow(Hwnd hwnd, int cmd) = 0; // returns whether it was visible
        virtual bool IsWindowVisible(Hwnd hwnd) = 0;
        // Whether one visible top-level window above the window's own in the z-order
        // covers all of the window's rectangle: nothing of it can be seen. A window
        // that may let what is under it show (layered, transparent to the pointer,
        // cloaked by the desktop's compositor, minimised) covers nothing.
        virtual bool IsWhollyCovered(Hwnd hwnd) = 0;
        virtual bool EnableWindow(Hwnd hwnd, bool enable) = 0;
        virtual bool IsWindowEnabled(Hwnd hwnd) = 0;
        virtual Rect GetWindowRect(Hwnd hwnd) = 0; // screen coordinates
        virtual Rect GetClientRect(Hwnd hwnd) = 0; // left and top 0
        virtual Point ClientToScreen(Hwnd hwnd, Point p) = 0;
        virtual Point ScreenToClient(Hwnd hwnd, Point p) = 0;
        virtual Rect AdjustWindowRectEx(Rect client, DWORD style, DWORD exStyle) = 0;
        virtual DWORD GetStyle(Hwnd hwnd) = 0;
        virtual void SetStyle(Hwnd hwnd, DWORD style) = 0;
        virtual bool IsTopmost(Hwnd hwnd) = 0;
        virtual void SetText(Hwnd hwnd, const std::string& text) = 0;
        virtual std::string GetText(Hwnd hwnd) = 0;
        virtual void SetFont(Hwnd hwnd, const Font& font) = 0;
        virtual void SetIcon(Hwnd hwnd, IconHandle icon) = 0;
        virtual Hwnd SetFocus(Hwnd hwnd) = 0;
        virtual Hwnd GetFocus() = 0;
        virtual bool SetForegroundWindow(Hwnd hwnd) = 0;
        virtual Hwnd GetForegroundWindow() = 0;
        virtual Hwnd GetActiveWindow() = 0;
        virtual void InvalidateRect(Hwnd hwnd, const Rect* r) = 0;
        virtual void UpdateWindow(Hwnd hwnd) = 0;
        // BeginPaint .. EndPaint around `paint`; only from a WM_PAINT handler. The
        // backend composes the whole paint off-screen and shows it at once, so a
        // window that repaints often does not flicker.
        virtual void Paint(Hwnd hwnd, const std::function<void(ICanvas&)>& paint) = 0;
        // Draws the window's whole client area now, outside WM_PAINT (through a
        // device context of the window, double-buffered): a part of it that waits for
        // a paint still gets its WM_PAINT.
        virtual void PaintNow(Hwnd hwnd, const std::function<void(ICanvas&)>& paint) = 0;
        // Draws `paint` once into a picture of this size (white first), made as the
        // screen would draw it, for a window's paint to show again and again with
        // ICanvas::DrawBitmap: a copy instead of the drawing. Empty when it cannot
        // be made (a side of 0 or above 16384 pixels, or 64 M pixels in all).
        virtual Bitmap Render(Size size, const std::function<void(ICanvas&)>& paint) = 0;
        // The extent of one line of wide text in a font, measured on the screen.
        virtual Size MeasureText(const std::wstring& text, const Font& f) = 0;
        // Asks for one WM_MOUSELEAVE when the pointer next leaves the window's client
        // area (TrackMouseEvent with TME_LEAVE).
        virtual bool TrackMouseLeave(Hwnd hwnd) = 0;

        // Messages and loops.
        virtual LRESULT Send(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
        virtual bool Post(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
        virtual UINT RegisterMessage(const std::string& name) = 0;
        virtual void SetMessageFilter(IMessageFilter* filter) = 0;
        // Retrieves and dispatches until WM_QUIT; returns its exit code.
        virtual int RunMessageLoop() = 0;
        // Dispatches what is pending now; false once WM_QUIT has been retrieved
        // (the quit is kept for the outer loop).
        virtual bool PumpMessages() = 0;
        virtual void PostQuitMessage(int exitCode) = 0;

        // Timers: WM_TIMER with wParam = id, to hwnd.
        virtual bool SetTimer(Hwnd hwnd, std::uintptr_t id, UINT elapse) = 0;
        virtual bool KillTimer(Hwnd hwnd, std::uintptr_t id) = 0;

        // Menus. TrackPopupMenu runs the menu's modal loop and, with tpm::returncmd,
        // returns the chosen identifier or 0.
        virtual MenuHandle CreatePopupMenu() = 0;
        virtual bool AppendMenuItem(MenuHandle menu, const MenuItemParams& item) = 0;
        virtual bool DestroyMenu(MenuHandle menu) = 0;
        virtual UINT TrackPopupMenu(MenuHandle menu, UINT flags, Point at, Hwnd owner) = 0;
        virtual MenuHandle GetSystemMenu(Hwnd hwnd, bool revert) = 0;
        virtual bool DeleteMenu(MenuHandle menu, UINT item, UINT flags) = 0;

        // A modal message box (mb:: flags); returns the id:: of the button.
        virtual int ShowMessageBox(Hwnd owner, const std::string& text, const std::string& caption, UINT flags) = 0;

        // Pointer shapes and icons.
        virtual CursorHandle LoadSystemCursor(int idc) = 0;
        virtual void SetCursor(CursorHandle cursor) = 0;
        virtual IconHandle LoadSystemIcon(int idi) = 0;
        virtual IconHandle LoadAppIcon(int size) = 0; // the program's own icon, size in pixels

        // The DPI the window is laid out for (GetDpiForWindow): its monitor's for a
        // program aware of each monitor, the system's where Windows has no such call.
        virtual int GetDpiForWindow(Hwnd hwnd) = 0;

        // Accessibility: `content` answers for the window's client area until it is
        // set to nullptr or the window is destroyed (an object a screen reader still
        // holds then answers that it is gone). NotifyWinEvent tells assistive
        // technology of a change (winevent:: and objid:: values).
        virtual void SetAccessible(Hwnd hwnd, IAccessibleContent* content) = 0;
        virtual void NotifyWinEvent(DWORD event, Hwnd hwnd, long idObject, long idChild) = 0;

        // The window hears wm::wtssession_change when the session is locked or
        // unlocked (WTSRegisterSessionNotification for this session); false when the
        // system cannot tell. Unregister before the window goes.
        virtual bool RegisterSessionNotification(Hwnd hwnd) = 0;
        virtual void UnregisterSessionNotification(Hwnd hwnd) = 0;
        // The window hears wm::powerbroadcast with wParam pbt::powersettingchange and
        // lParam the display's state (displaystate::) when the display goes off, on
        // or dim (RegisterPowerSettingNotification for the console's display; the
        // backend reads the state out of the system's data). Unregister before the
        // window goes.
        virtual bool RegisterDisplayStateNotification(Hwnd hwnd) = 0;
        virtual void UnregisterDisplayStateNotification(Hwnd hwnd) = 0;

      protected:
        ~IWindowManager() = default;
    };

    // ---------------------------------------------------------------- system information

    class ISystemInfo
    {
      public:
        virtual int GetSystemMetrics(int index) = 0;
        virtual Rect GetWorkArea() = 0;        // primary monitor, SPI_GETWORKAREA
        virtual bool GetDragFullWindows() = 0; // SPI_GETDRAGFULLWINDOWS
        virtual int GetLogPixelsX() = 0;       // of the screen device context
        virtual Point GetCursorPos() = 0;
        virtual Point GetMessagePos() = 0;
        virtual std::int16_t GetAsyncKeyState(int vk) = 0;
        virtual std::int16_t GetKeyState(int vk) = 0;
        virtual DWORD GetTickCount() = 0;
        virtual Color GetSysColor(int index) = 0;
        virtual std::string GetDecimalSeparator() = 0; // of the user's locale
        // The effective DPI of the monitor that holds the largest part of `r` (the
        // nearest one when none does): MonitorFromRect and GetDpiForMonitor; the
        // system DPI where Windows has no per-monitor DPI.
        virtual int GetDpiForMonitorAt(const Rect& r) = 0;
        // A system metric as it is on a display of `dpi` (GetSystemMetricsForDpi);
        // where Windows has no such call, the metric at the system DPI.
        virtual int GetSystemMetricsForDpi(int index, int dpi) = 0;
        // Windows' "Show animations" (SPI_GETCLIENTAREAANIMATION): false when the
        // user asked for less motion.
        virtual bool GetClientAreaAnimation() = 0;
        // A high-contrast theme is on (SPI_GETHIGHCONTRAST, HCF_HIGHCONTRASTON); its
        // colours are the system colours (GetSysColor).
        virtual bool GetHighContrast() = 0;

      protected:
        ~ISystemInfo() = default;
    };

    // ---------------------------------------------------------------- shell (shell32)

    struct NotifyIconData
    {
        Hwnd hwnd{};
        UINT id = 0;
        UINT flags = 0; // nif::
        UINT callbackMessage = 0;
        IconHandle icon{};
        std::string tip;      // in the system's code page
        std::wstring wideTip; // when not empty, the tip instead of `tip`
    };

    class IShell
    {
      public:
        virtual std::uintptr_t AppBarMessage(DWORD msg, AppBarData& data) = 0;
        virtual bool NotifyIcon(DWORD op, const NotifyIconData& data) = 0;
        // True where the shell keeps its taskbar above other windows whatever its
        // state (Windows 7 and later, whose ABM_GETSTATE no longer reports
        // ABS_ALWAYSONTOP).
        virtual bool TaskbarAlwaysOnTop() = 0;
        // ShellExecute; returns its result (above 32 on success).
        virtual std::intptr_t Execute(Hwnd owner, const std::string& verb, const std::string& file, const std::string& params,
                                      const std::string& dir, int show) = 0;

      protected:
        ~IShell() = default;
    };

    // ---------------------------------------------------------------- registry (advapi32)

    struct RegValueInfo
    {
        std::string name;
        DWORD type = 0;
        std::size_t size = 0;
    };

    class IRegistry
    {
      public:
        // Returns an error:: code. `path` is relative to the root, without a leading
        // backslash.
        virtual long OpenKey(RegRoot root, const std::string& path, bool create, RegKeyHandle& key) = 0;
        virtual long CloseKey(RegKeyHandle key) = 0;
        // The value's type and bytes; strings are stored as 8-bit text with its NUL.
        virtual long QueryValue(RegKeyHandle key, const std::string& name, DWORD& type, std::vector<std::uint8_t>& data) = 0;
        virtual long SetValue(RegKeyHandle key, const std::string& name, DWORD type, const std::vector<std::uint8_t>& data) = 0;
        virtual long DeleteValue(RegKeyHandle key, const std::string& name) = 0;
        // The names, types and sizes (not the data) of every value of an open key.
        virtual long ListValues(RegKeyHandle key, std::vector<RegValueInfo>& values) = 0;

      protected:
        ~IRegistry() = default;
    };

    // ---------------------------------------------------------------- internet (wininet)

    class IInternet
    {
      public:
        // Whether the system believes it is on line; the fetches themselves are
        // downloads (below).
        virtual bool GetConnectedState() = 0;

      protected:
        ~IInternet() = default;
    };

    // Asynchronous downloads for the movie player and the strip's fetches: a worker
    // thread reads an address (http or https through the internet, or an absolute
    // local file path) and the GUI thread learns of every change through a posted
    // message. Nothing but the worker's own reading runs off the GUI thread, so no
    // network wait ever holds the GUI thread. A download ends by its deadline,
    // whatever it is waiting for at the time, and an answer that ends before its
    // announced length fails.
    struct DownloadLimits
    {
        std::size_t maxBytes = 4u << 20; // a larger body fails the download
        DWORD timeoutMs = 30000;         // the whole download: connection, headers and body
        bool followRedirects = true;     // false: an answer that redirects fails the download
        std::string agent;               // the User-Agent; empty: the player's own
    };

    struct DownloadStatus
    {
        enum class State
        {
            running,
            done,
            failed
        };
        State state = State::running;
        std::uint64_t received = 0;     // bytes so far
        std::uint64_t total = 0;        // the announced length; 0 when unknown
        int httpStatus = 0;             // 0 for a local file; 400 and above is a failure
        std::vector<std::uint8_t> body; // the whole body, once done
        std::string error;              // why it failed, for the trace
    };

    class IDownloads
    {
      public:
        // Starts a download. Every change (progress, completion, failure) posts `msg`
        // to `notify` with wParam = the download's id. Returns 0 when it cannot start.
        virtual std::uint32_t Start(const std::string& url, const DownloadLimits& limits, Hwnd notify, UINT msg) = 0;
        // The download's state now. Once it reports done or failed, the body has been
        // moved out and the id is forgotten (a later query answers false).
        virtual bool Query(std::uint32_t id, DownloadStatus& status) = 0;
        // Abandons a download: no message for it is posted after this returns, and
        // its worker ends on its own.
        virtual void Cancel(std::uint32_t id) = 0;

      protected:
        ~IDownloads() = default;
    };

    // ---------------------------------------------------------------- process (kernel32)

    class IProcess
    {
      public:
        virtual KernelHandle CreateNamedMutex(const std::string& name) = 0;
        virtual DWORD WaitForSingleObject(KernelHandle handle, DWORD milliseconds) = 0;
        virtual std::string CurrentDirectory() = 0;
        virtual bool FileExists(const std::string& path) = 0; // a file, not a folder
        virtual SystemTime GetLocalTime() = 0;
        virtual long TimeZoneBias() = 0;        // GetTimeZoneInformation's Bias, whatever the call returned
        virtual std::uint32_t RandomSeed() = 0; // a fresh seed taken from the clock
        virtual std::string WideToAnsi(const std::wstring& text) = 0;
        virtual std::wstring AnsiToWide(const std::string& text) = 0;
        // Bytes of a resource of the program (RCDATA by name); empty when missing.
        virtual std::vector<std::uint8_t> LoadResourceData(const std::string& name) = 0;
        virtual void DebugOutput(const std::string& text) = 0;
        // Processor time the calling thread has used, in microseconds (user and
        // kernel; as coarse as the system counts it).
        virtual std::uint64_t ThreadCpuMicroseconds() = 0;

      protected:
        ~IProcess() = default;
    };

    // ---------------------------------------------------------------- player controls (ole32)

    // Events that a player control raises, from inside the message loop.
    class IPlayerEvents
    {
      public:
        virtual void FSCommand(const std::wstring& command, const std::wstring& args) = 0;
        virtual void Progress(long percentDone) = 0;
        virtual void ReadyStateChange(long newState) = 0;
        // Raised by players that can (ours); the hosted control raises none of them.
        // The movie names the headline it presents (the one at the reading place,
        // or under the pointer while the stage is still).
        virtual void Headline(const std::wstring& /*text*/, const std::wstring& /*link*/) {}
        // A key of the stage's own (stagekey::) reached the control while it had
        // the keyboard focus, before the movie gets it.
        virtual void Key(const std::wstring& /*key*/) {}
        // The control's window took or lost the keyboard focus.
        virtual void FocusChange(bool /*focused*/) {}

      protected:
        ~IPlayerEvents() = default;
    };

    // One hosted player control. Destroying it destroys its window. Every call
    // returns the control's HRESULT.
    class IPlayer
    {
      public:
        virtual ~IPlayer() = default;
        virtual Hwnd Window() = 0;
        virtual HResult DoVerb(int verb) = 0;
        virtual HResult SetMovie(const std::wstring& movie) = 0;
        virtual HResult GetMovie(std::wstring& movie) = 0;
        virtual HResult SetMenu(bool menu) = 0;
        // A setting of the control by its property name ("WMode", "Quality2",
        // "Playing", "Loop", "AllowScriptAccess", "Scale"), text or a flag. A player
        // with no use for a setting ignores it.
        virtual HResult SetProperty(const std::wstring& name, const std::variant<bool, std::wstring>& value) = 0;
        virtual HResult Play() = 0;
        virtual HResult Stop() = 0;
        virtual HResult Rewind() = 0;
        virtual HResult FlashVersion(long& version) = 0;
        virtual HResult SetVariable(const std::wstring& name, const std::wstring& value) = 0;
        virtual HResult GetVariable(const std::wstring& name, std::wstring& value) = 0;
        // What the host asks of the stage besides the movie (the user's pause, the
        // system's motion and contrast, whether it can be seen). A player with no use
        // for it ignores it.
        virtual HResult SetStageState(const StageState& /*state*/) { return hr::ok; }
        // The user asked to read the stage with the keyboard ("Read headlines"): the
        // control takes the focus, and its movie holds still until the focus goes.
        virtual HResult StartReading() { return hr::ok; }
    };

    class IPlayerFactory
    {
      public:
        virtual HResult InitializeCom() = 0; // single-threaded apartment
        virtual void UninitializeCom() = 0;
        // A player control as a child of `parent` at `bounds`; hr::class_not_registered
        // when the player is not installed.
        virtual HResult CreatePlayer(Hwnd parent, const Rect& bounds, IPlayerEvents& events,
                                     std::unique_ptr<IPlayer>& player) = 0;

      protected:
        ~IPlayerFactory() = default;
    };

    // ---------------------------------------------------------------- the whole seam

    struct Os
    {
        IWindowManager& windows;
        ISystemInfo& system;
        IShell& shell;
        IRegistry& registry;
        IInternet& internet;
        IDownloads& downloads;
        IProcess& process;
        IPlayerFactory& players;
    };
} // namespace os
