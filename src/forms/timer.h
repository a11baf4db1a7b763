// A timer component: calls OnTimer every Interval milliseconds while Enabled.
// Enabling a timer that already runs leaves its period undisturbed.
#pragma once

#include "os/types.h"

#include <cstdint>
#include <functional>
#include <string>

namespace forms
{
    class Application;

    class Timer
    {
      public:
        Timer(Application& app, std::string name);
        Timer(const Timer&) = delete;
        Timer& operator=(const Timer&) = delete;
        ~Timer();

        const std::string& Name() const { return _name; }
        os::UINT Interval() const { return _interval; }
        void SetInterval(os::UINT ms);
        bool Enabled() const { return _enabled; }
        void SetEnabled(bool enabled);
        void SetOnTimer(std::function<void(Timer& sender)> handler);
        std::intptr_t Tag() const { return _tag; }
        void SetTag(std::intptr_t tag) { _tag = tag; }

        // Called by the application when the period has passed.
        void Tick();

      private:
        void Update();

        Application& _app;
        std::string _name;
        std::uintptr_t _id;
        os::UINT _interval = 1000;
        bool _enabled = true;
        bool _running = false;
        std::intptr_t _tag = 0;
        std::function<void(Timer&)> _onTimer;
    };
} // namespace forms
