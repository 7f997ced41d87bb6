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
endforeach()

if(TIDEWELL_RUN_WINDOWS_TESTS)
  # Every Windows test program runs under wine64 through this launcher.
  set(TIDEWELL_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
  set(TIDEWELL_CERT_DIR ${CMAKE_BINARY_DIR}/certs)
  set(TIDEWELL_HTTPS_STATE ${CMAKE_BINARY_DIR}/https)
  set(TIDEWELL_TEST_UNTRUSTED_PORT 0)
  math(EXPR TIDEWELL_TEST_UNTRUSTED_PORT "${TIDEWELL_TEST_PORT} + 1")
  configure_file(${CMAKE_SOURCE_DIR}/tests/wine/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()

# tidewell_add_gtest(NAME SOURCES ... [LIBS ...] [FIXTURES ...] [LOCKS ...] [LABELS ...]
#                    [ENVIRONMENT VAR=VALUE ...])
# Native builds label the tests "native"; the x86_64 Windows build labels them "wine" and
# makes them depend on the Wine session fixture. Tests that look at the screen take the lock
# "display", so that no other test's window covers what they capture. The i686 build compiles and links the test
# programs (which proves the static runtime) but cannot run them.
function(tidewell_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;FIXTURES;LOCKS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  if(WIN32 AND NOT TIDEWELL_RUN_WINDOWS_TESTS)
    return()
  endif()
  if(WIN32)
    set(labels wine ${T_LABELS})
    set(fixtures wine_session ${T_FIXTURES})
  else()
    set(labels native ${T_LABELS})
    set(fixtures ${T_FIXTURES})
  endif()
  # gtest_discover_tests would flatten list-valued properties (two fixtures become a fixture
  # and a stray word), so they are set by a file that CTest reads after the discovery.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300
                       TEST_PREFIX "${name}." TEST_LIST ${name}_TESTS)
  set(after ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
  set(props "LABELS [==[${labels}]==] TIMEOUT 300")
  if(fixtures)
    string(APPEND props " FIXTURES_REQUIRED [==[${fixtures}]==]")
  endif()
  if(T_LOCKS)
    string(APPEND props " RESOURCE_LOCK [==[${T_LOCKS}]==]")
  endif()
  if(T_ENVIRONMENT)
    string(APPEND props " ENVIRONMENT [==[${T_ENVIRONMENT}]==]")
  endif()
  file(WRITE ${after} "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES ${props})\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${after})
endfunction()
