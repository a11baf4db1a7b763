#include "forms/timer.h"

#include "forms/application.h"
#include "forms/exceptions.h"

namespace forms
{
    Timer::Timer(Application& app, std::string name) : _app(app), _name(std::move(name)), _id(app.AddTimer(*this)) {}

    Timer::~Timer()
    {
        _app.RemoveTimer(_id);
    }

    void Timer::SetInterval(os::UINT ms)
    {
        if (ms == _interval)
            return;
        _interval = ms;
        Update();
    }

    void Timer::SetEnabled(bool enabled)
    {
        if (enabled == _enabled)
            return; // a running timer keeps its period
        _enabled = enabled;
        Update();
    }

    void Timer::SetOnTimer(std::function<void(Timer&)> handler)
    {
        _onTimer = std::move(handler);
        Update();
    }

    void Timer::Update()
    {
        auto& windows = _app.Os().windows;
        if (_running)
        {
            windows.KillTimer(_app.Handle(), _id);
            _running = false;
        }
        if (_enabled && _interval != 0 && _onTimer)
        {
            if (!windows.SetTimer(_app.Handle(), _id, _interval))
                throw EOutOfResources("not enough timers available");
            _running = true;
        }
    }

    void Timer::Tick()
    {
        if (_running && _onTimer)
            _onTimer(*this);
    }
} // namespace forms
