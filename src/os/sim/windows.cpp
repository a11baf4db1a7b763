// The simulated window manager: windows and their messages, and the loop with its
// timers and the machine's background work.
#include "os/sim/windows.h"
#include "os/sim/windows_detail.h"

#include <algorithm>
#include <stdexcept>

namespace os::sim
{
    using namespace detail;

    SimWindows::SimWindows(Clock& clock, SimSystem& system) : _clock(clock), _system(system)
    {
        _cursor = LoadSystemCursor(idc::arrow);
    }

    SimWindows::~SimWindows() = default;

    // ------------------------------------------------------------------ lookup and geometry

    SimWindows::Window* SimWindows::Find(Hwnd hwnd) const
    {
        auto it = _windows.find(hwnd);
        return it == _windows.end() ? nullptr : it->second.get();
    }

    SimWindows::Window& SimWindows::Get(Hwnd hwnd) const
    {
        Window* w = Find(hwnd);
        if (!w)
            throw std::logic_error("no such window");
        return *w;
    }

    Rect SimWindows::Insets(DWORD style, DWORD exStyle) const
    {
        Rect in;
        auto add = [&](int dx, int dy)
        {
            in.left += dx;
            in.right += dx;
            in.top += dy;
            in.bottom += dy;
        };
        if ((style & ws::caption) == ws::caption)
            in.top += _system.GetSystemMetrics(sm::cycaption);
        if (style & ws::thickframe)
            add(_system.GetSystemMetrics(sm::cxframe), _system.GetSystemMetrics(sm::cyframe));
        else if ((style & ws::dlgframe) || (exStyle & ws_ex::dlgmodalframe))
            add(_system.GetSystemMetrics(sm::cxdlgframe), _system.GetSystemMetrics(sm::cydlgframe));
        else if (style & ws::border)
            add(_system.GetSystemMetrics(sm::cxborder), _system.GetSystemMetrics(sm::cyborder));
        if (exStyle & ws_ex::clientedge)
            add(2, 2);
        return in;
    }

    Rect SimWindows::ScreenRect(const Window& w) const
    {
        if (w.style & ws::child)
        {
            if (const Window* p = Find(w.parent))
            {
                Point o = ClientOrigin(*p);
                return w.rect.Offset(o.x, o.y);
            }
        }
        return w.rect;
    }

    Point SimWindows::ClientOrigin(const Window& w) const
    {
        Rect r = ScreenRect(w);
        Rect in = Insets(w.style, w.exStyle);
        return { r.left + in.left, r.top + in.top };
    }

    Hwnd SimWindows::TopLevelOf(Hwnd hwnd) const
    {
        const Window* w = Find(hwnd);
        while (w && (w->style & ws::child))
        {
            const Window* p = Find(w->parent);
            if (!p)
                break;
            w = p;
        }
        return w ? w->hwnd : Hwnd{};
    }

    // On a desktop without a compositor (Windows with its basic theme) a window
    // wholly covered gets no WM_PAINT until something of it shows again. With one
    // (Windows' usual desktop) and under Wine 8 (measured: a window under a
    // full-screen one paints on) it is painted.
    bool SimWindows::Covered(const Window& w) const
    {
        return !_compositing && WhollyCovered(w);
    }

    // Wholly under one visible top-level window above its own that lets nothing
    // through (not layered, not transparent to the pointer).
    bool SimWindows::WhollyCovered(const Window& w) const
    {
        const Rect r = ScreenRect(w);
        if (r.Width() <= 0 || r.Height() <= 0)
            return false;
        const Hwnd top = TopLevelOf(w.hwnd);
        for (Hwnd above : _zorder)
        {
            if (above == top)
                return false;
            const Window* a = Find(above);
            if (!a || !(a->style & ws::visible) || a->destroying || (a->exStyle & (ws_ex::layered | ws_ex::transparent)))
                continue;
            const Rect c = a->rect;
            if (c.left <= r.left && c.top <= r.top && c.right >= r.right && c.bottom >= r.bottom)
                return true;
        }
        return false;
    }

    bool SimWindows::Visible(const Window& w) const
    {
        const Window* cur = &w;
        while (cur)
        {
            if (!(cur->style & ws::visible))
                return false;
            if (!(cur->style & ws::child))
                return true;
            cur = Find(cur->parent);
        }
        return false;
    }

    // ------------------------------------------------------------------ creation and destruction

    Hwnd SimWindows::Create(const WindowParams& params, IWindowProcedure* proc)
    {
        const bool child = (params.style & ws::child) != 0;
        if ((child && !Find(params.parent)) || (failCreate && failCreate(params)))
            return Hwnd{};

        auto w = std::make_unique<Window>();
        w->hwnd = Hwnd{ _nextHandle };
        _nextHandle += 4;
        w->className = params.className;
        w->text = params.text;
        w->style = params.style & ~ws::visible;
        w->exStyle = params.exStyle;
        w->rect = params.bounds;
        // A top-level window is made for its monitor's DPI; a child is its parent's.
        w->dpi = child ? 0 : _system.GetDpiForMonitorAt(params.bounds);
        w->controlId = params.controlId;
        w->doubleClicks = params.doubleClicks;
        w->proc = proc;
        const std::string cls = Lower(params.className);
        if (cls == "button")
            w->builtin = Builtin::button;
        else if (cls == "edit")
            w->builtin = Builtin::edit;

        const Hwnd hwnd = w->hwnd;
        if (child)
        {
            w->parent = params.parent;
            Get(params.parent).children.push_back(hwnd); // new children go to the bottom
        }
        else
        {
            w->owner = Find(params.parent) ? params.parent : Hwnd{};
        }
        _windows.emplace(hwnd, std::move(w));
        if (!child)
        {
            Window& top = Get(hwnd);
            PlaceInZOrder(top, (top.exStyle & ws_ex::topmost) ? hwnd_topmost : hwnd_top);
        }

        // A procedure that refuses WM_NCCREATE or answers WM_CREATE with -1 fails the
        // creation: the window gets WM_NCDESTROY only.
        const bool refused = Send(hwnd, wm::nccreate, 0, 0) == 0;
        if (refused || !Find(hwnd) || Send(hwnd, wm::create, 0, 0) == -1)
        {
            if (Find(hwnd))
                Discard(hwnd);
            return Hwnd{};
        }
        // Popups and children learn their size and place now; overlapped windows at
        // their first showing.
        if (Window* made = Find(hwnd))
        {
            if (made->style & (ws::popup | ws::child))
                SendSizeAndMove(hwnd);
            else
                made->needSize = true;
        }
        if (Find(hwnd) && (params.style & ws::visible))
            ShowWindow(hwnd, child ? sw::showna : sw::show);
        return Find(hwnd) ? hwnd : Hwnd{};
    }

    Point SimWindows::MoveOrigin(const Window& w) const
    {
        if (!(w.style & ws::child))
            return ClientOrigin(w);
        const Rect in = Insets(w.style, w.exStyle);
        return { w.rect.left + in.left, w.rect.top + in.top }; // the client origin in the parent's client area
    }

    void SimWindows::SendSizeAndMove(Hwnd hwnd)
    {
        if (Window* w = Find(hwnd))
        {
            w->needSize = false;
            const Rect c = GetClientRect(hwnd);
            Send(hwnd, wm::size, kSizeRestored, MakeLParam(c.right, c.bottom));
        }
        if (Window* w = Find(hwnd))
            Send(hwnd, wm::move, 0, LParamFromPoint(MoveOrigin(*w)));
    }

    bool SimWindows::Destroy(Hwnd hwnd)
    {
        Window* w = Find(hwnd);
        if (!w || w->destroying)
            return false;
        // Owned windows go first, as Windows destroys them before their owner.
        std::vector<Hwnd> owned;
        for (auto& [h, other] : _windows)
            if (other->owner == hwnd)
                owned.push_back(h);
        for (Hwnd h : owned)
            Destroy(h);

        if (!(Get(hwnd).style & ws::child) && IsWindowVisible(hwnd))
            SetWindowPos(hwnd, Hwnd{}, 0, 0, 0, 0, swp::hidewindow | swp::nomove | swp::nosize | swp::nozorder | swp::noactivate);
        DestroyTree(hwnd);
        return true;
    }

    // WM_DESTROY goes to the window first and then to its children; WM_NCDESTROY to
    // the children first and the window last.
    void SimWindows::DestroyTree(Hwnd hwnd)
    {
        SendDestroy(hwnd);
        Discard(hwnd);
    }

    void SimWindows::SendDestroy(Hwnd hwnd)
    {
        Window* w = Find(hwnd);
        if (!w || w->destroying)
            return;
        w->destroying = true;
        if (_active == hwnd)
        {
            Send(hwnd, wm::activate, wa::inactive, 0);
            _active = Hwnd{};
        }
        if (_focus == hwnd)
            _focus = Hwnd{};
        Send(hwnd, wm::destroy, 0, 0);
        if ((w = Find(hwnd)) == nullptr)
            return;
        for (Hwnd c : std::vector<Hwnd>(w->children))
            SendDestroy(c);
    }

    void SimWindows::Discard(Hwnd hwnd)
    {
        Window* w = Find(hwnd);
        if (!w)
            return;
        w->destroying = true;
        for (Hwnd c : std::vector<Hwnd>(w->children))
            Discard(c);
        Send(hwnd, wm::ncdestroy, 0, 0);
        if (_active == hwnd)
            _active = Hwnd{};
        if (_focus == hwnd)
            _focus = Hwnd{};
        std::erase_if(_timers, [&](const Timer& t) { return t.hwnd == hwnd; });
        std::erase_if(_queue, [&](const Msg& m) { return m.hwnd == hwnd; });
        std::erase(_zorder, hwnd);
        if ((w = Find(hwnd)) == nullptr)
            return;
        if (Window* p = Find(w->parent))
            std::erase(p->children, hwnd);
        if (w->systemMenu != MenuHandle{})
            DestroyMenu(w->systemMenu);
        if (_capture == hwnd)
            _capture = Hwnd{};
        if (_tracking == hwnd)
            _tracking = Hwnd{};
        _windows.erase(hwnd);
    }

    bool SimWindows::IsWindow(Hwnd hwnd)
    {
        const Window* w = Find(hwnd);
        return w && !w->destroying;
    }

    // ------------------------------------------------------------------ messages

    LRESULT SimWindows::Send(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        return Dispatch({ hwnd, msg, wParam, lParam }, false);
    }

    LRESULT SimWindows::Dispatch(const Msg& msg, bool posted)
    {
        Window* w = Find(msg.hwnd);
        if (!w)
            return 0;
        _log.push_back({ msg.hwnd, msg.message, msg.wParam, msg.lParam, posted });
        if (w->builtin != Builtin::none)
            return BuiltinProc(*w, msg.message, msg.wParam, msg.lParam);
        if (w->proc)
            return w->proc->WindowProc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
        return DefaultProc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    }

    bool SimWindows::Post(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (hwnd != Hwnd{} && !Find(hwnd))
            return false;
        _queue.push_back({ hwnd, msg, wParam, lParam });
        return true;
    }

    UINT SimWindows::RegisterMessage(const std::string& name)
    {
        auto [it, added] = _registered.emplace(Lower(name), 0xC000 + static_cast<UINT>(_registered.size()));
        return it->second;
    }

    void SimWindows::PostQuitMessage(int exitCode)
    {
        _quitPosted = true;
        _exitCode = exitCode;
    }

    bool SimWindows::RetrieveOne()
    {
        if (_quitRetrieved)
            return false;
        if (!_queue.empty())
        {
            Msg msg = _queue.front();
            _queue.pop_front();
            if (msg.hwnd == Hwnd{})
                return true; // thread messages have no window to go to
            if (_filter && _filter->PreTranslateMessage(msg))
                return true;
            Dispatch(msg, true);
            return true;
        }
        if (_quitPosted)
        {
            _quitRetrieved = true;
            return false;
        }
        for (auto& [hwnd, w] : _windows)
        {
            if (w->invalid && Visible(*w) && !w->destroying && !Covered(*w))
            {
                Hwnd target = hwnd;
                Dispatch({ target, wm::paint, 0, 0 }, true);
                if (Window* after = Find(target))
                    after->invalid = false; // DefWindowProc validates; never paint twice for one invalidation
                return true;
            }
        }
        return FireNextDue(_clock.Now());
    }

    bool SimWindows::PumpMessages()
    {
        while (RetrieveOne())
        {
        }
        return !_quitRetrieved;
    }

    std::optional<std::size_t> SimWindows::NextTimer(std::uint64_t limit) const
    {
        std::optional<std::size_t> best;
        for (std::size_t i = 0; i < _timers.size(); ++i)
        {
            const Timer& t = _timers[i];
            if (t.due > limit)
                continue;
            if (!best || t.due < _timers[*best].due || (t.due == _timers[*best].due && t.seq < _timers[*best].seq))
                best = i;
        }
        return best;
    }

    void SimWindows::FireTimer(std::size_t index)
    {
        Timer& t = _timers[index];
        // The next period counts from when this WM_TIMER is made, as in Windows.
        const std::uint64_t firedAt = std::max(_clock.Now(), t.due);
        t.due = firedAt + t.elapse;
        t.seq = ++_timerSeq;
        const Msg msg{ t.hwnd, wm::timer, t.id, 0 };
        if (_filter && _filter->PreTranslateMessage(msg))
            return;
        Dispatch(msg, true);
    }

    const SimWindows::Work* SimWindows::NextWork(std::uint64_t limit) const
    {
        const Work* work = nullptr;
        for (const Work& w : _work)
            if (w.due <= limit && (!work || w.due < work->due || (w.due == work->due && w.seq < work->seq)))
                work = &w;
        return work;
    }

    void SimWindows::RunWork(const Work& work)
    {
        _clock.Set(std::max(_clock.Now(), work.due));
        auto run = std::move(const_cast<Work&>(work).run);
        const std::uint64_t id = work.id;
        std::erase_if(_work, [&](const Work& w) { return w.id == id; });
        run();
    }

    bool SimWindows::FireNextDue(std::uint64_t limit)
    {
        const auto timer = NextTimer(limit);
        const Work* work = NextWork(limit);
        if (work &&
            (!timer || work->due < _timers[*timer].due || (work->due == _timers[*timer].due && work->seq < _timers[*timer].seq)))
        {
            RunWork(*work);
            return true;
        }
        if (!timer)
            return false;
        _clock.Set(std::max(_clock.Now(), _timers[*timer].due));
        FireTimer(*timer);
        return true;
    }

    std::uint64_t SimWindows::ScheduleWork(std::uint64_t due, std::function<void()> work)
    {
        const std::uint64_t id = _nextWork++;
        _work.push_back({ id, due, ++_timerSeq, std::move(work) });
        return id;
    }

    void SimWindows::CancelWork(std::uint64_t id)
    {
        std::erase_if(_work, [&](const Work& w) { return w.id == id; });
    }

    void SimWindows::Advance(std::uint64_t ms)
    {
        const std::uint64_t target = _clock.Now() + ms;
        while (!_quitRetrieved)
        {
            PumpMessages();
            if (_quitRetrieved)
                break;
            if (!FireNextDue(target))
                break;
        }
        if (_clock.Now() < target)
            _clock.Set(target);
        PumpMessages();
    }

    void SimWindows::Coalesce(std::uint64_t ms)
    {
        const std::uint64_t target = _clock.Now() + ms;
        while (const Work* work = NextWork(target))
            RunWork(*work);
        if (_clock.Now() < target)
            _clock.Set(target);
        // The loop then takes the queue, and each overdue timer once, in the order
        // they came due: a fired timer counts its next period from now.
        PumpMessages();
    }

    int SimWindows::RunMessageLoop()
    {
        const std::uint64_t limit = _clock.Now() + _runLimit;
        while (!_quitRetrieved)
        {
            PumpMessages();
            if (_quitRetrieved)
                break;
            if (!FireNextDue(limit))
                break; // nothing will ever happen again, or the run limit is reached
        }
        return _exitCode;
    }

    // ------------------------------------------------------------------ timers

    bool SimWindows::SetTimer(Hwnd hwnd, std::uintptr_t id, UINT elapse)
    {
        if (hwnd != Hwnd{} && !Find(hwnd))
            return false;
        elapse = std::max(elapse, kMinimumTimer);
        for (Timer& t : _timers)
        {
            if (t.hwnd == hwnd && t.id == id)
            {
                t.elapse = elapse;
                t.due = _clock.Now() + elapse;
                t.seq = ++_timerSeq;
                return true;
            }
        }
        _timers.push_back({ hwnd, id, elapse, _clock.Now() + elapse, ++_timerSeq });
        return true;
    }

    bool SimWindows::KillTimer(Hwnd hwnd, std::uintptr_t id)
    {
        return std::erase_if(_timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; }) > 0;
    }

    // ------------------------------------------------------------------ default handling

    int SimWindows::DefaultHitTest(const Window& w, Point p) const
    {
        Rect r = ScreenRect(w);
        if (!r.Contains(p))
            return ht::nowhere;
        Rect in = Insets(w.style, w.exStyle);
        Rect client{ r.left + in.left, r.top + in.top, r.right - in.right, r.bottom - in.bottom };
        if (client.Contains(p))
            return ht::client;
        if (w.style & ws::thickframe)
        {
            const int fx = _system.GetSystemMetrics(sm::cxframe);
            const int fy = _system.GetSystemMetrics(sm::cyframe);
            const bool left = p.x < r.left + fx;
            const bool right = p.x >= r.right - fx;
            const bool top = p.y < r.top + fy;
            const bool bottom = p.y >= r.bottom - fy;
            if (top && left)
                return ht::topleft;
            if (top && right)
                return ht::topright;
            if (bottom && left)
                return ht::bottomleft;
            if (bottom && right)
                return ht::bottomright;
            if (left)
                return ht::left;
            if (right)
                return ht::right;
            if (top)
                return ht::top;
            if (bottom)
                return ht::bottom;
        }
        if ((w.style & ws::caption) == ws::caption && p.y < client.top)
            return ht::caption;
        return ht::border;
    }

    LRESULT SimWindows::DefaultProc(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        Window* w = Find(hwnd);
        if (!w)
            return 0;
        switch (msg)
        {
        case wm::nccreate: return 1;
        case wm::nchittest: return DefaultHitTest(*w, PointFromLParam(lParam));
        case wm::windowposchanging:
        {
            auto* pos = reinterpret_cast<WindowPos*>(lParam);
            const bool tracks = (w->style & ws::thickframe) || (w->style & (ws::popup | ws::child)) == 0;
            if (tracks && !(pos->flags & swp::nosize))
            {
                MinMaxInfo mmi{};
                const int cx = _system.GetSystemMetrics(sm::cxscreen);
                const int cy = _system.GetSystemMetrics(sm::cyscreen);
                mmi.ptMaxSize = { cx, cy };
                mmi.ptMaxTrackSize = { cx + 12, cy + 12 };
                mmi.ptMinTrackSize = { 112, 27 };
                Send(hwnd, wm::getminmaxinfo, 0, reinterpret_cast<LPARAM>(&mmi));
                pos->cx = std::clamp(pos->cx, mmi.ptMinTrackSize.x, std::max(mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x));
                pos->cy = std::clamp(pos->cy, mmi.ptMinTrackSize.y, std::max(mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y));
            }
            return 0;
        }
        case wm::windowposchanged:
        {
            const auto* pos = reinterpret_cast<const WindowPos*>(lParam);
            const UINT flags = pos->flags;
            if (!(flags & kNoClientMove))
                Send(hwnd, wm::move, 0, LParamFromPoint(MoveOrigin(*w)));
            if (!(flags & kNoClientSize) && (w = Find(hwnd)) != nullptr)
            {
                Rect c = GetClientRect(hwnd);
                Send(hwnd, wm::size, kSizeRestored, MakeLParam(c.right, c.bottom));
            }
            return 0;
        }
        case wm::close: Destroy(hwnd); return 0;
        case wm::paint: w->invalid = false; return 0;
        case wm::erasebkgnd: return 1;
        case wm::setcursor:
            if ((w->style & ws::child) && Send(w->parent, wm::setcursor, wParam, lParam))
                return 1;
            // A parent asked first about a child's pointer leaves it to the child.
            if (static_cast<Hwnd>(wParam) != hwnd)
                return 0;
            if (static_cast<std::int16_t>(LoWord(static_cast<WPARAM>(lParam))) == ht::client)
            {
                // A text control shows the I-beam, every other window the arrow.
                SetCursor(LoadSystemCursor(Lower(w->className) == "edit" ? idc::ibeam : idc::arrow));
                return 1;
            }
            return 0;
        case wm::mouseactivate:
            if (w->style & ws::child)
            {
                if (LRESULT r = Send(w->parent, msg, wParam, lParam))
                    return r;
            }
            return kMaActivate;
        case wm::activate:
            if (LoWord(wParam) != wa::inactive)
                SetFocus(hwnd);
            return 0;
        case wm::nclbuttondown:
            if (static_cast<int>(wParam) == ht::caption)
                Send(hwnd, wm::syscommand, sc::move | ht::caption, lParam);
            else if (static_cast<int>(wParam) >= ht::left && static_cast<int>(wParam) <= ht::bottomright)
                Send(hwnd, wm::syscommand, sc::size | (wParam - 9), lParam);
            return 0;
        case wm::syscommand:
            switch (wParam & 0xFFF0)
            {
            case sc::move: RunMoveSizeLoop(hwnd, ht::caption); break;
            case sc::size: RunMoveSizeLoop(hwnd, static_cast<int>(wParam & 0x000F) + 9); break;
            case sc::close: Send(hwnd, wm::close, 0, 0); break;
            default: break;
            }
            return 0;
        case wm::settext: w->text = lParam ? reinterpret_cast<const char*>(lParam) : ""; return 1;
        default: return 0;
        }
    }

    LRESULT SimWindows::BuiltinProc(Window& w, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        const Hwnd hwnd = w.hwnd;
        auto notify = [&](UINT code)
        {
            if (Find(w.parent))
                Send(w.parent, wm::command, MakeWParam(static_cast<std::uint16_t>(w.controlId), static_cast<std::uint16_t>(code)),
                     static_cast<LPARAM>(hwnd));
        };
        if (w.builtin == Builtin::button)
        {
            switch (msg)
            {
            case wm::lbuttondown:
                w.pressed = true;
                SetFocus(hwnd);
                return 0;
            case wm::lbuttonup:
            {
                Window* self = Find(hwnd);
                if (!self || !self->pressed)
                    return 0;
                self->pressed = false;
                Rect c = GetClientRect(hwnd);
                if (!c.Contains(PointFromLParam(lParam)))
                    return 0;
                [[fallthrough]];
            }
            case bm::click:
            {
                Window* self = Find(hwnd);
                if (!self || (self->style & ws::disabled))
                    return 0;
                if ((self->style & 0x0F) == bs::autocheckbox)
                    self->checked = !self->checked;
                notify(bn::clicked);
                return 0;
            }
            case wm::keydown:
                if (wParam == ' ')
                    return BuiltinProc(w, bm::click, 0, 0);
                return 0;
            case bm::getcheck: return w.checked ? 1 : 0;
            case bm::setcheck: w.checked = wParam != 0; return 0;
            default: break;
            }
        }
        else if (w.builtin == Builtin::edit)
        {
            switch (msg)
            {
            case wm::setfocus: notify(en::setfocus); return 0;
            case wm::lbuttondown: SetFocus(hwnd); return 0;
            default: break;
            }
        }
        return DefaultProc(hwnd, msg, wParam, lParam);
    }
} // namespace os::sim
