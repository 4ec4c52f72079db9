# Helpers that place targets into the runnable program folder and register
# tests and fuzzers in one consistent way.

# The program folder: everything the program finds relative to its own
# executable is assembled here.
set(TAVRIN_DIST_DIR "${PROJECT_BINARY_DIR}/dist")

# An executable that ships in the program folder.
function(tavrin_program target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${TAVRIN_DIST_DIR}")
endfunction()

# A C ABI library in <program folder>/Driver/ named <target>.so that exports
# exactly the listed functions and nothing else (not even the instantiated
# standard-library templates, which keep default visibility otherwise).
function(tavrin_driver target)
  cmake_parse_arguments(ARG "" "" "EXPORTS" ${ARGN})
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${target}.map")
  list(JOIN ARG_EXPORTS ";\n    " body)
  file(WRITE "${script}" "{\n  global:\n    ${body};\n  local: *;\n};\n")
  set_target_properties(${target} PROPERTIES
    PREFIX "" SUFFIX ".so"
    LIBRARY_OUTPUT_DIRECTORY "${TAVRIN_DIST_DIR}/Driver"
    LINK_DEPENDS "${script}")
  target_link_options(${target} PRIVATE "-Wl,--version-script=${script}" "-Wl,--exclude-libs,ALL")
endfunction()

# A GoogleTest executable whose cases CTest discovers when the tests run, so
# that a sanitizer build never has to execute anything while it builds.
# TIMEOUT is per case (120 s unless given); LABELS mark the cases for
# `ctest -L` / `-LE`.
function(tavrin_test target)
  if(NOT TAVRIN_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${target} PRIVATE
    TAVRIN_DIST_DIR="${TAVRIN_DIST_DIR}/"
    TAVRIN_SOURCE_DIR="${PROJECT_SOURCE_DIR}/"
    TAVRIN_TEST_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}/")
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENVIRONMENT}"
               LABELS "${ARG_LABELS}")
endfunction()

# A libFuzzer target; only built in the clang fuzz build. SEEDS names a
# folder of seed inputs that CI hands to the fuzzer (build-fuzz/seeds/<name>).
function(tavrin_fuzzer target)
  if(NOT TAVRIN_BUILD_FUZZERS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "SEEDS" "SOURCES;LIBS" ${ARGN})
  if(ARG_SEEDS)
    file(COPY "${ARG_SEEDS}/" DESTINATION "${PROJECT_BINARY_DIR}/seeds/${target}")
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/fuzzers")
  if(NOT TARGET fuzzers)
    add_custom_target(fuzzers)
  endif()
  add_dependencies(fuzzers ${target})
endfunction()
