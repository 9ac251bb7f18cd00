#include "app/composition.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "app/routines.h"
#include "browser/browser_control.h"
#include "browser/document_browser.h"
#include "browser/webkit/webkit_engine.h"
#include "core/core.h"
#include "core/startup.h"
#include "extras/announcement.h"
#include "extras/http.h"
#include "extras/open_in_browser.h"
#include "extras/skin.h"
#include "ui/gtk/gtk_pause.h"
#include "ui/gtk/main_window.h"
#include "ui/gtk/window_thread.h"
#include "ui/names.h"
#include "app/worker_proxies.h"

namespace brevane::app {
namespace {

// The shell's widget handles as the WebKit engine searches them.
class ShellWidgets : public WidgetTable {
 public:
  explicit ShellWidgets(gtk::MainWindow& window) : window_(window) {}
  bool IsWindow(WindowHandle handle) override { return window_.IsWindow(handle); }
  std::string ClassName(WindowHandle handle) override { return window_.ClassName(handle); }
  std::vector<WindowHandle> Children(WindowHandle handle) override { return window_.Children(handle); }
  WebKitWebView* WebViewOf(WindowHandle handle) override { return window_.WebViewOf(handle); }

 private:
  gtk::MainWindow& window_;
};

class ShellBrowserControl : public BrowserControl {
 public:
  explicit ShellBrowserControl(gtk::MainWindow& window) : navigator_(window) {}
  void Navigate(const Text& address) override { navigator_.Navigate(address); }
  WindowHandle Handle() override { return navigator_.Handle(); }

 private:
  gtk::WebViewNavigator navigator_;
};

// Everything that lives as long as the window.
struct Program {
  gtk::GtkPause pause;
  std::unique_ptr<gtk::MainWindow> window;
  std::unique_ptr<ShellWidgets> widgets;
  std::unique_ptr<ShellBrowserControl> browser_control;
  std::unique_ptr<WebKitEngine> engine;
  std::unique_ptr<DocumentBrowser> browser;
  std::unique_ptr<Core> core;
  std::unique_ptr<HttpFetcher> http;
  std::unique_ptr<Announcements> announcements;
  Text login_url;
};

// Ends the process at once with exit code 0. Settings are written on every
// change, so nothing is pending; a login worker still waiting for the window
// thread ends with the process, and no destructor runs that could wait for it.
[[noreturn]] void EndProgram() {
  std::fflush(nullptr);
  _exit(0);
}

// Environment WebKit needs in this process before the first web view: no
// GPU is assumed (a virtual X server has none), so pages are composited in
// software; scroll bars are classic ones. Values the user has set are kept.
void PrepareWebKitEnvironment() {
  setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
  // Classic scroll bars, always shown, as the Windows browser control has.
  // The overlay ones fade in and out in steps of their own: on a page that
  // scrolls (a thread page with its editor) they kept the page repainting
  // some twenty times a second while the window only waits.
  setenv("GTK_OVERLAY_SCROLLING", "0", 0);
}

}  // namespace

int RunProgram(const Endpoints& endpoints) {
  PrepareWebKitEnvironment();
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr, "brevane: cannot open the display\n");
    return 1;
  }
  static Program p;  // lives until the process ends
  p.login_url = endpoints.login_url;
  Startup startup;

  startup.prepare_skin_library = [] { PrepareSkinLibrary(); };
  startup.create_window = [&] {
    p.window = std::make_unique<gtk::MainWindow>();
    p.widgets = std::make_unique<ShellWidgets>(*p.window);
    p.browser_control = std::make_unique<ShellBrowserControl>(*p.window);
    p.engine = std::make_unique<WebKitEngine>(*p.widgets);
    p.browser = std::make_unique<DocumentBrowser>(*p.browser_control, *p.engine, p.pause);
    CoreEdges edges;
    edges.open_in_browser = [](const Text& address) { OpenInBrowser(address); };
    edges.settings_directory = SettingsDirectory();
    edges.login_url = endpoints.login_url;
    p.core = std::make_unique<Core>(*p.window, *p.browser, std::move(edges));
    p.http = MakeHttpFetcher();
    p.announcements = std::make_unique<Announcements>(
        *p.window, *p.http, [](const Text& address) { OpenInBrowser(address); }, endpoints.announcement_url);
    p.window->SetPictureDecoder(DecodeForBanner);
    p.window->SetRoutineRunner([&startup](Routine routine, const gtk::EventArgs&) {
      return RunRoutine(routine, {&startup, p.core.get(), p.announcements.get()});
    });
    p.window->CreateAndShow();
  };
  startup.run_event_loop = [] {
    while (!p.window->closed()) g_main_context_iteration(nullptr, TRUE);
  };
  startup.apply_skin = [] { ApplySkin(p.window->Handle(names::kMainWindow)); };
  startup.show_announcement = [] { p.announcements->ShowAnnouncement(); };
  startup.load_settings = [] { p.core->LoadSettings(); };
  startup.start_login_worker = [] {
    // The login runs once on its own thread; every control and browser call
    // it makes is handed to the window thread. Nobody waits for it.
    std::thread([] {
      WorkerControls controls(*p.window, gtk::HandOverToWindowThread);
      WorkerBrowser browser(*p.browser, gtk::HandOverToWindowThread);
      ForumLogin(controls, browser, p.login_url);
    }).detach();
  };
  startup.end_program = [] { EndProgram(); };
  startup.ProgramStart();
  EndProgram();
}

}  // namespace brevane::app
