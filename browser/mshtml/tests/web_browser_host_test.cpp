// The hosted WebBrowser control and its site: keys typed inside the page
// reach the control's in-place active object while the window's own Esc and
// Tab hold elsewhere; downloads are refused on every road the control
// offers; and the real control under Wine, created, in-place activated,
// set up, navigated and torn down with its window. Needs a display.
#include "browser/mshtml/web_browser_host.h"

#include <downloadmgr.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <olectl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/names.h"
#include "app/win32/main_window.h"

namespace brevane::win32 {
namespace {

constexpr GUID kDownloadManager = {0x988934a4, 0x064b, 0x11d3, {0xbb, 0x80, 0x00, 0x10, 0x4b, 0x35, 0xe7, 0xf9}};

// Stands in for the control's in-place active object: records the keys it
// is offered and uses Ctrl+C-like 'C' only.
class FakeActiveObject final : public IOleInPlaceActiveObject {
 public:
  std::vector<WPARAM> offered;
  LONG references = 1;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IOleInPlaceActiveObject) &&
        !IsEqualIID(iid, IID_IOleWindow)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IOleInPlaceActiveObject*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--references); }
  STDMETHODIMP GetWindow(HWND* out) override {
    *out = nullptr;
    return E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(LPMSG msg) override {
    if (msg->message != WM_KEYDOWN) return S_FALSE;
    offered.push_back(msg->wParam);
    return msg->wParam == 'C' ? S_OK : S_FALSE;
  }
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
};

// The main window with a site on its browser container, a child window in
// the container standing for the page, and the fake active object handed
// over as the control would.
class PageKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.SetRoutineRunner([this](Routine routine, const EventArgs&) -> int32_t {
      if (routine == Routine::kEndProgram) ++ended_;
      return 0;
    });
    window_.SetBrowserHostHook([this](HWND container) {
      site_ = com::Ref<BrowserSite>::Adopt(new BrowserSite(container));
      page_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, container, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    });
    window_.SetBrowserKeyHandler([this](MSG& msg) { return site_ && site_->TranslateKey(msg); });
    ASSERT_TRUE(window_.CreateAndShow());
    ASSERT_TRUE(site_);
    ASSERT_NE(page_, nullptr);
    const auto frame = site_.As<IOleInPlaceFrame>(IID_IOleInPlaceFrame);
    ASSERT_TRUE(frame);
    frame->SetActiveObject(&active_, L"page");
    Pump();
  }
  void TearDown() override {
    if (site_) site_->Detach();
    site_.Reset();
    EXPECT_EQ(active_.references, 1) << "the site must not keep the object after letting it go";
  }

  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) break;
      if (window_.PreTranslate(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  MainWindow window_;
  com::Ref<BrowserSite> site_;
  HWND page_ = nullptr;
  FakeActiveObject active_;
  int ended_ = 0;
};

TEST_F(PageKeysTest, KeysInsideThePageReachTheControlFirst) {
  EXPECT_EQ(site_->active_object(), &active_);
  SetFocus(page_);
  // Used by the control: it goes no further (the page's edit box gets no
  // character).
  PostMessageW(page_, WM_KEYDOWN, 'C', 0);
  Pump();
  // Tab inside the page is offered to the control too; refused, the
  // window's tab order moves the focus on.
  PostMessageW(page_, WM_KEYDOWN, VK_TAB, 0);
  Pump();
  EXPECT_EQ(active_.offered, (std::vector<WPARAM>{'C', VK_TAB}));
  EXPECT_NE(GetFocus(), page_);
  wchar_t text[8] = {};
  GetWindowTextW(page_, text, 8);
  EXPECT_STREQ(text, L"");
}

TEST_F(PageKeysTest, TabInTheWindowsOwnEditBoxIsNotOffered) {
  HWND replies = window_.ControlWindow(names::kRepliesBox);
  ASSERT_NE(replies, nullptr);
  SetFocus(replies);
  PostMessageW(replies, WM_KEYDOWN, VK_TAB, 0);
  PostMessageW(replies, WM_KEYDOWN, 'C', 0);
  Pump();
  EXPECT_NE(GetFocus(), replies);
  EXPECT_TRUE(active_.offered.empty());
}

TEST_F(PageKeysTest, EscapeInsideThePageStillClosesTheWindow) {
  SetFocus(page_);
  PostMessageW(page_, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(window_.RunMessageLoop(), 0);
  EXPECT_TRUE(window_.closed());
  EXPECT_EQ(ended_, 1);
  EXPECT_TRUE(active_.offered.empty());
}

TEST(BrowserSiteDownloads, TheDownloadManagerTakesTheDownloadAndWritesNothing) {
  const auto site = com::Ref<BrowserSite>::Adopt(new BrowserSite(nullptr));
  const auto services = site.As<IServiceProvider>(IID_IServiceProvider);
  ASSERT_TRUE(services);
  com::Ref<IDownloadManager> manager;
  ASSERT_EQ(services->QueryService(kDownloadManager, kDownloadManager, manager.ReceiveVoid()), S_OK);
  ASSERT_TRUE(manager);

  // A file moniker over a scratch file that exists: the download must
  // neither replace nor remove it.
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"brevane-download-" + std::to_wstring(GetCurrentProcessId());
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "keep", 4, &written, nullptr);
  CloseHandle(file);
  com::Ref<IMoniker> moniker;
  ASSERT_EQ(CreateFileMoniker(path.c_str(), moniker.Receive()), S_OK);
  com::Ref<IBindCtx> context;
  ASSERT_EQ(CreateBindCtx(0, context.Receive()), S_OK);
  EXPECT_EQ(manager->Download(moniker.get(), context.get(), 0, 0, nullptr, nullptr, nullptr, CP_UTF8), S_OK);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 4u);
  DeleteFileW(path.c_str());

  // Other services are not offered.
  com::Ref<IUnknown> other;
  EXPECT_EQ(services->QueryService(IID_IUnknown, IID_IUnknown, other.ReceiveVoid()), E_NOINTERFACE);
  EXPECT_FALSE(other);

  // The ambient download control: pictures load, ActiveX controls are
  // never fetched (installed ones run as the zone allows), no user interface,
  // page and resources checked against the server on every load.
  const auto ambient = site.As<IDispatch>(IID_IDispatch);
  ASSERT_TRUE(ambient);
  DISPPARAMS none{};
  com::Variant result;
  ASSERT_EQ(ambient->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.get(),
                            nullptr, nullptr),
            S_OK);
  ASSERT_EQ((*result).vt, VT_I4);
  const DWORD flags = static_cast<DWORD>((*result).lVal);
  for (DWORD wanted : {DLCTL_DLIMAGES, DLCTL_NO_DLACTIVEXCTLS, DLCTL_SILENT, DLCTL_RESYNCHRONIZE}) {
    EXPECT_EQ(flags & wanted, wanted) << std::hex << wanted;
  }
  // Installed ActiveX controls run as the zone allows.
  for (DWORD unwanted : {DLCTL_NO_SCRIPTS, DLCTL_DOWNLOADONLY, DLCTL_FORCEOFFLINE, DLCTL_NO_RUNACTIVEXCTLS}) {
    EXPECT_EQ(flags & unwanted, 0u) << std::hex << unwanted;
  }
  EXPECT_EQ(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.get(),
                            nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
}

TEST(BrowserEventsDownloads, FileDownloadIsCancelledUnlessThePageIsShownInPlace) {
  struct Case {
    VARIANT_BOOL active_document;
    VARIANT_BOOL expected_cancel;
  };
  const auto events = com::Ref<BrowserEvents>::Adopt(new BrowserEvents());
  for (const Case& c : {Case{VARIANT_FALSE, VARIANT_TRUE}, Case{VARIANT_TRUE, VARIANT_FALSE}}) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT arguments[2];
    VariantInit(&arguments[0]);
    arguments[0].vt = VT_BOOL | VT_BYREF;  // Cancel, the last argument, comes first
    arguments[0].pboolVal = &cancel;
    VariantInit(&arguments[1]);
    arguments[1].vt = VT_BOOL;
    arguments[1].boolVal = c.active_document;
    DISPPARAMS parameters{arguments, nullptr, 2, 0};
    EXPECT_EQ(events->Invoke(DISPID_FILEDOWNLOAD, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr, nullptr,
                             nullptr),
              S_OK);
    EXPECT_EQ(cancel, c.expected_cancel) << "active document " << c.active_document;
  }
  EXPECT_EQ(events->cancelled_downloads(), 1);
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The real control, as Wine provides it (ieframe). Wine's control is
// created and activated without Gecko; pages themselves need Gecko, which
// this machine does not have, so only the request of a navigation is
// checked, not what it shows.
TEST(WebBrowserHostControl, CreatedActivatedSetUpNavigatedAndTornDownWithTheWindow) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"BrevaneHostTest";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, L"BrevaneHostTest", L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 400, 300,
                                nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  HWND container = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 400, 300,
                                   window, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(container, nullptr);
  {
    WebBrowserHost host;
    if (!host.Create(container)) {
      DestroyWindow(window);
      OleUninitialize();
      GTEST_SKIP() << "this system has no WebBrowser control (CoCreateInstance or in-place activation failed)";
    }
    EXPECT_TRUE(host.events_connected());
    EXPECT_TRUE(host.has_active_object());
    // The control's own window lives in the container.
    EXPECT_NE(GetWindow(container, GW_CHILD), nullptr);
    EXPECT_EQ(host.Handle(), reinterpret_cast<WindowHandle>(container));

    EXPECT_EQ(host.NavigateTo("about:blank"), S_OK);
    MSG msg;
    for (int i = 0; i < 50 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) DispatchMessageW(&msg);
    // The settings, read back once the control has had its first
    // navigation (before it, it may refuse Silent and Offline).
    EXPECT_TRUE(host.settings_applied());
    const BrowserSettings settings = host.ReadSettings();
    EXPECT_TRUE(settings.silent);
    EXPECT_TRUE(settings.offline);
    // Wine's control keeps no drop-target state: its getter always answers
    // false (its setter accepts the value).
    if (!RunningUnderWine()) {
      EXPECT_TRUE(settings.drop_target);
    }
    EXPECT_FALSE(settings.as_browser);

    host.Destroy();
    EXPECT_FALSE(host.created());
    EXPECT_EQ(host.NavigateTo("about:blank"), E_FAIL);
  }
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(IsWindow(container));

  // The program's own order: the window goes first (closed by the user),
  // the host with the program's end.
  window = CreateWindowExW(0, L"BrevaneHostTest", L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 400, 300,
                           nullptr, nullptr, wc.hInstance, nullptr);
  container = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 400, 300, window,
                              nullptr, wc.hInstance, nullptr);
  {
    WebBrowserHost host;
    ASSERT_TRUE(host.Create(container));
    EXPECT_EQ(host.NavigateTo("about:blank"), S_OK);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(host.Handle(), WindowHandle{0});
  }
  OleUninitialize();
}

}  // namespace
}  // namespace brevane::win32
