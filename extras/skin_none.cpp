// On this platform there is no skin engine: the window keeps its plain look.
#include "extras/skin.h"

namespace brevane {

void PrepareSkinLibrary() {}

void ApplySkin(WindowHandle) {}

}  // namespace brevane
