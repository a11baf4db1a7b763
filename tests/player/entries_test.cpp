// One entry into a movie at a time: what arrives while its script (or the host's
// handler of its FS command, with any box it shows) is running waits or is
// dropped; a host that stops the movie from inside its command ends the script
// there; and the table library works on the raw table, whatever its metatable says.
#include "player/movie/sandbox.h"
#include "player/player_fixture.h"

#include <chrono>

using testing_support::PlayerFixture;

namespace
{
    class EntriesTest : public PlayerFixture
    {
    };
} // namespace

TEST_F(EntriesTest, NothingRunsInsideAnEntryAndWhatWaitedComesAfter)
{
    os::sim::DownloadResponse slow = os::sim::DownloadResponse::Body("text");
    slow.delayMs = 100;
    desktop.downloads.Serve(std::string(Base) + "a.txt", slow);
    events.onFSCommand = [&](const std::string& command, const std::string&)
    {
        if (command != "box")
            return;
        // As a modal box does: its loop runs for a while, the pointer moves over
        // the movie and the window is painted at once.
        desktop.windows.MouseMove(desktop.windows.ClientToScreen(player->Window(), { 5, 5 }));
        desktop.windows.InvalidateRect(player->Window(), nullptr);
        desktop.windows.UpdateWindow(player->Window());
        desktop.Advance(300);
    };
    Play(R"lua(--!movie 1
local inside = false
local function check(name) if inside then fscommand("nested", name) end end
stage.on("paint", function() check("paint") if not inside then fscommand("painted") end end)
stage.on("pointer", function() check("pointer") end)
stage.on("frame", function() check("frame") end)
stage.every(10, function() check("timer") end)
stage.animate(true)
stage.load_text("a.txt", function(text) check("load") fscommand("loaded", text) end)
stage.after(50, function()
  inside = true
  fscommand("box")
  inside = false
  fscommand("back")
end)
)lua");
    desktop.Advance(500);
    const auto commands = events.Commands();
    EXPECT_EQ(std::count_if(commands.begin(), commands.end(), [](const std::string& c) { return c.rfind("nested", 0) == 0; }), 0)
        << ::testing::PrintToString(commands);
    const auto at = [&](const std::string& c)
    {
        return std::find(commands.begin(), commands.end(), c) - commands.begin();
    };
    ASSERT_LT(at("back"), static_cast<long>(commands.size()));
    EXPECT_GT(at("loaded text"), at("back")) << "the load that finished under the box is told after it";
    EXPECT_LT(at("loaded text"), static_cast<long>(commands.size()));
    EXPECT_GT(std::find(commands.begin() + at("back"), commands.end(), "painted") - commands.begin(), at("back"))
        << "the paint that the box put off comes after it";
    EXPECT_FALSE(Traced("stopped"));
}

TEST_F(EntriesTest, AHostThatStopsTheMovieFromItsCommandEndsTheScriptThereAndPlayGoesOn)
{
    events.onFSCommand = [&](const std::string& command, const std::string&)
    {
        if (command == "halt")
            player->Stop();
    };
    Play(R"lua(--!movie 1
stage.every(100, function() fscommand("tick") end)
local ok = pcall(fscommand, "halt")
fscommand("after halt", tostring(ok))
)lua");
    desktop.Advance(500);
    EXPECT_FALSE(events.Has("fs after halt false")) << "not even a pcall goes on";
    EXPECT_FALSE(events.Has("fs after halt true"));
    EXPECT_FALSE(events.Has("fs tick"));
    EXPECT_FALSE(Traced("stopped")) << "the movie did not fail";
    ASSERT_TRUE(Current());
    EXPECT_FALSE(Current()->Stopped());
    player->Play();
    desktop.Advance(350);
    EXPECT_GE(std::count(events.lines.begin(), events.lines.end(), "fs tick"), 3);
}

TEST_F(EntriesTest, TheTableLibraryWorksOnTheRawTable)
{
    Play(R"lua(--!movie 1
local t = { 5, 3, 9, 1 }
setmetatable(t, {
  __index = function() error("read through __index") end,
  __newindex = function() error("wrote through __newindex") end,
  __len = function() error("asked __len") end,
})
table.insert(t, 2, 7)
table.insert(t, 4)
local removed = table.remove(t, 1)
fscommand("edited", removed .. ":" .. table.concat(t, ","))
table.sort(t)
fscommand("sorted", table.concat(t, ","))
table.sort(t, function(a, b) return a > b end)
fscommand("reversed", table.concat(t, ",") .. " " .. select("#", table.unpack(t)) .. " " .. table.concat({ table.unpack(t, 2, 3) }, ","))
table.move(t, 1, 2, 4)
table.move(t, 5, 5, 1)
fscommand("moved", table.concat(t, ","))
local big = {}
for i = 1, 5000 do big[i] = (i * 7919) % 5003 end
table.sort(big)
local ordered = true
for i = 2, #big do ordered = ordered and big[i - 1] <= big[i] end
fscommand("big", tostring(ordered))
fscommand("liar", tostring(pcall(table.sort, { 3, 1, 2 }, function() return true end)))
fscommand("hole", tostring(pcall(table.concat, { 1, nil, 3 }, ",", 1, 3)))
fscommand("thrower", select(2, pcall(table.sort, { 2, 1 }, function() error("no order", 0) end)))
)lua");
    EXPECT_TRUE(events.Has("fs edited 5:7,3,9,1,4")) << AllTraces();
    EXPECT_TRUE(events.Has("fs sorted 1,3,4,7,9"));
    EXPECT_TRUE(events.Has("fs reversed 9,7,4,3,1 5 7,4"));
    EXPECT_TRUE(events.Has("fs moved 7,7,4,9,7"));
    EXPECT_TRUE(events.Has("fs big true"));
    EXPECT_TRUE(events.Has("fs liar true")) << "an order function that lies cannot make a sort run on";
    EXPECT_TRUE(events.Has("fs hole false"));
    EXPECT_TRUE(events.Has("fs thrower no order"));
}

TEST_F(EntriesTest, TheHostsWorkIsNotTheScriptsTimeAndAMovieGoneHoldsNothing)
{
    // The host keeps the command for longer than a turn's whole time budget, busy.
    events.onFSCommand = [](const std::string& command, const std::string&)
    {
        if (command != "slow")
            return;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
        while (std::chrono::steady_clock::now() < until)
        {
        }
    };
    Play(R"lua(--!movie 1
local keep = ("x"):rep(1 << 20)
fscommand("slow")
fscommand("after", tostring(#keep))
)lua");
    EXPECT_TRUE(events.Has("fs after 1048576")) << AllTraces();
    EXPECT_FALSE(Traced("stopped"));
    EXPECT_GT(player::movie::Sandbox::LiveMemory(), 1u << 20);
    player.reset();
    EXPECT_EQ(player::movie::Sandbox::LiveStates(), 0u);
    EXPECT_EQ(player::movie::Sandbox::LiveMemory(), 0u) << "every byte it held is given back";
}
