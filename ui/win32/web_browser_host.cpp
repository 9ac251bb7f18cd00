#include "ui/win32/web_browser_host.h"

#include <downloadmgr.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <ocidl.h>

#include "ui/win32/text_win32.h"

namespace brevane::win32 {
namespace {

// The download manager service and its interface share one identifier.
constexpr GUID kDownloadManager = {0x988934a4, 0x064b, 0x11d3, {0xbb, 0x80, 0x00, 0x10, 0x4b, 0x35, 0xe7, 0xf9}};
constexpr GUID kWebBrowserEvents2 = {0x34a715a0, 0x6587, 0x11d0, {0x92, 0x4a, 0x00, 0x20, 0xaf, 0xc7, 0xac, 0x4d}};

// Takes every download the control would start and does nothing with it:
// S_OK tells the control the download is handled, so it neither asks nor
// saves anything; the moniker is never bound.
class RefusingDownloadManager final : public IDownloadManager {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, kDownloadManager)) return E_NOINTERFACE;
    *out = static_cast<IDownloadManager*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  STDMETHODIMP Download(IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, LPCOLESTR, LPCOLESTR, UINT) override {
    return S_OK;
  }

 private:
  ~RefusingDownloadManager() = default;
  LONG references_ = 1;
};

bool IsKeyMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

}  // namespace

DWORD BrowserDownloadControlFlags() {
  return DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS | DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_RUNACTIVEXCTLS |
         DLCTL_NO_JAVA | DLCTL_SILENT;
}

// ---- BrowserSite ----

BrowserSite::~BrowserSite() { Detach(); }

void BrowserSite::Detach() {
  if (active_object_) {
    IOleInPlaceActiveObject* object = active_object_;
    active_object_ = nullptr;
    object->Release();
  }
}

bool BrowserSite::TranslateKey(MSG& msg) {
  if (active_object_ == nullptr || !IsKeyMessage(msg.message) || msg.hwnd == nullptr) return false;
  if (msg.hwnd != container_ && !IsChild(container_, msg.hwnd)) return false;
  // The object may drop itself during the call.
  IOleInPlaceActiveObject* object = active_object_;
  object->AddRef();
  const HRESULT result = object->TranslateAccelerator(&msg);
  object->Release();
  return result == S_OK;
}

STDMETHODIMP BrowserSite::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
    *out = static_cast<IOleClientSite*>(this);
  } else if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow)) {
    *out = static_cast<IOleInPlaceSite*>(this);
  } else if (IsEqualIID(iid, IID_IOleInPlaceFrame) || IsEqualIID(iid, IID_IOleInPlaceUIWindow)) {
    *out = static_cast<IOleInPlaceFrame*>(this);
  } else if (IsEqualIID(iid, IID_IServiceProvider)) {
    *out = static_cast<IServiceProvider*>(this);
  } else if (IsEqualIID(iid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) BrowserSite::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

STDMETHODIMP_(ULONG) BrowserSite::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

STDMETHODIMP BrowserSite::GetMoniker(DWORD, DWORD, IMoniker** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP BrowserSite::GetContainer(IOleContainer** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP BrowserSite::GetWindow(HWND* out) {
  if (out == nullptr) return E_POINTER;
  *out = container_;
  return S_OK;
}

STDMETHODIMP BrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                           LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  if (frame) {
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
  }
  if (document) *document = nullptr;
  if (position) GetClientRect(container_, position);
  if (clip) GetClientRect(container_, clip);
  if (info) {
    info->fMDIApp = FALSE;
    info->hwndFrame = GetAncestor(container_, GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
  }
  return S_OK;
}

STDMETHODIMP BrowserSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
  if (object) object->AddRef();
  Detach();
  active_object_ = object;
  return S_OK;
}

STDMETHODIMP BrowserSite::QueryService(REFGUID service, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualGUID(service, kDownloadManager)) return E_NOINTERFACE;
  auto* manager = new RefusingDownloadManager();
  const HRESULT result = manager->QueryInterface(iid, out);
  manager->Release();
  return result;
}

STDMETHODIMP BrowserSite::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP BrowserSite::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  if (out) *out = nullptr;
  return DISP_E_BADINDEX;
}

STDMETHODIMP BrowserSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                 UINT*) {
  if (id != DISPID_AMBIENT_DLCONTROL || !(flags & DISPATCH_PROPERTYGET) || result == nullptr) {
    return DISP_E_MEMBERNOTFOUND;
  }
  VariantInit(result);
  result->vt = VT_I4;
  result->lVal = static_cast<LONG>(BrowserDownloadControlFlags());
  return S_OK;
}

// ---- BrowserEvents ----

STDMETHODIMP BrowserEvents::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, kWebBrowserEvents2)) {
    return E_NOINTERFACE;
  }
  *out = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) BrowserEvents::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

STDMETHODIMP_(ULONG) BrowserEvents::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

STDMETHODIMP BrowserEvents::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP BrowserEvents::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  if (out) *out = nullptr;
  return DISP_E_BADINDEX;
}

STDMETHODIMP BrowserEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*, EXCEPINFO*,
                                   UINT*) {
  if (id != DISPID_FILEDOWNLOAD || parameters == nullptr) return S_OK;
  // FileDownload(ActiveDocument, Cancel), arguments in reverse order. A
  // page the control shows in place raises it too: that one goes on.
  if (parameters->cArgs < 2) return S_OK;
  const VARIANT& cancel = parameters->rgvarg[0];
  const VARIANT& active_document = parameters->rgvarg[1];
  const bool in_place = active_document.vt == VT_BOOL && active_document.boolVal != VARIANT_FALSE;
  if (in_place) return S_OK;
  if (cancel.vt == (VT_BOOL | VT_BYREF) && cancel.pboolVal != nullptr) {
    *cancel.pboolVal = VARIANT_TRUE;
    ++cancelled_;
  }
  return S_OK;
}

// ---- WebBrowserHost ----

WebBrowserHost::~WebBrowserHost() { Destroy(); }

void WebBrowserHost::Destroy() {
  if (events_point_) {
    if (events_cookie_) events_point_->Unadvise(events_cookie_);
    events_point_->Release();
    events_point_ = nullptr;
    events_cookie_ = 0;
  }
  if (events_) {
    events_->Release();
    events_ = nullptr;
  }
  if (browser_) {
    browser_->Release();
    browser_ = nullptr;
  }
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_->Release();
    object_ = nullptr;
  }
  if (site_) {
    site_->Detach();
    site_->Release();
    site_ = nullptr;
  }
}

bool WebBrowserHost::Create(HWND container) {
  if (browser_ || container == nullptr) return browser_ != nullptr;
  container_ = container;
  IOleObject* object = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              reinterpret_cast<void**>(&object))) ||
      object == nullptr) {
    return false;
  }
  auto* site = new BrowserSite(container);
  RECT area;
  GetClientRect(container, &area);
  IWebBrowser2* browser = nullptr;
  if (FAILED(object->SetClientSite(static_cast<IOleClientSite*>(site))) ||
      FAILED(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site), 0, container,
                            &area)) ||
      FAILED(object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))) || browser == nullptr) {
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    object->Release();
    site->Detach();
    site->Release();
    return false;
  }
  object_ = object;
  site_ = site;
  browser_ = browser;
  // Pages cannot open dialog boxes; nothing is fetched from the network
  // until a navigation; dropped links open here; the control is not found
  // by other programs looking for browser windows.
  browser_->put_Silent(VARIANT_TRUE);
  browser_->put_Offline(VARIANT_TRUE);
  browser_->put_RegisterAsDropTarget(VARIANT_TRUE);
  browser_->put_RegisterAsBrowser(VARIANT_FALSE);
  browser_->put_Left(0);
  browser_->put_Top(0);
  browser_->put_Width(area.right - area.left);
  browser_->put_Height(area.bottom - area.top);

  // The control names its in-place active object through SetActiveObject
  // once it is UI-active; until then keys typed into the page go to the one
  // it offers itself.
  if (site_->active_object() == nullptr) {
    IOleInPlaceActiveObject* active = nullptr;
    if (SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active))) &&
        active != nullptr) {
      site_->SetActiveObject(active, nullptr);
      active->Release();
    }
  }

  // The download events; a control without them still has the refusing
  // download manager.
  IConnectionPointContainer* points = nullptr;
  if (SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points))) &&
      points != nullptr) {
    IConnectionPoint* point = nullptr;
    if (SUCCEEDED(points->FindConnectionPoint(kWebBrowserEvents2, &point)) && point != nullptr) {
      events_ = new BrowserEvents();
      DWORD cookie = 0;
      if (SUCCEEDED(point->Advise(static_cast<IDispatch*>(events_), &cookie)) && cookie != 0) {
        events_point_ = point;
        events_cookie_ = cookie;
      } else {
        point->Release();
      }
    }
    points->Release();
  }
  return true;
}

bool WebBrowserHost::TranslateKey(MSG& msg) { return site_ != nullptr && site_->TranslateKey(msg); }

HRESULT WebBrowserHost::NavigateTo(const Text& address) {
  if (browser_ == nullptr) return E_FAIL;
  const std::wstring wide = WideFromGbk(address);
  BSTR url = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  VARIANT flags, target, post_data, headers;
  VariantInit(&flags);
  flags.vt = VT_I4;
  flags.lVal = 0;
  VariantInit(&target);
  target.vt = VT_BSTR;
  target.bstrVal = SysAllocString(L"");
  VariantInit(&post_data);
  VariantInit(&headers);
  headers.vt = VT_BSTR;
  headers.bstrVal = SysAllocString(L"");
  const HRESULT result = browser_->Navigate(url, &flags, &target, &post_data, &headers);
  VariantClear(&target);
  VariantClear(&headers);
  SysFreeString(url);
  return result;
}

WindowHandle WebBrowserHost::Handle() {
  if (container_ == nullptr || !IsWindow(container_)) return 0;
  return reinterpret_cast<WindowHandle>(container_);
}

}  // namespace brevane::win32
