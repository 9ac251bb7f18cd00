#include "ui/win32/web_browser_host.h"

#include <exdisp.h>
#include <ole2.h>
#include <oleidl.h>

#include "ui/win32/text_win32.h"

namespace brevane::win32 {

// The client site the control talks back to: it answers with the container
// window and its rectangle and refuses everything else politely.
class WebBrowserHost::Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit Site(HWND container) : container_(container) {}

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow)) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleInPlaceFrame) || IsEqualIID(iid, IID_IOleInPlaceUIWindow)) {
      *out = static_cast<IOleInPlaceFrame*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and frame)
  STDMETHODIMP GetWindow(HWND* out) override {
    if (out == nullptr) return E_POINTER;
    *out = container_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
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
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow / IOleInPlaceFrame
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  LONG references_ = 1;
  HWND container_;
};

WebBrowserHost::~WebBrowserHost() {
  if (browser_) browser_->Release();
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_->Release();
  }
  if (site_) site_->Release();
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
  Site* site = new Site(container);
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
  return true;
}

void WebBrowserHost::Navigate(const Text& address) {
  if (browser_ == nullptr) return;
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
  browser_->Navigate(url, &flags, &target, &post_data, &headers);
  VariantClear(&target);
  VariantClear(&headers);
  SysFreeString(url);
}

WindowHandle WebBrowserHost::Handle() {
  if (container_ == nullptr || !IsWindow(container_)) return 0;
  return reinterpret_cast<WindowHandle>(container_);
}

}  // namespace brevane::win32
