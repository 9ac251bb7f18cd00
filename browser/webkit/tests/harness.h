// A real web view for the engine's tests: one offscreen GTK window holding
// one WebKitWebView per test program (WebKit starts slowly), a widget table
// around it, page loading that waits for the load to finish, and a small
// HTTP server on the loopback interface for pages that need a real origin.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "browser/browser_control.h"
#include "browser/pause.h"
#include "browser/webkit/webkit_engine.h"
#include "testing/loopback_server.h"

typedef struct _GtkWidget GtkWidget;

namespace brevane::testing {

// Handles of the test window tree: the main window, a box inside it, and the
// web view inside the box.
inline constexpr WindowHandle kMainWindow = 101;
inline constexpr WindowHandle kBox = 102;
inline constexpr WindowHandle kWebView = 103;

class TestWidgets : public WidgetTable {
 public:
  explicit TestWidgets(WebKitWebView* view) : view_(view) {}
  bool IsWindow(WindowHandle handle) override;
  std::string ClassName(WindowHandle handle) override;
  std::vector<WindowHandle> Children(WindowHandle handle) override;
  WebKitWebView* WebViewOf(WindowHandle handle) override;

 private:
  WebKitWebView* view_;
};

class WebViewHarness {
 public:
  // The process's one harness, created on first use on the calling thread.
  static WebViewHarness& Get();

  WebKitWebView* view() { return view_; }
  WebKitEngine& engine() { return *engine_; }

  // Load a page and wait (up to 20 s) until it and its frames are loaded.
  bool LoadHtml(const std::string& utf8_html, const std::string& base_uri = "http://127.0.0.1/");
  bool LoadUri(const std::string& uri);
  // The page's top document through the engine, as the binding gets it.
  DomRef Document(int32_t* status = nullptr);

  // Iterates the main context until the predicate holds or the time runs out.
  bool RunUntil(const std::function<bool()>& done, int timeout_ms);

  // Ends the web process (a hung page) so the next load starts a fresh one.
  void TerminateWebProcess();

 private:
  WebViewHarness();
  bool WaitForLoad();

  GtkWidget* window_ = nullptr;
  WebKitWebView* view_ = nullptr;
  TestWidgets* widgets_ = nullptr;
  WebKitEngine* engine_ = nullptr;
  bool load_finished_ = false;
};

// The shell's browser widget over the harness's view: navigation starts a
// load; its handle is the main window's, so binding searches the window tree.
class WebViewControl : public BrowserControl {
 public:
  void Navigate(const Text& address) override;
  WindowHandle Handle() override { return kMainWindow; }
};

// A pause on the GLib main loop: time passes while events are dispatched.
class MainLoopPause : public brevane::Pause {
 public:
  int32_t For(int32_t duration, int32_t unit) override;
  int64_t TickCount() override;
};

}  // namespace brevane::testing
