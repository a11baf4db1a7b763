// The DPI calls of Windows 8.1 and 10 (user32's GetDpiForWindow and
// GetSystemMetricsForDpi, shcore's GetDpiForMonitor), found at run time so that
// the program still starts where they are missing; there the system DPI stands in.
#pragma once

#include <windows.h>

namespace os::win32
{
    class DpiFunctions
    {
      public:
        // The process's one set, loaded on first use.
        static DpiFunctions& Get();
        DpiFunctions(const DpiFunctions&) = delete;
        DpiFunctions& operator=(const DpiFunctions&) = delete;
        ~DpiFunctions();

        // The screen device context's LOGPIXELSX: the system DPI.
        static int SystemDpi();
        int ForWindow(HWND hwnd) const;
        int ForMonitorAt(const RECT& r) const;
        int MetricForDpi(int index, int dpi) const;
        // Which of the calls this Windows has (for the tests).
        bool HasWindowDpi() const { return _forWindow != nullptr; }
        bool HasMonitorDpi() const { return _forMonitor != nullptr; }
        bool HasMetricsForDpi() const { return _metricsForDpi != nullptr; }

      private:
        DpiFunctions();

        using ForWindowFn = UINT(WINAPI*)(HWND);
        using MetricsForDpiFn = int(WINAPI*)(int, UINT);
        using ForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
        HMODULE _shcore = nullptr;
        ForWindowFn _forWindow = nullptr;
        MetricsForDpiFn _metricsForDpi = nullptr;
        ForMonitorFn _forMonitor = nullptr;
    };
} // namespace os::win32
