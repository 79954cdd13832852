# GoogleTest from Debian's sources, built in each tree with that tree's compiler.
if(VESK_FUZZ)
  function(vesk_test)
  endfunction()
  return()
endif()

set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(CTest)

# Every test program's main (tests/TestMain.cpp): GoogleTest's, with its thread
# watcher started before the first test rather than at the program's end.
add_library(vesk_test_main STATIC ${CMAKE_SOURCE_DIR}/tests/TestMain.cpp)
target_link_libraries(vesk_test_main PUBLIC GTest::gtest)

# vesk_test(NAME n SOURCES ... [LIBS ...] [GUI] [TIMEOUT s])
# One test program with many cases is one ctest entry. GUI tests look at the
# shared X screen, so they run one at a time.
function(vesk_test)
  cmake_parse_arguments(T "GUI" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} vesk_test_main GTest::gmock)
  target_compile_definitions(${T_NAME} PRIVATE VESK_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_GUI)
    set_tests_properties(${T_NAME} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()
