// A session with the real movies of content/ and the published tree of served/,
// the sponsor movie in the installation folder, and helpers to look at what the
// movies drew.
#pragma once

#include "player/movie/address.h"
#include "player/movie/store.h"
#include "player/movie/text.h"
#include "session.h"

#include <gtest/gtest.h>

#include <optional>

namespace movies_test
{
    class MoviesFixture : public ::testing::Test
    {
      protected:
        MoviesFixture()
        {
            std::string why;
            EXPECT_TRUE(s.content.AddFolder(CONTENT_DIR, why)) << why;
            EXPECT_TRUE(s.content.AddFolder(SERVED_DIR, why)) << why;
            s.install.Put("loader.swf", s.content.Files().at("loader.swf"));
            // The logo page names the logo at the build's own address.
            s.content.Put("sponsor/logo.htm", "document.write(\"<img src=\\\"" + Base() + "sponsor/logo.jpg\\\" border=0>\");\n");
        }

        static const std::string& Base() { return movierun::Session::Base(); }

        // The strip started with the server up, run for `ms`.
        void StartStrip(std::uint64_t ms = 1000)
        {
            s.Online();
            s.StartStrip(false);
            s.Advance(ms);
        }

        // Where the movie drew this text, if it did.
        std::optional<os::Rect> Drawn(const std::string& text)
        {
            for (const auto& op : s.Paint())
                if (op.kind == os::sim::PaintOp::Kind::widetext && player::movie::WideToUtf8(op.wide) == text)
                    return op.rect;
            return std::nullopt;
        }

        std::vector<std::string> Texts()
        {
            std::vector<std::string> out;
            for (const auto& op : s.Paint())
                if (op.kind == os::sim::PaintOp::Kind::widetext)
                    out.push_back(player::movie::WideToUtf8(op.wide));
            return out;
        }

        // Runs until `text` is drawn whole on the stage, at most `ms`.
        std::optional<os::Rect> WaitFullyShown(const std::string& text, std::uint64_t ms = 60000)
        {
            const int width = s.desktop.windows.GetClientRect(s.MovieWindow()).Width();
            for (std::uint64_t t = 0; t <= ms; t += 50)
            {
                if (const auto r = Drawn(text); r && r->left >= 100 && r->right <= width)
                    return r;
                s.Advance(50);
            }
            return std::nullopt;
        }

        // The child's rectangle in the strip's client area.
        os::Rect ChildRect(os::Hwnd child)
        {
            const os::Rect r = s.desktop.windows.GetWindowRect(child);
            const os::Point o = s.desktop.windows.ClientToScreen(s.tick->Handle(), { 0, 0 });
            return r.Offset(-o.x, -o.y);
        }

        // The movies' shared store: what the preferences stored for the ticker.
        std::optional<player::movie::StoreValue> Stored(const std::string& key)
        {
            player::movie::Store store(s.desktop.registry, player::movie::OriginOf(Base() + "ticker4.swf"));
            return store.Get(key);
        }
        void Store(const std::string& key, const std::string& value)
        {
            player::movie::Store store(s.desktop.registry, player::movie::OriginOf(Base() + "prefs4.swf"));
            std::string why;
            ASSERT_TRUE(store.Set(key, value, why)) << why;
        }

        // The index of the first trace line of this kind and text at or after `from`; -1 if none.
        int Find(const std::string& kind, const std::string& text, int from = 0)
        {
            const auto& lines = s.Lines();
            for (int i = from; i < static_cast<int>(lines.size()); ++i)
                if (lines[i].kind == kind && lines[i].text == text)
                    return i;
            return -1;
        }
        int Count(const std::string& kind, const std::string& text)
        {
            int n = 0;
            for (const auto& line : s.Lines())
                n += line.kind == kind && line.text == text ? 1 : 0;
            return n;
        }
        bool Stopped()
        {
            for (const auto& line : s.Lines())
                if (line.kind == "trace" && line.text.find(": stopped: ") != std::string::npos)
                    return true;
            return false;
        }

        movierun::Session s;
    };
} // namespace movies_test
