#include "appbar/geometry.h"

#include <cstdlib>

namespace appbar
{
    TAppBarEdge EdgeFromPoint(TAppBarFlags flags, os::Point p, const ScreenFacts& screen, TAppBarEdge current)
    {
        if (Has(flags, abfAllowFloat))
        {
            const os::Rect inner = screen.workArea.Inflated(-screen.vscrollWidth, -screen.hscrollHeight);
            if (inner.Contains(p))
                return abeFloat; // outside it, an edge that is not allowed floats too
        }
        // Pointer positions are 16-bit signed values, as the message position gives them.
        const auto dx = static_cast<std::int16_t>(p.x - screen.width / 2);
        const auto dy = static_cast<std::int16_t>(p.y - screen.height / 2);
        TAppBarEdge edge;
        if (std::abs(dy) * screen.width <= std::abs(dx) * screen.height)
            edge = dx >= 0 ? abeRight : abeLeft;
        else
            edge = dy >= 0 ? abeBottom : abeTop;
        static constexpr TAppBarFlag flagOf[] = { abfAllowLeft, abfAllowTop, abfAllowRight, abfAllowBottom };
        if (!Has(flags, flagOf[edge]))
            return Has(flags, abfAllowFloat) ? abeFloat : current;
        return edge;
    }

    int SnapToStep(int size, int base, int step)
    {
        if (step == 0)
            return size;
        return ((size - base + step / 2) / step) * step + base;
    }

    os::Rect SizedRect(int wmszEdge, const os::Rect& drag, int width, int height)
    {
        os::Rect r = drag;
        switch (wmszEdge)
        {
        case os::wmsz::left: r.left = r.right - width; break;
        case os::wmsz::right: r.right = r.left + width; break;
        case os::wmsz::top: r.top = r.bottom - height; break;
        case os::wmsz::topleft:
            r.left = r.right - width;
            r.top = r.bottom - height;
            break;
        case os::wmsz::topright:
            r.top = r.bottom - height;
            r.right = r.left + width;
            break;
        case os::wmsz::bottom: r.bottom = r.top + height; break;
        case os::wmsz::bottomleft:
            r.bottom = r.top + height;
            r.left = r.right - width;
            break;
        case os::wmsz::bottomright:
            r.bottom = r.top + height;
            r.right = r.left + width;
            break;
        default: break;
        }
        return r;
    }

    os::Rect LeaveDockOutline(os::Point pointer, int width, int height)
    {
        const int left = pointer.x - width + 6;
        const int top = pointer.y - height / 2;
        return { left, top, left + width, top + height };
    }

    os::Rect DockedRect(TAppBarEdge edge, os::Rect r, int vertDockSize, int horzDockSize)
    {
        switch (edge)
        {
        case abeLeft: r.right = r.left + vertDockSize; break;
        case abeTop: r.bottom = r.top + horzDockSize; break;
        case abeRight: r.left = r.right - vertDockSize; break;
        case abeBottom: r.top = r.bottom - horzDockSize; break;
        default: break;
        }
        return r;
    }

    int FloatingHitTest(int code, int horzSizeInc, int vertSizeInc)
    {
        if (code < os::ht::left || code > os::ht::bottomright)
            return code;
        const bool noHorz = horzSizeInc == 0;
        const bool noVert = vertSizeInc == 0;
        if (noHorz && noVert)
            return os::ht::border;
        if (!noHorz && !noVert)
            return code;
        switch (code)
        {
        case os::ht::left:
        case os::ht::right: return noHorz ? os::ht::border : code;
        case os::ht::top:
        case os::ht::bottom: return noVert ? os::ht::border : code;
        case os::ht::topleft: return noHorz ? os::ht::top : os::ht::left;
        case os::ht::topright: return noHorz ? os::ht::top : os::ht::right;
        case os::ht::bottomleft: return noHorz ? os::ht::bottom : os::ht::left;
        case os::ht::bottomright: return noHorz ? os::ht::bottom : os::ht::right;
        default: return code;
        }
    }

    int DockedHitTest(TAppBarEdge edge, int code, int horzSizeInc, int vertSizeInc, const os::Rect& client, os::Point p)
    {
        if (code < os::ht::left || code > os::ht::bottomright)
            return code;
        if ((IsVerticalEdge(edge) && horzSizeInc == 0) || (IsHorizontalEdge(edge) && vertSizeInc == 0))
            return os::ht::border;
        switch (edge)
        {
        case abeLeft: return p.x > client.right ? os::ht::right : os::ht::border;
        case abeTop: return p.y > client.bottom ? os::ht::bottom : os::ht::border;
        case abeRight: return p.x < client.left ? os::ht::left : os::ht::border;
        case abeBottom: return p.y < client.top ? os::ht::top : os::ht::border;
        default: return code;
        }
    }

    os::Rect AutoHidePlace(TAppBarEdge edge, bool show, const os::Rect& r, int screenWidth, int screenHeight, int cxBorder,
                           int cyBorder)
    {
        const int w = r.Width();
        const int h = r.Height();
        os::Point at;
        switch (edge)
        {
        case abeLeft: at = show ? os::Point{ 0, 0 } : os::Point{ 2 * cxBorder - w, 0 }; break;
        case abeTop: at = show ? os::Point{ 0, 0 } : os::Point{ 0, 2 * cyBorder - h }; break;
        case abeRight: at = show ? os::Point{ screenWidth - w, 0 } : os::Point{ screenWidth - 2 * cxBorder, 0 }; break;
        case abeBottom: at = show ? os::Point{ 0, screenHeight - h } : os::Point{ 0, screenHeight - 2 * cyBorder }; break;
        default: return r;
        }
        return os::Rect::FromBounds(at.x, at.y, w, h);
    }

    os::Rect SlideFrame(const os::Rect& from, const os::Rect& to, std::uint32_t elapsed, int duration)
    {
        const std::int64_t e = elapsed;
        auto step = [&](std::int64_t a, std::int64_t b)
        {
            return static_cast<int>(a - (a - b) * e / duration);
        };
        const int x = step(from.left, to.left);
        const int y = step(from.top, to.top);
        const int w = step(from.Width(), to.Width());
        const int h = step(from.Height(), to.Height());
        return os::Rect::FromBounds(x, y, w, h);
    }
} // namespace appbar
