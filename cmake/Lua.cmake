# Lua 5.4 runs the movies of our own player (src/player/movie). Everything links it
# through one target, lua::lua: Debian's lua5.4 source package, patches applied,
# fetched once into the build folder (never kept in the repository) and built here
# as C, natively and with the cross compiler alike. Only the library: neither the
# stand-alone interpreter nor the compiler.
#
# It is built from source, not taken from the system, because a movie from the
# network chooses its own table keys: the table hashes are keyed with a secret of
# the process (src/player/movie/lua/hardening.h, included before every file, and one
# line of ltable.c changed below), so that no movie can make its keys collide.
#
# Lua is C: it is built as C and reports errors with longjmp, so the player never
# lets a C++ exception or destructor-owning frame sit between a Lua call and its
# protected boundary. It is built without the sanitizers, as a system library would be.
set(lua_root ${CMAKE_BINARY_DIR}/_deps/lua)
set(TICKER_LUA_SOURCE_DIR ${lua_root}/src CACHE PATH "Debian's lua5.4 sources, fetched by tools/fetch-debian-source.sh")
if(NOT EXISTS ${TICKER_LUA_SOURCE_DIR}/src/lua.h)
  message(STATUS "Fetching Debian's lua5.4 source package")
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/tools/fetch-debian-source.sh lua5.4 src/lua.h ${TICKER_LUA_SOURCE_DIR} RESULT_VARIABLE fetched)
  if(NOT fetched EQUAL 0)
    message(FATAL_ERROR "lua5.4 sources missing; run tools/deps.sh")
  endif()
endif()

set(lua_c ${TICKER_LUA_SOURCE_DIR}/src)
set(lua_hardening ${PROJECT_SOURCE_DIR}/src/player/movie/lua)

# ltable.c with the integer hash keyed; configure stops when the line is not there.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${lua_c}/ltable.c)
file(READ ${lua_c}/ltable.c ltable)
set(plain_hashint [=[
  lua_Unsigned ui = l_castS2U(i);
  if (ui <= (unsigned int)INT_MAX)
    return hashmod(t, cast_int(ui));
  else
    return hashmod(t, ui);
]=])
string(FIND "${ltable}" "${plain_hashint}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "lua5.4's ltable.c has no integer hash where expected: check the keyed hashes")
endif()
string(REPLACE "${plain_hashint}" "  return hashmod(t, ticker_lua_hashint(l_castS2U(i)));\n" ltable "${ltable}")
file(WRITE ${lua_root}/keyed/ltable.c "${ltable}")

set(lua_sources ${lua_root}/keyed/ltable.c ${lua_hardening}/hardening.c)
# The core and the libraries that movies may use; no io, os, package or debug
# library is even built.
foreach(name lapi lcode lctype ldebug ldo ldump lfunc lgc llex lmem lobject lopcodes lparser lstate lstring
             ltm lundump lvm lzio lauxlib lbaselib lcorolib lmathlib lstrlib ltablib lutf8lib)
  list(APPEND lua_sources ${lua_c}/${name}.c)
endforeach()
add_library(ticker_lua STATIC ${lua_sources})
# As Debian builds it: C99 with GNU extensions and the 5.3 compatibility functions.
set_target_properties(ticker_lua PROPERTIES C_STANDARD 99 C_EXTENSIONS ON POSITION_INDEPENDENT_CODE ON)
target_compile_definitions(ticker_lua PRIVATE LUA_COMPAT_5_3)
target_include_directories(ticker_lua PRIVATE ${lua_c} ${lua_hardening})
target_compile_options(ticker_lua PRIVATE -include ${lua_hardening}/hardening.h)

# Callers see only the public headers, copied beside the build.
set(lua_include ${lua_root}/include)
foreach(header lua.h luaconf.h lualib.h lauxlib.h lua.hpp)
  configure_file(${lua_c}/${header} ${lua_include}/${header} COPYONLY)
endforeach()
target_include_directories(ticker_lua SYSTEM INTERFACE ${lua_include} ${lua_hardening})
add_library(lua::lua ALIAS ticker_lua)

# Lua's licence, for the installer to ship beside the program.
set(TICKER_LUA_LICENSE ${lua_root}/COPYRIGHT CACHE INTERNAL "Lua's licence text")
configure_file(${TICKER_LUA_SOURCE_DIR}/debian/copyright ${TICKER_LUA_LICENSE} COPYONLY)
