// Conversions at the boundary between the seam's types and the Win32 API's: handles,
// rectangles and points, and 8-bit text in the ANSI code page against UTF-16.
#pragma once

#include "os/types.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace os::win32
{
    inline HWND ToHwnd(Hwnd h)
    {
        return reinterpret_cast<HWND>(static_cast<std::intptr_t>(h));
    }
    inline Hwnd FromHwnd(HWND h)
    {
        return static_cast<Hwnd>(reinterpret_cast<std::intptr_t>(h));
    }
    inline HMENU ToHmenu(MenuHandle h)
    {
        return reinterpret_cast<HMENU>(static_cast<std::intptr_t>(h));
    }
    inline MenuHandle FromHmenu(HMENU h)
    {
        return static_cast<MenuHandle>(reinterpret_cast<std::intptr_t>(h));
    }
    inline HICON ToHicon(IconHandle h)
    {
        return reinterpret_cast<HICON>(static_cast<std::intptr_t>(h));
    }
    inline IconHandle FromHicon(HICON h)
    {
        return static_cast<IconHandle>(reinterpret_cast<std::intptr_t>(h));
    }
    inline HCURSOR ToHcursor(CursorHandle h)
    {
        return reinterpret_cast<HCURSOR>(static_cast<std::intptr_t>(h));
    }
    inline CursorHandle FromHcursor(HCURSOR h)
    {
        return static_cast<CursorHandle>(reinterpret_cast<std::intptr_t>(h));
    }
    inline HKEY ToHkey(RegKeyHandle h)
    {
        return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(h));
    }
    inline RegKeyHandle FromHkey(HKEY h)
    {
        return static_cast<RegKeyHandle>(reinterpret_cast<std::intptr_t>(h));
    }
    inline HANDLE ToHandle(KernelHandle h)
    {
        return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(h));
    }
    inline KernelHandle FromHandle(HANDLE h)
    {
        return static_cast<KernelHandle>(reinterpret_cast<std::intptr_t>(h));
    }

    inline RECT ToRECT(const Rect& r)
    {
        return { r.left, r.top, r.right, r.bottom };
    }
    inline Rect FromRECT(const RECT& r)
    {
        return { r.left, r.top, r.right, r.bottom };
    }
    inline POINT ToPOINT(Point p)
    {
        return { p.x, p.y };
    }
    inline Point FromPOINT(POINT p)
    {
        return { p.x, p.y };
    }

    // ANSI code page text to UTF-16 and back (CP_ACP). Characters that the code page
    // cannot hold become its default character.
    std::wstring Widen(std::string_view text);
    std::string Narrow(std::wstring_view text);
} // namespace os::win32
