# The libFuzzer targets of a fuzzing build (VARNO_FUZZ=ON, clang).

set(VARNO_FUZZ_SECONDS 10 CACHE STRING "How long the test run of each fuzzer lasts (seconds)")

# varno_add_fuzzer(<name> [DOUBLE_TIME] SOURCES <files...> LIBS <targets...> [CORPUS <folder>])
# A fuzzer made of the given sources and, with BUILD_TESTING, its short test run, twice as
# long with DOUBLE_TIME. The committed seeds (the folder CORPUS of the source folder,
# "corpus" unless given) stay as they are; what a run finds goes to a corpus in the build
# folder.
function(varno_add_fuzzer name)
  cmake_parse_arguments(ARG "DOUBLE_TIME" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_CORPUS)
    set(ARG_CORPUS corpus)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  if(NOT BUILD_TESTING)
    return()
  endif()
  set(seconds ${VARNO_FUZZ_SECONDS})
  if(ARG_DOUBLE_TIME)
    math(EXPR seconds "2 * ${seconds}")
  endif()
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/corpus-${name})
  add_test(NAME ${name}_smoke
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
            $<TARGET_FILE:${name}> -max_total_time=${seconds} -rss_limit_mb=2048
            -timeout=10 ${CMAKE_CURRENT_BINARY_DIR}/corpus-${name} ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_CORPUS})
  set_tests_properties(${name}_smoke PROPERTIES TIMEOUT 120 LABELS fuzz)
endfunction()
