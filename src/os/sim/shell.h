// The simulated shell: the desktop-toolbar manager with its taskbar, the
// notification area, and every ShellExecute call.
#pragma once

#include "os/os.h"
#include "os/sim/system.h"
#include "os/sim/windows.h"

#include <map>
#include <optional>

namespace os::sim
{
    struct ShellExecuteCall
    {
        Hwnd owner{};
        std::string verb;
        std::string file;
        std::string params;
        std::string dir;
        int show = 0;
    };

    struct AppBarCall
    {
        DWORD message = 0;
        Hwnd hwnd{};
        UINT edge = 0;
        Rect rectIn;
        Rect rectOut;
        LPARAM lParam = 0;
        std::uintptr_t result = 0;
    };

    class SimShell final : public IShell
    {
      public:
        SimShell(SimSystem& system, SimWindows& windows);

        // ---- the taskbar and the desktop toolbars (scene and look)
        // The taskbar on one screen edge (abe::), `thickness` pixels deep. An auto-hide
        // taskbar reserves nothing.
        void SetTaskbar(UINT edge, int thickness);
        void SetTaskbarState(UINT state); // abs_:: bits
        // A shell from before Windows 7: ABM_GETSTATE reports the on-top state and
        // the taskbar may leave the top. The default is today's shell, which keeps
        // the taskbar on top and reports only auto-hide.
        void SetClassicShell(bool classic) { _classic = classic; }
        UINT TaskbarState() const { return _taskbarState; }
        Rect TaskbarRect() const;
        bool Registered(Hwnd hwnd) const { return _bars.count(hwnd) != 0; }
        std::size_t RegisteredBars() const { return _bars.size(); }
        // The space the shell keeps for a docked bar (empty when none).
        Rect Reserved(Hwnd hwnd) const;
        Hwnd AutoHideBar(UINT edge) const;
        // A full-screen application opens or closes: every bar is told.
        void SetFullScreenApp(bool open);
        // The taskbar followed a new screen size (the work area was recomputed):
        // every bar is told that its place may have changed.
        void ScreenChanged();
        const std::vector<AppBarCall>& AppBarCalls() const { return _calls; }
        int CountAppBarCalls(DWORD message, Hwnd hwnd = Hwnd{}) const;
        void ClearAppBarCalls() { _calls.clear(); }

        // ---- notification area
        const std::map<std::pair<Hwnd, UINT>, NotifyIconData>& TrayIcons() const { return _icons; }
        std::optional<NotifyIconData> TrayIcon(Hwnd hwnd, UINT id) const;
        // The user acts on an icon: its callback message with the mouse message in lParam.
        void TrayEvent(Hwnd hwnd, UINT id, UINT mouseMessage);
        // The shell restarts: every icon is lost and "TaskbarCreated" is broadcast.
        void RestartShell();
        int NotifyIconCalls() const { return _notifyCalls; }

        // ---- ShellExecute
        const std::vector<ShellExecuteCall>& Executed() const { return _executed; }

        // ---- IShell
        std::uintptr_t AppBarMessage(DWORD msg, AppBarData& data) override;
        bool NotifyIcon(DWORD op, const NotifyIconData& data) override;
        bool TaskbarAlwaysOnTop() override { return !_classic; }
        std::intptr_t Execute(Hwnd owner, const std::string& verb, const std::string& file, const std::string& params,
                              const std::string& dir, int show) override;

        // Takes the taskbar and the docked toolbars out of the screen again (after the
        // screen changed).
        void RecomputeWorkArea();

      private:
        struct Bar
        {
            UINT callback = 0;
            std::uint64_t order = 0;
            UINT edge = 0xFFFFFFFF; // of the reserved rectangle; none until SETPOS on an edge
            Rect reserved;
        };
        Rect Adjust(Hwnd hwnd, UINT edge, Rect rc) const;
        void Notify(Hwnd except, UINT code, LPARAM lParam);

        SimSystem& _system;
        SimWindows& _windows;
        UINT _taskbarEdge = abe::bottom;
        int _taskbarThickness = 30;
        UINT _taskbarState = abs_::alwaysontop;
        bool _classic = false;
        std::map<Hwnd, Bar> _bars;
        std::uint64_t _order = 0;
        Hwnd _autoHide[4]{};
        std::vector<AppBarCall> _calls;
        std::map<std::pair<Hwnd, UINT>, NotifyIconData> _icons;
        int _notifyCalls = 0;
        std::vector<ShellExecuteCall> _executed;
    };
} // namespace os::sim
