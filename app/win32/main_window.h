// The main window on Win32, built by walking the window definition: a fixed
// frame of 817 x 589 pixels centred on the screen, the banner picture box,
// a container for the hosted web browser, the tab control and the controls
// of its two pages. The page controls are children of the main window laid
// over the tab control (their positions count from its top-left corner, tab
// headers included), so their notifications and colour requests reach the
// main window directly; selecting a tab shows one page's controls and hides
// the other's.
//
// The windows sit under the portable window model (ui/window_model.h),
// which keeps the controls' state and delivers every event through the
// binding table to one routine runner, synchronously on the window's thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/operations.h"
#include "ui/window_model.h"

namespace brevane::win32 {

// The event arguments, routine runner and picture frames both shells share.
using shell::EventArgs;
using shell::PictureDecoder;
using shell::PictureFrame;
using shell::RoutineRunner;

// Window class of the browser control's container.
inline constexpr wchar_t kBrowserHostClass[] = L"BrevaneBrowserHost";
inline constexpr wchar_t kMainWindowClass[] = L"BrevaneMainWindow";

class MainWindow : private NativeWindow, public WindowModel {
 public:
  MainWindow();
  ~MainWindow() override;

  // Called right after the browser container exists, before the created
  // event: the place to host the web browser in it.
  void SetBrowserHostHook(std::function<void(HWND container)> hook) { browser_hook_ = std::move(hook); }
  // Offered every key message that goes to a window inside the browser
  // container (after Esc, before the window's own Tab order); true when the
  // browser used the key.
  void SetBrowserKeyHandler(std::function<bool(MSG& msg)> handler) { browser_keys_ = std::move(handler); }

  // Creates the window and its controls, raises the created event while the
  // window is still hidden, then shows it centred on the screen. False when
  // the window cannot be created.
  bool CreateAndShow();
  // The message filter of every loop (main loop and pauses): Esc anywhere in
  // the window closes it; keys typed inside the page go to the browser
  // first; Tab and Shift+Tab move the focus between tab stops. True when
  // the message was handled.
  bool PreTranslate(MSG& msg);
  // Runs the thread's message loop until the window is gone; returns the
  // quit code.
  int RunMessageLoop();

  HWND hwnd() const { return window_; }
  HWND ControlWindow(std::string_view name) const;
  WindowHandle Handle(std::string_view name) const;

  struct Control;

 private:
  // NativeWindow.
  void Create(const Entry& e, const layout::ControlDef& def) override;
  void SetBounds(const Entry& e, bool move, bool resize) override;
  void SetShown(const Entry& e, bool shown) override;
  void SetEnabled(const Entry& e, bool enabled) override;
  void SetText(const Entry& e, const Text& text) override;
  Text ReadText(const Entry& e) override;
  int32_t AddListItem(const Entry& e, const Text& text, int32_t item_data) override;
  void SetSelection(const Entry& e, int32_t index) override;
  int32_t Selection(const Entry& e) override;
  void ShowPicture(const Entry& e) override;
  void ShowFrame(const Entry& e) override;
  void SetFrameTimer(const Entry& e, int delay_ms) override;
  void ShowPage(int page) override;
  int FocusedControl() override;
  void Focus(const Entry& e) override;
  void Post(std::function<void()> call) override;

  static LRESULT CALLBACK WindowProcedure(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK BannerProcedure(HWND, UINT, WPARAM, LPARAM);
  LRESULT HandleMessage(HWND, UINT, WPARAM, LPARAM);
  bool RegisterClasses();
  HWND Of(const Entry& e) const;
  int IndexOf(HWND window) const;
  void PaintBanner(const Entry& e, HDC dc);

  HWND window_ = nullptr;
  HWND tabs_ = nullptr;
  HFONT tab_font_ = nullptr;
  HFONT control_font_ = nullptr;
  std::vector<std::unique_ptr<Control>> controls_;  // by entry index
  std::function<void(HWND)> browser_hook_;
  std::function<bool(MSG&)> browser_keys_;
  bool destroying_ = false;
};

}  // namespace brevane::win32
