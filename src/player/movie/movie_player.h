// Our own movie player: an os::IPlayer that plays Lua movies (docs/movies.md) in a
// child window of its own, written on the OS seam so the simulator runs it too.
//
// A movie is UTF-8 text whose first line is `--!movie 1`, followed by a Lua 5.4
// chunk. It runs in a whitelist sandbox (string, table, math, utf8, coroutine and
// the safe base functions), bounded per entry in instructions and per movie in
// memory, and talks to the stage through the `stage` table:
//
//   stage.on(event, fn)        "paint", "frame"(ms), "pointer"(kind, x, y),
//                              "variable"(name, value)
//   stage.width(), stage.height(), stage.redraw(), stage.animate(on)
//   stage.fill(x, y, w, h, rgb), stage.text(x, y, text, font, rgb),
//   stage.image(img, x, y)     (inside "paint" only)
//   stage.measure(text, font) -> w, h
//   stage.after(ms, fn) / stage.every(ms, fn) -> id, stage.cancel(id)
//   stage.cursor("arrow" | "hand")
//   fscommand(command, args), stage.get(name), stage.set(name, value)
//   stage.load_text(url, fn), stage.load_image(url, fn), stage.image_size(img)
//   stage.store_get(key), stage.store_set(key, value), stage.address(), print(...)
//
// Fonts are {face=, size=, bold=}; colours 0xRRGGBB. docs/movies.md is the
// reference; keep the two in step.
#pragma once

#include "os/os.h"
#include "player/flash.h"
#include "player/movie/sandbox.h"

#include <string>

namespace player
{
    // The registry key (under HKEY_CURRENT_USER) where the players keep their
    // settings: the `Player` choice and the movies' persistent stores.
    inline constexpr const char* SettingsKey = "Software\\Norvale\\Vodazovovarar";

    // Makes our own player controls.
    class MoviePlayerFactory final : public PlayerFactory
    {
      public:
        // Every movie of its controls runs within `limits`.
        explicit MoviePlayerFactory(os::Os& os, const movie::Limits& limits = {}) : _os(os), _limits(limits) {}
        os::HResult Create(os::Hwnd parent, const os::Rect& bounds, os::IPlayerEvents& events,
                           std::unique_ptr<os::IPlayer>& player) override;

      private:
        os::Os& _os;
        movie::Limits _limits;
    };

    // Which player the settings choose: true for the hosted Flash control
    // (`Player` = "flash", any case), false for ours (the default).
    bool SettingsChooseFlash(os::IRegistry& registry);
} // namespace player
