#include "player/movie/library.h"

#include "player/movie/sandbox.h"

#include <lua.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace player::movie
{
    namespace
    {
        const char* const SafeBase[] = { "assert",   "error",  "ipairs",   "next",     "pairs", "pcall",
                                         "xpcall",   "select", "tonumber", "tostring", "type",  "getmetatable",
                                         "rawequal", "rawget", "rawlen",   "_VERSION" };

        struct Library
        {
            const char* name;
            lua_CFunction open;
            const char* const* names;
        };
        const char* const StringNames[] = { "byte", "char", "format", "len", "lower", "upper", "reverse", "sub", nullptr };
        const char* const TableNames[] = { "pack", nullptr };
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

        constexpr lua_Integer MaxMoved = 1 << 20;
        constexpr lua_Integer MaxSorted = 1 << 17;

        // Charges the turn for work about to be done in C, or unwinds the movie.
        void Pay(lua_State* L, lua_Integer units)
        {
            if (!Sandbox::Of(L).Charge(units < 0 ? 0 : units))
                Sandbox::Unwind(L);
        }

        // ------------------------------------------------------------ base

        // load(text [, chunkname [, mode [, env]]]): text chunks only, in the sandbox.
        // Compiling runs in C: a byte of text costs an instruction.
        int SafeLoad(lua_State* L)
        {
            std::size_t n = 0;
            const char* text = luaL_checklstring(L, 1, &n);
            const char* name = luaL_optstring(L, 2, "=(load)");
            const bool hasEnv = !lua_isnoneornil(L, 4);
            Pay(L, static_cast<lua_Integer>(n));
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

        // ------------------------------------------------------------ table
        //
        // The table functions work on the table itself: raw reads and writes, the raw
        // length, no __index, __newindex or __len inside their loops, so that what a
        // loop costs is known before it starts and charged.

        lua_Integer RawLength(lua_State* L, int i)
        {
            luaL_checktype(L, i, LUA_TTABLE);
            return static_cast<lua_Integer>(lua_rawlen(L, i));
        }

        int RawInsert(lua_State* L)
        {
            const lua_Integer e = RawLength(L, 1) + 1; // the first empty element
            lua_Integer pos = e;
            switch (lua_gettop(L))
            {
            case 2: break;
            case 3:
                pos = luaL_checkinteger(L, 2);
                luaL_argcheck(L, static_cast<lua_Unsigned>(pos) - 1u < static_cast<lua_Unsigned>(e), 2, "position out of bounds");
                Pay(L, e - pos);
                for (lua_Integer i = e; i > pos; --i)
                {
                    lua_rawgeti(L, 1, i - 1);
                    lua_rawseti(L, 1, i);
                }
                break;
            default: return luaL_error(L, "wrong number of arguments to 'insert'");
            }
            lua_rawseti(L, 1, pos);
            return 0;
        }

        int RawRemove(lua_State* L)
        {
            const lua_Integer size = RawLength(L, 1);
            lua_Integer pos = luaL_optinteger(L, 2, size);
            if (pos != size)
                luaL_argcheck(L, static_cast<lua_Unsigned>(pos) - 1u <= static_cast<lua_Unsigned>(size), 2,
                              "position out of bounds");
            Pay(L, size - pos);
            lua_rawgeti(L, 1, pos);
            for (; pos < size; ++pos)
            {
                lua_rawgeti(L, 1, pos + 1);
                lua_rawseti(L, 1, pos);
            }
            lua_pushnil(L);
            lua_rawseti(L, 1, pos);
            return 1;
        }

        int RawMove(lua_State* L)
        {
            const lua_Integer f = luaL_checkinteger(L, 2);
            const lua_Integer e = luaL_checkinteger(L, 3);
            const lua_Integer t = luaL_checkinteger(L, 4);
            const int tt = !lua_isnoneornil(L, 5) ? 5 : 1;
            luaL_checktype(L, 1, LUA_TTABLE);
            luaL_checktype(L, tt, LUA_TTABLE);
            if (e >= f)
            {
                luaL_argcheck(L, f > 0 || e < LUA_MAXINTEGER + f, 3, "too many elements to move");
                const lua_Integer n = e - f + 1;
                if (n > MaxMoved)
                    return luaL_error(L, "table.move moves %d elements at most", static_cast<int>(MaxMoved));
                luaL_argcheck(L, t <= LUA_MAXINTEGER - n + 1, 4, "destination wrap around");
                Pay(L, n);
                if (t > e || t <= f || (tt != 1 && !lua_rawequal(L, 1, tt)))
                {
                    for (lua_Integer i = 0; i < n; ++i)
                    {
                        lua_rawgeti(L, 1, f + i);
                        lua_rawseti(L, tt, t + i);
                    }
                }
                else
                {
                    for (lua_Integer i = n - 1; i >= 0; --i)
                    {
                        lua_rawgeti(L, 1, f + i);
                        lua_rawseti(L, tt, t + i);
                    }
                }
            }
            lua_pushvalue(L, tt);
            return 1;
        }

        // Stops at the first element that is not a string or a number (a hole), so it
        // goes over no more elements than the table holds; each is charged as it comes.
        int RawConcat(lua_State* L)
        {
            lua_Integer last = RawLength(L, 1);
            std::size_t lsep = 0;
            const char* sep = luaL_optlstring(L, 2, "", &lsep);
            lua_Integer i = luaL_optinteger(L, 3, 1);
            last = luaL_optinteger(L, 4, last);
            luaL_Buffer b;
            luaL_buffinit(L, &b);
            for (; i <= last; ++i)
            {
                Pay(L, 1);
                lua_rawgeti(L, 1, i);
                if (!lua_isstring(L, -1))
                    return luaL_error(L, "invalid value (at index %I) in table for 'concat'", static_cast<LUAI_UACINT>(i));
                luaL_addvalue(&b);
                if (i < last)
                    luaL_addlstring(&b, sep, lsep);
                if (i == LUA_MAXINTEGER)
                    break;
            }
            luaL_pushresult(&b);
            return 1;
        }

        int RawUnpack(lua_State* L)
        {
            luaL_checktype(L, 1, LUA_TTABLE);
            lua_Integer i = luaL_optinteger(L, 2, 1);
            const lua_Integer e = lua_isnoneornil(L, 3) ? RawLength(L, 1) : luaL_checkinteger(L, 3);
            if (i > e)
                return 0;
            lua_Unsigned n = static_cast<lua_Unsigned>(e) - static_cast<lua_Unsigned>(i);
            if (n >= static_cast<unsigned>(MaxMoved) || !lua_checkstack(L, static_cast<int>(++n)))
                return luaL_error(L, "too many results to unpack");
            Pay(L, static_cast<lua_Integer>(n));
            for (; i < e; ++i)
                lua_rawgeti(L, 1, i);
            lua_rawgeti(L, 1, e);
            return static_cast<int>(n);
        }

        // Heapsort over the raw elements 1..n: never more than 2 n log2 n comparisons,
        // whatever the order function answers; each comparison is charged.
        struct Sorter
        {
            lua_State* L;
            bool custom;

            // Is t[a] < t[b]? (1-based)
            bool Less(lua_Integer a, lua_Integer b)
            {
                Pay(L, 1);
                if (custom)
                {
                    lua_pushvalue(L, 2);
                    lua_rawgeti(L, 1, a);
                    lua_rawgeti(L, 1, b);
                    lua_call(L, 2, 1);
                    const bool less = lua_toboolean(L, -1);
                    lua_pop(L, 1);
                    return less;
                }
                lua_rawgeti(L, 1, a);
                lua_rawgeti(L, 1, b);
                const bool less = lua_compare(L, -2, -1, LUA_OPLT);
                lua_pop(L, 2);
                return less;
            }
            void Swap(lua_Integer a, lua_Integer b)
            {
                lua_rawgeti(L, 1, a);
                lua_rawgeti(L, 1, b);
                lua_rawseti(L, 1, a);
                lua_rawseti(L, 1, b);
            }
            // Sifts the element at `root` down the heap of elements 1..end.
            void SiftDown(lua_Integer root, lua_Integer end)
            {
                while (2 * root <= end)
                {
                    lua_Integer child = 2 * root;
                    if (child + 1 <= end && Less(child, child + 1))
                        ++child;
                    if (!Less(root, child))
                        return;
                    Swap(root, child);
                    root = child;
                }
            }
        };

        int RawSort(lua_State* L)
        {
            const lua_Integer n = RawLength(L, 1);
            if (n > MaxSorted)
                return luaL_error(L, "table.sort sorts %d elements at most", static_cast<int>(MaxSorted));
            const bool custom = !lua_isnoneornil(L, 2);
            if (custom)
                luaL_checktype(L, 2, LUA_TFUNCTION);
            lua_settop(L, 2);
            if (!lua_checkstack(L, 4))
                return luaL_error(L, "stack overflow");
            Sorter s{ L, custom };
            for (lua_Integer start = n / 2; start >= 1; --start)
                s.SiftDown(start, n);
            for (lua_Integer end = n; end > 1; --end)
            {
                s.Swap(1, end);
                s.SiftDown(1, end - 1);
            }
            return 0;
        }

        // ------------------------------------------------------------ string

        // string.rep: an empty piece is an empty result, however many times it is
        // asked for; otherwise every copy is charged, and a result larger than the
        // movie's memory ends it as the allocation would.
        int BoundedRep(lua_State* L)
        {
            std::size_t l = 0;
            std::size_t lsep = 0;
            luaL_checklstring(L, 1, &l);
            const lua_Integer n = luaL_checkinteger(L, 2);
            luaL_optlstring(L, 3, "", &lsep);
            if (n <= 0 || l + lsep == 0)
            {
                lua_pushliteral(L, "");
                return 1;
            }
            Sandbox& s = Sandbox::Of(L);
            const double total =
                static_cast<double>(n) * static_cast<double>(l) + static_cast<double>(n - 1) * static_cast<double>(lsep);
            if (total > static_cast<double>(s.GetLimits().memory))
            {
                s.StopForMemory();
                Sandbox::Unwind(L);
            }
            Pay(L, n / 8);
            return CallOriginal(L);
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
            Pay(L, static_cast<lua_Integer>(cost / 4));
            return CallOriginal(L);
        }

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
    } // namespace

    double PatternCost(std::string_view p, std::size_t n)
    {
        std::size_t i = 0;
        int k = 1;
        int optional = 0;
        std::size_t longestSet = 0;
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
        const auto set = [&](std::size_t at)
        {
            const std::size_t end = SkipSet(p, at);
            longestSet = std::max(longestSet, std::min(end, p.size()) - at);
            return end;
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
                    i = i + 2 < p.size() && p[i + 2] == '[' ? set(i + 2) : i + 3;
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
                end = set(i);
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
        // One step matches one item: a set is read byte by byte, about a tenth of a
        // step for each of its bytes.
        const double step = 1.0 + static_cast<double>(longestSet) / 8.0;
        return std::pow(static_cast<double>(n) + 1.0, k) * std::pow(2.0, optional) * step;
    }

    void AddLibraries(lua_State* L, int base)
    {
        luaL_requiref(L, LUA_GNAME, luaopen_base, 1);
        lua_pop(L, 1);
        for (const Library& lib : Libraries)
        {
            luaL_requiref(L, lib.name, lib.open, 1);
            lua_pop(L, 1);
        }

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
                const std::pair<const char*, lua_CFunction> raw[] = { { "insert", RawInsert }, { "remove", RawRemove },
                                                                      { "move", RawMove },     { "concat", RawConcat },
                                                                      { "unpack", RawUnpack }, { "sort", RawSort } };
                for (const auto& [name, fn] : raw)
                {
                    lua_pushcfunction(L, fn);
                    lua_setfield(L, copy, name);
                }
            }
            if (std::strcmp(lib.name, LUA_STRLIBNAME) == 0)
            {
                lua_getfield(L, full, "rep");
                lua_pushcclosure(L, BoundedRep, 1);
                lua_setfield(L, copy, "rep");
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
    }
} // namespace player::movie
