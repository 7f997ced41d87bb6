# GoogleTest from Debian's sources, built with the same compiler as the code under test; and
# the helper that registers a GoogleTest program with CTest under the project's labels.
include(GoogleTest)

set(_gtest_src /usr/src/googletest)
if(NOT EXISTS ${_gtest_src}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${_gtest_src} (package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
if(NOT WIN32 AND TIDEWELL_SANITIZE)
  # GoogleTest shares objects with the sanitised tests, so it is instrumented too.
  set(_san -fsanitize=address,undefined -fno-omit-frame-pointer)
endif()
add_subdirectory(${_gtest_src} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(t gtest gtest_main)
  if(_san)
    target_compile_options(${t} PRIVATE ${_san})
  endif()
  # Not optimised in any build: nothing of it is measured, and optimised it took each Windows
  # build some 20 s to compile.
  target_compile_options(${t} PRIVATE -O0)
endforeach()

if(TIDEWELL_WINDOWS)
  # Every Windows test program runs under Wine through this launcher: wine64 for the x86_64
  # build, the 32-bit loader for the shipped i686 files. Each build has its own session, test
  # server and ports, so the two run side by side; the launcher skips (exit 77) where the
  # machine cannot run the build's programs.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TIDEWELL_ARCH x86_64)
    set(TIDEWELL_WINE_LOADER /usr/lib/wine/wine64)
    set(TIDEWELL_TEST_NAME_PREFIX "")
  else()
    set(TIDEWELL_ARCH i686)
    set(TIDEWELL_WINE_LOADER /usr/lib/wine/wine)
    set(TIDEWELL_TEST_NAME_PREFIX "i686.")
  endif()
  set(TIDEWELL_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
  set(TIDEWELL_CERT_DIR ${CMAKE_BINARY_DIR}/certs)
  set(TIDEWELL_HTTPS_STATE ${CMAKE_BINARY_DIR}/https)
  set(TIDEWELL_TEST_UNTRUSTED_PORT 0)
  math(EXPR TIDEWELL_TEST_UNTRUSTED_PORT "${TIDEWELL_TEST_PORT} + 1")
  math(EXPR TIDEWELL_TEST_NGINX_PORT "${TIDEWELL_TEST_PORT} + 2")
  math(EXPR TIDEWELL_TEST_PROXY_PORT "${TIDEWELL_TEST_PORT} + 3")
  # A second address of the test server, and one where nothing listens.
  math(EXPR TIDEWELL_TEST_MIRROR_PORT "${TIDEWELL_TEST_PORT} + 4")
  math(EXPR TIDEWELL_TEST_DEAD_PORT "${TIDEWELL_TEST_PORT} + 5")
  configure_file(${CMAKE_SOURCE_DIR}/tests/wine/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  # Whether this machine runs the build's programs, asked at each configure (scripts/build.sh
  # configures before each build). Where it does not, their tests are still listed, and
  # reported as skipped with the launcher's reason; but the programs that only tests run are
  # built on demand alone, not by default: compiling them would cost minutes for nothing.
  # The shipped files, and what the static checks read, are built all the same.
  # TIDEWELL_BUILD_SKIPPED_TESTS=ON builds them anyway.
  option(TIDEWELL_BUILD_SKIPPED_TESTS "Build the test programs this machine cannot run" OFF)
  execute_process(COMMAND ${TIDEWELL_WINE_LOADER} --version RESULT_VARIABLE _loader
                  OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
  if(_loader EQUAL 0 OR TIDEWELL_BUILD_SKIPPED_TESTS)
    set(TIDEWELL_TEST_PROGRAMS_BY_DEFAULT ON)
  else()
    set(TIDEWELL_TEST_PROGRAMS_BY_DEFAULT OFF)
    message(STATUS "${TIDEWELL_WINE_LOADER} does not run here: test programs built on demand only")
  endif()
else()
  set(TIDEWELL_TEST_PROGRAMS_BY_DEFAULT ON)
endif()

# tidewell_test_programs([TARGET ...]): these targets, or with none every target of the calling
# folder, are built by default only where this machine runs them.
function(tidewell_test_programs)
  if(TIDEWELL_TEST_PROGRAMS_BY_DEFAULT)
    return()
  endif()
  if(ARGN)
    set_target_properties(${ARGN} PROPERTIES EXCLUDE_FROM_ALL TRUE)
  else()
    set_property(DIRECTORY PROPERTY EXCLUDE_FROM_ALL TRUE)
  endif()
endfunction()

include(${CMAKE_SOURCE_DIR}/tests/keys/test-keys.cmake)

# The CTest name of a build-wide resource (fixture or lock): each Windows build has its own
# session, screen and test server.
function(tidewell_resource out)
  set(names)
  foreach(n IN LISTS ARGN)
    if(TIDEWELL_WINDOWS)
      list(APPEND names ${n}.${TIDEWELL_ARCH})
    else()
      list(APPEND names ${n})
    endif()
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# tidewell_windows_test(NAME ...): the properties every Windows test shares: its labels, the
# Wine session, and the launcher's code for "this machine cannot run it".
function(tidewell_windows_test)
  tidewell_resource(session wine_session)
  set_property(TEST ${ARGN} APPEND PROPERTY LABELS wine ${TIDEWELL_ARCH})
  set_property(TEST ${ARGN} APPEND PROPERTY FIXTURES_REQUIRED ${session})
  set_tests_properties(${ARGN} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()

# tidewell_test_headers(): the headers nearly every test file starts with, parsed once per build
# into one precompiled header that every GoogleTest program reuses: parsing them (GoogleTest's
# alone is some 20,000 lines, and windows.h more) took most of each test file's compile time.
# Called where the project's compile options are set, which the header must be built with.
function(tidewell_test_headers)
  set(headers <gtest/gtest.h> <algorithm> <chrono> <cstdio> <cstdlib> <cstring> <functional>
              <map> <memory> <optional> <string> <thread> <vector>)
  if(TIDEWELL_WINDOWS)
    list(PREPEND headers <windows.h>)
  endif()
  add_library(test_headers OBJECT ${CMAKE_SOURCE_DIR}/tests/support/test_headers.cpp)
  target_link_libraries(test_headers PRIVATE gtest)
  set_target_properties(test_headers PROPERTIES EXCLUDE_FROM_ALL TRUE)   # built for what reuses it
  target_precompile_headers(test_headers PRIVATE ${headers})
endfunction()

# tidewell_add_gtest(NAME SOURCES ... [LIBS ...] [FIXTURES ...] [LOCKS ...] [LABELS ...]
#                    [ENVIRONMENT VAR=VALUE ...] [SANDBOX])
# Native builds label the tests "native"; the Windows builds label them "wine" and their
# architecture, and make them depend on their Wine session. Tests that look at the screen take
# the lock "display", so that no other test's window covers what they capture. The tests are
# found in the sources, so that a build whose programs this machine cannot run still lists
# each of them (as skipped). SANDBOX runs each test in a world of its own instead, free of
# those locks and of the shared servers.
function(tidewell_add_gtest name)
  cmake_parse_arguments(T "SANDBOX" "" "SOURCES;LIBS;FIXTURES;LOCKS;LABELS;ENVIRONMENT" ${ARGN})
  if(T_SANDBOX AND TIDEWELL_WINDOWS)
    # Each test in a world of its own (see wine-run): its own servers and screen, so it waits
    # for no other test and holds no lock; the shared servers are not its business.
    list(REMOVE_ITEM T_FIXTURES https_server)
    list(REMOVE_ITEM T_LOCKS display update_server)
    list(APPEND T_ENVIRONMENT WINE_RUN_SANDBOX=1)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  # Where the test programs are built on demand only, the few built for the static checks
  # would not repay the header's own compile.
  if(TIDEWELL_TEST_PROGRAMS_BY_DEFAULT)
    target_precompile_headers(${name} REUSE_FROM test_headers)
  endif()
  set(scanned)
  foreach(s IN LISTS T_SOURCES)
    if(s MATCHES "\\.cpp$")
      list(APPEND scanned ${CMAKE_CURRENT_SOURCE_DIR}/${s})
    endif()
  endforeach()
  gtest_add_tests(TARGET ${name} SOURCES ${scanned} TEST_PREFIX "${TIDEWELL_TEST_NAME_PREFIX}${name}."
                  TEST_LIST tests)
  set_tests_properties(${tests} PROPERTIES TIMEOUT 300)
  if(T_SANDBOX AND TIDEWELL_WINDOWS)
    # Whole runs first: with no times of an earlier run to go by, CTest starts the costliest
    # tests first, and the run then ends with the short ones rather than waiting on a long one.
    # They share the processors with many others, and the longest takes some four minutes
    # on a busy machine of two cores.
    set_tests_properties(${tests} PROPERTIES COST 30 TIMEOUT 600)
  endif()
  if(TIDEWELL_WINDOWS)
    tidewell_windows_test(${tests})
  else()
    set_tests_properties(${tests} PROPERTIES LABELS native)
  endif()
  set_property(TEST ${tests} APPEND PROPERTY LABELS ${T_LABELS})
  tidewell_resource(fixtures ${T_FIXTURES})
  tidewell_resource(locks ${T_LOCKS})
  if(fixtures)
    set_property(TEST ${tests} APPEND PROPERTY FIXTURES_REQUIRED ${fixtures})
  endif()
  if(locks)
    set_tests_properties(${tests} PROPERTIES RESOURCE_LOCK "${locks}")
  endif()
  if(T_ENVIRONMENT)
    set_tests_properties(${tests} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
endfunction()
