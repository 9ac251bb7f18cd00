// The document engine over the Internet Explorer engine (MSHTML): every
// member call of the late-bound model is an IDispatch call by name, the
// page's document comes from its "Internet Explorer_Server" window through
// WM_HTML_GETOBJECT and ObjectFromLresult, and a frame's document through
// the frame window's web-browser service.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "base/win32/com.h"
#include "browser/dom.h"

struct IWebBrowser2;

namespace brevane::mshtml {

// The calls into one page (its top document, its frames and every object
// read from them). A call into MSHTML is a synchronous IDispatch call on the
// window thread, and from IE8 mode a page can put getters of its own on the
// objects and prototypes the program reads; nothing can end such a call from
// outside. So once one call has taken longer than kPageCallLimitMs, every
// later call to the page fails at once without reaching it: a page that
// answers slowly costs one slow call, and the load wait, the reads, the fill
// and the click then end as they do for a page that gives nothing. The next
// page the control shows gets a fresh account.
struct PageCalls {
  std::function<int64_t()> now;  // milliseconds
  bool stopped = false;
};

// A document object of the engine: holds one reference to its IDispatch.
// A top document also holds the control that shows it: while the control
// heads for another page (its ready state still "loading", before the new
// document is made, or a navigation of its top frame pending, as the
// engine's watch of the control's events says) the old document it still
// shows reads as loading.
class DispatchObject final : public DomObject {
 public:
  // Takes new references.
  explicit DispatchObject(IDispatch* dispatch, std::shared_ptr<PageCalls> calls = nullptr,
                          IWebBrowser2* control = nullptr, std::shared_ptr<const bool> navigation_pending = nullptr);

  int32_t Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                 Variant* result) override;

  IDispatch* dispatch() const { return dispatch_.get(); }
  const std::shared_ptr<PageCalls>& calls() const { return calls_; }

 private:
  com::Ref<IDispatch> dispatch_;
  std::shared_ptr<PageCalls> calls_;
  com::Ref<IWebBrowser2> control_;
  std::shared_ptr<const bool> navigation_pending_;
};

// A Variant as a VARIANT (texts as BSTR through code page 936; an object
// that is not one of the engine's as VT_EMPTY). The caller clears it.
void ToVariant(const Variant& in, VARIANT* out);
// The same with objects handed over as dispatch_of gives them (a new
// reference, or null for VT_EMPTY): for code that serves objects of its own.
void ToVariant(const Variant& in, VARIANT* out, IDispatch* (*dispatch_of)(const DomRef& object));
// A VARIANT as a Variant; types without a counterpart are converted to text
// where the system can, or give the empty value.
Variant FromVariant(const VARIANT& in);
// The same with the objects in it counted toward calls.
Variant FromVariant(const VARIANT& in, const std::shared_ptr<PageCalls>& calls);

// A DomRef over an IDispatch (empty for null), its calls counted in calls
// (none when null).
DomRef WrapDispatch(IDispatch* dispatch, std::shared_ptr<PageCalls> calls = nullptr);

// The engine watches the events (DWebBrowserEvents2) of the control that
// shows the top documents it is asked for: a navigation of the control's
// top frame is pending from its BeforeNavigate2 (whose pDisp is the control
// itself) until its NavigateComplete2 (the new document exists) or
// NavigateError. A navigation the page starts itself (a form sent,
// location.href, back or forward) leaves the control's ReadyState at
// READYSTATE_COMPLETE all that time, only Busy true (Wine's
// dlls/ieframe/tests/webbrowser.c, test_navigatecomplete2), so its events
// are the only sign that the document shown is about to go.
class MshtmlEngine final : public Engine {
 public:
  // now: the clock calls into a page are timed on (milliseconds); the
  // system's tick count when empty.
  explicit MshtmlEngine(std::function<int64_t()> now = {});
  ~MshtmlEngine() override;
  MshtmlEngine(const MshtmlEngine&) = delete;
  MshtmlEngine& operator=(const MshtmlEngine&) = delete;
  bool IsWindow(WindowHandle window) override;
  std::string ClassName(WindowHandle window) override;
  std::vector<WindowHandle> Children(WindowHandle window) override;
  DomRef TopDocument(WindowHandle document_window, int32_t timeout_ms, int32_t* status) override;
  DomRef FrameDocument(const DomRef& content_window) override;
  void InitialiseThread() override;

 private:
  // Connects the watch to control unless it already watches it (a control
  // without events keeps only its ready state to go by).
  void Watch(IWebBrowser2* control);
  void Unwatch();

  com::Ref<IUnknown> watched_;  // the watched control's identity
  com::Ref<IConnectionPoint> watch_point_;
  DWORD watch_cookie_ = 0;
  std::shared_ptr<bool> navigation_pending_ = std::make_shared<bool>(false);
  std::function<int64_t()> now_;
  // The top document last handed out (its identity) and the account of
  // calls into its page.
  com::Ref<IUnknown> page_;
  std::shared_ptr<PageCalls> page_calls_;
};

}  // namespace brevane::mshtml
