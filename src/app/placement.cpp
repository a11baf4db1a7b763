#include "app/placement.h"

#include "app/main.h"

namespace app
{
    OnScreenPlace KeepOnScreen(int top, int left, int width, const os::Rect& workArea, int dpi)
    {
        const int height = os::ScaleForDpi(TickerHeight, dpi);
        const int grab = os::ScaleForDpi(GrabWidth, dpi);
        const int margin = os::ScaleForDpi(10, dpi);
        OnScreenPlace place;
        if (top + height < 0)
            place.top = margin;
        if (workArea.bottom < top + height)
            place.top = workArea.bottom - height - margin;
        if (left + width < grab)
            place.left = grab - width + margin;
        if (workArea.right < left + width)
            place.left = workArea.right - width - margin;
        return place;
    }
} // namespace app
