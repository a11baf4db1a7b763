// The sandbox: what a movie cannot reach, and the limits that stop a movie
// without stopping its host or the other movies.
#include "player/movie/sandbox.h"
#include "player/player_fixture.h"

#include <chrono>

using testing_support::PlayerEventLog;
using testing_support::PlayerFixture;

namespace
{
    class SandboxTest : public PlayerFixture
    {
    };

    struct Stopper
    {
        const char* name;
        const char* script;
        const char* reason; // a part of the trace line
    };

    class LimitTest : public PlayerFixture, public ::testing::WithParamInterface<Stopper>
    {
    };
} // namespace

TEST_F(SandboxTest, EscapesAreRefusedAndWhatMoviesMayUseWorks)
{
    Play(R"lua(--!movie 1
local function try(name, f)
  local ok = pcall(f)
  fscommand("try", name .. "=" .. tostring(ok))
end
try("io.open", function() return io.open("/etc/passwd") end)
try("os.execute", function() return os.execute("true") end)
try("require", function() return require("os") end)
try("package", function() return package.loadlib("x", "y") end)
try("debug", function() return debug.getregistry() end)
try("dofile", function() return dofile("/etc/passwd") end)
try("loadfile", function() return loadfile("/etc/passwd") end)
try("collectgarbage", function() return collectgarbage("stop") end)
try("rawset", function() return rawset(_G, "stage", {}) end)
try("string.dump", function() return string.dump(print) end)
try("binary chunk", function() return assert(load("\27Lua\84\0\25\147\13\10\26\10\4\8\8xV")) end)
try("reader function", function() return assert(load(function() return nil end)) end)
try("unlock _G", function() setmetatable(_G, nil) end)
try("string metatable", function() getmetatable("").__index.rep = nil end)
try("stage table", function() stage.fill = print end)
try("stage global", function() stage = nil end)
try("library table", function() string.find = nil end)
try("finalizer", function() setmetatable({}, { __gc = function() end }) end)
try("table.move in C for ever", function() table.move({}, 1, 1e12, 2) end)
try("table.sort of a huge table", function() local t = {} for i = 1, 200000 do t[i] = -i end table.sort(t) end)
-- what movies may use
local f = load("return 6 * 7")
fscommand("load text", tostring(f and f()))
local env = {}
load("x = 1", "chunk", "t", env)()
fscommand("load env", tostring(env.x) .. " " .. tostring(rawget(_G, "x")))
own = 5
fscommand("own global", tostring(own))
fscommand("libraries", string.format("%d %s %d %s", math.max(1, 2), table.concat({ "a", "b" }, ","), utf8.len("héllo"),
  coroutine.wrap(function() coroutine.yield("co") end)()))
fscommand("methods", ("  a  b  "):gsub("%s+", " "))
local t = { 3, 1, 2 }
table.sort(t)
fscommand("sorted", table.concat(table.move(t, 1, 3, 2, {}), ",", 2, 4))
)lua");
    const auto commands = events.Commands();
    for (const auto& line : commands)
    {
        if (line.rfind("try ", 0) == 0)
        {
            EXPECT_NE(line.substr(line.size() - 5), "=true") << line;
        }
    }
    EXPECT_EQ(std::count_if(commands.begin(), commands.end(), [](const std::string& c) { return c.rfind("try ", 0) == 0; }), 20);
    EXPECT_TRUE(events.Has("fs load text 42"));
    EXPECT_TRUE(events.Has("fs load env 1 nil"));
    EXPECT_TRUE(events.Has("fs own global 5"));
    EXPECT_TRUE(events.Has("fs libraries 2 a,b 5 co"));
    EXPECT_TRUE(events.Has("fs methods  a b "));
    EXPECT_TRUE(events.Has("fs sorted 1,2,3"));
    EXPECT_TRUE(events.Has("ready 4")) << AllTraces();
}

TEST_P(LimitTest, StopsTheMovieWithATraceAndLeavesTheHostAndOtherMoviesRunning)
{
    // Another movie plays beside it the whole time.
    PlayerEventLog otherEvents;
    auto other = Make(otherEvents, os::Rect::FromBounds(600, 0, 100, 25));
    desktop.downloads.Serve(std::string(Base) + "other.swf",
                            os::sim::DownloadResponse::Body("--!movie 1\nstage.every(100, function() fscommand('tick') end)\n"));
    other->SetMovie(Wide(std::string(Base) + "other.swf"));

    const auto started = std::chrono::steady_clock::now();
    Play(std::string("--!movie 1\n") + GetParam().script);
    desktop.Advance(1000);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    EXPECT_TRUE(Traced("movie " + std::string(Base) + "test.swf: stopped: ")) << AllTraces();
    EXPECT_TRUE(Traced(GetParam().reason)) << AllTraces();
    EXPECT_FALSE(events.Has("fs after")) << "the script did not go on";
    EXPECT_TRUE(!Current() || Current()->Stopped());
    EXPECT_LT(seconds, 20.0);
    const auto ticks = std::count(otherEvents.lines.begin(), otherEvents.lines.end(), "fs tick");
    EXPECT_GE(ticks, 9) << "the other movie went on";
    // The stopped movie never runs again, and its control still answers the host.
    player->SetVariable(L"x", L"1");
    EXPECT_EQ(Variable("x"), L"1");
    desktop.Advance(1000);
    EXPECT_FALSE(events.Has("fs after"));
}

INSTANTIATE_TEST_SUITE_P(
    Limits, LimitTest,
    ::testing::Values(
        Stopper{ "RepMemoryBomb", "local s = string.rep('x', 1 << 30)\nfscommand('after')", "memory" },
        Stopper{ "GrowingTable", "local t = {}\nfor i = 1, 1e9 do t[i] = ('x'):rep(4 << 20) end\nfscommand('after')", "memory" },
        Stopper{ "EndlessLoop", "while true do end\nfscommand('after')", "ran too long" },
        Stopper{ "LoopThatCatchesItsErrors", "while true do pcall(function() while true do end end) end\nfscommand('after')",
                 "ran too long" },
        Stopper{ "QuadraticWorkInC", "local t = {}\nfor i = 1, 1e6 do table.insert(t, 1, i) end\nfscommand('after')",
                 "ran too long" },
        Stopper{ "BigCopiesInALoop",
                 "local big = ('x'):rep(4 << 20)\nfor i = 1, 1e6 do local x = big .. i end\nfscommand('after')", "ran too long" },
        Stopper{ "LoopInACoroutine", "coroutine.wrap(function() while true do end end)()\nfscommand('after')", "ran too long" },
        Stopper{ "DeepRecursion", "local function f(n) return f(n + 1) + 1 end\nf(1)\nfscommand('after')", "stopped: " },
        Stopper{ "DeepMetamethods",
                 "local t = setmetatable({}, { __index = function(t, k) return t[k] end })\nlocal _ = t.x\nfscommand('after')",
                 "stack overflow" },
        Stopper{ "ErrorInACallback",
                 "stage.after(200, function() error('boom in a timer') end)\nstage.after(400, function() fscommand('after') end)",
                 "boom in a timer" },
        Stopper{
            "ErrorObjectThatIsNotAString",
            "stage.on('paint', function() error({}) end)\nstage.redraw()\nstage.after(400, function() fscommand('after') end)",
            "not a string" },
        Stopper{ "LoopInAFrame",
                 "stage.on('frame', function() while true do end end)\nstage.animate(true)\nstage.after(400, function() "
                 "fscommand('after') end)",
                 "ran too long" },
        Stopper{ "SyntaxError", "fscommand('after'\n", "does not compile" },
        // Compiling runs in C: every byte of a loaded chunk is charged.
        Stopper{ "BigChunksLoaded", "local s = ('x = 1\\n'):rep(1 << 20)\nfor i = 1, 10 do load(s) end\nfscommand('after')",
                 "ran too long (instruction budget)" }),
    [](const ::testing::TestParamInfo<Stopper>& p) { return p.param.name; });

TEST_F(SandboxTest, PathologicalPatternsAreRefusedAtOnceAndOrdinaryOnesWork)
{
    const auto started = std::chrono::steady_clock::now();
    Play(R"lua(--!movie 1
local s = string.rep("a", 100000)
local function report(name, ok, err) fscommand(name, tostring(ok) .. " " .. tostring(err)) end
report("nested", pcall(string.find, s, ".-.-.-.-.-.-b"))
report("method", pcall(function() return s:match("(a*)*b") end))
report("gsub", pcall(string.gsub, s, "a-a-a-b", ""))
report("huge subject", pcall(string.find, string.rep("a", 300000), "a"))
report("plain", pcall(string.find, s, ".-.-.-aab", 1, true))
report("trailing", pcall(string.gsub, s, "a+", "b"))
report("trim", pcall(string.match, "  headline  ", "^%s*(.-)%s*$"))
report("fields", pcall(string.match, "a|b|c", "([^|]*)|([^|]*)"))
report("at the cap", pcall(string.find, string.rep("a", 4000), ".-b"))
)lua");
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(seconds, 2.0);
    const auto commands = events.Commands();
    ASSERT_EQ(commands.size(), 9u) << AllTraces();
    EXPECT_EQ(commands[0].rfind("nested false ", 0), 0u) << commands[0];
    EXPECT_NE(commands[0].find("too costly"), std::string::npos);
    EXPECT_EQ(commands[1].rfind("method false", 0), 0u) << commands[1];
    EXPECT_EQ(commands[2].rfind("gsub false", 0), 0u) << commands[2];
    EXPECT_EQ(commands[3].rfind("huge subject false", 0), 0u) << commands[3];
    EXPECT_EQ(commands[4], "plain true nil");
    EXPECT_EQ(commands[5], "trailing true b");
    EXPECT_EQ(commands[6], "trim true headline");
    EXPECT_EQ(commands[7], "fields true a");
    EXPECT_EQ(commands[8], "at the cap true nil");
}

TEST_F(SandboxTest, EachCallbackHasABudgetOfItsOwn)
{
    // Six million instructions twice: each within one entry's ten million.
    Play(R"lua(--!movie 1
local n = 0
stage.every(100, function()
  for i = 1, 6000000 do end
  n = n + 1
  fscommand("done", tostring(n))
end)
)lua");
    desktop.Advance(250);
    EXPECT_EQ(events.Commands(), (std::vector<std::string>{ "done 1", "done 2" }));
    EXPECT_FALSE(Traced("stopped"));
}

// A busy machine is not the movie's fault: past its time by the wall, a turn stops
// once the processor has spent that time too (what ran before the clock was first
// read counting as spent), or at four times it by the wall. A short turn never
// reads the processor clock, which may be dear to read.
TEST(SandboxTime, TheProcessorClockDecidesPastTheWallsTimeAndIsNotReadInAShortTurn)
{
    using namespace std::chrono;
    player::movie::Limits limits;
    limits.time = milliseconds(320);
    limits.instructions = 1'000'000'000'000;
    for (const double share : { 1.0, 0.0 }) // the processor's share of the wall
    {
        player::movie::Sandbox box(limits, nullptr, [](lua_State*) { return 0; });
        ASSERT_TRUE(box.Ready());
        int reads = 0;
        const auto start = steady_clock::now();
        box.SetProcessorClock(
            [&]
            {
                ++reads;
                const auto wall = duration_cast<microseconds>(steady_clock::now() - start).count();
                return static_cast<std::uint64_t>(5'000'000 + share * static_cast<double>(wall));
            });
        std::string error;
        ASSERT_TRUE(box.Compile("local n = 0 for i = 1, 1000 do n = n + i end", "short", error)) << error;
        EXPECT_EQ(box.RunCompiled(error), player::movie::Sandbox::Outcome::ok) << error;
        EXPECT_EQ(reads, 0) << share;

        ASSERT_TRUE(box.Compile("while true do end", "busy", error)) << error;
        const auto began = steady_clock::now();
        EXPECT_EQ(box.RunCompiled(error), player::movie::Sandbox::Outcome::failed) << share;
        const auto ran = steady_clock::now() - began;
        EXPECT_NE(error.find("time budget"), std::string::npos) << error;
        if (share > 0)
            EXPECT_LT(ran, 2 * limits.time) << "stopped at its time";
        else
        {
            EXPECT_GE(ran, 4 * limits.time) << "the processor spent little: four times by the wall";
            EXPECT_LT(ran, 4 * limits.time + limits.time / 2) << "and no longer";
        }
    }
}
