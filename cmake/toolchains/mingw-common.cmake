# Shared part of the MinGW-w64 toolchains. The -posix compilers provide
# std::thread; libgcc, libstdc++ and winpthread are linked statically so the
# executables need no MinGW DLLs at run time (under Wine or on a user's PC).
set(CMAKE_C_COMPILER ${BREVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BREVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BREVANE_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${BREVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Unicode-aware Windows headers; the program calls the W functions by name
# and the A functions only where their byte strings are meant.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")
# MinGW's GCC 12 reports false overlaps in std::string's inlined copies at
# -O3 (GCC bug 105329); that warning is switched off for these builds.
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601 -Wno-restrict")
