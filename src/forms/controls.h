// The standard controls: windowless label, picture and panel; windowed push
// button, check box and read-only memo.
#pragma once

#include "forms/control.h"

#include <string>
#include <vector>

namespace forms
{
    enum class Alignment
    {
        left,
        right,
        center,
    };

    class Label : public GraphicControl
    {
      public:
        Label(Form& owner, std::string name);

        const std::string& Caption() const { return _caption; }
        void SetCaption(const std::string& caption);
        const os::Font& Font() const { return _font; }
        void SetFont(const os::Font& font);
        os::Color FontColor() const { return _fontColor; }
        void SetFontColor(os::Color color);
        void SetAlignment(Alignment a) { _alignment = a; }
        // Transparent labels draw only their text; others fill their rectangle first.
        void SetTransparent(bool t) { _transparent = t; }
        void SetColor(os::Color c) { _color = c; }
        void Paint(os::ICanvas& canvas) override;

      private:
        std::string _caption;
        os::Font _font;
        os::Color _fontColor = os::Rgb(0, 0, 0);
        os::Color _color = os::Rgb(212, 208, 200);
        Alignment _alignment = Alignment::left;
        bool _transparent = false;
    };

    // A picture. With AutoSize the control takes the picture's size.
    class Image : public GraphicControl
    {
      public:
        Image(Form& owner, std::string name);

        const os::Bitmap& Picture() const { return _picture; }
        void SetPicture(os::Bitmap picture);
        // A small picture of the system's (an icon), drawn at the top-left corner.
        void SetIcon(os::IconHandle icon);
        os::IconHandle Icon() const { return _icon; }
        void SetAutoSize(bool autoSize) { _autoSize = autoSize; }
        void Paint(os::ICanvas& canvas) override;

      private:
        os::Bitmap _picture;
        os::IconHandle _icon{};
        bool _autoSize = false;
    };

    // A plain coloured area that takes clicks.
    class Panel : public GraphicControl
    {
      public:
        Panel(Form& owner, std::string name);
        void SetColor(os::Color c);
        os::Color Color() const { return _color; }
        void Paint(os::ICanvas& canvas) override;

      private:
        os::Color _color = os::Rgb(212, 208, 200);
    };

    // A control of the system's BUTTON class, with its caption and accelerator.
    class ButtonControl : public WinControl
    {
      public:
        ButtonControl(Form& owner, std::string name);
        const std::string& Caption() const { return _caption; }
        void SetCaption(const std::string& caption);
        char Accelerator() const override { return AcceleratorOf(_caption); }

      protected:
        os::WindowParams ButtonParams(os::DWORD style) const;

      private:
        std::string _caption;
    };

    class Button : public ButtonControl
    {
      public:
        Button(Form& owner, std::string name);
        // The default button answers Enter, the cancel button Esc.
        void SetDefault(bool isDefault);
        void SetCancel(bool isCancel);
        void AcceleratorPressed() override { Click(); }
        void CommandNotify(os::UINT code) override;

      protected:
        os::WindowParams Params() const override;

      private:
        bool _default = false;
    };

    class CheckBox : public ButtonControl
    {
      public:
        CheckBox(Form& owner, std::string name);
        bool Checked() const;
        void SetChecked(bool checked);
        void AcceleratorPressed() override;
        void CommandNotify(os::UINT code) override;

      protected:
        os::WindowParams Params() const override;
        void HandleCreated() override;

      private:
        mutable bool _checked = false;
    };

    // A multi-line text shown read-only, one string per line.
    class Memo : public WinControl
    {
      public:
        Memo(Form& owner, std::string name);
        const std::vector<std::string>& Lines() const { return _lines; }
        void SetLines(std::vector<std::string> lines);
        std::string Text() const; // the lines joined with CR LF
        void CommandNotify(os::UINT code) override;

      protected:
        os::WindowParams Params() const override;

      private:
        std::vector<std::string> _lines;
    };
} // namespace forms
