// What movies get of Lua's standard library, each function bounded: the safe base
// functions, `load` for text, and read-only copies of string, table, math, utf8
// and coroutine. Every function that loops in C either works on raw lengths with no
// metamethod inside its loop, or is charged for its work before it does it.
#pragma once

#include <cstddef>
#include <string_view>

struct lua_State;

namespace player::movie
{
    // The worst-case number of steps a Lua pattern may take on a subject of this
    // length, roughly: (len + 1) ^ k * 2 ^ o * w, where k counts the quantified
    // items that have more pattern after them, %b and back-references, plus one
    // when the pattern is not anchored; o counts the optional items; and w is the
    // cost of one step, which grows with the longest set ("[...]") of the pattern.
    double PatternCost(std::string_view pattern, std::size_t subjectLength);

    // Adds the base functions and the libraries to the table at index `base`, taking
    // them from the state's real globals (which the libraries were opened into).
    void AddLibraries(lua_State* L, int base);
} // namespace player::movie
