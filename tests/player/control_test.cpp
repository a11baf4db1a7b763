// The control as the host drives it: variables from inside its events, its
// destruction inside its own events and with loads in flight, Play/Stop/Rewind,
// the frame clock, the drawing, the pointer, the menu, the version and the store.
#include "player/player_fixture.h"

#include "forms/jpeg.h"
#include "player/movie/movie.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

using os::sim::PaintOp;
using testing_support::PlayerEventLog;
using testing_support::PlayerFixture;

namespace
{
    class ControlTest : public PlayerFixture
    {
      protected:
        std::size_t PlayerTimers() { return desktop.windows.TimerCount(); }
    };

    // A 24-bit BMP, bottom-up, of w by h pixels of one colour.
    std::string Bmp(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b)
    {
        const int row = (w * 3 + 3) & ~3;
        const int size = 54 + row * h;
        std::string out(static_cast<std::size_t>(size), '\0');
        auto put32 = [&](int at, std::uint32_t v)
        {
            for (int i = 0; i < 4; ++i)
                out[static_cast<std::size_t>(at + i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
        };
        out[0] = 'B';
        out[1] = 'M';
        put32(2, static_cast<std::uint32_t>(size));
        put32(10, 54);
        put32(14, 40);
        put32(18, static_cast<std::uint32_t>(w));
        put32(22, static_cast<std::uint32_t>(h));
        out[26] = 1;
        out[28] = 24;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
            {
                const std::size_t at = static_cast<std::size_t>(54 + y * row + x * 3);
                out[at] = static_cast<char>(b);
                out[at + 1] = static_cast<char>(g);
                out[at + 2] = static_cast<char>(r);
            }
        return out;
    }

    // A baseline colour JPEG of w by h pixels, made with libjpeg.
    std::string Jpeg(int w, int h)
    {
        jpeg_compress_struct c{};
        jpeg_error_mgr e{};
        c.err = jpeg_std_error(&e);
        jpeg_create_compress(&c);
        unsigned char* out = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&c, &out, &size);
        c.image_width = static_cast<JDIMENSION>(w);
        c.image_height = static_cast<JDIMENSION>(h);
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        jpeg_start_compress(&c, TRUE);
        std::vector<unsigned char> row(static_cast<std::size_t>(w) * 3, 200);
        while (c.next_scanline < c.image_height)
        {
            JSAMPROW r = row.data();
            jpeg_write_scanlines(&c, &r, 1);
        }
        jpeg_finish_compress(&c);
        std::string bytes(reinterpret_cast<const char*>(out), size);
        jpeg_destroy_compress(&c);
        std::free(out);
        return bytes;
    }
} // namespace

TEST_F(ControlTest, TheHostSetsAndReadsVariablesEvenFromInsideTheFSCommandEvent)
{
    events.onFSCommand = [&](const std::string& command, const std::string&)
    {
        if (command == "ask")
        {
            player->SetVariable(L"answer", L"42");
            EXPECT_EQ(Variable("answer"), L"42");
        }
    };
    Play(R"lua(--!movie 1
stage.on("variable", function(name, value) fscommand("told", name .. "=" .. value) end)
stage.set("mine", 7)
fscommand("ask")
fscommand("got", stage.get("answer") .. "/" .. stage.get("unset") .. "/")
)lua");
    const std::vector<std::string> expected{ "ask", "got 42//", "told answer=42" };
    EXPECT_EQ(events.Commands(), expected) << "the movie is told after its entry returns";
    EXPECT_EQ(Variable("mine"), L"7");
    EXPECT_EQ(Variable("never set"), L"");
    player->SetVariable(L"text", L"Привет");
    EXPECT_TRUE(events.Has("fs told text=??????"));
    EXPECT_EQ(Variable("text"), L"Привет");
    EXPECT_TRUE(events.Has("ready 4"));
}

TEST_F(ControlTest, DestroyingTheControlInsideItsOwnEventsIsSafe)
{
    for (const std::string when : { "fs", "progress", "ready3", "ready4", "paint" })
    {
        PlayerEventLog log;
        std::unique_ptr<os::IPlayer> doomed = Make(log);
        const os::Hwnd window = doomed->Window();
        log.onFSCommand = [&](const std::string& command, const std::string&)
        {
            if (when == "fs" || command == when)
                doomed.reset();
        };
        log.onProgress = [&](long)
        {
            if (when == "progress")
                doomed.reset();
        };
        log.onReadyState = [&](long state)
        {
            if (when == "ready" + std::to_string(state))
                doomed.reset();
        };
        desktop.downloads.Serve(std::string(Base) + "die.swf", os::sim::DownloadResponse::Body(R"lua(--!movie 1
stage.on("paint", function() fscommand("paint") fscommand("after paint") end)
stage.every(50, function() fscommand("tick") end)
stage.load_text("slow.txt", function() fscommand("loaded") end)
fscommand("main")
fscommand("after main")
)lua"));
        os::sim::DownloadResponse slow = os::sim::DownloadResponse::Body("x");
        slow.delayMs = 300;
        desktop.downloads.Serve(std::string(Base) + "slow.txt", slow);
        doomed->SetMovie(Wide(std::string(Base) + "die.swf"));
        desktop.Advance(1000);
        EXPECT_EQ(doomed, nullptr) << when;
        EXPECT_FALSE(desktop.windows.IsWindow(window)) << when;
        EXPECT_EQ(desktop.downloads.Running(), 0u) << when;
        EXPECT_EQ(desktop.windows.TimerCount(), 0u) << when;
        if (when == "fs" || when == "progress" || when == "ready3")
        {
            EXPECT_FALSE(log.Has("fs after main")) << when;
        }
        EXPECT_FALSE(log.Has("fs after paint")) << when;
        EXPECT_FALSE(log.Has("fs loaded")) << when;
    }
}

TEST_F(ControlTest, DestroyingTheControlWithALoadInFlightCancelsIt)
{
    os::sim::DownloadResponse slow = os::sim::DownloadResponse::Body("--!movie 1\nfscommand('ran')\n");
    slow.body.resize(100, '-');
    slow.delayMs = 100;
    slow.steps = 5;
    slow.stepMs = 100;
    desktop.downloads.Serve(std::string(Base) + "slow.swf", slow);
    player = Make(events);
    player->SetMovie(Wide(std::string(Base) + "slow.swf"));
    desktop.Advance(250);
    EXPECT_TRUE(events.Has("progress 40"));
    player.reset();
    desktop.Advance(2000);
    EXPECT_EQ(events.lines, (std::vector<std::string>{ "progress 20", "progress 40" }));
    EXPECT_TRUE(desktop.downloads.Requests()[0].cancelled);
    EXPECT_EQ(desktop.windows.PendingWork(), 0u);
}

TEST_F(ControlTest, StopPausesPlayResumesRewindRestartsFromAFreshState)
{
    Play(R"lua(--!movie 1
local n = 0
stage.every(100, function() n = n + 1; stage.set("n", n) end)
stage.on("pointer", function(kind) if kind == "down" then fscommand("pressed") end end)
fscommand("started")
)lua");
    desktop.Advance(1000);
    EXPECT_EQ(Variable("n"), L"10");
    player->Stop();
    EXPECT_EQ(PlayerTimers(), 0u) << "a stopped movie costs no wake-ups";
    desktop.Advance(1000);
    EXPECT_EQ(Variable("n"), L"10");
    const os::Point inside = desktop.windows.ClientToScreen(player->Window(), { 10, 10 });
    desktop.windows.Click(inside);
    EXPECT_FALSE(events.Has("fs pressed")) << "no pointer callbacks while stopped";
    player->Play();
    desktop.Advance(500);
    EXPECT_EQ(Variable("n"), L"15");
    desktop.windows.Click(inside);
    EXPECT_TRUE(events.Has("fs pressed"));

    player->Rewind();
    EXPECT_EQ(Variable("n"), L"") << "a fresh state";
    EXPECT_EQ(std::count(events.lines.begin(), events.lines.end(), "fs started"), 2);
    EXPECT_EQ(std::count(events.lines.begin(), events.lines.end(), "ready 4"), 1) << "a rewind is no new load";
    desktop.Advance(300);
    EXPECT_EQ(Variable("n"), L"3");
}

TEST_F(ControlTest, RewindOrANewMovieFromInsideTheScriptWaitsForTheScriptToReturn)
{
    desktop.downloads.Serve(std::string(Base) + "next.swf",
                            os::sim::DownloadResponse::Body("--!movie 1\nfscommand('next movie')\n"));
    events.onFSCommand = [&](const std::string& command, const std::string&)
    {
        if (command == "rewind me")
        {
            player->SetVariable(L"rewound", L"yes"); // the host's variables outlive a rewind
            player->Rewind();
        }
        if (command == "load next")
            player->SetMovie(Wide(std::string(Base) + "next.swf"));
    };
    Play(R"lua(--!movie 1
runs = (runs or 0) + 1
fscommand("run", tostring(runs))
if stage.get("rewound") == "" then
  fscommand("rewind me")
  fscommand("still in the first run")
end
stage.after(100, function() fscommand("load next"); fscommand("after load next") end)
)lua");
    EXPECT_EQ(std::count(events.lines.begin(), events.lines.end(), "fs run 1"), 2) << "each run starts fresh";
    EXPECT_TRUE(events.Has("fs still in the first run"));
    desktop.Advance(500);
    EXPECT_TRUE(events.Has("fs next movie"));
    EXPECT_FALSE(events.Has("fs after load next")) << "the old movie stopped at once";
}

// A state set and a load finished while the host works on the movie's command
// (a box it shows pumps messages) reach the movie after its callback, never in it.
TEST_F(ControlTest, AStateChangeAndAFinishedLoadDuringACommandWaitForTheCallbackToReturn)
{
    desktop.downloads.Serve(std::string(Base) + "t.txt", os::sim::DownloadResponse::Body("text"));
    events.onFSCommand = [&](const std::string& command, const std::string&)
    {
        if (command != "wait")
            return;
        os::StageState paused;
        paused.paused = true;
        player->SetStageState(paused);
        desktop.Advance(100); // the load finishes meanwhile
    };
    Play(R"lua(--!movie 1
local log = ""
local function note(c) log = log .. c; stage.set("log", log) end
stage.on("state", function() note("s") end)
stage.on("variable", function(name)
  if name ~= "go" then return end
  note("a")
  stage.load_text("t.txt", function() note("l") end)
  fscommand("wait")
  note("b")
end)
)lua");
    player->SetVariable(L"go", L"1");
    desktop.Advance(50);
    EXPECT_EQ(Variable("log"), L"absl");
}

TEST_F(ControlTest, AnIdleMovieHasNoTimerAndAnAnimatedOneAboutSixtyFramesASecond)
{
    Play(R"lua(--!movie 1
frames = 0
stage.on("frame", function(ms) frames = frames + 1; stage.set("frames", frames) end)
stage.on("variable", function(name, value)
  if name == "redraw" then stage.redraw() else stage.animate(value == "on") end
end)
)lua");
    EXPECT_EQ(PlayerTimers(), 0u);
    const int paints = desktop.windows.PaintCount(player->Window());
    desktop.Advance(5000);
    EXPECT_LE(desktop.windows.PaintCount(player->Window()), paints + 1) << "nothing to do, nothing done";
    player->SetVariable(L"animate", L"on");
    EXPECT_EQ(PlayerTimers(), 1u);
    desktop.Advance(1000);
    const std::wstring counted = Variable("frames");
    const int frames = std::stoi(std::string(counted.begin(), counted.end()));
    EXPECT_GE(frames, 55);
    EXPECT_LE(frames, 60);
    EXPECT_GE(desktop.windows.PaintCount(player->Window()), paints + 55) << "each frame repaints";
    player->SetVariable(L"animate", L"off");
    EXPECT_EQ(PlayerTimers(), 0u);
    const int still = desktop.windows.PaintCount(player->Window());
    player->SetVariable(L"redraw", L"1");
    desktop.Advance(100);
    EXPECT_EQ(desktop.windows.PaintCount(player->Window()), still + 1) << "a repaint asked for after the frames comes";
}

// The host's state: a paused or hidden stage gets no frames and no timer for
// them, and goes on without a jump; the movie reads the state when told, after
// the callback under way; keys reach the host, then the movie; the headline named
// last in a turn reaches the host once.
TEST_F(ControlTest, TheHostsStateHoldsFramesKeysReachHostAndMovieAndTheLastHeadlineOfATurnIsToldOnce)
{
    Play(R"lua(--!movie 1
local log = {}
stage.on("frame", function(ms) stage.set("ms", ms) end)
stage.on("state", function()
  local s = stage.state()
  local c = s.colours
  stage.set("state", tostring(s.paused) .. " " .. tostring(s.hidden) .. " " .. tostring(s.reduced_motion) .. " " ..
    tostring(s.focused) .. " " .. tostring(s.reading) .. " " .. (c and string.format("%06X %06X", c.window, c.hot) or "-"))
end)
stage.on("key", function(k)
  log[#log + 1] = k
  stage.set("keys", table.concat(log, ","))
  for i = 1, 1000 do stage.headline("step " .. i, "http://x.test/" .. i) end
end)
stage.on("variable", function(name, value)
  if name == "go" then stage.animate(true) end
end)
stage.headline("first")
stage.headline("first")
)lua");
    EXPECT_EQ(std::count(events.lines.begin(), events.lines.end(), "headline first"), 1);
    player->SetVariable(L"go", L"1");
    ASSERT_EQ(PlayerTimers(), 1u);

    os::StageState st;
    st.paused = true;
    st.highContrast = true;
    st.window = os::Rgb(0x12, 0x34, 0x56);
    st.hotTrack = os::Rgb(0xFF, 0xFF, 0);
    player->SetStageState(st);
    EXPECT_EQ(Variable("state"), L"true false false false false 123456 FFFF00");
    EXPECT_EQ(PlayerTimers(), 0u) << "no frames while paused";
    const int paints = desktop.windows.PaintCount(player->Window());
    desktop.Advance(3000);
    EXPECT_EQ(desktop.windows.PaintCount(player->Window()), paints);
    st = {};
    st.hidden = true;
    player->SetStageState(st);
    EXPECT_EQ(PlayerTimers(), 0u) << "nor while nothing of it shows";
    st.hidden = false;
    st.reducedMotion = true;
    player->SetStageState(st);
    EXPECT_EQ(Variable("state"), L"false false true false false -");
    ASSERT_EQ(PlayerTimers(), 1u);
    desktop.Advance(40);
    const std::wstring ms = Variable("ms");
    EXPECT_LE(std::stoi(std::string(ms.begin(), ms.end())), 40) << "the held time is no frame";

    auto& windows = desktop.windows;
    windows.SetForegroundWindow(host);
    windows.SetFocus(player->Window());
    EXPECT_EQ(Variable("state"), L"false false true true false -") << "focused, not yet read";
    events.lines.clear();
    windows.KeyPress(os::vk::right);
    EXPECT_EQ(Variable("state"), L"false false true true true -") << "a key starts reading";
    ASSERT_EQ(events.lines.size(), 2u);
    EXPECT_EQ(events.lines[0], "key right") << "the host hears the key before the movie";
    EXPECT_EQ(events.lines[1], "headline step 1000 http://x.test/1000") << "one headline for the turn's thousand";
    windows.KeyPress(os::vk::space);
    windows.KeyPress(os::vk::return_);
    windows.KeyPress('A');
    EXPECT_EQ(Variable("keys"), L"right,space,enter");
    windows.KeyPress(os::vk::escape);
    EXPECT_EQ(Variable("state"), L"false false true true false -") << "Esc ends the reading";
    player->StartReading();
    EXPECT_EQ(Variable("state"), L"false false true true true -");
    windows.SetFocus(host);
    EXPECT_EQ(Variable("state"), L"false false true false false -") << "the focus gone, the reading too";
    EXPECT_TRUE(events.Has("blur"));
    player->Stop();
    windows.SetFocus(player->Window());
    windows.KeyPress(os::vk::left);
    EXPECT_EQ(Variable("keys"), L"right,space,enter,escape") << "a stopped movie hears no key";
}

// A layer is drawn once and shown as a picture; it counts as an image, and its
// handle goes with stage.free; an error in its drawing is the caller's. A frame
// that says nothing changed draws nothing.
TEST_F(ControlTest, ALayerIsDrawnOnceAndShownAsAPictureAndAFrameThatChangesNothingDrawsNothing)
{
    Play(R"lua(--!movie 1
local made = 0
local item = stage.layer(100, 25, function()
  made = made + 1
  stage.fill(0, 0, 100, 25, 0x102030)
  stage.text(4, 5, "kept", nil, 0xFFFFFF)
end)
stage.on("paint", function() stage.image(item, 30, 0) end)
stage.on("frame", function() return stage.get("change") == "yes" end)
stage.animate(true)
stage.set("made", made)
stage.set("size", table.concat({ stage.image_size(item) }, "x"))
local ok, err = pcall(stage.layer, 10, 10, function() error("inside") end)
stage.set("error", tostring(err):match("inside") or tostring(err))
ok, err = pcall(stage.layer, 10, 10, function() stage.layer(1, 1, function() end) end)
stage.set("nested", tostring(err):match("inside a layer") or tostring(err))
ok, err = pcall(stage.layer, 0, 10, function() end)
stage.set("empty", tostring(ok))
local n = 0
while stage.layer(10, 10, function() end) do n = n + 1 end
stage.set("count", n)
stage.free(item)
stage.set("freed", tostring(pcall(stage.image_size, item)))
item = stage.layer(100, 25, function() stage.text(4, 5, "again", nil, 0) end)
stage.set("again", tostring(item ~= nil))
)lua");
    EXPECT_EQ(Variable("made"), L"1");
    EXPECT_EQ(Variable("size"), L"100x25");
    EXPECT_EQ(Variable("error"), L"inside");
    EXPECT_EQ(Variable("nested"), L"inside a layer");
    EXPECT_EQ(Variable("empty"), L"false");
    EXPECT_EQ(Variable("count"), L"63") << "a layer counts as one of 64 pictures";
    EXPECT_EQ(Variable("freed"), L"false") << "a freed handle is no image";
    EXPECT_EQ(Variable("again"), L"true") << "and its place is free again";

    desktop.windows.InvalidateRect(player->Window(), nullptr);
    desktop.Advance(20);
    const auto& ops = desktop.windows.LastPaint(player->Window());
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops.back().kind, os::sim::PaintOp::Kind::widetext);
    EXPECT_EQ(ops.back().wide, L"again");
    EXPECT_EQ(ops.back().rect.left, 34) << "drawn in the layer at 4, shown at 30";
    EXPECT_GE(desktop.windows.RenderCount(), 65);

    const int paints = desktop.windows.PaintCount(player->Window());
    desktop.Advance(1000);
    EXPECT_EQ(desktop.windows.PaintCount(player->Window()), paints) << "frames that change nothing draw nothing";
    player->SetVariable(L"change", L"yes");
    desktop.Advance(1000);
    EXPECT_GE(desktop.windows.PaintCount(player->Window()), paints + 55);
}

TEST_F(ControlTest, AMovieDrawsRectanglesUnicodeTextAndImages)
{
    desktop.downloads.Serve(std::string(Base) + "logo.bmp", os::sim::DownloadResponse::Body(Bmp(4, 3, 255, 0, 0)));
    desktop.downloads.Serve(std::string(Base) + "broken.jpg", os::sim::DownloadResponse::Body("\xFF\xD8\xFF\xE0 not really"));
    desktop.downloads.Serve(std::string(Base) + "photo.jpg", os::sim::DownloadResponse::Body(Jpeg(16, 8)));
    desktop.downloads.Serve(std::string(Base) + "notes.txt", os::sim::DownloadResponse::Body("GIF89a"));
    Play(R"lua(--!movie 1
local logo
local font = { face = "Tahoma", size = 14, bold = true }
stage.on("paint", function()
  stage.fill(0, 0, stage.width(), stage.height(), 0x102040)
  local w, h = stage.measure("Привет — news", font)
  stage.text(10, 5, "Привет — news", font, 0xFFCC00)
  stage.fill(10 + w, 5, 2, h, 0xFFFFFF)
  if logo then stage.image(logo, 500, 2) end
  stage.text(540, 0, "x")
end)
stage.load_image("logo.bmp", function(img, err)
  logo = img
  fscommand("logo", string.format("%dx%d", stage.image_size(img)))
  stage.redraw()
end)
stage.load_image("broken.jpg", function(img, err) fscommand("broken", err) end)
stage.load_image("notes.txt", function(img, err) fscommand("not an image", err) end)
stage.load_image("photo.jpg", function(img, err) fscommand("photo", string.format("%dx%d", stage.image_size(img))) end)
fscommand("outside paint", tostring(pcall(stage.fill, 0, 0, 1, 1, 0)))
)lua");
    desktop.Advance(100);
    EXPECT_TRUE(events.Has("fs logo 4x3")) << AllTraces();
    EXPECT_TRUE(events.Has("fs broken the image does not decode"));
    EXPECT_TRUE(events.Has("fs not an image not a JPEG or BMP image"));
    EXPECT_TRUE(events.Has("fs photo 16x8"));
    EXPECT_TRUE(events.Has("fs outside paint false"));
    const auto& ops = Painted();
    ASSERT_EQ(ops.size(), 6u);
    EXPECT_EQ(ops[0].kind, PaintOp::Kind::fill) << "the player's white background";
    EXPECT_EQ(ops[0].color, os::Rgb(255, 255, 255));
    EXPECT_EQ(ops[1].kind, PaintOp::Kind::fill);
    EXPECT_EQ(ops[1].rect, os::Rect::FromBounds(0, 0, 600, 25));
    EXPECT_EQ(ops[1].color, os::Rgb(0x10, 0x20, 0x40));
    EXPECT_EQ(ops[2].kind, PaintOp::Kind::widetext);
    const std::wstring expectedText = { 0x41F, 0x440, 0x438, 0x432, 0x435, 0x442, L' ', 0x2014, L' ', L'n', L'e', L'w', L's' };
    EXPECT_EQ(ops[2].wide, expectedText);
    EXPECT_EQ(ops[2].font, (os::Font{ "Tahoma", -14, true }));
    EXPECT_EQ(ops[2].color, os::Rgb(0xFF, 0xCC, 0x00));
    const os::Size extent = desktop.windows.MeasureText(expectedText, { "Tahoma", -14, true });
    EXPECT_EQ(ops[2].rect, os::Rect::FromBounds(10, 5, extent.cx, extent.cy));
    EXPECT_EQ(ops[3].rect, os::Rect::FromBounds(10 + extent.cx, 5, 2, extent.cy)) << "measured like it is drawn";
    EXPECT_EQ(ops[4].kind, PaintOp::Kind::bitmap);
    EXPECT_EQ(ops[4].rect, os::Rect::FromBounds(500, 2, 4, 3));
    EXPECT_EQ(ops[5].color, os::Rgb(0, 0, 0)) << "text without a colour is black";
    for (const auto& request : desktop.downloads.Requests())
    {
        if (request.url.find(".swf") == std::string::npos)
        {
            EXPECT_EQ(request.limits.maxBytes, 4u << 20) << "an image may have 4 MiB: " << request.url;
        }
    }
}

TEST_F(ControlTest, TimersAreCappedAndCancelledByIdPrintJoinsWithTabsAndTextHasAMegabyte)
{
    desktop.downloads.Serve(std::string(Base) + "t.txt", os::sim::DownloadResponse::Body("text"));
    Play(R"lua(--!movie 1
local first = stage.every(100, function() fscommand("first") end)
for i = 2, 64 do stage.after(100000, function() end) end
fscommand("65th", tostring(pcall(stage.after, 100, function() end)))
stage.cancel(first)
print("a", 1, true)
stage.load_text("t.txt", function() end)
)lua");
    desktop.Advance(500);
    EXPECT_EQ(events.Commands(), (std::vector<std::string>{ "65th false" })) << "64 timers at most; the first cancelled";
    EXPECT_TRUE(Traced("a\t1\ttrue"));
    ASSERT_EQ(desktop.downloads.Requests().size(), 2u);
    EXPECT_EQ(desktop.downloads.Requests()[1].limits.maxBytes, 1u << 20);
}

TEST_F(ControlTest, ThePointerEntersMovesPressesAndLeavesAndTheMovieChoosesItsShape)
{
    Play(R"lua(--!movie 1
stage.on("pointer", function(kind, x, y)
  fscommand("pointer", kind .. " " .. x .. "," .. y)
  if kind == "enter" then stage.cursor("hand") elseif kind == "leave" then stage.cursor("arrow") end
end)
)lua");
    const os::Point origin = desktop.windows.ClientToScreen(player->Window(), { 0, 0 });
    desktop.windows.MouseMove({ origin.x + 20, origin.y + 5 });
    EXPECT_EQ(desktop.windows.CurrentCursor(), desktop.windows.LoadSystemCursor(os::idc::hand));
    desktop.windows.MouseMove({ origin.x + 30, origin.y + 6 });
    desktop.windows.Click({ origin.x + 30, origin.y + 6 });
    desktop.windows.MouseMove({ origin.x + 30, origin.y + 100 });
    desktop.windows.MouseMove({ origin.x + 40, origin.y + 7 });
    const std::vector<std::string> expected{
        "pointer enter 20,5", "pointer move 20,5", "pointer move 30,6",  "pointer down 30,6",
        "pointer up 30,6",    "pointer leave 0,0", "pointer enter 40,7", "pointer move 40,7"
    };
    EXPECT_EQ(events.Commands(), expected);
}

TEST_F(ControlTest, AtTwiceTheDpiTheStageScalesUnitsToPixelsAndFontsToItsSizeButNeverStretchesAPicture)
{
    desktop.ChangeMonitorDpi(0, 192); // the host window's monitor goes to 200 %
    desktop.downloads.Serve(std::string(Base) + "logo.bmp", os::sim::DownloadResponse::Body(Bmp(4, 3, 255, 0, 0)));
    Play(R"lua(--!movie 1
local logo
local font = { face = "Tahoma", size = 14 }
stage.load_image("logo.bmp", function(img) logo = img stage.redraw() end)
stage.on("paint", function()
  local w, h = stage.measure("news", font)
  fscommand("stage", stage.width() .. "x" .. stage.height() .. " scale " .. stage.scale() .. " text " .. w .. "x" .. h)
  stage.fill(3, 1, 5, 4, 0x102040)
  stage.fill(8, 1, 5, 4, 0x102040)
  stage.text(10, 5, "news", font, 0xFFCC00)
  if logo then stage.image(logo, 101, 2) end
end)
stage.on("pointer", function(kind, x, y) fscommand("pointer", kind .. " " .. x .. "," .. y) end)
)lua");
    desktop.Advance(100);
    const auto& ops = Painted();
    ASSERT_EQ(ops.size(), 5u) << AllTraces();
    EXPECT_EQ(ops[1].rect, (os::Rect{ 6, 2, 16, 10 }));
    EXPECT_EQ(ops[2].rect.left, ops[1].rect.right) << "fills that meet in units meet in pixels";
    EXPECT_EQ(ops[3].font, (os::Font{ "Tahoma", -28, false })) << "made at the device's DPI";
    EXPECT_EQ(ops[3].rect.left, 20);
    EXPECT_EQ(ops[3].rect.top, 10);
    EXPECT_EQ(ops[4].rect, os::Rect::FromBounds(202, 4, 4, 3)) << "at its scaled place, pixel for pixel";
    const os::Size extent = desktop.windows.MeasureText(L"news", { "Tahoma", -28, false });
    EXPECT_TRUE(
        events.Has("fs stage 300x13 scale 2.0 text " + std::to_string(extent.cx / 2) + "x" + std::to_string(extent.cy / 2)))
        << "600 by 25 pixels; the last line: " << (events.Commands().empty() ? "" : events.Commands().back());

    const os::Point origin = desktop.windows.ClientToScreen(player->Window(), { 0, 0 });
    desktop.windows.MouseMove({ origin.x + 41, origin.y + 20 });
    EXPECT_TRUE(events.Has("fs pointer enter 21,10")) << "20.5 rounded away from zero";
}

TEST_F(ControlTest, TheMenuTheVersionAndTheStore)
{
    Play(R"lua(--!movie 1
fscommand("read", tostring(stage.store_get("channel")) .. " " .. tostring(stage.store_get("count")) .. " " .. tostring(stage.store_get("on")))
stage.store_set("channel", "sport")
stage.store_set("count", 3)
stage.store_set("on", true)
fscommand("bad key", tostring(select(2, stage.store_set("no spaces", 1))))
local function why(ok, err) return tostring(err) end
local results = {}
for i = 1, 5 do results[i] = why(stage.store_set("big" .. i, string.rep("x", 4000))) end
fscommand("too much", table.concat(results, " "))
)lua");
    EXPECT_TRUE(events.Has("fs read nil nil nil"));
    EXPECT_TRUE(events.Has("fs bad key a store key is 1 to 64 letters, digits, '_', '.' or '-'"));
    EXPECT_TRUE(events.Has("fs too much nil nil nil nil the store is full"));
    const auto stored =
        desktop.registry.Get(os::RegRoot::currentUser, "Software\\Norvale\\Vodazovovarar\\Movies", "http://content.test");
    ASSERT_TRUE(stored) << "one value per origin under the settings key";
    EXPECT_EQ(stored->type, os::reg::binary);
    EXPECT_LE(stored->data.size(), 16u * 1024);
    player->Rewind();
    EXPECT_TRUE(events.Has("fs read sport 3.0 true")) << "kept across a fresh state";
    // Junk in the registry reads as an empty store.
    desktop.registry.PutBinary(os::RegRoot::currentUser, "Software\\Norvale\\Vodazovovarar\\Movies", "http://content.test",
                               { 'N', 'M', 'S', '1', '\n', '9', '9', ':', 'x' });
    player->Rewind();
    EXPECT_EQ(std::count(events.lines.begin(), events.lines.end(), "fs read nil nil nil"), 2);

    long version = 0;
    player->FlashVersion(version);
    EXPECT_EQ((version >> 16) & 0xFF, 10);

    std::vector<std::vector<std::string>> menus;
    desktop.windows.onPopupMenu = [&](const os::sim::PopupMenuCall& call)
    {
        std::vector<std::string> items;
        for (const auto& item : call.items)
            items.push_back(item.separator ? "-" : item.text);
        menus.push_back(items);
        return 0u;
    };
    const os::Point inside = desktop.windows.ClientToScreen(player->Window(), { 10, 10 });
    desktop.windows.Click(inside, os::vk::rbutton);
    player->SetMenu(false);
    desktop.windows.Click(inside, os::vk::rbutton);
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[0], (std::vector<std::string>{ "Stop", "Rewind", "-", "Norvale Movie Player 10 (Lua 5.4 movies)" }));
    EXPECT_EQ(menus[1], (std::vector<std::string>{ "Norvale Movie Player 10 (Lua 5.4 movies)" }));
}

extern const char* const MoviesDoc;

TEST_F(ControlTest, TheExampleOfTheMoviesDocumentPlays)
{
    const std::string doc = MoviesDoc;
    const std::size_t from = doc.find("```lua\n");
    ASSERT_NE(from, std::string::npos);
    const std::size_t to = doc.find("```", from + 7);
    Play(doc.substr(from + 7, to - from - 7));
    EXPECT_TRUE(events.Has("fs complete success")) << AllTraces();
    EXPECT_TRUE(events.Has("ready 4"));
    EXPECT_EQ(PlayerTimers(), 1u) << "it animates";
    desktop.Advance(1000);
    const auto& ops = Painted();
    ASSERT_EQ(ops.size(), 3u) << AllTraces();
    EXPECT_EQ(ops[2].kind, PaintOp::Kind::widetext);
    EXPECT_LT(ops[2].rect.left, 600 - 50) << "the line scrolled";
    const os::Point inside = desktop.windows.ClientToScreen(player->Window(), { 10, 10 });
    desktop.windows.MouseMove(inside);
    desktop.windows.Click(inside);
    EXPECT_TRUE(events.Has("fs ticker clicked"));
    EXPECT_EQ(desktop.windows.CurrentCursor(), desktop.windows.LoadSystemCursor(os::idc::hand));
    EXPECT_FALSE(Traced("stopped"));
}

TEST_F(ControlTest, APausedMovieHearsNothingAFailedOneGivesThePointerBackAndTracesAreCapped)
{
    Play(R"lua(--!movie 1
local ticks = 0
stage.every(100, function() ticks = ticks + 1 fscommand("tick", tostring(ticks)) end)
stage.on("pointer", function(kind)
  fscommand("pointer", kind)
  if kind == "enter" then stage.cursor("hand") end
  if kind == "down" then for i = 1, 1500 do print("line " .. i) end error("boom") end
end)
)lua");
    const os::Point origin = desktop.windows.ClientToScreen(player->Window(), { 0, 0 });
    desktop.Advance(250);
    EXPECT_EQ(events.Commands(), (std::vector<std::string>{ "tick 1", "tick 2" }));
    player->Stop();
    desktop.Advance(500);
    desktop.windows.MouseMove({ origin.x + 20, origin.y + 5 });
    EXPECT_EQ(events.Commands().size(), 2u) << "no timer and no pointer while stopped";
    player->Play();
    desktop.Advance(100);
    EXPECT_EQ(events.Commands().back(), "tick 3");

    desktop.windows.MouseMove({ origin.x + 300, origin.y + 100 });
    desktop.windows.MouseMove({ origin.x + 30, origin.y + 6 });
    EXPECT_EQ(desktop.windows.CurrentCursor(), desktop.windows.LoadSystemCursor(os::idc::hand));
    const std::size_t before = Traces().size();
    desktop.windows.Click({ origin.x + 30, origin.y + 6 });
    ASSERT_EQ(Traces().size() - before, 1002u) << "1000 of its own lines, a word that more were dropped, why it stopped";
    EXPECT_NE(Traces()[before + 999].find("line 1000"), std::string::npos);
    EXPECT_NE(Traces()[before + 1000].find("further trace lines are dropped"), std::string::npos);
    EXPECT_NE(Traces().back().find("stopped: "), std::string::npos);
    EXPECT_NE(Traces().back().find("boom"), std::string::npos);
    desktop.windows.MouseMove({ origin.x + 31, origin.y + 6 });
    EXPECT_EQ(desktop.windows.CurrentCursor(), desktop.windows.LoadSystemCursor(os::idc::arrow))
        << "the failed movie's hand is gone";
    const std::size_t commands = events.Commands().size();
    desktop.Advance(1000);
    EXPECT_EQ(events.Commands().size(), commands) << "its timers died with it";
}

TEST_F(ControlTest, VariablesSetDuringACallbackAreToldAfterItInOrderTheLatestSixtyFour)
{
    events.onFSCommand = [this](const std::string& command, const std::string&)
    {
        if (command != "ask")
            return;
        for (int i = 1; i <= 70; ++i)
            player->SetVariable(L"v" + std::to_wstring(i), std::to_wstring(i));
        EXPECT_EQ(Variable("v70"), L"70") << "readable at once";
    };
    Play(R"lua(--!movie 1
stage.on("variable", function(name, value) fscommand("told", name .. "=" .. value .. " " .. stage.get(name)) end)
fscommand("ask")
fscommand("after")
)lua");
    const auto commands = events.Commands();
    ASSERT_EQ(commands.size(), 1u + 1u + 64u);
    EXPECT_EQ(commands[0], "ask");
    EXPECT_EQ(commands[1], "after") << "nothing is told inside the running callback";
    EXPECT_EQ(commands[2], "told v7=7 7") << "the oldest six were dropped";
    EXPECT_EQ(commands.back(), "told v70=70 70");
}

TEST_F(ControlTest, AMovieThatFailsWhileAnimatingCostsNoMoreWakeUps)
{
    Play(R"lua(--!movie 1
local frames = 0
stage.on("frame", function() frames = frames + 1 if frames == 3 then error("frame three") end end)
stage.after(5000, function() fscommand("late") end)
stage.animate(true)
)lua");
    desktop.Advance(200);
    EXPECT_TRUE(Traced("frame three"));
    desktop.windows.ClearMessageLog();
    desktop.Advance(6000);
    EXPECT_EQ(desktop.windows.CountMessages(player->Window(), os::wm::timer), 0) << "no frame or timer left running";
    EXPECT_TRUE(events.Commands().empty());
}

TEST(Images, AJpegSizeIsCheckedInItsHeaderBeforeAnythingIsDecoded)
{
    const std::string jpeg = Jpeg(16, 8);
    const std::vector<std::uint8_t> bytes(jpeg.begin(), jpeg.end());
    bool tooLarge = false;
    EXPECT_TRUE(forms::DecodeJpeg(bytes, "x", 15, &tooLarge).Empty());
    EXPECT_TRUE(tooLarge);
    const os::Bitmap fits = forms::DecodeJpeg(bytes, "x", 16, &tooLarge);
    EXPECT_EQ(fits.width, 16);
    EXPECT_EQ(fits.pixels.size(), 16u * 8u);
    const std::string tall = Jpeg(8, 16);
    const std::vector<std::uint8_t> tallBytes(tall.begin(), tall.end());
    EXPECT_TRUE(forms::DecodeJpeg(tallBytes, "x", 15).Empty());
    EXPECT_EQ(forms::DecodeJpeg(tallBytes, "x", 16).height, 16);
    std::string why;
    const std::string wide = Jpeg(4097, 1);
    EXPECT_TRUE(player::movie::DecodeImage({ wide.begin(), wide.end() }, why).Empty());
    EXPECT_EQ(why, "the image is larger than 4096 pixels a side");
    for (const int side : { 4096, 4097 })
    {
        const std::string bmp = Bmp(side, 1, 1, 2, 3);
        EXPECT_EQ(player::movie::DecodeImage({ bmp.begin(), bmp.end() }, why).Empty(), side > 4096) << side;
    }

    // Found by fuzzing: a few hundred bytes that claim 16384 x 16384 pixels took a
    // gigabyte and seconds of decoding grey before the cut-short data refused them.
    std::vector<std::uint8_t> huge = bytes;
    const std::uint8_t marker[] = { 0xFF, 0xC0 }; // the frame header
    const auto sof = static_cast<std::size_t>(std::search(huge.begin(), huge.end(), marker, marker + 2) - huge.begin());
    ASSERT_LT(sof, huge.size());
    for (std::size_t at : { sof + 5, sof + 7 }) // height, then width: 16384, big-endian
        huge[at] = 0x40, huge[at + 1] = 0;
    huge.resize(huge.size() - 40); // and cut short
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(forms::DecodeJpeg(huge, "huge").Empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}
