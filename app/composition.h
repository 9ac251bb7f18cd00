// The program put together, once per platform: the main window of the
// platform's shell, the embedded browser that shell hosts with its engine
// (the WebKit view's host and the WebKit engine on GTK, composition_gtk.cpp;
// the WebBrowser control's host and the MSHTML engine on Windows,
// composition_win32.cpp) under the browser operations, the monitoring core,
// announcements, contact link and skin, wired to the window's events through
// the binding table, and the start-up order of the program's life.
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
  // A test forum's own certificate (a PEM file), which the GTK program's web
  // view accepts for the login address's host alone (the Windows program
  // does not read it). Only the demo and end-to-end builds name one; the
  // shipped program names none. Every other certificate is checked against
  // what the system trusts, and a page whose certificate fails loads as an
  // unreachable one.
  std::string test_certificate_file = {};
};

// Runs the program: sets up what the embedded browser needs (WebKit's
// environment on GTK, OLE on Windows), creates the window, runs the event
// loop. Returns 1 only when the GTK program cannot open the display;
// otherwise closing the window ends the process with exit code 0, as does a
// Windows window that cannot be created.
int RunProgram(const Endpoints& endpoints);

}  // namespace brevane::app
