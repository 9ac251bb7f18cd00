// The program put together on GTK: the GTK main window, the WebKit view's
// host with the WebKit engine under the browser operations, the monitoring
// core, announcements, contact link and skin, wired to the window's events
// through the binding table, and the start-up order of the program's life.
#include "app/composition.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "app/program.h"
#include "app/routines.h"
#include "browser/document_browser.h"
#include "browser/webkit/web_view_host.h"
#include "browser/webkit/webkit_engine.h"
#include "app/gtk/pause_gtk.h"
#include "app/gtk/main_window.h"

namespace brevane::app {
namespace {

// Everything that lives as long as the window.
struct Parts {
  gtk::Pause pause;
  std::unique_ptr<WebViewHost> browser_control;
  std::unique_ptr<WebKitEngine> engine;
  std::unique_ptr<gtk::MainWindow> window;
  std::unique_ptr<DocumentBrowser> browser;
};

// Ends the process at once with exit code 0. Settings are written on every
// change, so nothing is pending; a login worker still waiting for the window
// thread ends with the process, and no destructor runs that could wait for it.
[[noreturn]] void EndProgram() {
  std::fflush(nullptr);
  _exit(0);
}

}  // namespace

int RunProgram(const Endpoints& endpoints) {
  PrepareWebKitProcess();
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr, "brevane: cannot open the display\n");
    return 1;
  }
  static Parts p;  // lives until the process ends
  static Program program(endpoints);
  PlatformParts parts;
  parts.create_window = [&endpoints] {
    p.browser_control = std::make_unique<WebViewHost>();
    // The test forum's certificate of a demo or end-to-end build, accepted
    // for the login address's host before the view loads its first page.
    p.browser_control->AcceptCertificate(endpoints.test_certificate_file, endpoints.login_url);
    p.engine = std::make_unique<WebKitEngine>(*p.browser_control);
    p.window = std::make_unique<gtk::MainWindow>([] { return p.browser_control->widget(); });
    p.browser = std::make_unique<DocumentBrowser>(*p.browser_control, *p.engine, p.pause);
    program.Assemble(*p.window, *p.browser);
    p.window->SetPictureDecoder(DecodeForBanner);
    p.window->SetRoutineRunner(program.Runner());
    // Nothing loads yet: the login waits for the first activation.
    p.window->CreateAndShow();
  };
  parts.run_event_loop = [] {
    while (!p.window->closed()) g_main_context_iteration(nullptr, TRUE);
  };
  parts.main_window = [] { return p.window->Handle(); };
  parts.end_program = [] { EndProgram(); };
  program.Start(std::move(parts));
  return 0;
}

}  // namespace brevane::app
