#include "os/sim/desktop.h"

namespace os::sim
{
    Desktop::Desktop()
        : system(clock), windows(clock, system), shell(system, windows), internet(clock), downloads(windows, clock),
          process(clock), players(windows), _os{ windows, system, shell, registry, internet, downloads, process, players }
    {
    }
} // namespace os::sim
