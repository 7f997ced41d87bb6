# The update server address is checked when the project is configured: https addresses of
# scheme, host and optional port pass; anything the updater could not safely use fails.
set(check ${CMAKE_CURRENT_LIST_DIR}/../cmake/UpdateServer.cmake)
set(accepted
  "https://updates.corvane.example"
  "https://localhost:48443"
  "https://127.0.0.1:8443"
  "https://[::1]:443")
set(refused
  "http://updates.corvane.example"
  "https://updates.corvane.example/"
  "https://updates.corvane.example/Abacor"
  "https://"
  "https://host:0"
  "https://host:70000"
  "ftp://host"
  "updates.corvane.example"
  "")
set(failures 0)
foreach(v IN LISTS accepted)
  execute_process(COMMAND ${CMAKE_COMMAND} -DVALUE=${v} -P ${check}
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(SEND_ERROR "refused a valid address: '${v}'")
  endif()
endforeach()
foreach(v IN LISTS refused)
  execute_process(COMMAND ${CMAKE_COMMAND} -DVALUE=${v} -P ${check}
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(rc EQUAL 0)
    message(SEND_ERROR "accepted an invalid address: '${v}'")
  endif()
endforeach()
