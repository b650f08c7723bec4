set(QUORVEL_MINGW_TRIPLE i686-w64-mingw32)
set(QUORVEL_MINGW_PROCESSOR x86)
# The pixel and mask loops take SSE2 for granted, as every x86-64 has it and
# every processor that runs Windows 8 or later. Callers on 32-bit Windows
# keep the stack only 4-byte aligned, so functions realign it for SSE.
set(CMAKE_C_FLAGS_INIT "-msse2 -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mstackrealign")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
