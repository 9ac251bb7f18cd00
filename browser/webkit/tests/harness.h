// A real web view for the engine's tests: one offscreen GTK window holding
// one WebKitWebView per test program (WebKit starts slowly), a widget table
// around it, page loading that waits for the load to finish, and a small
// HTTP server on the loopback interface for pages that need a real origin.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "browser/browser_control.h"
#include "browser/pause.h"
#include "browser/webkit/webkit_engine.h"

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

// A tiny HTTP/1.0 server on 127.0.0.1 and a free port, serving fixed pages.
class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer();
  int port() const { return port_; }
  std::string Url(const std::string& path) const;
  void AddPage(const std::string& path, const std::string& utf8_html);
  // A page answered with its own content type and extra header lines, each
  // ending in CR LF (for example "Content-Disposition: attachment\r\n"),
  // delay_ms after it is asked for.
  void AddResponse(const std::string& path, const std::string& content_type, const std::string& extra_headers,
                   const std::string& body, int delay_ms = 0);
  // A page whose answer waits until ReleaseHeldPages (or the server's end).
  void AddHeldPage(const std::string& path, const std::string& utf8_html);
  void ReleaseHeldPages();

 private:
  void Serve();
  void Answer(int client);
  int listener_ = -1;
  int port_ = 0;
  std::mutex mutex_;
  struct Response {
    std::string content_type = "text/html; charset=utf-8";
    std::string extra_headers;
    std::string body;
    int delay_ms = 0;
  };
  std::map<std::string, Response> pages_;
  std::map<std::string, bool> held_;
  bool released_ = false;
  std::condition_variable release_;
  std::atomic<bool> stopping_{false};
  std::vector<int> clients_;
  std::vector<std::thread> connections_;
  std::thread thread_;
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
