// The window thread on Windows: it owns a hidden message-only window; a
// call handed over from another thread is sent to it as a private message,
// and SendMessage returns when the window thread has run it
// (HandOverToWindowThread in ui/window_thread.h); a posted call is posted to
// it and the caller goes on (PostToWindowThread). The window thread serves
// sent messages in its main loop and inside every pause, so a call waits at
// most for the handler that is running at the time.
#pragma once

#include "ui/window_thread.h"

namespace brevane::win32 {

// Makes the calling thread the window thread (once, at start) and creates
// its hand-over window. False when the window cannot be created.
bool MarkWindowThread();

}  // namespace brevane::win32
