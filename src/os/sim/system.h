// The simulated machine's screen, metrics, input state and clocks.
#pragma once

#include "os/os.h"

#include <cstdint>
#include <map>
#include <vector>

namespace os::sim
{
    // Virtual time in milliseconds since the desktop was made. Only the tests, the
    // simulated message loop and a slow simulated server move it.
    class Clock
    {
      public:
        std::uint64_t Now() const { return _now; }
        void Set(std::uint64_t now) { _now = now; }

      private:
        std::uint64_t _now = 0;
    };

    // A monitor of the simulated desktop, in screen coordinates, with its effective DPI.
    struct SimMonitor
    {
        Rect bounds;
        int dpi = DefaultDpi;
    };

    class SimSystem final : public ISystemInfo
    {
      public:
        explicit SimSystem(Clock& clock);

        // Scene.
        // The screen size; the work area becomes the whole screen until the shell
        // takes its taskbar and toolbars out of it (Desktop::SetScreen does both).
        void SetScreen(int width, int height);
        void SetMetric(int index, int value) { _metrics[index] = value; }
        void SetWorkArea(const Rect& r) { _workArea = r; }
        void SetDragFullWindows(bool on) { _dragFull = on; }
        // The system DPI: the screen device context's LOGPIXELSX, and the DPI of
        // every window of a program that is not aware of each monitor. The metrics
        // set with SetMetric are those at this DPI.
        void SetLogPixelsX(int dpi) { _dpi = dpi; }
        // The monitors. The first is the primary one: at the origin, the screen's
        // size (SetScreen keeps it so). AddMonitor returns the new one's index;
        // SetMonitorDpi only changes the scene (Desktop::ChangeMonitorDpi also
        // tells the windows, as Windows does).
        std::size_t AddMonitor(const Rect& bounds, int dpi);
        void SetMonitorDpi(std::size_t index, int dpi) { _monitors.at(index).dpi = dpi; }
        const std::vector<SimMonitor>& Monitors() const { return _monitors; }
        // The program's DPI awareness: per monitor (true, the default: what the
        // manifest asks of Windows 10) or the system's only (older Windows, and
        // Wine, whose monitors all have the system DPI).
        void SetPerMonitorAware(bool on) { _perMonitor = on; }
        bool PerMonitorAware() const { return _perMonitor; }
        // The index of the monitor that holds the largest part of r, or the nearest.
        std::size_t MonitorIndexAt(const Rect& r) const;
        void SetCursorPos(Point p) { _cursor = p; }
        // Keys and mouse buttons by their physical place: GetAsyncKeyState reads the
        // physical buttons, GetKeyState the logical ones (swapped when the user has
        // swapped the buttons, sm::swapbutton), as Windows does.
        void SetKeyDown(int vk, bool down) { _keys[vk] = down; }
        // The logical mouse button that a physical one is.
        int LogicalButton(int vk);
        void SetDecimalSeparator(const std::string& s) { _decimal = s; }
        void SetTickBase(DWORD base) { _tickBase = base; }
        // Each reading of the tick count moves the virtual clock on by this much (1 ms
        // by default), so that a loop that waits on the tick count comes to its end.
        void SetTickCost(std::uint64_t ms) { _tickCost = ms; }
        Rect Screen() const { return { 0, 0, _metrics.at(sm::cxscreen), _metrics.at(sm::cyscreen) }; }
        bool KeyDown(int vk) const;
        // Windows' "Show animations" and a high-contrast theme (Desktop::ChangeSetting
        // also tells the windows). The theme's colours: a black window, white text,
        // a cyan highlight with black text and yellow links.
        void SetClientAreaAnimation(bool on) { _animation = on; }
        void SetHighContrast(bool on) { _highContrast = on; }

        // ISystemInfo
        int GetSystemMetrics(int index) override;
        Rect GetWorkArea() override { return _workArea; }
        bool GetDragFullWindows() override { return _dragFull; }
        int GetLogPixelsX() override { return _dpi; }
        Point GetCursorPos() override { return _cursor; }
        Point GetMessagePos() override { return _cursor; }
        std::int16_t GetAsyncKeyState(int vk) override;
        std::int16_t GetKeyState(int vk) override;
        DWORD GetTickCount() override;
        Color GetSysColor(int index) override;
        std::string GetDecimalSeparator() override { return _decimal; }
        int GetDpiForMonitorAt(const Rect& r) override;
        int GetSystemMetricsForDpi(int index, int dpi) override;
        bool GetClientAreaAnimation() override { return _animation; }
        bool GetHighContrast() override { return _highContrast; }

      private:
        Clock& _clock;
        std::map<int, int> _metrics;
        Rect _workArea;
        bool _dragFull = true;
        int _dpi = 96;
        std::vector<SimMonitor> _monitors{ SimMonitor{} };
        bool _perMonitor = true;
        Point _cursor;
        std::map<int, bool> _keys;
        std::string _decimal = ".";
        DWORD _tickBase = 1'000'000;
        std::uint64_t _tickCost = 1;
        bool _animation = true;
        bool _highContrast = false;
    };
} // namespace os::sim
