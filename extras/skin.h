// The window skin. Where a skin engine exists its library is mapped from
// memory at program start and applied once the main window exists; where it
// does not, the window is drawn in its plain look and both calls just return.
#pragma once

#include "base/window_handle.h"

namespace brevane {

// Program start, before the main window is created.
void PrepareSkinLibrary();

// First step of the main window's created sequence. Returns in every case;
// a missing engine or a rejected skin leaves the window unskinned.
void ApplySkin(WindowHandle main_window);

}  // namespace brevane
