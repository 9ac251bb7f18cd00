// The C++ end of the document bridge of one web view: requests go to the
// bridge script in Brevane's script world of the main frame, each answer is
// awaited by iterating the GLib main context, bounded by a time-out. A
// request made off the window thread is handed over to it
// (ui/window_thread.h).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "browser/dom.h"

typedef struct _WebKitWebView WebKitWebView;
typedef struct _JSCValue JSCValue;

namespace brevane {

class WebKitBridge;

// A DOM object of the page: a handle in the bridge's table. The handle is
// released (in a batch, with the next request) when the object goes.
class WebKitDomObject : public DomObject {
 public:
  WebKitDomObject(std::shared_ptr<WebKitBridge> bridge, std::string generation, int64_t id);
  ~WebKitDomObject() override;

  int32_t Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                 Variant* result) override;

  WebKitBridge& bridge() const { return *bridge_; }
  const std::string& generation() const { return generation_; }
  int64_t id() const { return id_; }

 private:
  std::shared_ptr<WebKitBridge> bridge_;
  std::string generation_;
  int64_t id_;
};

class WebKitBridge : public std::enable_shared_from_this<WebKitBridge> {
 public:
  // The bridge of a web view, created with the view's first use and kept
  // with the view.
  static std::shared_ptr<WebKitBridge> For(WebKitWebView* view);

  explicit WebKitBridge(WebKitWebView* view);
  ~WebKitBridge();
  WebKitBridge(const WebKitBridge&) = delete;
  WebKitBridge& operator=(const WebKitBridge&) = delete;

  void SetTimeout(int32_t milliseconds) { timeout_ms_ = milliseconds > 0 ? milliseconds : 1; }
  int32_t timeout() const { return timeout_ms_; }

  // The main frame's document.
  int32_t TopDocument(int32_t timeout_ms, Variant* result);
  // The document of a window object, empty when out of reach.
  int32_t FrameDocument(const WebKitDomObject& window, Variant* result);
  int32_t Invoke(const WebKitDomObject& target, std::string_view name, InvokeKind kind,
                 const std::vector<Variant>& args, Variant* result);
  // Number of handles the page-side table holds (after the pending releases).
  int32_t TableSize(int64_t* size);

  // The answer to a call that had timed out came in after all (on the
  // bridge's thread): the page of that epoch answers again.
  void LateAnswer(uint64_t epoch, JSCValue* value);

  // Queues a handle for release; any thread.
  void Release(const std::string& generation, int64_t id);

  // Round trips made so far (for benchmarks and tests).
  int64_t round_trips() const { return round_trips_; }
  // Calls that waited out their whole time-out so far.
  int64_t timeouts() const { return timeouts_; }
  // Whether the shown page has stopped answering: a call to it timed out and
  // neither has that call's answer come in since nor has another page (or
  // another web process) taken its place. Calls made meanwhile fail at once
  // with dom_error::kTimeout instead of each waiting out its own time-out.
  bool unresponsive() const { return unresponsive_ && unresponsive_epoch_ == page_epoch_; }

 private:
  friend struct BridgeSignals;

  // Sends one request (a JSON object without its closing brace) and waits.
  int32_t Request(std::string request, int32_t timeout_ms, Variant* result);
  int32_t RequestHere(const std::string& request, int32_t timeout_ms, Variant* result);
  int32_t Exchange(const std::string& json, bool install, int32_t timeout_ms, Variant* result,
                   bool* needs_install);
  std::string TakeReleases();
  void SeeGeneration(const std::string& generation);

  WebKitWebView* view_;  // weak: cleared when the view goes
  int32_t timeout_ms_ = 2000;
  int64_t round_trips_ = 0;
  // A main-frame load was requested and its new document has not arrived yet.
  bool navigation_pending_ = false;
  // Counts the documents the main frame has shown and the web processes it
  // has lost: a call still waiting when either changes is not answered.
  uint64_t page_epoch_ = 0;
  // Set when a call times out, for the page of that epoch; see unresponsive().
  bool unresponsive_ = false;
  uint64_t unresponsive_epoch_ = 0;
  int64_t timeouts_ = 0;
  unsigned long loading_handler_ = 0;
  unsigned long load_changed_handler_ = 0;
  unsigned long uri_handler_ = 0;
  unsigned long terminated_handler_ = 0;

  std::mutex mutex_;  // guards the two below
  std::string generation_;
  std::vector<std::pair<std::string, int64_t>> releases_;
};

}  // namespace brevane
