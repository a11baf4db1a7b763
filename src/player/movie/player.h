// The player control of our own movie player: a child window of its own that
// loads a movie through os::IDownloads, runs it (movie.h), paints it through the
// seam's canvas, passes it the pointer, and raises the binding's events.
#pragma once

#include "os/os.h"
#include "player/movie/movie.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace player::movie
{
    inline constexpr long PlayerVersion = 0x000A0000; // 10.0: the major version in bits 16-23
    inline constexpr os::DWORD LoadTimeoutMs = 30000;
    inline constexpr os::UINT FrameMs = 17; // just under 60 frames a second
    // While frames run, every this many the stage asks whether another window covers
    // it wholly (half a second); while one does, it asks again at this interval.
    inline constexpr int CoverCheckFrames = 30;
    inline constexpr os::UINT CoveredCheckMs = 1000;

    class MoviePlayer final : public os::IPlayer, private os::IWindowProcedure, private StageHost
    {
      public:
        MoviePlayer(os::Os& os, os::IPlayerEvents& events, const Limits& limits = {});
        ~MoviePlayer() override;
        MoviePlayer(const MoviePlayer&) = delete;
        MoviePlayer& operator=(const MoviePlayer&) = delete;

        bool CreateWindowIn(os::Hwnd parent, const os::Rect& bounds);

        os::Hwnd Window() override { return _hwnd; }
        os::HResult DoVerb(int verb) override;
        os::HResult SetMovie(const std::wstring& movie) override;
        os::HResult GetMovie(std::wstring& movie) override;
        os::HResult SetMenu(bool menu) override;
        // The hosted control's display and scripting settings mean nothing to this
        // player: each is taken and ignored.
        os::HResult SetProperty(const std::wstring&, const std::variant<bool, std::wstring>&) override { return os::hr::ok; }
        os::HResult Play() override;
        os::HResult Stop() override;
        os::HResult Rewind() override;
        os::HResult FlashVersion(long& version) override;
        os::HResult SetVariable(const std::wstring& name, const std::wstring& value) override;
        os::HResult GetVariable(const std::wstring& name, std::wstring& value) override;
        os::HResult SetStageState(const os::StageState& state) override;
        os::HResult StartReading() override;

        // For tests: the movie playing now (null while none plays).
        const Movie* Current() const { return _movie.get(); }

      private:
        os::LRESULT WindowProc(os::Hwnd hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam) override;
        os::LRESULT HandleMessage(os::Hwnd hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam);

        void FSCommand(const std::wstring& command, const std::wstring& args) override;
        void Redraw() override;
        void Animate(bool on) override;
        void StartTimer(std::uint32_t id, unsigned ms) override;
        void StopTimer(std::uint32_t id) override;
        os::Size StageSize() override;
        int Dpi() override;
        os::Size Measure(const std::wstring& text, const os::Font& font) override;
        os::Bitmap Render(os::Size size, const std::function<void(os::ICanvas&)>& paint) override
        {
            return _os.windows.Render(size, paint);
        }
        void SetCursor(bool hand) override;
        bool StartLoad(std::uint32_t id, const std::string& url, std::size_t maxBytes, bool followRedirects) override;
        void CancelLoad(std::uint32_t id) override;
        void Trace(const std::string& line) override;
        std::uint64_t Milliseconds() override;
        std::uint64_t ProcessorMicroseconds() override;
        void Headline(const std::string& text, const std::string& link) override;
        os::StageState State() override { return _state; }
        bool Focused() override { return _focused; }
        bool Reading() override { return _reading; }

        // Runs f, which may run the movie's script and raise the host's events;
        // false when this control was destroyed meanwhile (touch nothing then).
        // While it runs (the host's handler of an FS command included, with any box
        // it shows), the movie gets no other event: timers and frames are skipped
        // (the system's timers come again), pointer input is dropped, a finished
        // download and a repaint wait until it has returned.
        template <typename F> bool Enter(F&& f);
        void AfterEntries();
        template <typename F> bool Raise(F&& f);
        void OnDownload(std::uint32_t id);
        void StartMovie(const std::vector<std::uint8_t>& body, bool announce);
        void DropMovie();
        void Restart();
        void Pointer(const char* kind, os::LPARAM lParam);
        void ContextMenu(os::LPARAM lParam);
        // Frames run while the movie animates and the host lets the stage move.
        void UpdateFrames();
        void CheckCover();
        void PaintStage(os::ICanvas& canvas);
        // Tells the movie that the state changed (after the entry under way, if any).
        void NotifyState();
        void SetReading(bool reading);
        void OnKey(const wchar_t* key);

        os::Os& _os;
        os::IPlayerEvents& _events;
        const Limits _limits;
        os::Hwnd _hwnd{};
        os::UINT _downloadMessage = 0;
        std::shared_ptr<bool> _alive = std::make_shared<bool>(true);
        bool _closing = false;

        std::wstring _movieProperty;
        std::string _address;
        std::uint32_t _movieDownload = 0;
        long _lastPercent = -1;
        std::vector<std::uint8_t> _source; // the movie playing, for Rewind
        std::shared_ptr<Movie> _movie;
        std::uint64_t _generation = 0; // a new movie or a restart
        std::map<std::string, std::string> _hostVariables;
        struct SubLoad
        {
            std::weak_ptr<Movie> movie;
            std::uint32_t request = 0;
        };
        std::map<std::uint32_t, SubLoad> _subloads; // by download id

        bool _playing = true;
        bool _menu = true;
        bool _hand = false;
        bool _pointerInside = false;
        int _depth = 0;
        bool _restartPending = false;
        std::vector<std::uint32_t> _waitingDownloads; // finished while an entry ran
        bool _repaintWaiting = false;
        os::DWORD _lastFrame = 0;
        bool _wantFrames = false; // the movie animates
        bool _framesRunning = false;
        os::StageState _state;
        bool _focused = false;
        bool _reading = false;
        bool _stateWaiting = false; // changed while an entry ran
        // A window that covers the stage wholly stops its frames: nothing tells a
        // window that it is covered (with a compositor, and under Wine, it is even
        // painted on), so the stage asks the window manager now and then while it
        // moves, and while it is covered; without a compositor the paint of its
        // uncovering asks at once.
        int _framesSinceCoverCheck = 0;
        bool _covered = false;
        bool _coverWatched = false;
        bool _inFrame = false;    // the movie's frame runs
        bool _frameDrawn = false; // and asked to be drawn
        // The headline the movie named last in a turn, and the one the host heard.
        std::optional<std::pair<std::string, std::string>> _headline;
        std::pair<std::string, std::string> _heardHeadline;
    };
} // namespace player::movie
