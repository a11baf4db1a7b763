// The seam's DPI answers, for the DPI run under Wine (tools/wine-dpi-e2e.sh). It
// carries the program's manifest, so Windows treats it as it treats ticker.exe.
// Prints one line:
//   system S window W monitor M vscroll V vscroll-at-2x D calls F
// S the system DPI (LOGPIXELSX), W the DPI of a window it makes, M that of the
// window's monitor, V the scroll-bar width at S and D at twice S, and F which
// of the Windows 10 calls this Windows has (window, monitor and metrics: 1 or 0).
#include "os/win32/backend.h"
#include "os/win32/dpi.h"

#include <cstdio>

namespace
{
    class Plain final : public os::IWindowProcedure
    {
      public:
        explicit Plain(os::IWindowManager& windows) : _windows(windows) {}
        os::LRESULT WindowProc(os::Hwnd hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam) override
        {
            return _windows.DefaultProc(hwnd, msg, wParam, lParam);
        }

      private:
        os::IWindowManager& _windows;
    };
} // namespace

int main()
{
    auto backend = os::win32::CreateBackend();
    os::Os& seam = backend->Os();
    Plain proc(seam.windows);
    os::WindowParams params;
    params.className = "DpiProbe";
    params.style = os::ws::popup;
    params.bounds = os::Rect::FromBounds(100, 100, 200, 30);
    const os::Hwnd window = seam.windows.Create(params, &proc);
    if (window == os::Hwnd{})
    {
        std::fputs("cannot make a window\n", stderr);
        return 1;
    }
    const int system = seam.system.GetLogPixelsX();
    const auto& calls = os::win32::DpiFunctions::Get();
    std::printf("system %d window %d monitor %d vscroll %d vscroll-at-2x %d calls %d%d%d\n", system,
                seam.windows.GetDpiForWindow(window), seam.system.GetDpiForMonitorAt(params.bounds),
                seam.system.GetSystemMetricsForDpi(os::sm::cxvscroll, system),
                seam.system.GetSystemMetricsForDpi(os::sm::cxvscroll, 2 * system), calls.HasWindowDpi() ? 1 : 0,
                calls.HasMonitorDpi() ? 1 : 0, calls.HasMetricsForDpi() ? 1 : 0);
    seam.windows.Destroy(window);
    return 0;
}
