// The eight operations through which the core drives the embedded browser.
// The core decides everything from the texts they return; none reports an
// error, a failed step gives the empty result. Every operation blocks until
// done and keeps dispatching the caller's window events meanwhile.
#pragma once

#include <cstdint>

#include "base/text/text.h"
#include "base/window_handle.h"

namespace brevane {

class BrowserOperations {
 public:
  virtual ~BrowserOperations() = default;

  // Starts loading the address, unchanged (an empty address included), and
  // returns at once.
  virtual void NavigateBrowser(const Text& address) = 0;

  // Handle of the browser control, read anew at every call; 0 when the
  // control does not exist.
  virtual WindowHandle BrowserWindowHandle() = 0;

  // Binds the page again and again until it and its frames are complete
  // (1) or the limit runs out (0). limit_ms: 0 = 20000, -1 = 9999999.
  virtual int32_t WaitForPage(WindowHandle window, int32_t limit_ms = 0,
                              bool initialise_com = false) = 0;

  // Outer HTML of the n-th table counted across the page's documents.
  virtual Text ReadTableHtml(int32_t n) = 0;

  // The markup of the form named by key, rebuilt from its start tag and the
  // outer HTML of its controls.
  virtual Text ReadFormHtml(const Text& key, int32_t skip = 0) = 0;

  // Writes text as the inner HTML of the editable document named by key;
  // 1 on success.
  virtual int32_t FillEditor(const Text& key, const Text& text, int32_t skip = 0,
                             bool focus_first = false) = 0;

  // Clicks the button-like element named by key; 1 when found and clicked.
  virtual int32_t ClickButton(const Text& key, int32_t skip = 0) = 0;

  // The cooperative delay, in milliseconds.
  virtual int32_t Pause(int32_t milliseconds) = 0;
};

}  // namespace brevane
