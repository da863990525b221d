# The floors of src/: the ground (base/ for values, errors and conversions; data/,
# controls/, windows/ and output/ for the ports and models) at the bottom, the
# subject modules above it, dispatch/ on top. A file may include its own floor and
# the floors below, never one above.
# Run as: cmake -DSRC=<repo>/src -P floors.cmake
if(NOT SRC)
  message(FATAL_ERROR "floors.cmake: pass -DSRC=<the src folder>")
endif()

set(subjects database query forms grid util machine print)
string(JOIN "|" subject_alt ${subjects})
# What each floor may not include: the ground sees none of the modules, their class
# facades or the dispatcher; a subject module never sees the dispatcher.
set(above_base "src/(${subject_alt}|dispatch)/|palvo/(cls[A-Za-z]*|dispatch)\\.h")
set(above_subject "src/dispatch/|palvo/dispatch\\.h")

set(broken "")
function(check_floor folder forbidden)
  file(GLOB_RECURSE files ${SRC}/${folder}/*.cpp ${SRC}/${folder}/*.h)
  if(NOT files)
    message(FATAL_ERROR "floors.cmake: no sources in ${SRC}/${folder}")
  endif()
  foreach(file IN LISTS files)
    set(rule "${forbidden}")
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS lines)
      if(line MATCHES "[\"<](${rule})")
        file(RELATIVE_PATH rel ${SRC}/.. ${file})
        list(APPEND broken "${rel}: ${line}")
      endif()
    endforeach()
  endforeach()
  set(broken ${broken} PARENT_SCOPE)
endfunction()

foreach(ground IN ITEMS base data controls windows output)
  check_floor(${ground} "${above_base}")
endforeach()
foreach(subject IN LISTS subjects)
  check_floor(${subject} "${above_subject}")
endforeach()

if(broken)
  list(JOIN broken "\n  " text)
  message(FATAL_ERROR "A lower floor of src/ includes a higher one:\n  ${text}")
endif()
message(STATUS "src/ floors hold")
