#include "os/sim/shell.h"

#include <algorithm>

namespace os::sim
{
    SimShell::SimShell(SimSystem& system, SimWindows& windows) : _system(system), _windows(windows)
    {
        RecomputeWorkArea();
    }

    // ------------------------------------------------------------------ taskbar and work area

    void SimShell::SetTaskbar(UINT edge, int thickness)
    {
        _taskbarEdge = edge;
        _taskbarThickness = thickness;
        RecomputeWorkArea();
        Notify(Hwnd{}, abn::poschanged, 0);
    }

    void SimShell::SetTaskbarState(UINT state)
    {
        _taskbarState = state;
        RecomputeWorkArea();
        Notify(Hwnd{}, abn::statechange, 0);
    }

    Rect SimShell::TaskbarRect() const
    {
        const Rect s = _system.Screen();
        const int t = _taskbarThickness;
        switch (_taskbarEdge)
        {
        case abe::left: return { s.left, s.top, s.left + t, s.bottom };
        case abe::top: return { s.left, s.top, s.right, s.top + t };
        case abe::right: return { s.right - t, s.top, s.right, s.bottom };
        default: return { s.left, s.bottom - t, s.right, s.bottom };
        }
    }

    Rect SimShell::Reserved(Hwnd hwnd) const
    {
        auto it = _bars.find(hwnd);
        return it == _bars.end() ? Rect{} : it->second.reserved;
    }

    Hwnd SimShell::AutoHideBar(UINT edge) const
    {
        return edge < 4 ? _autoHide[edge] : Hwnd{};
    }

    namespace
    {
        // A bar docked on `edge` over `bar` takes that side of `rc` away.
        void ClipSide(Rect& rc, UINT edge, const Rect& bar)
        {
            switch (edge)
            {
            case abe::left: rc.left = std::max(rc.left, bar.right); break;
            case abe::top: rc.top = std::max(rc.top, bar.bottom); break;
            case abe::right: rc.right = std::min(rc.right, bar.left); break;
            case abe::bottom: rc.bottom = std::min(rc.bottom, bar.top); break;
            default: break;
            }
        }
    } // namespace

    // The rectangle clipped by the taskbar and by the bars registered before this
    // one: each takes away the side of the rectangle on its own edge.
    Rect SimShell::Adjust(Hwnd hwnd, UINT, Rect rc) const
    {
        auto clip = [&](UINT edge, const Rect& other)
        {
            ClipSide(rc, edge, other);
        };
        if (!(_taskbarState & abs_::autohide))
            clip(_taskbarEdge, TaskbarRect());
        const auto self = _bars.find(hwnd);
        for (const auto& [other, bar] : _bars)
        {
            if (other == hwnd || bar.edge >= 4 || bar.reserved == Rect{})
                continue;
            if (self != _bars.end() && bar.order > self->second.order)
                continue;
            clip(bar.edge, bar.reserved);
        }
        return rc;
    }

    void SimShell::RecomputeWorkArea()
    {
        Rect work = _system.Screen();
        auto take = [&](UINT edge, const Rect& r)
        {
            ClipSide(work, edge, r);
        };
        if (!(_taskbarState & abs_::autohide))
            take(_taskbarEdge, TaskbarRect());
        for (const auto& [hwnd, bar] : _bars)
            if (bar.edge < 4 && bar.reserved != Rect{})
                take(bar.edge, bar.reserved);
        _system.SetWorkArea(work);
    }

    void SimShell::Notify(Hwnd except, UINT code, LPARAM lParam)
    {
        for (const auto& [hwnd, bar] : _bars)
            if (hwnd != except)
                _windows.Post(hwnd, bar.callback, code, lParam);
    }

    void SimShell::ScreenChanged()
    {
        Notify(Hwnd{}, abn::poschanged, 0);
    }

    void SimShell::SetFullScreenApp(bool open)
    {
        Notify(Hwnd{}, abn::fullscreenapp, open ? 1 : 0);
    }

    int SimShell::CountAppBarCalls(DWORD message, Hwnd hwnd) const
    {
        return static_cast<int>(std::count_if(_calls.begin(), _calls.end(),
                                              [&](const AppBarCall& c)
                                              { return c.message == message && (hwnd == Hwnd{} || c.hwnd == hwnd); }));
    }

    std::uintptr_t SimShell::AppBarMessage(DWORD msg, AppBarData& data)
    {
        AppBarCall call{ msg, data.hWnd, data.uEdge, data.rc, data.rc, data.lParam, 0 };
        std::uintptr_t result = 0;
        const bool registered = _bars.count(data.hWnd) != 0;
        switch (msg)
        {
        case abm::new_:
            if (!registered && _windows.IsWindow(data.hWnd))
            {
                _bars[data.hWnd] = { data.uCallbackMessage, ++_order, 0xFFFFFFFF, {} };
                result = 1;
            }
            break;
        case abm::remove:
            if (registered)
            {
                for (Hwnd& h : _autoHide)
                    if (h == data.hWnd)
                        h = Hwnd{};
                _bars.erase(data.hWnd);
                RecomputeWorkArea();
                Notify(data.hWnd, abn::poschanged, 0);
                result = 1;
            }
            break;
        case abm::querypos:
            if (registered && data.uEdge < 4)
            {
                data.rc = Adjust(data.hWnd, data.uEdge, data.rc);
                result = 1;
            }
            break;
        case abm::setpos:
            if (registered)
            {
                Bar& bar = _bars[data.hWnd];
                const Rect before = bar.reserved;
                const UINT edgeBefore = bar.edge;
                if (data.uEdge < 4 && data.rc != Rect{})
                {
                    data.rc = Adjust(data.hWnd, data.uEdge, data.rc);
                    bar.edge = data.uEdge;
                    bar.reserved = data.rc;
                }
                else
                {
                    bar.edge = 0xFFFFFFFF;
                    bar.reserved = {};
                }
                if (before != bar.reserved || edgeBefore != bar.edge)
                {
                    RecomputeWorkArea();
                    Notify(data.hWnd, abn::poschanged, 0);
                }
                result = 1;
            }
            break;
        case abm::getstate: result = _classic ? _taskbarState : (_taskbarState & abs_::autohide); break;
        case abm::setstate:
            SetTaskbarState(static_cast<UINT>(data.lParam) & (abs_::autohide | abs_::alwaysontop));
            result = 1;
            break;
        case abm::gettaskbarpos:
            data.rc = TaskbarRect();
            data.uEdge = _taskbarEdge;
            result = 1;
            break;
        case abm::activate:
        case abm::windowposchanged: result = registered ? 1 : 0; break;
        case abm::getautohidebar: result = data.uEdge < 4 ? static_cast<std::uintptr_t>(_autoHide[data.uEdge]) : 0; break;
        case abm::setautohidebar:
            if (data.uEdge < 4)
            {
                Hwnd& slot = _autoHide[data.uEdge];
                if (data.lParam)
                {
                    if (slot == Hwnd{} || slot == data.hWnd)
                    {
                        slot = data.hWnd;
                        result = 1;
                    }
                }
                else
                {
                    if (slot == data.hWnd)
                        slot = Hwnd{};
                    result = 1;
                }
            }
            break;
        default: break;
        }
        call.rectOut = data.rc;
        call.result = result;
        _calls.push_back(call);
        return result;
    }

    // ------------------------------------------------------------------ notification area

    bool SimShell::NotifyIcon(DWORD op, const NotifyIconData& data)
    {
        ++_notifyCalls;
        const auto key = std::make_pair(data.hwnd, data.id);
        switch (op)
        {
        case nim::add:
            if (_icons.count(key) || !_windows.IsWindow(data.hwnd))
                return false;
            _icons[key] = data;
            return true;
        case nim::modify:
        {
            auto it = _icons.find(key);
            if (it == _icons.end())
                return false;
            if (data.flags & nif::icon)
                it->second.icon = data.icon;
            if (data.flags & nif::tip)
            {
                it->second.tip = data.tip;
                it->second.wideTip = data.wideTip;
            }
            if (data.flags & nif::message)
                it->second.callbackMessage = data.callbackMessage;
            return true;
        }
        case nim::delete_: return _icons.erase(key) != 0;
        default: return false;
        }
    }

    std::optional<NotifyIconData> SimShell::TrayIcon(Hwnd hwnd, UINT id) const
    {
        auto it = _icons.find({ hwnd, id });
        if (it == _icons.end())
            return std::nullopt;
        return it->second;
    }

    void SimShell::TrayEvent(Hwnd hwnd, UINT id, UINT mouseMessage)
    {
        auto it = _icons.find({ hwnd, id });
        if (it == _icons.end())
            return;
        _windows.Post(hwnd, it->second.callbackMessage, id, static_cast<LPARAM>(mouseMessage));
        _windows.ProcessPending();
    }

    void SimShell::RestartShell()
    {
        _icons.clear();
        const UINT created = _windows.RegisterMessage("TaskbarCreated");
        for (Hwnd top : _windows.TopLevelWindows())
            _windows.Post(top, created, 0, 0);
        _windows.ProcessPending();
    }

    std::intptr_t SimShell::Execute(Hwnd owner, const std::string& verb, const std::string& file, const std::string& params,
                                    const std::string& dir, int show)
    {
        _executed.push_back({ owner, verb, file, params, dir, show });
        return 42;
    }
} // namespace os::sim
