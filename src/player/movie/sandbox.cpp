#include "player/movie/sandbox.h"

#include <lua.hpp>

#include <atomic>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace player::movie
{
    namespace
    {
        constexpr int HookEvery = 1000; // instructions between two budget checks

        const char* const SafeBase[] = { "assert",   "error",  "ipairs",   "next",     "pairs", "pcall",
                                         "xpcall",   "select", "tonumber", "tostring", "type",  "getmetatable",
                                         "rawequal", "rawget", "rawlen",   "_VERSION" };

        struct Library
        {
            const char* name;
            lua_CFunction open;
            const char* const* names;
        };
        const char* const StringNames[] = { "byte", "char", "format", "len", "lower", "upper", "rep", "reverse", "sub", nullptr };
        const char* const TableNames[] = { "concat", "insert", "move", "pack", "remove", "sort", "unpack", nullptr };
        const char* const MathNames[] = { "abs",  "ceil", "cos",    "deg",        "exp",  "floor",      "fmod",
                                          "huge", "log",  "max",    "maxinteger", "min",  "mininteger", "modf",
                                          "pi",   "rad",  "random", "sin",        "sqrt", "tan",        "tointeger",
                                          "type", "ult",  "atan",   "asin",       "acos", nullptr };
        const char* const Utf8Names[] = { "char", "charpattern", "codes", "codepoint", "len", "offset", nullptr };
        const char* const CoroutineNames[] = { "close",  "create", "isyieldable", "resume", "running",
                                               "status", "wrap",   "yield",       nullptr };
        const Library Libraries[] = { { LUA_STRLIBNAME, luaopen_string, StringNames },
                                      { LUA_TABLIBNAME, luaopen_table, TableNames },
                                      { LUA_MATHLIBNAME, luaopen_math, MathNames },
                                      { LUA_UTF8LIBNAME, luaopen_utf8, Utf8Names },
                                      { LUA_COLIBNAME, luaopen_coroutine, CoroutineNames } };

        // Skips a set "[...]" starting at p[i] == '['; returns the index after it.
        std::size_t SkipSet(std::string_view p, std::size_t i)
        {
            ++i;
            if (i < p.size() && p[i] == '^')
                ++i;
            if (i < p.size() && p[i] == ']')
                ++i;
            while (i < p.size() && p[i] != ']')
                i += p[i] == '%' ? 2 : 1;
            return i + 1;
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

        // load(text [, chunkname [, mode [, env]]]): text chunks only, in the sandbox.
        int SafeLoad(lua_State* L)
        {
            std::size_t n = 0;
            const char* text = luaL_checklstring(L, 1, &n);
            const char* name = luaL_optstring(L, 2, "=(load)");
            const bool hasEnv = !lua_isnoneornil(L, 4);
            if (luaL_loadbufferx(L, text, n, name, "t") != LUA_OK)
            {
                luaL_pushfail(L);
                lua_insert(L, -2);
                return 2;
            }
            if (hasEnv)
                lua_pushvalue(L, 4);
            else
                lua_rawgeti(L, LUA_REGISTRYINDEX, Sandbox::Of(L).GlobalsRef());
            if (!lua_setupvalue(L, -2, 1))
                lua_pop(L, 1);
            return 1;
        }

        // setmetatable without finalizers: a __gc would run Lua code when the state
        // closes, outside every budget.
        int SafeSetmetatable(lua_State* L)
        {
            if (lua_type(L, 2) == LUA_TTABLE)
            {
                lua_pushliteral(L, "__gc");
                if (lua_rawget(L, 2) != LUA_TNIL)
                    return luaL_error(L, "finalizers (__gc) are not available to movies");
                lua_pop(L, 1);
            }
            lua_pushvalue(L, lua_upvalueindex(1));
            lua_insert(L, 1);
            lua_call(L, lua_gettop(L) - 1, 1);
            return 1;
        }

        // Calls the library function in upvalue 1 with the same arguments.
        int CallOriginal(lua_State* L)
        {
            lua_pushvalue(L, lua_upvalueindex(1));
            lua_insert(L, 1);
            lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
            return lua_gettop(L);
        }

        // The table functions loop in C, outside the instruction count: each is
        // charged for the elements it goes over, and the ranges are bounded.
        int Charged(lua_State* L, lua_Integer elements)
        {
            if (!Sandbox::Of(L).Charge(elements < 0 ? 0 : elements))
                return luaL_error(L, "the movie is stopped");
            return CallOriginal(L);
        }

        lua_Integer Length(lua_State* L)
        {
            luaL_checktype(L, 1, LUA_TTABLE);
            return luaL_len(L, 1);
        }

        int BoundedMove(lua_State* L)
        {
            const lua_Integer f = luaL_checkinteger(L, 2);
            const lua_Integer e = luaL_checkinteger(L, 3);
            if (e >= f && static_cast<lua_Unsigned>(e) - static_cast<lua_Unsigned>(f) >= (1u << 20))
                return luaL_error(L, "table.move moves %d elements at most", 1 << 20);
            return Charged(L, e >= f ? e - f + 1 : 0);
        }

        int BoundedSort(lua_State* L)
        {
            const lua_Integer n = Length(L);
            if (n > (1 << 17))
                return luaL_error(L, "table.sort sorts %d elements at most", 1 << 17);
            return Charged(L, n * 18);
        }

        int BoundedInsert(lua_State* L)
        {
            const lua_Integer n = Length(L);
            return Charged(L, lua_gettop(L) >= 3 ? n - luaL_checkinteger(L, 2) + 1 : 1);
        }

        int BoundedRemove(lua_State* L)
        {
            const lua_Integer n = Length(L);
            return Charged(L, n - luaL_optinteger(L, 2, n) + 1);
        }

        int BoundedSpan(lua_State* L, int first)
        {
            const lua_Integer i = luaL_optinteger(L, first, 1);
            const lua_Integer j = lua_isnoneornil(L, first + 1) ? Length(L) : luaL_checkinteger(L, first + 1);
            // Both stop at the first hole or refuse a span too large for the stack.
            const lua_Integer present = Length(L) + 1;
            return Charged(
                L, j < i ? 0
                         : (static_cast<lua_Unsigned>(j) - static_cast<lua_Unsigned>(i) >= static_cast<lua_Unsigned>(present)
                                ? present
                                : j - i + 1));
        }
        int BoundedConcat(lua_State* L)
        {
            return BoundedSpan(L, 3);
        }
        int BoundedUnpack(lua_State* L)
        {
            return BoundedSpan(L, 2);
        }

        // string.find/match/gmatch/gsub, refusing what could run for long in C.
        int BoundedPattern(lua_State* L)
        {
            std::size_t n = 0;
            std::size_t m = 0;
            luaL_checklstring(L, 1, &n);
            const char* p = luaL_checklstring(L, 2, &m);
            const bool plain = lua_tointeger(L, lua_upvalueindex(2)) == 1 && lua_toboolean(L, 4);
            const Limits& limits = Sandbox::Of(L).GetLimits();
            if (n > limits.patternSubject)
                return luaL_error(L, "string too long for a pattern function (%d bytes at most)",
                                  static_cast<int>(limits.patternSubject));
            if (m > limits.patternLength)
                return luaL_error(L, "pattern too long (%d bytes at most)", static_cast<int>(limits.patternLength));
            const double cost = plain ? static_cast<double>(n) : PatternCost(std::string_view(p, m), n);
            if (cost > limits.patternCost)
                return luaL_error(L, "pattern too costly for a string of %d bytes", static_cast<int>(n));
            // Matching runs in C: a quarter of its worst case counts against the budget.
            return Charged(L, static_cast<lua_Integer>(cost / 4));
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

    double PatternCost(std::string_view p, std::size_t n)
    {
        std::size_t i = 0;
        int k = 1;
        int optional = 0;
        if (!p.empty() && p[0] == '^')
            k = 0, i = 1;
        // Is there anything but captures' ends and the final anchor from `from` on?
        const auto more = [&](std::size_t from)
        {
            for (std::size_t j = from; j < p.size(); ++j)
                if (p[j] != ')' && !(p[j] == '$' && j + 1 == p.size()))
                    return true;
            return false;
        };
        while (i < p.size())
        {
            const char c = p[i];
            if (c == '(' || c == ')' || (c == '$' && i + 1 == p.size()))
            {
                ++i;
                continue;
            }
            std::size_t end = i + 1;
            if (c == '%')
            {
                if (i + 1 >= p.size())
                    break;
                const char d = p[i + 1];
                if (d == 'b')
                {
                    ++k;
                    i += 4;
                    continue;
                }
                if (d == 'f')
                {
                    i = i + 2 < p.size() && p[i + 2] == '[' ? SkipSet(p, i + 2) : i + 3;
                    continue;
                }
                if (d >= '0' && d <= '9')
                {
                    ++k;
                    i += 2;
                    continue;
                }
                end = i + 2;
            }
            else if (c == '[')
                end = SkipSet(p, i);
            const char q = end < p.size() ? p[end] : '\0';
            if (q == '*' || q == '+' || q == '-')
            {
                if (more(end + 1))
                    ++k;
                i = end + 1;
            }
            else if (q == '?')
            {
                ++optional;
                i = end + 1;
            }
            else
                i = end;
        }
        return std::pow(static_cast<double>(n) + 1.0, k) * std::pow(2.0, optional);
    }

    namespace
    {
        std::atomic<std::size_t> liveStates{ 0 };
        std::atomic<std::size_t> liveMemory{ 0 };
    } // namespace

    std::size_t Sandbox::LiveStates()
    {
        return liveStates.load();
    }

    std::size_t Sandbox::LiveMemory()
    {
        return liveMemory.load();
    }

    Sandbox& Sandbox::Of(lua_State* L)
    {
        return **static_cast<Sandbox**>(lua_getextraspace(L));
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
            return nullptr;
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

    void Sandbox::Hook(lua_State* L, lua_Debug*)
    {
        Sandbox& s = Of(L);
        if (!s._stopped)
        {
            s._budget -= HookEvery;
            if (s._budget < 0)
                s.Stop("it ran too long (instruction budget)");
        }
        if (s._stopped)
        {
            lua_sethook(L, Hook, LUA_MASKCOUNT, 1);
            luaL_error(L, "the movie is stopped");
        }
    }

    int Sandbox::Setup(lua_State* L)
    {
        Sandbox& s = Of(L);
        luaL_requiref(L, LUA_GNAME, luaopen_base, 1);
        lua_pop(L, 1);
        for (const Library& lib : Libraries)
        {
            luaL_requiref(L, lib.name, lib.open, 1);
            lua_pop(L, 1);
        }

        lua_newtable(L); // B: what the player gives every movie
        const int base = lua_gettop(L);
        lua_pushglobaltable(L);
        const int real = lua_gettop(L);
        for (const char* name : SafeBase)
        {
            lua_getfield(L, real, name);
            lua_setfield(L, base, name);
        }
        lua_pushcfunction(L, SafeLoad);
        lua_setfield(L, base, "load");
        lua_getfield(L, real, "setmetatable");
        lua_pushcclosure(L, SafeSetmetatable, 1);
        lua_setfield(L, base, "setmetatable");

        for (const Library& lib : Libraries)
        {
            lua_getfield(L, real, lib.name);
            const int full = lua_gettop(L);
            lua_newtable(L);
            const int copy = lua_gettop(L);
            for (const char* const* name = lib.names; *name; ++name)
            {
                lua_getfield(L, full, *name);
                lua_setfield(L, copy, *name);
            }
            if (std::strcmp(lib.name, LUA_TABLIBNAME) == 0)
            {
                const std::pair<const char*, lua_CFunction> bounded[] = {
                    { "move", BoundedMove },     { "sort", BoundedSort },     { "insert", BoundedInsert },
                    { "remove", BoundedRemove }, { "concat", BoundedConcat }, { "unpack", BoundedUnpack }
                };
                for (const auto& [name, fn] : bounded)
                {
                    lua_getfield(L, full, name);
                    lua_pushcclosure(L, fn, 1);
                    lua_setfield(L, copy, name);
                }
            }
            if (std::strcmp(lib.name, LUA_STRLIBNAME) == 0)
            {
                for (const char* name : { "find", "match", "gmatch", "gsub" })
                {
                    lua_getfield(L, full, name);
                    lua_pushinteger(L, std::strcmp(name, "find") == 0 ? 1 : 0);
                    lua_pushcclosure(L, BoundedPattern, 2);
                    lua_setfield(L, copy, name);
                }
                // Methods on strings find the bounded copy, and the metatable is locked.
                lua_pushliteral(L, "");
                lua_getmetatable(L, -1);
                lua_pushvalue(L, copy);
                lua_setfield(L, -2, "__index");
                lua_pushliteral(L, "locked");
                lua_setfield(L, -2, "__metatable");
                lua_pop(L, 2);
            }
            MakeReadOnly(L);
            lua_setfield(L, base, lib.name);
            lua_pop(L, 1); // full
        }
        lua_pop(L, 1); // the real globals

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
        lua_sethook(_L, Hook, LUA_MASKCOUNT, 1);
        lua_close(_L);
        --liveStates;
    }

    bool Sandbox::Charge(std::int64_t elements)
    {
        if (_stopped)
            return false;
        _budget -= elements;
        if (_budget < 0)
            Stop("it ran too long (instruction budget)");
        return !_stopped;
    }

    void Sandbox::Stop(const char* reason)
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
        if (_L)
            lua_sethook(_L, Hook, LUA_MASKCOUNT, 1);
    }

    bool Sandbox::Protected(int (*fn)(lua_State*), void* context, std::string& error)
    {
        if (!_ready || _stopped)
        {
            error = _stopped ? _stopReason : "the movie has no Lua state";
            return false;
        }
        if (_depth == 0)
            _budget = static_cast<std::int64_t>(_limits.instructions);
        const int top = lua_gettop(_L);
        if (!lua_checkstack(_L, 4))
        {
            Stop("its Lua stack is full");
            error = _stopReason;
            return false;
        }
        lua_pushcfunction(_L, fn);
        lua_pushlightuserdata(_L, context);
        ++_depth;
        const int rc = lua_pcall(_L, 1, 0, 0);
        --_depth;
        if (rc != LUA_OK && !_stopped)
        {
            if (rc == LUA_ERRMEM)
                error = "it needed more memory than its cap of " + std::to_string(_limits.memory >> 20) + " MiB";
            else if (lua_type(_L, -1) == LUA_TSTRING)
                error = std::string("error: ") + lua_tostring(_L, -1);
            else
                error = "error: an error object that is not a string";
        }
        lua_settop(_L, top);
        if (_stopped)
        {
            error = _stopReason;
            return false;
        }
        return rc == LUA_OK;
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
        return Protected(CompileEntry, &c, error);
    }

    bool Sandbox::RunCompiled(std::string& error)
    {
        const int chunk = _chunk;
        _chunk = LUA_NOREF;
        if (chunk == LUA_NOREF)
        {
            error = "nothing compiled";
            return false;
        }
        return Protected(RunEntry, reinterpret_cast<void*>(static_cast<std::intptr_t>(chunk)), error);
    }
} // namespace player::movie
