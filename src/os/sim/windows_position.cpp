// The simulated window manager's positions, sizes and z-order, activation and focus,
// and painting.
#include "os/sim/windows.h"
#include "os/sim/windows_detail.h"

#include <algorithm>
#include <stdexcept>

namespace os::sim
{
    using namespace detail;

    namespace
    {
        class RecordingCanvas final : public ICanvas
        {
          public:
            std::vector<PaintOp> ops;

            void FillRect(const Rect& r, Color c) override { ops.push_back({ PaintOp::Kind::fill, r, c, {}, {}, 0, {}, {} }); }
            void FrameRect(const Rect& r, Color c) override { ops.push_back({ PaintOp::Kind::frame, r, c, {}, {}, 0, {}, {} }); }
            void DrawBitmap(int x, int y, const Bitmap& b) override
            {
                if (b.drawing)
                {
                    // A rendered picture: its drawing, moved to its place.
                    const auto& drawn = *static_cast<const std::vector<PaintOp>*>(b.drawing.get());
                    for (PaintOp op : drawn)
                    {
                        op.rect = op.rect.Offset(x, y);
                        ops.push_back(std::move(op));
                    }
                    return;
                }
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
    } // namespace

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
        if (!(changed & swp::nomove) || !(changed & swp::nosize))
            FollowMonitorDpi(hwnd);
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

    bool SimWindows::IsWhollyCovered(Hwnd hwnd)
    {
        const Window* w = Find(hwnd);
        return w && WhollyCovered(*w);
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

    // Drawing through the window's device context: what reaches the screen is
    // recorded and counted as a paint; a hidden window, or one wholly covered on a
    // desktop without a compositor, shows none of it. A WM_PAINT still due stays due.
    void SimWindows::PaintNow(Hwnd hwnd, const std::function<void(ICanvas&)>& paint)
    {
        RecordingCanvas canvas(*this);
        paint(canvas);
        Window* w = Find(hwnd);
        if (!w || !Visible(*w) || Covered(*w))
            return;
        w->lastPaint = std::move(canvas.ops);
        w->paintCount++;
    }

    Bitmap SimWindows::Render(Size size, const std::function<void(ICanvas&)>& paint)
    {
        if (size.cx <= 0 || size.cy <= 0 || size.cx > 16384 || size.cy > 16384 ||
            static_cast<std::int64_t>(size.cx) * size.cy > (64 << 20))
            return {};
        RecordingCanvas canvas(*this);
        canvas.FillRect(Rect::FromBounds(0, 0, size.cx, size.cy), Rgb(255, 255, 255));
        paint(canvas);
        ++_renders;
        Bitmap b;
        b.width = size.cx;
        b.height = size.cy;
        b.name = "rendered"; // the drawing, not pixels: a paint that shows it records the drawing
        b.drawing = std::make_shared<const std::vector<PaintOp>>(std::move(canvas.ops));
        return b;
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
} // namespace os::sim

namespace os::sim
{
    int SimWindows::GetDpiForWindow(Hwnd hwnd)
    {
        const Window* w = Find(TopLevelOf(hwnd));
        return w ? w->dpi : 0;
    }

    void SimWindows::FollowMonitorDpi(Hwnd hwnd)
    {
        Window* w = Find(hwnd);
        if (!w || (w->style & ws::child) || !_system.PerMonitorAware())
            return;
        const int dpi = _system.GetDpiForMonitorAt(w->rect);
        if (dpi == w->dpi)
            return;
        // The window keeps its top-left corner and its size in 96-dpi terms; the
        // window takes the new DPI before it hears of it, as GetDpiForWindow
        // answers inside the handler.
        const int old = w->dpi;
        w->dpi = dpi;
        Rect suggested = w->rect;
        suggested.right = suggested.left + MulDiv(w->rect.Width(), dpi, old);
        suggested.bottom = suggested.top + MulDiv(w->rect.Height(), dpi, old);
        const WPARAM both = static_cast<WPARAM>(dpi) | (static_cast<WPARAM>(dpi) << 16);
        Send(hwnd, wm::dpichanged, both, reinterpret_cast<LPARAM>(&suggested));
    }

    Font SimWindows::FontOf(Hwnd hwnd) const
    {
        const Window* w = Find(hwnd);
        return w ? w->font : Font{};
    }

    void SimWindows::MonitorsChanged()
    {
        for (Hwnd top : TopLevelWindows())
            FollowMonitorDpi(top);
    }
} // namespace os::sim
