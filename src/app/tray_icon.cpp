#include "app/tray_icon.h"

namespace app
{
    TrayIcon::TrayIcon(os::Os& os, os::UINT id, os::UINT callbackMessage)
        : _os(os), _taskbarCreated(os.windows.RegisterMessage("TaskbarCreated"))
    {
        _data.id = id;
        _data.callbackMessage = callbackMessage;
        _data.flags = os::nif::message | os::nif::icon | os::nif::tip;
    }

    TrayIcon::~TrayIcon()
    {
        Remove();
    }

    bool TrayIcon::Add(os::Hwnd window, os::IconHandle icon, const std::string& tip)
    {
        _data.hwnd = window;
        _data.icon = icon;
        _data.tip = tip;
        _wanted = true;
        _added = _os.shell.NotifyIcon(os::nim::add, _data);
        return _added;
    }

    void TrayIcon::SetTip(const std::wstring& tip)
    {
        constexpr std::size_t MaxTip = 127;
        std::wstring cut = tip;
        if (cut.size() > MaxTip)
        {
            std::size_t keep = MaxTip - 1;
            // A surrogate pair stays whole.
            if (cut[keep - 1] >= 0xD800 && cut[keep - 1] <= 0xDBFF)
                --keep;
            cut.resize(keep);
            cut += L'\u2026';
        }
        if (cut == _data.wideTip)
            return;
        _data.wideTip = cut;
        if (_added)
            _os.shell.NotifyIcon(os::nim::modify, _data);
    }

    void TrayIcon::Remove()
    {
        if (_added)
            _os.shell.NotifyIcon(os::nim::delete_, _data);
        _added = false;
        _wanted = false;
    }

    void TrayIcon::TaskbarCreated()
    {
        // Also when the first add failed because the shell was not up yet, as at log-on.
        if (_wanted)
            _added = _os.shell.NotifyIcon(os::nim::add, _data);
    }
} // namespace app
