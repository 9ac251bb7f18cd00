#include "app/gtk/main_window.h"

#include <cairo-xlib.h>
#include <gdk/gdkx.h>

#include <cairo.h>

#include <algorithm>
#include <string>

#include "base/text/charset.h"
#include "app/gtk/frame_player.h"
#include "app/gtk/widget_parts.h"
#include "ui/window_thread_gtk.h"

namespace brevane::gtk {

using Kind = Entry::Kind;

// The widgets of one entry of the model, and what only GTK needs of it.
struct MainWindow::Widgets {
  MainWindow* owner = nullptr;
  int index = 0;
  GtkWidget* widget = nullptr;  // positioned widget
  GtkWidget* inner = nullptr;   // text view, tree view
  std::string caption;          // labels: the caption they draw (UTF-8)
  // List box: the selection last reported (GTK also reports non-changes).
  int32_t reported_selection = -1;
  FrameSurfaces frames;  // picture box
  bool mapped = false;   // picture box
  guint timer = 0;
  // Picture box: plays the frames in the X server once every one is there,
  // scaled to the size it was started at.
  FramePlayer player;
  int played_width = 0, played_height = 0;

  GtkWidget* target() const { return inner != nullptr ? inner : widget; }
  // A picture box's frame, scaled to the box in a surface like its window.
  cairo_surface_t* Frame(std::size_t i) {
    const int width = gtk_widget_get_allocated_width(widget), height = gtk_widget_get_allocated_height(widget);
    GdkRGBA face{0.94, 0.94, 0.94, 1};
    // The theme's colour is looked up only when a frame is first scaled.
    if (!frames.Cached(i, width, height)) {
      FaceColour(widget, &face);
      face.alpha = 1;
    }
    return frames.Scaled(i, width, height, gtk_widget_get_window(widget), face);
  }
  // Shows frame i as the X window's own background: the server copies the
  // pixmap in, with no paint of the toolkit's and no round trip. False where
  // the box has no X window of its own (not realised, another display
  // server), and the frame is then drawn as any widget draws.
  bool ShowInServer(std::size_t i) {
    GdkWindow* window = gtk_widget_get_window(widget);
    if (window == nullptr || !GDK_IS_X11_WINDOW(window) || !gdk_window_has_native(window)) return false;
    cairo_surface_t* s = Frame(i);
    // A background pixmap must have the window's depth.
    if (s == nullptr || cairo_surface_get_type(s) != CAIRO_SURFACE_TYPE_XLIB ||
        cairo_xlib_surface_get_depth(s) != gdk_visual_get_depth(gdk_window_get_visual(window)))
      return false;
    cairo_surface_flush(s);
    Display* display = GDK_WINDOW_XDISPLAY(window);
    XSetWindowBackgroundPixmap(display, GDK_WINDOW_XID(window), cairo_xlib_surface_get_drawable(s));
    XClearWindow(display, GDK_WINDOW_XID(window));
    gdk_display_flush(gdk_window_get_display(window));
    return true;
  }
  // The scaled frames as X pixmaps of the window's depth, each for its
  // played delay; false when one is not scaled to the box's size yet (the
  // frame timer scales each as it first shows it) or cannot be a
  // background.
  bool ServerFrames(const Entry& e, std::vector<uint32_t>* pixmaps, std::vector<int>* delays) {
    GdkWindow* window = gtk_widget_get_window(widget);
    const int width = gtk_widget_get_allocated_width(widget), height = gtk_widget_get_allocated_height(widget);
    for (std::size_t i = 0; i < e.frames.size(); ++i) {
      if (!frames.Cached(i, width, height)) return false;
      cairo_surface_t* s = Frame(i);
      if (s == nullptr || cairo_surface_get_type(s) != CAIRO_SURFACE_TYPE_XLIB ||
          cairo_xlib_surface_get_depth(s) != gdk_visual_get_depth(gdk_window_get_visual(window)))
        return false;
      cairo_surface_flush(s);
      pixmaps->push_back(static_cast<uint32_t>(cairo_xlib_surface_get_drawable(s)));
      delays->push_back(shell::PlayedFrameDelay(e.frames[i].delay_ms));
    }
    played_width = width;
    played_height = height;
    return true;
  }
  void StopTimer() {
    if (timer != 0) g_source_remove(timer);
    timer = 0;
    player.Stop();
  }
  ~Widgets() { StopTimer(); }
};

MainWindow::MainWindow(BrowserHostHook browser_host)
    : WindowModel(static_cast<NativeWindow&>(*this)), browser_host_(std::move(browser_host)) {
  MarkWindowThread();
  const layout::WindowDef& def = layout::MainWindow();

  InstallStyleSheet();

  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  gtk_window_set_title(GTK_WINDOW(window_), std::string(def.caption).c_str());
  gtk_window_set_resizable(GTK_WINDOW(window_), def.resizable ? TRUE : FALSE);
  gtk_window_set_position(GTK_WINDOW(window_), def.centred ? GTK_WIN_POS_CENTER : GTK_WIN_POS_NONE);
  gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_NORMAL);
  gtk_window_set_default_size(GTK_WINDOW(window_), kClientWidth, kClientHeight);
  // A GtkLayout rather than a GtkFixed: its size is the client area, not the
  // extent of its children, so a control reaching past the right edge (the
  // help label) is cut off there instead of widening the window.
  fixed_ = gtk_layout_new(nullptr, nullptr);
  gtk_layout_set_size(GTK_LAYOUT(fixed_), kClientWidth, kClientHeight);
  gtk_widget_set_size_request(fixed_, kClientWidth, kClientHeight);
  gtk_container_add(GTK_CONTAINER(window_), fixed_);
  widgets_.push_back(std::make_unique<Widgets>());
  widgets_.back()->owner = this;
  widgets_.back()->widget = window_;

  Build(0, 0);

  g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
  g_signal_connect(window_, "delete-event", Cb([](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
    static_cast<MainWindow*>(self)->Close();
    return TRUE;
  }), this);
  g_signal_connect(window_, "notify::is-active", Cb([](GObject* w, GParamSpec*, gpointer self) {
    if (gtk_window_is_active(GTK_WINDOW(w))) static_cast<MainWindow*>(self)->OnActivated();
  }), this);
  // An iconified or wholly covered window shows no banner: its frames stand
  // still meanwhile (a compositing window manager never reports a window
  // covered, so there the banner plays on while covered).
  gtk_widget_add_events(window_, GDK_VISIBILITY_NOTIFY_MASK | GDK_STRUCTURE_MASK);
  g_signal_connect(window_, "window-state-event", Cb([](GtkWidget*, GdkEventWindowState* ev, gpointer self) -> gboolean {
    auto* me = static_cast<MainWindow*>(self);
    me->iconified_ = (ev->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    me->ReportPicturesSeen();
    return FALSE;
  }), this);
  g_signal_connect(window_, "visibility-notify-event", Cb([](GtkWidget*, GdkEventVisibility* ev, gpointer self) -> gboolean {
    auto* me = static_cast<MainWindow*>(self);
    me->covered_ = ev->state == GDK_VISIBILITY_FULLY_OBSCURED;
    me->ReportPicturesSeen();
    return FALSE;
  }), this);
}

void MainWindow::ReportPicturesSeen() {
  for (const auto& w : widgets_) {
    if (w->index > 0 && At(w->index).kind == Kind::kPictureBox)
      OnPictureSeen(w->index, w->mapped && !iconified_ && !covered_);
  }
}

MainWindow::~MainWindow() {
  if (!closed()) gtk_widget_destroy(window_);
  g_object_unref(window_);
  widgets_.clear();
}

void MainWindow::Create(const Entry& entry, const layout::ControlDef& def) {
  widgets_.push_back(std::make_unique<Widgets>());
  Widgets& w = *widgets_.back();
  w.owner = this;
  w.index = entry.index;
  switch (entry.kind) {
    case Kind::kPictureBox:
      w.widget = gtk_drawing_area_new();
      gtk_widget_add_events(w.widget, GDK_BUTTON_PRESS_MASK);
      g_signal_connect(w.widget, "draw", Cb([](GtkWidget* widget, cairo_t* cr, gpointer data) -> gboolean {
        auto* in = static_cast<Widgets*>(data);
        cairo_surface_t* s = in->Frame(in->owner->ShownFrame(in->index));
        if (s == nullptr) return FALSE;
        cairo_set_source_surface(cr, s, 0, 0);
        cairo_paint(cr);
        return FALSE;
      }), &w);
      // The box gets an X window of its own, whose background the frames
      // become.
      g_signal_connect(w.widget, "realize", Cb([](GtkWidget* widget, gpointer) {
        if (GdkWindow* window = gtk_widget_get_window(widget)) gdk_window_ensure_native(window);
      }), nullptr);
      for (const char* signal : {"map", "unmap"}) {
        g_signal_connect(w.widget, signal, Cb([](GtkWidget* widget, gpointer data) {
          auto* in = static_cast<Widgets*>(data);
          in->mapped = gtk_widget_get_mapped(widget) != FALSE;
          in->owner->ReportPicturesSeen();
        }), &w);
      }
      // Resized while the player plays: the frames are scaled anew, and
      // the player takes them over again once all are.
      g_signal_connect(w.widget, "size-allocate", Cb([](GtkWidget*, GdkRectangle* a, gpointer data) {
        auto* in = static_cast<Widgets*>(data);
        if (!in->player.playing() || (a->width == in->played_width && a->height == in->played_height)) return;
        in->owner->OnPictureSeen(in->index, false);
        in->owner->ReportPicturesSeen();
      }), &w);
      g_signal_connect(w.widget, "button-press-event", Cb([](GtkWidget*, GdkEventButton* ev, gpointer data) -> gboolean {
        auto* in = static_cast<Widgets*>(data);
        if (ev->button != 1 || ev->type != GDK_BUTTON_PRESS) return FALSE;
        EventArgs args;
        args.first = static_cast<int32_t>(ev->x);
        args.second = static_cast<int32_t>(ev->y);
        args.third = ((ev->state & GDK_CONTROL_MASK) ? 1 : 0) | ((ev->state & GDK_SHIFT_MASK) ? 2 : 0) |
                     ((ev->state & GDK_MOD1_MASK) ? 4 : 0);
        in->owner->OnPressed(in->index, args);
        return FALSE;
      }), &w);
      break;
    case Kind::kBrowser:
      // The browser's own widget, made ready by its host; an empty place
      // without one.
      if (browser_host_) w.widget = browser_host_();
      if (w.widget == nullptr) w.widget = gtk_drawing_area_new();
      break;
    case Kind::kTabControl: {
      // The notebook draws its pages over sibling widgets that have windows
      // of their own, so the page controls live on a layer above it. The
      // layer begins below the tab headers, at the highest page control, so
      // the tabs stay clickable; positions on it count from the notebook's
      // top-left corner, tab headers included, less that offset.
      w.widget = gtk_overlay_new();
      notebook_ = gtk_notebook_new();
      gtk_container_add(GTK_CONTAINER(w.widget), notebook_);
      page_layer_ = gtk_fixed_new();
      gtk_overlay_add_overlay(GTK_OVERLAY(w.widget), page_layer_);
      g_signal_connect(w.widget, "get-child-position",
                       Cb([](GtkOverlay* overlay, GtkWidget*, GdkRectangle* where, gpointer) -> gboolean {
                         where->x = 0;
                         where->y = PageLayerTop();
                         where->width = gtk_widget_get_allocated_width(GTK_WIDGET(overlay));
                         where->height = std::max(0, gtk_widget_get_allocated_height(GTK_WIDGET(overlay)) - where->y);
                         return TRUE;
                       }), nullptr);
      gtk_widget_set_can_focus(notebook_, FALSE);
      for (std::string_view page_caption : layout::PageCaptions()) {
        GtkWidget* tab = gtk_label_new(std::string(page_caption).c_str());
        gtk_notebook_append_page(GTK_NOTEBOOK(notebook_), gtk_box_new(GTK_ORIENTATION_VERTICAL, 0), tab);
      }
      g_signal_connect(notebook_, "switch-page", Cb([](GtkNotebook*, GtkWidget*, guint page, gpointer self) {
        static_cast<MainWindow*>(self)->OnPageSwitched(static_cast<int>(page) + 1);
      }), this);
      break;
    }
    case Kind::kLabel:
      w.widget = gtk_drawing_area_new();
      g_signal_connect(w.widget, "draw", Cb([](GtkWidget* widget, cairo_t* cr, gpointer data) -> gboolean {
        auto* in = static_cast<Widgets*>(data);
        // On the window's face colour, as Windows draws a static control,
        // also where the label lies on a tab page.
        GdkRGBA face{};
        if (FaceColour(widget, &face)) {
          gdk_cairo_set_source_rgba(cr, &face);
          cairo_paint(cr);
        }
        PangoLayout* text = gtk_widget_create_pango_layout(widget, in->caption.c_str());
        int tw = 0, th = 0;
        pango_layout_get_pixel_size(text, &tw, &th);
        const layout::Rgb c = layout::LabelColour();
        cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
        // Left aligned, vertically centred, one line; the allocation clips
        // what does not fit.
        cairo_move_to(cr, 0, (gtk_widget_get_allocated_height(widget) - th) / 2);
        pango_cairo_show_layout(cr, text);
        g_object_unref(text);
        return FALSE;
      }), &w);
      break;
    case Kind::kEditBox:
      w.widget = gtk_scrolled_window_new(nullptr, nullptr);
      gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(w.widget), GTK_POLICY_NEVER, GTK_POLICY_EXTERNAL);
      gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(w.widget), GTK_SHADOW_IN);
      w.inner = gtk_text_view_new();
      gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(w.inner), GTK_WRAP_WORD_CHAR);
      gtk_text_view_set_accepts_tab(GTK_TEXT_VIEW(w.inner), FALSE);
      gtk_container_add(GTK_CONTAINER(w.widget), w.inner);
      g_signal_connect(gtk_text_view_get_buffer(GTK_TEXT_VIEW(w.inner)), "changed",
                       Cb([](GtkTextBuffer*, gpointer data) {
                         auto* in = static_cast<Widgets*>(data);
                         in->owner->OnTextChanged(in->index);
                       }), &w);
      break;
    case Kind::kListBox: {
      w.widget = gtk_scrolled_window_new(nullptr, nullptr);
      gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(w.widget), GTK_POLICY_EXTERNAL, GTK_POLICY_ALWAYS);
      // A classic scroll bar that is always there, not one that appears on hover.
      gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(w.widget), FALSE);
      gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(w.widget), GTK_SHADOW_IN);
      GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
      w.inner = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
      g_object_unref(store);
      gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(w.inner), FALSE);
      gtk_tree_view_set_enable_search(GTK_TREE_VIEW(w.inner), FALSE);
      GtkCellRenderer* cell = gtk_cell_renderer_text_new();
      g_object_set(cell, "ypad", 1, nullptr);
      gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(w.inner), -1, "", cell, "text", 0, nullptr);
      gtk_container_add(GTK_CONTAINER(w.widget), w.inner);
      GtkTreeSelection* sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(w.inner));
      gtk_tree_selection_set_mode(sel, GTK_SELECTION_SINGLE);
      g_signal_connect(sel, "changed", Cb([](GtkTreeSelection*, gpointer data) {
        auto* in = static_cast<Widgets*>(data);
        const int32_t now = in->owner->Selection(in->owner->At(in->index));
        // Only a real change of the selected item is reported; GTK also
        // emits the signal when nothing changed.
        if (now == in->reported_selection) return;
        in->reported_selection = now;
        in->owner->OnSelectionChanged(in->index);
      }), &w);
      // A Windows list box reports a click on the item already selected as
      // well, so clicking a record again opens it again. A click on another
      // row changes the selection and is reported above.
      gtk_widget_add_events(w.inner, GDK_BUTTON_PRESS_MASK);
      g_signal_connect(w.inner, "button-press-event", Cb([](GtkWidget* tree, GdkEventButton* ev, gpointer data) -> gboolean {
        auto* in = static_cast<Widgets*>(data);
        if (ev->button != 1 || ev->type != GDK_BUTTON_PRESS) return FALSE;
        if (ev->window != gtk_tree_view_get_bin_window(GTK_TREE_VIEW(tree))) return FALSE;
        GtkTreePath* path = nullptr;
        if (!gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(tree), static_cast<gint>(ev->x), static_cast<gint>(ev->y),
                                           &path, nullptr, nullptr, nullptr)) {
          return FALSE;
        }
        const bool already = gtk_tree_selection_path_is_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(tree)), path);
        gtk_tree_path_free(path);
        if (already) in->owner->OnSelectionChanged(in->index);
        return FALSE;
      }), &w);
      break;
    }
    case Kind::kButton:
      w.widget = gtk_button_new();
      g_signal_connect(w.widget, "clicked", Cb([](GtkButton*, gpointer data) {
        auto* in = static_cast<Widgets*>(data);
        in->owner->OnClicked(in->index);
      }), &w);
      break;
    case Kind::kWindow:
      return;
  }
  gtk_widget_set_can_focus(w.target(), def.tab_stop ? TRUE : FALSE);
  if (def.page == 0) {
    gtk_layout_put(GTK_LAYOUT(fixed_), w.widget, def.left, def.top);
  } else {
    gtk_fixed_put(GTK_FIXED(page_layer_), w.widget, def.left, def.top - PageLayerTop());
  }
  gtk_widget_set_size_request(w.widget, def.width, def.height);
  gtk_widget_show_all(w.widget);
}

void MainWindow::SetBounds(const Entry& e, bool move, bool resize) {
  GtkWidget* widget = W(e).widget;
  if (e.kind == Kind::kWindow) {
    if (move) gtk_window_move(GTK_WINDOW(window_), e.left, e.top);
    if (resize) {
      // The outer size less the frame and title bar of the window definition.
      const layout::WindowDef& def = layout::MainWindow();
      const int width = std::max(e.width - (def.outer_width - kClientWidth), 1);
      const int height = std::max(e.height - (def.outer_height - kClientHeight), 1);
      gtk_layout_set_size(GTK_LAYOUT(fixed_), width, height);
      gtk_widget_set_size_request(fixed_, width, height);
      // A fixed frame takes its default size; the resize applies it to a
      // window already shown.
      gtk_window_set_default_size(GTK_WINDOW(window_), width, height);
      gtk_window_resize(GTK_WINDOW(window_), width, height);
    }
    return;
  }
  // Controls on the pages sit on the tab control's page layer and move with
  // it.
  if (e.page == 0) {
    gtk_layout_move(GTK_LAYOUT(fixed_), widget, e.left, e.top);
  } else {
    gtk_fixed_move(GTK_FIXED(page_layer_), widget, e.left, e.top - PageLayerTop());
  }
  gtk_widget_set_size_request(widget, std::max(e.width, 0), std::max(e.height, 0));
}

void MainWindow::SetShown(const Entry& e, bool shown) {
  if (e.kind != Kind::kWindow) {
    gtk_widget_set_visible(W(e).widget, shown ? TRUE : FALSE);
  } else if (!shown) {
    gtk_widget_hide(window_);
  } else {
    // The model hides the hidden page's controls again right after.
    gtk_widget_show_all(window_);
    gtk_window_present(GTK_WINDOW(window_));
  }
}

void MainWindow::SetEnabled(const Entry& e, bool enabled) {
  gtk_widget_set_sensitive(W(e).widget, enabled ? TRUE : FALSE);
}

void MainWindow::SetText(const Entry& e, const Text& text) {
  Widgets& w = W(e);
  const std::string utf8 = SafeUtf8(text);
  switch (e.kind) {
    case Kind::kWindow: gtk_window_set_title(GTK_WINDOW(window_), utf8.c_str()); return;
    case Kind::kLabel:
      w.caption = utf8;
      gtk_widget_queue_draw(w.widget);
      return;
    case Kind::kButton:
      gtk_button_set_label(GTK_BUTTON(w.widget), utf8.c_str());
      // A long caption wraps onto centred lines, as a multi-line button's.
      if (GtkWidget* label = gtk_bin_get_child(GTK_BIN(w.widget)); GTK_IS_LABEL(label)) {
        gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
        gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
      }
      return;
    case Kind::kEditBox: {
      GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(w.inner));
      gtk_text_buffer_set_text(buffer, ToViewText(utf8).c_str(), -1);
      GtkTextIter start;
      gtk_text_buffer_get_start_iter(buffer, &start);
      gtk_text_buffer_place_cursor(buffer, &start);
      return;
    }
    default: return;
  }
}

Text MainWindow::ReadText(const Entry& e) {
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(W(e).inner));
  GtkTextIter start, end;
  gtk_text_buffer_get_bounds(buffer, &start, &end);
  gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
  Text out = Utf8ToGbk(FromViewText(text));
  g_free(text);
  return out;
}

int32_t MainWindow::AddListItem(const Entry& e, const Text& text, int32_t) {
  GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(W(e).inner));
  GtkTreeIter iter;
  gtk_list_store_insert_with_values(GTK_LIST_STORE(model), &iter, -1, 0, SafeUtf8(text).c_str(), -1);
  return gtk_tree_model_iter_n_children(model, nullptr) - 1;
}

void MainWindow::SetSelection(const Entry& e, int32_t index) {
  GtkTreeSelection* sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(W(e).inner));
  if (index < 0) {
    gtk_tree_selection_unselect_all(sel);
    return;
  }
  GtkTreePath* path = gtk_tree_path_new_from_indices(index, -1);
  gtk_tree_selection_select_path(sel, path);
  gtk_tree_path_free(path);
}

int32_t MainWindow::Selection(const Entry& e) {
  GtkTreeSelection* sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(W(e).inner));
  GtkTreeModel* model = nullptr;
  GtkTreeIter iter;
  if (!gtk_tree_selection_get_selected(sel, &model, &iter)) return -1;
  GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
  const int32_t index = gtk_tree_path_get_indices(path)[0];
  gtk_tree_path_free(path);
  return index;
}

void MainWindow::ShowPicture(const Entry& e) {
  Widgets& w = W(e);
  w.frames.Load(e.frames);
  gtk_widget_queue_draw(w.widget);
}

void MainWindow::ShowFrame(const Entry& e) {
  Widgets& w = W(e);
  if (!w.ShowInServer(e.frame)) gtk_widget_queue_draw(w.widget);
}

void MainWindow::SetFrameTimer(const Entry& e, int delay_ms) {
  Widgets& w = W(e);
  w.StopTimer();
  if (delay_ms <= 0) return;
  w.timer = g_timeout_add(static_cast<guint>(delay_ms), +[](gpointer data) -> gboolean {
    auto* in = static_cast<Widgets*>(data);
    in->timer = 0;
    in->owner->OnFrameTimer(in->index);
    return G_SOURCE_REMOVE;
  }, &w);
}

bool MainWindow::PlayFrames(const Entry& e, int shown_ms) {
  Widgets& w = W(e);
  GdkWindow* window = gtk_widget_get_window(w.widget);
  if (!w.mapped || window == nullptr || !GDK_IS_X11_WINDOW(window) || !gdk_window_has_native(window)) return false;
  std::vector<uint32_t> pixmaps;
  std::vector<int> delays;
  if (!w.ServerFrames(e, &pixmaps, &delays)) return false;
  // Every pixmap's drawing, sent on the toolkit's connection, is carried out
  // before the player's connection shows one.
  gdk_display_sync(gdk_window_get_display(window));
  return w.player.Play(DisplayString(GDK_WINDOW_XDISPLAY(window)), static_cast<uint32_t>(GDK_WINDOW_XID(window)),
                       std::move(pixmaps), std::move(delays), e.frame, shown_ms);
}

void MainWindow::ShowPage(int page) {
  // switch-page reports the change back to the model.
  if (gtk_notebook_get_current_page(GTK_NOTEBOOK(notebook_)) != page - 1) {
    gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook_), page - 1);
  }
}

int MainWindow::FocusedControl() {
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window_));
  if (focus == nullptr) return -1;
  for (const auto& w : widgets_) {
    // The tab control holds the page controls; only tab stops count.
    if (w->index == 0 || !At(w->index).tab_stop) continue;
    if (focus == w->target() || gtk_widget_is_ancestor(focus, w->target())) return w->index;
  }
  return -1;
}

void MainWindow::Focus(const Entry& e) { gtk_widget_grab_focus(W(e).target()); }

void MainWindow::Post(std::function<void()> call) { PostToWindowThread(std::move(call)); }

void MainWindow::CreateAndShow() { Open(); }

void MainWindow::Close() {
  if (closed()) return;
  OnClosed();
  // Reached only when the routine did not end the program (tests).
  gtk_widget_hide(window_);
}

gboolean MainWindow::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
  // Connected on the window, this runs before the focused control sees the
  // key: Esc closes from anywhere inside the window, Alt+F4 as well when no
  // window manager is there to turn it into a close request.
  const bool alt = (event->state & GDK_MOD1_MASK) != 0;
  if (event->keyval == GDK_KEY_Escape || (alt && event->keyval == GDK_KEY_F4)) {
    static_cast<MainWindow*>(self)->Close();
    return TRUE;
  }
  // Tab and Shift+Tab move the focus through the tab stops; the browser is
  // one stop (its page keeps Ctrl+Tab).
  if ((event->keyval == GDK_KEY_Tab || event->keyval == GDK_KEY_ISO_Left_Tab || event->keyval == GDK_KEY_KP_Tab) &&
      (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) == 0) {
    static_cast<MainWindow*>(self)->OnTabKey(event->keyval == GDK_KEY_ISO_Left_Tab ||
                                             (event->state & GDK_SHIFT_MASK) != 0);
    return TRUE;
  }
  return FALSE;
}

GtkWidget* MainWindow::Widget(std::string_view name) const {
  const Entry* e = Find(name);
  return e != nullptr ? W(*e).widget : nullptr;
}

}  // namespace brevane::gtk
