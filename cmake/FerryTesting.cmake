# Test helpers shared by every test folder.
#
# Natively the tests run as they are. In the Windows build ctest starts them
# through Wine (CMAKE_CROSSCOMPILING_EMULATOR) in a private prefix under the
# build folder; a fixture creates the prefix and keeps its server alive for
# the whole run so that each test process starts fast.

if(NOT FERRY_FUZZ AND NOT TARGET GTest::gtest_main)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gtest ALIAS gtest)
  endif()
endif()

set(FERRY_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(FERRY_TEST_ENV
    "WINEPREFIX=${FERRY_WINEPREFIX}"
    "WINEDEBUG=-all"
    "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe="
    "FERRY_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    "FERRY_BINARY_DIR=${CMAKE_BINARY_DIR}")

if(FERRY_WINDOWS AND NOT TARGET ferry_wine_prefix_marker)
  add_custom_target(ferry_wine_prefix_marker)
  add_test(NAME wine_prefix_start
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix start ${FERRY_WINEPREFIX})
  set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${FERRY_TEST_ENV}")
  add_test(NAME wine_prefix_stop
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix stop ${FERRY_WINEPREFIX})
  set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${FERRY_TEST_ENV}")
endif()

# ferry_add_test(name SOURCES a.cpp b.cpp LIBS lib1 lib2 [TIMEOUT s])
# One GoogleTest program, one ctest entry; runs under Wine in the Windows build.
function(ferry_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${FERRY_TEST_ENV}" TIMEOUT ${T_TIMEOUT})
  if(FERRY_WINDOWS)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()

# ferry_add_script_test(name COMMAND ... ) for end-to-end tests driven by a shell script.
function(ferry_add_script_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "COMMAND" ${ARGN})
  add_test(NAME ${name} COMMAND ${T_COMMAND})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 900)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${FERRY_TEST_ENV}" TIMEOUT ${T_TIMEOUT})
  if(FERRY_WINDOWS)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()
