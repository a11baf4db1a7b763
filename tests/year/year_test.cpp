// A year of the running ticker in the desktop simulator, on the virtual clock: our
// own player and the demo content as the content server exports it, through what a
// year brings: the twelve-hourly reloads, the server away for hours (the watchdog
// running out, then the user's retry), sponsor clicks, the preferences opened and
// closed, update offers declined, display changes, shell restarts and docking
// changes. Every day ends with a count of what the program holds, and none of it
// may grow.
//
// Quiet stretches pass in coalesced steps (each timer fires once per step, as for a
// thread that was busy); while anything is under way (a load, the watchdog, the
// panel, a download) the clock runs exactly.
#include "player/movie/sandbox.h"
#include "session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace
{
    constexpr std::uint64_t Second = 1000;
    constexpr std::uint64_t Minute = 60 * Second;
    constexpr std::uint64_t Hour = 60 * Minute;
    constexpr std::uint64_t Day = 24 * Hour;
    constexpr std::uint64_t QuietStep = Hour;
    constexpr std::uint64_t BusyStep = 100;
    constexpr int Days = 365;

    const char* const Counted[] = { "windows",
                                    "timers",
                                    "menus",
                                    "player controls",
                                    "hosted players",
                                    "downloads held",
                                    "registry keys open",
                                    "tray icons",
                                    "Lua states",
                                    "Lua memory (KiB)" };
    constexpr std::size_t Kinds = std::size(Counted);
    constexpr std::size_t PlayerControls = 3, HostedPlayers = 4, TrayIcons = 7, LuaStates = 8, LuaMemory = 9;
    using Sample = std::array<std::size_t, Kinds>;

    class Year
    {
      public:
        movierun::Session s;

        Year()
        {
            std::string why;
            EXPECT_TRUE(s.content.AddFolder(YEAR_CONTENT, why)) << why;
            s.install.Put("loader.swf", s.content.Files().at("loader.swf"));
            _version = s.content.Files().at("version.txt");
            s.Online();
            s.StartStrip(false);
            PassTo(s.desktop.Now() + Minute);
        }

        std::uint64_t Now() const { return s.desktop.Now(); }

        // Runs the clock to `t`, declining an update offer when the prompt shows.
        void PassTo(std::uint64_t t)
        {
            while (Now() < t && !s.desktop.windows.QuitRetrieved())
            {
                if (Busy())
                    s.desktop.Advance(std::min(BusyStep, t - Now()));
                else
                    s.desktop.windows.Coalesce(std::min(QuietStep, t - Now()));
                if (PromptShown())
                {
                    ++prompts;
                    s.update->NoButton.Click();
                }
            }
        }

        bool Busy()
        {
            auto& tick = *s.tick;
            return tick.Timer1.Enabled() || tick.Timer2.Enabled() || tick.fsCommandTimer.Enabled() ||
                   s.desktop.downloads.Running() > 0 || (s.prefs && s.prefs->Visible());
        }

        bool PromptShown() { return s.update->HandleAllocated() && s.desktop.windows.IsWindowVisible(s.update->Handle()); }

        // FS commands seen so far with this text ("movie: command args").
        int Commands(const std::string& text) { return Seen("fs", text); }
        int Seen(const std::string& kind, const std::string& text)
        {
            for (; _scanned < s.Lines().size(); ++_scanned)
                ++_seen[s.Lines()[_scanned].kind + " " + s.Lines()[_scanned].text];
            return _seen[kind + " " + text];
        }

        void ClickOn(os::Hwnd w, int x, int y)
        {
            const os::Point p = s.desktop.windows.ClientToScreen(w, { x, y });
            s.desktop.windows.MouseMove(p);
            s.desktop.windows.Click(p);
            s.PointAway();
        }

        void OfferUpdate(bool offer)
        {
            s.content.Put("version.txt", offer ? "9.0\n" + movierun::Session::Base() + "download/setup.exe\n" : _version);
            s.Online();
        }

        Sample Take()
        {
            auto& w = s.desktop.windows;
            std::size_t players = 0;
            std::function<void(os::Hwnd)> walk = [&](os::Hwnd h)
            {
                players += w.ClassName(h) == "NorvaleMoviePlayer";
                for (os::Hwnd c : w.Children(h))
                    walk(c);
            };
            for (os::Hwnd top : w.TopLevelWindows())
                walk(top);
            return { w.WindowCount(),
                     w.TimerCount(),
                     w.LiveMenus(),
                     players,
                     s.desktop.players.Alive().size(),
                     s.desktop.downloads.Held(),
                     s.desktop.registry.OpenHandles(),
                     s.desktop.shell.TrayIcons().size(),
                     player::movie::Sandbox::LiveStates(),
                     player::movie::Sandbox::LiveMemory() / 1024 };
        }

        int prompts = 0;

      private:
        std::string _version;
        std::size_t _scanned = 0;
        std::map<std::string, int> _seen;
    };

    std::string Table(const std::vector<Sample>& days)
    {
        std::string out = "resource              day 1    min    max  day 365\n";
        for (std::size_t k = 0; k < Kinds; ++k)
        {
            std::size_t lo = days[0][k], hi = days[0][k];
            for (const Sample& d : days)
            {
                lo = std::min(lo, d[k]);
                hi = std::max(hi, d[k]);
            }
            char line[128];
            std::snprintf(line, sizeof line, "%-20s %6zu %6zu %6zu %8zu\n", Counted[k], days[0][k], lo, hi, days.back()[k]);
            out += line;
        }
        return out;
    }
} // namespace

TEST(YearTest, AYearOfRunningHoldsNoMoreAtItsEndThanAfterItsFirstDay)
{
    const auto started = std::chrono::steady_clock::now();
    Year y;
    auto& s = y.s;
    const std::string ticker = "ticker4.swf: ";
    ASSERT_EQ(y.Commands(ticker + "complete success"), 1) << "the strip is up";
    const std::uint64_t t0 = y.Now() - y.Now() % Day + Day; // the first midnight

    int outages = 0, ranOut = 0, recovered = 0, offerDays = 0, declinedDays = 0, panels = 0, panelsDone = 0;
    int sponsorClicks = 0, displayChanges = 0, shellRestarts = 0, dockings = 0, onScreen = 0, trayBack = 0;
    int panelDays = 0, sponsorDays = 0, dockingDays = 0;
    const std::string down = "Please check connections and click here to try again";
    std::vector<Sample> days;
    for (int d = 0; d < Days; ++d)
    {
        const std::uint64_t day = t0 + static_cast<std::uint64_t>(d) * Day;
        const bool outage = d % 10 == 4, offer = d % 30 == 15;
        const int promptsBefore = y.prompts;
        if (offer)
            y.OfferUpdate(true);
        if (outage)
        {
            // Away from 02:00 to 17:00, long enough for a twelve-hourly reload to
            // fail: the watchdog runs out, and the user clicks the status line once
            // the server is back.
            y.PassTo(day + 2 * Hour);
            s.Offline();
            ++outages;
            y.PassTo(day + 17 * Hour);
            s.Online();
            if (s.tick->ProgressLabel.Visible() && s.tick->ProgressLabel.Caption() == down)
            {
                ++ranOut;
                const int before = y.Commands(ticker + "complete success");
                y.ClickOn(s.tick->Handle(), s.tick->ProgressLabel.Left() + 20, 12);
                y.PassTo(y.Now() + Minute);
                recovered += y.Commands(ticker + "complete success") > before;
            }
        }
        if (d % 5 == 2)
        {
            y.PassTo(day + 7 * Hour + 30 * Minute);
            ++sponsorDays;
            const std::size_t opened = s.desktop.shell.Executed().size();
            y.ClickOn(s.tick->SponsorFlash->Handle(), 20, 10);
            sponsorClicks += s.desktop.shell.Executed().size() == opened + 1 &&
                             s.desktop.shell.Executed().back().file == "http://lanternfield.example/tea";
        }
        if (d % 7 == 3)
        {
            // The preferences from the menu: a channel chosen, then Done (a reload
            // on that channel) or, every other week, Cancel.
            y.PassTo(day + 10 * Hour);
            ++panelDays;
            const int loaded = y.Commands("prefs4.swf: preferences loaded");
            s.tick->SetNewsPreferences1.Click();
            y.PassTo(y.Now() + 5 * Second);
            panels += s.prefs->Visible() && y.Commands("prefs4.swf: preferences loaded") == loaded + 1;
            const bool done = d % 14 != 10;
            const int completes = y.Commands(ticker + "complete success");
            s.ClickPanel(40, 64 + 26 * (d / 7 % 4) + 10);
            s.ClickPanel(done ? 500 : 600, 320);
            y.PassTo(y.Now() + 30 * Second);
            panelsDone += !s.prefs->Visible() && (y.Commands(ticker + "complete success") > completes) == done;
        }
        if (d % 13 == 6)
        {
            // The display changes size, as the shell tells every top-level window.
            y.PassTo(day + 12 * Hour);
            const bool small = d / 13 % 2 == 0;
            const int width = small ? 1024 : 1280, height = small ? 768 : 1024;
            s.desktop.ChangeDisplay(width, height);
            y.PassTo(y.Now() + Second);
            ++displayChanges;
            // Docked, the strip spans the new screen; floating, it stays on it.
            const os::Rect r = s.desktop.windows.GetWindowRect(s.tick->Handle());
            const bool docked = !s.tick->Undocke1.Checked();
            onScreen += r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height && (!docked || r.Width() == width);
        }
        if (d % 19 == 9)
        {
            y.PassTo(day + 14 * Hour);
            ++dockingDays;
            forms::MenuItem* items[] = { &s.tick->DockTop1, &s.tick->DockBottom1, &s.tick->Undocke1 };
            forms::MenuItem& item = *items[d / 19 % 3];
            item.Click();
            y.PassTo(y.Now() + Second);
            dockings += item.Checked();
        }
        if (d % 17 == 8)
        {
            y.PassTo(day + 20 * Hour);
            s.desktop.shell.RestartShell();
            y.PassTo(y.Now() + Second);
            ++shellRestarts;
            trayBack += s.desktop.shell.TrayIcons().size() == 1;
        }
        y.PassTo(day + Day - Minute);
        if (offer)
        {
            declinedDays += y.prompts > promptsBefore && !y.PromptShown();
            ++offerDays;
            y.OfferUpdate(false);
        }
        y.PassTo(day + Day);
        days.push_back(y.Take());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf("%s", Table(days).c_str());
    std::printf(
        "twelve-hour reloads %d, loads complete %d, outages %d, watchdog ran out %d, recovered %d, panels %d, update offers "
        "declined %d, sponsor clicks %d, display changes %d, shell restarts %d, docking changes %d; %.1f s\n",
        y.Seen("trace", "host: 12 Hours have passed: Reload"), y.Commands(ticker + "complete success"), outages, ranOut,
        recovered, panels, y.prompts, sponsorClicks, displayChanges, shellRestarts, dockings, seconds);

    // The year happened as planned.
    EXPECT_FALSE(s.desktop.windows.QuitRetrieved());
    EXPECT_GE(y.Seen("trace", "host: 12 Hours have passed: Reload"), Days * 24 / 14)
        << "thirteen or fourteen hours apart in hourly steps";
    EXPECT_LE(y.Seen("trace", "host: 12 Hours have passed: Reload"), Days * 24 / 13 + 1);
    EXPECT_EQ(ranOut, outages);
    EXPECT_EQ(recovered, outages);
    EXPECT_EQ(panels, panelDays);
    EXPECT_EQ(panelsDone, panelDays);
    EXPECT_EQ(declinedDays, offerDays);
    EXPECT_EQ(sponsorClicks, sponsorDays);
    EXPECT_EQ(onScreen, displayChanges);
    EXPECT_EQ(trayBack, shellRestarts);
    EXPECT_EQ(dockings, dockingDays);
    EXPECT_TRUE(s.desktop.windows.MessageBoxes().empty());

    // Nothing grew: no day ends holding more than the first month's days did (in
    // which everything happened once, so what is made at its first use is there).
    Sample most{};
    for (int d = 0; d < 30; ++d)
        for (std::size_t k = 0; k < Kinds; ++k)
            most[k] = std::max(most[k], days[d][k]);
    for (int d = 30; d < Days; ++d)
        for (std::size_t k = 0; k < Kinds; ++k)
            if (k == LuaMemory)
                EXPECT_LE(days[d][k], most[k] + most[k] / 4) << Counted[k] << " on day " << d + 1;
            else
                EXPECT_LE(days[d][k], most[k]) << Counted[k] << " on day " << d + 1;
    EXPECT_EQ(days.back()[LuaStates], 2u) << "the ticker's and the sponsor's movie; the closed panel has none";
    EXPECT_EQ(days.back()[HostedPlayers], 0u) << "no hosted control: our own player plays";
    EXPECT_EQ(days.back()[PlayerControls], 3u) << "the ticker's, the sponsor's and the closed panel's";
    EXPECT_EQ(days.back()[TrayIcons], 1u);
    EXPECT_LT(seconds, 60.0);

    // Closed, the program leaves nothing behind but the application's own window.
    s.prefs.reset();
    s.tick.reset();
    s.update.reset();
    const Sample closed = y.Take();
    for (std::size_t k = 0; k < Kinds; ++k)
        EXPECT_EQ(closed[k], k == 0 ? 1u : 0u) << Counted[k] << " after closing";
}
