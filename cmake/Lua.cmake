# Lua 5.4 runs the movies of our own player (src/player/movie). Everything links it
# through one target, lua::lua. The native build uses Debian's liblua5.4-dev; the
# Windows build cross-builds Lua from Debian's source package (never kept in the
# repository). Lua is C: it is built as C and reports errors with longjmp, so the
# player never lets a C++ exception or destructor-owning frame sit between a Lua
# call and its protected boundary.
if(NOT WIN32)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(LUA54 QUIET IMPORTED_TARGET lua5.4)
  endif()
  if(LUA54_FOUND)
    add_library(lua::lua INTERFACE IMPORTED GLOBAL)
    target_link_libraries(lua::lua INTERFACE PkgConfig::LUA54)
  else()
    find_path(LUA54_INCLUDE_DIR lua.h PATH_SUFFIXES lua5.4 REQUIRED)
    find_library(LUA54_LIBRARY NAMES lua5.4 lua54 REQUIRED)
    add_library(lua::lua UNKNOWN IMPORTED GLOBAL)
    set_target_properties(lua::lua PROPERTIES
      IMPORTED_LOCATION ${LUA54_LIBRARY}
      INTERFACE_INCLUDE_DIRECTORIES ${LUA54_INCLUDE_DIR})
  endif()
else()
  # Debian's lua5.4 source package, patches applied, fetched once into the build
  # folder and built here as C with the project's own cross compiler. Only the
  # library: neither the stand-alone interpreter nor the compiler.
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
  set(lua_sources)
  foreach(name lapi lcode lctype ldebug ldo ldump lfunc lgc llex lmem lobject lopcodes lparser lstate lstring
               ltable ltm lundump lvm lzio lauxlib lbaselib lcorolib ldblib liolib lmathlib loadlib loslib lstrlib
               ltablib lutf8lib linit)
    list(APPEND lua_sources ${lua_c}/${name}.c)
  endforeach()
  add_library(ticker_lua STATIC ${lua_sources})
  # As Debian builds it: C99 with GNU extensions and the 5.3 compatibility functions.
  set_target_properties(ticker_lua PROPERTIES C_STANDARD 99 C_EXTENSIONS ON)
  target_compile_definitions(ticker_lua PRIVATE LUA_COMPAT_5_3)

  # Callers see only the public headers, copied beside the build.
  set(lua_include ${lua_root}/include)
  foreach(header lua.h luaconf.h lualib.h lauxlib.h lua.hpp)
    configure_file(${lua_c}/${header} ${lua_include}/${header} COPYONLY)
  endforeach()
  target_include_directories(ticker_lua SYSTEM INTERFACE ${lua_include})
  add_library(lua::lua ALIAS ticker_lua)

  # Lua's licence, for the installer to ship beside the program.
  set(TICKER_LUA_LICENSE ${lua_root}/COPYRIGHT CACHE INTERNAL "Lua's licence text")
  configure_file(${TICKER_LUA_SOURCE_DIR}/debian/copyright ${TICKER_LUA_LICENSE} COPYONLY)
endif()
