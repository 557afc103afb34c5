# The suite's tests: GoogleTest programs that run from the build folder.
# Included by the top-level CMakeLists.txt only when BUILD_TESTING is on; every folder puts
# its tests, test tools and benchmarks under if(BUILD_TESTING).

find_package(GTest REQUIRED)
include(GoogleTest)

# varno_add_gtest(<name> [QT] SOURCES <files...> LIBS <targets...>)
# A GoogleTest program made of the given sources. QT: its tests need a platform for windows
# (offscreen unless QT_QPA_PLATFORM says otherwise).
function(varno_add_gtest name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_sources(${name} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/TestEnvironment.cpp)
  if(ARG_QT)
    set(qt 1)
  else()
    set(qt 0)
  endif()
  target_compile_definitions(${name} PRIVATE VARNO_TEST_BIN_DIR="${CMAKE_BINARY_DIR}/bin" VARNO_TEST_QT=${qt})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()
