// Controls placed on a form: windowless ones that the form draws and hit-tests
// itself (labels, pictures, panels) and windowed ones that have a window of their
// own (buttons, check boxes, memos, hosted controls).
#pragma once

#include "os/os.h"

#include <cstdint>
#include <functional>
#include <string>

namespace forms
{
    class Application;
    class Form;

    enum class MouseButton
    {
        left,
        right,
        middle,
    };

    // Pointer shapes of the cursor table (Application::Cursor). 0 leaves the shape
    // to the window under the pointer.
    namespace cr
    {
        constexpr int defaultCursor = 0;
        constexpr int arrow = -2;
        constexpr int sizeAll = -22;
        constexpr int handPoint = -21;
        constexpr int drag = -12; // not in the table: shown as the default pointer
    }                             // namespace cr

    class Control
    {
      public:
        Control(Form& owner, std::string name);
        Control(const Control&) = delete;
        Control& operator=(const Control&) = delete;
        virtual ~Control();

        const std::string& Name() const { return _name; }
        Form& OwnerForm() const { return *_owner; }

        int Left() const { return _left; }
        int Top() const { return _top; }
        int Width() const { return _width; }
        int Height() const { return _height; }
        os::Rect BoundsRect() const { return os::Rect::FromBounds(_left, _top, _width, _height); }
        virtual void SetBounds(int left, int top, int width, int height);
        void SetLeft(int v) { SetBounds(v, _top, _width, _height); }
        void SetTop(int v) { SetBounds(_left, v, _width, _height); }
        void SetWidth(int v) { SetBounds(_left, _top, v, _height); }
        void SetHeight(int v) { SetBounds(_left, _top, _width, v); }

        bool Visible() const { return _visible; }
        virtual void SetVisible(bool visible);
        void Show() { SetVisible(true); }
        void Hide() { SetVisible(false); }
        bool Enabled() const { return _enabled; }
        virtual void SetEnabled(bool enabled);

        // Small per-control state, as the classic libraries offer it.
        std::intptr_t Tag() const { return _tag; }
        void SetTag(std::intptr_t tag) { _tag = tag; }

        int Cursor() const { return _cursor; }
        void SetCursor(int cursor) { _cursor = cursor; }

        std::function<void(Control& sender)> OnClick;
        std::function<void(Control& sender, MouseButton button, int x, int y)> OnMouseDown;

        virtual void Click();
        virtual void MouseDown(MouseButton button, int x, int y);
        virtual bool IsWindowed() const = 0;

      protected:
        // For a form, which is its own owner.
        explicit Control(std::string name);
        void SetOwnerForm(Form& form) { _owner = &form; }

        int _left = 0;
        int _top = 0;
        int _width = 0;
        int _height = 0;

      private:
        Form* _owner = nullptr;
        bool _registered = false;
        std::string _name;
        bool _visible = true;
        bool _enabled = true;
        std::intptr_t _tag = 0;
        int _cursor = cr::defaultCursor;
    };

    // A control without a window: its form draws it and finds it under the pointer.
    // Disabled or hidden ones let the pointer through to what lies below.
    class GraphicControl : public Control
    {
      public:
        using Control::Control;

        bool IsWindowed() const override { return false; }
        void SetBounds(int left, int top, int width, int height) override;
        void SetVisible(bool visible) override;
        void Invalidate();
        // Draws the control now (the form's window repaints synchronously).
        void Repaint();
        virtual void Paint(os::ICanvas& canvas) = 0;
    };

    // A control with a child window of its own, made when its form's window is.
    class WinControl : public Control
    {
      public:
        using Control::Control;
        ~WinControl() override;

        bool IsWindowed() const override { return true; }
        bool HandleAllocated() const { return _handle != os::Hwnd{}; }
        os::Hwnd Handle();
        void SetBounds(int left, int top, int width, int height) override;
        void SetVisible(bool visible) override;
        void SetEnabled(bool enabled) override;
        void SetFocus();
        bool Focused() const;
        bool TabStop() const { return _tabStop; }
        void SetTabStop(bool v) { _tabStop = v; }
        int TabOrder() const { return _tabOrder; }
        void SetTabOrder(int v) { _tabOrder = v; }

        // The accelerator letter of the caption ("&Yes" has 'y'), 0 when none.
        virtual char Accelerator() const { return 0; }
        // Alt + the accelerator letter.
        virtual void AcceleratorPressed() { SetFocus(); }

        std::function<void(Control& sender)> OnEnter;

        // WM_COMMAND notifications of this control, passed on by its form.
        virtual void CommandNotify(os::UINT code);
        virtual void CreateHandle();
        virtual void DestroyHandle();

      protected:
        // The window to make: a system control class and its styles.
        virtual os::WindowParams Params() const = 0;
        // After creation: fonts, texts and states that live in the window.
        virtual void HandleCreated() {}
        // Adopts a window made by someone else (a hosted control).
        void AdoptHandle(os::Hwnd handle) { _handle = handle; }
        void ForgetHandle() { _handle = os::Hwnd{}; }
        os::IWindowManager& Windows() const;
        int ControlId() const { return _controlId; }

      private:
        os::Hwnd _handle{};
        bool _tabStop = false;
        int _tabOrder = 0;
        int _controlId = 0;
    };

    // The letter after the first single "&" in a caption, lower-cased; 0 if none.
    char AcceleratorOf(const std::string& caption);
} // namespace forms
