#include "player/movie/sandbox.h"

#include "hardening.h"
#include "player/movie/library.h"

#include <lua.hpp>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>

namespace player::movie
{
    namespace
    {
        // Instructions between two visits of the hook, which counts them and reads
        // the clock. Some single instructions take long (comparing two strings of
        // megabytes), so the visits are frequent.
        constexpr int HookEvery = 250;

        std::atomic<std::size_t> liveStates{ 0 };
        std::atomic<std::size_t> liveMemory{ 0 };
        std::atomic<std::int64_t> longestTurn{ 0 };

        // The secret that keys Lua's table hashes, drawn once per process.
        void DrawSecret()
        {
            static std::once_flag once;
            std::call_once(once,
                           []
                           {
                               try
                               {
                                   std::random_device device;
                                   const unsigned long long high = device();
                                   ticker_lua_set_secret((high << 32) ^ device());
                               }
                               catch (...)
                               {
                                   // hardening.c keys itself from the clock and an address.
                               }
                           });
        }

        int ReadOnlyError(lua_State* L)
        {
            return luaL_error(L, "the player's tables are read-only");
        }

        // __newindex of the movie's globals: its own names are free, the player's are not.
        int GuardedGlobalSet(lua_State* L)
        {
            lua_pushvalue(L, 2);
            if (lua_rawget(L, lua_upvalueindex(1)) != LUA_TNIL)
                return luaL_error(L, "'%s' belongs to the player and is read-only",
                                  lua_tostring(L, 2) ? lua_tostring(L, 2) : "?");
            lua_settop(L, 3);
            lua_rawset(L, 1);
            return 0;
        }

        int Panic(lua_State* L)
        {
            const char* msg = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "?";
            std::fprintf(stderr, "movie player: unprotected Lua error: %s\n", msg);
            return 0; // Lua aborts
        }
    } // namespace

    // A read-only view of the table on the top of the stack, replacing it.
    void MakeReadOnly(lua_State* L)
    {
        lua_newtable(L);                // T P
        lua_createtable(L, 0, 3);       // T P MT
        lua_pushvalue(L, -3);           // T P MT T
        lua_setfield(L, -2, "__index"); // T P MT
        lua_pushcfunction(L, ReadOnlyError);
        lua_setfield(L, -2, "__newindex");
        lua_pushliteral(L, "locked");
        lua_setfield(L, -2, "__metatable");
        lua_setmetatable(L, -2); // T P
        lua_remove(L, -2);       // P
    }

    std::size_t Sandbox::LiveStates()
    {
        return liveStates.load();
    }

    std::size_t Sandbox::LiveMemory()
    {
        return liveMemory.load();
    }

    std::chrono::nanoseconds Sandbox::LongestTurn()
    {
        return std::chrono::nanoseconds(longestTurn.load());
    }

    void Sandbox::ResetLongestTurn()
    {
        longestTurn = 0;
    }

    Sandbox& Sandbox::Of(lua_State* L)
    {
        return **static_cast<Sandbox**>(lua_getextraspace(L));
    }

    std::string Sandbox::MemoryReason() const
    {
        return "it needed more memory than its cap of " + std::to_string(_limits.memory >> 20) + " MiB";
    }

    void* Sandbox::Allocate(void* ud, void* ptr, std::size_t osize, std::size_t nsize) noexcept
    {
        auto& s = *static_cast<Sandbox*>(ud);
        const std::size_t old = ptr ? osize : 0;
        if (nsize == 0)
        {
            std::free(ptr);
            s._used -= old;
            liveMemory -= old;
            return nullptr;
        }
        if (nsize > old && s._used - old + nsize > s._limits.memory)
        {
            // A refused allocation ends the movie: a script that caught the error
            // and tried again would make Lua run a full collection at every try.
            if (s._ready)
                s.StopForMemory();
            return nullptr;
        }
        void* p = std::realloc(ptr, nsize);
        if (p)
        {
            s._used = s._used - old + nsize;
            liveMemory += nsize;
            liveMemory -= old;
            // Copying big strings is one instruction for the count hook; what it
            // allocates is charged instead, an instruction per 16 bytes.
            if (nsize > old)
                s._budget -= static_cast<std::int64_t>((nsize - old) >> 4);
        }
        return p;
    }

    Sandbox::Clock::duration Sandbox::Elapsed() const
    {
        return _ran + (_paused == 0 && _depth > 0 ? Clock::now() - _resumed : Clock::duration{});
    }

    bool Sandbox::OutOfTime()
    {
        const Clock::duration wall = Elapsed();
        if (_processor && !_turnProcessor && wall > _limits.time / 32)
        {
            _turnProcessor = _processor();
            _processorWall = wall;
        }
        if (wall <= _limits.time)
            return false;
        if (!_processor || wall > 4 * _limits.time)
            return true;
        const std::uint64_t now = _processor();
        const Clock::duration used =
            std::chrono::microseconds(now > *_turnProcessor ? now - *_turnProcessor : 0) + _processorWall;
        return used > _limits.time;
    }

    void Sandbox::NoteTurnLength() const
    {
        const std::int64_t ran = std::chrono::duration_cast<std::chrono::nanoseconds>(_ran).count();
        std::int64_t longest = longestTurn.load();
        while (ran > longest && !longestTurn.compare_exchange_weak(longest, ran))
        {
        }
    }

    void Sandbox::Arm()
    {
        if (_L)
            lua_sethook(_L, Hook, LUA_MASKCOUNT, 1);
    }

    void Sandbox::Unwind(lua_State* L)
    {
        lua_rawgeti(L, LUA_REGISTRYINDEX, Of(L)._unwind);
        lua_error(L);
        std::abort(); // lua_error does not return
    }

    void Sandbox::Hook(lua_State* L, lua_Debug*)
    {
        Sandbox& s = Of(L);
        if (!s._stopped && !s._interrupting)
        {
            // A coroutine keeps the count it was made with, or was last armed with.
            const int count = lua_gethookcount(L);
            if (count != HookEvery)
                lua_sethook(L, Hook, LUA_MASKCOUNT, HookEvery);
            s._budget -= count;
            if (s._budget < 0)
                s.Stop("it ran too long (instruction budget)");
            else if (s.OutOfTime())
                s.Stop("it ran too long (time budget)");
        }
        if (s._stopped || s._interrupting)
        {
            lua_sethook(L, Hook, LUA_MASKCOUNT, 1);
            Unwind(L);
        }
    }

    int Sandbox::Setup(lua_State* L)
    {
        Sandbox& s = Of(L);
        lua_pushliteral(L, "the movie is stopped");
        s._unwind = luaL_ref(L, LUA_REGISTRYINDEX);

        lua_newtable(L); // B: what the player gives every movie
        const int base = lua_gettop(L);
        AddLibraries(L, base);
        s._install(L); // the host's functions, into B

        lua_newtable(L); // E: the movie's own globals
        const int env = lua_gettop(L);
        lua_pushvalue(L, env);
        lua_setfield(L, env, LUA_GNAME);
        lua_createtable(L, 0, 3);
        lua_pushvalue(L, base);
        lua_setfield(L, -2, "__index");
        lua_pushvalue(L, base);
        lua_pushcclosure(L, GuardedGlobalSet, 1);
        lua_setfield(L, -2, "__newindex");
        lua_pushliteral(L, "locked");
        lua_setfield(L, -2, "__metatable");
        lua_setmetatable(L, env);
        s._globals = luaL_ref(L, LUA_REGISTRYINDEX);
        return 0;
    }

    Sandbox::Sandbox(const Limits& limits, void* owner, int (*install)(lua_State*))
        : _limits(limits), _owner(owner), _install(install)
    {
        DrawSecret();
        _L = lua_newstate(Allocate, this);
        if (!_L)
            return;
        ++liveStates;
        lua_atpanic(_L, Panic);
        *static_cast<Sandbox**>(lua_getextraspace(_L)) = this;
        lua_sethook(_L, Hook, LUA_MASKCOUNT, HookEvery);
        _budget = static_cast<std::int64_t>(_limits.instructions);
        lua_pushcfunction(_L, Setup);
        _ready = lua_pcall(_L, 0, 0, 0) == LUA_OK;
        lua_settop(_L, 0);
    }

    Sandbox::~Sandbox()
    {
        if (!_L)
            return;
        _stopped = true;
        Arm();
        lua_close(_L);
        --liveStates;
        liveMemory -= _used; // what the host still held for the movie
    }

    void Sandbox::BeginTurn()
    {
        if (_depth > 0)
            return;
        _budget = static_cast<std::int64_t>(_limits.instructions);
        _ran = {};
        _turnProcessor.reset();
    }

    bool Sandbox::Charge(std::int64_t units)
    {
        if (_stopped || _interrupting)
            return false;
        _budget -= units;
        if (_budget < 0)
            Stop("it ran too long (instruction budget)");
        return !_stopped;
    }

    void Sandbox::PauseClock()
    {
        if (_paused++ == 0 && _depth > 0)
            _ran += Clock::now() - _resumed;
    }

    void Sandbox::ResumeClock()
    {
        if (_paused > 0 && --_paused == 0)
            _resumed = Clock::now();
    }

    bool Sandbox::Reserve(std::size_t bytes)
    {
        if (bytes > _limits.memory || _used > _limits.memory - bytes)
        {
            StopForMemory();
            return false;
        }
        _used += bytes;
        liveMemory += bytes;
        return true;
    }

    void Sandbox::Unreserve(std::size_t bytes)
    {
        if (bytes > _used)
            bytes = _used;
        _used -= bytes;
        liveMemory -= bytes;
    }

    void Sandbox::Stop(std::string_view reason) noexcept
    {
        if (_stopped)
            return;
        _stopped = true;
        try
        {
            _stopReason = reason;
        }
        catch (...)
        {
        }
        Arm();
    }

    void Sandbox::StopForMemory() noexcept
    {
        try
        {
            Stop(MemoryReason());
        }
        catch (...)
        {
            Stop("it needed more memory than its cap");
        }
    }

    void Sandbox::Interrupt()
    {
        if (_depth > 0 && !_stopped)
        {
            _interrupting = true;
            Arm();
        }
    }

    Sandbox::Outcome Sandbox::Protected(int (*fn)(lua_State*), void* context, std::string& error)
    {
        if (!_ready || _stopped)
        {
            error = _stopped ? _stopReason : "the movie has no Lua state";
            return Outcome::failed;
        }
        const int top = lua_gettop(_L);
        if (!lua_checkstack(_L, 4))
        {
            Stop("its Lua stack is full");
            error = _stopReason;
            return Outcome::failed;
        }
        lua_pushcfunction(_L, fn);
        lua_pushlightuserdata(_L, context);
        if (_depth++ == 0)
            _resumed = Clock::now();
        const int rc = lua_pcall(_L, 1, 0, 0);
        if (--_depth == 0)
        {
            if (_paused == 0)
                _ran += Clock::now() - _resumed;
            NoteTurnLength();
        }
        if (rc != LUA_OK && !_stopped && !_interrupting)
        {
            if (rc == LUA_ERRMEM)
                error = MemoryReason();
            else if (lua_type(_L, -1) == LUA_TSTRING)
                error = std::string("error: ") + lua_tostring(_L, -1);
            else
                error = "error: an error object that is not a string";
        }
        lua_settop(_L, top);
        if (_stopped)
        {
            error = _stopReason;
            return Outcome::failed;
        }
        if (_interrupting)
        {
            if (_depth == 0)
            {
                _interrupting = false;
                lua_sethook(_L, Hook, LUA_MASKCOUNT, HookEvery);
            }
            error = "interrupted";
            return Outcome::interrupted;
        }
        return rc == LUA_OK ? Outcome::ok : Outcome::failed;
    }

    namespace
    {
        struct CompileContext
        {
            std::string_view source;
            const char* name;
            int* chunk;
        };

        int CompileEntry(lua_State* L)
        {
            auto& c = *static_cast<CompileContext*>(lua_touserdata(L, 1));
            if (luaL_loadbufferx(L, c.source.data(), c.source.size(), c.name, "t") != LUA_OK)
                return lua_error(L);
            lua_rawgeti(L, LUA_REGISTRYINDEX, Sandbox::Of(L).GlobalsRef());
            if (!lua_setupvalue(L, -2, 1))
                lua_pop(L, 1);
            *c.chunk = luaL_ref(L, LUA_REGISTRYINDEX);
            return 0;
        }

        int RunEntry(lua_State* L)
        {
            const int chunk = static_cast<int>(reinterpret_cast<std::intptr_t>(lua_touserdata(L, 1)));
            lua_rawgeti(L, LUA_REGISTRYINDEX, chunk);
            luaL_unref(L, LUA_REGISTRYINDEX, chunk);
            lua_call(L, 0, 0);
            return 0;
        }
    } // namespace

    bool Sandbox::Compile(std::string_view source, const std::string& chunkName, std::string& error)
    {
        CompileContext c{ source, chunkName.c_str(), &_chunk };
        BeginTurn();
        return Protected(CompileEntry, &c, error) == Outcome::ok;
    }

    Sandbox::Outcome Sandbox::RunCompiled(std::string& error)
    {
        const int chunk = _chunk;
        _chunk = LUA_NOREF;
        if (chunk == LUA_NOREF)
        {
            error = "nothing compiled";
            return Outcome::failed;
        }
        BeginTurn();
        return Protected(RunEntry, reinterpret_cast<void*>(static_cast<std::intptr_t>(chunk)), error);
    }
} // namespace player::movie
