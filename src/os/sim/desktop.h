// The desktop simulator: a small, faithful model of the parts of Windows that the
// program uses. Tests set the scene through its parts, act, and look at what
// happened; the program sees only the seam, through Os().
#pragma once

#include "os/os.h"
#include "os/sim/downloads.h"
#include "os/sim/internet.h"
#include "os/sim/players.h"
#include "os/sim/process.h"
#include "os/sim/registry.h"
#include "os/sim/shell.h"
#include "os/sim/system.h"
#include "os/sim/windows.h"

namespace os::sim
{
    class Desktop
    {
      public:
        Desktop();
        Desktop(const Desktop&) = delete;
        Desktop& operator=(const Desktop&) = delete;

        os::Os& Os() { return _os; }

        // A screen of this size with the taskbar and toolbars taken out of its work area.
        void SetScreen(int width, int height)
        {
            system.SetScreen(width, height);
            shell.RecomputeWorkArea();
        }

        // The user changes the display's resolution: every top-level window is sent
        // WM_DISPLAYCHANGE, then the shell moves the taskbar and tells the bars.
        void ChangeDisplay(int width, int height);

        // A session at `dpi`: the system DPI and the primary monitor's (set before
        // the program starts, as Windows fixes the system DPI at log-on).
        void SetDpi(int dpi)
        {
            system.SetLogPixelsX(dpi);
            system.SetMonitorDpi(0, dpi);
        }
        // The user gives a monitor another scale: the windows on it hear of it.
        void ChangeMonitorDpi(std::size_t monitor, int dpi)
        {
            system.SetMonitorDpi(monitor, dpi);
            windows.MonitorsChanged();
            windows.ProcessPending();
        }

        // The user changes Windows' animations or high contrast: the windows hear
        // WM_SETTINGCHANGE, as from Windows.
        void SetClientAreaAnimation(bool on)
        {
            system.SetClientAreaAnimation(on);
            windows.SettingChanged(SpiSetClientAreaAnimation);
            windows.ProcessPending();
        }
        void SetHighContrast(bool on)
        {
            system.SetHighContrast(on);
            windows.SettingChanged(SpiSetHighContrast);
            windows.ProcessPending();
        }
        // The session is locked or unlocked; the display goes off, on or dim.
        void LockSession(bool locked)
        {
            windows.SessionChanged(locked);
            windows.ProcessPending();
        }
        void SetDisplayState(LPARAM state)
        {
            windows.DisplayStateChanged(state);
            windows.ProcessPending();
        }
        static constexpr UINT SpiSetClientAreaAnimation = 0x1043;
        static constexpr UINT SpiSetHighContrast = 0x0043;

        // Shorthands for the virtual clock.
        void Advance(std::uint64_t ms) { windows.Advance(ms); }
        std::uint64_t Now() const { return clock.Now(); }

        Clock clock;
        SimSystem system;
        SimWindows windows;
        SimShell shell;
        SimRegistry registry;
        SimInternet internet;
        SimDownloads downloads;
        SimProcess process;
        SimPlayers players;

      private:
        os::Os _os;
    };
} // namespace os::sim
