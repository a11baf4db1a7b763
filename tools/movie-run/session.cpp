#include "session.h"

#include "app/content.h"
#include "app/fetch.h"
#include "player/movie/text.h"

#include <cstdio>

namespace movierun
{
    namespace
    {
        using player::movie::WideToUtf8;

        constexpr std::uint64_t StepMs = 10;
        const std::string SettingsKey = "Software\\Norvale\\Vodazovovarar";

        std::string FileName(const std::string& address)
        {
            const std::size_t slash = address.find_last_of("/\\");
            return slash == std::string::npos ? address : address.substr(slash + 1);
        }
    } // namespace

    // A player control of our own that tells the session what passes through it:
    // the movie it is given, the variables the host sets, and its events.
    class TracingPlayer final : public os::IPlayer, private os::IPlayerEvents
    {
      public:
        TracingPlayer(Session& session, os::IPlayerEvents& events, int number)
            : _session(session), _events(events), _name("player " + std::to_string(number))
        {
        }
        std::unique_ptr<os::IPlayer> inner;
        os::IPlayerEvents& Events() { return *this; }

        os::Hwnd Window() override { return inner->Window(); }
        os::HResult DoVerb(int verb) override { return inner->DoVerb(verb); }
        os::HResult SetMovie(const std::wstring& movie) override
        {
            const std::string address = WideToUtf8(movie);
            _session.Note("movie", _name + ": " + address);
            _name = FileName(address);
            return inner->SetMovie(movie);
        }
        os::HResult GetMovie(std::wstring& movie) override { return inner->GetMovie(movie); }
        os::HResult SetMenu(bool menu) override { return inner->SetMenu(menu); }
        os::HResult SetProperty(const std::wstring& name, const std::variant<bool, std::wstring>& value) override
        {
            return inner->SetProperty(name, value);
        }
        os::HResult Play() override { return inner->Play(); }
        os::HResult Stop() override { return inner->Stop(); }
        os::HResult Rewind() override { return inner->Rewind(); }
        os::HResult FlashVersion(long& version) override { return inner->FlashVersion(version); }
        os::HResult SetVariable(const std::wstring& name, const std::wstring& value) override
        {
            _session.Note("var", _name + ": " + WideToUtf8(name) + " = " + WideToUtf8(value));
            return inner->SetVariable(name, value);
        }
        os::HResult GetVariable(const std::wstring& name, std::wstring& value) override
        {
            return inner->GetVariable(name, value);
        }
        os::HResult SetStageState(const os::StageState& state) override { return inner->SetStageState(state); }
        os::HResult StartReading() override { return inner->StartReading(); }

      private:
        void FSCommand(const std::wstring& command, const std::wstring& args) override
        {
            _session.Note("fs", _name + ": " + WideToUtf8(command) + (args.empty() ? "" : " " + WideToUtf8(args)));
            _events.FSCommand(command, args);
        }
        void Progress(long percent) override { _events.Progress(percent); }
        void Headline(const std::wstring& text, const std::wstring& link) override
        {
            _session.Note("headline", _name + ": " + WideToUtf8(text) + (link.empty() ? "" : " " + WideToUtf8(link)));
            _events.Headline(text, link);
        }
        void Key(const std::wstring& key) override { _events.Key(key); }
        void FocusChange(bool focused) override { _events.FocusChange(focused); }
        void ReadyStateChange(long state) override
        {
            if (state == 4)
                _session.Note("ready", _name);
            _events.ReadyStateChange(state);
        }

        Session& _session;
        os::IPlayerEvents& _events;
        std::string _name;
    };

    class TracingFactory final : public player::PlayerFactory
    {
      public:
        TracingFactory(Session& session, const player::movie::Limits& limits)
            : _session(session), _movies(session.desktop.Os(), limits)
        {
        }
        os::HResult Create(os::Hwnd parent, const os::Rect& bounds, os::IPlayerEvents& events,
                           std::unique_ptr<os::IPlayer>& player) override
        {
            player.reset();
            auto tracing = std::make_unique<TracingPlayer>(_session, events, ++_made);
            const os::HResult hr = _movies.Create(parent, bounds, tracing->Events(), tracing->inner);
            if (hr == os::hr::ok)
                player = std::move(tracing);
            return hr;
        }

      private:
        Session& _session;
        player::MoviePlayerFactory _movies;
        int _made = 0;
    };

    // The host of a movie played alone: its FS commands are only noted.
    struct Session::AloneEvents final : os::IPlayerEvents
    {
        void FSCommand(const std::wstring&, const std::wstring&) override {}
        void Progress(long) override {}
        void ReadyStateChange(long) override {}
    };

    Session::Session(std::ostream* out, const player::movie::Limits& limits)
        : _out(out), _factory(std::make_unique<TracingFactory>(*this, limits))
    {
        desktop.SetScreen(1280, 1024);
        desktop.windows.SetPaintCost(0);
        desktop.windows.onMessageBox = [this](const os::sim::MessageBoxCall& box)
        {
            Note("box", box.caption + ": " + box.text);
            return 0; // the default answer
        };
        app.Initialize();
        app.SetTitle("Norvale Desktop Ticker");
        app.SetShowMainForm(false);
    }

    Session::~Session()
    {
        prefs.reset(); // the panel goes before the strip it stands next to
        tick.reset();
        update.reset();
        _alone.reset();
    }

    const std::string& Session::Base()
    {
        return app::ContentBaseUrl();
    }

    void Session::Online()
    {
        content.Serve(desktop, Base());
        _online = true;
    }

    void Session::Offline()
    {
        content.Withdraw(desktop, Base());
        _online = false;
    }

    void Session::StartStrip(bool firstRun)
    {
        install.ServeLocal(desktop, InstallFolder);
        desktop.process.SetCurrentDirectory(InstallFolder);
        if (!firstRun)
            desktop.registry.PutString(os::RegRoot::currentUser, SettingsKey, "Initialized", "done");
        tick = std::make_unique<app::TtickForm>(app, *_factory);
        tick->TraceSink = [this](const std::string& line)
        {
            Note("trace", "host: " + line);
        };
        update = std::make_unique<app::TUpdateForm>(app);
        update->Exit1 = &tick->Exit1;
        tick->UpdateForm = update.get();
        // As the program entry does: the panel only when a player could be made.
        if (!tick->FlashMissing)
        {
            prefs = std::make_unique<app::TprefsForm>(app, *_factory, *tick);
            tick->PrefsForm = prefs.get();
        }
        Poll();
    }

    void Session::StartMovie(const std::string& name, int width, int height)
    {
        os::WindowParams params;
        params.className = "MovieRunHost";
        params.style = os::ws::popup | os::ws::visible;
        params.bounds = os::Rect::FromBounds(100, 100, width, height);
        _aloneHost = desktop.windows.Create(params, nullptr);
        _aloneEvents = std::make_unique<AloneEvents>();
        _factory->Create(_aloneHost, os::Rect::FromBounds(0, 0, width, height), *_aloneEvents, _alone);
        if (_alone)
            _alone->SetMovie(player::movie::Utf8ToWide(Base() + name));
        Poll();
    }

    void Session::StopMovie()
    {
        _alone.reset();
        if (_aloneHost != os::Hwnd{})
            desktop.windows.Destroy(_aloneHost);
        _aloneHost = {};
    }

    void Session::AdvanceTo(std::uint64_t t)
    {
        while (desktop.Now() < t && !desktop.windows.QuitRetrieved())
        {
            desktop.Advance(std::min(StepMs, t - desktop.Now()));
            Poll();
        }
    }

    os::Hwnd Session::MovieWindow()
    {
        if (_alone)
            return _alone->Window();
        if (tick && tick->Flash)
            return tick->Flash->Handle();
        return {};
    }

    void Session::PointAt(int x, int y)
    {
        const os::Hwnd w = MovieWindow();
        if (w == os::Hwnd{})
            return;
        desktop.windows.MouseMove(desktop.windows.ClientToScreen(w, { x, y }));
        Poll();
    }

    void Session::Click(int x, int y)
    {
        ClickOn(MovieWindow(), x, y);
    }

    void Session::ClickPanel(int x, int y)
    {
        if (prefs && prefs->prefsFlash)
            ClickOn(prefs->prefsFlash->Handle(), x, y);
    }

    void Session::ClickOn(os::Hwnd w, int x, int y)
    {
        if (w == os::Hwnd{})
            return;
        const os::Point p = desktop.windows.ClientToScreen(w, { x, y });
        desktop.windows.MouseMove(p);
        desktop.windows.Click(p);
        Poll();
        PointAway();
    }

    void Session::PointAway()
    {
        desktop.windows.MouseMove({ 1279, 1023 });
        Poll();
    }

    void Session::SetVariable(const std::string& name, const std::string& value)
    {
        if (_alone)
            _alone->SetVariable(player::movie::Utf8ToWide(name), player::movie::Utf8ToWide(value));
        else if (tick && tick->Flash)
            tick->Flash->SetVariable(player::movie::Utf8ToWide(name), player::movie::Utf8ToWide(value));
        Poll();
    }

    const std::vector<os::sim::PaintOp>& Session::Paint()
    {
        static const std::vector<os::sim::PaintOp> none;
        const os::Hwnd w = MovieWindow();
        if (w == os::Hwnd{})
            return none;
        desktop.windows.InvalidateRect(w, nullptr);
        desktop.windows.UpdateWindow(w);
        return desktop.windows.LastPaint(w);
    }

    void Session::NotePaint()
    {
        std::string text;
        for (const auto& op : Paint())
        {
            const std::string at = " @" + std::to_string(op.rect.left) + "," + std::to_string(op.rect.top);
            if (op.kind == os::sim::PaintOp::Kind::widetext)
                text += (text.empty() ? "" : " | ") + ("\"" + WideToUtf8(op.wide) + "\"" + at);
            else if (op.kind == os::sim::PaintOp::Kind::bitmap)
                text += (text.empty() ? "" : " | ") +
                        ("[image " + std::to_string(op.rect.Width()) + "x" + std::to_string(op.rect.Height()) + "]" + at);
        }
        Note("paint", text.empty() ? "(no text)" : text);
    }

    std::vector<std::string> Session::Texts(const std::string& kind) const
    {
        std::vector<std::string> out;
        for (const auto& line : _lines)
            if (line.kind == kind)
                out.push_back(line.text);
        return out;
    }

    bool Session::Has(const std::string& kind, const std::string& text) const
    {
        for (const auto& line : _lines)
            if (line.kind == kind && line.text == text)
                return true;
        return false;
    }

    void Session::Note(const std::string& kind, const std::string& text)
    {
        Poll(); // what happened before this goes first
        Emit({ desktop.Now(), kind, text });
    }

    void Session::Emit(TraceLine line)
    {
        if (_out)
        {
            char time[32];
            std::snprintf(time, sizeof time, "%9llu ms  %-6s ", static_cast<unsigned long long>(line.time), line.kind.c_str());
            *_out << time << line.text << "\n";
        }
        _lines.push_back(std::move(line));
    }

    // Looks at what the simulator recorded since the last look.
    void Session::Poll()
    {
        auto served = [this](const std::string& url)
        {
            return _online && url.rfind(Base(), 0) == 0 && content.Has(url.substr(Base().size()));
        };
        auto local = [this](const std::string& path)
        {
            const std::string folder = std::string(InstallFolder) + "\\";
            return path.rfind(folder, 0) == 0 && install.Has(path.substr(folder.size()));
        };
        std::vector<TraceLine> found;
        const auto& downloads = desktop.downloads.Requests();
        for (; _downloads < downloads.size(); ++_downloads)
        {
            // The strip's own fetches (the channel and sponsor feeds) name themselves.
            const auto& r = downloads[_downloads];
            const bool fetch = r.limits.agent == app::FetchAgent;
            found.push_back(
                { r.started, fetch ? "fetch" : "load", r.url + (served(r.url) || local(r.url) ? "" : " (not served)") });
        }
        const auto& debug = desktop.process.DebugLines();
        for (; _debug < debug.size(); ++_debug)
            found.push_back({ desktop.Now(), "trace", debug[_debug] });
        const auto& shell = desktop.shell.Executed();
        for (; _shell < shell.size(); ++_shell)
            found.push_back({ desktop.Now(), "shell", shell[_shell].verb + " " + shell[_shell].file });
        if (tick)
        {
            const std::string label = tick->ProgressLabel.Visible() ? tick->ProgressLabel.Caption() : "(hidden)";
            if (label != _label)
            {
                _label = label;
                found.push_back({ desktop.Now(), "label", label });
            }
        }
        const bool prompt = update && update->HandleAllocated() && desktop.windows.IsWindowVisible(update->Handle());
        if (prompt && !_prompt)
            found.push_back({ desktop.Now(), "prompt", update->DownloadURL });
        _prompt = prompt;
        for (auto& line : found)
            Emit(std::move(line));
    }
} // namespace movierun
