# Writes a C++ source that holds resource files as data and registers them with the
# platform's resource table before main runs.
# Called as: cmake -DOUTPUT=<file.cpp> -DLIST=<file> -P EmbedResources.cmake, where each
# line of the list file is "type|name|file".
file(STRINGS "${LIST}" ENTRIES)
set(source "// Made by the build from resource files; do not edit.\n")
string(APPEND source "#include <cstdint>\n\n#include \"platform/kernel/resources.h\"\n\nnamespace {\n\n")
set(registrations "")
set(index 0)
foreach(entry IN LISTS ENTRIES)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 type)
  list(GET parts 1 name)
  list(GET parts 2 file)
  file(READ "${file}" bytes HEX)
  string(LENGTH "${bytes}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
  # One more byte keeps an empty file a valid array; it is not counted in the size.
  string(APPEND source "const std::uint8_t kData${index}[] = {${bytes}0};\n")
  string(APPEND registrations "    platform::RegisterResource(\"${type}\", \"${name}\", kData${index}, ${size});\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND source "\nconst bool kRegistered = [] {\n${registrations}    return true;\n}();\n\n}  // namespace\n")
file(WRITE "${OUTPUT}.new" "${source}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
