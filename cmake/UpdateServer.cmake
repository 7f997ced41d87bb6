# The maker's update server is built into the updater: scheme, host and optional port only.
# The updater speaks HTTPS alone, so anything else is refused at configuration time rather
# than producing a program that would silently fetch updates in clear text. A build with
# release keys (`keys` not empty) may name up to four such addresses, comma-separated, tried
# in turn: what it installs is signed, which makes every one as safe as the first.
function(tidewell_check_update_server value keys)
  if(value MATCHES ",")
    if(keys STREQUAL "")
      message(FATAL_ERROR "TIDEWELL_UPDATE_SERVER names several addresses, which only a build with "
                          "release keys (TIDEWELL_UPDATE_KEYS) may do; got '${value}'")
    endif()
    string(REPLACE "," ";" addresses "${value}")
    list(LENGTH addresses count)
    set(unique ${addresses})
    list(REMOVE_DUPLICATES unique)
    list(LENGTH unique distinct)
    if(count GREATER 4 OR NOT distinct EQUAL count)
      message(FATAL_ERROR "TIDEWELL_UPDATE_SERVER may name at most four different addresses; got '${value}'")
    endif()
    foreach(address IN LISTS addresses)
      tidewell_check_one_update_server("${address}")
    endforeach()
  else()
    tidewell_check_one_update_server("${value}")
  endif()
endfunction()

function(tidewell_check_one_update_server value)
  set(host "([A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)(\\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)*")
  set(ipv6 "\\[[0-9A-Fa-f:.]+\\]")
  if(NOT value MATCHES "^https://(${host}|${ipv6})(:[0-9]+)?$")
    message(FATAL_ERROR
      "TIDEWELL_UPDATE_SERVER must be an https address made of scheme, host and optional "
      "port, such as https://updates.corvane.example or https://localhost:8443; got '${value}'")
  endif()
  if(value MATCHES ":([0-9]+)$")
    if(CMAKE_MATCH_1 LESS 1 OR CMAKE_MATCH_1 GREATER 65535)
      message(FATAL_ERROR "TIDEWELL_UPDATE_SERVER has an invalid port: '${value}'")
    endif()
  endif()
endfunction()

# Script mode, for the configuration test: cmake -DVALUE=... [-DKEYS=...] -P UpdateServer.cmake
# (or -DPROXY=... for the proxy setting)
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE AND NOT DEFINED PROXY)
  tidewell_check_update_server("${VALUE}" "${KEYS}")
  message(STATUS "accepted: ${VALUE}")
endif()

# How the updater reaches the server: "direct" (the default), or "system": through the proxy
# the user's settings name, as the platform's own browser would.
function(tidewell_check_proxy value)
  if(NOT value STREQUAL "direct" AND NOT value STREQUAL "system")
    message(FATAL_ERROR "TIDEWELL_PROXY must be 'direct' or 'system', not '${value}'")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE AND DEFINED PROXY)
  tidewell_check_proxy("${PROXY}")
endif()
