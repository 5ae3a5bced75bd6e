# Writes OUTPUT, a C++ file holding each of the FILES as bytes, so that the
# dashboard needs nothing from the disk or the network at run time.
# cmake -DOUTPUT=... -DFILES="a;b" -P embed_assets.cmake
set(arrays "")
set(entries "")
set(index 0)
foreach(file IN LISTS FILES)
  get_filename_component(name "${file}" NAME)
  get_filename_component(extension "${file}" LAST_EXT)
  if(extension STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(extension STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  elseif(extension STREQUAL ".js")
    set(type "text/javascript; charset=utf-8")
  elseif(extension STREQUAL ".svg")
    set(type "image/svg+xml")
  else()
    set(type "application/octet-stream")
  endif()
  file(READ "${file}" hex HEX)
  file(SIZE "${file}" size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char asset${index}[] = {${bytes}0};\n")
  string(APPEND entries "    {\"${name}\", \"${type}\", asset${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.part" "// Generated from backoffice/dashboard_assets/: edit those files.
#include \"backoffice/dashboard_assets.h\"

namespace backoffice {
namespace {
${arrays}
const DashboardAsset kAssets[] = {
${entries}};
} // namespace

std::span<const DashboardAsset> DashboardAssets() {
    return kAssets;
}

} // namespace backoffice
")
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
