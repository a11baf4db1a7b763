#include "appbar/appbar.h"

#include "appbar/geometry.h"
#include "forms/application.h"
#include "forms/registry.h"

#include <algorithm>

namespace appbar
{
    namespace
    {
        constexpr os::UINT zOrderOnly = os::swp::nosize | os::swp::nomove | os::swp::noactivate;
    }

    TAppBar::TAppBar(forms::Application& app, std::string name) : Form(app, std::move(name))
    {
        auto& system = Os().system;
        const int cx = system.GetSystemMetrics(os::sm::cxscreen);
        const int cy = system.GetSystemMetrics(os::sm::cyscreen);
        _settings.maxWidth = cx;
        _settings.maxHeight = cy;
        _settings.maxVertDockSize = cx / 2;
        _settings.maxHorzDockSize = cy / 2;
    }

    TAppBar::~TAppBar()
    {
        DestroyHandle();
    }

    void TAppBar::SetSlideTime(int v)
    {
        _settings.slideTime = v;
        if (_autoHideTimer)
            _autoHideTimer->SetInterval(static_cast<os::UINT>(std::max(v, 0)));
    }

    void TAppBar::CreateParams(os::WindowParams& params)
    {
        Form::CreateParams(params);
        // No taskbar button of its own: the program's button is the application
        // window's, governed by TaskEntry.
        params.style &= ~(os::ws::sysmenu | os::ws::minimizebox | os::ws::maximizebox);
        params.exStyle &= ~os::ws_ex::appwindow;
        params.exStyle |= os::ws_ex::toolwindow;
    }

    ScreenFacts TAppBar::Screen()
    {
        auto& system = Os().system;
        return { system.GetSystemMetrics(os::sm::cxscreen), system.GetSystemMetrics(os::sm::cyscreen), system.GetWorkArea(),
                 system.GetSystemMetrics(os::sm::cxvscroll), system.GetSystemMetrics(os::sm::cyhscroll) };
    }

    // ------------------------------------------------------------------ the shell

    std::uintptr_t TAppBar::AppBarMessage(os::DWORD msg, TAppBarEdge edge, os::LPARAM lParam, os::Rect* rect)
    {
        os::AppBarData abd{};
        abd.cbSize = sizeof(os::AppBarData);
        abd.hWnd = Handle();
        abd.uCallbackMessage = AppBarCallbackMessage;
        abd.uEdge = edge;
        if (rect)
            abd.rc = *rect;
        abd.lParam = lParam;
        const std::uintptr_t result = Os().shell.AppBarMessage(msg, abd);
        if (rect)
            *rect = abd.rc;
        return result;
    }

    TAppBarEdge TAppBar::GetAutoHideEdge()
    {
        for (TAppBarEdge e : { abeLeft, abeTop, abeRight, abeBottom })
            if (static_cast<os::Hwnd>(AppBarMessage(os::abm::getautohidebar, e)) == Handle())
                return e;
        return abeUnknown;
    }

    void TAppBar::GetDockRect(TAppBarEdge edge, os::Rect& rect)
    {
        if (edge == abeFloat)
            return;
        auto& system = Os().system;
        rect = { 0, 0, system.GetSystemMetrics(os::sm::cxscreen), system.GetSystemMetrics(os::sm::cyscreen) };
        if (!AutoHide())
            AppBarMessage(os::abm::querypos, edge, 0, &rect);
        rect = DockedRect(edge, rect, VertDockSize(), HorzDockSize());
    }

    void TAppBar::SetEdge(TAppBarEdge value)
    {
        const TAppBarEdge autoHideEdge = GetAutoHideEdge();
        if (autoHideEdge != abeUnknown)
            AppBarMessage(os::abm::setautohidebar, autoHideEdge, 0);
        _settings.edge = value;
        switch (value)
        {
        case abeUnknown: AppBarMessage(os::abm::remove); break;
        case abeFloat:
        {
            os::Rect none{};
            AppBarMessage(os::abm::setpos, abeFloat, 0, &none);
            SetLeft(FloatLeft());
            SetTop(FloatTop());
            SetWidth(FloatRight() - FloatLeft());
            SetHeight(FloatBottom() - FloatTop());
            break;
        }
        default:
        {
            // During a user's move loop Edge reads the proposed edge.
            const TAppBarEdge edge = Edge();
            if (AutoHide() && AppBarMessage(os::abm::setautohidebar, edge, 1) == 0)
            {
                _settings.autoHide = false;
                AutoHideRefused();
            }
            os::Rect r{};
            GetDockRect(edge, r);
            if (AutoHide())
            {
                os::Rect none{};
                AppBarMessage(os::abm::setpos, abeLeft, 0, &none); // an auto-hide bar reserves nothing
            }
            else
            {
                AppBarMessage(os::abm::setpos, edge, 0, &r);
            }
            AdjustAutoHideRect(_autoHideShown, r);
            SlideWindow(r);
            break;
        }
        }
        const os::Hwnd insertAfter = !AlwaysOnTop()        ? os::hwnd_notopmost
                                     : !_fullScreenAppOpen ? os::hwnd_topmost
                                                           : os::hwnd_bottom;
        Os().windows.SetWindowPos(Handle(), insertAfter, 0, 0, 0, 0, zOrderOnly);
        AppBarMessage(os::abm::activate);
        ForceTaskbarOnTop();
        OnAppBarStateChange(false, value);
        ApplyTaskEntry(value);
    }

    void TAppBar::ApplyTaskEntry(TAppBarEdge edge)
    {
        const os::Hwnd appWindow = App().Handle();
        switch (TaskEntry())
        {
        case abtShow: Os().windows.ShowWindow(appWindow, os::sw::show); break;
        case abtHide: Os().windows.ShowWindow(appWindow, os::sw::hide); break;
        case abtFloatDependent:
            if (IsDockedEdge(edge))
                Os().windows.ShowWindow(appWindow, os::sw::hide);
            else if (edge == abeFloat)
                Os().windows.ShowWindow(appWindow, os::sw::show);
            break;
        }
    }

    void TAppBar::ForceTaskbarOnTop()
    {
        auto& shell = Os().shell;
        // Today's shell keeps its taskbar on top and no longer reports it: setting
        // the state there would only switch off the auto-hide the user chose.
        if (shell.TaskbarAlwaysOnTop())
            return;
        os::AppBarData query{};
        query.cbSize = sizeof(os::AppBarData);
        query.hWnd = Handle();
        if (shell.AppBarMessage(os::abm::getstate, query) == os::abs_::alwaysontop)
            return;
        os::AppBarData set{};
        set.cbSize = sizeof(os::AppBarData);
        set.hWnd = Handle();
        set.lParam = os::abs_::alwaysontop;
        shell.AppBarMessage(os::abm::setstate, set);
    }

    void TAppBar::UpdateBar()
    {
        SetEdge(Edge());
    }

    // ------------------------------------------------------------------ virtual operations

    bool TAppBar::ModifyStyle(os::DWORD remove, os::DWORD add, os::UINT refreshFlags)
    {
        auto& windows = Os().windows;
        const os::Hwnd h = Handle();
        const os::DWORD current = windows.GetStyle(h);
        const os::DWORD wanted = (current & ~remove) | add;
        if (wanted == current)
            return false;
        windows.SetStyle(h, wanted);
        if (refreshFlags != 0)
            windows.SetWindowPos(h, os::Hwnd{}, 0, 0, 0, 0,
                                 refreshFlags | os::swp::nosize | os::swp::nomove | os::swp::nozorder | os::swp::noactivate);
        return true;
    }

    void TAppBar::OnAppBarStateChange(bool proposed, TAppBarEdge)
    {
        if (Os().system.GetDragFullWindows() || !proposed)
            ModifyStyle(os::ws::caption | os::ws::sysmenu, 0, os::swp::framechanged);
    }

    void TAppBar::AutoHideRefused()
    {
        App().MessageBox(
            "There is already an auto hidden window on this edge.\n\rOnly one auto hidden window is allowed on each edge.",
            "Information", os::mb::ok | os::mb::iconinformation);
    }

    void TAppBar::OnAppBarFullScreenApp(bool open)
    {
        _fullScreenAppOpen = open;
        UpdateBar();
    }

    void TAppBar::OnAppBarPosChanged()
    {
        if (Edge() == abeFloat || AutoHide())
            return;
        UpdateBar();
        AppBarMessage(os::abm::windowposchanged, Edge());
    }

    void TAppBar::OnAppBarWindowArrange(bool) {}

    bool TAppBar::LoadSettings()
    {
        forms::Registry reg(Os().registry, _rootKey);
        if (!reg.OpenKey(_keyName, false))
            return false;
        const auto value = reg.ReadValue("");
        if (!value || value->type == os::reg::sz || value->type == os::reg::expand_sz || value->type == os::reg::dword)
            return false;
        const auto loaded = FromRecord(value->data);
        if (!loaded)
            return false;
        _settings = *loaded;
        return true;
    }

    bool TAppBar::SaveSettings()
    {
        forms::Registry reg(Os().registry, _rootKey);
        if (!reg.OpenKey(_keyName, true))
            return false;
        const SettingsRecord record = ToRecord(_settings);
        return reg.WriteBinary("", { record.begin(), record.end() });
    }

    // ------------------------------------------------------------------ messages

    os::LRESULT TAppBar::WndProc(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
    {
        switch (msg)
        {
        case AppBarCallbackMessage:
            switch (wParam)
            {
            case os::abn::poschanged: OnAppBarPosChanged(); break;
            case os::abn::fullscreenapp: OnAppBarFullScreenApp(lParam != 0); break;
            case os::abn::windowarrange: OnAppBarWindowArrange(lParam != 0); break;
            default: break; // ABN_STATECHANGE and anything new
            }
            return 0;
        case os::wm::create:
        {
            const os::LRESULT r = Form::WndProc(msg, wParam, lParam);
            WMCreate();
            return r;
        }
        case os::wm::destroy: WMDestroy(); return Form::WndProc(msg, wParam, lParam);
        case os::wm::windowposchanged:
        {
            const os::LRESULT r = Form::WndProc(msg, wParam, lParam);
            AppBarMessage(os::abm::windowposchanged);
            return r;
        }
        case os::wm::activate:
        {
            const os::LRESULT r = Form::WndProc(msg, wParam, lParam);
            if (os::LoWord(wParam) == os::wa::inactive)
                ShowAutoHide(false);
            AppBarMessage(os::abm::activate);
            return r;
        }
        case os::wm::ncmousemove: ShowAutoHide(true); return Form::WndProc(msg, wParam, lParam);
        case os::wm::nchittest: return WMNCHitTest(lParam);
        case os::wm::entersizemove: _proposedEdge = Edge(); return Form::WndProc(msg, wParam, lParam);
        case os::wm::exitsizemove: WMExitSizeMove(); return Form::WndProc(msg, wParam, lParam);
        case os::wm::moving: WMMoving(*reinterpret_cast<os::Rect*>(lParam)); return Form::WndProc(msg, wParam, lParam);
        case os::wm::sizing:
            WMSizing(static_cast<int>(wParam), *reinterpret_cast<os::Rect*>(lParam));
            return Form::WndProc(msg, wParam, lParam);
        case os::wm::getminmaxinfo:
            WMGetMinMaxInfo(*reinterpret_cast<os::MinMaxInfo*>(lParam));
            return 0; // the form's own size limits do not apply to a toolbar
        default: return Form::WndProc(msg, wParam, lParam);
        }
    }

    void TAppBar::WMCreate()
    {
        _autoHideTimer = std::make_unique<forms::Timer>(App(), Name() + ".AutoHideTimer");
        _autoHideTimer->SetInterval(static_cast<os::UINT>(std::max(SlideTime(), 0)));
        _autoHideTimer->SetOnTimer([this](forms::Timer&) { AutoHideTimerTick(); });
        _autoHideTimer->SetEnabled(true);
        SetFloatLeft(Left());
        SetFloatTop(Top());
        AppBarMessage(os::abm::new_);
        UpdateBar();
        // Once the loop runs, the end-of-move bookkeeping takes the dock size or the
        // float rectangle from the window's actual rectangle.
        auto& windows = Os().windows;
        windows.Post(Handle(), os::wm::entersizemove, 0, 0);
        windows.Post(Handle(), os::wm::exitsizemove, 0, 0);
        const os::MenuHandle systemMenu = windows.GetSystemMenu(Handle(), false);
        for (os::UINT cmd : { os::sc::restore, os::sc::minimize, os::sc::maximize })
            windows.DeleteMenu(systemMenu, cmd, os::mf::bycommand);
    }

    void TAppBar::WMDestroy()
    {
        _autoHideTimer.reset();
        SetEdge(abeUnknown);
    }

    os::LRESULT TAppBar::WMNCHitTest(os::LPARAM lParam)
    {
        auto& system = Os().system;
        auto& windows = Os().windows;
        int code = static_cast<int>(DefaultHandler(os::wm::nchittest, 0, lParam));
        const os::Point p = os::PointFromLParam(lParam);
        const int primary = system.GetSystemMetrics(os::sm::swapbutton) ? os::vk::rbutton : os::vk::lbutton;
        if (code == os::ht::client && (system.GetAsyncKeyState(primary) & 0x8000) != 0 &&
            ControlAtPos(windows.ScreenToClient(Handle(), p)) == nullptr)
            code = os::ht::caption;
        const TAppBarEdge edge = Edge();
        if (edge == abeFloat)
            code = FloatingHitTest(code, HorzSizeInc(), VertSizeInc());
        else if (IsDockedEdge(edge))
        {
            const os::Rect c = windows.GetClientRect(Handle());
            const os::Point o = windows.ClientToScreen(Handle(), { 0, 0 });
            code = DockedHitTest(edge, code, HorzSizeInc(), VertSizeInc(), c.Offset(o.x, o.y), p);
        }
        return code;
    }

    TAppBarEdge TAppBar::ProposedEdgeAt(os::Point p)
    {
        if ((Os().system.GetKeyState(os::vk::control) & 0x8000) != 0 && Has(Flags(), abfAllowFloat))
            return abeFloat;
        return EdgeFromPoint(Flags(), p, Screen(), _settings.edge);
    }

    void TAppBar::WMMoving(os::Rect& drag)
    {
        const os::Point p = Os().system.GetMessagePos();
        const TAppBarEdge proposed = ProposedEdgeAt(p);
        if (_proposedEdge != abeFloat && proposed == abeFloat)
            drag = LeaveDockOutline(p, FloatRight() - FloatLeft(), FloatBottom() - FloatTop());
        _proposedEdge = proposed;
        GetDockRect(proposed, drag);
        OnAppBarStateChange(true, proposed);
    }

    void TAppBar::WMExitSizeMove()
    {
        const TAppBarEdge p = _proposedEdge;
        _proposedEdge = abeUnknown;
        const os::Rect r = Os().windows.GetWindowRect(Handle());
        const TAppBarEdge current = _settings.edge;
        if (p == current)
        {
            if (IsVerticalEdge(current))
                SetVertDockSize(r.Width());
            else if (IsHorizontalEdge(current))
                SetHorzDockSize(r.Height());
        }
        if (p == abeFloat)
        {
            if (current == abeFloat)
            {
                SetFloatLeft(r.left);
                SetFloatTop(r.top);
                SetFloatRight(r.right);
                SetFloatBottom(r.bottom);
            }
            else
            {
                int w = r.Width();
                int h = r.Height();
                const os::Rect work = Os().system.GetWorkArea();
                if (w >= work.Width() || h >= work.Height())
                {
                    w = FloatRight() - FloatLeft();
                    h = FloatBottom() - FloatTop();
                }
                SetFloatLeft(r.left);
                SetFloatTop(r.top);
                SetFloatRight(r.left + w);
                SetFloatBottom(r.top + h);
            }
        }
        SetEdge(p);
    }

    void TAppBar::WMSizing(int edge, os::Rect& drag)
    {
        const bool floating = _settings.edge == abeFloat;
        const int baseWidth = floating ? MinWidth() : MinVertDockSize();
        const int baseHeight = floating ? MinHeight() : MinHorzDockSize();
        const int w = SnapToStep(drag.Width(), baseWidth, HorzSizeInc());
        const int h = SnapToStep(drag.Height(), baseHeight, VertSizeInc());
        drag = SizedRect(edge, drag, w, h);
    }

    void TAppBar::WMGetMinMaxInfo(os::MinMaxInfo& mmi)
    {
        const TAppBarEdge edge = Edge();
        if (edge == abeFloat)
        {
            mmi.ptMinTrackSize = { MinWidth(), MinHeight() };
            mmi.ptMaxTrackSize = { MaxWidth(), MaxHeight() };
            return;
        }
        auto& system = Os().system;
        mmi.ptMinTrackSize = { MinVertDockSize(), MinHorzDockSize() };
        mmi.ptMaxTrackSize = { system.GetSystemMetrics(os::sm::cxscreen), system.GetSystemMetrics(os::sm::cyscreen) };
        if (!IsHorizontalEdge(edge))
            mmi.ptMaxTrackSize.x = MaxVertDockSize();
        if (!IsVerticalEdge(edge))
            mmi.ptMaxTrackSize.y = MaxHorzDockSize();
    }

    // ------------------------------------------------------------------ auto-hide and sliding

    bool TAppBar::AdjustAutoHideRect(bool show, os::Rect& rect)
    {
        const TAppBarEdge edge = Edge();
        if (edge == abeUnknown || edge == abeFloat || !AutoHide())
            return false;
        auto& system = Os().system;
        rect =
            AutoHidePlace(edge, show, rect, system.GetSystemMetrics(os::sm::cxscreen), system.GetSystemMetrics(os::sm::cyscreen),
                          system.GetSystemMetrics(os::sm::cxborder), system.GetSystemMetrics(os::sm::cyborder));
        return true;
    }

    void TAppBar::ShowAutoHide(bool show)
    {
        os::Rect r = Os().windows.GetWindowRect(Handle());
        _autoHideShown = true;
        if (AdjustAutoHideRect(show, r))
        {
            _autoHideShown = show;
            SlideWindow(r);
        }
    }

    void TAppBar::AutoHideTimerTick()
    {
        auto& windows = Os().windows;
        auto& system = Os().system;
        if (windows.GetActiveWindow() == Handle())
            return;
        const os::Point p = system.GetMessagePos();
        const os::Rect near = windows.GetWindowRect(Handle()).Inflated(2 * system.GetSystemMetrics(os::sm::cxdoubleclk),
                                                                       2 * system.GetSystemMetrics(os::sm::cydoubleclk));
        if (!near.Contains(p))
            ShowAutoHide(false);
    }

    void TAppBar::SlideWindow(const os::Rect& target)
    {
        auto& windows = Os().windows;
        auto& system = Os().system;
        const bool full = system.GetDragFullWindows();
        const os::Rect old = windows.GetWindowRect(Handle());
        if (SlideEffect() && full && SlideTime() > 0 && target != old)
        {
            // Frames as fast as the window repaints, each placed by the time gone by.
            // Elapsed time is measured as a difference, which stays right when the
            // tick count wraps round.
            const os::DWORD start = system.GetTickCount();
            const auto duration = static_cast<os::DWORD>(SlideTime());
            for (os::DWORD elapsed = 0; elapsed < duration; elapsed = system.GetTickCount() - start)
            {
                const os::Rect f = SlideFrame(old, target, elapsed, SlideTime());
                windows.SetWindowPos(Handle(), os::Hwnd{}, f.left, f.top, f.Width(), f.Height(),
                                     os::swp::nozorder | os::swp::noactivate | os::swp::framechanged);
                windows.UpdateWindow(Handle());
            }
        }
        SetLeft(target.left);
        SetTop(target.top);
        SetWidth(target.Width());
        SetHeight(target.Height());
    }
} // namespace appbar
