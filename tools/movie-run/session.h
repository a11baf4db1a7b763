// One run of movies in the desktop simulator against the real host code: the
// strip (TtickForm with its update prompt) or one movie alone in a player control,
// content served at the content base URL from a ContentTree, and a trace of what
// passed between the movies and their host.
//
// Trace lines, in virtual time order, by kind:
//   movie  a control is given a movie        fs     a movie's FS command
//   var    the host set a movie variable     ready  a movie ran (ready state 4)
//   load   the player asked for an address   fetch  the host fetched an address
//   shell  the host opened something         trace  a movie's or the host's trace
//   label  the strip's status line           prompt the update prompt showed
//   box    a message box                     paint  what a movie drew (on request)
//   headline  the headline a movie named (its text and link)
#pragma once

#include "app/main.h"
#include "app/prefs.h"
#include "app/update.h"
#include "content_tree.h"
#include "forms/application.h"
#include "os/sim/desktop.h"
#include "player/movie/movie_player.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace movierun
{
    struct TraceLine
    {
        std::uint64_t time = 0;
        std::string kind;
        std::string text;
    };

    class TracingFactory;

    class Session
    {
      public:
        static constexpr const char* InstallFolder = "C:\\Program Files\\Norvale";

        // Trace lines go to `out` as they happen when it is given; the movies run
        // within `limits`.
        explicit Session(std::ostream* out = nullptr, const player::movie::Limits& limits = {});
        ~Session();
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

        static const std::string& Base(); // the content base URL of the build

        os::sim::Desktop desktop;
        forms::Application app{ desktop.Os() };
        ContentTree content; // the server's files
        ContentTree install; // the installation folder's files (loader.swf)

        // The server answers (again), or is gone.
        void Online();
        void Offline();
        bool IsOnline() const { return _online; }

        // The strip as the program starts it; a first run when `firstRun`.
        void StartStrip(bool firstRun);
        // `name` from the content alone in a player control of this size.
        void StartMovie(const std::string& name, int width, int height);
        void StopMovie(); // the movie alone goes, with its control

        // Runs the virtual clock for `ms`, or up to virtual time `t`, noting what happens.
        void Advance(std::uint64_t ms) { AdvanceTo(desktop.Now() + ms); }
        void AdvanceTo(std::uint64_t t);
        // Pointer input at x, y of the movie's control (the ticker's, or the one alone).
        void PointAt(int x, int y);
        void Click(int x, int y); // press and release there, then the pointer goes away
        // The same at x, y of the preferences panel's movie.
        void ClickPanel(int x, int y);
        void PointAway();
        // A variable set by the host on the movie's control.
        void SetVariable(const std::string& name, const std::string& value);

        // The window of the movie's control; none before it exists.
        os::Hwnd MovieWindow();
        // Repaints the movie's control and returns what it drew.
        const std::vector<os::sim::PaintOp>& Paint();
        // A "paint" trace line with the texts and images the movie drew.
        void NotePaint();

        const std::vector<TraceLine>& Lines() const { return _lines; }
        // "text" of every line of this kind, in order.
        std::vector<std::string> Texts(const std::string& kind) const;
        bool Has(const std::string& kind, const std::string& text) const;

        std::unique_ptr<app::TUpdateForm> update;
        std::unique_ptr<app::TtickForm> tick;
        std::unique_ptr<app::TprefsForm> prefs; // the preferences panel, made with the strip

      private:
        friend class TracingFactory;
        friend class TracingPlayer;
        void Note(const std::string& kind, const std::string& text);
        void ClickOn(os::Hwnd window, int x, int y);
        void Poll();
        void Emit(TraceLine line);

        std::ostream* _out;
        std::vector<TraceLine> _lines;
        std::unique_ptr<TracingFactory> _factory;
        struct AloneEvents;
        std::unique_ptr<AloneEvents> _aloneEvents;
        std::unique_ptr<os::IPlayer> _alone;
        os::Hwnd _aloneHost{};
        bool _online = false;
        std::size_t _downloads = 0, _debug = 0, _shell = 0;
        std::string _label;
        bool _prompt = false;
    };
} // namespace movierun
