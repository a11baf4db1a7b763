#include "forms/control.h"

#include "forms/application.h"
#include "forms/exceptions.h"
#include "forms/form.h"

#include <cctype>

namespace forms
{
    // ------------------------------------------------------------------ Control

    Control::Control(Form& owner, std::string name) : _owner(&owner), _registered(true), _name(std::move(name))
    {
        owner.AddControl(*this);
    }

    Control::Control(std::string name) : _name(std::move(name)) {}

    Control::~Control()
    {
        if (_registered)
            _owner->RemoveControl(*this);
    }

    void Control::SetBounds(int left, int top, int width, int height)
    {
        _left = left;
        _top = top;
        _width = width;
        _height = height;
    }

    void Control::SetVisible(bool visible)
    {
        _visible = visible;
    }

    void Control::SetEnabled(bool enabled)
    {
        _enabled = enabled;
    }

    void Control::Click()
    {
        if (OnClick)
            OnClick(*this);
    }

    void Control::MouseDown(MouseButton button, int x, int y)
    {
        if (OnMouseDown)
            OnMouseDown(*this, button, x, y);
    }

    char AcceleratorOf(const std::string& caption)
    {
        for (std::size_t i = 0; i + 1 < caption.size(); ++i)
        {
            if (caption[i] != '&')
                continue;
            if (caption[i + 1] == '&')
            {
                ++i;
                continue;
            }
            return static_cast<char>(std::tolower(static_cast<unsigned char>(caption[i + 1])));
        }
        return 0;
    }

    // ------------------------------------------------------------------ GraphicControl

    void GraphicControl::SetBounds(int left, int top, int width, int height)
    {
        if (left == _left && top == _top && width == _width && height == _height)
            return;
        Invalidate();
        Control::SetBounds(left, top, width, height);
        Invalidate();
    }

    void GraphicControl::SetVisible(bool visible)
    {
        if (visible == Visible())
            return;
        Control::SetVisible(visible);
        Invalidate();
    }

    void GraphicControl::Invalidate()
    {
        OwnerForm().Invalidate();
    }

    void GraphicControl::Repaint()
    {
        Invalidate();
        OwnerForm().Update();
    }

    // ------------------------------------------------------------------ WinControl

    WinControl::~WinControl()
    {
        DestroyHandle();
    }

    os::IWindowManager& WinControl::Windows() const
    {
        return OwnerForm().Os().windows;
    }

    os::Hwnd WinControl::Handle()
    {
        if (!HandleAllocated())
            CreateHandle();
        return _handle;
    }

    void WinControl::CreateHandle()
    {
        if (HandleAllocated())
            return;
        os::WindowParams params = Params();
        params.style |= os::ws::child | os::ws::clipsiblings;
        if (Visible())
            params.style |= os::ws::visible;
        if (!Enabled())
            params.style |= os::ws::disabled;
        if (_tabStop)
            params.style |= os::ws::tabstop;
        if (_controlId == 0)
            _controlId = 1000 + static_cast<int>(OwnerForm().Controls().size()) * 7 + static_cast<int>(Name().size());
        params.controlId = _controlId;
        params.parent = OwnerForm().Handle();
        params.bounds = BoundsRect();
        _handle = Windows().Create(params, nullptr);
        if (!HandleAllocated())
            throw EOutOfResources("cannot make the window of " + Name());
        Windows().SetFont(_handle, OwnerForm().ScaledFont(OwnerForm().Font()));
        HandleCreated();
    }

    void WinControl::DestroyHandle()
    {
        if (!HandleAllocated())
            return;
        const os::Hwnd h = _handle;
        _handle = os::Hwnd{};
        if (OwnerForm().HandleAllocated())
            Windows().Destroy(h);
    }

    void WinControl::SetBounds(int left, int top, int width, int height)
    {
        Control::SetBounds(left, top, width, height);
        if (HandleAllocated())
            Windows().SetWindowPos(_handle, os::Hwnd{}, left, top, width, height, os::swp::nozorder | os::swp::noactivate);
    }

    void WinControl::SetVisible(bool visible)
    {
        Control::SetVisible(visible);
        if (HandleAllocated())
            Windows().ShowWindow(_handle, visible ? os::sw::show : os::sw::hide);
    }

    void WinControl::SetEnabled(bool enabled)
    {
        Control::SetEnabled(enabled);
        if (HandleAllocated())
            Windows().EnableWindow(_handle, enabled);
    }

    void WinControl::SetFocus()
    {
        Windows().SetFocus(Handle());
    }

    bool WinControl::Focused() const
    {
        return HandleAllocated() && Windows().GetFocus() == _handle;
    }

    void WinControl::CommandNotify(os::UINT) {}
} // namespace forms
