// The Internet Explorer WebBrowser control hosted in the browser control's
// container window with a minimal in-place client site (no storage, no
// menus, no border space). Right after creation it is set Silent, Offline
// and RegisterAsDropTarget, and not RegisterAsBrowser.
//
// The control never downloads a file: the site offers a download manager
// that takes every download and writes nothing, the ambient download
// control keeps ActiveX controls from being fetched, and the
// FileDownload event is cancelled for anything that is not a page shown in
// place.
//
// Keys: the site keeps the control's in-place active object (handed over
// through SetActiveObject) so the window's message filter can offer it the
// keys typed inside the page (Tab between form fields, Ctrl+C, Enter, ...).
#pragma once

#include <windows.h>

#include <ole2.h>
#include <oleidl.h>
#include <servprov.h>

#include "base/win32/com.h"
#include "browser/browser_control.h"

#include <exdisp.h>
#include <ocidl.h>

#include <functional>

namespace brevane::win32 {

// The flags the site answers for the ambient download control: pictures,
// videos and background sounds load as usual; ActiveX controls already
// installed run as the page's security zone allows, new ones are never
// downloaded; the control shows no user interface of its own; the
// page and its resources are checked against the server on every load
// (DLCTL_RESYNCHRONIZE), so no pass reads a stale board.
DWORD BrowserDownloadControlFlags();

// The client site the control talks back to: it answers with the container
// window and its rectangle, provides the refusing download manager and the
// ambient properties, keeps the in-place active object and refuses
// everything else politely. Reference counted; created with one reference.
class BrowserSite final : public com::Object<BrowserSite, IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame,
                                             IServiceProvider, IDispatch> {
 public:
  explicit BrowserSite(HWND container) : container_(container) {}
  ~BrowserSite() { Detach(); }
  void* Find(REFIID iid);

  // Offers a key message to the control's in-place active object when it
  // goes to a window inside the container. True when the control used it.
  bool TranslateKey(MSG& msg);
  IOleInPlaceActiveObject* active_object() const { return active_object_.get(); }
  // Drops the active object (the control is going).
  void Detach() { active_object_.Reset(); }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override;
  STDMETHODIMP GetContainer(IOleContainer** out) override;
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and frame)
  STDMETHODIMP GetWindow(HWND* out) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
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
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override;
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IServiceProvider: the download manager.
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;

  // IDispatch: the ambient properties.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                      UINT*) override;

 private:
  HWND container_;
  com::Ref<IOleInPlaceActiveObject> active_object_;
};

// The control's event sink (DWebBrowserEvents2): cancels FileDownload for
// everything but a page shown in place, and tells the host when a
// navigation has given the control its top-level frame (NavigateComplete2).
class BrowserEvents final : public com::Object<BrowserEvents, IDispatch> {
 public:
  BrowserEvents() = default;
  void* Find(REFIID iid);
  int cancelled_downloads() const { return cancelled_; }
  void SetNavigatedHook(std::function<void()> hook) { navigated_ = std::move(hook); }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                      UINT*) override;

 private:
  int cancelled_ = 0;
  std::function<void()> navigated_;
};

// The control's settings as it reads them back.
struct BrowserSettings {
  bool silent = false;
  bool offline = false;
  bool drop_target = false;
  bool as_browser = false;
};

class WebBrowserHost final : public BrowserControl {
 public:
  WebBrowserHost() = default;
  ~WebBrowserHost() override;
  WebBrowserHost(const WebBrowserHost&) = delete;
  WebBrowserHost& operator=(const WebBrowserHost&) = delete;

  // Creates the control inside container (which must live on the calling
  // thread, initialised with OleInitialize). False when the system has no
  // WebBrowser control; the container then stays empty.
  bool Create(HWND container);
  bool created() const { return static_cast<bool>(browser_); }
  // The control, for reading its state back (no reference added).
  IWebBrowser2* browser() const { return browser_.get(); }
  // Whether the control has taken every setting. Microsoft documents that
  // Silent and Offline may be refused before the control has a top-level
  // frame: what it refused at creation is set again after each navigation
  // until it takes it.
  bool settings_applied() const { return settings_applied_; }
  // What the control reads back for its settings (all false before Create).
  BrowserSettings ReadSettings() const;
  // Whether keys typed into the page have an object to go to.
  bool has_active_object() const { return site_ && site_->active_object() != nullptr; }
  // Whether the event sink is connected to the control.
  bool events_connected() const { return events_cookie_ != 0; }
  // Downloads the event sink has cancelled.
  int cancelled_downloads() const { return events_ ? events_->cancelled_downloads() : 0; }

  // Offers a key message typed inside the page to the control (see
  // BrowserSite::TranslateKey). False before Create.
  bool TranslateKey(MSG& msg);

  // Navigate with navNoReadFromCache (the page always comes from the server)
  // and an empty target frame, headers and post data.
  // Returns the control's result (E_FAIL before Create).
  HRESULT NavigateTo(const Text& address);
  void Navigate(const Text& address) override { NavigateTo(address); }
  // The container's handle; 0 before Create.
  WindowHandle Handle() override;
  // Disconnects and closes the control; the destructor does it too.
  void Destroy();

 private:
  // Pages cannot open dialog boxes; nothing is fetched from the network
  // until a navigation; dropped links open here; the control is not found
  // by other programs looking for browser windows. True when all four took.
  bool ApplySettings();
  void ConnectEvents();

  HWND container_ = nullptr;
  com::Ref<BrowserSite> site_;
  com::Ref<BrowserEvents> events_;
  com::Ref<IConnectionPoint> events_point_;
  DWORD events_cookie_ = 0;
  com::Ref<IOleObject> object_;
  com::Ref<IWebBrowser2> browser_;
  bool settings_applied_ = false;
};

}  // namespace brevane::win32
