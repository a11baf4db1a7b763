#include "player/movie/player.h"

#include "forms/registry.h"
#include "player/movie/address.h"
#include "player/movie/movie_player.h"
#include "player/movie/text.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace player::movie
{
    namespace
    {
        constexpr std::uintptr_t FrameTimer = 1;
        constexpr std::uintptr_t CoverTimer = 2;
        constexpr std::uintptr_t MovieTimerBase = 100;
        constexpr os::UINT MenuPlay = 1;
        constexpr os::UINT MenuRewind = 2;
        constexpr os::UINT MenuAbout = 3;
        const char* const AboutText = "Norvale Movie Player 10 (Lua 5.4 movies)";
    } // namespace

    MoviePlayer::MoviePlayer(os::Os& os, os::IPlayerEvents& events, const Limits& limits)
        : _os(os), _events(events), _limits(limits)
    {
    }

    bool MoviePlayer::CreateWindowIn(os::Hwnd parent, const os::Rect& bounds)
    {
        _downloadMessage = _os.windows.RegisterMessage("NorvaleMoviePlayerDownload");
        os::WindowParams params;
        params.className = "NorvaleMoviePlayer";
        params.style = os::ws::child | os::ws::visible | os::ws::clipsiblings;
        params.bounds = bounds;
        params.parent = parent;
        _hwnd = _os.windows.Create(params, this);
        return _hwnd != os::Hwnd{};
    }

    MoviePlayer::~MoviePlayer()
    {
        *_alive = false;
        _closing = true;
        if (_movieDownload)
            _os.downloads.Cancel(_movieDownload);
        for (const auto& [download, load] : _subloads)
            _os.downloads.Cancel(download);
        _subloads.clear();
        if (_movie)
        {
            _movie->Detach(); // an entry that is running keeps it alive until it returns
            _movie.reset();
        }
        if (_hwnd != os::Hwnd{} && _os.windows.IsWindow(_hwnd))
            _os.windows.Destroy(_hwnd);
    }

    template <typename F> bool MoviePlayer::Enter(F&& f)
    {
        const auto alive = _alive;
        const auto keep = _movie;
        ++_depth;
        try
        {
            f();
        }
        catch (const std::exception& e)
        {
            if (*alive)
                Trace(std::string("movie player: ") + e.what());
        }
        if (!*alive)
            return false;
        if (--_depth == 0)
            AfterEntries();
        return *alive;
    }

    void MoviePlayer::AfterEntries()
    {
        if (_restartPending)
        {
            _restartPending = false;
            Restart();
        }
        // What waited comes back through the message loop, as events of their own.
        for (const std::uint32_t id : _waitingDownloads)
            _os.windows.Post(_hwnd, _downloadMessage, id, 0);
        _waitingDownloads.clear();
        if (_repaintWaiting)
        {
            _repaintWaiting = false;
            Redraw();
        }
        if (_stateWaiting)
        {
            _stateWaiting = false;
            NotifyState(); // an entry of its own, which comes back here
            return;
        }
        if (_headline)
        {
            auto named = std::move(*_headline);
            _headline.reset();
            if (named != _heardHeadline)
            {
                _heardHeadline = named;
                Raise([&] { _events.Headline(Utf8ToWide(named.first), Utf8ToWide(named.second)); });
            }
        }
    }

    template <typename F> bool MoviePlayer::Raise(F&& f)
    {
        const auto alive = _alive;
        try
        {
            f();
        }
        catch (...)
        {
            // The host's handler failed; the player goes on.
        }
        return *alive;
    }

    void MoviePlayer::Trace(const std::string& line)
    {
        _os.process.DebugOutput(line);
    }

    // ------------------------------------------------------------ the binding

    os::HResult MoviePlayer::DoVerb(int)
    {
        if (!_os.windows.IsWindowVisible(_hwnd))
            _os.windows.ShowWindow(_hwnd, os::sw::showna);
        return os::hr::ok;
    }

    os::HResult MoviePlayer::SetMovie(const std::wstring& movie)
    {
        _movieProperty = movie;
        _address = WideToUtf8(movie);
        ++_generation;
        _restartPending = false;
        if (_movieDownload)
        {
            _os.downloads.Cancel(_movieDownload);
            _movieDownload = 0;
        }
        DropMovie();
        _source.clear();
        _lastPercent = -1;
        Redraw();
        if (_address.empty())
            return os::hr::ok;
        if (!IsWebAddress(_address) && !IsLocalPath(_address))
        {
            Trace("movie " + _address + ": not loaded: only http, https and local files");
            return os::hr::ok;
        }
        _movieDownload = _os.downloads.Start(_address, { MaxMovieBytes, LoadTimeoutMs, true, {} }, _hwnd, _downloadMessage);
        if (!_movieDownload)
            Trace("movie " + _address + ": the load could not start");
        return os::hr::ok;
    }

    os::HResult MoviePlayer::GetMovie(std::wstring& movie)
    {
        movie = _movieProperty;
        return os::hr::ok;
    }

    os::HResult MoviePlayer::SetMenu(bool menu)
    {
        _menu = menu;
        return os::hr::ok;
    }

    os::HResult MoviePlayer::Play()
    {
        _playing = true;
        if (_movie)
            _movie->Resume();
        return os::hr::ok;
    }

    os::HResult MoviePlayer::Stop()
    {
        _playing = false;
        if (_movie)
        {
            _movie->Pause();
            // Asked from inside the movie's own FS command (the host quitting, say):
            // its script does not go on after the command.
            if (_depth > 0)
                _movie->Interrupt();
        }
        return os::hr::ok;
    }

    os::HResult MoviePlayer::Rewind()
    {
        if (_source.empty())
            return os::hr::ok;
        if (_depth > 0)
            _restartPending = true; // the script is on the stack: after it returns
        else
            Restart();
        return os::hr::ok;
    }

    os::HResult MoviePlayer::FlashVersion(long& version)
    {
        version = PlayerVersion;
        return os::hr::ok;
    }

    os::HResult MoviePlayer::SetVariable(const std::wstring& name, const std::wstring& value)
    {
        const std::string n = WideToUtf8(name);
        const std::string v = WideToUtf8(value);
        _hostVariables[n] = v;
        if (_movie)
        {
            const auto movie = _movie;
            Enter([&] { movie->SetVariable(n, v); });
        }
        return os::hr::ok;
    }

    os::HResult MoviePlayer::GetVariable(const std::wstring& name, std::wstring& value)
    {
        const std::string n = WideToUtf8(name);
        if (_movie)
            value = Utf8ToWide(_movie->Variable(n));
        else
        {
            auto it = _hostVariables.find(n);
            value = it == _hostVariables.end() ? std::wstring{} : Utf8ToWide(it->second);
        }
        return os::hr::ok;
    }

    os::HResult MoviePlayer::SetStageState(const os::StageState& state)
    {
        if (state == _state)
            return os::hr::ok;
        _state = state;
        UpdateFrames();
        NotifyState();
        return os::hr::ok;
    }

    os::HResult MoviePlayer::StartReading()
    {
        if (_closing)
            return os::hr::ok;
        if (_os.windows.GetFocus() != _hwnd)
            _os.windows.SetFocus(_hwnd);
        // Focus that did not arrive (a window of another thread has it) starts no reading.
        if (_focused)
            SetReading(true);
        return os::hr::ok;
    }

    void MoviePlayer::SetReading(bool reading)
    {
        if (_reading == reading)
            return;
        _reading = reading;
        NotifyState();
    }

    void MoviePlayer::NotifyState()
    {
        if (!_movie || _closing)
            return;
        if (_depth > 0)
        {
            _stateWaiting = true;
            return;
        }
        const auto movie = _movie;
        Enter([&] { movie->StateChanged(); });
    }

    void MoviePlayer::UpdateFrames()
    {
        const bool wanted = _wantFrames && !_state.paused && !_state.hidden && !_closing && _movie;
        const bool run = wanted && !_covered;
        const bool watch = wanted && _covered;
        if (watch != _coverWatched)
        {
            _coverWatched = watch;
            if (watch)
                _os.windows.SetTimer(_hwnd, CoverTimer, CoveredCheckMs);
            else
                _os.windows.KillTimer(_hwnd, CoverTimer);
        }
        if (run == _framesRunning)
            return;
        _framesRunning = run;
        if (run)
        {
            // Scrolling goes on from where it stopped: the time still is no frame.
            _lastFrame = _os.system.GetTickCount();
            _os.windows.SetTimer(_hwnd, FrameTimer, FrameMs);
        }
        else
            _os.windows.KillTimer(_hwnd, FrameTimer);
    }

    void MoviePlayer::CheckCover()
    {
        const bool covered = _os.windows.IsWhollyCovered(_hwnd);
        if (covered == _covered)
            return;
        _covered = covered;
        UpdateFrames();
    }

    void MoviePlayer::OnKey(const wchar_t* key)
    {
        const auto alive = _alive;
        SetReading(key != os::stagekey::escape);
        if (!*alive)
            return;
        // The host first: Space and Esc are its own (the pause, the keyboard given
        // back), and a step it is told of is announced at once.
        if (!Raise([&] { _events.Key(key); }))
            return;
        if (_movie && _depth == 0)
        {
            const auto movie = _movie;
            const std::string name = WideToUtf8(key);
            Enter([&] { movie->Key(name.c_str()); });
        }
    }

    // ------------------------------------------------------------ loading and running

    void MoviePlayer::DropMovie()
    {
        for (const auto& [download, load] : _subloads)
            _os.downloads.Cancel(download);
        _subloads.clear();
        if (_movie)
        {
            _movie->Detach();
            _movie.reset();
        }
        _wantFrames = false;
        UpdateFrames();
        _hand = false;
    }

    void MoviePlayer::OnDownload(std::uint32_t id)
    {
        os::DownloadStatus status;
        if (id == _movieDownload && _movieDownload != 0)
        {
            if (!_os.downloads.Query(id, status))
            {
                _movieDownload = 0;
                return;
            }
            using State = os::DownloadStatus::State;
            if (status.state == State::running)
            {
                if (status.total == 0)
                    return;
                const long percent = static_cast<long>(std::min<std::uint64_t>(status.received * 100 / status.total, 99));
                if (percent != _lastPercent)
                {
                    _lastPercent = percent;
                    Raise([&] { _events.Progress(percent); });
                }
                return;
            }
            _movieDownload = 0;
            if (status.state == State::failed)
            {
                Trace("movie " + _address + ": the load failed: " + status.error);
                return;
            }
            const std::uint64_t generation = _generation;
            if (_lastPercent != 100)
            {
                _lastPercent = 100;
                if (!Raise([&] { _events.Progress(100); }) || generation != _generation)
                    return;
            }
            StartMovie(status.body, true);
            return;
        }
        auto it = _subloads.find(id);
        if (it == _subloads.end())
            return;
        if (!_os.downloads.Query(id, status) || status.state == os::DownloadStatus::State::running)
            return;
        const SubLoad load = it->second;
        _subloads.erase(it);
        const auto movie = load.movie.lock();
        if (!movie || movie != _movie)
            return;
        const bool ok = status.state == os::DownloadStatus::State::done;
        Enter([&] { movie->LoadFinished(load.request, ok, std::move(status.body), status.error); });
    }

    void MoviePlayer::StartMovie(const std::vector<std::uint8_t>& body, bool announce)
    {
        DropMovie();
        _source = body;
        const std::uint64_t generation = ++_generation;
        auto movie = std::make_shared<Movie>(static_cast<StageHost&>(*this), _os.registry, _address, _limits);
        _movie = movie;
        for (const auto& [name, value] : _hostVariables)
            movie->Preset(name, value);
        bool ok = false;
        if (!Enter([&] { ok = movie->Compile(std::string_view(reinterpret_cast<const char*>(_source.data()), _source.size())); }))
            return;
        if (!ok)
        {
            if (_movie == movie)
                _movie.reset();
            return;
        }
        if (announce && (!Raise([&] { _events.ReadyStateChange(3); }) || generation != _generation))
            return;
        if (!_playing)
            movie->Pause();
        if (!Enter([&] { ok = movie->Run(); }) || generation != _generation || !ok)
            return;
        Redraw();
        if (announce)
            Raise([&] { _events.ReadyStateChange(4); });
    }

    void MoviePlayer::Restart()
    {
        if (_source.empty())
            return;
        const std::vector<std::uint8_t> source = _source;
        StartMovie(source, false);
    }

    // ------------------------------------------------------------ the stage host

    void MoviePlayer::FSCommand(const std::wstring& command, const std::wstring& args)
    {
        Raise([&] { _events.FSCommand(command, args); });
    }

    void MoviePlayer::Redraw()
    {
        if (_closing)
            return;
        if (_inFrame)
        {
            _frameDrawn = true; // drawn when the frame has run
            return;
        }
        _os.windows.InvalidateRect(_hwnd, nullptr);
    }

    void MoviePlayer::PaintStage(os::ICanvas& canvas)
    {
        const auto movie = _movie;
        const os::Rect client = _os.windows.GetClientRect(_hwnd);
        canvas.FillRect(client, os::Rgb(255, 255, 255));
        if (movie && _depth > 0)
            _repaintWaiting = true;
        else if (movie)
            Enter([&] { movie->Paint(canvas); });
    }

    void MoviePlayer::Animate(bool on)
    {
        if (_closing)
            return;
        _wantFrames = on;
        UpdateFrames();
    }

    void MoviePlayer::Headline(const std::string& text, const std::string& link)
    {
        if (!_closing)
            _headline.emplace(text, link);
    }

    void MoviePlayer::StartTimer(std::uint32_t id, unsigned ms)
    {
        if (!_closing)
            _os.windows.SetTimer(_hwnd, MovieTimerBase + id, ms);
    }

    void MoviePlayer::StopTimer(std::uint32_t id)
    {
        if (!_closing)
            _os.windows.KillTimer(_hwnd, MovieTimerBase + id);
    }

    std::uint64_t MoviePlayer::Milliseconds()
    {
        return _os.system.GetTickCount();
    }

    std::uint64_t MoviePlayer::ProcessorMicroseconds()
    {
        return _os.process.ThreadCpuMicroseconds();
    }

    os::Size MoviePlayer::StageSize()
    {
        const os::Rect r = _os.windows.GetClientRect(_hwnd);
        return { r.Width(), r.Height() };
    }

    int MoviePlayer::Dpi()
    {
        return _os.windows.GetDpiForWindow(_hwnd);
    }

    os::Size MoviePlayer::Measure(const std::wstring& text, const os::Font& font)
    {
        return _os.windows.MeasureText(text, font);
    }

    void MoviePlayer::SetCursor(bool hand)
    {
        _hand = hand;
        if (_pointerInside && !_closing)
            _os.windows.SetCursor(_os.windows.LoadSystemCursor(hand ? os::idc::hand : os::idc::arrow));
    }

    bool MoviePlayer::StartLoad(std::uint32_t request, const std::string& url, std::size_t maxBytes, bool followRedirects)
    {
        if (_closing || !_movie)
            return false;
        const std::uint32_t id =
            _os.downloads.Start(url, { maxBytes, LoadTimeoutMs, followRedirects, {} }, _hwnd, _downloadMessage);
        if (!id)
            return false;
        _subloads[id] = { _movie, request };
        return true;
    }

    void MoviePlayer::CancelLoad(std::uint32_t request)
    {
        for (auto it = _subloads.begin(); it != _subloads.end(); ++it)
        {
            if (it->second.request == request && it->second.movie.lock() == _movie)
            {
                _os.downloads.Cancel(it->first);
                _subloads.erase(it);
                return;
            }
        }
    }

    // ------------------------------------------------------------ the window

    void MoviePlayer::Pointer(const char* kind, os::LPARAM lParam)
    {
        if (!_movie || _depth > 0)
            return;
        // In the movie's 96-dpi units, like everything it draws.
        const os::Point p = os::PointFromLParam(lParam);
        const int dpi = Dpi();
        const int x = dpi > 0 ? os::MulDiv(p.x, os::DefaultDpi, dpi) : p.x;
        const int y = dpi > 0 ? os::MulDiv(p.y, os::DefaultDpi, dpi) : p.y;
        const auto movie = _movie;
        Enter([&] { movie->Pointer(kind, x, y); });
    }

    void MoviePlayer::ContextMenu(os::LPARAM lParam)
    {
        auto& w = _os.windows;
        const os::MenuHandle menu = w.CreatePopupMenu();
        if (_menu)
        {
            w.AppendMenuItem(menu, { MenuPlay, _playing ? "Stop" : "Play" });
            w.AppendMenuItem(menu, { MenuRewind, "Rewind", false, false, !_source.empty() });
            w.AppendMenuItem(menu, { 0, {}, true });
        }
        w.AppendMenuItem(menu, { MenuAbout, AboutText });
        const auto alive = _alive;
        const os::UINT chosen = w.TrackPopupMenu(menu, os::tpm::returncmd | os::tpm::rightbutton,
                                                 w.ClientToScreen(_hwnd, os::PointFromLParam(lParam)), _hwnd);
        w.DestroyMenu(menu);
        if (!*alive)
            return;
        if (chosen == MenuPlay)
            _playing ? Stop() : Play();
        else if (chosen == MenuRewind)
            Rewind();
    }

    // Nothing is thrown back into the window manager: a failure (out of memory) is
    // traced and the message counts as handled.
    os::LRESULT MoviePlayer::WindowProc(os::Hwnd hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
    {
        const auto alive = _alive;
        try
        {
            return HandleMessage(hwnd, msg, wParam, lParam);
        }
        catch (const std::exception& e)
        {
            if (*alive)
                Trace(std::string("movie player: ") + e.what());
            return 0;
        }
    }

    os::LRESULT MoviePlayer::HandleMessage(os::Hwnd hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
    {
        if (_closing)
            return _os.windows.DefaultProc(hwnd, msg, wParam, lParam);
        if (msg == _downloadMessage && _downloadMessage != 0)
        {
            if (_depth > 0)
                _waitingDownloads.push_back(static_cast<std::uint32_t>(wParam));
            else
                OnDownload(static_cast<std::uint32_t>(wParam));
            return 0;
        }
        switch (msg)
        {
        case os::wm::paint:
        {
            if (_covered)
                CheckCover(); // without a compositor, the paint of an uncovering
            _os.windows.Paint(hwnd, [&](os::ICanvas& canvas) { PaintStage(canvas); });
            return 0;
        }
        case os::wm::timer:
            if (_depth > 0)
                return 0; // an entry is under way: the timer comes again
            if (wParam == FrameTimer)
            {
                if (++_framesSinceCoverCheck >= CoverCheckFrames)
                {
                    _framesSinceCoverCheck = 0;
                    CheckCover();
                    if (_covered)
                        return 0;
                }
                const os::DWORD now = _os.system.GetTickCount();
                const unsigned ms = std::min<unsigned>(now - _lastFrame, 1000);
                _lastFrame = now;
                if (const auto movie = _movie)
                {
                    // A frame that moved something is drawn at once, onto the window:
                    // no round of invalidating and a paint message to fetch.
                    const auto alive = _alive;
                    _inFrame = true;
                    Enter([&] { movie->Frame(ms); });
                    if (!*alive)
                        return 0;
                    _inFrame = false;
                    if (std::exchange(_frameDrawn, false) && !_closing)
                        _os.windows.PaintNow(hwnd, [&](os::ICanvas& canvas) { PaintStage(canvas); });
                }
                else
                {
                    _framesRunning = false;
                    _os.windows.KillTimer(hwnd, FrameTimer);
                }
            }
            else if (wParam == CoverTimer)
                CheckCover();
            else if (wParam > MovieTimerBase)
            {
                if (const auto movie = _movie)
                    Enter([&] { movie->Timer(static_cast<std::uint32_t>(wParam - MovieTimerBase)); });
                else
                    _os.windows.KillTimer(hwnd, wParam);
            }
            return 0;
        case os::wm::mousemove:
            if (!_pointerInside)
            {
                _pointerInside = true;
                _os.windows.TrackMouseLeave(hwnd);
                const auto alive = _alive;
                Pointer("enter", lParam);
                if (!*alive)
                    return 0;
            }
            Pointer("move", lParam);
            return 0;
        case os::wm::mouseleave:
            _pointerInside = false;
            Pointer("leave", 0);
            return 0;
        case os::wm::lbuttondown:
        {
            // A click gives the stage the keyboard; it holds still once a key is used.
            const auto alive = _alive;
            if (_os.windows.GetFocus() != hwnd)
                _os.windows.SetFocus(hwnd);
            if (!*alive)
                return 0;
            Pointer("down", lParam);
            return 0;
        }
        case os::wm::setfocus:
        case os::wm::killfocus:
        {
            const bool focused = msg == os::wm::setfocus;
            const auto alive = _alive;
            _focused = focused;
            if (!focused)
                _reading = false;
            NotifyState();
            if (*alive)
                Raise([&] { _events.FocusChange(focused); });
            return 0;
        }
        case os::wm::keydown:
            switch (static_cast<int>(wParam))
            {
            case os::vk::left: OnKey(os::stagekey::left); return 0;
            case os::vk::right: OnKey(os::stagekey::right); return 0;
            case os::vk::return_: OnKey(os::stagekey::enter); return 0;
            case os::vk::space: OnKey(os::stagekey::space); return 0;
            case os::vk::escape: OnKey(os::stagekey::escape); return 0;
            default: break;
            }
            break;
        case os::wm::lbuttonup: Pointer("up", lParam); return 0;
        case os::wm::rbuttondown: return 0;
        case os::wm::size:
            Redraw(); // the movie lays itself out by the stage's size when it paints
            break;
        case os::wm::rbuttonup: ContextMenu(lParam); return 0;
        case os::wm::setcursor:
            if (os::LoWord(static_cast<std::uintptr_t>(lParam)) == os::ht::client)
            {
                _os.windows.SetCursor(_os.windows.LoadSystemCursor(_hand ? os::idc::hand : os::idc::arrow));
                return 1;
            }
            break;
        default: break;
        }
        return _os.windows.DefaultProc(hwnd, msg, wParam, lParam);
    }
} // namespace player::movie

namespace player
{
    os::HResult MoviePlayerFactory::Create(os::Hwnd parent, const os::Rect& bounds, os::IPlayerEvents& events,
                                           std::unique_ptr<os::IPlayer>& player)
    {
        player.reset();
        auto control = std::make_unique<movie::MoviePlayer>(_os, events, _limits);
        if (!control->CreateWindowIn(parent, bounds))
            return os::hr::fail;
        player = std::move(control);
        return os::hr::ok;
    }

    bool SettingsChooseFlash(os::IRegistry& registry)
    {
        forms::Registry reg(registry);
        if (!reg.OpenKey(SettingsKey, false))
            return false;
        auto value = reg.ReadString("Player");
        if (!value)
            return false;
        std::string v = *value;
        std::transform(v.begin(), v.end(), v.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return v == "flash";
    }
} // namespace player
