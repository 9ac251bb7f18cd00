// A native window handle (an HWND on Windows, an entry of the shell's widget
// table on Linux); 0 means none.
#pragma once

#include <cstdint>

namespace brevane {

using WindowHandle = std::intptr_t;

}  // namespace brevane
