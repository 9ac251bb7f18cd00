// The window thread on GTK: it runs GLib's default main context; a call
// handed over from another thread is queued there as an idle source while
// the caller sleeps on a condition variable until it has run
// (HandOverToWindowThread in ui/window_thread.h); a posted call is queued
// the same way and the caller goes on. The shell, the web-view host and the
// WebKit bridge all hand their calls over this way.
#pragma once

#include "ui/window_thread.h"

namespace brevane::gtk {

// Records the calling thread as the window thread (called once, at start;
// the engine's test harness calls it for its own thread).
void MarkWindowThread();

}  // namespace brevane::gtk
