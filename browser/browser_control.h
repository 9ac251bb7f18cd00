// The shell's embedded browser widget, as the browser operations need it:
// start a navigation, and tell the handle of the widget's window.
#pragma once

#include "browser/operations.h"
#include "base/text/text.h"

namespace brevane {

class BrowserControl {
 public:
  virtual ~BrowserControl();
  // Starts loading the address, unchanged, and returns at once.
  virtual void Navigate(const Text& address) = 0;
  // Handle of the widget's window; 0 when the widget does not exist.
  virtual WindowHandle Handle() = 0;
};

}  // namespace brevane
