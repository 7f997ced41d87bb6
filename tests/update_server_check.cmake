# What the configuration accepts and refuses: the update server's address (https addresses of
# scheme, host and optional port pass; anything the updater could not safely use fails), the
# release keys built into it, and how it reaches the server.
function(expect check what)
  cmake_parse_arguments(E "" "VARIABLE;KEYS" "ACCEPTED;REFUSED" ${ARGN})
  if(NOT E_VARIABLE)
    set(E_VARIABLE VALUE)
  endif()
  foreach(v IN LISTS E_ACCEPTED)
    execute_process(COMMAND ${CMAKE_COMMAND} -D${E_VARIABLE}=${v} -DKEYS=${E_KEYS} -P ${check}
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    if(NOT rc EQUAL 0)
      message(SEND_ERROR "refused valid ${what}: '${v}'")
    endif()
  endforeach()
  foreach(v IN LISTS E_REFUSED)
    execute_process(COMMAND ${CMAKE_COMMAND} -D${E_VARIABLE}=${v} -DKEYS=${E_KEYS} -P ${check}
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    if(rc EQUAL 0)
      message(SEND_ERROR "accepted invalid ${what}: '${v}'")
    endif()
  endforeach()
endfunction()

expect(${CMAKE_CURRENT_LIST_DIR}/../cmake/UpdateServer.cmake "address"
  ACCEPTED
    "https://updates.corvane.example"
    "https://localhost:48443"
    "https://127.0.0.1:8443"
    "https://[::1]:443"
  REFUSED
    "http://updates.corvane.example"
    "https://updates.corvane.example/"
    "https://updates.corvane.example/Abacor"
    "https://"
    "https://host:0"
    "https://host:70000"
    "ftp://host"
    "updates.corvane.example"
    "")

string(REPEAT "0123456789abcdef" 8 key)
string(TOUPPER "1:${key}" upper)
expect(${CMAKE_CURRENT_LIST_DIR}/../cmake/UpdateKeys.cmake "keys"
  ACCEPTED "" "1:${key}" "1:${key},2:${key}" "9:${key},10:${key}" "9999:${key}"
  REFUSED "0:${key}" "1:${key}0" "1:${key},1:${key}" "2:${key},1:${key}" "10:${key},9:${key}"
          "1:${key},2:${key},3:${key}" "1:" "${key}"
          "1:${key}," "1: ${key}" "a:${key}" "${upper}")

expect(${CMAKE_CURRENT_LIST_DIR}/../cmake/UpdateServer.cmake "proxy setting" VARIABLE PROXY
  ACCEPTED "direct" "system"
  REFUSED "" "System" "preconfig" "http://proxy:8080")

# Mirrors: up to four different https addresses, and only for a build that installs nothing
# unsigned.
expect(${CMAKE_CURRENT_LIST_DIR}/../cmake/UpdateServer.cmake "addresses with keys" KEYS "1:${key}"
  ACCEPTED
    "https://updates.corvane.example"
    "https://a.example,https://b.example:8443"
    "https://a.example,https://b.example,https://localhost:1,https://[::1]:443"
  REFUSED
    "https://a.example,http://b.example"
    "https://a.example,"
    ",https://a.example"
    "https://a.example,,https://b.example"
    "https://a.example, https://b.example"
    "https://a.example,https://a.example"
    "https://a,https://b,https://c,https://d,https://e"
    "https://a.example,https://b.example/Abacor")
expect(${CMAKE_CURRENT_LIST_DIR}/../cmake/UpdateServer.cmake "addresses without keys"
  REFUSED "https://a.example,https://b.example")
