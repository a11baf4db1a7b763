// One running movie: its sandbox, the stage API it calls (docs/movies.md), its
// callbacks, timers, variables, images and loads. It knows the window only through
// StageHost, which the player control implements.
//
// Every method that runs the script is an *entry*. The player holds the movie in a
// shared_ptr and keeps a copy for the length of each entry, so a movie is never
// destroyed while its script is on the stack, whatever the host does inside an
// event raised from it (it may set the movie, rewind it, destroy the control).
#pragma once

#include "os/os.h"
#include "player/movie/sandbox.h"
#include "player/movie/store.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace player::movie
{
    inline constexpr std::size_t MaxMovieBytes = 4u << 20;
    inline constexpr const char* Signature = "--!movie 1";

    // Why `bytes` is not a movie, or empty when it is one.
    std::string CheckMovie(std::string_view bytes);

    class StageHost
    {
      public:
        virtual void FSCommand(const std::wstring& command, const std::wstring& args) = 0;
        virtual void Redraw() = 0;
        virtual void Animate(bool on) = 0;
        virtual void StartTimer(std::uint32_t id, unsigned ms) = 0;
        virtual void StopTimer(std::uint32_t id) = 0;
        // The stage's size and text extents in the window's pixels.
        virtual os::Size StageSize() = 0;
        virtual os::Size Measure(const std::wstring& text, const os::Font& font) = 0;
        // `paint` drawn once into a picture of this many pixels (empty when it
        // cannot be made).
        virtual os::Bitmap Render(os::Size size, const std::function<void(os::ICanvas&)>& paint) = 0;
        // The DPI of the stage's window: a movie draws in 96-dpi units, which the
        // stage scales to it.
        virtual int Dpi() { return os::DefaultDpi; }
        virtual void SetCursor(bool hand) = 0;
        // Starts loading an allowed, resolved address for request `id`; the player
        // answers later with Movie::LoadFinished. False when it cannot start. A load
        // that must not follow redirects (text, read only from the movie's own
        // origin) fails on one.
        virtual bool StartLoad(std::uint32_t id, const std::string& url, std::size_t maxBytes, bool followRedirects) = 0;
        virtual void CancelLoad(std::uint32_t id) = 0;
        virtual void Trace(const std::string& line) = 0;
        // Milliseconds of a clock that only goes forward (the tick count).
        virtual std::uint64_t Milliseconds() = 0;
        // The processor time of the thread that runs the movie, in microseconds.
        virtual std::uint64_t ProcessorMicroseconds() = 0;
        // The movie names the headline it presents.
        virtual void Headline(const std::string& /*text*/, const std::string& /*link*/) {}
        // What the host asks of the stage, and whether the user reads it with the
        // keyboard (it has the focus, and was clicked, typed at or chosen).
        virtual os::StageState State() { return {}; }
        virtual bool Focused() { return false; }
        virtual bool Reading() { return false; }

      protected:
        ~StageHost() = default;
    };

    class Movie
    {
      public:
        Movie(StageHost& host, os::IRegistry& registry, std::string address, const Limits& limits = {});
        ~Movie();
        Movie(const Movie&) = delete;
        Movie& operator=(const Movie&) = delete;

        // Checks and compiles the movie; false (and stopped, with a trace) when it is
        // not a movie or does not compile.
        bool Compile(std::string_view bytes);
        // Runs the main chunk; false when the movie stopped.
        bool Run();

        // Entries.
        void Paint(os::ICanvas& canvas);
        void Frame(unsigned ms);
        void Timer(std::uint32_t id);
        void Pointer(const char* kind, int x, int y);
        // A key of the stage's own ("left", "right", "enter", "space", "escape").
        void Key(const char* name);
        // The host's state (StageHost::State, Focused, Reading) changed.
        void StateChanged();
        void LoadFinished(std::uint32_t id, bool ok, std::vector<std::uint8_t> body, const std::string& error);

        // The host's side of the variables. Setting one tells the movie, after the
        // current entry when one is running.
        void SetVariable(const std::string& name, const std::string& value);
        std::string Variable(const std::string& name) const;

        // Stop/Play: timers, frames and pointer callbacks pause and resume.
        void Pause();
        void Resume();
        bool Paused() const { return _paused; }

        // Ends the script's running entry (its FS command does not return to it);
        // the movie itself goes on, and its later events run as usual.
        void Interrupt() { _sandbox.Interrupt(); }

        // The host is going away: stop, and never call it again.
        void Detach();
        bool Stopped() const { return _sandbox.Stopped() || _failed; }
        bool Busy() const { return _sandbox.Depth() > 0; }
        const std::string& Address() const { return _address; }
        std::size_t MemoryUsed() const { return _sandbox.MemoryUsed(); }

        // Sets a variable before the movie runs, without telling it.
        void Preset(const std::string& name, const std::string& value) { Keep(name, value); }

      private:
        friend class Stage; // the functions the movie calls (stage.cpp)

        struct Image
        {
            os::Bitmap bitmap; // empty once freed: its handle is not an image then
        };
        // What a layer's function draws, to be drawn again into the layer's picture.
        class Recorder final : public os::ICanvas
        {
          public:
            std::vector<std::function<void(os::ICanvas&)>> ops;
            void FillRect(const os::Rect& r, os::Color c) override;
            void FrameRect(const os::Rect& r, os::Color c) override;
            void DrawBitmap(int x, int y, const os::Bitmap& b) override;
            void DrawString(const std::string& text, const os::Rect& r, const os::Font& f, os::Color c, os::UINT flags) override;
            void DrawIcon(int x, int y, os::IconHandle icon) override;
            void DrawWideText(int x, int y, const std::wstring& text, const os::Font& f, os::Color c) override;
        };
        struct TimerSlot
        {
            int ref = -2;
            unsigned ms = 0;
            bool repeat = false;
        };
        struct LoadSlot
        {
            int ref = -2;
            bool image = false;
        };
        enum Event
        {
            onPaint,
            onFrame,
            onPointer,
            onVariable,
            onKey,
            onState,
            eventCount
        };
        StageHost* _host;
        Store _store;
        std::string _address;
        Sandbox _sandbox;
        int _handlers[eventCount] = { -2, -2, -2, -2, -2, -2 };
        os::ICanvas* _canvas = nullptr;
        std::map<std::string, std::string> _variables;
        std::deque<std::pair<std::string, std::string>> _pendingVariables;
        std::map<std::uint32_t, TimerSlot> _timers;
        std::uint32_t _nextTimer = 0;
        std::map<std::uint32_t, LoadSlot> _loads;
        std::uint32_t _nextLoad = 0;
        std::vector<Image> _images;
        std::size_t _imagePixels = 0;
        std::size_t _imageCount = 0; // not freed
        Recorder _recorder;
        // Keeps a picture (its memory reserved by the caller) in a free slot or a
        // new one; its handle.
        std::size_t AddImage(os::Bitmap bitmap);
        void FreeImage(std::size_t handle);
        bool _animating = false;
        bool _paused = false;
        bool _failed = false;
        bool _flushing = false;
        int _traces = 0;
        double _storeWrites = 0;          // writes the store may take now
        std::uint64_t _storeRefilled = 0; // when that was last worked out
        std::string _scratch;             // a result on its way to Lua
        void Trace(const std::string& text);

        // Runs an outside event's callback: a turn of its own.
        bool Enter(int (*fn)(lua_State*), void* context);
        // Runs a callback on the budget of the turn under way.
        bool Continue(int (*fn)(lua_State*), void* context);
        bool Finish(Sandbox::Outcome outcome, const std::string& error);
        void Fail(const std::string& why);
        // Stops what the movie asked of its host: timers, loads and frames.
        void StopHostWork();
        // Delivers the variables set while the script ran, one after the other, on
        // the budget of the turn that caused them.
        void FlushVariables();
        void Release(int ref);
        // Keeps a variable, its bytes charged to the movie's memory; false (and the
        // movie stopped) when they do not fit.
        bool Keep(const std::string& name, const std::string& value);
        // Takes one write of the store's allowance; false when the movie writes too often.
        bool TakeStoreWrite();
    };

    inline constexpr int MaxImageSide = 4096;
    // Pictures a movie may keep at once (loaded images and layers), and their pixels.
    inline constexpr std::size_t MaxImages = 64;
    inline constexpr std::size_t MaxImagePixels = 8u << 20;
    // What a kept picture counts against the movie's memory.
    inline constexpr std::size_t ImageBytes(std::size_t pixels)
    {
        return pixels * 4 + 64;
    }

    // A JPEG or 24/32-bit BMP; an empty bitmap (and the reason) for anything else or
    // anything larger than MaxImageSide pixels a side.
    os::Bitmap DecodeImage(const std::vector<std::uint8_t>& bytes, std::string& why);

    // Adds `stage`, `fscommand` and `print` to the table on the top of the stack.
    int InstallStage(lua_State* L);
} // namespace player::movie
