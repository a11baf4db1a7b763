#include "run.h"

#include "session.h"

#include <algorithm>
#include <charconv>
#include <functional>

namespace movierun
{
    namespace
    {
        constexpr std::uint64_t MaxTimeMs = 7ull * 24 * 3600 * 1000; // a week of virtual time

        template <typename T> bool Number(std::string_view text, T& value)
        {
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            return ec == std::errc{} && end == text.data() + text.size() && !text.empty();
        }

        // "A<sep>B": both parts, or false.
        bool Split(std::string_view text, char sep, std::string_view& a, std::string_view& b)
        {
            const std::size_t at = text.find(sep);
            if (at == std::string_view::npos)
                return false;
            a = text.substr(0, at);
            b = text.substr(at + 1);
            return true;
        }

        bool Time(std::string_view text, std::uint64_t& ms)
        {
            return Number(text, ms) && ms <= MaxTimeMs;
        }

        bool Point(std::string_view text, int& x, int& y)
        {
            std::string_view a, b;
            return Split(text, ',', a, b) && Number(a, x) && Number(b, y);
        }
    } // namespace

    std::string Usage()
    {
        return "Usage: movie-run [options] FOLDER...\n"
               "Plays the ticker's movies in the desktop simulator against the real host code,\n"
               "with the files of each FOLDER served at the content base URL\n"
               "  " +
               Session::Base() +
               "\n"
               "and prints, in virtual time, what passes between the movies and the host: the\n"
               "movies given to each control (movie), FS commands (fs), variables the host sets\n"
               "(var), the player's loads (load), the host's fetches (fetch), what the host\n"
               "opens (shell), trace lines (trace), the strip's status line (label), the update\n"
               "prompt (prompt), message boxes (box) and, on request, what a movie drew (paint).\n"
               "\n"
               "  FOLDER...            served at the base URL; a file of a later folder replaces\n"
               "                       the file at the same path of an earlier one (say the\n"
               "                       movies' folder, then a tree written by `server --export`)\n"
               "  --time MS            virtual milliseconds to run (default 20000)\n"
               "  --install DIR        the installation folder, where the sponsor movie\n"
               "                       loader.swf lives (default: the first FOLDER)\n"
               "  --movie NAME         play NAME alone in a player control of --size instead of\n"
               "                       the strip (say prefs4.swf)\n"
               "  --size WxH           the control's size for --movie (default 680x350)\n"
               "  --first-run          start as the program's first run on this machine\n"
               "  --click MS:X,Y       at MS, click at X,Y of the movie's control\n"
               "  --set MS:NAME=VALUE  at MS, the host sets a variable of the movie's control\n"
               "  --offline FROM-TO    the server does not answer from FROM to TO ms\n"
               "  --paint-every MS     note what the movie drew every MS\n"
               "  --help               this text\n";
    }

    Parsed ParseArguments(const std::vector<std::string>& args)
    {
        Options o;
        auto fail = [](const std::string& why)
        {
            return Parsed{ std::nullopt, "movie-run: " + why + "\nTry movie-run --help.\n", 2 };
        };
        for (std::size_t i = 0; i < args.size(); ++i)
        {
            const std::string& a = args[i];
            if (a == "--help" || a == "-h")
                return { std::nullopt, Usage(), 0 };
            if (a == "--first-run")
            {
                o.firstRun = true;
                continue;
            }
            if (a.rfind("--", 0) != 0)
            {
                o.folders.push_back(a);
                continue;
            }
            if (i + 1 >= args.size())
                return fail(a + " needs a value");
            const std::string_view v = args[++i];
            std::string_view p, q;
            if (a == "--time")
            {
                if (!Time(v, o.timeMs))
                    return fail("--time wants milliseconds, not '" + std::string(v) + "'");
            }
            else if (a == "--paint-every")
            {
                if (!Time(v, o.paintEvery) || o.paintEvery == 0)
                    return fail("--paint-every wants milliseconds above 0, not '" + std::string(v) + "'");
            }
            else if (a == "--install")
                o.install = v;
            else if (a == "--movie")
            {
                if (v.empty())
                    return fail("--movie wants a file name");
                o.movie = v;
            }
            else if (a == "--size")
            {
                if (!Split(v, 'x', p, q) || !Number(p, o.width) || !Number(q, o.height) || o.width < 1 || o.height < 1 ||
                    o.width > 4096 || o.height > 4096)
                    return fail("--size wants WIDTHxHEIGHT, not '" + std::string(v) + "'");
            }
            else if (a == "--click")
            {
                Options::Click c;
                if (!Split(v, ':', p, q) || !Time(p, c.at) || !Point(q, c.x, c.y))
                    return fail("--click wants MS:X,Y, not '" + std::string(v) + "'");
                o.clicks.push_back(c);
            }
            else if (a == "--set")
            {
                Options::Set s;
                std::string_view name, value;
                if (!Split(v, ':', p, q) || !Time(p, s.at) || !Split(q, '=', name, value) || name.empty())
                    return fail("--set wants MS:NAME=VALUE, not '" + std::string(v) + "'");
                s.name = name;
                s.value = value;
                o.sets.push_back(s);
            }
            else if (a == "--offline")
            {
                Options::Outage out;
                if (!Split(v, '-', p, q) || !Time(p, out.from) || !Time(q, out.to) || out.to < out.from)
                    return fail("--offline wants FROM-TO in milliseconds, not '" + std::string(v) + "'");
                o.outages.push_back(out);
            }
            else
                return fail("unknown option " + a);
        }
        if (o.folders.empty())
            return fail("no content folder given");
        if (o.install.empty())
            o.install = o.folders.front();
        return { o, {}, 0 };
    }

    int Run(const Options& o, std::ostream& out, std::ostream& err)
    {
        Session session(&out);
        std::string why;
        for (const auto& folder : o.folders)
        {
            if (!session.content.AddFolder(folder, why))
            {
                err << "movie-run: " << why << "\n";
                return 1;
            }
        }
        if (!session.install.AddFolder(o.install, why))
        {
            err << "movie-run: " << why << "\n";
            return 1;
        }

        struct Action
        {
            std::uint64_t at;
            std::function<void()> run;
        };
        std::vector<Action> actions;
        for (const auto& c : o.clicks)
            actions.push_back({ c.at, [&session, c]
                                {
                                    session.Click(c.x, c.y);
                                } });
        for (const auto& s : o.sets)
            actions.push_back({ s.at, [&session, s]
                                {
                                    session.SetVariable(s.name, s.value);
                                } });
        // The server is down while any outage lasts.
        auto down = [&o](std::uint64_t t)
        {
            return std::any_of(o.outages.begin(), o.outages.end(),
                               [t](const Options::Outage& x) { return t >= x.from && t < x.to; });
        };
        for (const auto& x : o.outages)
            for (std::uint64_t t : { x.from, x.to })
                actions.push_back({ t, [&session, &down, t]
                                    {
                                        down(t) ? session.Offline() : session.Online();
                                    } });
        if (o.paintEvery)
            for (std::uint64_t t = o.paintEvery; t <= o.timeMs; t += o.paintEvery)
                actions.push_back({ t, [&session]
                                    {
                                        session.NotePaint();
                                    } });
        std::stable_sort(actions.begin(), actions.end(), [](const Action& a, const Action& b) { return a.at < b.at; });

        if (!down(0))
            session.Online();
        if (o.movie.empty())
            session.StartStrip(o.firstRun);
        else
            session.StartMovie(o.movie, o.width, o.height);
        for (const auto& action : actions)
        {
            if (action.at > o.timeMs)
                break;
            session.AdvanceTo(action.at);
            action.run();
        }
        session.AdvanceTo(o.timeMs);
        return 0;
    }
} // namespace movierun
