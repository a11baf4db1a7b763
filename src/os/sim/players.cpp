#include "os/sim/players.h"

#include <algorithm>

namespace os::sim
{
    namespace
    {
        class FakePlayer final : public IPlayer
        {
          public:
            FakePlayer(SimWindows& windows, std::shared_ptr<PlayerRecord> record, const std::map<std::wstring, HResult>& failures)
                : _windows(windows), _record(std::move(record)), _failures(failures)
            {
            }

            ~FakePlayer() override
            {
                _record->alive = false;
                _record->events = nullptr;
                if (_windows.IsWindow(_record->window))
                    _windows.Destroy(_record->window);
            }

            Hwnd Window() override { return _record->window; }
            HResult DoVerb(int verb) override { return Log(L"DoVerb=" + std::to_wstring(verb)); }
            HResult SetMovie(const std::wstring& movie) override
            {
                _record->movie = movie;
                return Log(L"Movie=" + movie);
            }
            HResult GetMovie(std::wstring& movie) override
            {
                movie = _record->movie;
                return hr::ok;
            }
            HResult SetMenu(bool menu) override { return Log(menu ? L"Menu=1" : L"Menu=0"); }
            HResult SetProperty(const std::wstring& name, const std::variant<bool, std::wstring>& value) override
            {
                if (const bool* flag = std::get_if<bool>(&value))
                    return Log(name + (*flag ? L"=1" : L"=0"));
                return Log(name + L"=" + std::get<std::wstring>(value));
            }
            HResult Play() override { return Log(L"Play"); }
            HResult Stop() override { return Log(L"Stop"); }
            HResult Rewind() override { return Log(L"Rewind"); }
            HResult FlashVersion(long& version) override
            {
                version = _record->version;
                return hr::ok;
            }
            HResult SetVariable(const std::wstring& name, const std::wstring& value) override
            {
                _record->variables[name] = value;
                return Log(L"SetVariable=" + name + L"=" + value);
            }
            HResult GetVariable(const std::wstring& name, std::wstring& value) override
            {
                auto it = _record->variables.find(name);
                value = it == _record->variables.end() ? std::wstring{} : it->second;
                return hr::ok;
            }

          private:
            HResult Log(std::wstring call)
            {
                const auto failure = _failures.find(call.substr(0, call.find(L'=')));
                _record->calls.push_back(std::move(call));
                return failure == _failures.end() ? hr::ok : failure->second;
            }

            SimWindows& _windows;
            std::shared_ptr<PlayerRecord> _record;
            const std::map<std::wstring, HResult>& _failures;
        };
    } // namespace

    int PlayerRecord::Count(const std::wstring& call) const
    {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }

    std::vector<std::wstring> PlayerRecord::Movies() const
    {
        std::vector<std::wstring> out;
        for (const auto& c : calls)
            if (c.rfind(L"Movie=", 0) == 0)
                out.push_back(c.substr(6));
        return out;
    }

    std::vector<std::shared_ptr<PlayerRecord>> SimPlayers::Alive() const
    {
        std::vector<std::shared_ptr<PlayerRecord>> out;
        for (const auto& r : _records)
            if (r->alive)
                out.push_back(r);
        return out;
    }

    std::shared_ptr<PlayerRecord> SimPlayers::ByWindow(Hwnd window) const
    {
        for (const auto& r : _records)
            if (r->alive && r->window == window)
                return r;
        return nullptr;
    }

    void SimPlayers::RaiseFSCommand(PlayerRecord& player, const std::wstring& command, const std::wstring& args)
    {
        if (player.alive && player.events)
            player.events->FSCommand(command, args);
    }

    void SimPlayers::RaiseProgress(PlayerRecord& player, long percent)
    {
        if (player.alive && player.events)
            player.events->Progress(percent);
    }

    void SimPlayers::RaiseReadyState(PlayerRecord& player, long state)
    {
        if (player.alive && player.events)
            player.events->ReadyStateChange(state);
    }

    HResult SimPlayers::InitializeCom()
    {
        ++_comInits;
        return _comDepth++ == 0 ? hr::ok : 1; // S_FALSE when already initialised
    }

    void SimPlayers::UninitializeCom()
    {
        if (_comDepth > 0)
            --_comDepth;
    }

    HResult SimPlayers::CreatePlayer(Hwnd parent, const Rect& bounds, IPlayerEvents& events, std::unique_ptr<IPlayer>& player)
    {
        player.reset();
        const int serial = ++_serial;
        if (_createResult != hr::ok)
            return _createResult;
        if (serial == _failSerial)
            return _failResult;
        if (!_windows.IsWindow(parent))
            return hr::fail;
        WindowParams params;
        params.className = "FakePlayer";
        params.style = ws::child | ws::visible | ws::clipsiblings;
        params.bounds = bounds;
        params.parent = parent;
        const Hwnd window = _windows.Create(params, nullptr);
        if (window == Hwnd{})
            return hr::fail;
        auto record = std::make_shared<PlayerRecord>();
        record->serial = serial;
        record->parent = parent;
        record->window = window;
        record->version = _version;
        record->events = &events;
        _records.push_back(record);
        _peakAlive = std::max(_peakAlive, Alive().size());
        player = std::make_unique<FakePlayer>(_windows, record, _callFailures);
        return hr::ok;
    }
} // namespace os::sim
