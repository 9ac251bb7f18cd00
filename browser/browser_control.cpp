#include "browser/browser_control.h"

namespace brevane {

BrowserControl::~BrowserControl() = default;

}  // namespace brevane
