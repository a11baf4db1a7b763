// The simulated window manager's side of the system around the windows: what
// assistive technology reads, the session's lock, the display's power and the
// settings broadcast.
#include "os/sim/windows.h"

namespace os::sim
{
    IAccessibleContent* SimWindows::AccessibleOf(Hwnd hwnd) const
    {
        const Window* w = Find(hwnd);
        return w ? w->accessible : nullptr;
    }

    void SimWindows::SetAccessible(Hwnd hwnd, IAccessibleContent* content)
    {
        if (Window* w = Find(hwnd))
            w->accessible = content;
    }

    void SimWindows::NotifyWinEvent(DWORD event, Hwnd hwnd, long idObject, long idChild)
    {
        _winEvents.push_back({ event, hwnd, idObject, idChild, _clock.Now() });
    }

    bool SimWindows::RegisterSessionNotification(Hwnd hwnd)
    {
        Window* w = Find(hwnd);
        if (!w)
            return false;
        w->hearsSession = true;
        return true;
    }

    void SimWindows::UnregisterSessionNotification(Hwnd hwnd)
    {
        if (Window* w = Find(hwnd))
            w->hearsSession = false;
    }

    bool SimWindows::RegisterDisplayStateNotification(Hwnd hwnd)
    {
        Window* w = Find(hwnd);
        if (!w)
            return false;
        w->hearsDisplay = true;
        // Windows tells a window the display's state at once when it registers.
        Post(hwnd, wm::powerbroadcast, pbt::powersettingchange, _displayState);
        return true;
    }

    void SimWindows::UnregisterDisplayStateNotification(Hwnd hwnd)
    {
        if (Window* w = Find(hwnd))
            w->hearsDisplay = false;
    }

    bool SimWindows::HearsSession(Hwnd hwnd) const
    {
        const Window* w = Find(hwnd);
        return w && w->hearsSession;
    }

    bool SimWindows::HearsDisplayState(Hwnd hwnd) const
    {
        const Window* w = Find(hwnd);
        return w && w->hearsDisplay;
    }

    void SimWindows::SessionChanged(bool locked)
    {
        std::vector<Hwnd> listeners;
        for (const auto& [h, w] : _windows)
            if (w->hearsSession)
                listeners.push_back(h);
        for (Hwnd h : listeners)
            Post(h, wm::wtssession_change, locked ? wts::session_lock : wts::session_unlock, 0);
    }

    void SimWindows::DisplayStateChanged(LPARAM state)
    {
        _displayState = state;
        std::vector<Hwnd> listeners;
        for (const auto& [h, w] : _windows)
            if (w->hearsDisplay)
                listeners.push_back(h);
        for (Hwnd h : listeners)
            Post(h, wm::powerbroadcast, pbt::powersettingchange, state);
    }

    void SimWindows::SettingChanged(UINT spi)
    {
        for (Hwnd h : TopLevelWindows())
            if (Find(h))
                Send(h, wm::settingchange, spi, 0);
    }
} // namespace os::sim
