// Fake player controls: each records what the program asked of it, answers
// GetVariable from what was set or scripted, reports a chosen version, and lets the
// test raise its FS command, progress and ready-state events.
#pragma once

#include "os/os.h"
#include "os/sim/windows.h"

#include <map>
#include <memory>

namespace os::sim
{
    // What one player control went through; it outlives the control.
    struct PlayerRecord
    {
        int serial = 0; // 1 for the first control made, and so on
        Hwnd parent{};
        Hwnd window{};
        bool alive = true;
        std::vector<std::wstring> calls; // "Movie=...", "Play", "Stop", "Rewind", "Menu=0", "DoVerb=-1", "SetVariable=name=value"
        std::map<std::wstring, std::wstring> variables;
        std::wstring movie;
        long version = 0;
        IPlayerEvents* events = nullptr;

        int Count(const std::wstring& call) const;
        std::vector<std::wstring> Movies() const; // every Movie set, in order
    };

    class SimPlayers final : public IPlayerFactory
    {
      public:
        explicit SimPlayers(SimWindows& windows) : _windows(windows) {}

        // ---- scene (test side)
        // Creation answers this result (hr::class_not_registered: no player installed).
        void SetCreateResult(HResult hr) { _createResult = hr; }
        // Only the creation with this serial fails (1 = the first control made).
        void FailCreation(int serial, HResult hr)
        {
            _failSerial = serial;
            _failResult = hr;
        }
        // Every call of this name ("DoVerb", "Movie", "Play", "SetVariable", ...) on
        // any control is recorded and answers `hr`; hr::ok takes the failure back.
        void FailCall(const std::wstring& name, HResult hr)
        {
            if (hr == hr::ok)
                _callFailures.erase(name);
            else
                _callFailures[name] = hr;
        }
        // Version reported by FlashVersion of controls made from now on (0x00060000 is 6.0).
        void SetVersion(long version) { _version = version; }

        // ---- look and act (test side)
        const std::vector<std::shared_ptr<PlayerRecord>>& All() const { return _records; }
        std::vector<std::shared_ptr<PlayerRecord>> Alive() const;
        // The most controls that were alive at one time.
        std::size_t PeakAlive() const { return _peakAlive; }
        std::shared_ptr<PlayerRecord> ByWindow(Hwnd window) const;
        void RaiseFSCommand(PlayerRecord& player, const std::wstring& command, const std::wstring& args);
        void RaiseProgress(PlayerRecord& player, long percent);
        void RaiseReadyState(PlayerRecord& player, long state);
        bool ComInitialized() const { return _comDepth > 0; }
        int ComInitializations() const { return _comInits; }

        // ---- IPlayerFactory
        HResult InitializeCom() override;
        void UninitializeCom() override;
        HResult CreatePlayer(Hwnd parent, const Rect& bounds, IPlayerEvents& events, std::unique_ptr<IPlayer>& player) override;

      private:
        SimWindows& _windows;
        std::vector<std::shared_ptr<PlayerRecord>> _records;
        HResult _createResult = hr::ok;
        int _failSerial = 0;
        HResult _failResult = hr::ok;
        long _version = 0x00090000;
        std::map<std::wstring, HResult> _callFailures;
        std::size_t _peakAlive = 0;
        int _serial = 0;
        int _comDepth = 0;
        int _comInits = 0;
    };
} // namespace os::sim
