#include "os/win32/user32.h"

#include "os/win32/accessible.h"
#include "os/win32/common.h"
#include "os/win32/dpi.h"
#include "os/win32/notifications.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace os::win32
{
    namespace
    {
        // The program's icon in its resources.
        constexpr WORD kAppIconId = 1;

        std::string Lower(std::string s)
        {
            std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            return s;
        }

        // Whether the desktop's compositor hides the window although it is visible
        // (a window of another virtual desktop, a suspended app's): dwmapi is loaded
        // only when a window that could cover is found, and a system without it (or
        // Wine, which answers nothing) hides nothing this way.
        bool Cloaked(HWND hwnd)
        {
            using GetAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
            static const GetAttributeFn get = []() -> GetAttributeFn
            {
                const HMODULE dwmapi = LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
                if (!dwmapi)
                    return nullptr;
                return reinterpret_cast<GetAttributeFn>(reinterpret_cast<void*>(GetProcAddress(dwmapi, "DwmGetWindowAttribute")));
            }();
            constexpr DWORD kCloaked = 14; // DWMWA_CLOAKED
            DWORD cloaked = 0;
            return get && SUCCEEDED(get(hwnd, kCloaked, &cloaked, sizeof(cloaked))) && cloaked != 0;
        }

        // One window above the window's top-level one in the z-order that covers all of
        // it. The walk is bounded: the z-order may change under it.
        bool WhollyCovered(HWND hwnd)
        {
            RECT r{};
            const HWND top = GetAncestor(hwnd, GA_ROOT);
            if (!top || !GetWindowRect(hwnd, &r) || IsRectEmpty(&r))
                return false;
            int left = 1024;
            for (HWND above = GetWindow(top, GW_HWNDPREV); above && left-- > 0; above = GetWindow(above, GW_HWNDPREV))
            {
                if (!::IsWindowVisible(above) || IsIconic(above))
                    continue;
                RECT c{};
                if (!GetWindowRect(above, &c) || c.left > r.left || c.top > r.top || c.right < r.right || c.bottom < r.bottom)
                    continue;
                if ((GetWindowLongW(above, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT)) == 0 && !Cloaked(above))
                    return true;
            }
            return false;
        }

        bool IsSystemControlClass(const std::string& className)
        {
            const std::string lower = Lower(className);
            return lower == "button" || lower == "edit";
        }

        // One window procedure for every class of the program: the window's
        // IWindowProcedure arrives in CREATESTRUCT at WM_NCCREATE and is kept in the
        // window's user data until WM_NCDESTROY. Messages sent before WM_NCCREATE
        // (WM_GETMINMAXINFO of an overlapped window) get the default handling.
        // The backend answers a screen reader's WM_GETOBJECT for the client of a
        // window with accessible content itself, and hands the display's power state
        // on in the seam's form; at WM_NCDESTROY it lets go of what it keeps for the
        // window.
        LRESULT CALLBACK Trampoline(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
        {
            if (msg == WM_NCCREATE)
            {
                const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
                SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            }
            if (msg == WM_GETOBJECT)
            {
                LRESULT answer = 0;
                if (AnswerGetObject(hwnd, wParam, lParam, answer))
                    return answer;
            }
            if (msg == WM_POWERBROADCAST)
            {
                LPARAM state = 0;
                switch (ReadPowerBroadcast(wParam, lParam, state))
                {
                case PowerMessage::pass: break;
                case PowerMessage::translate: lParam = state; break;
                case PowerMessage::withhold:
                    // The program registers for no other setting, and the seam's
                    // form of this message carries only the display's state.
                    return DefWindowProcW(hwnd, msg, wParam, lParam);
                }
            }
            auto* proc = reinterpret_cast<IWindowProcedure*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            if (!proc)
                return DefWindowProcW(hwnd, msg, wParam, lParam);
            const LRESULT result = proc->WindowProc(FromHwnd(hwnd), msg, wParam, lParam);
            if (msg == WM_NCDESTROY)
            {
                SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
                DetachAccessible(hwnd);
                ReleaseNotifications(hwnd);
            }
            return result;
        }

        // A window of the program's own classes, made on this thread: the only
        // windows whose destruction the trampoline sees.
        bool IsOwnWindow(HWND hwnd)
        {
            return ::IsWindow(hwnd) && GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId() &&
                   reinterpret_cast<WNDPROC>(GetClassLongPtrW(hwnd, GCLP_WNDPROC)) == Trampoline;
        }

        HICON LoadOwnIcon(HINSTANCE instance, int size)
        {
            return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON, size, size, 0));
        }
    } // namespace

    Win32Windows::Win32Windows(FontCache& fonts) : _fonts(fonts), _instance(GetModuleHandleW(nullptr)) {}

    Win32Windows::~Win32Windows()
    {
        // Fails for a class that still has windows; those go with the process.
        for (const auto& [key, name] : _classes)
            UnregisterClassW(name.c_str(), _instance);
        for (const auto& [size, icon] : _appIcons)
            DestroyIcon(icon);
        ReleaseAccessibilityCom();
    }

    // ------------------------------------------------------------------ creation and destruction

    std::wstring Win32Windows::ClassFor(const std::string& className, bool doubleClicks)
    {
        const auto key = std::make_pair(Lower(className), doubleClicks);
        if (auto it = _classes.find(key); it != _classes.end())
            return it->second;
        // A class keeps its own name unless the other CS_DBLCLKS variant already has it.
        std::wstring name = Widen(className);
        if (_classes.count({ key.first, !doubleClicks }))
            name += doubleClicks ? L".DblClks" : L".NoDblClks";

        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = doubleClicks ? CS_DBLCLKS : 0;
        wc.lpfnWndProc = Trampoline;
        wc.hInstance = _instance;
        wc.hIcon = AppIcon(GetSystemMetrics(SM_CXICON));
        wc.hIconSm = AppIcon(GetSystemMetrics(SM_CXSMICON));
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = nullptr; // the program paints every pixel itself
        wc.lpszClassName = name.c_str();
        if (!RegisterClassExW(&wc))
        {
            // Another adapter of this process may have registered it with the same
            // procedure (and not been able to unregister it, its windows still alive).
            WNDCLASSEXW existing{};
            existing.cbSize = sizeof(existing);
            if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS || !GetClassInfoExW(_instance, name.c_str(), &existing) ||
                existing.lpfnWndProc != Trampoline || ((existing.style & CS_DBLCLKS) != 0) != doubleClicks)
                return {};
        }
        _classes.emplace(key, name);
        return name;
    }

    Hwnd Win32Windows::Create(const WindowParams& request, IWindowProcedure* proc)
    {
        const bool system = IsSystemControlClass(request.className);
        const std::wstring className = system ? Widen(request.className) : ClassFor(request.className, request.doubleClicks);
        if (className.empty())
            return kNoWindow;
        const std::wstring text = Widen(request.text);
        const bool child = (request.style & WS_CHILD) != 0;
        // A child's menu handle is its control identifier.
        HMENU menuOrId = child ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(request.controlId)) : nullptr;
        HWND hwnd = CreateWindowExW(request.exStyle, className.c_str(), text.c_str(), request.style, request.bounds.left,
                                    request.bounds.top, request.bounds.Width(), request.bounds.Height(), ToHwnd(request.parent),
                                    menuOrId, _instance, system ? nullptr : static_cast<LPVOID>(proc));
        return FromHwnd(hwnd);
    }

    bool Win32Windows::Destroy(Hwnd hwnd)
    {
        return ::DestroyWindow(ToHwnd(hwnd)) != FALSE;
    }

    bool Win32Windows::IsWindow(Hwnd hwnd)
    {
        return ::IsWindow(ToHwnd(hwnd)) != FALSE;
    }

    LRESULT Win32Windows::DefaultProc(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        return DefWindowProcW(ToHwnd(hwnd), msg, wParam, lParam);
    }

    // ------------------------------------------------------------------ position, state, styles

    bool Win32Windows::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy, UINT flags)
    {
        return ::SetWindowPos(ToHwnd(hwnd), ToHwnd(insertAfter), x, y, cx, cy, flags) != FALSE;
    }

    bool Win32Windows::ShowWindow(Hwnd hwnd, int cmd)
    {
        return ::ShowWindow(ToHwnd(hwnd), cmd) != FALSE;
    }

    bool Win32Windows::IsWindowVisible(Hwnd hwnd)
    {
        return ::IsWindowVisible(ToHwnd(hwnd)) != FALSE;
    }

    bool Win32Windows::IsWhollyCovered(Hwnd hwnd)
    {
        return WhollyCovered(ToHwnd(hwnd));
    }

    bool Win32Windows::EnableWindow(Hwnd hwnd, bool enable)
    {
        return ::EnableWindow(ToHwnd(hwnd), enable ? TRUE : FALSE) != FALSE;
    }

    bool Win32Windows::IsWindowEnabled(Hwnd hwnd)
    {
        return ::IsWindowEnabled(ToHwnd(hwnd)) != FALSE;
    }

    Rect Win32Windows::GetWindowRect(Hwnd hwnd)
    {
        RECT rc{};
        if (!::GetWindowRect(ToHwnd(hwnd), &rc))
            return {};
        return FromRECT(rc);
    }

    Rect Win32Windows::GetClientRect(Hwnd hwnd)
    {
        RECT rc{};
        if (!::GetClientRect(ToHwnd(hwnd), &rc))
            return {};
        return FromRECT(rc);
    }

    Point Win32Windows::ClientToScreen(Hwnd hwnd, Point p)
    {
        POINT pt = ToPOINT(p);
        ::ClientToScreen(ToHwnd(hwnd), &pt);
        return FromPOINT(pt);
    }

    Point Win32Windows::ScreenToClient(Hwnd hwnd, Point p)
    {
        POINT pt = ToPOINT(p);
        ::ScreenToClient(ToHwnd(hwnd), &pt);
        return FromPOINT(pt);
    }

    Rect Win32Windows::AdjustWindowRectEx(Rect client, DWORD style, DWORD exStyle)
    {
        RECT rc = ToRECT(client);
        ::AdjustWindowRectEx(&rc, style, FALSE, exStyle);
        return FromRECT(rc);
    }

    DWORD Win32Windows::GetStyle(Hwnd hwnd)
    {
        return static_cast<DWORD>(GetWindowLongPtrW(ToHwnd(hwnd), GWL_STYLE));
    }

    void Win32Windows::SetStyle(Hwnd hwnd, DWORD style)
    {
        SetWindowLongPtrW(ToHwnd(hwnd), GWL_STYLE, static_cast<LONG_PTR>(static_cast<LONG>(style)));
    }

    bool Win32Windows::IsTopmost(Hwnd hwnd)
    {
        return (static_cast<DWORD>(GetWindowLongPtrW(ToHwnd(hwnd), GWL_EXSTYLE)) & WS_EX_TOPMOST) != 0;
    }

    void Win32Windows::SetText(Hwnd hwnd, const std::string& text)
    {
        const std::wstring wide = Widen(text);
        SetWindowTextW(ToHwnd(hwnd), wide.c_str());
    }

    std::string Win32Windows::GetText(Hwnd hwnd)
    {
        const int length = GetWindowTextLengthW(ToHwnd(hwnd));
        if (length <= 0)
            return {};
        std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
        const int copied = GetWindowTextW(ToHwnd(hwnd), buffer.data(), length + 1);
        buffer.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        return Narrow(buffer);
    }

    void Win32Windows::SetFont(Hwnd hwnd, const Font& font)
    {
        if (HFONT f = _fonts.Get(font))
            SendMessageW(ToHwnd(hwnd), WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
    }

    void Win32Windows::SetIcon(Hwnd hwnd, IconHandle icon)
    {
        SendMessageW(ToHwnd(hwnd), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ToHicon(icon)));
        SendMessageW(ToHwnd(hwnd), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ToHicon(icon)));
    }

    Hwnd Win32Windows::SetFocus(Hwnd hwnd)
    {
        return FromHwnd(::SetFocus(ToHwnd(hwnd)));
    }

    Hwnd Win32Windows::GetFocus()
    {
        return FromHwnd(::GetFocus());
    }

    bool Win32Windows::SetForegroundWindow(Hwnd hwnd)
    {
        return ::SetForegroundWindow(ToHwnd(hwnd)) != FALSE;
    }

    Hwnd Win32Windows::GetForegroundWindow()
    {
        return FromHwnd(::GetForegroundWindow());
    }

    Hwnd Win32Windows::GetActiveWindow()
    {
        return FromHwnd(::GetActiveWindow());
    }

    // ------------------------------------------------------------------ painting

    void Win32Windows::InvalidateRect(Hwnd hwnd, const Rect* r)
    {
        // No erase: there is no background brush, the paint covers the client area.
        if (r)
        {
            const RECT rc = ToRECT(*r);
            ::InvalidateRect(ToHwnd(hwnd), &rc, FALSE);
        }
        else
        {
            ::InvalidateRect(ToHwnd(hwnd), nullptr, FALSE);
        }
    }

    void Win32Windows::UpdateWindow(Hwnd hwnd)
    {
        ::UpdateWindow(ToHwnd(hwnd));
    }

    void Win32Windows::Paint(Hwnd hwnd, const std::function<void(ICanvas&)>& paint)
    {
        PaintBuffered(ToHwnd(hwnd), _fonts, _backBuffer, paint);
    }

    void Win32Windows::PaintNow(Hwnd hwnd, const std::function<void(ICanvas&)>& paint)
    {
        PaintBufferedNow(ToHwnd(hwnd), _fonts, _backBuffer, paint);
    }

    Size Win32Windows::MeasureText(const std::wstring& text, const Font& f)
    {
        return _measurer.Measure(text, _fonts.Get(f));
    }

    bool Win32Windows::TrackMouseLeave(Hwnd hwnd)
    {
        // With the pointer already elsewhere, Windows posts the leave at once; Wine
        // starts no tracking at all then, so the leave is posted here on both.
        POINT pointer{};
        if (::IsWindow(ToHwnd(hwnd)) && GetCursorPos(&pointer) && WindowFromPoint(pointer) != ToHwnd(hwnd))
            return PostMessageW(ToHwnd(hwnd), WM_MOUSELEAVE, 0, 0) != FALSE;
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = ToHwnd(hwnd);
        track.dwHoverTime = HOVER_DEFAULT;
        return TrackMouseEvent(&track) != FALSE;
    }

    // ------------------------------------------------------------------ messages and loops

    LRESULT Win32Windows::Send(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        return SendMessageW(ToHwnd(hwnd), msg, wParam, lParam);
    }

    bool Win32Windows::Post(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        return PostMessageW(ToHwnd(hwnd), msg, wParam, lParam) != FALSE;
    }

    UINT Win32Windows::RegisterMessage(const std::string& name)
    {
        const std::wstring wide = Widen(name);
        return RegisterWindowMessageW(wide.c_str());
    }

    void Win32Windows::Dispatch(const MSG& msg)
    {
        if (_filter && _filter->PreTranslateMessage({ FromHwnd(msg.hwnd), msg.message, msg.wParam, msg.lParam }))
            return;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    int Win32Windows::RunMessageLoop()
    {
        MSG msg{};
        for (;;)
        {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0)
                return static_cast<int>(msg.wParam);
            if (got == -1)
                return -1;
            Dispatch(msg);
        }
    }

    bool Win32Windows::PumpMessages()
    {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
            {
                // Leave it for the loop that runs the program.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            Dispatch(msg);
        }
        return true;
    }

    void Win32Windows::PostQuitMessage(int exitCode)
    {
        ::PostQuitMessage(exitCode);
    }

    bool Win32Windows::SetTimer(Hwnd hwnd, std::uintptr_t id, UINT elapse)
    {
        return ::SetTimer(ToHwnd(hwnd), static_cast<UINT_PTR>(id), elapse, nullptr) != 0;
    }

    bool Win32Windows::KillTimer(Hwnd hwnd, std::uintptr_t id)
    {
        return ::KillTimer(ToHwnd(hwnd), static_cast<UINT_PTR>(id)) != FALSE;
    }

    // ------------------------------------------------------------------ menus

    MenuHandle Win32Windows::CreatePopupMenu()
    {
        return FromHmenu(::CreatePopupMenu());
    }

    bool Win32Windows::AppendMenuItem(MenuHandle menu, const MenuItemParams& item)
    {
        const int count = GetMenuItemCount(ToHmenu(menu));
        if (count < 0)
            return false;
        std::wstring text = Widen(item.text);
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID;
        info.wID = item.id;
        if (item.separator)
        {
            info.fType = MFT_SEPARATOR;
        }
        else
        {
            info.fMask |= MIIM_STRING;
            info.fType = item.radio ? MFT_RADIOCHECK : MFT_STRING;
            info.dwTypeData = text.data();
            info.cch = static_cast<UINT>(text.size());
        }
        info.fState = (item.checked ? MFS_CHECKED : MFS_UNCHECKED) | (item.enabled ? MFS_ENABLED : (MFS_DISABLED | MFS_GRAYED));
        if (item.submenu != MenuHandle{})
        {
            info.fMask |= MIIM_SUBMENU;
            info.hSubMenu = ToHmenu(item.submenu);
        }
        return InsertMenuItemW(ToHmenu(menu), static_cast<UINT>(count), TRUE, &info) != FALSE;
    }

    bool Win32Windows::DestroyMenu(MenuHandle menu)
    {
        return ::DestroyMenu(ToHmenu(menu)) != FALSE;
    }

    UINT Win32Windows::TrackPopupMenu(MenuHandle menu, UINT flags, Point at, Hwnd owner)
    {
        return static_cast<UINT>(TrackPopupMenuEx(ToHmenu(menu), flags, at.x, at.y, ToHwnd(owner), nullptr));
    }

    MenuHandle Win32Windows::GetSystemMenu(Hwnd hwnd, bool revert)
    {
        return FromHmenu(::GetSystemMenu(ToHwnd(hwnd), revert ? TRUE : FALSE));
    }

    bool Win32Windows::DeleteMenu(MenuHandle menu, UINT item, UINT flags)
    {
        return ::DeleteMenu(ToHmenu(menu), item, flags) != FALSE;
    }

    int Win32Windows::ShowMessageBox(Hwnd owner, const std::string& text, const std::string& caption, UINT flags)
    {
        const std::wstring wideText = Widen(text);
        const std::wstring wideCaption = Widen(caption);
        return MessageBoxW(ToHwnd(owner), wideText.c_str(), wideCaption.c_str(), flags);
    }

    // ------------------------------------------------------------------ cursors and icons

    CursorHandle Win32Windows::LoadSystemCursor(int idc)
    {
        return FromHcursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(static_cast<WORD>(idc))));
    }

    void Win32Windows::SetCursor(CursorHandle cursor)
    {
        ::SetCursor(ToHcursor(cursor));
    }

    IconHandle Win32Windows::LoadSystemIcon(int idi)
    {
        return FromHicon(LoadIconW(nullptr, MAKEINTRESOURCEW(static_cast<WORD>(idi))));
    }

    IconHandle Win32Windows::LoadAppIcon(int size)
    {
        if (HICON own = AppIcon(size))
            return FromHicon(own);
        return LoadSystemIcon(idi::application);
    }

    int Win32Windows::GetDpiForWindow(Hwnd hwnd)
    {
        return DpiFunctions::Get().ForWindow(ToHwnd(hwnd));
    }

    void Win32Windows::SetAccessible(Hwnd hwnd, IAccessibleContent* content)
    {
        // Clearing is always allowed; content is kept only for a window whose
        // destruction will let go of it.
        if (!content || IsOwnWindow(ToHwnd(hwnd)))
            AttachAccessible(ToHwnd(hwnd), content);
    }

    void Win32Windows::NotifyWinEvent(DWORD event, Hwnd hwnd, long idObject, long idChild)
    {
        ::NotifyWinEvent(event, ToHwnd(hwnd), idObject, idChild);
    }

    // Registered only for windows whose destruction releases the registration.
    bool Win32Windows::RegisterSessionNotification(Hwnd hwnd)
    {
        return IsOwnWindow(ToHwnd(hwnd)) && os::win32::RegisterSessionNotification(ToHwnd(hwnd));
    }

    void Win32Windows::UnregisterSessionNotification(Hwnd hwnd)
    {
        os::win32::UnregisterSessionNotification(ToHwnd(hwnd));
    }

    bool Win32Windows::RegisterDisplayStateNotification(Hwnd hwnd)
    {
        return IsOwnWindow(ToHwnd(hwnd)) && os::win32::RegisterDisplayStateNotification(ToHwnd(hwnd));
    }

    void Win32Windows::UnregisterDisplayStateNotification(Hwnd hwnd)
    {
        os::win32::UnregisterDisplayStateNotification(ToHwnd(hwnd));
    }

    HICON Win32Windows::AppIcon(int size)
    {
        // Loaded per size and kept: LR_SHARED would hand out the first size that was
        // loaded whatever the size asked for.
        if (auto it = _appIcons.find(size); it != _appIcons.end())
            return it->second;
        HICON icon = LoadOwnIcon(_instance, size);
        if (icon)
            _appIcons.emplace(size, icon);
        return icon;
    }
} // namespace os::win32
