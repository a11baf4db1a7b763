// The program's icon in the notification area. It adds itself when asked, removes
// itself on every way out (at the latest when it is destroyed), and adds itself
// again when the shell broadcasts "TaskbarCreated" after a restart of the shell,
// which loses every icon.
#pragma once

#include "os/os.h"

#include <string>

namespace app
{
    class TrayIcon
    {
      public:
        TrayIcon(os::Os& os, os::UINT id, os::UINT callbackMessage);
        TrayIcon(const TrayIcon&) = delete;
        TrayIcon& operator=(const TrayIcon&) = delete;
        ~TrayIcon();

        // NIM_ADD for this window with the icon and tip; true when the shell took it.
        bool Add(os::Hwnd window, os::IconHandle icon, const std::string& tip);
        // The tip, cut to the 127 characters the shell shows (with an ellipsis when
        // cut): NIM_MODIFY when added, kept for the next add otherwise.
        void SetTip(const std::wstring& tip);
        // NIM_DELETE, when added.
        void Remove();
        bool Added() const { return _added; }
        // The message the shell broadcasts to every top-level window when it starts.
        os::UINT TaskbarCreatedMessage() const { return _taskbarCreated; }
        // The shell (re)started: the icon is added again unless the program removed it.
        void TaskbarCreated();
        const os::NotifyIconData& Data() const { return _data; }

      private:
        os::Os& _os;
        os::NotifyIconData _data;
        os::UINT _taskbarCreated;
        bool _added = false;
        bool _wanted = false;
    };
} // namespace app
