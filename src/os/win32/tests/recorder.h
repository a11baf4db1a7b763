// A window procedure for the tests: it logs every message a window of ours receives
// (with a copy of the WINDOWPOS that position messages carry), lets a test answer
// chosen messages itself and passes the rest to the default handling.
#pragma once

#include "os/os.h"

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace os::win32::test
{
    struct Logged
    {
        Hwnd hwnd{};
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        WindowPos pos{}; // WM_WINDOWPOSCHANGING / WM_WINDOWPOSCHANGED as received
    };

    std::string MessageName(UINT message);

    class Recorder final : public IWindowProcedure
    {
      public:
        using Handler = std::function<std::optional<LRESULT>(Hwnd, WPARAM, LPARAM)>;

        // `log` may be shared by several recorders to see the order across windows.
        explicit Recorder(IWindowManager& windows, std::vector<Logged>* log = nullptr)
            : _windows(windows), _log(log ? log : &_own)
        {
        }

        LRESULT WindowProc(Hwnd hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override
        {
            Logged entry{ hwnd, msg, wParam, lParam, {} };
            if ((msg == WM_WINDOWPOSCHANGING || msg == WM_WINDOWPOSCHANGED) && lParam)
                entry.pos = *reinterpret_cast<const WindowPos*>(lParam);
            _log->push_back(entry);
            if (auto it = handlers.find(msg); it != handlers.end())
                if (std::optional<LRESULT> answer = it->second(hwnd, wParam, lParam))
                    return *answer;
            return _windows.DefaultProc(hwnd, msg, wParam, lParam);
        }

        std::vector<Logged>& Log() { return *_log; }
        void Clear() { _log->clear(); }
        // The logged messages that are in `only`, in order.
        std::vector<UINT> Sequence(const std::set<UINT>& only) const;
        std::vector<const Logged*> Find(UINT message) const;
        int Count(UINT message) const { return static_cast<int>(Find(message).size()); }
        // Every logged message by name, for failure output.
        std::string Describe() const;

        std::map<UINT, Handler> handlers;

      private:
        IWindowManager& _windows;
        std::vector<Logged> _own;
        std::vector<Logged>* _log;
    };

    std::string Names(const std::vector<UINT>& messages);

    // Player events written down as "command(args)", "progress N", "ready N".
    class RecordingEvents final : public IPlayerEvents
    {
      public:
        void FSCommand(const std::wstring& command, const std::wstring& args) override
        {
            calls.push_back(command + L"(" + args + L")");
        }
        void Progress(long percent) override { calls.push_back(L"progress " + std::to_wstring(percent)); }
        void ReadyStateChange(long state) override { calls.push_back(L"ready " + std::to_wstring(state)); }
        std::vector<std::wstring> calls;
    };
} // namespace os::win32::test
