#include "browser/mshtml/web_browser_host.h"

#include <downloadmgr.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <ocidl.h>

#include <utility>

#include "base/text/wide.h"

namespace brevane::win32 {
namespace {

// The download manager service and its interface share one identifier.
constexpr GUID kDownloadManager = {0x988934a4, 0x064b, 0x11d3, {0xbb, 0x80, 0x00, 0x10, 0x4b, 0x35, 0xe7, 0xf9}};
constexpr GUID kWebBrowserEvents2 = {0x34a715a0, 0x6587, 0x11d0, {0x92, 0x4a, 0x00, 0x20, 0xaf, 0xc7, 0xac, 0x4d}};

// Takes every download the control would start and does nothing with it:
// S_OK tells the control the download is handled, so it neither asks nor
// saves anything; the moniker is never bound.
class RefusingDownloadManager final : public com::Object<RefusingDownloadManager, IDownloadManager> {
 public:
  void* Find(REFIID iid) {
    return IsEqualIID(iid, kDownloadManager) ? static_cast<IDownloadManager*>(this) : nullptr;
  }
  STDMETHODIMP Download(IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, LPCOLESTR, LPCOLESTR, UINT) override {
    return S_OK;
  }
};

// Every navigation reads the page from the server, never from the cache: a
// board the forum sends without cache headers would otherwise show as the
// cache kept it, without its new threads.
constexpr LONG kNavigateFlags = navNoReadFromCache;

bool IsKeyMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

}  // namespace

DWORD BrowserDownloadControlFlags() {
  // ActiveX controls already installed run as the page's security zone
  // allows, as in any WebBrowser control (a forum's login page may need
  // one); new ones are never downloaded, as nothing else is.
  return DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS | DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_JAVA | DLCTL_SILENT |
         DLCTL_RESYNCHRONIZE;
}

// ---- BrowserSite ----

void* BrowserSite::Find(REFIID iid) {
  if (IsEqualIID(iid, IID_IOleClientSite)) return static_cast<IOleClientSite*>(this);
  if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow))
    return static_cast<IOleInPlaceSite*>(this);
  if (IsEqualIID(iid, IID_IOleInPlaceFrame) || IsEqualIID(iid, IID_IOleInPlaceUIWindow))
    return static_cast<IOleInPlaceFrame*>(this);
  if (IsEqualIID(iid, IID_IServiceProvider)) return static_cast<IServiceProvider*>(this);
  if (IsEqualIID(iid, IID_IDispatch)) return static_cast<IDispatch*>(this);
  return nullptr;
}

bool BrowserSite::TranslateKey(MSG& msg) {
  if (!active_object_ || !IsKeyMessage(msg.message) || msg.hwnd == nullptr) return false;
  if (msg.hwnd != container_ && !IsChild(container_, msg.hwnd)) return false;
  // The object may drop itself during the call: this reference keeps it.
  const com::Ref<IOleInPlaceActiveObject> object = active_object_;
  return object->TranslateAccelerator(&msg) == S_OK;
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
  active_object_ = com::Ref<IOleInPlaceActiveObject>::Share(object);
  return S_OK;
}

STDMETHODIMP BrowserSite::QueryService(REFGUID service, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualGUID(service, kDownloadManager)) return E_NOINTERFACE;
  const auto manager = com::Ref<RefusingDownloadManager>::Adopt(new RefusingDownloadManager());
  return manager->QueryInterface(iid, out);
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

void* BrowserEvents::Find(REFIID iid) {
  const bool answered = IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kWebBrowserEvents2);
  return answered ? static_cast<IDispatch*>(this) : nullptr;
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
  if (id == DISPID_NAVIGATECOMPLETE2) {
    if (navigated_) navigated_();
    return S_OK;
  }
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
  if (events_point_ && events_cookie_) events_point_->Unadvise(events_cookie_);
  events_cookie_ = 0;
  events_point_.Reset();
  if (events_) events_->SetNavigatedHook(nullptr);
  events_.Reset();
  browser_.Reset();
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_.Reset();
  }
  if (site_) site_->Detach();
  site_.Reset();
  settings_applied_ = false;
}

bool WebBrowserHost::Create(HWND container) {
  if (browser_ || container == nullptr) return created();
  container_ = container;
  com::Ref<IOleObject> object;
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              object.ReceiveVoid())) ||
      !object) {
    return false;
  }
  auto site = com::Ref<BrowserSite>::Adopt(new BrowserSite(container));
  RECT area;
  GetClientRect(container, &area);
  com::Ref<IWebBrowser2> browser;
  IOleClientSite* client = site.get();
  if (FAILED(object->SetClientSite(client)) ||
      FAILED(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, client, 0, container, &area)) ||
      !(browser = object.As<IWebBrowser2>(IID_IWebBrowser2))) {
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    site->Detach();
    return false;
  }
  object_ = std::move(object);
  site_ = std::move(site);
  browser_ = std::move(browser);
  settings_applied_ = ApplySettings();
  browser_->put_Left(0);
  browser_->put_Top(0);
  browser_->put_Width(area.right - area.left);
  browser_->put_Height(area.bottom - area.top);

  // The control names its in-place active object through SetActiveObject
  // once it is UI-active; until then keys typed into the page go to the one
  // it offers itself.
  if (site_->active_object() == nullptr) {
    if (const auto active = object_.As<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject))
      site_->SetActiveObject(active.get(), nullptr);
  }
  ConnectEvents();
  return true;
}

bool WebBrowserHost::ApplySettings() {
  // Each is set whatever the others did; all must take.
  const HRESULT results[] = {
      browser_->put_Silent(VARIANT_TRUE),
      browser_->put_Offline(VARIANT_TRUE),
      browser_->put_RegisterAsDropTarget(VARIANT_TRUE),
      browser_->put_RegisterAsBrowser(VARIANT_FALSE),
  };
  for (HRESULT result : results)
    if (FAILED(result)) return false;
  return true;
}

BrowserSettings WebBrowserHost::ReadSettings() const {
  BrowserSettings settings;
  if (!browser_) return settings;
  VARIANT_BOOL value = VARIANT_FALSE;
  if (SUCCEEDED(browser_->get_Silent(&value))) settings.silent = value != VARIANT_FALSE;
  value = VARIANT_FALSE;
  if (SUCCEEDED(browser_->get_Offline(&value))) settings.offline = value != VARIANT_FALSE;
  value = VARIANT_FALSE;
  if (SUCCEEDED(browser_->get_RegisterAsDropTarget(&value))) settings.drop_target = value != VARIANT_FALSE;
  value = VARIANT_FALSE;
  if (SUCCEEDED(browser_->get_RegisterAsBrowser(&value))) settings.as_browser = value != VARIANT_FALSE;
  return settings;
}

// The download events and the navigation that gives the control its frame;
// a control without them still has the refusing download manager.
void WebBrowserHost::ConnectEvents() {
  const auto points = browser_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  com::Ref<IConnectionPoint> point;
  if (!points || FAILED(points->FindConnectionPoint(kWebBrowserEvents2, point.Receive())) || !point) return;
  events_ = com::Ref<BrowserEvents>::Adopt(new BrowserEvents());
  events_->SetNavigatedHook([this] {
    if (!settings_applied_) settings_applied_ = ApplySettings();
  });
  DWORD cookie = 0;
  if (SUCCEEDED(point->Advise(static_cast<IDispatch*>(events_.get()), &cookie)) && cookie != 0) {
    events_point_ = std::move(point);
    events_cookie_ = cookie;
  }
}

bool WebBrowserHost::TranslateKey(MSG& msg) { return site_ && site_->TranslateKey(msg); }

HRESULT WebBrowserHost::NavigateTo(const Text& address) {
  if (!browser_) return E_FAIL;
  const std::wstring wide = WideFromGbk(address);
  const com::Bstr url(wide.data(), static_cast<UINT>(wide.size()));
  com::VariantArray arguments(4);  // flags, target frame, post data, headers
  arguments[0].vt = VT_I4;
  arguments[0].lVal = kNavigateFlags;
  arguments[1].vt = VT_BSTR;
  arguments[1].bstrVal = SysAllocString(L"");
  arguments[3].vt = VT_BSTR;
  arguments[3].bstrVal = SysAllocString(L"");
  const HRESULT result = browser_->Navigate(url.get(), &arguments[0], &arguments[1], &arguments[2], &arguments[3]);
  if (!settings_applied_) settings_applied_ = ApplySettings();
  return result;
}

WindowHandle WebBrowserHost::Handle() {
  if (container_ == nullptr || !IsWindow(container_)) return 0;
  return reinterpret_cast<WindowHandle>(container_);
}

}  // namespace brevane::win32
