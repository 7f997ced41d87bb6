# Shared by the two MinGW-w64 toolchain files: TIDEWELL_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TIDEWELL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TIDEWELL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TIDEWELL_MINGW_TRIPLE}-windres)
# Archives of objects that carry intermediate code for the link-time optimiser.
set(CMAKE_AR ${TIDEWELL_MINGW_TRIPLE}-gcc-ar-posix)
set(CMAKE_RANLIB ${TIDEWELL_MINGW_TRIPLE}-gcc-ranlib-posix)
set(CMAKE_FIND_ROOT_PATH /usr/${TIDEWELL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The shipped files may import Windows system DLLs only: no libgcc, libstdc++ or winpthread DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
