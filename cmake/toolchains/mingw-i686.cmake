# 32-bit Windows program (the release build), cross-compiled with MinGW-w64.
# Nothing built here can run on this machine (Wine runs 64-bit code only).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(BREVANE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
