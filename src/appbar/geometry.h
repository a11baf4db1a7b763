// The desktop toolbar's geometry as plain functions: where a drag would dock, size
// steps, the outline that leaves a docked edge, hit-test codes, and the shown and
// hidden places of an auto-hide bar.
#pragma once

#include "appbar/settings.h"
#include "os/types.h"

namespace appbar
{
    struct ScreenFacts
    {
        int width = 0;  // SM_CXSCREEN
        int height = 0; // SM_CYSCREEN
        os::Rect workArea;
        int vscrollWidth = 0;  // SM_CXVSCROLL
        int hscrollHeight = 0; // SM_CYHSCROLL
    };

    // Where a drag released at `p` would put the bar. Within the work area (less a
    // scroll bar's width all round) a bar that may float floats; elsewhere the screen
    // is cut along its diagonals (a point on a diagonal goes left or right), and an
    // edge that is not allowed gives floating when that is allowed, else `current`.
    TAppBarEdge EdgeFromPoint(TAppBarFlags flags, os::Point p, const ScreenFacts& screen, TAppBarEdge current);

    // The size rounded to the nearest step above the base (a step of 0 keeps it).
    int SnapToStep(int size, int base, int step);

    // The drag rectangle of WM_SIZING with the edge opposite the dragged one fixed.
    os::Rect SizedRect(int wmszEdge, const os::Rect& drag, int width, int height);

    // The floating outline when a drag leaves a docked edge: the old float size with
    // its right edge 6 pixels right of the pointer, centred on it vertically.
    os::Rect LeaveDockOutline(os::Point pointer, int width, int height);

    // Docked rectangle from the one the shell left: the bar's depth from the edge.
    os::Rect DockedRect(TAppBarEdge edge, os::Rect queried, int vertDockSize, int horzDockSize);

    // A floating bar's sizing borders with a size step of 0 turned off on that axis.
    int FloatingHitTest(int code, int horzSizeInc, int vertSizeInc);
    // A docked bar keeps only its inner edge as a sizing border. `client` is the
    // client area in screen coordinates.
    int DockedHitTest(TAppBarEdge edge, int code, int horzSizeInc, int vertSizeInc, const os::Rect& client, os::Point p);

    // The rectangle of a docked auto-hide bar moved to its shown or hidden place; a
    // hidden bar leaves a strip of twice the border width on the screen.
    os::Rect AutoHidePlace(TAppBarEdge edge, bool show, const os::Rect& r, int screenWidth, int screenHeight, int cxBorder,
                           int cyBorder);

    // One frame of the slide: the rectangle `elapsed` milliseconds into `duration`.
    os::Rect SlideFrame(const os::Rect& from, const os::Rect& to, std::uint32_t elapsed, int duration);
} // namespace appbar
