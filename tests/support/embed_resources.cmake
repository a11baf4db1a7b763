# Writes a C++ source that hands the program's resource files to the simulator,
# as the Windows build has them in ticker.exe. Usage:
#   cmake -DOUT=file.cpp -DRESOURCES=NAME=path,NAME=path -P embed_resources.cmake
set(body "")
string(REPLACE "," ";" resources "${RESOURCES}")
foreach(pair ${resources})
  string(REPLACE "=" ";" parts "${pair}")
  list(GET parts 0 name)
  list(GET parts 1 path)
  file(READ "${path}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND body "        { \"${name}\", { ${bytes} } },\n")
endforeach()
file(WRITE "${OUT}.tmp" "// Made by tests/support/embed_resources.cmake from resources/.\n#include \"support/program_resources.h\"\n\nnamespace testing_support\n{\n    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> ProgramResourceData()\n    {\n        return {\n${body}        };\n    }\n}\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
