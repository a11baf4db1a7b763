#include "os/win32/shell32.h"

#include "os/win32/common.h"
#include "os/win32/ole32.h"

#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <type_traits>

namespace os::win32
{
    // os::AppBarData is APPBARDATA field for field (checked in full in static_asserts.cpp).
    static_assert(sizeof(AppBarData) == sizeof(APPBARDATA));
    static_assert(std::is_standard_layout_v<AppBarData> && std::is_trivially_copyable_v<AppBarData>);

    std::uintptr_t Win32Shell::AppBarMessage(DWORD msg, AppBarData& data)
    {
        return static_cast<std::uintptr_t>(SHAppBarMessage(msg, reinterpret_cast<APPBARDATA*>(&data)));
    }

    bool Win32Shell::TaskbarAlwaysOnTop()
    {
        // Windows 7 is version 6.1; later versions answer at least that, whatever
        // the program's manifest says.
        OSVERSIONINFOEXW version{};
        version.dwOSVersionInfoSize = sizeof(version);
        version.dwMajorVersion = 6;
        version.dwMinorVersion = 1;
        DWORDLONG condition = 0;
        condition = VerSetConditionMask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
        condition = VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
        return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION, condition) != FALSE;
    }

    bool Win32Shell::NotifyIcon(DWORD op, const NotifyIconData& data)
    {
        NOTIFYICONDATAW nid{};
        nid.cbSize = sizeof(nid);
        nid.hWnd = ToHwnd(data.hwnd);
        nid.uID = data.id;
        nid.uFlags = data.flags;
        nid.uCallbackMessage = data.callbackMessage;
        nid.hIcon = ToHicon(data.icon);
        const std::wstring tip = data.wideTip.empty() ? Widen(data.tip) : data.wideTip;
        const std::size_t length = std::min(tip.size(), std::size(nid.szTip) - 1);
        std::copy_n(tip.begin(), length, nid.szTip);
        nid.szTip[length] = L'\0';
        return Shell_NotifyIconW(op, &nid) != FALSE;
    }

    std::intptr_t Win32Shell::Execute(Hwnd owner, const std::string& verb, const std::string& file, const std::string& params,
                                      const std::string& dir, int show)
    {
        const std::wstring wideVerb = Widen(verb);
        const std::wstring wideFile = Widen(file);
        const std::wstring wideParams = Widen(params);
        const std::wstring wideDir = Widen(dir);
        // What the shell runs may be a COM object: COM is started for it first, as
        // a program that never hosted a control has not started it.
        StartComHere();
        // An empty verb, parameter list or folder is "none" (the default verb, ...).
        HINSTANCE result =
            ShellExecuteW(ToHwnd(owner), wideVerb.empty() ? nullptr : wideVerb.c_str(), wideFile.c_str(),
                          wideParams.empty() ? nullptr : wideParams.c_str(), wideDir.empty() ? nullptr : wideDir.c_str(), show);
        return reinterpret_cast<std::intptr_t>(result);
    }
} // namespace os::win32
