#include "ui/win32/main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "ui/names.h"
#include "ui/win32/fonts_win32.h"
#include "base/text/wide.h"

namespace brevane::win32 {

using layout::Kind;

struct MainWindow::Entry {
  MainWindow* owner = nullptr;
  std::string_view name;
  int kind = -1;  // a layout::Kind, or -1 for the main window itself
  int page = 0;
  int left = 0, top = 0, width = 0, height = 0;
  bool visible = true;
  int32_t mouse_pointer = 0;
  Text tag;
  HWND window = nullptr;
  WNDPROC old_procedure = nullptr;
  bool suppress_change = false;
  // Picture box: the decoded frames and the one shown.
  std::vector<PictureFrame> frames;
  std::size_t frame = 0;
};

namespace {

constexpr UINT_PTR kBannerTimer = 1;
constexpr wchar_t kBannerClass[] = L"BrevaneBanner";

bool IsKind(const MainWindow::Entry& e, Kind kind) { return e.kind == static_cast<int>(kind); }

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

int KeyState() {
  int state = 0;
  if (GetKeyState(VK_CONTROL) < 0) state |= 1;
  if (GetKeyState(VK_SHIFT) < 0) state |= 2;
  if (GetKeyState(VK_MENU) < 0) state |= 4;
  return state;
}

}  // namespace

MainWindow::MainWindow() = default;

MainWindow::~MainWindow() {
  if (window_ && IsWindow(window_)) {
    closed_ = true;  // no event once the owner is going
    runner_ = nullptr;
    DestroyWindow(window_);
  }
  if (tab_font_) DeleteObject(tab_font_);
  if (control_font_) DeleteObject(control_font_);
}

bool MainWindow::RegisterClasses() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &MainWindow::WindowProcedure;
  wc.hInstance = Instance();
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
  wc.lpszClassName = kMainWindowClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  WNDCLASSEXW banner{};
  banner.cbSize = sizeof(banner);
  banner.lpfnWndProc = &MainWindow::BannerProcedure;
  banner.hInstance = Instance();
  banner.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  banner.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
  banner.lpszClassName = kBannerClass;
  if (!RegisterClassExW(&banner) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  WNDCLASSEXW host{};
  host.cbSize = sizeof(host);
  host.lpfnWndProc = DefWindowProcW;
  host.hInstance = Instance();
  host.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  host.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  host.lpszClassName = kBrowserHostClass;
  if (!RegisterClassExW(&host) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  return true;
}

bool MainWindow::CreateAndShow() {
  if (window_) return true;
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  if (!RegisterClasses()) return false;
  // Every control's font: the tab font's face and size in the GB2312
  // character set, or the nearest face the system has for it.
  if (control_font_ == nullptr) {
    const layout::FontDef& f = layout::TabFont();
    control_font_ = CreateChineseFont(WideFromUtf8(f.face), f.height);
  }

  const layout::WindowDef& def = layout::MainWindow();
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (def.minimize_box) style |= WS_MINIMIZEBOX;
  if (def.maximize_box) style |= WS_MAXIMIZEBOX;
  if (def.resizable) style |= WS_THICKFRAME;
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
  if (def.centred) {
    x = (GetSystemMetrics(SM_CXSCREEN) - def.outer_width) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - def.outer_height) / 2;
  }
  auto main = std::make_unique<Entry>();
  main->owner = this;
  main->name = def.name;
  main->left = x;
  main->top = y;
  main->width = def.outer_width;
  main->height = def.outer_height;
  entries_.push_back(std::move(main));

  window_ = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, kMainWindowClass,
                            WideFromUtf8(def.caption).c_str(), style, x, y, def.outer_width,
                            def.outer_height, nullptr, nullptr, Instance(), this);
  if (!window_) {
    entries_.clear();
    return false;
  }
  entries_.front()->window = window_;
  for (const layout::ControlDef& c : layout::Controls()) BuildControl(c);
  // The tab control lies under its page controls.
  if (tabs_) SetWindowPos(tabs_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SelectPage(1);

  Deliver(def.name, Event::kCreated);
  if (closed_) return true;
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  return true;
}

void MainWindow::BuildControl(const layout::ControlDef& def) {
  auto entry = std::make_unique<Entry>();
  Entry& e = *entry;
  e.owner = this;
  e.name = def.name;
  e.kind = static_cast<int>(def.kind);
  e.page = def.page;
  e.left = def.left;
  e.top = def.top;
  e.width = def.width;
  e.height = def.height;

  const wchar_t* window_class = L"STATIC";
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ex_style = 0;
  std::wstring caption = WideFromUtf8(def.caption);
  switch (def.kind) {
    case Kind::kPictureBox:
      window_class = kBannerClass;
      caption.clear();
      break;
    case Kind::kBrowser:
      window_class = kBrowserHostClass;
      style |= WS_CLIPCHILDREN;
      caption.clear();
      break;
    case Kind::kTabControl:
      window_class = WC_TABCONTROLW;
      caption.clear();
      break;
    case Kind::kLabel:
      window_class = L"STATIC";
      style |= SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX | SS_NOTIFY;
      break;
    case Kind::kEditBox:
      window_class = L"EDIT";
      style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_LEFT;
      ex_style |= WS_EX_CLIENTEDGE;
      if (def.name == names::kBoardsBox) caption = WideFromGbk(layout::DefaultContent(def.name));
      break;
    case Kind::kListBox:
      window_class = L"LISTBOX";
      style |= LBS_NOTIFY | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS;
      ex_style |= WS_EX_CLIENTEDGE;
      break;
    case Kind::kButton:
      window_class = L"BUTTON";
      style |= BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER | BS_VCENTER;
      break;
  }
  if (def.tab_stop) style |= WS_TABSTOP;
  if (!def.enabled) style |= WS_DISABLED;

  int x = def.left, y = def.top;
  if (def.page != 0) {
    if (const layout::ControlDef* tabs = layout::FindControl(names::kTabs)) {
      x += tabs->left;
      y += tabs->top;
    }
  }
  e.window = CreateWindowExW(ex_style, window_class, caption.c_str(), style, x, y, def.width, def.height,
                             window_, nullptr, Instance(), nullptr);
  if (!e.window) return;
  SetWindowLongPtrW(e.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&e));
  HGDIOBJ font = control_font_ ? static_cast<HGDIOBJ>(control_font_) : GetStockObject(DEFAULT_GUI_FONT);
  SendMessageW(e.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  switch (def.kind) {
    case Kind::kTabControl: {
      tabs_ = e.window;
      const layout::FontDef& f = layout::TabFont();
      tab_font_ = CreateChineseFont(WideFromUtf8(f.face), f.height, f.weight, f.italic);
      if (tab_font_) SendMessageW(e.window, WM_SETFONT, reinterpret_cast<WPARAM>(tab_font_), FALSE);
      int index = 0;
      for (std::string_view page : layout::PageCaptions()) {
        std::wstring text = WideFromUtf8(page);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        SendMessageW(e.window, TCM_INSERTITEMW, index++, reinterpret_cast<LPARAM>(&item));
      }
      break;
    }
    case Kind::kLabel:
      // The label answers its own feedback message.
      e.old_procedure = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(e.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::LabelProcedure)));
      break;
    case Kind::kListBox: {
      // One pixel more than the font's standard row.
      const LRESULT row = SendMessageW(e.window, LB_GETITEMHEIGHT, 0, 0);
      if (row != LB_ERR) SendMessageW(e.window, LB_SETITEMHEIGHT, 0, MAKELPARAM(row + 1, 0));
      break;
    }
    case Kind::kBrowser:
      if (browser_hook_) browser_hook_(e.window);
      break;
    default:
      break;
  }
  entries_.push_back(std::move(entry));
}

MainWindow::Entry* MainWindow::Find(std::string_view name) const {
  for (const auto& e : entries_) {
    if (e->name == name) return e.get();
  }
  return nullptr;
}

MainWindow::Entry* MainWindow::FromWindow(HWND window) const {
  if (window == nullptr) return nullptr;
  for (const auto& e : entries_) {
    if (e->window == window) return e.get();
  }
  return nullptr;
}

HWND MainWindow::ControlWindow(std::string_view name) const {
  Entry* e = Find(name);
  return e ? e->window : nullptr;
}

WindowHandle MainWindow::Handle(std::string_view name) const {
  return reinterpret_cast<WindowHandle>(ControlWindow(name));
}

int32_t MainWindow::Deliver(std::string_view control, Event event, const EventArgs& args) {
  if (closed_ && event != Event::kAboutToBeDestroyed) return 0;
  const std::optional<Routine> routine = FindBinding(control, event);
  if (!routine || !runner_) return 0;
  return runner_(*routine, args);
}

void MainWindow::SelectPage(int page) {
  if (page < 1 || page > static_cast<int>(layout::PageCaptions().size())) return;
  current_page_ = page;
  if (tabs_ && SendMessageW(tabs_, TCM_GETCURSEL, 0, 0) != page - 1) {
    SendMessageW(tabs_, TCM_SETCURSEL, page - 1, 0);
  }
  // Hide first, so the focus never rests on a control of the hidden page.
  for (const auto& e : entries_) {
    if (e->kind >= 0 && e->page != 0 && e->page != page) ApplyVisibility(*e);
  }
  for (const auto& e : entries_) {
    if (e->kind >= 0 && (e->page == 0 || e->page == page)) ApplyVisibility(*e);
  }
  HWND focus = GetFocus();
  if (focus && !IsWindowVisible(focus) && window_) SetFocus(window_);
}

void MainWindow::ApplyVisibility(Entry& e) {
  if (!e.window) return;
  const bool show = e.visible && (e.page == 0 || e.page == current_page_);
  ShowWindow(e.window, show ? SW_SHOWNA : SW_HIDE);
}

void MainWindow::Place(Entry& e) {
  if (!e.window) return;
  if (e.kind < 0) {
    SetWindowPos(e.window, nullptr, e.left, e.top, e.width, e.height, SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  int x = e.left, y = e.top;
  if (e.page != 0) {
    if (Entry* tabs = Find(names::kTabs)) {
      x += tabs->left;
      y += tabs->top;
    }
  }
  SetWindowPos(e.window, nullptr, x, y, e.width, e.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool MainWindow::PreTranslate(MSG& msg) {
  if (!window_ || closed_ || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  if (msg.hwnd != window_ && !IsChild(window_, msg.hwnd)) return false;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
    SendMessageW(window_, WM_CLOSE, 0, 0);
    return true;
  }
  // Inside the page the browser decides first: Tab between form fields,
  // its own accelerators (copy, paste, select all).
  if (browser_keys_) {
    HWND browser = ControlWindow(names::kBrowser);
    if (browser && (msg.hwnd == browser || IsChild(browser, msg.hwnd)) && browser_keys_(msg)) return true;
  }
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0) {
    const bool back = GetKeyState(VK_SHIFT) < 0;
    HWND next = GetNextDlgTabItem(window_, GetFocus(), back ? TRUE : FALSE);
    if (next) SetFocus(next);
    return true;
  }
  return false;
}

int MainWindow::RunMessageLoop() {
  MSG msg;
  while (!closed_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got < 0) return 0;
    if (PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

LRESULT CALLBACK MainWindow::WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  return self->HandleMessage(window, message, wparam, lparam);
}

LRESULT MainWindow::HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND: {
      Entry* e = FromWindow(reinterpret_cast<HWND>(lparam));
      if (e == nullptr) break;
      const UINT code = HIWORD(wparam);
      if (IsKind(*e, Kind::kButton) && code == BN_CLICKED) {
        // A disabled button raises nothing, even when a click is simulated.
        if (!IsWindowEnabled(e->window)) return 0;
        Deliver(e->name, Event::kClicked);
      } else if (IsKind(*e, Kind::kEditBox) && code == EN_CHANGE) {
        if (!e->suppress_change) Deliver(e->name, Event::kContentChanged);
      } else if (IsKind(*e, Kind::kListBox) && code == LBN_SELCHANGE) {
        Deliver(e->name, Event::kSelectionChanged);
      }
      return 0;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header && header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE) {
        const LRESULT index = SendMessageW(tabs_, TCM_GETCURSEL, 0, 0);
        if (index >= 0) SelectPage(static_cast<int>(index) + 1);
        return 0;
      }
      break;
    }
    case WM_CTLCOLORSTATIC: {
      Entry* e = FromWindow(reinterpret_cast<HWND>(lparam));
      if (e && IsKind(*e, Kind::kLabel)) {
        const layout::Rgb c = layout::LabelColour();
        HDC dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, RGB(c.r, c.g, c.b));
        SetBkColor(dc, GetSysColor(COLOR_3DFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_3DFACE));
      }
      break;
    }
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE && !activated_) {
        activated_ = true;
        Deliver(layout::MainWindow().name, Event::kFirstActivation);
      }
      break;
    case WM_CLOSE:
      // No question is asked: closing ends the program.
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      // Closed by the user (close button, Alt+F4, system menu, Esc): the
      // routine ends the program; where it returns, the loop ends instead.
      // Destroyed by its owner going away: nothing is raised.
      if (!closed_) {
        closed_ = true;
        Deliver(layout::MainWindow().name, Event::kAboutToBeDestroyed);
        PostQuitMessage(0);
      }
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      tabs_ = nullptr;
      for (auto& e : entries_) e->window = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK MainWindow::LabelProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* e = reinterpret_cast<Entry*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (e == nullptr || e->old_procedure == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  if (message == kFeedbackMessage) {
    EventArgs args;
    args.first = static_cast<int32_t>(wparam);
    args.second = static_cast<int32_t>(lparam);
    return static_cast<LRESULT>(e->owner->Deliver(e->name, Event::kFeedback, args));
  }
  return CallWindowProcW(e->old_procedure, window, message, wparam, lparam);
}

LRESULT CALLBACK MainWindow::BannerProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* e = reinterpret_cast<Entry*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (e != nullptr) {
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        e->owner->PaintBanner(*e, dc);
        EndPaint(window, &ps);
        return 0;
      }
      case WM_PRINTCLIENT:
        // Painting into a given device context (printing, capturing).
        e->owner->PaintBanner(*e, reinterpret_cast<HDC>(wparam));
        return 0;
      case WM_TIMER:
        if (wparam == kBannerTimer) {
          e->owner->NextBannerFrame(*e);
          return 0;
        }
        break;
      case WM_LBUTTONDOWN: {
        EventArgs args;
        args.first = GET_X_LPARAM(lparam);
        args.second = GET_Y_LPARAM(lparam);
        args.third = KeyState();
        e->owner->Deliver(e->name, Event::kLeftButtonDown, args);
        break;  // no bound routine has a result: default handling goes on
      }
      default:
        break;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void MainWindow::PaintBanner(Entry& e, HDC dc) {
  RECT area;
  GetClientRect(e.window, &area);
  if (e.frames.empty()) {
    FillRect(dc, &area, GetSysColorBrush(COLOR_3DFACE));
    return;
  }
  const PictureFrame& f = e.frames[e.frame < e.frames.size() ? e.frame : 0];
  // Straight RGBA to top-down BGRA, with transparent pixels over the face
  // colour.
  const COLORREF face = GetSysColor(COLOR_3DFACE);
  std::vector<uint8_t> bgra(f.rgba.size());
  for (std::size_t i = 0; i + 3 < f.rgba.size(); i += 4) {
    const unsigned a = f.rgba[i + 3];
    bgra[i + 0] = static_cast<uint8_t>((f.rgba[i + 2] * a + GetBValue(face) * (255 - a)) / 255);
    bgra[i + 1] = static_cast<uint8_t>((f.rgba[i + 1] * a + GetGValue(face) * (255 - a)) / 255);
    bgra[i + 2] = static_cast<uint8_t>((f.rgba[i + 0] * a + GetRValue(face) * (255 - a)) / 255);
    bgra[i + 3] = 255;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = f.width;
  info.bmiHeader.biHeight = -f.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  // Stretched over the whole box, whatever the picture's proportions.
  StretchDIBits(dc, 0, 0, area.right - area.left, area.bottom - area.top, 0, 0, f.width, f.height,
                bgra.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void MainWindow::NextBannerFrame(Entry& e) {
  if (e.frames.size() < 2) {
    KillTimer(e.window, kBannerTimer);
    return;
  }
  e.frame = (e.frame + 1) % e.frames.size();
  const int delay = e.frames[e.frame].delay_ms > 0 ? e.frames[e.frame].delay_ms : 100;
  SetTimer(e.window, kBannerTimer, static_cast<UINT>(delay), nullptr);
  InvalidateRect(e.window, nullptr, FALSE);
}

void MainWindow::WritePicture(Entry& e, const Text& bytes) {
  if (e.window) KillTimer(e.window, kBannerTimer);
  e.frames.clear();
  e.frame = 0;
  if (!bytes.empty() && decoder_) e.frames = decoder_(bytes);
  // Frames that do not match their stated size are not shown.
  for (const PictureFrame& f : e.frames) {
    if (f.width <= 0 || f.height <= 0 ||
        f.rgba.size() != static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height) * 4) {
      e.frames.clear();
      break;
    }
  }
  if (e.window) {
    if (e.frames.size() > 1) {
      const int delay = e.frames[0].delay_ms > 0 ? e.frames[0].delay_ms : 100;
      SetTimer(e.window, kBannerTimer, static_cast<UINT>(delay), nullptr);
    }
    InvalidateRect(e.window, nullptr, TRUE);
  }
}

void MainWindow::WriteContent(Entry& e, const Text& text) {
  // The text change itself raises nothing; the event is raised once after.
  e.suppress_change = true;
  if (e.window) SetWindowTextW(e.window, WideFromGbk(text).c_str());
  e.suppress_change = false;
  Deliver(e.name, Event::kContentChanged);
}

void MainWindow::WriteControlProperty(std::string_view control, int property, const PropertyValue& value) {
  Entry* e = Find(control);
  if (e == nullptr) return;
  const bool is_window = e->kind < 0;
  switch (property) {
    case prop::kLeft: e->left = AsInt(value); Place(*e); return;
    case prop::kTop: e->top = AsInt(value); Place(*e); return;
    case prop::kWidth: e->width = AsInt(value); Place(*e); return;
    case prop::kHeight: e->height = AsInt(value); Place(*e); return;
    case prop::kTag: e->tag = AsText(value); return;
    case prop::kVisible:
      e->visible = AsBool(value);
      if (is_window) {
        if (e->window) ShowWindow(e->window, e->visible ? SW_SHOW : SW_HIDE);
      } else {
        ApplyVisibility(*e);
      }
      return;
    case prop::kDisabled:
      if (e->window) EnableWindow(e->window, AsBool(value) ? FALSE : TRUE);
      return;
    case prop::kMousePointer: e->mouse_pointer = AsInt(value); return;
    default: break;
  }
  if (is_window && property == prop::kCaption) {
    if (e->window) SetWindowTextW(e->window, WideFromGbk(AsText(value)).c_str());
    return;
  }
  if (IsKind(*e, Kind::kEditBox) && property == prop::kContent) {
    WriteContent(*e, AsText(value));
  } else if (IsKind(*e, Kind::kPictureBox) && property == prop::kPicture) {
    WritePicture(*e, AsText(value));
  } else if (IsKind(*e, Kind::kListBox) && property == prop::kSelection) {
    if (e->window) SendMessageW(e->window, LB_SETCURSEL, static_cast<WPARAM>(AsInt(value)), 0);
  } else if ((IsKind(*e, Kind::kLabel) || IsKind(*e, Kind::kButton)) && property == prop::kCaption) {
    if (e->window) SetWindowTextW(e->window, WideFromGbk(AsText(value)).c_str());
  }
}

PropertyValue MainWindow::ReadControlProperty(std::string_view control, int property) {
  Entry* e = Find(control);
  if (e == nullptr) return std::monostate{};
  switch (property) {
    case prop::kLeft: return int32_t{e->left};
    case prop::kTop: return int32_t{e->top};
    case prop::kWidth: return int32_t{e->width};
    case prop::kHeight: return int32_t{e->height};
    case prop::kTag: return e->tag;
    case prop::kVisible: return e->visible;
    case prop::kDisabled: return e->window ? IsWindowEnabled(e->window) == FALSE : false;
    case prop::kMousePointer: return e->mouse_pointer;
    default: break;
  }
  const bool has_text = e->kind < 0 || IsKind(*e, Kind::kEditBox) || IsKind(*e, Kind::kLabel) ||
                        IsKind(*e, Kind::kButton);
  if (has_text && property == prop::kCaption) {
    if (!e->window) return Text();
    const int length = GetWindowTextLengthW(e->window);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int got = GetWindowTextW(e->window, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return GbkFromWide(text);
  }
  if (IsKind(*e, Kind::kListBox) && property == prop::kSelection) {
    if (!e->window) return int32_t{-1};
    const LRESULT index = SendMessageW(e->window, LB_GETCURSEL, 0, 0);
    return int32_t{index == LB_ERR ? -1 : static_cast<int32_t>(index)};
  }
  return std::monostate{};
}

int32_t MainWindow::ListItemCount(std::string_view list_box) {
  Entry* e = Find(list_box);
  if (e == nullptr || !e->window || !IsKind(*e, Kind::kListBox)) return 0;
  const LRESULT n = SendMessageW(e->window, LB_GETCOUNT, 0, 0);
  return n == LB_ERR ? 0 : static_cast<int32_t>(n);
}

Text MainWindow::ListItemText(std::string_view list_box, int32_t index) {
  Entry* e = Find(list_box);
  if (e == nullptr || !e->window || !IsKind(*e, Kind::kListBox)) return Text();
  if (index < 0 || index >= ListItemCount(list_box)) return Text();
  const LRESULT length = SendMessageW(e->window, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR || length <= 0) return Text();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(e->window, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  if (got == LB_ERR) return Text();
  text.resize(static_cast<std::size_t>(got));
  return GbkFromWide(text);
}

int32_t MainWindow::ListAddItem(std::string_view list_box, const Text& text, int32_t item_data) {
  Entry* e = Find(list_box);
  if (e == nullptr || !e->window || !IsKind(*e, Kind::kListBox)) return -1;
  const std::wstring wide = WideFromGbk(text);
  // Unsorted: the item goes last, and the selection stays as it is.
  const LRESULT index = SendMessageW(e->window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  if (index == LB_ERR || index == LB_ERRSPACE) return -1;
  SendMessageW(e->window, LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(item_data));
  return static_cast<int32_t>(index);
}

int32_t MainWindow::RaiseFeedbackEvent(std::string_view label, int32_t first, int32_t second, bool wait) {
  Entry* e = Find(label);
  if (e == nullptr || !e->window || !IsKind(*e, Kind::kLabel)) return 0;
  const WPARAM w = static_cast<WPARAM>(static_cast<uint32_t>(first));
  const LPARAM l = static_cast<LPARAM>(second);
  if (!wait) {
    PostMessageW(e->window, kFeedbackMessage, w, l);
    return 0;
  }
  return static_cast<int32_t>(SendMessageW(e->window, kFeedbackMessage, w, l));
}

}  // namespace brevane::win32
