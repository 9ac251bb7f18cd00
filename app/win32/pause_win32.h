// The cooperative delay on the Windows message loop: a waitable timer of its
// own per call, waited on together with the thread's input queue, and every
// message that arrives meanwhile dispatched on the calling thread.
#pragma once

#include <windows.h>

#include <functional>

#include "browser/pause.h"

namespace brevane::win32 {

// Dispatches every message waiting in the calling thread's queue, as the
// main loop would (including its pre-translation, such as Esc closing the
// window). A WM_QUIT found here is handed back through *quit_code.
bool DispatchWaitingMessages(int* quit_code);

// The main loop's pre-translation: returns true when the message was handled
// and must not be dispatched. Installed by the shell; none by default.
using MessageFilter = std::function<bool(MSG&)>;
void SetMessageFilter(MessageFilter filter);
bool FilterMessage(MSG& msg);

class Pause : public brevane::Pause {
 public:
  // use_waitable_timer false forces the fallback (a computed time-out on the
  // tick count), the path taken when no timer can be created.
  explicit Pause(bool use_waitable_timer = true) : use_timer_(use_waitable_timer) {}

  int32_t For(int32_t duration, int32_t unit = pause_unit::kMilliseconds) override;
  int64_t TickCount() override;

 private:
  void WaitWithoutTimer(double milliseconds, bool* quit, int* quit_code);

  bool use_timer_;
};

}  // namespace brevane::win32
