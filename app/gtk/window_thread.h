// The window thread on GTK: it runs GLib's default main context; a call
// handed over from another thread is queued there as an idle source while
// the caller sleeps on a condition variable until it has run
// (HandOverToWindowThread in ui/window_thread.h).
#pragma once

#include <functional>

#include "ui/window_thread.h"

namespace brevane::gtk {

// Records the calling thread as the window thread (called once, at start).
void MarkWindowThread();

// Queues f to the window thread and returns at once.
void PostToWindowThread(std::function<void()> f);

}  // namespace brevane::gtk
