// Desktop toolbars, the notification-area icon and ShellExecute.
#pragma once

#include "os/os.h"

namespace os::win32
{
    class Win32Shell final : public IShell
    {
      public:
        std::uintptr_t AppBarMessage(DWORD msg, AppBarData& data) override;
        bool NotifyIcon(DWORD op, const NotifyIconData& data) override;
        bool TaskbarAlwaysOnTop() override;
        std::intptr_t Execute(Hwnd owner, const std::string& verb, const std::string& file, const std::string& params,
                              const std::string& dir, int show) override;
    };
} // namespace os::win32
