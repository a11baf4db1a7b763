// Value types and constants of the OS seam.
//
// Layouts and numbers are the documented Win32 ones wherever a caller depends on
// them: message parameters carry pointers to these structures exactly as Windows
// does, and stored or shell-visible values keep their documented codes. The win32
// backend checks every one of them against the SDK at compile time.
//
// The names follow the SDK's, lower-cased inside a namespace per prefix
// (WM_SIZE is wm::size), so that they can live beside <windows.h> without
// colliding with its macros.
#pragma once

#include <cstdint>
#include <string>

namespace os
{
    using UINT = std::uint32_t;
    using DWORD = std::uint32_t;
    using WPARAM = std::uintptr_t;
    using LPARAM = std::intptr_t;
    using LRESULT = std::intptr_t;
    using Color = std::uint32_t; // 0x00BBGGRR, as COLORREF

    constexpr Color Rgb(int r, int g, int b)
    {
        return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
    }

    // The DPI at which a layout's lengths are given, and at which Windows reports a
    // display of 100 %.
    constexpr int DefaultDpi = 96;

    // n * numerator / denominator rounded to the nearest integer, halves away from
    // zero, without overflow on the way, as MulDiv computes it; -1 when the
    // denominator is 0 or the result does not fit in 32 bits.
    constexpr int MulDiv(int n, int numerator, int denominator)
    {
        if (denominator == 0)
            return -1;
        const std::int64_t product = static_cast<std::int64_t>(n) * numerator;
        const std::int64_t d = denominator;
        const bool negative = (product < 0) != (d < 0);
        const std::int64_t a = product < 0 ? -product : product;
        const std::int64_t b = d < 0 ? -d : d;
        const std::int64_t q = (a + b / 2) / b;
        const std::int64_t r = negative ? -q : q;
        if (r > INT32_MAX || r < INT32_MIN)
            return -1;
        return static_cast<int>(r);
    }

    // A length given at 96 dpi, in the pixels of a display of `dpi`.
    constexpr int ScaleForDpi(int length, int dpi)
    {
        return MulDiv(length, dpi, DefaultDpi);
    }

    // Opaque handles. Zero is "none" for each of them.
    enum class Hwnd : std::intptr_t
    {
    };
    enum class MenuHandle : std::intptr_t
    {
    };
    enum class IconHandle : std::intptr_t
    {
    };
    enum class CursorHandle : std::intptr_t
    {
    };
    enum class RegKeyHandle : std::intptr_t
    {
    };
    enum class KernelHandle : std::intptr_t
    {
    };

    constexpr Hwnd kNoWindow{ 0 };
    constexpr Hwnd hwnd_top{ 0 };
    constexpr Hwnd hwnd_bottom{ 1 };
    constexpr Hwnd hwnd_topmost{ -1 };
    constexpr Hwnd hwnd_notopmost{ -2 };

    struct Point
    {
        std::int32_t x = 0;
        std::int32_t y = 0;
        friend bool operator==(const Point&, const Point&) = default;
    };

    // RECT: right and bottom are exclusive.
    struct Rect
    {
        std::int32_t left = 0;
        std::int32_t top = 0;
        std::int32_t right = 0;
        std::int32_t bottom = 0;

        constexpr std::int32_t Width() const { return right - left; }
        constexpr std::int32_t Height() const { return bottom - top; }
        constexpr bool Contains(Point p) const // PtInRect
        {
            return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
        }
        constexpr Rect Inflated(std::int32_t dx, std::int32_t dy) const // InflateRect
        {
            return { left - dx, top - dy, right + dx, bottom + dy };
        }
        constexpr Rect Offset(std::int32_t dx, std::int32_t dy) const { return { left + dx, top + dy, right + dx, bottom + dy }; }
        static constexpr Rect FromBounds(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h)
        {
            return { x, y, x + w, y + h };
        }
        friend bool operator==(const Rect&, const Rect&) = default;
    };

    std::string ToString(const Rect& r);

    // WINDOWPOS: what WM_WINDOWPOSCHANGING proposes (and a handler may change) and
    // what WM_WINDOWPOSCHANGED reports.
    struct WindowPos
    {
        Hwnd hwnd{};
        Hwnd hwndInsertAfter{};
        std::int32_t x = 0;
        std::int32_t y = 0;
        std::int32_t cx = 0;
        std::int32_t cy = 0;
        UINT flags = 0;
    };

    // MINMAXINFO of WM_GETMINMAXINFO.
    struct MinMaxInfo
    {
        Point ptReserved;
        Point ptMaxSize;
        Point ptMaxPosition;
        Point ptMinTrackSize;
        Point ptMaxTrackSize;
    };

    // APPBARDATA of SHAppBarMessage.
    struct AppBarData
    {
        DWORD cbSize = sizeof(AppBarData);
        Hwnd hWnd{};
        UINT uCallbackMessage = 0;
        UINT uEdge = 0;
        Rect rc;
        LPARAM lParam = 0;
    };

    // SYSTEMTIME, local time.
    struct SystemTime
    {
        std::uint16_t year = 0;
        std::uint16_t month = 0;
        std::uint16_t dayOfWeek = 0;
        std::uint16_t day = 0;
        std::uint16_t hour = 0;
        std::uint16_t minute = 0;
        std::uint16_t second = 0;
        std::uint16_t milliseconds = 0;
    };

    // A queued window message as the message loop retrieves it.
    struct Msg
    {
        Hwnd hwnd{};
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };

    constexpr std::uint16_t LoWord(std::uintptr_t v)
    {
        return static_cast<std::uint16_t>(v & 0xFFFF);
    }
    constexpr std::uint16_t HiWord(std::uintptr_t v)
    {
        return static_cast<std::uint16_t>((v >> 16) & 0xFFFF);
    }
    constexpr WPARAM MakeWParam(std::uint16_t lo, std::uint16_t hi)
    {
        return static_cast<WPARAM>(lo) | (static_cast<WPARAM>(hi) << 16);
    }
    constexpr LPARAM MakeLParam(std::int32_t lo, std::int32_t hi)
    {
        return static_cast<LPARAM>(static_cast<std::uint32_t>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
    }
    // GET_X_LPARAM / GET_Y_LPARAM: signed 16-bit halves.
    constexpr std::int32_t XFromLParam(LPARAM lp)
    {
        return static_cast<std::int16_t>(lp & 0xFFFF);
    }
    constexpr std::int32_t YFromLParam(LPARAM lp)
    {
        return static_cast<std::int16_t>((lp >> 16) & 0xFFFF);
    }
    constexpr Point PointFromLParam(LPARAM lp)
    {
        return { XFromLParam(lp), YFromLParam(lp) };
    }
    constexpr LPARAM LParamFromPoint(Point p)
    {
        return MakeLParam(p.x, p.y);
    }

    namespace wm
    {
        constexpr UINT null = 0x0000;
        constexpr UINT create = 0x0001;
        constexpr UINT destroy = 0x0002;
        constexpr UINT move = 0x0003;
        constexpr UINT size = 0x0005;
        constexpr UINT activate = 0x0006;
        constexpr UINT setfocus = 0x0007;
        constexpr UINT killfocus = 0x0008;
        constexpr UINT enable = 0x000A;
        constexpr UINT settext = 0x000C;
        constexpr UINT gettext = 0x000D;
        constexpr UINT paint = 0x000F;
        constexpr UINT close = 0x0010;
        constexpr UINT quit = 0x0012;
        constexpr UINT erasebkgnd = 0x0014;
        constexpr UINT showwindow = 0x0018;
        constexpr UINT setcursor = 0x0020;
        constexpr UINT mouseactivate = 0x0021;
        constexpr UINT getminmaxinfo = 0x0024;
        constexpr UINT setfont = 0x0030;
        constexpr UINT windowposchanging = 0x0046;
        constexpr UINT windowposchanged = 0x0047;
        constexpr UINT displaychange = 0x007E;
        constexpr UINT nccreate = 0x0081;
        constexpr UINT ncdestroy = 0x0082;
        constexpr UINT nccalcsize = 0x0083;
        constexpr UINT nchittest = 0x0084;
        constexpr UINT ncmousemove = 0x00A0;
        constexpr UINT nclbuttondown = 0x00A1;
        constexpr UINT nclbuttonup = 0x00A2;
        constexpr UINT ncrbuttondown = 0x00A4;
        constexpr UINT ncrbuttonup = 0x00A5;
        constexpr UINT keydown = 0x0100;
        constexpr UINT keyup = 0x0101;
        constexpr UINT char_ = 0x0102;
        constexpr UINT syskeydown = 0x0104;
        constexpr UINT command = 0x0111;
        constexpr UINT syscommand = 0x0112;
        constexpr UINT timer = 0x0113;
        constexpr UINT ctlcolorstatic = 0x0138;
        constexpr UINT mousemove = 0x0200;
        constexpr UINT lbuttondown = 0x0201;
        constexpr UINT lbuttonup = 0x0202;
        constexpr UINT lbuttondblclk = 0x0203;
        constexpr UINT rbuttondown = 0x0204;
        constexpr UINT rbuttonup = 0x0205;
        constexpr UINT rbuttondblclk = 0x0206;
        constexpr UINT sizing = 0x0214;
        constexpr UINT mouseleave = 0x02A3;
        constexpr UINT moving = 0x0216;
        constexpr UINT entersizemove = 0x0231;
        constexpr UINT exitsizemove = 0x0232;
        // The window's monitor has another DPI: wParam holds the new DPI in both
        // words, lParam points to the Rect that Windows suggests for the window.
        constexpr UINT dpichanged = 0x02E0;
        constexpr UINT settingchange = 0x001A;
        constexpr UINT getobject = 0x003D;
        constexpr UINT powerbroadcast = 0x0218;
        constexpr UINT wtssession_change = 0x02B1;
        constexpr UINT user = 0x0400;
    } // namespace wm

    namespace swp
    {
        constexpr UINT nosize = 0x0001;
        constexpr UINT nomove = 0x0002;
        constexpr UINT nozorder = 0x0004;
        constexpr UINT noredraw = 0x0008;
        constexpr UINT noactivate = 0x0010;
        constexpr UINT framechanged = 0x0020;
        constexpr UINT showwindow = 0x0040;
        constexpr UINT hidewindow = 0x0080;
        constexpr UINT noownerzorder = 0x0200;
        constexpr UINT nosendchanging = 0x0400;
    } // namespace swp

    namespace sw
    {
        constexpr int hide = 0;
        constexpr int shownormal = 1;
        constexpr int shownoactivate = 4;
        constexpr int show = 5;
        constexpr int showna = 8;
    } // namespace sw

    // WM_NCHITTEST results.
    namespace ht
    {
        constexpr int error = -2;
        constexpr int transparent = -1;
        constexpr int nowhere = 0;
        constexpr int client = 1;
        constexpr int caption = 2;
        constexpr int sysmenu = 3;
        constexpr int left = 10;
        constexpr int right = 11;
        constexpr int top = 12;
        constexpr int topleft = 13;
        constexpr int topright = 14;
        constexpr int bottom = 15;
        constexpr int bottomleft = 16;
        constexpr int bottomright = 17;
        constexpr int border = 18;
    } // namespace ht

    // WM_SIZING edges.
    namespace wmsz
    {
        constexpr int left = 1;
        constexpr int right = 2;
        constexpr int top = 3;
        constexpr int topleft = 4;
        constexpr int topright = 5;
        constexpr int bottom = 6;
        constexpr int bottomleft = 7;
        constexpr int bottomright = 8;
    } // namespace wmsz

    namespace wa
    {
        constexpr int inactive = 0;
        constexpr int active = 1;
        constexpr int clickactive = 2;
    } // namespace wa

    namespace ws
    {
        constexpr DWORD overlapped = 0x00000000;
        constexpr DWORD popup = 0x80000000;
        constexpr DWORD child = 0x40000000;
        constexpr DWORD visible = 0x10000000;
        constexpr DWORD disabled = 0x08000000;
        constexpr DWORD clipsiblings = 0x04000000;
        constexpr DWORD clipchildren = 0x02000000;
        constexpr DWORD caption = 0x00C00000;
        constexpr DWORD border = 0x00800000;
        constexpr DWORD dlgframe = 0x00400000;
        constexpr DWORD vscroll = 0x00200000;
        constexpr DWORD sysmenu = 0x00080000;
        constexpr DWORD thickframe = 0x00040000;
        constexpr DWORD group = 0x00020000;
        constexpr DWORD tabstop = 0x00010000;
        constexpr DWORD minimizebox = 0x00020000;
        constexpr DWORD maximizebox = 0x00010000;
    } // namespace ws

    namespace ws_ex
    {
        constexpr DWORD dlgmodalframe = 0x00000001;
        constexpr DWORD topmost = 0x00000008;
        constexpr DWORD toolwindow = 0x00000080;
        constexpr DWORD windowedge = 0x00000100;
        constexpr DWORD clientedge = 0x00000200;
        constexpr DWORD controlparent = 0x00010000;
        constexpr DWORD transparent = 0x00000020;
        constexpr DWORD appwindow = 0x00040000;
        constexpr DWORD layered = 0x00080000;
    } // namespace ws_ex

    namespace gwl
    {
        constexpr int style = -16;
        constexpr int exstyle = -20;
    } // namespace gwl

    // Button and edit control styles, messages and notifications.
    namespace bs
    {
        constexpr DWORD pushbutton = 0x0000;
        constexpr DWORD defpushbutton = 0x0001;
        constexpr DWORD autocheckbox = 0x0003;
    } // namespace bs
    namespace bm
    {
        constexpr UINT getcheck = 0x00F0;
        constexpr UINT setcheck = 0x00F1;
        constexpr UINT click = 0x00F5;
    } // namespace bm
    namespace bn
    {
        constexpr UINT clicked = 0;
    }
    namespace es
    {
        constexpr DWORD multiline = 0x0004;
        constexpr DWORD autovscroll = 0x0040;
        constexpr DWORD readonly = 0x0800;
    } // namespace es
    namespace en
    {
        constexpr UINT setfocus = 0x0100;
    }

    namespace mb
    {
        constexpr UINT ok = 0x00000000;
        constexpr UINT okcancel = 0x00000001;
        constexpr UINT yesno = 0x00000004;
        constexpr UINT iconerror = 0x00000010;
        constexpr UINT iconquestion = 0x00000020;
        constexpr UINT iconwarning = 0x00000030;
        constexpr UINT iconinformation = 0x00000040;
        constexpr UINT taskmodal = 0x00002000;
        constexpr UINT typemask = 0x0000000F;
        constexpr UINT iconmask = 0x000000F0;
    } // namespace mb

    namespace id
    {
        constexpr int ok = 1;
        constexpr int cancel = 2;
        constexpr int yes = 6;
        constexpr int no = 7;
    } // namespace id

    namespace sm
    {
        constexpr int cxscreen = 0;
        constexpr int cyscreen = 1;
        constexpr int cxvscroll = 2;
        constexpr int cyhscroll = 3;
        constexpr int cycaption = 4;
        constexpr int cxborder = 5;
        constexpr int cyborder = 6;
        constexpr int cxdlgframe = 7;
        constexpr int cydlgframe = 8;
        constexpr int cxicon = 11;
        constexpr int cyicon = 12;
        constexpr int swapbutton = 23;
        constexpr int cxframe = 32;
        constexpr int cyframe = 33;
        constexpr int cxdoubleclk = 36;
        constexpr int cydoubleclk = 37;
        constexpr int cxsmicon = 49;
        constexpr int cysmicon = 50;
        constexpr int cmonitors = 80;
    } // namespace sm

    namespace vk
    {
        constexpr int lbutton = 0x01;
        constexpr int rbutton = 0x02;
        constexpr int tab = 0x09;
        constexpr int return_ = 0x0D;
        constexpr int shift = 0x10;
        constexpr int control = 0x11;
        constexpr int menu = 0x12;
        constexpr int escape = 0x1B;
        constexpr int space = 0x20;
        constexpr int left = 0x25;
        constexpr int right = 0x27;
    } // namespace vk

    // The keys a stage takes, by the names movies get.
    namespace stagekey
    {
        inline constexpr const wchar_t* left = L"left";
        inline constexpr const wchar_t* right = L"right";
        inline constexpr const wchar_t* enter = L"enter";
        inline constexpr const wchar_t* space = L"space";
        inline constexpr const wchar_t* escape = L"escape";
    } // namespace stagekey

    // Accessibility events, objects and roles.
    namespace winevent
    {
        constexpr DWORD object_focus = 0x8005;
        constexpr DWORD object_namechange = 0x800C;
    } // namespace winevent
    namespace objid
    {
        constexpr long client = -4;
        constexpr long childid_self = 0;
    } // namespace objid
    namespace role
    {
        constexpr long statictext = 0x29;
        constexpr long animation = 0x36;
    } // namespace role

    // Session changes (WM_WTSSESSION_CHANGE wParam) and the display's power state.
    namespace wts
    {
        constexpr WPARAM session_lock = 0x7;
        constexpr WPARAM session_unlock = 0x8;
    } // namespace wts
    namespace pbt
    {
        constexpr WPARAM powersettingchange = 0x8013;
    } // namespace pbt
    namespace displaystate
    {
        constexpr LPARAM off = 0;
        constexpr LPARAM on = 1;
        constexpr LPARAM dimmed = 2;
    } // namespace displaystate

    // MK_ flags of mouse messages.
    namespace mk
    {
        constexpr WPARAM lbutton = 0x0001;
        constexpr WPARAM rbutton = 0x0002;
        constexpr WPARAM control = 0x0008;
    } // namespace mk

    namespace sc
    {
        constexpr UINT size = 0xF000;
        constexpr UINT move = 0xF010;
        constexpr UINT minimize = 0xF020;
        constexpr UINT maximize = 0xF030;
        constexpr UINT close = 0xF060;
        constexpr UINT restore = 0xF120;
    } // namespace sc

    namespace mf
    {
        constexpr UINT bycommand = 0x00000000;
        constexpr UINT byposition = 0x00000400;
    } // namespace mf

    namespace tpm
    {
        constexpr UINT leftbutton = 0x0000;
        constexpr UINT leftalign = 0x0000;
        constexpr UINT rightbutton = 0x0002;
        constexpr UINT nonotify = 0x0080;
        constexpr UINT returncmd = 0x0100;
    } // namespace tpm

    // System cursors and icons (MAKEINTRESOURCE ids).
    namespace idc
    {
        constexpr int arrow = 32512;
        constexpr int ibeam = 32513;
        constexpr int sizeall = 32646;
        constexpr int hand = 32649;
    } // namespace idc
    namespace idi
    {
        constexpr int application = 32512;
        constexpr int question = 32514;
    } // namespace idi

    // System colours (GetSysColor).
    namespace color
    {
        constexpr int btnface = 15;
        constexpr int btntext = 18;
        constexpr int window = 5;
        constexpr int windowtext = 8;
        constexpr int highlight = 13;
        constexpr int highlighttext = 14;
        constexpr int hotlight = 26;
    } // namespace color

    // What a host asks of a player's stage besides the movie.
    struct StageState
    {
        bool paused = false;        // the user paused the motion: no frames
        bool hidden = false;        // nothing of the stage can be seen: no frames
        bool reducedMotion = false; // Windows' animations are off: no scrolling
        bool highContrast = false;  // a high-contrast theme: draw with its colours
        Color window = 0, text = 0, highlight = 0, highlightText = 0, hotTrack = 0;
        bool operator==(const StageState&) const = default;
    };

    // DrawText flags.
    namespace dt
    {
        constexpr UINT left = 0x0000;
        constexpr UINT center = 0x0001;
        constexpr UINT right = 0x0002;
        constexpr UINT vcenter = 0x0004;
        constexpr UINT wordbreak = 0x0010;
        constexpr UINT singleline = 0x0020;
        constexpr UINT noprefix = 0x0800;
    } // namespace dt

    // Desktop toolbar messages, notifications, states and edges.
    namespace abm
    {
        constexpr UINT new_ = 0x00000000;
        constexpr UINT remove = 0x00000001;
        constexpr UINT querypos = 0x00000002;
        constexpr UINT setpos = 0x00000003;
        constexpr UINT getstate = 0x00000004;
        constexpr UINT gettaskbarpos = 0x00000005;
        constexpr UINT activate = 0x00000006;
        constexpr UINT getautohidebar = 0x00000007;
        constexpr UINT setautohidebar = 0x00000008;
        constexpr UINT windowposchanged = 0x00000009;
        constexpr UINT setstate = 0x0000000A;
    } // namespace abm
    namespace abn
    {
        constexpr UINT statechange = 0x0000000;
        constexpr UINT poschanged = 0x0000001;
        constexpr UINT fullscreenapp = 0x0000002;
        constexpr UINT windowarrange = 0x0000003;
    } // namespace abn
    namespace abs_
    {
        constexpr UINT autohide = 0x0000001;
        constexpr UINT alwaysontop = 0x0000002;
    } // namespace abs_
    namespace abe
    {
        constexpr UINT left = 0;
        constexpr UINT top = 1;
        constexpr UINT right = 2;
        constexpr UINT bottom = 3;
    } // namespace abe

    // Notification-area icon.
    namespace nim
    {
        constexpr DWORD add = 0x00000000;
        constexpr DWORD modify = 0x00000001;
        constexpr DWORD delete_ = 0x00000002;
    } // namespace nim
    namespace nif
    {
        constexpr UINT message = 0x00000001;
        constexpr UINT icon = 0x00000002;
        constexpr UINT tip = 0x00000004;
    } // namespace nif

    // Registry.
    enum class RegRoot : std::uint32_t
    {
        classesRoot = 0x80000000,
        currentUser = 0x80000001,
        localMachine = 0x80000002,
    };
    namespace reg
    {
        constexpr DWORD none = 0;
        constexpr DWORD sz = 1;
        constexpr DWORD expand_sz = 2;
        constexpr DWORD binary = 3;
        constexpr DWORD dword = 4;
    } // namespace reg

    // Wait results.
    namespace wait
    {
        constexpr DWORD object_0 = 0x00000000;
        constexpr DWORD abandoned = 0x00000080;
        constexpr DWORD timeout = 0x00000102;
        constexpr DWORD failed = 0xFFFFFFFF;
    } // namespace wait

    // Win32 error codes returned by the registry calls.
    namespace error
    {
        constexpr long success = 0;
        constexpr long file_not_found = 2;
        constexpr long access_denied = 5;
        constexpr long invalid_handle = 6;
        constexpr long more_data = 234;
    } // namespace error

    // COM results.
    using HResult = std::int32_t;
    namespace hr
    {
        constexpr HResult ok = 0;
        constexpr HResult fail = static_cast<HResult>(0x80004005u);
        constexpr HResult class_not_registered = static_cast<HResult>(0x80040154u); // REGDB_E_CLASSNOTREG
    }                                                                               // namespace hr

    namespace oleiverb
    {
        constexpr int show = -1;
    }

    namespace logpixels
    {
        constexpr int x = 88; // LOGPIXELSX
    }
} // namespace os
