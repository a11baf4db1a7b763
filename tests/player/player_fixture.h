// Our movie player on a simulated desktop: a host window, controls made by the
// factory, movies served by the simulated downloads, and a record of the events.
#pragma once

#include "os/sim/desktop.h"
#include "player/movie/movie_player.h"
#include "player/movie/player.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testing_support
{
    // What the host of a control sees: its events, in order, as short lines
    // ("progress 50", "ready 3", "fs command args"), and hooks to act inside them.
    struct PlayerEventLog final : os::IPlayerEvents
    {
        std::vector<std::string> lines;
        std::function<void(const std::string& command, const std::string& args)> onFSCommand;
        std::function<void(long)> onProgress;
        std::function<void(long)> onReadyState;

        static std::string Narrow(const std::wstring& w)
        {
            std::string s;
            for (wchar_t c : w)
                s += c < 0x80 ? static_cast<char>(c) : '?';
            return s;
        }
        void FSCommand(const std::wstring& command, const std::wstring& args) override
        {
            lines.push_back("fs " + Narrow(command) + (args.empty() ? "" : " " + Narrow(args)));
            if (onFSCommand)
                onFSCommand(Narrow(command), Narrow(args));
        }
        void Progress(long percent) override
        {
            lines.push_back("progress " + std::to_string(percent));
            if (onProgress)
                onProgress(percent);
        }
        void ReadyStateChange(long state) override
        {
            lines.push_back("ready " + std::to_string(state));
            if (onReadyState)
                onReadyState(state);
        }
        void Headline(const std::wstring& text, const std::wstring& link) override
        {
            lines.push_back("headline " + Narrow(text) + (link.empty() ? "" : " " + Narrow(link)));
        }
        void Key(const std::wstring& key) override { lines.push_back("key " + Narrow(key)); }
        void FocusChange(bool focused) override { lines.push_back(focused ? "focus" : "blur"); }
        // The FS commands only ("command args").
        std::vector<std::string> Commands() const
        {
            std::vector<std::string> out;
            for (const auto& l : lines)
                if (l.rfind("fs ", 0) == 0)
                    out.push_back(l.substr(3));
            return out;
        }
        bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    };

    class PlayerFixture : public ::testing::Test
    {
      protected:
        static constexpr const char* Base = "http://content.test/movies/";

        PlayerFixture()
        {
            desktop.SetScreen(1280, 1024);
            desktop.windows.SetPaintCost(0);
            os::WindowParams params;
            params.className = "Host";
            params.style = os::ws::popup | os::ws::visible;
            params.bounds = os::Rect::FromBounds(0, 0, 800, 25);
            host = desktop.windows.Create(params, nullptr);
        }

        std::unique_ptr<os::IPlayer> Make(PlayerEventLog& log, os::Rect bounds = os::Rect::FromBounds(0, 0, 600, 25))
        {
            std::unique_ptr<os::IPlayer> p;
            EXPECT_EQ(factory.Create(host, bounds, log, p), os::hr::ok);
            return p;
        }

        // Serves `source` as a movie at Base + name and plays it in the main control.
        void Play(const std::string& source, const std::string& name = "test.swf")
        {
            desktop.downloads.Serve(Base + name, os::sim::DownloadResponse::Body(source));
            if (!player)
                player = Make(events);
            player->SetMovie(Wide(Base + name));
            desktop.Advance(10);
        }

        static std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
        std::wstring Variable(const std::string& name)
        {
            std::wstring value;
            player->GetVariable(Wide(name), value);
            return value;
        }
        const std::vector<std::string>& Traces() const { return desktop.process.DebugLines(); }
        bool Traced(const std::string& part) const
        {
            for (const auto& t : Traces())
                if (t.find(part) != std::string::npos)
                    return true;
            return false;
        }
        std::string AllTraces() const
        {
            std::string all;
            for (const auto& t : Traces())
                all += t + "\n";
            return all;
        }
        const std::vector<os::sim::PaintOp>& Painted()
        {
            desktop.windows.UpdateWindow(player->Window());
            return desktop.windows.LastPaint(player->Window());
        }
        const player::movie::Movie* Current() { return static_cast<player::movie::MoviePlayer&>(*player).Current(); }

        os::sim::Desktop desktop;
        player::MoviePlayerFactory factory{ desktop.Os() };
        os::Hwnd host{};
        PlayerEventLog events;
        std::unique_ptr<os::IPlayer> player;
    };
} // namespace testing_support
