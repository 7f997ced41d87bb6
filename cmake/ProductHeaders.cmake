# The platform's header and the standard ones that nearly every file of the Windows programs
# starts with, parsed once per build and kind of compile into a precompiled header that the
# programs' own code reuses. Parsing them took some three quarters of each file's compile time,
# and the release test builds the shipped files three times over. The release command's files
# came out byte for byte the same with it as without.
# Two kinds: the updater's code (tidewell_no_rtti, which reuses `product_headers_lto` on its
# own) and the rest (tidewell_product_headers).
if(TIDEWELL_WINDOWS)
  set(_product_headers <windows.h> <algorithm> <cstdint> <cstdio> <cstring> <functional> <memory>
                       <optional> <string> <vector>)
  foreach(anchor product_headers product_headers_lto)
    add_library(${anchor} OBJECT ${CMAKE_SOURCE_DIR}/cmake/product_headers.cpp)
    set_target_properties(${anchor} PROPERTIES EXCLUDE_FROM_ALL TRUE)   # built for what reuses it
    target_precompile_headers(${anchor} PRIVATE ${_product_headers})
  endforeach()
  tidewell_no_rtti(product_headers_lto)
endif()

# tidewell_product_headers(TARGET ...): Windows code compiled with the project's options alone.
function(tidewell_product_headers)
  if(TIDEWELL_WINDOWS)
    foreach(target IN LISTS ARGN)
      target_precompile_headers(${target} REUSE_FROM product_headers)
    endforeach()
  endif()
endfunction()
