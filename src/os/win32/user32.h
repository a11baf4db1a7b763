// Windows, messages, loops, timers, menus, message boxes, cursors and icons over
// user32.
#pragma once

#include "os/os.h"
#include "os/win32/gdi32.h"

#include <windows.h>

#include <map>
#include <string>
#include <utility>

namespace os::win32
{
    class Win32Windows final : public IWindowManager
    {
      public:
        explicit Win32Windows(FontCache& fonts);
        Win32Windows(const Win32Windows&) = delete;
        Win32Windows& operator=(const Win32Windows&) = delete;
        ~Win32Windows();

        Hwnd Create(const WindowParams& request, IWindowProcedure* proc) override;
        bool Destroy(Hwnd hwnd) override;
        bool IsWindow(Hwnd hwnd) override;
        LRESULT DefaultProc(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
        bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy, UINT flags) override;
        bool ShowWindow(Hwnd hwnd, int cmd) override;
        bool IsWindowVisible(Hwnd hwnd) override;
        bool IsWhollyCovered(Hwnd hwnd) override;
        bool EnableWindow(Hwnd hwnd, bool enable) override;
        bool IsWindowEnabled(Hwnd hwnd) override;
        Rect GetWindowRect(Hwnd hwnd) override;
        Rect GetClientRect(Hwnd hwnd) override;
        Point ClientToScreen(Hwnd hwnd, Point p) override;
        Point ScreenToClient(Hwnd hwnd, Point p) override;
        Rect AdjustWindowRectEx(Rect client, DWORD style, DWORD exStyle) override;
        DWORD GetStyle(Hwnd hwnd) override;
        void SetStyle(Hwnd hwnd, DWORD style) override;
        bool IsTopmost(Hwnd hwnd) override;
        void SetText(Hwnd hwnd, const std::string& text) override;
        std::string GetText(Hwnd hwnd) override;
        void SetFont(Hwnd hwnd, const Font& font) override;
        void SetIcon(Hwnd hwnd, IconHandle icon) override;
        Hwnd SetFocus(Hwnd hwnd) override;
        Hwnd GetFocus() override;
        bool SetForegroundWindow(Hwnd hwnd) override;
        Hwnd GetForegroundWindow() override;
        Hwnd GetActiveWindow() override;
        void InvalidateRect(Hwnd hwnd, const Rect* r) override;
        void UpdateWindow(Hwnd hwnd) override;
        void Paint(Hwnd hwnd, const std::function<void(ICanvas&)>& paint) override;
        void PaintNow(Hwnd hwnd, const std::function<void(ICanvas&)>& paint) override;
        Size MeasureText(const std::wstring& text, const Font& f) override;
        bool TrackMouseLeave(Hwnd hwnd) override;

        LRESULT Send(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
        bool Post(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
        UINT RegisterMessage(const std::string& name) override;
        void SetMessageFilter(IMessageFilter* filter) override { _filter = filter; }
        int RunMessageLoop() override;
        bool PumpMessages() override;
        void PostQuitMessage(int exitCode) override;

        bool SetTimer(Hwnd hwnd, std::uintptr_t id, UINT elapse) override;
        bool KillTimer(Hwnd hwnd, std::uintptr_t id) override;

        MenuHandle CreatePopupMenu() override;
        bool AppendMenuItem(MenuHandle menu, const MenuItemParams& item) override;
        bool DestroyMenu(MenuHandle menu) override;
        UINT TrackPopupMenu(MenuHandle menu, UINT flags, Point at, Hwnd owner) override;
        MenuHandle GetSystemMenu(Hwnd hwnd, bool revert) override;
        bool DeleteMenu(MenuHandle menu, UINT item, UINT flags) override;

        int ShowMessageBox(Hwnd owner, const std::string& text, const std::string& caption, UINT flags) override;

        CursorHandle LoadSystemCursor(int idc) override;
        void SetCursor(CursorHandle cursor) override;
        IconHandle LoadSystemIcon(int idi) override;
        IconHandle LoadAppIcon(int size) override;
        int GetDpiForWindow(Hwnd hwnd) override;
        Bitmap Render(Size size, const std::function<void(ICanvas&)>& paint) override
        {
            return RenderBitmap(_fonts, size, paint);
        }
        void SetAccessible(Hwnd hwnd, IAccessibleContent* content) override;
        void NotifyWinEvent(DWORD event, Hwnd hwnd, long idObject, long idChild) override;
        bool RegisterSessionNotification(Hwnd hwnd) override;
        void UnregisterSessionNotification(Hwnd hwnd) override;
        bool RegisterDisplayStateNotification(Hwnd hwnd) override;
        void UnregisterDisplayStateNotification(Hwnd hwnd) override;

      private:
        // Registers the window class on first use; returns its name, or "" on failure.
        std::wstring ClassFor(const std::string& className, bool doubleClicks);
        void Dispatch(const MSG& msg);
        // The program's own icon at this size, or null when the program has none.
        HICON AppIcon(int size);

        FontCache& _fonts;
        BackBuffer _backBuffer;
        TextMeasurer _measurer;
        HINSTANCE _instance;
        IMessageFilter* _filter = nullptr;
        // Lower-cased class name and CS_DBLCLKS -> the name registered for it.
        std::map<std::pair<std::string, bool>, std::wstring> _classes;
        std::map<int, HICON> _appIcons; // by size in pixels
    };
} // namespace os::win32
