# Compiler settings shared by every target of the project.
add_library(ticker_options INTERFACE)
target_compile_options(ticker_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
# GCC 12 at -O3 reports a false -Wrestrict inside std::string's operator+ (fixed in
# GCC 13); it would fail the optimised Windows build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(ticker_options INTERFACE -Wno-restrict)
endif()
if(TICKER_WERROR)
  target_compile_options(ticker_options INTERFACE -Werror)
endif()
target_include_directories(ticker_options INTERFACE ${PROJECT_SOURCE_DIR}/src)

if(TICKER_SANITIZE)
  target_compile_options(ticker_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(ticker_options INTERFACE -fsanitize=address,undefined)
endif()

if(WIN32)
  # Unicode Win32 API, no min/max macros, Windows 7 and later.
  target_compile_definitions(ticker_options INTERFACE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
  # A self-contained executable: no MinGW runtime DLLs to ship beside it.
  target_link_options(ticker_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
