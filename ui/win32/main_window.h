// The main window on Win32, built by walking the window definition: a fixed
// frame of 817 x 589 pixels centred on the screen, the banner picture box,
// a container for the hosted web browser, the tab control and the controls
// of its two pages. The page controls are children of the main window laid
// over the tab control (their positions count from its top-left corner, tab
// headers included), so their notifications and colour requests reach the
// main window directly; selecting a tab shows one page's controls and hides
// the other's.
//
// It implements Controls on these windows and delivers every event through
// the binding table to one routine runner, synchronously on the window's
// thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/operations.h"
#include "ui/bindings.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/shell.h"

namespace brevane::win32 {

// The event arguments, routine runner and picture frames both shells share.
using shell::EventArgs;
using shell::PictureDecoder;
using shell::PictureFrame;
using shell::RoutineRunner;

// The label's feedback event travels as this message to the label's own
// window: wParam and lParam carry the two integers, the result is the
// routine's.
inline constexpr UINT kFeedbackMessage = WM_APP + 0x42;

// Window class of the browser control's container.
inline constexpr wchar_t kBrowserHostClass[] = L"BrevaneBrowserHost";
inline constexpr wchar_t kMainWindowClass[] = L"BrevaneMainWindow";

class MainWindow : public Controls {
 public:
  MainWindow();
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  void SetRoutineRunner(RoutineRunner runner) { runner_ = std::move(runner); }
  void SetPictureDecoder(PictureDecoder decoder) { decoder_ = std::move(decoder); }
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

  bool closed() const { return closed_; }
  HWND hwnd() const { return window_; }
  HWND ControlWindow(std::string_view name) const;
  WindowHandle Handle(std::string_view name) const;
  void SelectPage(int page);
  int current_page() const { return current_page_; }

  // Controls.
  void WriteControlProperty(std::string_view control, int property, const PropertyValue& value) override;
  PropertyValue ReadControlProperty(std::string_view control, int property) override;
  int32_t ListItemCount(std::string_view list_box) override;
  Text ListItemText(std::string_view list_box, int32_t index) override;
  int32_t ListAddItem(std::string_view list_box, const Text& text, int32_t item_data = 0) override;
  int32_t RaiseFeedbackEvent(std::string_view label, int32_t first = 0, int32_t second = 0,
                             bool wait = true) override;

  struct Entry;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK LabelProcedure(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK BannerProcedure(HWND, UINT, WPARAM, LPARAM);
  LRESULT HandleMessage(HWND, UINT, WPARAM, LPARAM);

  bool RegisterClasses();
  void BuildControl(const layout::ControlDef& def);
  Entry* Find(std::string_view name) const;
  Entry* FromWindow(HWND window) const;
  int32_t Deliver(std::string_view control, Event event, const EventArgs& args = {});
  void Place(Entry& e);
  void ApplyVisibility(Entry& e);
  void WriteContent(Entry& e, const Text& text);
  void WritePicture(Entry& e, const Text& bytes);
  void PaintBanner(Entry& e, HDC dc);
  void NextBannerFrame(Entry& e);

  HWND window_ = nullptr;
  HWND tabs_ = nullptr;
  HFONT tab_font_ = nullptr;
  HFONT control_font_ = nullptr;
  std::vector<std::unique_ptr<Entry>> entries_;
  RoutineRunner runner_;
  PictureDecoder decoder_;
  std::function<void(HWND)> browser_hook_;
  std::function<bool(MSG&)> browser_keys_;
  int current_page_ = 1;
  bool activated_ = false;
  bool closed_ = false;
  Text window_tag_;
};

}  // namespace brevane::win32
