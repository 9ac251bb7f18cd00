// The main window on GTK 3: the widgets under the portable window model
// (ui/window_model.h), built by walking the window definition. A GtkLayout
// for pixel layout, a GtkNotebook for the tab control (its page controls
// are laid on a layer over it, so their positions count from the notebook's
// top-left corner, tab headers included), drawn labels, text views, a tree
// view list, buttons and a drawing-area picture box; at the browser
// control's place it puts the widget its browser hook gives, without knowing
// what it is (the composition hosts the WebKit view there). widget_parts.h
// holds the pieces the widgets share (text conversion, style sheet, picture
// surfaces).
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/window_handle.h"
#include "ui/window_model.h"

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

// Makes the widget that shows the browser, when the window builds the
// browser control (before the created event); the window places it as any
// control and the widget's container owns it from then on.
using BrowserHostHook = std::function<GtkWidget*()>;

class MainWindow : private NativeWindow, public WindowModel {
 public:
  // Without a hook, or when it gives none, the browser's place stays empty.
  explicit MainWindow(BrowserHostHook browser_host = nullptr);
  ~MainWindow() override;

  // Raises the created event (the window is not shown yet), then shows the
  // window centred on the screen.
  void CreateAndShow();
  // Closes the window the way its close button does: raises about to be
  // destroyed, then hides the window.
  void Close();

  GtkWindow* window() const { return GTK_WINDOW(window_); }
  // The positioned widget of a control (the frame around a text view or
  // list), or nullptr.
  GtkWidget* Widget(std::string_view name) const;
  GtkNotebook* notebook() const { return GTK_NOTEBOOK(notebook_); }
  // The main window's handle, as the skin is given it: its GtkWindow.
  WindowHandle Handle() const { return reinterpret_cast<WindowHandle>(window_); }

  struct Widgets;

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
  bool PlayFrames(const Entry& e, int shown_ms) override;
  void ShowPage(int page) override;
  int FocusedControl() override;
  void Focus(const Entry& e) override;
  void Post(std::function<void()> call) override;

  Widgets& W(const Entry& e) const { return *widgets_[static_cast<std::size_t>(e.index)]; }
  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  // Tells the model which picture boxes can be seen: mapped, in a window
  // neither iconified nor wholly covered.
  void ReportPicturesSeen();

  GtkWidget* window_ = nullptr;
  GtkWidget* fixed_ = nullptr;
  GtkWidget* notebook_ = nullptr;
  GtkWidget* page_layer_ = nullptr;
  BrowserHostHook browser_host_;
  std::vector<std::unique_ptr<Widgets>> widgets_;  // by entry index; handle = index + 1
  bool iconified_ = false;
  bool covered_ = false;  // the X server reports the window fully obscured
};

}  // namespace brevane::gtk
