#include "os/win32/dpi.h"

namespace os::win32
{
    namespace
    {
        // MDT_EFFECTIVE_DPI: the DPI the user's scale setting gives the monitor.
        constexpr int EffectiveDpi = 0;

        // A function of a loaded module by name, typed (FARPROC's cast through void).
        template <typename F> F Find(HMODULE module, const char* name)
        {
            if (!module)
                return nullptr;
            return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        }
    } // namespace

    DpiFunctions& DpiFunctions::Get()
    {
        static DpiFunctions functions;
        return functions;
    }

    DpiFunctions::DpiFunctions()
    {
        // user32 is loaded with the program; shcore is loaded here and kept until exit.
        const HMODULE user32 = GetModuleHandleW(L"user32.dll");
        _forWindow = Find<ForWindowFn>(user32, "GetDpiForWindow");
        _metricsForDpi = Find<MetricsForDpiFn>(user32, "GetSystemMetricsForDpi");
        _shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        _forMonitor = Find<ForMonitorFn>(_shcore, "GetDpiForMonitor");
    }

    DpiFunctions::~DpiFunctions()
    {
        if (_shcore)
            FreeLibrary(_shcore);
    }

    int DpiFunctions::SystemDpi()
    {
        HDC screen = GetDC(nullptr);
        if (!screen)
            return USER_DEFAULT_SCREEN_DPI;
        const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
    }

    int DpiFunctions::ForWindow(HWND hwnd) const
    {
        if (_forWindow)
        {
            const UINT dpi = _forWindow(hwnd);
            if (dpi != 0)
                return static_cast<int>(dpi);
        }
        return SystemDpi();
    }

    int DpiFunctions::ForMonitorAt(const RECT& r) const
    {
        if (_forMonitor)
        {
            UINT x = 0;
            UINT y = 0;
            HMONITOR monitor = MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST);
            if (monitor && SUCCEEDED(_forMonitor(monitor, EffectiveDpi, &x, &y)) && x != 0)
                return static_cast<int>(x);
        }
        return SystemDpi();
    }

    int DpiFunctions::MetricForDpi(int index, int dpi) const
    {
        if (_metricsForDpi && dpi > 0)
            return _metricsForDpi(index, static_cast<UINT>(dpi));
        return ::GetSystemMetrics(index);
    }
} // namespace os::win32
