// The main window on GTK 3, built by walking the window definition: a
// GtkLayout for pixel layout, a GtkNotebook for the tab control (its page
// controls are laid on a layer over it, so their positions count from the
// notebook's top-left corner, tab headers included), drawn
// labels, text views, a tree view list, buttons, a drawing-area picture box
// and the WebKit web view.
//
// It implements Controls on these widgets, delivers every event through the
// binding table to one routine runner, and keeps the widget handle table in
// which the document window (the web view) is searched from the main
// window's or the browser control's handle.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

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

namespace brevane::gtk {

// The event arguments, routine runner and picture frames both shells share.
using shell::EventArgs;
using shell::PictureDecoder;
using shell::PictureFrame;
using shell::RoutineRunner;

// Client area of the window. The window's outer size is 817 x 589 with a
// fixed frame of 3 pixels on every side and a title bar of 25 pixels, so the
// client area is 811 x 561; the window manager adds its own decorations
// around it (none under a bare X server).
inline constexpr int kClientWidth = 811;
inline constexpr int kClientHeight = 561;

class MainWindow : public Controls {
 public:
  MainWindow();
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  void SetRoutineRunner(RoutineRunner runner) { runner_ = std::move(runner); }
  void SetPictureDecoder(PictureDecoder decoder) { decoder_ = std::move(decoder); }

  // Raises the created event (the window is not shown yet), then shows the
  // window centred on the screen.
  void CreateAndShow();
  // Closes the window the way its close button does: raises about to be
  // destroyed, then destroys the window.
  void Close();
  bool closed() const { return closed_; }

  GtkWindow* window() const { return GTK_WINDOW(window_); }
  // The positioned widget of a control (the frame around a text view or
  // list), or nullptr.
  GtkWidget* Widget(std::string_view name) const;
  WebKitWebView* web_view() const { return web_view_; }
  GtkNotebook* notebook() const { return GTK_NOTEBOOK(notebook_); }
  // Shows page 1 or 2 of the tab control.
  void SelectPage(int page);
  int current_page() const { return current_page_; }

  // The widget handle table: 0 is no window; the main window, the tab
  // control and every control have a handle, and the web view has its own
  // entry of the document window class below the browser control.
  WindowHandle Handle(std::string_view name) const;
  WindowHandle document_window() const;
  bool IsWindow(WindowHandle handle);
  std::string ClassName(WindowHandle handle);
  std::vector<WindowHandle> Children(WindowHandle handle);
  WebKitWebView* WebViewOf(WindowHandle handle);

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
  Entry* Find(std::string_view name) const;
  Entry* FromHandle(WindowHandle handle) const;
  int32_t Deliver(std::string_view control, Event event, const EventArgs& args = {});
  void BuildControl(const layout::ControlDef& def);
  void ApplyVisibility(Entry& e);
  void WriteContent(Entry& e, const Text& text);
  void WritePicture(Entry& e, const Text& bytes);
  void Place(Entry& e);

  // Moves the focus to the next (or previous) tab stop, wrapping round.
  void MoveFocus(bool back);
  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
  static void OnActiveChanged(GObject*, GParamSpec*, gpointer self);
  static void OnSwitchPage(GtkNotebook*, GtkWidget*, guint page, gpointer self);

  GtkWidget* window_ = nullptr;
  GtkWidget* fixed_ = nullptr;
  GtkWidget* notebook_ = nullptr;
  GtkWidget* page_layer_ = nullptr;
  WebKitWebView* web_view_ = nullptr;
  std::vector<std::unique_ptr<Entry>> entries_;  // handle = index + 1
  RoutineRunner runner_;
  PictureDecoder decoder_;
  int current_page_ = 1;
  bool activated_ = false;
  bool closed_ = false;
};

// Navigation of the embedded browser: the address goes to the web view
// unchanged. An empty address loads the blank page, so the page of the
// previous navigation is not read again as if it were the new one.
class WebViewNavigator {
 public:
  explicit WebViewNavigator(MainWindow& window) : window_(window) {}
  void Navigate(const Text& address);
  WindowHandle Handle();

 private:
  MainWindow& window_;
};

}  // namespace brevane::gtk
