// The program entry, written against the OS seam so that the simulator can run it.
#pragma once

#include "os/os.h"

namespace app
{
    // Runs the desktop ticker until it quits; returns the process exit code. A second
    // instance for the same user ends at once, showing nothing.
    int RunTicker(os::Os& os);
} // namespace app
