// The cooperative delay on GLib's main context. On the window thread the
// wait runs nested iterations of the default main context until a one-shot
// timer source fires, so every window event is dispatched meanwhile and the
// thread sleeps in poll() otherwise. On any other thread it just sleeps:
// that thread has no window events to dispatch.
#pragma once

#include <thread>

#include "browser/pause.h"

namespace brevane::gtk {

class Pause : public brevane::Pause {
 public:
  // The constructing thread is the window thread.
  Pause();

  int32_t For(int32_t duration, int32_t unit = pause_unit::kMilliseconds) override;
  int64_t TickCount() override;

 private:
  std::thread::id window_thread_;
};

}  // namespace brevane::gtk
