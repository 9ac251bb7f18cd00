// The in-memory document engine for tests and benchmarks: a window tree
// with a browser control and its document window, pages built from short
// HTML snippets (with frames loaded from served addresses), and the counters
// and hooks a test observes the browser operations with.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "browser/browser_control.h"
#include "browser/dom.h"
#include "browser/window_tree.h"
#include "testing/memory/memory_dom.h"
#include "testing/virtual_clock.h"

namespace brevane::memory {

inline constexpr std::string_view kMainWindowClass = "BrevaneMainWindow";
inline constexpr std::string_view kControlWindowClass = "Shell Embedding";
inline constexpr std::string_view kViewWindowClass = "Shell DocObject View";

class MemoryEngine : public Engine {
 public:
  // The window tree of a main window hosting the browser control:
  // main -> control ("Shell Embedding") -> view ("Shell DocObject View") ->
  // document window ("Internet Explorer_Server"), plus a sibling button
  // window before the control so a search has something to pass over.
  struct StandardWindows {
    WindowHandle main = 0;
    WindowHandle button = 0;
    WindowHandle control = 0;
    WindowHandle view = 0;
    WindowHandle document = 0;
  };

  MemoryEngine();
  // Drops what the shared state holds of the pages (clicked elements, the
  // click handler), so no page outlives the engine through it.
  ~MemoryEngine() override;
  MemoryEngine(const MemoryEngine&) = delete;
  MemoryEngine& operator=(const MemoryEngine&) = delete;

  const StandardWindows& windows() const { return standard_; }

  // ---- window tree
  WindowHandle AddWindow(WindowHandle parent, std::string class_name);
  // Destroys the window and its descendants.
  void RemoveWindow(WindowHandle window);
  // A hung document window answers no document request (the request times
  // out; on_hang is told the time-out so a test can let it pass).
  void SetHung(WindowHandle window, bool hung);
  // A refusing document window hands out its document with a failure status.
  void SetRefused(WindowHandle window, bool refused);
  std::function<void(int32_t timeout_ms)> on_hang;

  // ---- pages
  // Registers the page a frame's src or a navigation to address loads.
  void Serve(Text address, Text html, PageOptions options = {});
  // Builds a document from html (frames loaded) and shows it in window (the
  // standard document window when 0).
  DocumentPtr Show(std::string_view html, PageOptions options = {}, WindowHandle window = 0);
  // Shows the page served at address; a blank page when nothing is served.
  DocumentPtr ShowAddress(const Text& address);
  void SetDocument(WindowHandle window, DocumentPtr document);
  DocumentPtr shown(WindowHandle window = 0) const;

  // ---- observation
  int64_t calls() const { return state_->calls; }
  void ResetCalls() { state_->calls = 0; }
  // Makes every object fail the member, as an engine that lacks it would.
  void DisableMember(std::string_view name);
  const std::vector<ElementPtr>& clicks() const { return state_->clicks; }
  const std::vector<ElementPtr>& submissions() const { return state_->submissions; }
  void OnClick(std::function<void(Element&)> handler) { state_->on_click = std::move(handler); }
  int initialise_count() const { return initialise_count_; }
  int64_t document_requests() const { return document_requests_; }
  const StatePtr& state() const { return state_; }

  // ---- Engine
  bool IsWindow(WindowHandle window) override;
  std::string ClassName(WindowHandle window) override;
  std::vector<WindowHandle> Children(WindowHandle window) override;
  DomRef TopDocument(WindowHandle document_window, int32_t timeout_ms, int32_t* status) override;
  DomRef FrameDocument(const DomRef& content_window) override;
  void InitialiseThread() override { ++initialise_count_; }

 private:
  // What a window of the tree shows and how it answers.
  struct WindowState {
    DocumentPtr document;
    bool hung = false;
    bool refused = false;
  };

  WindowState* Find(WindowHandle window);
  const WindowState* Find(WindowHandle window) const;

  StatePtr state_;
  WindowTree tree_;
  std::map<WindowHandle, WindowState> windows_;
  StandardWindows standard_;
  int initialise_count_ = 0;
  int64_t document_requests_ = 0;
};

// The shell's browser widget over the in-memory engine, acting out the
// Internet Explorer control. A navigation fires BeforeNavigate2, makes the
// control busy and its ready state "loading", and keeps showing the old
// document, complete as it was, until the new one arrives: at once, or
// arrive_ms later on the clock for a page served so. The new document's
// arrival fires NavigateComplete2 (ready state interactive), its
// completion DocumentComplete (complete, no longer busy): at once, or,
// for a page served with complete_ms, once its subresources have come,
// the document reading "interactive" meanwhile (MSDN, readyState
// property: an object passes from loading through interactive to
// complete; DWebBrowserEvents2::DocumentComplete fires when the document
// is completely loaded). A newer navigation makes an older one's page
// never arrive.
class MemoryBrowser : public BrowserControl {
 public:
  explicit MemoryBrowser(MemoryEngine& engine) : engine_(engine), handle_(engine.windows().control) {}
  ~MemoryBrowser() override { *alive_ = false; }

  void Navigate(const Text& address) override;
  // A navigation the page starts itself (a form sent, location.href set,
  // back or forward). The control's ReadyState stays READYSTATE_COMPLETE
  // through BeforeNavigate2, DownloadBegin and NavigateComplete2, and Busy
  // turns true only from DownloadBegin (Wine's dlls/ieframe/tests/
  // webbrowser.c, the DWebBrowserEvents2 handler and test_navigatecomplete2
  // with DWL_FROM_PUT_HREF); the old document stays shown, complete, until
  // the new one arrives, as after Navigate.
  void NavigateFromPage(const Text& address);
  WindowHandle Handle() override { return handle_; }

  void set_handle(WindowHandle handle) { handle_ = handle; }
  const TextList& navigations() const { return navigations_; }

  // From now on a navigated page shows as "loading" and its top document
  // completes load_ms later on clock (frames keep the state they were
  // served with).
  void LoadOver(testing::VirtualClock& clock, int64_t load_ms) {
    clock_ = &clock;
    load_ms_ = load_ms;
  }
  // Slow pages arrive late on clock (without a clock they arrive at once).
  void ArriveOn(testing::VirtualClock& clock) { clock_ = &clock; }
  // Runs after each navigation has shown its page.
  std::function<void(const Text& address, const DocumentPtr& page)> on_navigate;
  // Runs when a navigated page has completed, with the address the control
  // loaded: its load event, where a page's script starts what it does
  // after the load.
  std::function<void(const Text& address, const DocumentPtr& page)> on_load;

 private:
  MemoryEngine& engine_;
  WindowHandle handle_;
  TextList navigations_;
  void Start(const Text& address, bool from_page);
  void Arrive(const Text& address, const Text& target);
  void Complete(const Text& target);

  testing::VirtualClock* clock_ = nullptr;
  int64_t load_ms_ = 0;
  uint64_t navigation_ = 0;  // the latest navigation's number
  bool from_page_ = false;   // the latest navigation was started by the page
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace brevane::memory
