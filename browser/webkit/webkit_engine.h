// The WebKit document engine: documents, elements, collections and windows
// of the page shown in a WebKitWebView, reached through a script bridge that
// runs in Brevane's own script world of the page (the page's scripts cannot
// see it), with Internet Explorer member names and markup.
//
// Every call is synchronous: the calling thread keeps iterating its GLib main
// context until the page answers or the call's time-out runs out, so a hung
// page yields dom_error::kTimeout instead of freezing the program. Calls made
// on another thread are handed to the thread that created the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "browser/dom.h"

typedef struct _WebKitWebView WebKitWebView;

namespace brevane {

class WebKitBridge;

// The window tree the engine searches: the Linux shell's table of widget
// handles.
class WidgetTable {
 public:
  virtual ~WidgetTable() = default;
  virtual bool IsWindow(WindowHandle handle) = 0;
  virtual std::string ClassName(WindowHandle handle) = 0;
  virtual std::vector<WindowHandle> Children(WindowHandle handle) = 0;
  // Null unless the handle is the web view.
  virtual WebKitWebView* WebViewOf(WindowHandle handle) = 0;
};

// Time a single document call may take before it fails with
// dom_error::kTimeout.
inline constexpr int32_t kDefaultBridgeTimeoutMs = 2000;

class WebKitEngine : public Engine {
 public:
  explicit WebKitEngine(WidgetTable& widgets);

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
  int32_t CallTimeout() const { return call_timeout_ms_; }

 private:
  WidgetTable& widgets_;
  int32_t call_timeout_ms_ = kDefaultBridgeTimeoutMs;
  std::vector<std::weak_ptr<WebKitBridge>> bridges_;
};

// The memory ceiling of the web process that shows the pages. Above a third
// and above half of the limit the process releases caches and collects
// garbage; a process that still grows past the limit ends (the view reports
// web-process-terminated), so one hostile page cannot take the machine. The
// next load starts a new web process.
//
// Two checks watch the limit. WebKit's own memory handler in the web process
// measures the process's footprint every poll_interval_seconds, releases
// memory at the thresholds and ends the process past the limit (the view
// reports WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT); its measurement walks
// /proc/self/smaps, some 10 to 25 ms of CPU for a web process showing a
// forum page, so it runs seldom, and it runs on the page's main thread, so a
// page's long task delays it. The program's web process module checks every
// check_interval_ms, on a thread of its own that no page script holds, the
// process's resident anonymous memory (/proc/self/statm, a few microseconds,
// where the pages' heaps and pictures live) and ends a process past the
// limit at once (the view reports WEBKIT_WEB_PROCESS_CRASHED), also in the
// middle of a task that allocates gigabytes; 0 turns it off. The same module
// ends its web process when the program ends, killed or not.
struct WebProcessMemoryCeiling {
  uint32_t limit_mb = 1024;
  // WebKit's measurement: its own default period.
  double poll_interval_seconds = 30.0;
  // The module's check.
  uint32_t check_interval_ms = 100;
};

// A new web view whose web processes keep under ceiling and die with the
// program, and whose website data (cookies included) lives in memory for the
// program's life, never on disk, in place of webkit_web_view_new();
// PrepareWebView then makes it ready as any view. The
// view has a web context of its own, since the ceiling can only be given to
// a context as it is made; the view comes floating, as a new widget does.
WebKitWebView* CreateWebView(const WebProcessMemoryCeiling& ceiling = {});

// Makes a new web view ready for the engine; the shell calls it once, right
// after creating the view and before its first load. It names the web
// process module that reaches frames of every origin (see
// WebExtensionDirectory), attaches the document bridge at once (otherwise it
// comes with the first TopDocument), so every page gets the bridge as it
// starts and the engine follows every load from its beginning, and it makes
// the view as silent as the control it stands for: script dialogs answered,
// downloads, windows and other schemes refused, invalid certificates
// refused, as below.
void PrepareWebView(WebKitWebView* view);

// No page writes the primary selection: what WebKit puts there from a
// page's selection is dropped as it arrives (once for the process, whatever
// the number of views); the program's edit boxes keep theirs.
void KeepPagesOffThePrimarySelection();

// The folder of the web process module: lib/brevane/web-extensions beside
// an installed program's bin folder, else the build tree's; empty when
// neither holds it (frames of other origins then read as out of reach).
std::string WebExtensionDirectory();

// Nothing a page does opens a window or takes the screen: print() prints
// nothing, full screen, file and colour choosers, notifications and
// password dialogs are refused, and every permission (geolocation,
// notifications, camera, microphone, pointer lock, clipboard, ...) is denied
// without asking.
void RefuseWhatShowsAWindow(WebKitWebView* view);

// Navigations of the page and of every frame go only to http, https and
// about:blank (IsBrowsableAddress); any other is refused before it starts,
// and no new window is ever made.
void RefuseOtherSchemes(WebKitWebView* view);

// The view never saves a file: a response sent as an attachment or of a type
// the view cannot show is ignored, and any download started otherwise is
// cancelled before it has a destination, so no page can write, replace or
// remove a file on the user's disk.
void RefuseDownloads(WebKitWebView* view);

// Certificates are always checked: a page or frame whose certificate the
// system does not trust (self-signed, made for another host, expired) and the
// view's web context was not told to accept for its host fails to load as an
// unreachable address does. The view shows its own error page in its place,
// without a dialog and without a way past it, so the page has none of the
// forum's tables, forms or buttons and the run goes on. The view's web
// context fails such loads whatever its policy was before.
void RefuseInvalidCertificates(WebKitWebView* view);

// Answers the page's script dialogs without showing them, as a silent
// browser control does, so no dialog ever stops a run: alerts are dismissed,
// confirmations (leaving a page included) accepted, prompts get their
// default text.
void SilenceScriptDialogs(WebKitWebView* view);

// Class name under which the shell registers the web view, so binding from
// the main window's handle finds it.
inline constexpr std::string_view kWebViewClass = kDocumentWindowClass;

}  // namespace brevane
