// The program put together: the GTK main window, the WebKit engine and the
// browser operations on its web view, the monitoring core, announcements,
// contact link and skin, wired to the window's events through the binding
// table, and the start-up order of the program's life.
#pragma once

#include <string>

#include "base/text/text.h"

namespace brevane::app {

// The forum addresses the program was built with, the one place every part
// of the program gets them from: the end-to-end build replaces them all.
struct Endpoints {
  Text login_url;
  Text announcement_url;
  // Scheme and host of the default boards.
  Text board_host;
  // The support chat page the contact button opens.
  Text contact_url;
  // A test forum's own certificate (a PEM file), which the web view accepts
  // for the login address's host alone. Only the demo and end-to-end builds
  // name one; the shipped program names none. Every other certificate is
  // checked against what the system trusts, and a page whose certificate
  // fails loads as an unreachable one.
  std::string test_certificate_file = {};
};

// Runs the program: sets up what WebKit needs, creates the window, runs the
// event loop. Returns only when the window could not be created; closing the
// window ends the process with exit code 0.
int RunProgram(const Endpoints& endpoints);

}  // namespace brevane::app
