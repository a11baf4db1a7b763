// What the simulated window manager's files share: internal position flags and
// constants of the window manager, and a case-folding helper.
#pragma once

#include "os/os.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace os::sim::detail
{
    constexpr UINT kNoClientSize = 0x0800; // SWP_NOCLIENTSIZE, set internally
    constexpr UINT kNoClientMove = 0x1000; // SWP_NOCLIENTMOVE, set internally
    constexpr LRESULT kMaActivate = 1;
    constexpr WPARAM kSizeRestored = 0;
    constexpr UINT kMinimumTimer = 10; // USER_TIMER_MINIMUM

    inline std::string Lower(std::string s)
    {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return s;
    }
} // namespace os::sim::detail
