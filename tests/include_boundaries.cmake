# The include folders each target is given keep it from private headers; this
# catches the one way around them, a relative path out of a file's own folder
# ("../../src/util/conversions.h"), and a public header that names a private one.
# Run as: cmake -DSOURCE_DIR=<repository> -P include_boundaries.cmake
set(bad "")
# fuzz/ is left out: its targets are white-box, like the tests
foreach(folder include adapters apps bench)
  file(GLOB_RECURSE files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(\\.\\./|src/|adapters/|apps/|tests/)")
    foreach(line IN LISTS lines)
      file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
      string(APPEND bad "  ${name}: ${line}\n")
    endforeach()
  endforeach()
endforeach()
if(bad)
  message(FATAL_ERROR "includes that reach past the public headers (docs/layout.md):\n${bad}")
endif()
