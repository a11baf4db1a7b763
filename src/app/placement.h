// The rule that keeps the strip on the visible desktop, as a plain function.
#pragma once

#include "os/types.h"

#include <optional>

namespace app
{
    // The narrowest primary work area (its right coordinate) the ticker runs on.
    constexpr int MinimumDesktopWidth = 800;

    struct OnScreenPlace
    {
        std::optional<int> top;
        std::optional<int> left;
    };

    // Where a strip at (left, top) of client width `width` must move so that it does
    // not lie wholly above y = 0, below the work area, right of it, or end left of
    // x = 10. Only the work area's right and bottom are looked at. The strip's
    // metrics and the margins are 96-dpi lengths, scaled to `dpi`.
    OnScreenPlace KeepOnScreen(int top, int left, int width, const os::Rect& workArea, int dpi = os::DefaultDpi);
} // namespace app
