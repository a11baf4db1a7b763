// The application object: the hidden application window (whose visibility stands
// for the program's taskbar button), the message loop, timers and menu commands,
// the cursor table and the message boxes of the program.
#pragma once

#include "os/os.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace forms
{
    class Form;
    class MenuItem;
    class Timer;

    class Application : private os::IWindowProcedure, private os::IMessageFilter
    {
      public:
        explicit Application(os::Os& os);
        Application(const Application&) = delete;
        Application& operator=(const Application&) = delete;
        virtual ~Application();

        os::Os& Os() const { return _os; }

        // Initialises COM for this thread (single-threaded apartment); call before
        // any window or control exists.
        void Initialize();

        const std::string& Title() const { return _title; }
        void SetTitle(const std::string& title);
        // The hidden application window that owns every form.
        os::Hwnd Handle() const { return _handle; }

        // The first form made is the main form; closing it ends the program.
        Form* MainForm() const { return _mainForm; }
        bool ShowMainForm() const { return _showMainForm; }
        void SetShowMainForm(bool show) { _showMainForm = show; }

        // Shows the main form (when asked to) and runs the message loop until
        // Terminate; returns the exit code.
        int Run();
        void Terminate();
        bool Terminated() const { return _terminated; }
        // Handles the messages that are waiting now.
        void ProcessMessages();

        // The cursor table: pointer shapes by number (cr:: values, or any number
        // the program registers).
        void SetCursor(int id, os::CursorHandle cursor) { _cursors[id] = cursor; }
        os::CursorHandle Cursor(int id) const;

        // A modal message box owned by the active form or the application window.
        int MessageBox(const std::string& text, const std::string& caption, os::UINT flags);
        // Shows an error that a handler let escape, and goes on.
        void HandleException(const std::exception& e);
        // Runs `step`; an error it lets escape is shown as above. True when it
        // returned normally.
        bool Guard(const std::function<void()>& step);
        // Topmost forms of the program become non-topmost while a modal box is up.
        void NormalizeTopMosts();
        void RestoreTopMosts();

        // ---- plumbing for the framework's own components
        void RegisterForm(Form& form);
        void UnregisterForm(Form& form);
        const std::vector<Form*>& Forms() const { return _forms; }
        std::uintptr_t AddTimer(Timer& timer);
        void RemoveTimer(std::uintptr_t id);
        os::UINT AddCommand(MenuItem& item);
        void RemoveCommand(os::UINT id);
        // The item's click runs when the message loop next takes this command.
        void PostCommand(os::UINT id);

      private:
        os::LRESULT WindowProc(os::Hwnd hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam) override;
        bool PreTranslateMessage(const os::Msg& msg) override;

        os::Os& _os;
        os::Hwnd _handle{};
        std::string _title;
        Form* _mainForm = nullptr;
        bool _showMainForm = true;
        bool _terminated = false;
        bool _comInitialized = false;
        std::map<int, os::CursorHandle> _cursors;
        std::vector<Form*> _forms;
        std::map<std::uintptr_t, Timer*> _timers;
        std::uintptr_t _nextTimer = 1;
        std::map<os::UINT, MenuItem*> _commands;
        os::UINT _nextCommand = 100;
        std::vector<os::Hwnd> _normalized;
    };
} // namespace forms
