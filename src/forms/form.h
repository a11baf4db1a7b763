// A form: a top-level window of the program with its controls. The window is made
// on first use of Handle(); every message to it goes through WndProc, which a
// derived form overrides to handle messages of its own and passes on to the base
// for the default handling.
#pragma once

#include "forms/control.h"

#include <vector>

namespace forms
{
    class Application;
    class Button;

    enum class BorderStyle
    {
        none,   // no border, no caption
        dialog, // dialog frame with a caption
        sizeable,
    };

    enum class FormStyle
    {
        normal,
        stayOnTop,
    };

    enum class FormPosition
    {
        designed,     // where Left and Top say
        screenCenter, // centred on the screen at the first showing
    };

    enum class CloseAction
    {
        none,
        hide,
        free,
    };

    struct SizeConstraints
    {
        int minWidth = 0; // 0: no limit
        int minHeight = 0;
        int maxWidth = 0;
        int maxHeight = 0;
    };

    class Form : public Control, private os::IWindowProcedure
    {
      public:
        Form(Application& app, std::string name);
        ~Form() override;

        Application& App() const { return _app; }
        os::Os& Os() const;
        bool IsWindowed() const override { return true; }

        // ---- the window
        bool HandleAllocated() const { return _handle != os::Hwnd{}; }
        os::Hwnd Handle();
        // Destroys the window now (while the derived form still handles its messages).
        void DestroyHandle();

        // ---- appearance, set before the window exists
        const std::string& Caption() const { return _caption; }
        void SetCaption(const std::string& caption);
        os::Color Color() const { return _color; }
        void SetColor(os::Color color);
        void SetBorderStyle(BorderStyle style) { _borderStyle = style; }
        BorderStyle GetBorderStyle() const { return _borderStyle; }
        void SetFormStyle(FormStyle style) { _formStyle = style; }
        FormStyle GetFormStyle() const { return _formStyle; }
        void SetPosition(FormPosition position) { _position = position; }
        // System menu, minimise and maximise boxes of the caption.
        void SetBorderIcons(bool systemMenu, bool minimize, bool maximize);
        const os::Font& Font() const { return _font; }
        void SetFont(const os::Font& font) { _font = font; }

        // ---- scale: the layout's lengths are 96-dpi lengths
        // The DPI of the window's monitor (before the window exists, of the monitor
        // its bounds lie on).
        int Dpi();
        // A 96-dpi length in this window's pixels.
        int Scale(int length) { return os::ScaleForDpi(length, Dpi()); }
        // A font of the layout as it is made for this window's DPI.
        os::Font ScaledFont(const os::Font& font);

        // ---- geometry
        void SetBounds(int left, int top, int width, int height) override;
        const SizeConstraints& Constraints() const { return _constraints; }
        // Applies the limits to the current size at once.
        void SetConstraints(const SizeConstraints& constraints);
        int ClientWidth();
        int ClientHeight();
        void SetClientWidth(int width);
        void SetClientHeight(int height);

        // ---- showing
        void SetVisible(bool visible) override;
        void Show(); // visible and in front
        void Close();
        void BringToFront();
        void SetFocus();
        void Invalidate();
        void Update();
        void Repaint();

        // ---- children
        void AddControl(Control& control);
        void RemoveControl(Control& control);
        const std::vector<Control*>& Controls() const { return _controls; }
        // The topmost visible and enabled windowless control under a client point.
        Control* ControlAtPos(os::Point client) const;
        WinControl* FindChild(os::Hwnd child) const;
        bool OwnsWindow(os::Hwnd hwnd) const; // the form's window or one of its controls'

        // ---- keyboard
        void SetDefaultButton(Button* button) { _defaultButton = button; }
        void SetCancelButton(Button* button) { _cancelButton = button; }
        // Enter, Esc, Tab and Alt+letter aimed at this form; true when used.
        bool DialogKey(int vk, bool alt, bool shift);

        // ---- events
        std::function<void(Form& sender)> OnShow;
        std::function<void(Form& sender)> OnHide;
        std::function<void(Form& sender)> OnResize;
        std::function<void(Form& sender, CloseAction& action)> OnClose;
        std::function<void(Form& sender, os::ICanvas& canvas)> OnPaint;

        // The window procedure of this form's window.
        virtual os::LRESULT WndProc(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam);
        os::LRESULT DefaultHandler(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam);
        os::LRESULT Perform(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam) { return WndProc(msg, wParam, lParam); }

      protected:
        // Class name, styles and bounds of the window about to be made.
        virtual void CreateParams(os::WindowParams& params);
        virtual void Resize();
        virtual void Paint(os::ICanvas& canvas);
        // WM_DPICHANGED: the window's monitor has another DPI (Dpi() answers the
        // new one). A form lays itself out again at the new scale and then calls
        // this, which gives the windowed controls fonts at the new DPI and takes
        // the rectangle Windows suggests.
        virtual void DpiChanged(const os::Rect& suggested);
        // Gives every windowed control the form's font at the form's DPI.
        void RefreshControlFonts();
        // Keeps the stored bounds in step with the window.
        void UpdateBounds();

      private:
        os::LRESULT WindowProc(os::Hwnd hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam) override;
        void CreateWindowHandle();
        void ApplyConstraints(int& width, int& height) const;
        os::Rect NonClient();
        void MouseButtonDown(MouseButton button, os::LPARAM lParam);
        void MouseButtonUp(MouseButton button, os::LPARAM lParam);
        bool SetCursorForPoint();
        void FocusNext(bool backwards);

        Application& _app;
        os::Hwnd _handle{};
        std::string _caption;
        os::Color _color = os::Rgb(212, 208, 200);
        BorderStyle _borderStyle = BorderStyle::sizeable;
        FormStyle _formStyle = FormStyle::normal;
        FormPosition _position = FormPosition::designed;
        bool _systemMenu = true;
        bool _minimizeBox = true;
        bool _maximizeBox = true;
        os::Font _font;
        SizeConstraints _constraints;
        std::vector<Control*> _controls;
        Control* _pressed = nullptr; // windowless control under the last left press
        bool _pressedForm = false;
        bool _shownOnce = false;
        Button* _defaultButton = nullptr;
        Button* _cancelButton = nullptr;
    };
} // namespace forms
