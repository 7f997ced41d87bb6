# The public keys the updater accepts release signatures from, built into it: empty (releases
# are not checked), or one or two entries "id:key" separated by a comma, the key as the
# publishing tool prints it (128 lower-case hexadecimal digits, X then Y of a P-256 point).
# Two entries are the current key and the next one, with a higher id, during a rotation. A malformed value is
# refused here rather than producing an updater that would refuse every release.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()

function(tidewell_check_update_keys value)
  if(value STREQUAL "")
    return()
  endif()
  string(REPLACE "," ";" entries "${value}")
  list(LENGTH entries count)
  if(count GREATER 2)
    message(FATAL_ERROR "TIDEWELL_UPDATE_KEYS holds ${count} keys; a build carries the current key and "
                        "at most one next key")
  endif()
  set(ids "")
  foreach(entry IN LISTS entries)
    if(NOT entry MATCHES "^([1-9][0-9]?[0-9]?[0-9]?):([0-9a-f]+)$")
      message(FATAL_ERROR "TIDEWELL_UPDATE_KEYS: '${entry}' is not of the form id:key, with an id from 1 to "
                          "9999 and the key as 'tidewell-publish --print-public-key' prints it")
    endif()
    string(LENGTH "${CMAKE_MATCH_2}" length)
    if(NOT length EQUAL 128)
      message(FATAL_ERROR "TIDEWELL_UPDATE_KEYS: the key of id ${CMAKE_MATCH_1} has ${length} hexadecimal "
                          "digits; a P-256 public key has 128")
    endif()
    if(CMAKE_MATCH_1 IN_LIST ids)
      message(FATAL_ERROR "TIDEWELL_UPDATE_KEYS: the id ${CMAKE_MATCH_1} is given twice")
    endif()
    # The updater retires every key below the highest it has seen signed: a next key with a
    # lower id would be retired by its own predecessor.
    if(ids AND NOT CMAKE_MATCH_1 GREATER ids)
      message(FATAL_ERROR "TIDEWELL_UPDATE_KEYS: the next key's id ${CMAKE_MATCH_1} is not above the current "
                          "key's ${ids}; give the current key first, then the next one with a higher id")
    endif()
    list(APPEND ids ${CMAKE_MATCH_1})
  endforeach()
endfunction()

function(tidewell_check_release_floor value)
  if(NOT value MATCHES "^(0|[1-9][0-9]?[0-9]?[0-9]?[0-9]?[0-9]?[0-9]?[0-9]?[0-9]?)$")
    message(FATAL_ERROR "TIDEWELL_RELEASE_FLOOR must be a release number from 0 to 999999999, not '${value}'")
  endif()
endfunction()

# The C++ initialiser of the keys' table, into the variable named `out`.
function(tidewell_update_keys_table value out)
  set(table "")
  if(NOT value STREQUAL "")
    string(REPLACE "," ";" entries "${value}")
    foreach(entry IN LISTS entries)
      string(REPLACE ":" ";" parts "${entry}")
      list(GET parts 0 id)
      list(GET parts 1 key)
      string(APPEND table "    {${id}, \"${key}\"},\n")
    endforeach()
  endif()
  set(${out} "${table}" PARENT_SCOPE)
endfunction()

# The identity a build with keys carries as its resource IDENTITE (RCDATA), for the maker's
# tool to read before it offers the program: its revision and its keys, one "Cle=id;key" line
# each, CR LF ended. Written into `file` only when it changes; nothing for a build without keys.
function(tidewell_updater_identity value revision file)
  if(value STREQUAL "")
    return()
  endif()
  set(text "Identite=1\nRevision=${revision}\n")
  string(REPLACE "," ";" entries "${value}")
  foreach(entry IN LISTS entries)
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 0 id)
    list(GET parts 1 key)
    string(APPEND text "Cle=${id};${key}\n")
  endforeach()
  file(CONFIGURE OUTPUT "${file}" CONTENT "${text}" @ONLY NEWLINE_STYLE CRLF)
endfunction()

# Script mode, for the configuration test: cmake -DVALUE=... -P UpdateKeys.cmake
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  tidewell_check_update_keys("${VALUE}")
  message(STATUS "accepted: ${VALUE}")
endif()
