#include "forms/controls.h"

#include "forms/form.h"

namespace forms
{
    // ------------------------------------------------------------------ Label

    Label::Label(Form& owner, std::string name) : GraphicControl(owner, std::move(name)) {}

    void Label::SetCaption(const std::string& caption)
    {
        if (caption == _caption)
            return;
        _caption = caption;
        Invalidate();
    }

    void Label::SetFont(const os::Font& font)
    {
        _font = font;
        Invalidate();
    }

    void Label::SetFontColor(os::Color color)
    {
        _fontColor = color;
        Invalidate();
    }

    void Label::Paint(os::ICanvas& canvas)
    {
        const os::Rect r = BoundsRect();
        if (!_transparent)
            canvas.FillRect(r, _color);
        os::UINT flags = os::dt::singleline | os::dt::noprefix;
        if (_alignment == Alignment::right)
            flags |= os::dt::right;
        else if (_alignment == Alignment::center)
            flags |= os::dt::center;
        canvas.DrawString(_caption, r, OwnerForm().ScaledFont(_font), _fontColor, flags);
    }

    // ------------------------------------------------------------------ Image

    Image::Image(Form& owner, std::string name) : GraphicControl(owner, std::move(name)) {}

    void Image::SetPicture(os::Bitmap picture)
    {
        _picture = std::move(picture);
        if (_autoSize && !_picture.Empty())
            SetBounds(Left(), Top(), _picture.width, _picture.height);
        Invalidate();
    }

    void Image::SetIcon(os::IconHandle icon)
    {
        _icon = icon;
        Invalidate();
    }

    void Image::Paint(os::ICanvas& canvas)
    {
        if (!_picture.Empty())
            canvas.DrawBitmap(Left(), Top(), _picture);
        else if (_icon != os::IconHandle{})
            canvas.DrawIcon(Left(), Top(), _icon);
    }

    // ------------------------------------------------------------------ Panel

    Panel::Panel(Form& owner, std::string name) : GraphicControl(owner, std::move(name)) {}

    void Panel::SetColor(os::Color c)
    {
        _color = c;
        Invalidate();
    }

    void Panel::Paint(os::ICanvas& canvas)
    {
        canvas.FillRect(BoundsRect(), _color);
    }

    // ------------------------------------------------------------------ ButtonControl

    ButtonControl::ButtonControl(Form& owner, std::string name) : WinControl(owner, std::move(name))
    {
        SetTabStop(true);
    }

    void ButtonControl::SetCaption(const std::string& caption)
    {
        _caption = caption;
        if (HandleAllocated())
            Windows().SetText(Handle(), caption);
    }

    os::WindowParams ButtonControl::ButtonParams(os::DWORD style) const
    {
        os::WindowParams params;
        params.className = "BUTTON";
        params.text = _caption;
        params.style = style;
        return params;
    }

    // ------------------------------------------------------------------ Button

    Button::Button(Form& owner, std::string name) : ButtonControl(owner, std::move(name)) {}

    void Button::SetDefault(bool isDefault)
    {
        _default = isDefault;
        OwnerForm().SetDefaultButton(isDefault ? this : nullptr);
    }

    void Button::SetCancel(bool isCancel)
    {
        OwnerForm().SetCancelButton(isCancel ? this : nullptr);
    }

    os::WindowParams Button::Params() const
    {
        return ButtonParams(_default ? os::bs::defpushbutton : os::bs::pushbutton);
    }

    void Button::CommandNotify(os::UINT code)
    {
        if (code == os::bn::clicked)
            Click();
    }

    // ------------------------------------------------------------------ CheckBox

    CheckBox::CheckBox(Form& owner, std::string name) : ButtonControl(owner, std::move(name)) {}

    bool CheckBox::Checked() const
    {
        if (HandleAllocated())
            _checked = Windows().Send(const_cast<CheckBox*>(this)->Handle(), os::bm::getcheck, 0, 0) != 0;
        return _checked;
    }

    void CheckBox::SetChecked(bool checked)
    {
        _checked = checked;
        if (HandleAllocated())
            Windows().Send(Handle(), os::bm::setcheck, checked ? 1 : 0, 0);
    }

    void CheckBox::AcceleratorPressed()
    {
        SetFocus();
        SetChecked(!Checked());
        Click();
    }

    os::WindowParams CheckBox::Params() const
    {
        return ButtonParams(os::bs::autocheckbox);
    }

    void CheckBox::HandleCreated()
    {
        Windows().Send(Handle(), os::bm::setcheck, _checked ? 1 : 0, 0);
    }

    void CheckBox::CommandNotify(os::UINT code)
    {
        if (code == os::bn::clicked)
        {
            Checked(); // keep the remembered state in step with the window
            Click();
        }
    }

    // ------------------------------------------------------------------ Memo

    Memo::Memo(Form& owner, std::string name) : WinControl(owner, std::move(name))
    {
        SetTabStop(true);
    }

    void Memo::SetLines(std::vector<std::string> lines)
    {
        _lines = std::move(lines);
        if (HandleAllocated())
            Windows().SetText(Handle(), Text());
    }

    std::string Memo::Text() const
    {
        std::string text;
        for (std::size_t i = 0; i < _lines.size(); ++i)
        {
            if (i > 0)
                text += "\r\n";
            text += _lines[i];
        }
        return text;
    }

    os::WindowParams Memo::Params() const
    {
        os::WindowParams params;
        params.className = "EDIT";
        params.text = Text();
        params.style = os::es::multiline | os::es::readonly;
        return params;
    }

    void Memo::CommandNotify(os::UINT code)
    {
        if (code == os::en::setfocus && OnEnter)
            OnEnter(*this);
    }
} // namespace forms
