# Cross-building for Windows with Debian's mingw-w64. The including file sets
# QUORVEL_MINGW_TRIPLE. The -posix compilers are the ones whose C++ library
# has std::thread and std::mutex (on winpthreads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUORVEL_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${QUORVEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_FIND_ROOT_PATH /usr/${QUORVEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The compiler's own runtimes (libgcc, libstdc++, winpthreads) are linked
# in, so the DLL and the programs need no DLL of the toolchain beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
# The tests run under wine on this machine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
# CMake does not derive the binutils from a compiler named -posix.
foreach(tool AR RANLIB NM OBJDUMP DLLTOOL STRIP)
  string(TOLOWER ${tool} name)
  set(CMAKE_${tool} /usr/bin/${QUORVEL_MINGW_TRIPLE}-${name})
endforeach()
set(CMAKE_RC_COMPILER /usr/bin/${QUORVEL_MINGW_TRIPLE}-windres)
