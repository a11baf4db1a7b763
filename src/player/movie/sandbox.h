// The Lua sandbox of one movie: a state built from nothing, with only what movies
// may use (library.h), bounded in memory (a capped allocator) and, per turn, in
// instructions and in time (a count hook that also reads the clock). Lua is C and
// reports errors with longjmp: every call into the state runs inside one protected
// call made here, and the functions that Lua calls keep no C++ object alive across
// a Lua call that may fail.
//
// A *turn* is what one outside event makes the movie do: the callback it runs, and
// the variables that the host sets meanwhile, delivered once the callback has
// returned. Each turn gets a fresh budget; nothing the movie does can give itself a
// new one.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct lua_State;
struct lua_Debug;

namespace player::movie
{
    struct Limits
    {
        std::size_t memory = 32u << 20;          // bytes of one movie: its Lua state and what the host keeps for it
        std::uint64_t instructions = 10'000'000; // per turn
        std::chrono::milliseconds time{ 500 };   // of the script's own running per turn (the host's work excluded)
        std::size_t patternSubject = 256u << 10; // string.find/match/gmatch/gsub
        std::size_t patternLength = 256;
        double patternCost = 16777216.0; // 2^24 worst-case steps: about 0.1 s
    };

    // Replaces the table on the top of the stack with a read-only view of it whose
    // metatable is locked.
    void MakeReadOnly(lua_State* L);

    class Sandbox
    {
      public:
        enum class Outcome
        {
            ok,
            failed,     // an error, a broken limit, a stopped movie: the reason is given
            interrupted // the host ended the entry (Interrupt); the movie goes on
        };

        // `owner` is handed back by Owner() to the functions that the movie calls.
        // `install` runs once, protected, with the sandbox's globals on the top of
        // the stack, to add the host's functions to them.
        Sandbox(const Limits& limits, void* owner, int (*install)(lua_State*));
        ~Sandbox();
        Sandbox(const Sandbox&) = delete;
        Sandbox& operator=(const Sandbox&) = delete;

        bool Ready() const { return _ready; }
        static Sandbox& Of(lua_State* L);
        void* Owner() const { return _owner; }

        // Compiles a text chunk that runs in the sandbox's globals; it stays in the
        // registry until Run. False with the reason when it does not compile.
        bool Compile(std::string_view source, const std::string& chunkName, std::string& error);
        Outcome RunCompiled(std::string& error);

        // A fresh budget of instructions and time; only when no entry is running.
        void BeginTurn();
        // Runs fn(L) protected, with `context` as its only argument (a light
        // userdata), on the budget of the current turn.
        Outcome Protected(int (*fn)(lua_State*), void* context, std::string& error);
        int Depth() const { return _depth; }

        // After Stop, every instruction of the movie fails, so that whatever runs
        // unwinds at once and nothing runs again.
        void Stop(std::string_view reason) noexcept;
        // Stops it for a refused allocation (with the cap in the reason).
        void StopForMemory() noexcept;
        bool Stopped() const { return _stopped; }
        const std::string& StopReason() const { return _stopReason; }
        // Ends the running entry the same way, but the movie goes on afterwards.
        void Interrupt();
        bool Interrupting() const { return _interrupting; }
        // Raises the error that unwinds a stopped or interrupted movie. It allocates
        // nothing, so it works in a state whose memory is spent. Does not return.
        [[noreturn]] static void Unwind(lua_State* L);

        // Work done in C for the movie counts against the turn's budget, one
        // instruction per unit; false (and stopped) when the budget is spent.
        bool Charge(std::int64_t units);
        // While the host works on the movie's behalf (an FS command, which may run
        // a modal box), the turn's clock stands still.
        void PauseClock();
        void ResumeClock();
        // The thread's processor time in microseconds. The clock that the hook reads is
        // the wall's; once a turn has had its time by the wall, it stops only when the
        // processor has spent it too (a busy machine is not the movie's fault), or
        // when the wall has seen four times as much. The processor clock may be dear
        // to read (under Wine a file of /proc each time): a turn reads it only once
        // it has run a 32nd of its time by the wall, and counts what ran before
        // that as the processor's.
        void SetProcessorClock(std::function<std::uint64_t()> clock) { _processor = std::move(clock); }

        // Memory that the host keeps for the movie (variables, pictures) counts
        // against the same cap as its Lua state. Reserve fails, and stops the movie,
        // when the cap would be passed: a refused allocation ends a movie.
        bool Reserve(std::size_t bytes);
        void Unreserve(std::size_t bytes);
        std::size_t MemoryUsed() const { return _used; }
        const Limits& GetLimits() const { return _limits; }
        std::string MemoryReason() const;

        // Every sandbox of the process together, for the endurance checks: the Lua
        // states open now and the bytes they hold, and the longest that any turn's
        // script has run since the last reset.
        static std::size_t LiveStates();
        static std::size_t LiveMemory();
        static std::chrono::nanoseconds LongestTurn();
        static void ResetLongestTurn();

        lua_State* State() const { return _L; }
        // A reference to the sandbox's globals in the registry (for load's default env).
        int GlobalsRef() const { return _globals; }

      private:
        using Clock = std::chrono::steady_clock;
        static void* Allocate(void* ud, void* ptr, std::size_t osize, std::size_t nsize) noexcept;
        static void Hook(lua_State* L, lua_Debug* ar);
        static int Setup(lua_State* L);
        Clock::duration Elapsed() const;
        bool OutOfTime();
        void NoteTurnLength() const;
        void Arm(); // every instruction reaches the hook

        Limits _limits;
        void* _owner;
        int (*_install)(lua_State*);
        lua_State* _L = nullptr;
        bool _ready = false;
        std::size_t _used = 0;
        bool _stopped = false;
        bool _interrupting = false;
        std::string _stopReason;
        std::int64_t _budget = 0;
        Clock::duration _ran{};     // the turn's script time before the last resume
        Clock::time_point _resumed; // when the clock last started
        int _paused = 0;            // host calls under way
        std::function<std::uint64_t()> _processor;
        // The processor clock when the turn had run _processorWall by the wall; unread
        // until then.
        std::optional<std::uint64_t> _turnProcessor;
        Clock::duration _processorWall{};
        int _depth = 0;
        int _globals = -2; // LUA_NOREF
        int _unwind = -2;  // the preallocated error
        int _chunk = -2;
    };
} // namespace player::movie
