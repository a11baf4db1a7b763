// The Lua sandbox of one movie: a state built from nothing, with only what movies
// may use, bounded in memory (a capped allocator) and, per entry, in instructions
// (a count hook). Lua is C and reports errors with longjmp: every call into the
// state runs inside one protected call made here, and the functions that Lua
// calls keep no C++ object alive across a Lua call that may fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct lua_State;
struct lua_Debug;

namespace player::movie
{
    struct Limits
    {
        std::size_t memory = 32u << 20;          // bytes of one movie's Lua state
        std::uint64_t instructions = 10'000'000; // per entry, nested entries included
        std::size_t patternSubject = 256u << 10; // string.find/match/gmatch/gsub
        std::size_t patternLength = 256;
        double patternCost = 16777216.0; // 2^24 worst-case steps: about 0.1 s
    };

    // The worst-case number of steps a Lua pattern may take on a subject of this
    // length, roughly: (len + 1) ^ k * 2 ^ o, where k counts the quantified items
    // that have more pattern after them, %b and back-references, plus one when the
    // pattern is not anchored, and o counts the optional items.
    double PatternCost(std::string_view pattern, std::size_t subjectLength);

    // Replaces the table on the top of the stack with a read-only view of it whose
    // metatable is locked.
    void MakeReadOnly(lua_State* L);

    class Sandbox
    {
      public:
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
        bool RunCompiled(std::string& error);

        // Runs fn(L) protected, with `context` as its only argument (a light
        // userdata). The outermost entry gets a fresh instruction budget. False with
        // the reason when it fails (an error, a broken limit, a stopped movie).
        bool Protected(int (*fn)(lua_State*), void* context, std::string& error);
        int Depth() const { return _depth; }

        // After Stop, every instruction of the movie fails, so that whatever runs
        // unwinds at once and nothing runs again.
        void Stop(const char* reason);
        bool Stopped() const { return _stopped; }
        // Work that a library function does in C counts against the entry's budget,
        // one instruction per element; false (and stopped) when it is spent.
        bool Charge(std::int64_t elements);
        const std::string& StopReason() const { return _stopReason; }
        std::size_t MemoryUsed() const { return _used; }
        // Every sandbox of the process together, for the endurance checks: the Lua
        // states open now and the bytes they hold.
        static std::size_t LiveStates();
        static std::size_t LiveMemory();

        lua_State* State() const { return _L; }
        // A reference to the sandbox's globals in the registry (for load's default env).
        int GlobalsRef() const { return _globals; }

      private:
        static void* Allocate(void* ud, void* ptr, std::size_t osize, std::size_t nsize) noexcept;
        static void Hook(lua_State* L, lua_Debug* ar);
        static int Setup(lua_State* L);

        Limits _limits;
        void* _owner;
        int (*_install)(lua_State*);
        lua_State* _L = nullptr;
        bool _ready = false;
        std::size_t _used = 0;
        bool _memoryRefused = false;
        bool _stopped = false;
        std::string _stopReason;
        std::int64_t _budget = 0;
        int _depth = 0;
        int _globals = -2; // LUA_NOREF
        int _chunk = -2;

      public:
        // For the bounded pattern functions.
        const Limits& GetLimits() const { return _limits; }
    };
} // namespace player::movie
