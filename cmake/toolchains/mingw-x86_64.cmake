# 64-bit Windows build, cross-compiled with MinGW-w64; its tests run under
# Wine (wine64) as the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(BREVANE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

find_program(BREVANE_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib/wine64 /usr/bin NO_DEFAULT_PATH)
if(NOT BREVANE_WINE)
  find_program(BREVANE_WINE NAMES wine64 wine)
endif()
if(BREVANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${BREVANE_WINE})
endif()
