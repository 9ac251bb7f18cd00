// The program put together: the GTK main window, the WebKit engine and the
// browser operations on its web view, the monitoring core, announcements,
// contact link and skin, wired to the window's events through the binding
// table, and the start-up order of the program's life.
#pragma once

#include <string>

#include "base/text/text.h"

namespace brevane::app {

// The forum addresses the program was built with.
struct Endpoints {
  Text login_url;
  Text announcement_url;
};

// Runs the program: sets up what WebKit needs, creates the window, runs the
// event loop. Returns only when the window could not be created; closing the
// window ends the process with exit code 0.
int RunProgram(const Endpoints& endpoints);

}  // namespace brevane::app
