#include "app/win32/main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "ui/names.h"
#include "app/win32/fonts_win32.h"
#include "app/win32/window_thread.h"
#include "base/text/wide.h"

namespace brevane::win32 {

using Kind = Entry::Kind;

// The window of one entry of the model.
// A picture box's frames, each scaled to the box once and kept as a bitmap
// compatible with the screen: a frame change is then one copy the display
// driver makes, with no conversion and no halftone scaling in the program.
class ScaledFrames {
 public:
  ScaledFrames() = default;
  ScaledFrames(const ScaledFrames&) = delete;
  ScaledFrames& operator=(const ScaledFrames&) = delete;
  ~ScaledFrames() { Clear(); }
  void Clear() {
    for (HBITMAP b : bitmaps_) {
      if (b) DeleteObject(b);
    }
    bitmaps_.clear();
  }
  // The bitmap of frame i at width x height, made like dc on first use;
  // nullptr when it cannot be made.
  HBITMAP At(const std::vector<shell::PictureFrame>& frames, std::size_t i, int width, int height, HDC dc);

 private:
  std::vector<HBITMAP> bitmaps_;
  int width_ = 0, height_ = 0;
};

struct MainWindow::Control {
  MainWindow* owner = nullptr;
  int index = 0;
  HWND window = nullptr;
  ScaledFrames frames;  // picture box
};

namespace {
std::unique_ptr<MainWindow::Control> NewControl(MainWindow* owner, int index, HWND window) {
  auto c = std::make_unique<MainWindow::Control>();
  c->owner = owner;
  c->index = index;
  c->window = window;
  return c;
}
}  // namespace

namespace {

constexpr UINT_PTR kBannerTimer = 1;
constexpr wchar_t kBannerClass[] = L"BrevaneBanner";

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

int KeyState() {
  int state = 0;
  if (GetKeyState(VK_CONTROL) < 0) state |= 1;
  if (GetKeyState(VK_SHIFT) < 0) state |= 2;
  if (GetKeyState(VK_MENU) < 0) state |= 4;
  return state;
}

}  // namespace

MainWindow::MainWindow() : WindowModel(static_cast<NativeWindow&>(*this)) {}

MainWindow::~MainWindow() {
  if (window_ && IsWindow(window_)) {
    destroying_ = true;  // no event once the owner is going
    SetRoutineRunner(nullptr);
    DestroyWindow(window_);
  }
  if (tab_font_) DeleteObject(tab_font_);
  if (control_font_) DeleteObject(control_font_);
}

bool MainWindow::RegisterClasses() {
  const auto add = [](WNDPROC procedure, int background, const wchar_t* name, bool icon) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = procedure;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    if (icon) wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  };
  return add(&MainWindow::WindowProcedure, COLOR_3DFACE, kMainWindowClass, true) &&
         add(&MainWindow::BannerProcedure, COLOR_3DFACE, kBannerClass, false) &&
         add(DefWindowProcW, COLOR_WINDOW, kBrowserHostClass, false);
}

bool MainWindow::CreateAndShow() {
  if (window_) return true;
  // The creating thread is the window thread, as on GTK: the window model's
  // posted events go to it.
  MarkWindowThread();
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
  window_ = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, kMainWindowClass,
                            WideFromUtf8(def.caption).c_str(), style, x, y, def.outer_width,
                            def.outer_height, nullptr, nullptr, Instance(), this);
  if (!window_) return false;
  controls_.push_back(NewControl(this, 0, window_));
  Build(x, y);
  // The tab control lies under its page controls.
  if (tabs_) SetWindowPos(tabs_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Open();
  return true;
}

void MainWindow::Create(const Entry& entry, const layout::ControlDef& def) {
  controls_.push_back(NewControl(this, entry.index, nullptr));
  Control& c = *controls_.back();
  const wchar_t* window_class = L"STATIC";
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ex_style = 0;
  switch (entry.kind) {
    case Kind::kPictureBox: window_class = kBannerClass; break;
    case Kind::kBrowser:
      window_class = kBrowserHostClass;
      style |= WS_CLIPCHILDREN;
      break;
    case Kind::kTabControl: window_class = WC_TABCONTROLW; break;
    case Kind::kLabel: style |= SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX | SS_NOTIFY; break;
    case Kind::kEditBox:
      window_class = L"EDIT";
      style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_LEFT;
      ex_style |= WS_EX_CLIENTEDGE;
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
    case Kind::kWindow: return;
  }
  if (def.tab_stop) style |= WS_TABSTOP;
  c.window = CreateWindowExW(ex_style, window_class, L"", style, 0, 0, 0, 0, window_, nullptr, Instance(), nullptr);
  if (!c.window) return;
  SetBounds(entry, true, true);
  SetWindowLongPtrW(c.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&c));
  HGDIOBJ font = control_font_ ? static_cast<HGDIOBJ>(control_font_) : GetStockObject(DEFAULT_GUI_FONT);
  SendMessageW(c.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  if (entry.kind == Kind::kTabControl) {
    tabs_ = c.window;
    const layout::FontDef& f = layout::TabFont();
    tab_font_ = CreateChineseFont(WideFromUtf8(f.face), f.height, f.weight, f.italic);
    if (tab_font_) SendMessageW(c.window, WM_SETFONT, reinterpret_cast<WPARAM>(tab_font_), FALSE);
    int index = 0;
    for (std::string_view page : layout::PageCaptions()) {
      std::wstring text = WideFromUtf8(page);
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = text.data();
      SendMessageW(c.window, TCM_INSERTITEMW, index++, reinterpret_cast<LPARAM>(&item));
    }
  } else if (entry.kind == Kind::kListBox) {
    // One pixel more than the font's standard row.
    const LRESULT row = SendMessageW(c.window, LB_GETITEMHEIGHT, 0, 0);
    if (row != LB_ERR) SendMessageW(c.window, LB_SETITEMHEIGHT, 0, MAKELPARAM(row + 1, 0));
  } else if (entry.kind == Kind::kBrowser && browser_hook_) {
    browser_hook_(c.window);
  }
}

HWND MainWindow::Of(const Entry& e) const {
  const auto i = static_cast<std::size_t>(e.index);
  return i < controls_.size() ? controls_[i]->window : nullptr;
}

int MainWindow::IndexOf(HWND window) const {
  for (const auto& c : controls_) {
    if (window != nullptr && c->window == window) return c->index;
  }
  return -1;
}

HWND MainWindow::ControlWindow(std::string_view name) const {
  const Entry* e = Find(name);
  return e ? Of(*e) : nullptr;
}

WindowHandle MainWindow::Handle(std::string_view name) const {
  return reinterpret_cast<WindowHandle>(ControlWindow(name));
}

void MainWindow::SetBounds(const Entry& e, bool move, bool resize) {
  HWND w = Of(e);
  if (!w) return;
  if (e.kind == Kind::kWindow) {
    const UINT keep = (move ? 0 : SWP_NOMOVE) | (resize ? 0 : SWP_NOSIZE);
    SetWindowPos(w, nullptr, e.left, e.top, e.width, e.height, SWP_NOZORDER | SWP_NOACTIVATE | keep);
    return;
  }
  int x = e.left, y = e.top;
  if (e.page != 0) {
    if (const Entry* tabs = Find(names::kTabs)) {
      x += tabs->left;
      y += tabs->top;
    }
  }
  SetWindowPos(w, nullptr, x, y, e.width, e.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::SetShown(const Entry& e, bool shown) {
  HWND w = Of(e);
  if (!w) return;
  if (e.kind != Kind::kWindow) {
    ShowWindow(w, shown ? SW_SHOWNA : SW_HIDE);
    return;
  }
  ShowWindow(w, shown ? SW_SHOW : SW_HIDE);
  if (shown) UpdateWindow(w);
}

void MainWindow::SetEnabled(const Entry& e, bool enabled) {
  if (HWND w = Of(e)) EnableWindow(w, enabled ? TRUE : FALSE);
}

void MainWindow::SetText(const Entry& e, const Text& text) {
  if (HWND w = Of(e)) SetWindowTextW(w, WideFromGbk(text).c_str());
}

Text MainWindow::ReadText(const Entry& e) {
  HWND w = Of(e);
  if (!w) return Text();
  const int length = GetWindowTextLengthW(w);
  std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
  const int got = GetWindowTextW(w, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return GbkFromWide(text);
}

int32_t MainWindow::AddListItem(const Entry& e, const Text& text, int32_t item_data) {
  HWND w = Of(e);
  if (!w) return -1;
  const std::wstring wide = WideFromGbk(text);
  const LRESULT index = SendMessageW(w, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  if (index == LB_ERR || index == LB_ERRSPACE) return -1;
  SendMessageW(w, LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(item_data));
  return static_cast<int32_t>(index);
}

void MainWindow::SetSelection(const Entry& e, int32_t index) {
  if (HWND w = Of(e)) SendMessageW(w, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int32_t MainWindow::Selection(const Entry& e) {
  HWND w = Of(e);
  const LRESULT index = w ? SendMessageW(w, LB_GETCURSEL, 0, 0) : LB_ERR;
  return index == LB_ERR ? -1 : static_cast<int32_t>(index);
}

void MainWindow::ShowPicture(const Entry& e) {
  if (static_cast<std::size_t>(e.index) < controls_.size()) controls_[static_cast<std::size_t>(e.index)]->frames.Clear();
  if (HWND w = Of(e)) InvalidateRect(w, nullptr, TRUE);
}

void MainWindow::ShowFrame(const Entry& e) {
  if (HWND w = Of(e)) InvalidateRect(w, nullptr, FALSE);
}

void MainWindow::SetFrameTimer(const Entry& e, int delay_ms) {
  HWND w = Of(e);
  if (!w) return;
  KillTimer(w, kBannerTimer);
  if (delay_ms > 0) SetTimer(w, kBannerTimer, static_cast<UINT>(delay_ms), nullptr);
}

void MainWindow::ShowPage(int page) {
  if (tabs_ && SendMessageW(tabs_, TCM_GETCURSEL, 0, 0) != page - 1) {
    SendMessageW(tabs_, TCM_SETCURSEL, page - 1, 0);
  }
  HWND focus = GetFocus();
  if (focus && !IsWindowVisible(focus) && window_) SetFocus(window_);
}

int MainWindow::FocusedControl() {
  HWND focus = GetFocus();
  for (const auto& c : controls_) {
    if (c->index == 0 || !c->window || !At(c->index).tab_stop) continue;
    if (focus == c->window || IsChild(c->window, focus)) return c->index;
  }
  return -1;
}

void MainWindow::Focus(const Entry& e) {
  if (HWND w = Of(e)) SetFocus(w);
}

void MainWindow::Post(std::function<void()> call) { PostToWindowThread(std::move(call)); }

bool MainWindow::PreTranslate(MSG& msg) {
  if (!window_ || closed() || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
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
    OnTabKey(GetKeyState(VK_SHIFT) < 0);
    return true;
  }
  return false;
}

int MainWindow::RunMessageLoop() {
  MSG msg;
  while (!closed()) {
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
      const int index = IndexOf(reinterpret_cast<HWND>(lparam));
      if (index < 0) break;
      const UINT code = HIWORD(wparam);
      const Kind kind = At(index).kind;
      if (kind == Kind::kButton && code == BN_CLICKED) OnClicked(index);
      if (kind == Kind::kEditBox && code == EN_CHANGE) OnTextChanged(index);
      if (kind == Kind::kListBox && code == LBN_SELCHANGE) OnSelectionChanged(index);
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
      const int index = IndexOf(reinterpret_cast<HWND>(lparam));
      if (index >= 0 && At(index).kind == Kind::kLabel) {
        const layout::Rgb c = layout::LabelColour();
        HDC dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, RGB(c.r, c.g, c.b));
        SetBkColor(dc, GetSysColor(COLOR_3DFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_3DFACE));
      }
      break;
    }
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) OnActivated();
      break;
    case WM_SIZE:
      // A minimised window shows no banner: its frames stand still until
      // the window is restored.
      if (wparam == SIZE_MINIMIZED || wparam == SIZE_RESTORED || wparam == SIZE_MAXIMIZED) {
        for (int i = 0; i < size(); ++i) {
          if (At(i).kind == Kind::kPictureBox) OnPictureSeen(i, wparam != SIZE_MINIMIZED);
        }
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
      if (!destroying_ && !closed()) {
        OnClosed();
        PostQuitMessage(0);
      }
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      tabs_ = nullptr;
      for (auto& c : controls_) c->window = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK MainWindow::BannerProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* c = reinterpret_cast<Control*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (c != nullptr) {
    const Entry& e = c->owner->At(c->index);
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        c->owner->PaintBanner(e, dc);
        EndPaint(window, &ps);
        return 0;
      }
      case WM_PRINTCLIENT:
        // Painting into a given device context (printing, capturing).
        c->owner->PaintBanner(e, reinterpret_cast<HDC>(wparam));
        return 0;
      case WM_TIMER:
        if (wparam == kBannerTimer) {
          c->owner->OnFrameTimer(c->index);
          return 0;
        }
        break;
      case WM_LBUTTONDOWN:
        c->owner->OnPressed(c->index, {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), KeyState()});
        break;  // no bound routine has a result: default handling goes on
      default:
        break;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

namespace {

// A frame as straight RGBA turned into top-down BGRA, with transparent
// pixels over the face colour, stretched into dc's whole width x height.
void StretchFrame(const shell::PictureFrame& f, HDC dc, int width, int height) {
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
  StretchDIBits(dc, 0, 0, width, height, 0, 0, f.width, f.height, bgra.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace

HBITMAP ScaledFrames::At(const std::vector<shell::PictureFrame>& frames, std::size_t i, int width, int height,
                         HDC dc) {
  if (i >= frames.size() || width <= 0 || height <= 0) return nullptr;
  if (width != width_ || height != height_ || bitmaps_.size() != frames.size()) {
    Clear();
    bitmaps_.assign(frames.size(), nullptr);
    width_ = width;
    height_ = height;
  }
  if (bitmaps_[i] == nullptr) {
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HDC memory = bitmap ? CreateCompatibleDC(dc) : nullptr;
    if (memory == nullptr) {
      if (bitmap) DeleteObject(bitmap);
      return nullptr;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    StretchFrame(frames[i], memory, width, height);
    SelectObject(memory, old);
    DeleteDC(memory);
    bitmaps_[i] = bitmap;
  }
  return bitmaps_[i];
}

void MainWindow::PaintBanner(const Entry& e, HDC dc) {
  RECT area;
  GetClientRect(Of(e), &area);
  if (e.frames.empty()) {
    FillRect(dc, &area, GetSysColorBrush(COLOR_3DFACE));
    return;
  }
  const int width = area.right - area.left, height = area.bottom - area.top;
  const std::size_t i = e.frame < e.frames.size() ? e.frame : 0;
  HBITMAP bitmap = controls_[static_cast<std::size_t>(e.index)]->frames.At(e.frames, i, width, height, dc);
  HDC memory = bitmap ? CreateCompatibleDC(dc) : nullptr;
  if (memory == nullptr) {
    StretchFrame(e.frames[i], dc, width, height);
    return;
  }
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

}  // namespace brevane::win32
