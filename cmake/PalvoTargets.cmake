include(GNUInstallDirs)

# Warnings and sanitizers per target, never through global flags.
function(palvo_target_options target)
  # The repository root, for files that still include private headers (src/..., adapters/...);
  # PRIVATE, so no installed target hands it on.
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
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
endfunction()

# palvo_add_library(NAME [ALIAS alias] SOURCES ... [PUBLIC_DEPS ...] [PRIVATE_DEPS ...])
# A library with an ALIAS is part of the package (Palvo::alias): shared or static as
# BUILD_SHARED_LIBS says, installed by cmake/PalvoInstall.cmake. One without belongs to
# the apps: always static, never installed.
function(palvo_add_library name)
  cmake_parse_arguments(ARG "" "ALIAS" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  if(ARG_ALIAS)
    add_library(${name} ${ARG_SOURCES})
    add_library(Palvo::${ARG_ALIAS} ALIAS ${name})
    # installed side by side in libdir, they find each other there
    set_target_properties(${name} PROPERTIES EXPORT_NAME ${ARG_ALIAS} VERSION ${PROJECT_VERSION}
                                             SOVERSION ${PROJECT_VERSION_MAJOR} INSTALL_RPATH "$ORIGIN")
    target_compile_features(${name} PUBLIC cxx_std_20)
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
                                            $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  palvo_target_options(${name})
endfunction()

# palvo_add_test(NAME SOURCES ... DEPS ...)
function(palvo_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  palvo_target_options(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PALVO_BUILD_DIR=${PROJECT_BINARY_DIR}")
endfunction()
