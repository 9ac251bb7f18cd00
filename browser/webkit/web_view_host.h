// The embedded browser on GTK: one WebKitWebView made and made ready by its
// host, as the WebBrowser control is hosted on Windows
// (browser/mshtml/web_browser_host.h). The host creates the view with the
// program's memory ceiling and website data, gives it the view's policy
// below (the document bridge from the first load, silent dialogs, no
// downloads, no windows, no other schemes, certificates checked), navigates
// it by the control's address rules, and answers for its windows: a made-up
// tree of its own window (the browser control's) and, below it, the
// document window that is the web view. The shell only places the view's
// widget where the browser control goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "browser/browser_control.h"
#include "browser/window_tree.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;

namespace brevane {

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
// forum page (2 to 18 ms measured on a 2-core VM, the web process's whole
// idle cost while a countdown shows a board page), so it runs seldom: every
// two minutes, where the module's check below guards the limit itself. It
// runs on the page's main thread, so a page's long task delays it. The program's web process module checks every
// check_interval_ms, on a thread of its own that no page script holds, the
// process's resident anonymous memory (/proc/self/statm, a few microseconds,
// where the pages' heaps and pictures live) and ends a process past the
// limit at once (the view reports WEBKIT_WEB_PROCESS_CRASHED), also in the
// middle of a task that allocates gigabytes; 0 turns it off. The same module
// ends its web process when the program ends, killed or not.
struct WebProcessMemoryCeiling {
  uint32_t limit_mb = 1024;
  // WebKit's measurement: four times its own default period.
  double poll_interval_seconds = 120.0;
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

// Makes a new web view ready for the engine; the host calls it once, right
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


// Class name of the host's own window, the browser control's.
inline constexpr std::string_view kBrowserWindowClass = "BrevaneBrowser";

class WebViewHost final : public BrowserControl {
 public:
  // Creates the view (CreateWebView) and makes it ready (PrepareWebView).
  explicit WebViewHost(const WebProcessMemoryCeiling& ceiling = {});
  ~WebViewHost() override;
  WebViewHost(const WebViewHost&) = delete;
  WebViewHost& operator=(const WebViewHost&) = delete;

  // The view as the shell places it: floating until a container takes it,
  // then the container's, as any widget; null once the view is gone.
  GtkWidget* widget() const;
  WebKitWebView* view() const { return view_; }

  // Accepts the certificate of a PEM file for the host of address alone, in
  // the view's web context, before the view loads its first page. Every
  // other certificate is checked against what the system trusts. A file
  // that cannot be read accepts nothing (and says so on stderr): the pages
  // then fail to load as any page with an untrusted certificate.
  void AcceptCertificate(const std::string& pem_file, const std::string& address);

  // BrowserControl. As the IE control's Navigate does, an address without a
  // scheme loads over http; an empty address loads the blank page, so the
  // page of the previous navigation is not read again as if it were the new
  // one. The load starts on the window thread.
  void Navigate(const Text& address) override;
  // The host's own window; 0 once the view is gone.
  WindowHandle Handle() override;

  // The window tree: the host's window holds the document window (class
  // kDocumentWindowClass), the view. Neither is a window once the view is
  // gone.
  WindowHandle document_window() const { return document_window_; }
  bool IsWindow(WindowHandle window) const;
  std::string ClassName(WindowHandle window) const;
  std::vector<WindowHandle> Children(WindowHandle window) const;
  // The view of the document window; null for any other handle.
  WebKitWebView* ViewOf(WindowHandle window) const;

 private:
  WebKitWebView* view_;  // weak: cleared when the view goes
  WindowTree windows_;
  WindowHandle window_ = 0;
  WindowHandle document_window_ = 0;
};

// Environment WebKit needs in this process before the first web view: no
// GPU is assumed (a virtual X server has none), so pages are composited in
// software; scroll bars are classic ones. Values the user has set are kept.
void PrepareWebKitProcess();

}  // namespace brevane
