#include "app/placement.h"

#include "app/main.h"

namespace app
{
    OnScreenPlace KeepOnScreen(int top, int left, int width, const os::Rect& workArea)
    {
        OnScreenPlace place;
        if (top + TickerHeight < 0)
            place.top = 10;
        if (workArea.bottom < top + TickerHeight)
            place.top = workArea.bottom - TickerHeight - 10;
        if (left + width < GrabWidth)
            place.left = GrabWidth - width + 10;
        if (workArea.right < left + width)
            place.left = workArea.right - width - 10;
        return place;
    }
} // namespace app
