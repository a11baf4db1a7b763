# Runs makensis on installer/ticker.nsi once every file that the installer ships is
# there; a missing one stops the build with its name. Called by the installer target
# (installer/CMakeLists.txt) with the paths as -D definitions.
foreach(input LOADER_SWF HELP_HTM)
  if(NOT EXISTS "${${input}}")
    message(FATAL_ERROR "The installer ships ${${input}}, which is missing: "
                        "the sponsor movie and the offline help come from content/ at the top of the tree.")
  endif()
endforeach()
foreach(input TICKER_EXE LUA_LICENSE JPEG_LICENSE JPEG_IJG ICON WELCOME_BMP SCRIPT)
  if(NOT EXISTS "${${input}}")
    message(FATAL_ERROR "The installer needs ${${input}}, which is missing (run tools/deps.sh and configure the windows preset again).")
  endif()
endforeach()
find_program(MAKENSIS makensis)
if(NOT MAKENSIS)
  message(FATAL_ERROR "makensis not found: install Debian's nsis package (tools/deps.sh does).")
endif()
file(REMOVE "${OUTFILE}")
execute_process(
  COMMAND "${MAKENSIS}" -V2 -WX
          "-DVERSION=${VERSION}" "-DVERSION_QUAD=${VERSION_QUAD}" "-DOUTFILE=${OUTFILE}" "-DTICKER_EXE=${TICKER_EXE}"
          "-DLOADER_SWF=${LOADER_SWF}" "-DHELP_HTM=${HELP_HTM}" "-DLUA_LICENSE=${LUA_LICENSE}"
          "-DJPEG_LICENSE=${JPEG_LICENSE}" "-DJPEG_IJG=${JPEG_IJG}" "-DICON=${ICON}"
          "-DWELCOME_BMP=${WELCOME_BMP}" "${SCRIPT}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT EXISTS "${OUTFILE}")
  message(FATAL_ERROR "makensis failed on ${SCRIPT}")
endif()
file(SIZE "${OUTFILE}" size)
message(STATUS "Made ${OUTFILE} (${size} bytes)")
