// The WebKit document engine: documents, elements, collections and windows
// of the page shown in a WebKitWebView, reached through a script bridge that
// runs in Brevane's own script world of the page (the page's scripts cannot
// see it), with Internet Explorer member names and markup.
//
// Every call is synchronous: the calling thread keeps iterating its GLib main
// context until the page answers or the call's time-out runs out, so a hung
// page yields dom_error::kTimeout instead of freezing the program. Calls made
// on another thread are handed to the window thread (ui/window_thread.h).
//
// The windows it answers for are those of its web-view host
// (web_view_host.h): the host's own window and, below it, the document
// window that is the web view.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "browser/dom.h"

namespace brevane {

class WebKitBridge;
class WebViewHost;

// Time a single document call may take before it fails with
// dom_error::kTimeout.
inline constexpr int32_t kDefaultBridgeTimeoutMs = 2000;

class WebKitEngine : public Engine {
 public:
  // The engine of the host's view; its windows are the host's.
  explicit WebKitEngine(WebViewHost& host);

  bool IsWindow(WindowHandle window) override;
  std::string ClassName(WindowHandle window) override;
  std::vector<WindowHandle> Children(WindowHandle window) override;

  // The web view's main-frame document. A handle that is not a web view
  // gives the empty object and dom_error::kNoObject; a web process that does
  // not answer within timeout_ms (0 or less: the call time-out) gives
  // dom_error::kTimeout.
  DomRef TopDocument(WindowHandle document_window, int32_t timeout_ms, int32_t* status) override;

  // The document of a frame window of the same origin; empty for a window of
  // another origin, a window without a document, or an object of another
  // engine.
  DomRef FrameDocument(const DomRef& content_window) override;

  // Time-out of each member call on the objects of the web views this
  // engine serves, from now on.
  void SetCallTimeout(int32_t milliseconds);

 private:
  WebViewHost& host_;
  int32_t call_timeout_ms_ = kDefaultBridgeTimeoutMs;
  std::vector<std::weak_ptr<WebKitBridge>> bridges_;
};

}  // namespace brevane
