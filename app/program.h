// The program as both platforms put it together: the monitoring core and
// the announcements over the platform's window and browser operations, the
// routine runner the window's events go to, the login worker and the
// start-up order of the program's life. A platform hands in only its own
// parts: how to create its window and browser, its event loop, its main
// window's handle, its hand-over to the window thread and its way to end.
#pragma once

#include <functional>
#include <memory>

#include "app/composition.h"
#include "base/window_handle.h"
#include "browser/operations.h"
#include "core/startup.h"
#include "ui/controls.h"
#include "ui/shell.h"
#include "ui/window_model.h"

namespace brevane {
class Announcements;
class Core;
class HttpFetcher;
}  // namespace brevane

namespace brevane::app {

struct PlatformParts {
  // Creates the window and the browser, hands both to Program::Assemble,
  // gives the window Program::Runner and DecodeForBanner, and shows it.
  std::function<void()> create_window;
  std::function<void()> run_event_loop;
  std::function<WindowHandle()> main_window;
  // Ends the process at once with exit code 0; never returns.
  std::function<void()> end_program;
};

class Program {
 public:
  explicit Program(const Endpoints& endpoints);
  ~Program();

  // The core and the announcements over the platform's window and browser;
  // both live as long as the program. The window gets the board host the
  // default boards are built on.
  void Assemble(WindowModel& window, BrowserOperations& browser);
  // Runs the routine an event is bound to.
  shell::RoutineRunner Runner();
  // The start-up order with the platform's parts; ends the process through
  // the platform's end_program. The login worker's calls go to the window
  // thread through the shell's HandOverToWindowThread.
  void Start(PlatformParts parts);

 private:
  Endpoints endpoints_;
  PlatformParts parts_;
  Startup startup_;
  Controls* window_ = nullptr;
  BrowserOperations* browser_ = nullptr;
  std::unique_ptr<Core> core_;
  std::unique_ptr<HttpFetcher> http_;
  std::unique_ptr<Announcements> announcements_;
};

}  // namespace brevane::app
