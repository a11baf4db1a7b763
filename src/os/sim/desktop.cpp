#include "os/sim/desktop.h"

namespace os::sim
{
    Desktop::Desktop()
        : system(clock), windows(clock, system), shell(system, windows), downloads(windows, clock), process(clock),
          players(windows), _os{ windows, system, shell, registry, internet, downloads, process, players }
    {
    }

    void Desktop::ChangeDisplay(int width, int height)
    {
        SetScreen(width, height);
        for (Hwnd top : windows.TopLevelWindows())
            if (windows.IsWindow(top))
                windows.Send(top, wm::displaychange, 32, static_cast<LPARAM>((height << 16) | width));
        shell.ScreenChanged();
        windows.ProcessPending();
    }
} // namespace os::sim
