#include "browser/mshtml/mshtml_engine.h"

#include "base/text/wide.h"
#include "browser/limits.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>
#include <oleacc.h>
#include <servprov.h>
#include <shlguid.h>

#include <string>

namespace brevane::mshtml {
namespace {

std::wstring ToWide(std::string_view text) { return win32::WideFromGbk(text); }
Text FromWide(const wchar_t* wide, std::size_t length) {
  return wide == nullptr ? Text() : win32::GbkFromWide(std::wstring_view(wide, length));
}

WORD InvokeFlags(InvokeKind kind) {
  switch (kind) {
    case InvokeKind::kPropertyGet: return DISPATCH_PROPERTYGET;
    case InvokeKind::kMethod: return DISPATCH_METHOD;
    case InvokeKind::kPropertyPut: return DISPATCH_PROPERTYPUT;
    case InvokeKind::kPropertyPutRef: return DISPATCH_PROPERTYPUTREF;
  }
  return DISPATCH_METHOD;
}

using ObjectFromLresultFunction = HRESULT(WINAPI*)(LRESULT, REFIID, WPARAM, void**);

// oleacc.dll is loaded when the first document is asked for and kept until
// the process ends.
ObjectFromLresultFunction ObjectFromLresultEntry() {
  static const com::Module oleacc("oleacc.dll");
  static const ObjectFromLresultFunction entry =
      oleacc.get() ? reinterpret_cast<ObjectFromLresultFunction>(
                         reinterpret_cast<void*>(GetProcAddress(oleacc.get(), "ObjectFromLresult")))
                   : nullptr;
  return entry;
}

HWND ToHwnd(WindowHandle handle) { return reinterpret_cast<HWND>(handle); }

// The browser service of a window object, or empty.
com::Ref<IWebBrowser2> BrowserServiceOf(IDispatch* window) {
  com::Ref<IWebBrowser2> browser;
  auto services = com::Ref<IDispatch>::Share(window).As<IServiceProvider>(IID_IServiceProvider);
  if (services && FAILED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.ReceiveVoid())))
    browser.Reset();
  return browser;
}

// The control showing a top document: its parentWindow's browser service,
// or empty.
com::Ref<IWebBrowser2> ControlOf(IDispatch* document, std::shared_ptr<PageCalls> calls) {
  DispatchObject object(document, std::move(calls));
  Variant window;
  if (object.Invoke("parentWindow", InvokeKind::kPropertyGet, {}, &window) != dom_error::kOk) return {};
  auto* own = dynamic_cast<DispatchObject*>(window.ToObject().get());
  return own ? BrowserServiceOf(own->dispatch()) : com::Ref<IWebBrowser2>();
}

}  // namespace

DispatchObject::DispatchObject(IDispatch* dispatch, std::shared_ptr<PageCalls> calls, IWebBrowser2* control,
                               std::shared_ptr<const bool> navigation_pending)
    : dispatch_(com::Ref<IDispatch>::Share(dispatch)),
      calls_(std::move(calls)),
      control_(com::Ref<IWebBrowser2>::Share(control)),
      navigation_pending_(std::move(navigation_pending)) {}

namespace {

constexpr GUID kWebBrowserEvents2 = {0x34a715a0, 0x6587, 0x11d0, {0x92, 0x4a, 0x00, 0x20, 0xaf, 0xc7, 0xac, 0x4d}};

bool SameObject(IUnknown* a, IUnknown* b) {
  if (a == nullptr || b == nullptr) return false;
  const auto identity = com::Ref<IUnknown>::Share(a).As<IUnknown>(IID_IUnknown);
  return identity && identity.get() == b;
}

// The sink of the watched control's events. Every navigation event names
// the frame it is about first (pDisp, the last of the arguments as IDispatch
// passes them): the control itself for its top frame, a frame's own browser
// object for a frame. Frames' navigations leave the top document where it
// is.
class NavigationWatch final : public com::Object<NavigationWatch, IDispatch> {
 public:
  // control: the control's identity, only compared (the engine holds it).
  NavigationWatch(IUnknown* control, std::shared_ptr<bool> pending)
      : control_(control), pending_(std::move(pending)) {}
  void* Find(REFIID iid) {
    const bool answered = IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kWebBrowserEvents2);
    return answered ? static_cast<IDispatch*>(this) : nullptr;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    if (out) *out = nullptr;
    return DISP_E_BADINDEX;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    const bool starts = id == DISPID_BEFORENAVIGATE2;
    const bool ends = id == DISPID_NAVIGATECOMPLETE2 || id == DISPID_NAVIGATEERROR;
    if ((!starts && !ends) || parameters == nullptr || parameters->cArgs == 0 || parameters->rgvarg == nullptr)
      return S_OK;
    const VARIANT& frame = parameters->rgvarg[parameters->cArgs - 1];
    IDispatch* dispatch = nullptr;
    if (frame.vt == VT_DISPATCH) dispatch = frame.pdispVal;
    if (frame.vt == (VT_DISPATCH | VT_BYREF) && frame.ppdispVal != nullptr) dispatch = *frame.ppdispVal;
    if (SameObject(dispatch, control_)) *pending_ = starts;
    return S_OK;
  }

 private:
  IUnknown* control_;
  std::shared_ptr<bool> pending_;
};

}  // namespace

namespace {

bool IsReadyState(std::string_view name) {
  constexpr std::string_view kName = "readystate";
  if (name.size() != kName.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
    if (c != kName[i]) return false;
  }
  return true;
}

// The control is on its way to another page: after Navigate it reports
// READYSTATE_LOADING until the new document exists (NavigateComplete2),
// then interactive and complete.
bool HeadingElsewhere(IWebBrowser2* control) {
  READYSTATE state = READYSTATE_COMPLETE;
  return control != nullptr && SUCCEEDED(control->get_ReadyState(&state)) && state < READYSTATE_INTERACTIVE;
}

}  // namespace

int32_t DispatchObject::Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                               Variant* result) {
  if (!dispatch_) return dom_error::kNoObject;
  if (calls_ && calls_->stopped) return dom_error::kFail;
  if (kind == InvokeKind::kPropertyGet && control_ && IsReadyState(name) &&
      ((navigation_pending_ && *navigation_pending_) || HeadingElsewhere(control_.get()))) {
    if (result) *result = Variant("loading");
    return dom_error::kOk;
  }
  const int64_t began = calls_ ? calls_->now() : 0;
  // Name lookup and call both run in the page's process and may run its
  // script: both count.
  struct Timed {
    PageCalls* calls;
    int64_t began;
    ~Timed() {
      if (calls && calls->now() - began > kPageCallLimitMs) calls->stopped = true;
    }
  } timed{calls_.get(), began};
  std::wstring wide_name = ToWide(name);
  LPOLESTR names[] = {wide_name.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return static_cast<int32_t>(hr);

  // IDispatch takes the arguments last first.
  com::VariantArray values(args.size());
  for (std::size_t i = 0; i < args.size(); ++i) ToVariant(args[i], &values[args.size() - 1 - i]);
  DISPPARAMS params{};
  params.cArgs = static_cast<UINT>(values.size());
  params.rgvarg = values.data();
  DISPID put_id = DISPID_PROPERTYPUT;
  if (kind == InvokeKind::kPropertyPut || kind == InvokeKind::kPropertyPutRef) {
    params.cNamedArgs = 1;
    params.rgdispidNamedArgs = &put_id;
  }
  com::Variant out;
  com::ExceptionInfo exception;
  UINT bad_argument = 0;
  hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, InvokeFlags(kind), &params, out.get(), exception.get(),
                         &bad_argument);
  if (SUCCEEDED(hr) && result) *result = FromVariant(*out, calls_);
  return SUCCEEDED(hr) ? dom_error::kOk : static_cast<int32_t>(hr);
}

void ToVariant(const Variant& in, VARIANT* out, IDispatch* (*dispatch_of)(const DomRef& object)) {
  VariantInit(out);
  switch (in.kind()) {
    case Variant::Kind::kEmpty:
      break;
    case Variant::Kind::kInteger: {
      const int64_t v = in.ToInteger();
      if (v >= INT32_MIN && v <= INT32_MAX) {
        out->vt = VT_I4;
        out->lVal = static_cast<LONG>(v);
      } else {
        out->vt = VT_R8;
        out->dblVal = static_cast<double>(v);
      }
      break;
    }
    case Variant::Kind::kReal:
      out->vt = VT_R8;
      out->dblVal = in.ToReal();
      break;
    case Variant::Kind::kText: {
      const std::wstring wide = ToWide(in.ToText());
      out->vt = VT_BSTR;
      out->bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
      if (out->bstrVal == nullptr) out->vt = VT_EMPTY;
      break;
    }
    case Variant::Kind::kBoolean:
      out->vt = VT_BOOL;
      out->boolVal = in.ToBoolean() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case Variant::Kind::kObject:
      if (IDispatch* dispatch = dispatch_of(in.ToObject())) {
        out->vt = VT_DISPATCH;
        out->pdispVal = dispatch;
      }
      break;
  }
}

void ToVariant(const Variant& in, VARIANT* out) {
  // Only the engine's own objects cross: another engine's object is VT_EMPTY.
  ToVariant(in, out, [](const DomRef& object) -> IDispatch* {
    auto* own = dynamic_cast<DispatchObject*>(object.get());
    return own ? com::Ref<IDispatch>::Share(own->dispatch()).Detach() : nullptr;
  });
}

Variant FromVariant(const VARIANT& in) { return FromVariant(in, nullptr); }

Variant FromVariant(const VARIANT& in, const std::shared_ptr<PageCalls>& calls) {
  switch (in.vt) {
    case VT_EMPTY:
    case VT_NULL: return Variant();
    case VT_I1: return Variant(static_cast<int32_t>(in.cVal));
    case VT_I2: return Variant(static_cast<int32_t>(in.iVal));
    case VT_I4: return Variant(static_cast<int32_t>(in.lVal));
    case VT_INT: return Variant(static_cast<int32_t>(in.intVal));
    case VT_I8: return Variant(static_cast<int64_t>(in.llVal));
    case VT_UI1: return Variant(static_cast<int32_t>(in.bVal));
    case VT_UI2: return Variant(static_cast<int32_t>(in.uiVal));
    case VT_UI4: return Variant(static_cast<int64_t>(in.ulVal));
    case VT_UINT: return Variant(static_cast<int64_t>(in.uintVal));
    case VT_R4: return Variant(static_cast<double>(in.fltVal));
    case VT_R8: return Variant(in.dblVal);
    case VT_BOOL: return Variant(in.boolVal != VARIANT_FALSE);
    case VT_BSTR: return Variant(FromWide(in.bstrVal, in.bstrVal ? SysStringLen(in.bstrVal) : 0));
    case VT_DISPATCH: return Variant(WrapDispatch(in.pdispVal, calls));
    case VT_UNKNOWN:
      return Variant(WrapDispatch(com::Ref<IUnknown>::Share(in.punkVal).As<IDispatch>(IID_IDispatch).get(), calls));
    default: {
      com::Variant text;
      if (FAILED(VariantChangeType(text.get(), const_cast<VARIANT*>(&in), 0, VT_BSTR))) return Variant();
      return Variant(FromWide((*text).bstrVal, (*text).bstrVal ? SysStringLen((*text).bstrVal) : 0));
    }
  }
}

DomRef WrapDispatch(IDispatch* dispatch, std::shared_ptr<PageCalls> calls) {
  if (dispatch == nullptr) return nullptr;
  return std::make_shared<DispatchObject>(dispatch, std::move(calls));
}

MshtmlEngine::MshtmlEngine(std::function<int64_t()> now)
    : now_(now ? std::move(now) : [] { return static_cast<int64_t>(GetTickCount64()); }) {}

bool MshtmlEngine::IsWindow(WindowHandle window) { return window != 0 && ::IsWindow(ToHwnd(window)) != FALSE; }

std::string MshtmlEngine::ClassName(WindowHandle window) {
  char buffer[100] = {};
  const int n = GetClassNameA(ToHwnd(window), buffer, static_cast<int>(sizeof(buffer)));
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::vector<WindowHandle> MshtmlEngine::Children(WindowHandle window) {
  std::vector<WindowHandle> children;
  HWND child = nullptr;
  while ((child = FindWindowExA(ToHwnd(window), child, nullptr, nullptr)) != nullptr) {
    children.push_back(reinterpret_cast<WindowHandle>(child));
  }
  return children;
}

DomRef MshtmlEngine::TopDocument(WindowHandle document_window, int32_t timeout_ms, int32_t* status) {
  if (status) *status = dom_error::kFail;
  static const UINT message = RegisterWindowMessageA("WM_HTML_GETOBJECT");
  DWORD_PTR answer = 0;
  if (message == 0 ||
      !SendMessageTimeoutA(ToHwnd(document_window), message, 0, 0, SMTO_ABORTIFHUNG,
                           static_cast<UINT>(timeout_ms < 0 ? 0 : timeout_ms), &answer)) {
    answer = 0;
  }
  ObjectFromLresultFunction object_from_lresult = ObjectFromLresultEntry();
  if (object_from_lresult == nullptr) return nullptr;
  com::Ref<IHTMLDocument> document;
  const HRESULT hr = object_from_lresult(static_cast<LRESULT>(answer), IID_IHTMLDocument, 0, document.ReceiveVoid());
  // IHTMLDocument is an IDispatch; the control that shows it comes from its
  // window's browser service.
  DomRef result;
  if (document) {
    // The same document asked for again keeps its page's account; another
    // one starts afresh.
    const auto identity = com::Ref<IHTMLDocument>::Share(document.get()).As<IUnknown>(IID_IUnknown);
    if (!page_calls_ || !identity || identity.get() != page_.get()) {
      page_ = identity;
      page_calls_ = std::make_shared<PageCalls>();
      page_calls_->now = now_;
    }
    const com::Ref<IWebBrowser2> control = ControlOf(document.get(), page_calls_);
    Watch(control.get());
    const bool watched = control && SameObject(control.get(), watched_.get());
    result = std::make_shared<DispatchObject>(document.get(), page_calls_, control.get(),
                                              watched ? navigation_pending_ : nullptr);
  }
  if (status) *status = hr == S_OK && result ? dom_error::kOk : static_cast<int32_t>(FAILED(hr) ? hr : E_FAIL);
  return result;
}

DomRef MshtmlEngine::FrameDocument(const DomRef& content_window) {
  auto* window = dynamic_cast<DispatchObject*>(content_window.get());
  if (window == nullptr || window->dispatch() == nullptr) return nullptr;
  com::Ref<IWebBrowser2> browser = BrowserServiceOf(window->dispatch());
  com::Ref<IDispatch> document;
  if (!browser || FAILED(browser->get_Document(document.Receive()))) return nullptr;
  // A frame's document counts toward the page that holds it.
  return WrapDispatch(document.get(), window->calls());
}

MshtmlEngine::~MshtmlEngine() { Unwatch(); }

void MshtmlEngine::Unwatch() {
  if (watch_point_ && watch_cookie_) watch_point_->Unadvise(watch_cookie_);
  watch_cookie_ = 0;
  watch_point_.Reset();
  watched_.Reset();
  // Documents made under the old watch keep their own flag, which no longer
  // changes; new ones get a fresh one.
  navigation_pending_ = std::make_shared<bool>(false);
}

void MshtmlEngine::Watch(IWebBrowser2* control) {
  if (control == nullptr) return;
  const auto identity = com::Ref<IWebBrowser2>::Share(control).As<IUnknown>(IID_IUnknown);
  if (!identity || identity.get() == watched_.get()) return;
  Unwatch();
  watched_ = identity;
  const auto points = identity.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  com::Ref<IConnectionPoint> point;
  if (!points || FAILED(points->FindConnectionPoint(kWebBrowserEvents2, point.Receive())) || !point) return;
  const auto sink = com::Ref<NavigationWatch>::Adopt(new NavigationWatch(identity.get(), navigation_pending_));
  DWORD cookie = 0;
  if (SUCCEEDED(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie)) && cookie != 0) {
    watch_point_ = std::move(point);
    watch_cookie_ = cookie;
  }
}

void MshtmlEngine::InitialiseThread() {
  // The thread stays ready for document calls for the rest of its life; its
  // initialisation is balanced as the thread ends.
  thread_local const com::Initialised initialised;
  (void)initialised;
}

}  // namespace brevane::mshtml
