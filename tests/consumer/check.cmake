# cmake -P check.cmake: installs the build into a stage, then builds and runs the
# consumer project against the stage, once through find_package and once through
# pkg-config. Set by tests/CMakeLists.txt: BUILD_DIR, GENERATOR, CXX, LAUNCHER,
# BUILD_TYPE, SANITIZE_FLAGS, SHARED, PKG_CONFIG.
set(stage ${BUILD_DIR}/consumer-stage)
set(work ${BUILD_DIR}/consumer-build)
# afresh each run: a header gone from the tree must be gone from the stage too
file(REMOVE_RECURSE ${stage} ${work})

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    list(JOIN ARGV " " command)
    message(FATAL_ERROR "failed (${rc}): ${command}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${stage})

set(configure ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR} -B ${work} -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DCMAKE_PREFIX_PATH=${stage}
    -DPALVO_STAGE=${stage})
if(LAUNCHER)
  list(APPEND configure -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()
if(SANITIZE_FLAGS)
  # instrumented libraries need the sanitizer runtimes in the program
  list(APPEND configure "-DCMAKE_CXX_FLAGS=${SANITIZE_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${SANITIZE_FLAGS}")
endif()
run(${configure})
run(${CMAKE_COMMAND} --build ${work})
run(${work}/palvo_consumer)

# The same host built by hand from the pkg-config files.
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${stage}/lib/pkgconfig)
  set(static)
  if(NOT SHARED)
    set(static --static)
  endif()
  execute_process(COMMAND ${PKG_CONFIG} ${static} --cflags --libs palvo-sqlite palvo-memory
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know palvo-sqlite and palvo-memory in ${stage}")
  endif()
  message(STATUS "pkg-config palvo-sqlite palvo-memory: ${flags}")
  separate_arguments(flags UNIX_COMMAND "${flags}")
  separate_arguments(sanitize UNIX_COMMAND "${SANITIZE_FLAGS}")
  run(${CXX} -std=c++20 ${sanitize} ${CMAKE_CURRENT_LIST_DIR}/main.cpp ${flags} -Wl,-rpath,${stage}/lib
      -o ${work}/palvo_consumer_pc)
  run(${work}/palvo_consumer_pc)
endif()
