// A real web view for the engine's tests: one offscreen GTK window holding
// the view of one web-view host per test program (WebKit starts slowly),
// the program's own host with its window tree, page loading that waits for
// the load to finish, and a small HTTP server on the loopback interface for
// pages that need a real origin.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "browser/pause.h"
#include "browser/webkit/web_view_host.h"
#include "browser/webkit/webkit_engine.h"
#include "testing/loopback_server.h"

typedef struct _GtkWidget GtkWidget;

namespace brevane::testing {

class WebViewHarness {
 public:
  // The process's one harness, created on first use on the calling thread.
  static WebViewHarness& Get();

  WebKitWebView* view() { return view_; }
  // The host of the view: the browser control the browser operations
  // navigate, and the window tree the engine answers from.
  WebViewHost& host() { return *host_; }
  WebKitEngine& engine() { return *engine_; }
  // The host's document window (the view).
  WindowHandle document_window() { return host_->document_window(); }

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
  WebViewHost* host_ = nullptr;
  WebKitWebView* view_ = nullptr;
  WebKitEngine* engine_ = nullptr;
  bool load_finished_ = false;
};

// A pause on the GLib main loop: time passes while events are dispatched.
class MainLoopPause : public brevane::Pause {
 public:
  int32_t For(int32_t duration, int32_t unit) override;
  int64_t TickCount() override;
};

}  // namespace brevane::testing
