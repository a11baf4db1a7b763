#include "os/sim/windows.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace os::sim
{
    namespace
    {
        constexpr UINT kNoClientSize = 0x0800; // SWP_NOCLIENTSIZE, set internally
        constexpr UINT kNoClientMove = 0x1000; // SWP_NOCLIENTMOVE, set internally
        constexpr LRESULT kMaActivate = 1;
        constexpr WPARAM kSizeRestored = 0;
        constexpr UINT kMinimumTimer = 10; // USER_TIMER_MINIMUM

        std::string Lower(std::string s)
        {
            std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            return s;
        }

        class RecordingCanvas final : public ICanvas
        {
          public:
            std::vector<PaintOp> ops;

            void FillRect(const Rect& r, Color c) override { ops.push_back({ PaintOp::Kind::fill, r, c, {}, {}, 0, {}, {} }); }
            void FrameRect(const Rect& r, Color c) override { ops.push_back({ PaintOp::Kind::frame, r, c, {}, {}, 0, {}, {} }); }
            void DrawBitmap(int x, int y, const Bitmap& b) override
            {
                ops.push_back({ PaintOp::Kind::bitmap, Rect::FromBounds(x, y, b.width, b.height), 0, b.name, {}, 0, {}, {} });
            }
            void DrawString(const std::string& text, const Rect& r, const Font& f, Color c, UINT flags) override
            {
                ops.push_back({ PaintOp::Kind::text, r, c, text, f, flags, {}, {} });
            }
            void DrawIcon(int x, int y, IconHandle icon) override
            {
                ops.push_back({ PaintOp::Kind::icon, Rect::FromBounds(x, y, 32, 32), 0, {}, {}, 0, icon, {} });
            }
            void DrawWideText(int x, int y, const std::wstring& text, const Font& f, Color c) override
            {
                const Size extent = windows.MeasureText(text, f);
                ops.push_back({ PaintOp::Kind::widetext, Rect::FromBounds(x, y, extent.cx, extent.cy), c, {}, f, 0, {}, text });
            }
            explicit RecordingCanvas(SimWindows& w) : windows(w) {}
            SimWindows& windows;
        };

        void CollectIds(const std::vector<MenuSnapshotItem>& items, const std::string& caption, const MenuSnapshotItem*& found)
        {
            for (const auto& item : items)
            {
                if (found)
                    return;
                if (!item.separator && item.text == caption)
                    found = &item;
                else
                    CollectIds(item.submenu, caption, found);
            }
        }
    } // namespace

    const MenuSnapshotItem* PopupMenuCall::Find(const std::string& caption) const
    {
        const MenuSnapshotItem* found = nullptr;
        CollectIds(items, caption, found);
        return found;
    }

    UINT PopupMenuCall::IdOf(const std::string& caption) const
    {
        const MenuSnapshotItem* item = Find(caption);
        return item ? item->id : 0;
    }

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
            if (w->invalid && Visible(*w) && !w->destroying)
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

    bool SimWindows::FireNextDue(std::uint64_t limit)
    {
        const auto timer = NextTimer(limit);
        const Work* work = nullptr;
        for (const Work& w : _work)
            if (w.due <= limit && (!work || w.due < work->due || (w.due == work->due && w.seq < work->seq)))
                work = &w;
        if (work &&
            (!timer || work->due < _timers[*timer].due || (work->due == _timers[*timer].due && work->seq < _timers[*timer].seq)))
        {
            _clock.Set(std::max(_clock.Now(), work->due));
            auto run = std::move(const_cast<Work*>(work)->run);
            const std::uint64_t id = work->id;
            std::erase_if(_work, [&](const Work& w) { return w.id == id; });
            run();
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

    // ------------------------------------------------------------------ position, size, z-order

    void SimWindows::PlaceInZOrder(Window& w, Hwnd insertAfter)
    {
        if (w.style & ws::child)
        {
            Window* p = Find(w.parent);
            if (!p)
                return;
            auto& list = p->children;
            std::erase(list, w.hwnd);
            if (insertAfter == hwnd_bottom)
                list.push_back(w.hwnd);
            else if (insertAfter == hwnd_top || insertAfter == hwnd_topmost || insertAfter == hwnd_notopmost)
                list.insert(list.begin(), w.hwnd);
            else
            {
                auto it = std::find(list.begin(), list.end(), insertAfter);
                list.insert(it == list.end() ? list.end() : it + 1, w.hwnd);
            }
            return;
        }

        auto firstNormal = [&]
        {
            return std::find_if(_zorder.begin(), _zorder.end(), [&](Hwnd h) { return !(Get(h).exStyle & ws_ex::topmost); });
        };
        if (insertAfter == hwnd_notopmost && !(w.exStyle & ws_ex::topmost) &&
            std::find(_zorder.begin(), _zorder.end(), w.hwnd) != _zorder.end())
            return; // already a non-topmost window: no effect
        std::erase(_zorder, w.hwnd);
        if (insertAfter == hwnd_topmost)
        {
            w.exStyle |= ws_ex::topmost;
            _zorder.insert(_zorder.begin(), w.hwnd);
        }
        else if (insertAfter == hwnd_notopmost)
        {
            w.exStyle &= ~ws_ex::topmost;
            _zorder.insert(firstNormal(), w.hwnd);
        }
        else if (insertAfter == hwnd_bottom)
        {
            w.exStyle &= ~ws_ex::topmost;
            _zorder.push_back(w.hwnd);
        }
        else if (insertAfter == hwnd_top)
        {
            if (w.exStyle & ws_ex::topmost)
                _zorder.insert(_zorder.begin(), w.hwnd);
            else
                _zorder.insert(firstNormal(), w.hwnd);
        }
        else
        {
            auto it = std::find(_zorder.begin(), _zorder.end(), insertAfter);
            if (it == _zorder.end())
                _zorder.insert(firstNormal(), w.hwnd);
            else
            {
                if (Get(insertAfter).exStyle & ws_ex::topmost)
                    w.exStyle |= ws_ex::topmost;
                else
                    w.exStyle &= ~ws_ex::topmost;
                _zorder.insert(it + 1, w.hwnd);
            }
        }
    }

    bool SimWindows::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy, UINT flags)
    {
        Window* w = Find(hwnd);
        if (!w)
            return false;
        // WM_WINDOWPOSCHANGING sees the flags as the caller gave them.
        WindowPos pos{ hwnd, insertAfter, x, y, std::max(cx, 0), std::max(cy, 0), flags };
        if (!(pos.flags & swp::nosendchanging))
            Send(hwnd, wm::windowposchanging, 0, reinterpret_cast<LPARAM>(&pos));
        if ((w = Find(hwnd)) == nullptr)
            return false;

        const Rect oldRect = w->rect;
        const Rect oldClient = GetClientRect(hwnd);
        const bool wasVisible = (w->style & ws::visible) != 0;
        Rect newRect = oldRect;
        if (!(pos.flags & swp::nomove))
            newRect = newRect.Offset(pos.x - newRect.left, pos.y - newRect.top);
        if (!(pos.flags & swp::nosize))
        {
            newRect.right = newRect.left + std::max(pos.cx, 0);
            newRect.bottom = newRect.top + std::max(pos.cy, 0);
        }
        w->rect = newRect;
        bool zChanged = false;
        if (!(pos.flags & swp::nozorder))
        {
            auto before = (w->style & ws::child) ? Get(w->parent).children : _zorder;
            const DWORD topBefore = w->exStyle & ws_ex::topmost;
            PlaceInZOrder(*w, pos.hwndInsertAfter);
            auto after = (w->style & ws::child) ? Get(w->parent).children : _zorder;
            zChanged = before != after || topBefore != (w->exStyle & ws_ex::topmost);
        }
        if (pos.flags & swp::showwindow)
            w->style |= ws::visible;
        if (pos.flags & swp::hidewindow)
            w->style &= ~ws::visible;
        const bool visible = (w->style & ws::visible) != 0;

        UINT changed = pos.flags;
        const Rect newClient = GetClientRect(hwnd);
        if (newRect.left == oldRect.left && newRect.top == oldRect.top)
            changed |= swp::nomove | kNoClientMove;
        if (newRect.Width() == oldRect.Width() && newRect.Height() == oldRect.Height())
            changed |= swp::nosize;
        if (newClient == oldClient)
            changed |= kNoClientSize;
        if (!zChanged)
            changed |= swp::nozorder;
        if ((!(changed & swp::nosize) || visible != wasVisible || (pos.flags & swp::framechanged)) && visible &&
            !(pos.flags & swp::noredraw))
            w->invalid = true;
        const bool hidden = !visible && wasVisible;
        if (hidden && _focus != Hwnd{} && (_focus == hwnd || TopLevelOf(_focus) == hwnd))
            _focus = Hwnd{};
        // A window is activated before it hears that it moved or showed.
        if (!(w->style & ws::child) && visible && !(pos.flags & swp::noactivate))
            Activate(hwnd, wa::active);
        if ((w = Find(hwnd)) == nullptr)
            return true;
        const bool showChange = visible != wasVisible;
        const UINT quiet = swp::nosize | swp::nomove | swp::nozorder;
        if ((changed & quiet) != quiet || showChange || (pos.flags & swp::framechanged))
        {
            WindowPos done{ hwnd, pos.hwndInsertAfter, newRect.left, newRect.top, newRect.Width(), newRect.Height(), changed };
            Send(hwnd, wm::windowposchanged, 0, reinterpret_cast<LPARAM>(&done));
        }
        // ... and deactivated after it has been hidden.
        if (hidden && _active == hwnd && Find(hwnd))
        {
            Send(hwnd, wm::activate, wa::inactive, 0);
            if (Find(hwnd))
                _active = Hwnd{};
        }
        return true;
    }

    bool SimWindows::ShowWindow(Hwnd hwnd, int cmd)
    {
        Window* w = Find(hwnd);
        if (!w)
            return false;
        const bool wasVisible = (w->style & ws::visible) != 0;
        if (cmd == sw::hide)
        {
            if (!wasVisible)
                return false;
            Send(hwnd, wm::showwindow, 0, 0);
            SetWindowPos(hwnd, Hwnd{}, 0, 0, 0, 0, swp::hidewindow | swp::nomove | swp::nosize | swp::nozorder | swp::noactivate);
            return true;
        }
        const bool activate = cmd != sw::showna && cmd != sw::shownoactivate && !(w->style & ws::child);
        if (!wasVisible)
        {
            Send(hwnd, wm::showwindow, 1, 0);
            UINT flags = swp::showwindow | swp::nomove | swp::nosize;
            if (!activate)
                flags |= swp::noactivate;
            if (w->style & ws::child)
                flags |= swp::nozorder;
            SetWindowPos(hwnd, hwnd_top, 0, 0, 0, 0, flags);
            if (Window* shown = Find(hwnd); shown && shown->needSize)
                SendSizeAndMove(hwnd);
        }
        else if (activate)
        {
            Activate(hwnd, wa::active);
        }
        return wasVisible;
    }

    bool SimWindows::IsWindowVisible(Hwnd hwnd)
    {
        const Window* w = Find(hwnd);
        return w && Visible(*w);
    }

    bool SimWindows::EnableWindow(Hwnd hwnd, bool enable)
    {
        Window* w = Find(hwnd);
        if (!w)
            return false;
        const bool wasDisabled = (w->style & ws::disabled) != 0;
        if (wasDisabled == !enable)
            return wasDisabled;
        if (enable)
            w->style &= ~ws::disabled;
        else
            w->style |= ws::disabled;
        if (!enable && (_focus == hwnd))
            _focus = Hwnd{};
        Send(hwnd, wm::enable, enable ? 1 : 0, 0);
        return wasDisabled;
    }

    bool SimWindows::IsWindowEnabled(Hwnd hwnd)
    {
        const Window* w = Find(hwnd);
        return w && !(w->style & ws::disabled);
    }

    Rect SimWindows::GetWindowRect(Hwnd hwnd)
    {
        const Window* w = Find(hwnd);
        return w ? ScreenRect(*w) : Rect{};
    }

    Rect SimWindows::GetClientRect(Hwnd hwnd)
    {
        const Window* w = Find(hwnd);
        if (!w)
            return {};
        Rect in = Insets(w->style, w->exStyle);
        return { 0, 0, std::max(0, w->rect.Width() - in.left - in.right), std::max(0, w->rect.Height() - in.top - in.bottom) };
    }

    Point SimWindows::ClientToScreen(Hwnd hwnd, Point p)
    {
        const Window* w = Find(hwnd);
        if (!w)
            return p;
        Point o = ClientOrigin(*w);
        return { p.x + o.x, p.y + o.y };
    }

    Point SimWindows::ScreenToClient(Hwnd hwnd, Point p)
    {
        const Window* w = Find(hwnd);
        if (!w)
            return p;
        Point o = ClientOrigin(*w);
        return { p.x - o.x, p.y - o.y };
    }

    Rect SimWindows::AdjustWindowRectEx(Rect client, DWORD style, DWORD exStyle)
    {
        Rect in = Insets(style, exStyle);
        return { client.left - in.left, client.top - in.top, client.right + in.right, client.bottom + in.bottom };
    }

    DWORD SimWindows::GetStyle(Hwnd hwnd)
    {
        const Window* w = Find(hwnd);
        return w ? w->style : 0;
    }

    void SimWindows::SetStyle(Hwnd hwnd, DWORD style)
    {
        if (Window* w = Find(hwnd))
            w->style = style;
    }

    DWORD SimWindows::GetExStyle(Hwnd hwnd)
    {
        const Window* w = Find(hwnd);
        return w ? w->exStyle : 0;
    }

    void SimWindows::SetExStyle(Hwnd hwnd, DWORD exStyle)
    {
        if (Window* w = Find(hwnd))
            w->exStyle = exStyle;
    }

    bool SimWindows::IsTopmost(Hwnd hwnd)
    {
        const Window* w = Find(hwnd);
        return w && (w->exStyle & ws_ex::topmost);
    }

    void SimWindows::SetText(Hwnd hwnd, const std::string& text)
    {
        if (Find(hwnd))
            Send(hwnd, wm::settext, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (Window* w = Find(hwnd); w && w->text != text)
            w->text = text; // procedures that do not pass WM_SETTEXT on still have a text
    }

    std::string SimWindows::GetText(Hwnd hwnd)
    {
        const Window* w = Find(hwnd);
        return w ? w->text : std::string{};
    }

    void SimWindows::SetFont(Hwnd hwnd, const Font& font)
    {
        if (Window* w = Find(hwnd))
            w->font = font;
    }

    void SimWindows::SetIcon(Hwnd hwnd, IconHandle icon)
    {
        if (Window* w = Find(hwnd))
            w->icon = icon;
    }

    // ------------------------------------------------------------------ activation and focus

    void SimWindows::Activate(Hwnd top, int how)
    {
        if (top == _active || !Find(top))
            return;
        const Hwnd old = _active;
        _active = top;
        if (old != Hwnd{} && Find(old))
            Send(old, wm::activate, wa::inactive, static_cast<LPARAM>(top));
        if (Find(top) && _active == top)
            Send(top, wm::activate, static_cast<WPARAM>(how), static_cast<LPARAM>(old));
    }

    Hwnd SimWindows::SetFocus(Hwnd hwnd)
    {
        const Hwnd old = _focus;
        Window* w = Find(hwnd);
        if (!w || (w->style & ws::disabled))
            return Hwnd{};
        if (old == hwnd)
            return old;
        const Hwnd top = TopLevelOf(hwnd);
        if (top != _active)
            Activate(top, wa::active);
        if (_focus == hwnd)
            return old;
        const Hwnd previous = _focus;
        _focus = hwnd;
        if (previous != Hwnd{} && Find(previous))
            Send(previous, wm::killfocus, static_cast<WPARAM>(hwnd), 0);
        if (_focus == hwnd && Find(hwnd))
            Send(hwnd, wm::setfocus, static_cast<WPARAM>(previous), 0);
        return old;
    }

    bool SimWindows::SetForegroundWindow(Hwnd hwnd)
    {
        Window* w = Find(hwnd);
        if (!w)
            return false;
        const Hwnd top = TopLevelOf(hwnd);
        PlaceInZOrder(Get(top), hwnd_top);
        Activate(top, wa::active);
        return true;
    }

    // ------------------------------------------------------------------ painting

    void SimWindows::InvalidateRect(Hwnd hwnd, const Rect*)
    {
        if (Window* w = Find(hwnd))
            w->invalid = true;
    }

    void SimWindows::UpdateWindow(Hwnd hwnd)
    {
        Window* w = Find(hwnd);
        if (!w || !w->invalid || !Visible(*w))
            return;
        Send(hwnd, wm::paint, 0, 0);
        if ((w = Find(hwnd)) != nullptr)
            w->invalid = false;
        _clock.Set(_clock.Now() + _paintCost);
    }

    void SimWindows::Paint(Hwnd hwnd, const std::function<void(ICanvas&)>& paint)
    {
        RecordingCanvas canvas(*this);
        paint(canvas);
        if (Window* w = Find(hwnd))
        {
            w->lastPaint = std::move(canvas.ops);
            w->paintCount++;
            w->invalid = false;
        }
    }

    Size SimWindows::MeasureText(const std::wstring& text, const Font& f)
    {
        const int height = f.height == 0 ? 11 : (f.height < 0 ? -f.height : f.height);
        const int advance = (height + 1) / 2 + (f.bold ? 1 : 0);
        return { static_cast<int>(text.size()) * advance, height };
    }

    bool SimWindows::TrackMouseLeave(Hwnd hwnd)
    {
        if (!Find(hwnd))
            return false;
        _tracking = hwnd;
        return true;
    }

    // The tracked window learns that the pointer has left its client area.
    void SimWindows::LeaveTracked(Point screen)
    {
        if (_tracking == Hwnd{})
            return;
        const Hwnd tracked = _tracking;
        const Window* w = Find(tracked);
        if (w && WindowFromPoint(screen) == tracked && GetClientRect(tracked).Contains(ScreenToClient(tracked, screen)))
            return;
        _tracking = Hwnd{};
        if (w)
            Post(tracked, wm::mouseleave, 0, 0);
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

    // ------------------------------------------------------------------ menus

    MenuHandle SimWindows::CreatePopupMenu()
    {
        MenuHandle m{ _nextMenu };
        _nextMenu += 4;
        _menuItems[m];
        return m;
    }

    bool SimWindows::AppendMenuItem(MenuHandle menu, const MenuItemParams& item)
    {
        auto it = _menuItems.find(menu);
        if (it == _menuItems.end())
            return false;
        it->second.push_back(item);
        return true;
    }

    bool SimWindows::DestroyMenu(MenuHandle menu)
    {
        auto it = _menuItems.find(menu);
        if (it == _menuItems.end())
            return false;
        std::vector<MenuItemParams> items = std::move(it->second);
        _menuItems.erase(it);
        for (const auto& item : items)
            if (item.submenu != MenuHandle{})
                DestroyMenu(item.submenu);
        return true;
    }

    std::vector<MenuSnapshotItem> SimWindows::Snapshot(MenuHandle menu) const
    {
        std::vector<MenuSnapshotItem> out;
        auto it = _menuItems.find(menu);
        if (it == _menuItems.end())
            return out;
        for (const auto& item : it->second)
        {
            MenuSnapshotItem s{ item.id, item.text, item.separator, item.checked, item.enabled, item.radio, {} };
            if (item.submenu != MenuHandle{})
                s.submenu = Snapshot(item.submenu);
            out.push_back(std::move(s));
        }
        return out;
    }

    UINT SimWindows::TrackPopupMenu(MenuHandle menu, UINT flags, Point at, Hwnd owner)
    {
        if (_menuItems.find(menu) == _menuItems.end())
            return 0;
        PopupMenuCall call{ at, owner, flags, Snapshot(menu), 0 };
        const std::size_t index = _menus.size();
        _menus.push_back(call);
        ++_modalDepth;
        PumpMessages(); // the menu's own loop dispatches what is already waiting
        UINT chosen = onPopupMenu ? onPopupMenu(call) : 0;
        --_modalDepth;
        // Only enabled command items can be chosen.
        const MenuSnapshotItem* item = nullptr;
        std::vector<const std::vector<MenuSnapshotItem>*> stack{ &call.items };
        while (!stack.empty() && chosen != 0 && !item)
        {
            const auto* items = stack.back();
            stack.pop_back();
            for (const auto& i : *items)
            {
                if (!i.separator && i.submenu.empty() && i.id == chosen)
                    item = &i;
                else if (!i.submenu.empty())
                    stack.push_back(&i.submenu);
            }
        }
        if (!item || !item->enabled)
            chosen = 0;
        _menus[index].chosen = chosen;
        if (flags & tpm::returncmd)
            return chosen;
        if (chosen != 0 && !(flags & tpm::nonotify))
            Post(owner, wm::command, chosen, 0);
        return chosen != 0 ? 1 : 0;
    }

    MenuHandle SimWindows::GetSystemMenu(Hwnd hwnd, bool revert)
    {
        Window* w = Find(hwnd);
        if (!w)
            return MenuHandle{};
        if (revert || w->systemMenu == MenuHandle{})
        {
            if (w->systemMenu != MenuHandle{})
                DestroyMenu(w->systemMenu);
            w->systemMenu = CreatePopupMenu();
            for (UINT cmd : { sc::restore, sc::move, sc::size, sc::minimize, sc::maximize, sc::close })
                AppendMenuItem(w->systemMenu, { cmd, "", false, false, true, false, {} });
        }
        return revert ? MenuHandle{} : w->systemMenu;
    }

    bool SimWindows::DeleteMenu(MenuHandle menu, UINT item, UINT flags)
    {
        auto it = _menuItems.find(menu);
        if (it == _menuItems.end())
            return false;
        auto& items = it->second;
        if (flags & mf::byposition)
        {
            if (item >= items.size())
                return false;
            items.erase(items.begin() + item);
            return true;
        }
        return std::erase_if(items, [&](const MenuItemParams& s) { return s.id == item; }) > 0;
    }

    std::vector<UINT> SimWindows::SystemMenuCommands(Hwnd hwnd) const
    {
        std::vector<UINT> out;
        const Window* w = Find(hwnd);
        if (!w || w->systemMenu == MenuHandle{})
            return { sc::restore, sc::move, sc::size, sc::minimize, sc::maximize, sc::close };
        for (const auto& item : _menuItems.at(w->systemMenu))
            out.push_back(item.id);
        return out;
    }

    // ------------------------------------------------------------------ message boxes

    int SimWindows::ShowMessageBox(Hwnd owner, const std::string& text, const std::string& caption, UINT flags)
    {
        MessageBoxCall call{ owner, text, caption, flags, 0, _clock.Now() };
        const std::size_t index = _boxes.size();
        _boxes.push_back(call);
        const bool disableOwner = owner != Hwnd{} && Find(owner) && IsWindowEnabled(owner);
        if (disableOwner)
            EnableWindow(owner, false);
        ++_modalDepth;
        PumpMessages();
        int answer = 0;
        if (onMessageBox)
            answer = onMessageBox(call);
        else
        {
            switch (flags & mb::typemask)
            {
            case mb::yesno: answer = id::no; break;
            case mb::okcancel: answer = id::cancel; break;
            default: answer = id::ok; break;
            }
        }
        --_modalDepth;
        if (disableOwner && Find(owner))
            EnableWindow(owner, true);
        _boxes[index].answer = answer;
        return answer;
    }

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
        WPARAM keys = (_system.KeyDown(vk::lbutton) ? mk::lbutton : 0) | (_system.KeyDown(vk::rbutton) ? mk::rbutton : 0);
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
        const bool left = button == vk::lbutton;
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
        const bool left = button == vk::lbutton;
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
        if (!full)
            place(track);
        _system.SetKeyDown(vk::lbutton, false);
        _system.SetKeyDown(vk::control, false);
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
