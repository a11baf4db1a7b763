// A movie from the network as the strip plays it: any script after the signature
// line is served as ticker4.swf to the real strip in the desktop simulator, with the
// real stage API and the host's FS commands behind it (the channel and sponsor
// fetches, variables, message boxes, the update prompt, the preferences panel,
// loadmovie, exit, ...). It runs for a few virtual seconds with a click and a
// variable from the host. Whatever it does: every turn of its script ends within its
// time budget, every Lua state stays within its memory cap (the host's share
// included), no message box opens inside another, and every Lua state and registry
// key is closed again.
#include "check.h"
#include "player/movie/sandbox.h"
#include "session.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using player::movie::Sandbox;
    // Small limits keep one run short; the limits' enforcement is the same at any size.
    player::movie::Limits limits;
    limits.memory = 4u << 20;
    limits.instructions = 200'000;
    limits.time = std::chrono::milliseconds(100);
    const std::string script(reinterpret_cast<const char*>(data), size);
    Sandbox::ResetLongestTurn();
    {
        movierun::Session s(nullptr, limits);
        s.content.Put("ticker4.swf", "--!movie 1\n" + script);
        s.content.Put("faketickerstart.swf", "--!movie 1\n");
        s.content.Put("channels.txt", "world\tWorld\n");
        s.content.Put("headlines/world.txt", "A headline\thttp://127.0.0.1/a\n");
        s.content.Put("channel/world.txt", "<channel>WORLD</channel><name>World</name><announcement>Hi</announcement>");
        s.content.Put("data.txt", script);
        int open = 0;
        int deepest = 0;
        s.desktop.windows.onMessageBox = [&](const os::sim::MessageBoxCall&)
        {
            deepest = std::max(deepest, ++open);
            s.desktop.Advance(50); // the box's own loop runs the timers meanwhile
            --open;
            return os::id::ok;
        };
        s.Online();
        s.StartStrip(false);
        s.Advance(1500);
        s.Click(20, 10);
        s.SetVariable("gNewChannel", "WORLD|World|Hello");
        s.Advance(1500);
        FUZZ_CHECK(Sandbox::LiveMemory() <= Sandbox::LiveStates() * limits.memory);
        FUZZ_CHECK(deepest <= 1);
        FUZZ_CHECK(Sandbox::LongestTurn() < std::chrono::seconds(1));
        s.prefs.reset();
        s.tick.reset();
        s.update.reset();
        FUZZ_CHECK(s.desktop.registry.OpenHandles() == 0);
    }
    FUZZ_CHECK(Sandbox::LiveStates() == 0);
    return 0;
}
