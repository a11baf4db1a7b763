// The simulated window manager's input: the pointer, the keyboard and the move and
// size loop, and what tests look at.
#include "os/sim/windows.h"
#include "os/sim/windows_detail.h"

#include <algorithm>
#include <stdexcept>

namespace os::sim
{
    using namespace detail;

    // ------------------------------------------------------------------ input

    Hwnd SimWindows::WindowFromPoint(Point p) const
    {
        for (Hwnd top : _zorder)
        {
            const Window& w = Get(top);
            if (!Visible(w) || !ScreenRect(w).Contains(p))
                continue;
            const Window* cur = &w;
            for (;;)
            {
                const Window* next = nullptr;
                for (Hwnd c : cur->children)
                {
                    const Window& child = Get(c);
                    if ((child.style & ws::visible) && !(child.style & ws::disabled) && ScreenRect(child).Contains(p))
                    {
                        next = &child;
                        break;
                    }
                }
                if (!next)
                    return cur->hwnd;
                cur = next;
            }
        }
        return Hwnd{};
    }

    void SimWindows::MouseMove(Point p)
    {
        _system.SetCursorPos(p);
        LeaveTracked(p);
        Hwnd target = _capture != Hwnd{} && Find(_capture) ? _capture : WindowFromPoint(p);
        if (target == Hwnd{} || !IsWindowEnabled(TopLevelOf(target)))
        {
            PumpMessages(); // a WM_MOUSELEAVE that the move made
            return;
        }
        const int hit = static_cast<int>(Send(target, wm::nchittest, 0, LParamFromPoint(p)));
        if (!Find(target))
            return;
        Send(target, wm::setcursor, static_cast<WPARAM>(target), MakeLParam(hit, static_cast<std::int32_t>(wm::mousemove)));
        if (!Find(target))
            return;
        WPARAM keys = (_system.GetKeyState(vk::lbutton) ? mk::lbutton : 0) | (_system.GetKeyState(vk::rbutton) ? mk::rbutton : 0);
        if (hit == ht::client)
            Post(target, wm::mousemove, keys, LParamFromPoint(ScreenToClient(target, p)));
        else if (hit != ht::nowhere && hit != ht::error)
            Post(target, wm::ncmousemove, static_cast<WPARAM>(hit), LParamFromPoint(p));
        PumpMessages();
    }

    void SimWindows::MouseDown(Point p, int button)
    {
        _system.SetCursorPos(p);
        _system.SetKeyDown(button, true);
        const Hwnd target = WindowFromPoint(p);
        if (target == Hwnd{})
            return;
        const Hwnd top = TopLevelOf(target);
        if (!IsWindowEnabled(top))
            return;
        const bool left = _system.LogicalButton(button) == vk::lbutton; // the physical button, as the user set them
        if (left)
            _dragButton = button;
        const UINT clientMsg = left ? wm::lbuttondown : wm::rbuttondown;
        const int hit = static_cast<int>(Send(target, wm::nchittest, 0, LParamFromPoint(p)));
        if (!Find(target))
            return;
        if (top != _active)
        {
            LRESULT ma =
                Send(target, wm::mouseactivate, static_cast<WPARAM>(top), MakeLParam(hit, static_cast<std::int32_t>(clientMsg)));
            if (ma == kMaActivate || ma == 2)
            {
                PlaceInZOrder(Get(top), hwnd_top);
                Activate(top, wa::clickactive);
            }
        }
        if (!Find(target))
            return;
        Send(target, wm::setcursor, static_cast<WPARAM>(target), MakeLParam(hit, static_cast<std::int32_t>(clientMsg)));
        if (!Find(target))
            return;
        const WPARAM keys = (left ? mk::lbutton : mk::rbutton) | (_system.KeyDown(vk::control) ? mk::control : 0);
        if (hit == ht::client)
        {
            const Window& w = Get(target);
            UINT msg = clientMsg;
            if (left && w.doubleClicks && _lastClickWindow == target && _clock.Now() - _lastClickTime <= 500)
            {
                msg = wm::lbuttondblclk;
                _lastClickWindow = Hwnd{};
            }
            else if (left)
            {
                _lastClickWindow = target;
                _lastClickTime = _clock.Now();
            }
            Post(target, msg, keys, LParamFromPoint(ScreenToClient(target, p)));
            _capture = target;
        }
        else if (hit != ht::nowhere && hit != ht::error && hit != ht::transparent)
        {
            Post(target, left ? wm::nclbuttondown : wm::ncrbuttondown, static_cast<WPARAM>(hit), LParamFromPoint(p));
        }
    }

    void SimWindows::MouseUp(Point p, int button)
    {
        _system.SetCursorPos(p);
        _system.SetKeyDown(button, false);
        const bool left = _system.LogicalButton(button) == vk::lbutton;
        const bool captured = _capture != Hwnd{} && Find(_capture);
        const Hwnd target = captured ? _capture : WindowFromPoint(p);
        _capture = Hwnd{};
        if (target == Hwnd{} || !IsWindowEnabled(TopLevelOf(target)))
            return;
        const int hit = static_cast<int>(Send(target, wm::nchittest, 0, LParamFromPoint(p)));
        if (!Find(target))
            return;
        const WPARAM keys = _system.KeyDown(vk::control) ? mk::control : 0;
        if (hit == ht::client || captured)
            Post(target, left ? wm::lbuttonup : wm::rbuttonup, keys, LParamFromPoint(ScreenToClient(target, p)));
        else if (hit != ht::nowhere && hit != ht::error)
            Post(target, left ? wm::nclbuttonup : wm::ncrbuttonup, static_cast<WPARAM>(hit), LParamFromPoint(p));
    }

    void SimWindows::Click(Point p, int button)
    {
        MouseDown(p, button);
        PumpMessages();
        MouseUp(p, button);
        PumpMessages();
    }

    void SimWindows::KeyPress(int key)
    {
        Hwnd target = _focus != Hwnd{} ? _focus : _active;
        if (target == Hwnd{})
            return;
        Post(target, wm::keydown, static_cast<WPARAM>(key), 1);
        Post(target, wm::keyup, static_cast<WPARAM>(key), static_cast<LPARAM>(0xC0000001u));
        PumpMessages();
    }

    void SimWindows::RunMoveSizeLoop(Hwnd hwnd, int hit)
    {
        if (_dragPath.empty() || !Find(hwnd))
            return;
        std::vector<DragStep> path = std::move(_dragPath);
        _dragPath.clear();
        Send(hwnd, wm::entersizemove, 0, 0);
        Rect track = GetWindowRect(hwnd);
        Point last = _system.GetCursorPos();
        const bool full = _system.GetDragFullWindows();
        auto place = [&](const Rect& r)
        {
            if (Find(hwnd))
                SetWindowPos(hwnd, Hwnd{}, r.left, r.top, r.Width(), r.Height(), swp::nozorder | swp::noactivate);
        };
        for (const DragStep& step : path)
        {
            if (!Find(hwnd))
                return;
            _system.SetKeyDown(vk::control, step.ctrl);
            _system.SetCursorPos(step.pointer);
            const int dx = step.pointer.x - last.x;
            const int dy = step.pointer.y - last.y;
            last = step.pointer;
            if (hit == ht::caption)
            {
                track = track.Offset(dx, dy);
                Send(hwnd, wm::moving, 0, reinterpret_cast<LPARAM>(&track));
            }
            else
            {
                int edge = 0;
                switch (hit)
                {
                case ht::left:
                    edge = wmsz::left;
                    track.left += dx;
                    break;
                case ht::right:
                    edge = wmsz::right;
                    track.right += dx;
                    break;
                case ht::top:
                    edge = wmsz::top;
                    track.top += dy;
                    break;
                case ht::bottom:
                    edge = wmsz::bottom;
                    track.bottom += dy;
                    break;
                case ht::topleft:
                    edge = wmsz::topleft;
                    track.left += dx;
                    track.top += dy;
                    break;
                case ht::topright:
                    edge = wmsz::topright;
                    track.right += dx;
                    track.top += dy;
                    break;
                case ht::bottomleft:
                    edge = wmsz::bottomleft;
                    track.left += dx;
                    track.bottom += dy;
                    break;
                case ht::bottomright:
                    edge = wmsz::bottomright;
                    track.right += dx;
                    track.bottom += dy;
                    break;
                default: break;
                }
                MinMaxInfo mmi{};
                mmi.ptMaxTrackSize = { _system.GetSystemMetrics(sm::cxscreen) + 12, _system.GetSystemMetrics(sm::cyscreen) + 12 };
                mmi.ptMinTrackSize = { 1, 1 };
                Send(hwnd, wm::getminmaxinfo, 0, reinterpret_cast<LPARAM>(&mmi));
                const int w =
                    std::clamp(track.Width(), mmi.ptMinTrackSize.x, std::max(mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x));
                const int h =
                    std::clamp(track.Height(), mmi.ptMinTrackSize.y, std::max(mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y));
                if (edge == wmsz::left || edge == wmsz::topleft || edge == wmsz::bottomleft)
                    track.left = track.right - w;
                else
                    track.right = track.left + w;
                if (edge == wmsz::top || edge == wmsz::topleft || edge == wmsz::topright)
                    track.top = track.bottom - h;
                else
                    track.bottom = track.top + h;
                Send(hwnd, wm::sizing, static_cast<WPARAM>(edge), reinterpret_cast<LPARAM>(&track));
            }
            if (full)
                place(track);
            PumpMessages();
        }
        // The loop ends when the button goes up; a window dragged as an outline
        // moves only then, after the release.
        _system.SetKeyDown(_dragButton, false);
        _system.SetKeyDown(vk::control, false);
        if (!full)
            place(track);
        if (Find(hwnd))
            Send(hwnd, wm::exitsizemove, 0, 0);
    }

    // ------------------------------------------------------------------ looking

    std::vector<Hwnd> SimWindows::TopLevelWindows() const
    {
        return _zorder;
    }

    std::vector<Hwnd> SimWindows::Children(Hwnd parent) const
    {
        const Window* w = Find(parent);
        return w ? w->children : std::vector<Hwnd>{};
    }

    std::string SimWindows::ClassName(Hwnd hwnd) const
    {
        const Window* w = Find(hwnd);
        return w ? w->className : std::string{};
    }

    DWORD SimWindows::ExStyle(Hwnd hwnd) const
    {
        const Window* w = Find(hwnd);
        return w ? w->exStyle : 0;
    }

    Hwnd SimWindows::Parent(Hwnd hwnd) const
    {
        const Window* w = Find(hwnd);
        return w ? w->parent : Hwnd{};
    }

    Hwnd SimWindows::Owner(Hwnd hwnd) const
    {
        const Window* w = Find(hwnd);
        return w ? w->owner : Hwnd{};
    }

    const std::vector<PaintOp>& SimWindows::LastPaint(Hwnd hwnd) const
    {
        static const std::vector<PaintOp> none;
        const Window* w = Find(hwnd);
        return w ? w->lastPaint : none;
    }

    int SimWindows::PaintCount(Hwnd hwnd) const
    {
        const Window* w = Find(hwnd);
        return w ? w->paintCount : 0;
    }

    bool SimWindows::IsInvalid(Hwnd hwnd) const
    {
        const Window* w = Find(hwnd);
        return w && w->invalid;
    }

    bool SimWindows::ButtonChecked(Hwnd hwnd) const
    {
        const Window* w = Find(hwnd);
        return w && w->checked;
    }

    int SimWindows::CountMessages(Hwnd hwnd, UINT message) const
    {
        return static_cast<int>(std::count_if(_log.begin(), _log.end(),
                                              [&](const LoggedMessage& m) { return m.hwnd == hwnd && m.message == message; }));
    }
} // namespace os::sim
