# The test framework: Debian's GoogleTest for a native build; for a cross build, the
# GoogleTest sources that libgtest-dev ships, compiled with the cross compiler.
if(CMAKE_CROSSCOMPILING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# What a test may need to know about how it was built:
#   SKIMBO_EMULATOR  the command that runs a target program on this machine, words separated
#                    by spaces; empty for a native build. Tests that need the real kernel for
#                    the target (seccomp, namespaces, identity changes) skip under it, and
#                    tests that start the program put it in front.
# (Whether AddressSanitizer is on comes from base/address_space.h, as for the program.)
add_library(skimbo_test_env INTERFACE)
list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " skimbo_emulator)
target_compile_definitions(skimbo_test_env INTERFACE SKIMBO_EMULATOR="${skimbo_emulator}")
target_include_directories(skimbo_test_env INTERFACE ${PROJECT_SOURCE_DIR})
if(CMAKE_CROSSCOMPILING)
  target_sources(skimbo_test_env INTERFACE ${CMAKE_CURRENT_LIST_DIR}/static_test_netdb.cpp)
endif()

# skimbo_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# One GoogleTest program; each of its tests becomes a ctest case.
function(skimbo_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} skimbo_test_env GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120)
endfunction()
