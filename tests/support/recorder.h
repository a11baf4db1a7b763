// A window procedure for tests: records every message and lets a test answer
// chosen ones before the default handling.
#pragma once

#include "os/os.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace testing_support
{
    class Recorder final : public os::IWindowProcedure
    {
      public:
        explicit Recorder(os::IWindowManager& windows) : _windows(windows) {}

        struct Entry
        {
            os::UINT message;
            os::WPARAM wParam;
            os::LPARAM lParam;
        };

        // Returns a result to answer the message without default handling.
        std::function<std::optional<os::LRESULT>(os::Hwnd, os::UINT, os::WPARAM, os::LPARAM)> hook;
        std::vector<Entry> log;

        os::LRESULT WindowProc(os::Hwnd hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam) override
        {
            log.push_back({ msg, wParam, lParam });
            if (hook)
                if (auto r = hook(hwnd, msg, wParam, lParam))
                    return *r;
            return _windows.DefaultProc(hwnd, msg, wParam, lParam);
        }

        // The messages of interest, in the order they arrived.
        std::vector<os::UINT> Only(std::initializer_list<os::UINT> wanted) const
        {
            std::vector<os::UINT> out;
            for (const auto& e : log)
                if (std::find(wanted.begin(), wanted.end(), e.message) != wanted.end())
                    out.push_back(e.message);
            return out;
        }

      private:
        os::IWindowManager& _windows;
    };

    inline os::WindowParams TopLevel(os::Rect bounds, os::DWORD style = os::ws::popup)
    {
        os::WindowParams params;
        params.className = "TestWindow";
        params.style = style;
        params.bounds = bounds;
        return params;
    }
} // namespace testing_support
