// A native window handle (an HWND on Windows, a window of the web-view
// host's made-up tree on Linux); 0 means none.
#pragma once

#include <cstdint>

namespace brevane {

using WindowHandle = std::intptr_t;

}  // namespace brevane
