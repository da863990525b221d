include(GNUInstallDirs)

# Warnings and sanitizers per target, never through global flags. No include
# folder here: a target sees include/ through the libraries it links, and its
# private headers only as palvo_add_library gives them (docs/layout.md).
function(palvo_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  # GCC 12 reports std::string copies as overlapping memcpy at -O3 (GCC bug 105329)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(PALVO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(PALVO_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(PALVO_SANITIZE_THREAD)
    target_compile_options(${target} PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=thread)
  endif()
endfunction()

# palvo_add_library(NAME [ALIAS alias] [PRIVATE_INCLUDE dir] SOURCES ... [PUBLIC_DEPS ...]
#                   [PRIVATE_DEPS ...])
# A library with an ALIAS is part of the package (Palvo::alias): shared or static as
# BUILD_SHARED_LIBS says, installed by cmake/PalvoInstall.cmake. Its private headers
# live in PRIVATE_INCLUDE (by default its own folder), which it alone sees; its
# white-box tests reach them only by linking the INTERFACE target NAME_private.
# A library without an ALIAS belongs to the apps: always static, never installed;
# its own folder is its public interface (to its executable, the other apps, tests).
#
# A package library is built with hidden visibility: only what its public headers
# mark PALVO_API (palvo/export.h) is exported. Its white-box tests call module
# functions that are not exported, so in a shared build NAME_private links
# NAME_static, an archive of the same object files (nothing is compiled twice),
# and such a test links the static variant of every package library it uses, so
# that the process holds one copy of each (palvo_add_test, palvo_white_box_deps).
function(palvo_add_library name)
  cmake_parse_arguments(ARG "" "ALIAS;PRIVATE_INCLUDE" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  if(ARG_ALIAS)
    add_library(${name} ${ARG_SOURCES})
    add_library(Palvo::${ARG_ALIAS} ALIAS ${name})
    # installed side by side in libdir, they find each other there
    set_target_properties(${name} PROPERTIES EXPORT_NAME ${ARG_ALIAS} VERSION ${PROJECT_VERSION}
                                             SOVERSION ${PROJECT_VERSION_MAJOR} INSTALL_RPATH "$ORIGIN"
                                             CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    target_compile_features(${name} PUBLIC cxx_std_20)
    if(NOT ARG_PRIVATE_INCLUDE)
      set(ARG_PRIVATE_INCLUDE ${CMAKE_CURRENT_SOURCE_DIR})
    endif()
    target_include_directories(${name} PRIVATE ${ARG_PRIVATE_INCLUDE})
    set(white_box ${name})
    if(BUILD_SHARED_LIBS)
      set(white_box ${name}_static)
      add_library(${white_box} STATIC $<TARGET_OBJECTS:${name}>)
      target_include_directories(${white_box} PUBLIC $<TARGET_PROPERTY:${name},INTERFACE_INCLUDE_DIRECTORIES>)
      target_compile_features(${white_box} PUBLIC cxx_std_20)
      cmake_language(EVAL CODE "cmake_language(DEFER CALL palvo_link_static_variant [[${name}]])")
    endif()
    add_library(${name}_private INTERFACE)
    target_include_directories(${name}_private INTERFACE ${ARG_PRIVATE_INCLUDE})
    target_link_libraries(${name}_private INTERFACE ${white_box})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
                                            $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  palvo_target_options(${name})
endfunction()

# The tests' shared helpers (tests/support, tests/forms), as "support/errors.h".
add_library(palvo_test_support INTERFACE)
target_include_directories(palvo_test_support INTERFACE ${PROJECT_SOURCE_DIR}/tests)

# The static variant links what its library links, each package library by its
# static variant; called at the end of the library's folder, where every link of
# it is known and its imported targets are seen.
function(palvo_link_static_variant library)
  get_target_property(links ${library} LINK_LIBRARIES)
  if(links)
    palvo_white_box_deps(links ${links})
    target_link_libraries(${library}_static PUBLIC ${links})
  endif()
endfunction()

# palvo_white_box_deps(OUT DEPS...): DEPS for a program that links a LIB_private, with
# every package library replaced by its static variant (one copy of each in the process).
function(palvo_white_box_deps out)
  set(mapped "")
  foreach(dep ${ARGN})
    if(TARGET ${dep}_static)
      list(APPEND mapped ${dep}_static)
    else()
      list(APPEND mapped ${dep})
    endif()
  endforeach()
  set(${out} ${mapped} PARENT_SCOPE)
endfunction()

# palvo_add_test(NAME SOURCES ... DEPS ...)
# A white-box test names LIB_private among its DEPS to include LIB's private headers.
function(palvo_add_test name)
  cmake_parse_arguments(ARG "" "TEST_FILTER" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_DEPS MATCHES "_private(;|$)")
    palvo_white_box_deps(ARG_DEPS ${ARG_DEPS})
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} palvo_test_support GTest::gtest GTest::gmock
                                        GTest::gtest_main)
  palvo_target_options(${name})
  set(filter)
  if(ARG_TEST_FILTER)
    set(filter TEST_FILTER ${ARG_TEST_FILTER})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 ${filter}
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PALVO_BUILD_DIR=${PROJECT_BINARY_DIR}")
endfunction()
