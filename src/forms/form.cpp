#include "forms/form.h"

#include "forms/application.h"
#include "forms/controls.h"
#include "forms/exceptions.h"

#include <algorithm>
#include <cctype>

namespace forms
{
    Form::Form(Application& app, std::string name) : Control(std::move(name)), _app(app)
    {
        SetOwnerForm(*this);
        Control::SetVisible(false); // a form shows when told to
        _app.RegisterForm(*this);
    }

    Form::~Form()
    {
        DestroyHandle();
        _app.UnregisterForm(*this);
    }

    os::Os& Form::Os() const
    {
        return _app.Os();
    }

    // ------------------------------------------------------------------ the window

    os::Hwnd Form::Handle()
    {
        if (!HandleAllocated())
            CreateWindowHandle();
        return _handle;
    }

    void Form::CreateParams(os::WindowParams& params)
    {
        params.className = "NorvaleForm";
        params.text = _caption;
        params.style = os::ws::clipchildren | os::ws::clipsiblings;
        params.exStyle = 0;
        switch (_borderStyle)
        {
        case BorderStyle::none: params.style |= os::ws::popup; break;
        case BorderStyle::dialog:
            params.style |= os::ws::popup | os::ws::caption | os::ws::dlgframe;
            params.exStyle |= os::ws_ex::dlgmodalframe;
            break;
        case BorderStyle::sizeable: params.style |= os::ws::caption | os::ws::thickframe; break;
        }
        if (_systemMenu)
            params.style |= os::ws::sysmenu;
        if (_minimizeBox && _borderStyle != BorderStyle::dialog)
            params.style |= os::ws::minimizebox;
        if (_maximizeBox && _borderStyle != BorderStyle::dialog)
            params.style |= os::ws::maximizebox;
        if (_formStyle == FormStyle::stayOnTop)
            params.exStyle |= os::ws_ex::topmost;
        params.parent = _app.Handle();
        params.bounds = BoundsRect();
    }

    void Form::CreateWindowHandle()
    {
        os::WindowParams params;
        CreateParams(params);
        // The window must not show itself before its controls exist.
        params.style &= ~os::ws::visible;
        const os::Hwnd made = Os().windows.Create(params, this);
        if (made == os::Hwnd{})
            throw EOutOfResources("cannot make the window of " + Name());
        _handle = made;
        UpdateBounds();
        for (Control* c : std::vector<Control*>(_controls))
            if (auto* w = dynamic_cast<WinControl*>(c))
                w->CreateHandle();
    }

    void Form::DestroyHandle()
    {
        if (!HandleAllocated())
            return;
        for (Control* c : _controls)
            if (auto* w = dynamic_cast<WinControl*>(c))
                w->DestroyHandle();
        Os().windows.Destroy(_handle);
        _handle = os::Hwnd{};
    }

    os::LRESULT Form::WindowProc(os::Hwnd hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
    {
        if (_handle == os::Hwnd{})
            _handle = hwnd; // messages arrive before Create returns
        try
        {
            const os::LRESULT result = WndProc(msg, wParam, lParam);
            if (msg == os::wm::ncdestroy)
                _handle = os::Hwnd{};
            return result;
        }
        catch (const std::exception& e)
        {
            if (msg == os::wm::ncdestroy)
                _handle = os::Hwnd{};
            _app.HandleException(e);
            return 0;
        }
    }

    os::LRESULT Form::DefaultHandler(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
    {
        if (!HandleAllocated())
            return 0;
        return Os().windows.DefaultProc(_handle, msg, wParam, lParam);
    }

    void Form::UpdateBounds()
    {
        if (!HandleAllocated())
            return;
        const os::Rect r = Os().windows.GetWindowRect(_handle);
        Control::SetBounds(r.left, r.top, r.Width(), r.Height());
    }

    os::LRESULT Form::WndProc(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
    {
        switch (msg)
        {
        case os::wm::windowposchanged: UpdateBounds(); return DefaultHandler(msg, wParam, lParam);
        case os::wm::size:
        {
            UpdateBounds();
            Resize();
            return 0;
        }
        case os::wm::move: UpdateBounds(); return 0;
        case os::wm::paint: Os().windows.Paint(_handle, [this](os::ICanvas& canvas) { Paint(canvas); }); return 0;
        case os::wm::erasebkgnd: return 1;
        case os::wm::lbuttondown:
        case os::wm::lbuttondblclk: MouseButtonDown(MouseButton::left, lParam); return 0;
        case os::wm::rbuttondown: MouseButtonDown(MouseButton::right, lParam); return 0;
        case os::wm::lbuttonup: MouseButtonUp(MouseButton::left, lParam); return 0;
        case os::wm::setcursor:
        {
            const os::Hwnd target = static_cast<os::Hwnd>(wParam);
            const bool client = static_cast<std::int16_t>(os::LoWord(static_cast<std::uintptr_t>(lParam))) == os::ht::client;
            if (client && target == _handle && SetCursorForPoint())
                return 1;
            // A windowed control with a pointer of its own, asked first by its window.
            if (WinControl* child = client && target != _handle ? FindChild(target) : nullptr;
                child && child->Cursor() != cr::defaultCursor)
            {
                Os().windows.SetCursor(_app.Cursor(child->Cursor()));
                return 1;
            }
            return DefaultHandler(msg, wParam, lParam);
        }
        case os::wm::command:
            if (lParam != 0)
            {
                if (WinControl* child = FindChild(static_cast<os::Hwnd>(lParam)))
                    child->CommandNotify(os::HiWord(wParam));
                return 0;
            }
            _app.PostCommand(static_cast<os::UINT>(os::LoWord(wParam)));
            return 0;
        case os::wm::close: Close(); return 0;
        case os::wm::dpichanged: DpiChanged(*reinterpret_cast<const os::Rect*>(lParam)); return 0;
        case os::wm::getminmaxinfo:
        {
            auto* mmi = reinterpret_cast<os::MinMaxInfo*>(lParam);
            if (_constraints.minWidth > 0)
                mmi->ptMinTrackSize.x = _constraints.minWidth;
            if (_constraints.minHeight > 0)
                mmi->ptMinTrackSize.y = _constraints.minHeight;
            if (_constraints.maxWidth > 0)
                mmi->ptMaxTrackSize.x = _constraints.maxWidth;
            if (_constraints.maxHeight > 0)
                mmi->ptMaxTrackSize.y = _constraints.maxHeight;
            return 0;
        }
        default: return DefaultHandler(msg, wParam, lParam);
        }
    }

    // ------------------------------------------------------------------ appearance

    void Form::SetCaption(const std::string& caption)
    {
        _caption = caption;
        if (HandleAllocated())
            Os().windows.SetText(_handle, caption);
    }

    void Form::SetColor(os::Color color)
    {
        _color = color;
        Invalidate();
    }

    void Form::SetBorderIcons(bool systemMenu, bool minimize, bool maximize)
    {
        _systemMenu = systemMenu;
        _minimizeBox = minimize;
        _maximizeBox = maximize;
    }

    // ------------------------------------------------------------------ scale

    int Form::Dpi()
    {
        const int dpi = HandleAllocated() ? Os().windows.GetDpiForWindow(_handle) : Os().system.GetDpiForMonitorAt(BoundsRect());
        return dpi > 0 ? dpi : os::DefaultDpi;
    }

    os::Font Form::ScaledFont(const os::Font& font)
    {
        os::Font scaled = font;
        scaled.height = Scale(font.height);
        return scaled;
    }

    void Form::DpiChanged(const os::Rect& suggested)
    {
        RefreshControlFonts();
        SetBounds(suggested.left, suggested.top, suggested.Width(), suggested.Height());
        Invalidate();
    }

    void Form::RefreshControlFonts()
    {
        for (Control* c : _controls)
            if (auto* w = dynamic_cast<WinControl*>(c); w && w->HandleAllocated())
                Os().windows.SetFont(w->Handle(), ScaledFont(_font));
    }

    // ------------------------------------------------------------------ geometry

    void Form::ApplyConstraints(int& width, int& height) const
    {
        if (_constraints.maxWidth > 0)
            width = std::min(width, _constraints.maxWidth);
        if (_constraints.minWidth > 0)
            width = std::max(width, _constraints.minWidth);
        if (_constraints.maxHeight > 0)
            height = std::min(height, _constraints.maxHeight);
        if (_constraints.minHeight > 0)
            height = std::max(height, _constraints.minHeight);
    }

    void Form::SetBounds(int left, int top, int width, int height)
    {
        ApplyConstraints(width, height);
        if (HandleAllocated())
        {
            // The window's own messages bring the stored bounds up to date and run
            // the resize handling.
            Os().windows.SetWindowPos(_handle, os::Hwnd{}, left, top, width, height, os::swp::nozorder | os::swp::noactivate);
            return;
        }
        const bool resized = width != Width() || height != Height();
        Control::SetBounds(left, top, width, height);
        if (resized)
            Resize();
    }

    void Form::SetConstraints(const SizeConstraints& constraints)
    {
        _constraints = constraints;
        SetBounds(Left(), Top(), Width(), Height());
    }

    os::Rect Form::NonClient()
    {
        os::WindowParams params;
        CreateParams(params);
        return Os().windows.AdjustWindowRectEx({ 0, 0, 0, 0 }, params.style, params.exStyle);
    }

    int Form::ClientWidth()
    {
        if (HandleAllocated())
            return Os().windows.GetClientRect(_handle).Width();
        const os::Rect nc = NonClient();
        return Width() - nc.Width();
    }

    int Form::ClientHeight()
    {
        if (HandleAllocated())
            return Os().windows.GetClientRect(_handle).Height();
        const os::Rect nc = NonClient();
        return Height() - nc.Height();
    }

    void Form::SetClientWidth(int width)
    {
        SetWidth(Width() - ClientWidth() + width);
    }

    void Form::SetClientHeight(int height)
    {
        SetHeight(Height() - ClientHeight() + height);
    }

    void Form::Resize()
    {
        if (OnResize)
            OnResize(*this);
    }

    // ------------------------------------------------------------------ showing

    void Form::SetVisible(bool visible)
    {
        if (visible == Visible() && (!HandleAllocated() || Os().windows.IsWindowVisible(_handle) == visible))
            return;
        Control::SetVisible(visible);
        if (visible)
        {
            Handle();
            if (_position == FormPosition::screenCenter && !_shownOnce)
            {
                const int cx = Os().system.GetSystemMetrics(os::sm::cxscreen);
                const int cy = Os().system.GetSystemMetrics(os::sm::cyscreen);
                SetBounds((cx - Width()) / 2, (cy - Height()) / 2, Width(), Height());
            }
            _shownOnce = true;
            if (OnShow)
                OnShow(*this);
            Os().windows.ShowWindow(_handle, os::sw::show);
        }
        else
        {
            if (OnHide)
                OnHide(*this);
            if (HandleAllocated())
                Os().windows.ShowWindow(_handle, os::sw::hide);
        }
    }

    void Form::Show()
    {
        SetVisible(true);
        BringToFront();
    }

    void Form::BringToFront()
    {
        if (!HandleAllocated())
            return;
        Os().windows.SetWindowPos(_handle, os::hwnd_top, 0, 0, 0, 0, os::swp::nomove | os::swp::nosize);
    }

    void Form::SetFocus()
    {
        Os().windows.SetFocus(Handle());
    }

    void Form::Close()
    {
        CloseAction action = CloseAction::hide;
        if (OnClose)
            OnClose(*this, action);
        if (action == CloseAction::none)
            return;
        if (_app.MainForm() == this)
            _app.Terminate();
        else
            Hide();
    }

    void Form::Invalidate()
    {
        if (HandleAllocated())
            Os().windows.InvalidateRect(_handle, nullptr);
    }

    void Form::Update()
    {
        if (HandleAllocated())
            Os().windows.UpdateWindow(_handle);
    }

    void Form::Repaint()
    {
        Invalidate();
        Update();
    }

    void Form::Paint(os::ICanvas& canvas)
    {
        canvas.FillRect(Os().windows.GetClientRect(_handle), _color);
        if (OnPaint)
            OnPaint(*this, canvas);
        for (Control* c : _controls)
            if (auto* g = dynamic_cast<GraphicControl*>(c); g && g->Visible())
                g->Paint(canvas);
    }

    // ------------------------------------------------------------------ children and the pointer

    void Form::AddControl(Control& control)
    {
        _controls.push_back(&control);
    }

    void Form::RemoveControl(Control& control)
    {
        std::erase(_controls, &control);
        if (_pressed == &control)
            _pressed = nullptr;
        if (_defaultButton == &control)
            _defaultButton = nullptr;
        if (_cancelButton == &control)
            _cancelButton = nullptr;
    }

    Control* Form::ControlAtPos(os::Point p) const
    {
        for (auto it = _controls.rbegin(); it != _controls.rend(); ++it)
        {
            Control* c = *it;
            if (c->IsWindowed() || !c->Visible() || !c->Enabled())
                continue;
            if (c->BoundsRect().Contains(p))
                return c;
        }
        return nullptr;
    }

    WinControl* Form::FindChild(os::Hwnd child) const
    {
        for (Control* c : _controls)
            if (auto* w = dynamic_cast<WinControl*>(c); w && w->HandleAllocated() && w->Handle() == child)
                return w;
        return nullptr;
    }

    bool Form::OwnsWindow(os::Hwnd hwnd) const
    {
        return hwnd != os::Hwnd{} && (hwnd == _handle || FindChild(hwnd) != nullptr);
    }

    void Form::MouseButtonDown(MouseButton button, os::LPARAM lParam)
    {
        const os::Point p = os::PointFromLParam(lParam);
        Control* c = ControlAtPos(p);
        if (button == MouseButton::left)
        {
            _pressed = c;
            _pressedForm = c == nullptr;
        }
        if (c)
            c->MouseDown(button, p.x - c->Left(), p.y - c->Top());
        else
            MouseDown(button, p.x, p.y);
    }

    void Form::MouseButtonUp(MouseButton button, os::LPARAM lParam)
    {
        if (button != MouseButton::left)
            return;
        const os::Point p = os::PointFromLParam(lParam);
        Control* pressed = _pressed;
        const bool pressedForm = _pressedForm;
        _pressed = nullptr;
        _pressedForm = false;
        Control* under = ControlAtPos(p);
        if (pressed && under == pressed)
            pressed->Click();
        else if (pressedForm && under == nullptr)
            Click();
    }

    bool Form::SetCursorForPoint()
    {
        const os::Point p = Os().windows.ScreenToClient(_handle, Os().system.GetCursorPos());
        Control* c = ControlAtPos(p);
        const int cursor = c ? c->Cursor() : Cursor();
        if (cursor == cr::defaultCursor)
            return false;
        Os().windows.SetCursor(_app.Cursor(cursor));
        return true;
    }

    // ------------------------------------------------------------------ keyboard

    void Form::FocusNext(bool backwards)
    {
        std::vector<WinControl*> order;
        for (Control* c : _controls)
            if (auto* w = dynamic_cast<WinControl*>(c); w && w->TabStop() && w->Visible() && w->Enabled())
                order.push_back(w);
        if (order.empty())
            return;
        std::stable_sort(order.begin(), order.end(), [](WinControl* a, WinControl* b) { return a->TabOrder() < b->TabOrder(); });
        const os::Hwnd focus = Os().windows.GetFocus();
        auto current =
            std::find_if(order.begin(), order.end(), [&](WinControl* w) { return w->HandleAllocated() && w->Handle() == focus; });
        std::size_t index = 0;
        if (current != order.end())
        {
            const std::size_t at = static_cast<std::size_t>(current - order.begin());
            index = backwards ? (at + order.size() - 1) % order.size() : (at + 1) % order.size();
        }
        else if (backwards)
            index = order.size() - 1;
        order[index]->SetFocus();
    }

    bool Form::DialogKey(int vk, bool alt, bool shift)
    {
        if (alt)
        {
            const char letter = static_cast<char>(std::tolower(vk));
            for (Control* c : _controls)
                if (auto* w = dynamic_cast<WinControl*>(c); w && w->Visible() && w->Enabled() && w->Accelerator() == letter)
                {
                    w->AcceleratorPressed();
                    return true;
                }
            return false;
        }
        switch (vk)
        {
        case os::vk::tab: FocusNext(shift); return true;
        case os::vk::return_:
        {
            // A focused button takes Enter itself; otherwise the default button does.
            const os::Hwnd focus = Os().windows.GetFocus();
            if (auto* focused = dynamic_cast<Button*>(FindChild(focus)))
            {
                focused->Click();
                return true;
            }
            if (_defaultButton && _defaultButton->Visible() && _defaultButton->Enabled())
            {
                _defaultButton->Click();
                return true;
            }
            return false;
        }
        case os::vk::escape:
            if (_cancelButton && _cancelButton->Visible() && _cancelButton->Enabled())
            {
                _cancelButton->Click();
                return true;
            }
            return false;
        default: return false;
        }
    }
} // namespace forms
