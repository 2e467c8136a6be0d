# Turns resource files into a C++ source: cmake -DOUT=x.cpp -DFILES="a;b" -P embed.cmake
# The source defines FindInstallerResource(name), name being the file's name. FILES may
# also be separated by "|".
string(REPLACE "|" ";" FILES "${FILES}")
set(body "")
set(table "")
set(i 0)
foreach(file IN LISTS FILES)
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" len)
  math(EXPR size "${len} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
  get_filename_component(name "${file}" NAME)
  string(APPEND body "const unsigned char k${i}[] = {\n${bytes}0};\n")
  string(APPEND table "      {\"${name}\", std::string(reinterpret_cast<const char*>(k${i}), ${size})},\n")
  math(EXPR i "${i} + 1")
endforeach()
file(WRITE "${OUT}.tmp" "// Generated from resources/ by resources/embed.cmake. Do not edit.
#include <map>
#include <string>

#include \"resources/resources.h\"

namespace {
${body}}  // namespace

const std::string* FindInstallerResource(const std::string& name) {
  static const std::map<std::string, std::string> files = {
${table}  };
  auto it = files.find(name);
  return it == files.end() ? nullptr : &it->second;
}
")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
