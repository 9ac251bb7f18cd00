#include "browser/mshtml/tests/document_double.h"

#include "base/text/wide.h"

#include "base/win32/com.h"

#include "browser/mshtml/mshtml_engine.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>
#include <oleacc.h>
#include <servprov.h>
#include <shlguid.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace brevane::mshtml::testing {
namespace {

// Asked of an object to learn whether it is one of the double's.
// {6E0B5C0A-3D52-4B8E-9F1A-2C7D4E6B8A10}
constexpr GUID kDoubleObjectIid = {0x6e0b5c0a, 0x3d52, 0x4b8e, {0x9f, 0x1a, 0x2c, 0x7d, 0x4e, 0x6b, 0x8a, 0x10}};
// The class that reads a marshalled double back.
// {6E0B5C0B-3D52-4B8E-9F1A-2C7D4E6B8A10}
constexpr CLSID kUnmarshalClass = {0x6e0b5c0b, 0x3d52, 0x4b8e, {0x9f, 0x1a, 0x2c, 0x7d, 0x4e, 0x6b, 0x8a, 0x10}};

Text FromWide(const wchar_t* wide, std::size_t length) {
  return wide == nullptr ? Text() : win32::GbkFromWide(std::wstring_view(wide, length));
}

// Member names and their identifiers, shared by every object: one name
// always has the same identifier, whatever its case.
class NameTable {
 public:
  DISPID Id(const std::wstring& name) {
    std::string lower;
    for (wchar_t c : name) {
      if (c > 0x7f) return DISPID_UNKNOWN;  // no member of the model has such a name
      lower += static_cast<char>(c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = ids_.find(lower);
    if (found != ids_.end()) return found->second;
    const DISPID id = kFirstId + static_cast<DISPID>(names_.size());
    names_.push_back(lower);
    ids_.emplace(lower, id);
    return id;
  }
  bool Name(DISPID id, std::string* name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (id < kFirstId || id - kFirstId >= static_cast<DISPID>(names_.size())) return false;
    *name = names_[static_cast<std::size_t>(id - kFirstId)];
    return true;
  }

 private:
  static constexpr DISPID kFirstId = 1000;
  std::mutex mutex_;
  std::vector<std::string> names_;
  std::map<std::string, DISPID> ids_;
};

NameTable& Names() {
  static NameTable table;
  return table;
}

Variant FromVariant(const VARIANT& in) {
  const VARIANT* v = &in;
  if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
  switch (v->vt) {
    case VT_I2: return Variant(static_cast<int32_t>(v->iVal));
    case VT_I4: return Variant(static_cast<int32_t>(v->lVal));
    case VT_INT: return Variant(static_cast<int32_t>(v->intVal));
    case VT_I8: return Variant(static_cast<int64_t>(v->llVal));
    case VT_UI4: return Variant(static_cast<int64_t>(v->ulVal));
    case VT_R8: return Variant(v->dblVal);
    case VT_BOOL: return Variant(v->boolVal != VARIANT_FALSE);
    case VT_BSTR: return Variant(FromWide(v->bstrVal, v->bstrVal ? SysStringLen(v->bstrVal) : 0));
    case VT_DISPATCH: return Variant(DoubledObject(v->pdispVal));
    case VT_UNKNOWN: return Variant(DoubledObject(v->punkVal));
    default: return Variant();
  }
}

// The double's results: its own objects go out as new doubles.
void ToVariant(const Variant& in, VARIANT* out) {
  mshtml::ToVariant(in, out, [](const DomRef& object) { return NewDispatchDouble(object); });
}

// ---------------------------------------------------------------- marshalling

// The marshalled form of a double: whose process it lives in and where.
struct MarshalRecord {
  DWORD process = 0;
  DWORD reserved = 0;
  UINT64 address = 0;
};

HRESULT ReadRecord(IStream* stream, MarshalRecord* record) {
  ULONG read = 0;
  const HRESULT hr = stream->Read(record, sizeof *record, &read);
  if (FAILED(hr)) return hr;
  if (read != sizeof *record || record->address == 0) return E_FAIL;
  // An address of another process means nothing here.
  if (record->process != GetCurrentProcessId()) return E_FAIL;
  return S_OK;
}

HRESULT UnmarshalRecord(IStream* stream, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  MarshalRecord record;
  const HRESULT hr = ReadRecord(stream, &record);
  if (FAILED(hr)) return hr;
  // The record held one reference; the caller now holds its own.
  const auto object = com::Ref<IUnknown>::Adopt(reinterpret_cast<IUnknown*>(static_cast<UINT_PTR>(record.address)));
  return object->QueryInterface(iid, out);
}

HRESULT ReleaseRecord(IStream* stream) {
  MarshalRecord record;
  const HRESULT hr = ReadRecord(stream, &record);
  if (FAILED(hr)) return hr;
  // The record's reference goes with it.
  com::Ref<IUnknown>::Adopt(reinterpret_cast<IUnknown*>(static_cast<UINT_PTR>(record.address))).Reset();
  return S_OK;
}

// Reads marshalled doubles back; made by the registered class.
class Unmarshaler final : public com::Object<Unmarshaler, IMarshal> {
 public:
  void* Find(REFIID iid) { return IsEqualIID(iid, IID_IMarshal) ? static_cast<IMarshal*>(this) : nullptr; }
  STDMETHODIMP GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD, CLSID*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP MarshalInterface(IStream*, REFIID, void*, DWORD, void*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP UnmarshalInterface(IStream* stream, REFIID iid, void** out) override {
    return UnmarshalRecord(stream, iid, out);
  }
  STDMETHODIMP ReleaseMarshalData(IStream* stream) override { return ReleaseRecord(stream); }
  STDMETHODIMP DisconnectObject(DWORD) override { return S_OK; }
};

class UnmarshalerFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // A process-lifetime object: references are not counted.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return com::Ref<Unmarshaler>::Adopt(new Unmarshaler())->QueryInterface(iid, out);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

UnmarshalerFactory& Factory() {
  static UnmarshalerFactory factory;
  return factory;
}

// ---------------------------------------------------------------- objects

class DispatchDouble;

constexpr GUID kWebBrowserEvents2 = {0x34a715a0, 0x6587, 0x11d0, {0x92, 0x4a, 0x00, 0x20, 0xaf, 0xc7, 0xac, 0x4d}};

// The web-browser service of a window: its document, and for the top
// window (the hosted control) the control's busy flag and ready state and
// its events. The top window's service is one object for the engine's
// whole life (TopControl), as the hosted control is: the events name it as
// their pDisp, and a sink tells the top frame's navigations by that
// identity (Wine's dlls/ieframe/tests/webbrowser.c: test_OnBeforeNavigate
// and test_navigatecomplete2 check V_DISPATCH(pDisp) == the control).
class WebBrowserDouble final
    : public com::Object<WebBrowserDouble, IWebBrowser2, IConnectionPointContainer, IConnectionPoint> {
 public:
  explicit WebBrowserDouble(std::shared_ptr<memory::MemoryWindow> window) : window_(std::move(window)) {}

  void* Find(REFIID iid) {
    const bool answered = IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IWebBrowser) ||
                          IsEqualIID(iid, IID_IWebBrowserApp) || IsEqualIID(iid, IID_IWebBrowser2);
    if (answered) return static_cast<IWebBrowser2*>(this);
    if (window_->top() && IsEqualIID(iid, IID_IConnectionPointContainer))
      return static_cast<IConnectionPointContainer*>(this);
    return nullptr;
  }

  // The top window of the document shown now (each top document has its
  // own); the control stays the same object.
  void set_window(std::shared_ptr<memory::MemoryWindow> window) { window_ = std::move(window); }

  // Fires one event the in-memory control recorded ("BeforeNavigate2
  // <address>", "DownloadBegin", "NavigateComplete2 <address>",
  // "DocumentComplete <address>") to the connected sinks, with the
  // arguments DWebBrowserEvents2 gives it, the last first: the control as
  // pDisp, the address by reference, a Cancel flag for BeforeNavigate2
  // (webbrowser.c, the DWebBrowserEvents2 handler: 7 arguments for
  // BeforeNavigate2, 2 for NavigateComplete2 and DocumentComplete, none for
  // DownloadBegin).
  // frame: the pDisp the event names, the control itself when null.
  void Fire(const std::string& event, IDispatch* frame_object = nullptr) {
    const std::size_t space = event.find(' ');
    const std::string name = event.substr(0, space);
    const std::wstring address =
        space == std::string::npos ? std::wstring() : win32::WideFromGbk(event.substr(space + 1));
    DISPID id = 0;
    if (name == "BeforeNavigate2") id = DISPID_BEFORENAVIGATE2;
    else if (name == "DownloadBegin") id = DISPID_DOWNLOADBEGIN;
    else if (name == "NavigateComplete2") id = DISPID_NAVIGATECOMPLETE2;
    else if (name == "DocumentComplete") id = DISPID_DOCUMENTCOMPLETE;
    else if (name == "NavigateError") id = DISPID_NAVIGATEERROR;
    else return;
    com::Variant url;
    (*url.get()).vt = VT_BSTR;
    (*url.get()).bstrVal = SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
    VARIANT_BOOL cancel = VARIANT_FALSE;
    std::vector<VARIANT> args;
    auto add_ref = [&](VARIANT* value) {
      VARIANT v;
      VariantInit(&v);
      v.vt = VT_VARIANT | VT_BYREF;
      v.pvarVal = value;
      args.push_back(v);
    };
    com::Variant empty_flags, empty_frame, empty_post, empty_headers;
    VARIANT status;
    VariantInit(&status);
    status.vt = VT_I4;
    status.lVal = static_cast<LONG>(INET_E_RESOURCE_NOT_FOUND);
    if (id == DISPID_NAVIGATEERROR) {
      // NavigateError(pDisp, URL, Frame, StatusCode, Cancel)
      VARIANT c;
      VariantInit(&c);
      c.vt = VT_BOOL | VT_BYREF;
      c.pboolVal = &cancel;
      args.push_back(c);
      add_ref(&status);
      add_ref(empty_frame.get());
    }
    if (id == DISPID_BEFORENAVIGATE2) {
      VARIANT c;
      VariantInit(&c);
      c.vt = VT_BOOL | VT_BYREF;
      c.pboolVal = &cancel;
      args.push_back(c);                 // Cancel
      add_ref(empty_headers.get());      // Headers
      add_ref(empty_post.get());         // PostData
      add_ref(empty_frame.get());        // TargetFrameName
      add_ref(empty_flags.get());        // Flags
    }
    if (id != DISPID_DOWNLOADBEGIN) {
      add_ref(url.get());  // URL
      VARIANT frame;
      VariantInit(&frame);
      frame.vt = VT_DISPATCH;
      frame.pdispVal = frame_object ? frame_object : static_cast<IWebBrowser2*>(this);  // pDisp
      args.push_back(frame);
    }
    DISPPARAMS parameters{};
    parameters.cArgs = static_cast<UINT>(args.size());
    parameters.rgvarg = args.empty() ? nullptr : args.data();
    // A sink may go during the call: these references keep every one.
    const std::map<DWORD, com::Ref<IDispatch>> sinks = sinks_;
    for (const auto& [cookie, sink] : sinks)
      sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr, nullptr, nullptr);
  }

  // IConnectionPointContainer: the control's events (DWebBrowserEvents2).
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, kWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  // IConnectionPoint
  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    if (iid == nullptr) return E_POINTER;
    *iid = kWebBrowserEvents2;
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override {
    if (out == nullptr) return E_POINTER;
    *out = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    auto events = com::Ref<IUnknown>::Share(sink).As<IDispatch>(kWebBrowserEvents2);
    if (!events) return CONNECT_E_CANNOTCONNECT;
    *cookie = ++last_cookie_;
    sinks_[*cookie] = std::move(events);
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD cookie) override { return sinks_.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION; }
  STDMETHODIMP EnumConnections(IEnumConnections** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

  // The frame's document, reached through the service whatever its origin.
  STDMETHODIMP get_Document(IDispatch** document) override {
    if (document == nullptr) return E_POINTER;
    *document = window_->document() ? NewDispatchDouble(window_->document()) : nullptr;
    return *document ? S_OK : E_FAIL;
  }

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  // IWebBrowser
  STDMETHODIMP GoBack() override { return E_NOTIMPL; }
  STDMETHODIMP GoForward() override { return E_NOTIMPL; }
  STDMETHODIMP GoHome() override { return E_NOTIMPL; }
  STDMETHODIMP GoSearch() override { return E_NOTIMPL; }
  STDMETHODIMP Navigate(BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP Refresh() override { return E_NOTIMPL; }
  STDMETHODIMP Refresh2(VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP Stop() override { return E_NOTIMPL; }
  STDMETHODIMP get_Application(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Parent(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Container(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_TopLevelContainer(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Type(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Left(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Left(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Top(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Top(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Width(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Width(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Height(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Height(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_LocationName(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_LocationURL(BSTR*) override { return E_NOTIMPL; }
  // The control's state (the top window's service is the hosted control);
  // a frame's service does not say.
  STDMETHODIMP get_Busy(VARIANT_BOOL* busy) override {
    if (busy == nullptr) return E_POINTER;
    if (!window_->top()) return E_NOTIMPL;
    *busy = window_->state()->busy ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  // IWebBrowserApp
  STDMETHODIMP Quit() override { return E_NOTIMPL; }
  STDMETHODIMP ClientToWindow(int*, int*) override { return E_NOTIMPL; }
  STDMETHODIMP PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
  STDMETHODIMP GetProperty(BSTR, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Name(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_HWND(SHANDLE_PTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_FullName(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Path(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Visible(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_StatusBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_StatusBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_StatusText(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP put_StatusText(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP get_ToolBar(int*) override { return E_NOTIMPL; }
  STDMETHODIMP put_ToolBar(int) override { return E_NOTIMPL; }
  STDMETHODIMP get_MenuBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_MenuBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_FullScreen(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_FullScreen(VARIANT_BOOL) override { return E_NOTIMPL; }
  // IWebBrowser2
  STDMETHODIMP Navigate2(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryStatusWB(OLECMDID, OLECMDF*) override { return E_NOTIMPL; }
  STDMETHODIMP ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP get_ReadyState(READYSTATE* state) override {
    if (state == nullptr) return E_POINTER;
    if (!window_->top()) return E_NOTIMPL;
    *state = static_cast<READYSTATE>(window_->state()->control_ready_state);
    return S_OK;
  }
  STDMETHODIMP get_Offline(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Offline(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_Silent(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Silent(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_RegisterAsBrowser(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_RegisterAsBrowser(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_RegisterAsDropTarget(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_RegisterAsDropTarget(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_TheaterMode(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_TheaterMode(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_AddressBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_AddressBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_Resizable(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Resizable(VARIANT_BOOL) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<memory::MemoryWindow> window_;
  std::map<DWORD, com::Ref<IDispatch>> sinks_;
  DWORD last_cookie_ = 0;
};

// The hosted control of each engine the double serves, made when its top
// window's service is first asked for; it fires the events the in-memory
// control records from then on. Dropped with the double.
std::map<const memory::EngineState*, com::Ref<WebBrowserDouble>>& TopControls() {
  static std::map<const memory::EngineState*, com::Ref<WebBrowserDouble>> controls;
  return controls;
}

com::Ref<WebBrowserDouble> TopControl(const std::shared_ptr<memory::MemoryWindow>& window) {
  memory::EngineState* state = window->state().get();
  com::Ref<WebBrowserDouble>& control = TopControls()[state];
  if (!control) {
    control = com::Ref<WebBrowserDouble>::Adopt(new WebBrowserDouble(window));
    WebBrowserDouble* events = control.get();
    state->on_control_event = [events](const std::string& event) { events->Fire(event); };
  }
  control->set_window(window);
  return control;
}

// The live COM object of each in-memory object: one object is handed out
// as one COM object as long as a reference to it is held, as COM's identity
// rule asks and as MSHTML keeps it (Wine's dlls/mshtml/tests/dom.c compares
// elements read twice with iface_cmp). Objects belong to one thread.
std::map<const DomObject*, DispatchDouble*>& LiveDoubles() {
  thread_local std::map<const DomObject*, DispatchDouble*> live;
  return live;
}

class DispatchDouble final : public com::Object<DispatchDouble, IHTMLDocument, IServiceProvider, IMarshal> {
 public:
  explicit DispatchDouble(DomRef object)
      : object_(std::move(object)),
        is_document_(std::dynamic_pointer_cast<memory::MemoryDocument>(object_) != nullptr),
        window_(std::dynamic_pointer_cast<memory::MemoryWindow>(object_)) {
    LiveDoubles()[object_.get()] = this;
  }
  ~DispatchDouble() { LiveDoubles().erase(object_.get()); }

  const DomRef& object() const { return object_; }

  void* Find(REFIID iid) {
    if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kDoubleObjectIid)) return static_cast<IHTMLDocument*>(this);
    if (IsEqualIID(iid, IID_IHTMLDocument) && is_document_) return static_cast<IHTMLDocument*>(this);
    if (IsEqualIID(iid, IID_IServiceProvider) && window_) return static_cast<IServiceProvider*>(this);
    if (IsEqualIID(iid, IID_IMarshal)) return static_cast<IMarshal*>(this);
    return nullptr;
  }

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = i == 0 && names[i] ? Names().Id(names[i]) : DISPID_UNKNOWN;  // named arguments: none
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    std::string name;
    if (!Names().Name(id, &name)) return DISP_E_MEMBERNOTFOUND;
    InvokeKind kind = InvokeKind::kMethod;
    if (flags & DISPATCH_PROPERTYPUTREF) kind = InvokeKind::kPropertyPutRef;
    else if (flags & DISPATCH_PROPERTYPUT) kind = InvokeKind::kPropertyPut;
    else if (flags & DISPATCH_PROPERTYGET) kind = InvokeKind::kPropertyGet;
    else if (!(flags & DISPATCH_METHOD)) return E_INVALIDARG;
    std::vector<Variant> args;
    if (params && params->cArgs > 0) {
      if (params->rgvarg == nullptr) return E_INVALIDARG;
      // The last argument comes first in the array.
      for (UINT i = params->cArgs; i-- > 0;) args.push_back(FromVariant(params->rgvarg[i]));
    }
    Variant value;
    const int32_t code = object_->Invoke(name, kind, args, &value);
    if (code != dom_error::kOk) return static_cast<HRESULT>(code);
    if (result) ToVariant(value, result);
    return S_OK;
  }

  // IHTMLDocument
  STDMETHODIMP get_Script(IDispatch** script) override {
    if (script) *script = nullptr;
    return E_NOTIMPL;
  }

  // IServiceProvider (frame windows)
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!window_ || !IsEqualGUID(service, SID_SWebBrowserApp)) return E_NOINTERFACE;
    if (window_->top()) return TopControl(window_)->QueryInterface(iid, out);
    return com::Ref<WebBrowserDouble>::Adopt(new WebBrowserDouble(window_))->QueryInterface(iid, out);
  }

  // IMarshal: the object marshals itself as its address in this process.
  STDMETHODIMP GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD, CLSID* cid) override {
    if (cid == nullptr) return E_POINTER;
    *cid = kUnmarshalClass;
    return S_OK;
  }
  STDMETHODIMP GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD* size) override {
    if (size == nullptr) return E_POINTER;
    *size = sizeof(MarshalRecord);
    return S_OK;
  }
  STDMETHODIMP MarshalInterface(IStream* stream, REFIID iid, void*, DWORD, void*, DWORD) override {
    if (stream == nullptr) return E_POINTER;
    void* marshalled = nullptr;  // the record's own reference
    HRESULT hr = QueryInterface(iid, &marshalled);
    if (FAILED(hr)) return hr;
    MarshalRecord record;
    record.process = GetCurrentProcessId();
    record.address = reinterpret_cast<UINT_PTR>(marshalled);
    ULONG written = 0;
    hr = stream->Write(&record, sizeof record, &written);
    if (FAILED(hr) || written != sizeof record) {
      com::Ref<IUnknown>::Adopt(static_cast<IUnknown*>(marshalled)).Reset();
      return FAILED(hr) ? hr : STG_E_MEDIUMFULL;
    }
    return S_OK;
  }
  STDMETHODIMP UnmarshalInterface(IStream* stream, REFIID iid, void** out) override {
    return UnmarshalRecord(stream, iid, out);
  }
  STDMETHODIMP ReleaseMarshalData(IStream* stream) override { return ReleaseRecord(stream); }
  STDMETHODIMP DisconnectObject(DWORD) override { return S_OK; }

 private:
  DomRef object_;
  bool is_document_;
  std::shared_ptr<memory::MemoryWindow> window_;
};

// Registration of the unmarshal class, shared by the doubles alive on the
// thread.
int registrations = 0;
DWORD registration_cookie = 0;

constexpr wchar_t kMainClass[] = L"BrevaneDocumentDoubleMain";

void RegisterWindowClasses() {
  static const bool registered = [] {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    auto add = [instance](const wchar_t* name, WNDPROC procedure) {
      WNDCLASSEXW window_class{};
      window_class.cbSize = sizeof window_class;
      window_class.lpfnWndProc = procedure;
      window_class.hInstance = instance;
      window_class.lpszClassName = name;
      RegisterClassExW(&window_class);
    };
    add(kMainClass, DefWindowProcW);
    add(L"Shell Embedding", DefWindowProcW);
    add(L"Shell DocObject View", DefWindowProcW);
    return true;
  }();
  (void)registered;
}

}  // namespace

IDispatch* NewDispatchDouble(const DomRef& object) {
  if (!object) return nullptr;
  const auto live = LiveDoubles().find(object.get());
  if (live != LiveDoubles().end()) {
    live->second->AddRef();
    return static_cast<IHTMLDocument*>(live->second);
  }
  return static_cast<IHTMLDocument*>(new DispatchDouble(object));
}

DomRef DoubledObject(IUnknown* object) {
  if (object == nullptr) return nullptr;
  const auto found = com::Ref<IUnknown>::Share(object).As<IHTMLDocument>(kDoubleObjectIid);
  return found ? static_cast<DispatchDouble*>(found.get())->object() : nullptr;
}

DocumentDouble::DocumentDouble(memory::MemoryEngine& engine)
    : DocumentDouble([&engine]() -> DomRef { return engine.shown(); }) {
  // The pages behave as the control's own documents do.
  engine.state()->raw_ie = true;
  state_ = engine.state();
}

DocumentDouble::DocumentDouble(std::function<DomRef()> source) : source_(std::move(source)) {
  com_ = CoInitialize(nullptr);
  if (registrations++ == 0) {
    if (FAILED(CoRegisterClassObject(kUnmarshalClass, &Factory(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                     &registration_cookie))) {
      registration_cookie = 0;
    }
  }
  cookie_ = registration_cookie;

  RegisterWindowClasses();
  static const bool document_class = [] {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = DocumentWindowProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"Internet Explorer_Server";
    return RegisterClassExW(&window_class) != 0;
  }();
  (void)document_class;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  main_ = CreateWindowExW(0, kMainClass, L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, instance, nullptr);
  control_ = CreateWindowExW(0, L"Shell Embedding", L"", WS_CHILD, 0, 0, 400, 300, main_, nullptr, instance,
                             nullptr);
  HWND view = CreateWindowExW(0, L"Shell DocObject View", L"", WS_CHILD, 0, 0, 400, 300, control_, nullptr,
                              instance, nullptr);
  document_window_ = CreateWindowExW(0, L"Internet Explorer_Server", L"", WS_CHILD, 0, 0, 400, 300, view,
                                     nullptr, instance, nullptr);
  if (document_window_) SetWindowLongPtrW(document_window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

DocumentDouble::~DocumentDouble() {
  if (state_) {
    state_->on_control_event = nullptr;
    TopControls().erase(state_.get());
  }
  if (document_window_) SetWindowLongPtrW(document_window_, GWLP_USERDATA, 0);
  if (main_) DestroyWindow(main_);
  if (--registrations == 0 && registration_cookie != 0) {
    CoRevokeClassObject(registration_cookie);
    registration_cookie = 0;
  }
  if (SUCCEEDED(com_)) CoUninitialize();
}

void DocumentDouble::FireControlEvent(const std::string& event, bool top_frame) {
  if (!state_) return;
  auto control = TopControls().find(state_.get());
  if (control == TopControls().end()) return;
  if (top_frame) {
    control->second->Fire(event);
    return;
  }
  // A frame's own browser object, as a frame's navigation names it.
  auto frame_window = std::make_shared<memory::MemoryWindow>(state_, nullptr, true);
  const auto frame = com::Ref<WebBrowserDouble>::Adopt(new WebBrowserDouble(frame_window));
  control->second->Fire(event, static_cast<IWebBrowser2*>(frame.get()));
}

LRESULT CALLBACK DocumentDouble::DocumentWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  static const UINT get_object = RegisterWindowMessageA("WM_HTML_GETOBJECT");
  if (message != 0 && message == get_object) {
    auto* self = reinterpret_cast<DocumentDouble*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || !self->source_) return 0;
    DomRef document = self->source_();
    const auto dispatch = com::Ref<IDispatch>::Adopt(NewDispatchDouble(document));
    if (!dispatch) return 0;
    ++self->requests_;
    const LRESULT answer = LresultFromObject(IID_IHTMLDocument, wparam, dispatch.get());
    return answer < 0 ? 0 : answer;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace brevane::mshtml::testing
