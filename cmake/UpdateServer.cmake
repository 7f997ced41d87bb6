# The maker's update server is built into the updater: scheme, host and optional port only.
# The updater speaks HTTPS alone, so anything else is refused at configuration time rather
# than producing a program that would silently fetch updates in clear text.
function(tidewell_check_update_server value)
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

# Script mode, for the configuration test: cmake -DVALUE=... -P UpdateServer.cmake (or
# -DPROXY=... for the proxy setting)
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE AND NOT DEFINED PROXY)
  tidewell_check_update_server("${VALUE}")
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
