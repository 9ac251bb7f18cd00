// The document engine over the Internet Explorer engine (MSHTML): every
// member call of the late-bound model is an IDispatch call by name, the
// page's document comes from its "Internet Explorer_Server" window through
// WM_HTML_GETOBJECT and ObjectFromLresult, and a frame's document through
// the frame window's web-browser service.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "base/win32/com.h"
#include "browser/dom.h"

struct IWebBrowser2;

namespace brevane::mshtml {

// A document object of the engine: holds one reference to its IDispatch.
// A top document also holds the control that shows it: while the control
// heads for another page (its ready state still "loading", before the new
// document is made) the old document it still shows reads as loading.
class DispatchObject final : public DomObject {
 public:
  explicit DispatchObject(IDispatch* dispatch, IWebBrowser2* control = nullptr);  // takes new references

  int32_t Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                 Variant* result) override;

  IDispatch* dispatch() const { return dispatch_.get(); }

 private:
  com::Ref<IDispatch> dispatch_;
  com::Ref<IWebBrowser2> control_;
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

// A DomRef over an IDispatch (empty for null).
DomRef WrapDispatch(IDispatch* dispatch);

class MshtmlEngine final : public Engine {
 public:
  bool IsWindow(WindowHandle window) override;
  std::string ClassName(WindowHandle window) override;
  std::vector<WindowHandle> Children(WindowHandle window) override;
  DomRef TopDocument(WindowHandle document_window, int32_t timeout_ms, int32_t* status) override;
  DomRef FrameDocument(const DomRef& content_window) override;
  void InitialiseThread() override;
};

}  // namespace brevane::mshtml
