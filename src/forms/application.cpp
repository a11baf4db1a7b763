#include "forms/application.h"

#include "forms/control.h"
#include "forms/form.h"
#include "forms/menu.h"
#include "forms/timer.h"

#include <algorithm>

namespace forms
{
    Application::Application(os::Os& os) : _os(os)
    {
        os::WindowParams params;
        params.className = "NorvaleApplication";
        params.style = os::ws::popup | os::ws::caption | os::ws::clipsiblings | os::ws::sysmenu | os::ws::minimizebox;
        const int cx = os.system.GetSystemMetrics(os::sm::cxscreen);
        const int cy = os.system.GetSystemMetrics(os::sm::cyscreen);
        params.bounds = os::Rect::FromBounds(cx / 2, cy / 2, 0, 0);
        _handle = os.windows.Create(params, this);
        os.windows.SetMessageFilter(this);
        _cursors[cr::defaultCursor] = os.windows.LoadSystemCursor(os::idc::arrow);
        _cursors[cr::arrow] = os.windows.LoadSystemCursor(os::idc::arrow);
        _cursors[cr::sizeAll] = os.windows.LoadSystemCursor(os::idc::sizeall);
        _cursors[cr::handPoint] = os.windows.LoadSystemCursor(os::idc::hand);
    }

    Application::~Application()
    {
        _os.windows.SetMessageFilter(nullptr);
        if (_handle != os::Hwnd{})
            _os.windows.Destroy(_handle);
        if (_comInitialized)
            _os.players.UninitializeCom();
    }

    void Application::Initialize()
    {
        if (_comInitialized)
            return;
        const os::HResult hr = _os.players.InitializeCom();
        _comInitialized = hr >= 0;
    }

    void Application::SetTitle(const std::string& title)
    {
        _title = title;
        if (_handle != os::Hwnd{})
            _os.windows.SetText(_handle, title);
    }

    int Application::Run()
    {
        if (_terminated)
            return _os.windows.RunMessageLoop();
        if (_mainForm && _showMainForm)
            _mainForm->Show();
        const int code = _os.windows.RunMessageLoop();
        _terminated = true;
        return code;
    }

    void Application::Terminate()
    {
        if (_terminated)
            return;
        _terminated = true;
        _os.windows.PostQuitMessage(0);
    }

    void Application::ProcessMessages()
    {
        _os.windows.PumpMessages();
    }

    os::CursorHandle Application::Cursor(int id) const
    {
        auto it = _cursors.find(id);
        return it == _cursors.end() ? _cursors.at(cr::defaultCursor) : it->second;
    }

    int Application::MessageBox(const std::string& text, const std::string& caption, os::UINT flags)
    {
        os::Hwnd owner = _os.windows.GetActiveWindow();
        if (owner == os::Hwnd{} || !std::any_of(_forms.begin(), _forms.end(), [&](Form* f) { return f->OwnsWindow(owner); }))
            owner = _handle;
        return _os.windows.ShowMessageBox(owner, text, caption, flags);
    }

    void Application::HandleException(const std::exception& e)
    {
        MessageBox(e.what(), _title, os::mb::ok | os::mb::iconerror);
    }

    bool Application::Guard(const std::function<void()>& step)
    {
        try
        {
            step();
            return true;
        }
        catch (const std::exception& e)
        {
            HandleException(e);
            return false;
        }
    }

    void Application::NormalizeTopMosts()
    {
        _normalized.clear();
        for (Form* f : _forms)
        {
            if (f->HandleAllocated() && _os.windows.IsWindowVisible(f->Handle()) && _os.windows.IsTopmost(f->Handle()))
            {
                _normalized.push_back(f->Handle());
                _os.windows.SetWindowPos(f->Handle(), os::hwnd_notopmost, 0, 0, 0, 0,
                                         os::swp::nomove | os::swp::nosize | os::swp::noactivate);
            }
        }
    }

    void Application::RestoreTopMosts()
    {
        for (os::Hwnd h : _normalized)
            if (_os.windows.IsWindow(h))
                _os.windows.SetWindowPos(h, os::hwnd_topmost, 0, 0, 0, 0,
                                         os::swp::nomove | os::swp::nosize | os::swp::noactivate);
        _normalized.clear();
    }

    // ------------------------------------------------------------------ plumbing

    void Application::RegisterForm(Form& form)
    {
        _forms.push_back(&form);
        if (!_mainForm)
            _mainForm = &form;
    }

    void Application::UnregisterForm(Form& form)
    {
        std::erase(_forms, &form);
        if (_mainForm == &form)
            _mainForm = nullptr;
    }

    std::uintptr_t Application::AddTimer(Timer& timer)
    {
        const std::uintptr_t id = _nextTimer++;
        _timers[id] = &timer;
        return id;
    }

    void Application::RemoveTimer(std::uintptr_t id)
    {
        _timers.erase(id);
        if (_handle != os::Hwnd{})
            _os.windows.KillTimer(_handle, id);
    }

    os::UINT Application::AddCommand(MenuItem& item)
    {
        const os::UINT id = _nextCommand++;
        _commands[id] = &item;
        return id;
    }

    void Application::RemoveCommand(os::UINT id)
    {
        _commands.erase(id);
    }

    void Application::PostCommand(os::UINT id)
    {
        _os.windows.Post(_handle, os::wm::command, id, 0);
    }

    os::LRESULT Application::WindowProc(os::Hwnd hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
    {
        try
        {
            switch (msg)
            {
            case os::wm::timer:
                if (auto it = _timers.find(wParam); it != _timers.end())
                    it->second->Tick();
                return 0;
            case os::wm::command:
                if (lParam == 0)
                {
                    if (auto it = _commands.find(static_cast<os::UINT>(os::LoWord(wParam))); it != _commands.end())
                        it->second->Click();
                    return 0;
                }
                break;
            case os::wm::close:
                // The taskbar button's Close: ask the main form.
                if (_mainForm)
                    _mainForm->Close();
                return 0;
            default: break;
            }
        }
        catch (const std::exception& e)
        {
            HandleException(e);
            return 0;
        }
        return _os.windows.DefaultProc(hwnd, msg, wParam, lParam);
    }

    bool Application::PreTranslateMessage(const os::Msg& msg)
    {
        const bool keyDown = msg.message == os::wm::keydown;
        const bool sysKeyDown = msg.message == os::wm::syskeydown;
        if (!keyDown && !sysKeyDown)
            return false;
        const int vk = static_cast<int>(msg.wParam);
        if (keyDown && vk != os::vk::tab && vk != os::vk::return_ && vk != os::vk::escape)
            return false;
        for (Form* f : _forms)
        {
            if (f->OwnsWindow(msg.hwnd))
            {
                try
                {
                    const bool shift = (_os.system.GetKeyState(os::vk::shift) & 0x8000) != 0;
                    return f->DialogKey(vk, sysKeyDown, shift);
                }
                catch (const std::exception& e)
                {
                    HandleException(e);
                    return true;
                }
            }
        }
        return false;
    }
} // namespace forms
