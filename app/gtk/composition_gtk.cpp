#include "app/composition.h"

#include <gtk/gtk.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/program.h"
#include "app/routines.h"
#include "browser/browser_control.h"
#include "browser/document_browser.h"
#include "browser/webkit/webkit_engine.h"
#include "app/gtk/gtk_pause.h"
#include "app/gtk/main_window.h"
#include "app/gtk/window_thread.h"
#include "ui/names.h"

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
struct Parts {
  gtk::GtkPause pause;
  std::unique_ptr<gtk::MainWindow> window;
  std::unique_ptr<ShellWidgets> widgets;
  std::unique_ptr<ShellBrowserControl> browser_control;
  std::unique_ptr<WebKitEngine> engine;
  std::unique_ptr<DocumentBrowser> browser;
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

// The test forum's certificate of a demo or end-to-end build, accepted for
// the login address's host in the web view's context alone, before the view
// loads its first page. A file that cannot be read accepts nothing: the
// forum's pages then fail to load as any page with an untrusted certificate.
void AcceptTestCertificate(WebKitWebView* view, const Endpoints& endpoints) {
  if (view == nullptr || endpoints.test_certificate_file.empty()) return;
  GUri* login = g_uri_parse(endpoints.login_url.c_str(), G_URI_FLAGS_NONE, nullptr);
  const char* host = login ? g_uri_get_host(login) : nullptr;
  GError* error = nullptr;
  GTlsCertificate* certificate = g_tls_certificate_new_from_file(endpoints.test_certificate_file.c_str(), &error);
  if (certificate && host && *host) {
    webkit_web_context_allow_tls_certificate_for_host(webkit_web_view_get_context(view), certificate, host);
  } else {
    std::fprintf(stderr, "brevane: the test certificate %s is not accepted: %s\n",
                 endpoints.test_certificate_file.c_str(), error ? error->message : "no host in the login address");
  }
  if (error) g_error_free(error);
  if (certificate) g_object_unref(certificate);
  if (login) g_uri_unref(login);
}

}  // namespace

int RunProgram(const Endpoints& endpoints) {
  PrepareWebKitEnvironment();
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr, "brevane: cannot open the display\n");
    return 1;
  }
  static Parts p;  // lives until the process ends
  static Program program(endpoints);
  PlatformParts parts;
  parts.create_window = [&endpoints] {
    p.window = std::make_unique<gtk::MainWindow>();
    p.widgets = std::make_unique<ShellWidgets>(*p.window);
    p.browser_control = std::make_unique<ShellBrowserControl>(*p.window);
    p.engine = std::make_unique<WebKitEngine>(*p.widgets);
    p.browser = std::make_unique<DocumentBrowser>(*p.browser_control, *p.engine, p.pause);
    program.Assemble(*p.window, *p.browser);
    p.window->SetPictureDecoder(DecodeForBanner);
    p.window->SetRoutineRunner(program.Runner());
    p.window->CreateAndShow();
    // Nothing has loaded yet: the login waits for the first activation.
    AcceptTestCertificate(p.window->web_view(), endpoints);
  };
  parts.run_event_loop = [] {
    while (!p.window->closed()) g_main_context_iteration(nullptr, TRUE);
  };
  parts.main_window = [] { return p.window->Handle(names::kMainWindow); };
  parts.end_program = [] { EndProgram(); };
  program.Start(std::move(parts));
  return 0;
}

}  // namespace brevane::app
