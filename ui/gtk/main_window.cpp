#include "ui/gtk/main_window.h"

#include <cairo.h>

#include <algorithm>
#include <string>

#include "browser/address.h"
#include "browser/dom.h"
#include "browser/webkit/webkit_engine.h"
#include "base/text/charset.h"
#include "ui/gtk/window_thread.h"
#include "ui/names.h"

namespace brevane::gtk {

using layout::Kind;

struct MainWindow::Entry {
  std::string name;
  int kind = -1;  // a layout::Kind, or -1 for the main window and the document window
  int page = 0;
  int left = 0, top = 0, width = 0, height = 0;
  GtkWidget* widget = nullptr;  // positioned widget
  GtkWidget* inner = nullptr;   // text view, tree view
  std::string class_name;
  WindowHandle parent = 0;
  bool visible = true;
  Text tag;
  int32_t mouse_pointer = 0;
  // Labels: the caption they draw (UTF-8).
  std::string caption;
  // Edit boxes: the buffer's own change signal is ignored while the program
  // writes the content.
  bool suppress_change = false;
  // List box: the items as the program gave them, and the selection last
  // reported.
  std::vector<std::pair<Text, int32_t>> items;
  int32_t reported_selection = -1;
  bool suppress_selection = false;
  // Picture box.
  std::vector<cairo_surface_t*> frames;
  std::vector<int> delays;
  std::size_t frame = 0;
  guint animation = 0;
  // The frames scaled to the box's size, made on first draw: a frame change
  // then costs one copy, not a filtered scaling.
  std::vector<cairo_surface_t*> scaled;
  int scaled_width = 0, scaled_height = 0;
  MainWindow* owner = nullptr;

  ~Entry() { ClearFrames(); }
  void ClearScaled() {
    for (cairo_surface_t* s : scaled) cairo_surface_destroy(s);
    scaled.clear();
  }
  void ClearFrames() {
    if (animation != 0) g_source_remove(animation);
    animation = 0;
    ClearScaled();
    for (cairo_surface_t* s : frames) cairo_surface_destroy(s);
    frames.clear();
    delays.clear();
    frame = 0;
  }
  // The current frame at the box's size, scaled once per frame and size.
  cairo_surface_t* ScaledFrame(int width, int height) {
    if (frames.empty() || width <= 0 || height <= 0) return nullptr;
    if (width != scaled_width || height != scaled_height || scaled.size() != frames.size()) {
      ClearScaled();
      scaled.assign(frames.size(), nullptr);
      scaled_width = width;
      scaled_height = height;
    }
    const std::size_t i = std::min(frame, frames.size() - 1);
    if (scaled[i] == nullptr) {
      cairo_surface_t* s = frames[i];
      const double sw = cairo_image_surface_get_width(s), sh = cairo_image_surface_get_height(s);
      cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
      cairo_t* cr = cairo_create(out);
      // Stretched to the whole box, whatever the picture's proportions.
      cairo_scale(cr, width / sw, height / sh);
      cairo_set_source_surface(cr, s, 0, 0);
      cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
      cairo_paint(cr);
      cairo_destroy(cr);
      scaled[i] = out;
    }
    return scaled[i];
  }
};

namespace {

std::string SafeUtf8(const Text& gbk) {
  std::string utf8 = GbkToUtf8(gbk);
  if (g_utf8_validate(utf8.data(), static_cast<gssize>(utf8.size()), nullptr)) return utf8;
  gchar* valid = g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size()));
  std::string out(valid);
  g_free(valid);
  return out;
}

// Edit boxes hold CR LF line breaks as the program sees them; the text view
// holds LF.
std::string ToViewText(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
    out += utf8[i];
  }
  return out;
}
std::string FromViewText(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size() + utf8.size() / 16);
  for (char c : utf8) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

const char* ClassOf(int kind) {
  switch (static_cast<Kind>(kind)) {
    case Kind::kPictureBox: return "GtkDrawingArea";
    case Kind::kBrowser: return "BrevaneBrowser";
    case Kind::kTabControl: return "GtkNotebook";
    case Kind::kLabel: return "GtkLabel";
    case Kind::kEditBox: return "GtkTextView";
    case Kind::kListBox: return "GtkTreeView";
    case Kind::kButton: return "GtkButton";
  }
  return "GtkWidget";
}

// Top of the layer that carries the page controls, in the tab control: the
// highest page control's top.
int PageLayerTop() {
  static const int top = [] {
    int t = 1 << 20;
    for (const layout::ControlDef& c : layout::Controls()) {
      if (c.page != 0) t = std::min(t, c.top);
    }
    return std::max(t == (1 << 20) ? 0 : t, 0);
  }();
  return top;
}

// The theme's window background, the face colour of dialogs and controls.
bool FaceColour(GtkWidget* w, GdkRGBA* out) {
  GtkWidget* top = gtk_widget_get_toplevel(w);
  return gtk_style_context_lookup_color(gtk_widget_get_style_context(top != nullptr ? top : w),
                                        "theme_bg_color", out) != FALSE;
}

// A capture-free lambda as a GLib signal callback.
template <typename F>
GCallback Cb(F f) {
  return reinterpret_cast<GCallback>(+f);
}

constexpr const char* kCss =
    "notebook > header.top > tabs > tab { padding: 2px 8px; min-height: 0; }\n"
    "notebook > header.top > tabs { margin: 0; }\n"
    // The tab pages on the window's face colour, as a Windows tab control.
    "notebook > stack { background-color: @theme_bg_color; }\n"
    "notebook tab label { font-family: SimSun, \"WenQuanYi Zen Hei\"; font-size: 9pt; font-weight: 400;"
    " font-style: normal; }\n"
    // Edit boxes and the list: black on white as Windows draws them, the
    // selected row in the theme's selection colours, and greyed (grey text
    // on the window's face colour) while disabled.
    "textview text, treeview.view { color: black; background-color: white; }\n"
    "treeview.view:selected { color: @theme_selected_fg_color; background-color: @theme_selected_bg_color; }\n"
    "textview text selection { color: @theme_selected_fg_color; background-color: @theme_selected_bg_color; }\n"
    "textview:disabled text, textview text:disabled, treeview.view:disabled {"
    " color: @insensitive_fg_color; background-color: @theme_bg_color; }\n"
    "button { padding: 0 2px; min-height: 0; min-width: 0; }\n";

}  // namespace

MainWindow::MainWindow() {
  MarkWindowThread();
  const layout::WindowDef& def = layout::MainWindow();

  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);

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

  auto main = std::make_unique<Entry>();
  main->name = std::string(def.name);
  main->width = def.outer_width;
  main->height = def.outer_height;
  main->widget = window_;
  main->class_name = "GtkWindow";
  main->owner = this;
  entries_.push_back(std::move(main));

  for (const layout::ControlDef& c : layout::Controls()) BuildControl(c);
  SelectPage(1);

  g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
  g_signal_connect(window_, "notify::is-active", G_CALLBACK(OnActiveChanged), this);
}

MainWindow::~MainWindow() {
  entries_.clear();
  if (window_ != nullptr) {
    if (!closed_) gtk_widget_destroy(window_);
    g_object_unref(window_);
  }
}

void MainWindow::BuildControl(const layout::ControlDef& def) {
  auto e = std::make_unique<Entry>();
  Entry& entry = *e;
  entry.name = std::string(def.name);
  entry.kind = static_cast<int>(def.kind);
  entry.page = def.page;
  entry.left = def.left;
  entry.top = def.top;
  entry.width = def.width;
  entry.height = def.height;
  entry.class_name = ClassOf(entry.kind);
  entry.owner = this;
  entry.parent = def.page == 0 ? 1 : Handle(names::kTabs);
  const std::string caption(def.caption);

  switch (def.kind) {
    case Kind::kPictureBox: {
      entry.widget = gtk_drawing_area_new();
      gtk_widget_add_events(entry.widget, GDK_BUTTON_PRESS_MASK);
      g_signal_connect(entry.widget, "draw", Cb([](GtkWidget* w, cairo_t* cr, gpointer data) -> gboolean {
        auto* en = static_cast<Entry*>(data);
        cairo_surface_t* s = en->ScaledFrame(gtk_widget_get_allocated_width(w), gtk_widget_get_allocated_height(w));
        if (s == nullptr) return FALSE;
        cairo_set_source_surface(cr, s, 0, 0);
        cairo_paint(cr);
        return FALSE;
      }), &entry);
      g_signal_connect(entry.widget, "button-press-event",
                       Cb([](GtkWidget*, GdkEventButton* ev, gpointer data) -> gboolean {
                         auto* en = static_cast<Entry*>(data);
                         if (ev->button != 1 || ev->type != GDK_BUTTON_PRESS) return FALSE;
                         EventArgs args;
                         args.first = static_cast<int32_t>(ev->x);
                         args.second = static_cast<int32_t>(ev->y);
                         args.third = ((ev->state & GDK_CONTROL_MASK) ? 1 : 0) |
                                      ((ev->state & GDK_SHIFT_MASK) ? 2 : 0) |
                                      ((ev->state & GDK_MOD1_MASK) ? 4 : 0);
                         en->owner->Deliver(en->name, Event::kLeftButtonDown, args);
                         return FALSE;
                       }), &entry);
      break;
    }
    case Kind::kBrowser: {
      web_view_ = CreateWebView();
      entry.widget = GTK_WIDGET(web_view_);
      // The engine's own policy for every page shown: the document bridge
      // attached from the first load, script dialogs answered without being
      // shown (alerts closed, confirmations accepted, prompts given their
      // default text, leaving a page allowed) and downloads refused.
      PrepareWebView(web_view_);
      break;
    }
    case Kind::kTabControl: {
      // The notebook draws its pages over sibling widgets that have windows
      // of their own, so the page controls live on a layer above it. The
      // layer begins below the tab headers, at the highest page control, so
      // the tabs stay clickable; positions on it count from the notebook's
      // top-left corner, tab headers included, less that offset.
      entry.widget = gtk_overlay_new();
      notebook_ = gtk_notebook_new();
      gtk_container_add(GTK_CONTAINER(entry.widget), notebook_);
      page_layer_ = gtk_fixed_new();
      gtk_overlay_add_overlay(GTK_OVERLAY(entry.widget), page_layer_);
      g_signal_connect(entry.widget, "get-child-position",
                       Cb([](GtkOverlay* overlay, GtkWidget*, GdkRectangle* where, gpointer) -> gboolean {
                         where->x = 0;
                         where->y = PageLayerTop();
                         where->width = gtk_widget_get_allocated_width(GTK_WIDGET(overlay));
                         where->height = std::max(0, gtk_widget_get_allocated_height(GTK_WIDGET(overlay)) - where->y);
                         return TRUE;
                       }), nullptr);
      gtk_widget_set_can_focus(notebook_, FALSE);
      for (std::string_view page_caption : layout::PageCaptions()) {
        GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        GtkWidget* tab = gtk_label_new(std::string(page_caption).c_str());
        gtk_notebook_append_page(GTK_NOTEBOOK(notebook_), page, tab);
      }
      g_signal_connect(notebook_, "switch-page", G_CALLBACK(OnSwitchPage), this);
      break;
    }
    case Kind::kLabel: {
      entry.caption = caption;
      entry.widget = gtk_drawing_area_new();
      g_signal_connect(entry.widget, "draw", Cb([](GtkWidget* w, cairo_t* cr, gpointer data) -> gboolean {
        auto* en = static_cast<Entry*>(data);
        // On the window's face colour, as Windows draws a static control,
        // also where the label lies on a tab page.
        GdkRGBA face{};
        if (FaceColour(w, &face)) {
          gdk_cairo_set_source_rgba(cr, &face);
          cairo_paint(cr);
        }
        PangoLayout* text = gtk_widget_create_pango_layout(w, en->caption.c_str());
        int tw = 0, th = 0;
        pango_layout_get_pixel_size(text, &tw, &th);
        const layout::Rgb c = layout::LabelColour();
        cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
        // Left aligned, vertically centred, one line; the allocation clips
        // what does not fit.
        cairo_move_to(cr, 0, (gtk_widget_get_allocated_height(w) - th) / 2);
        pango_cairo_show_layout(cr, text);
        g_object_unref(text);
        return FALSE;
      }), &entry);
      break;
    }
    case Kind::kEditBox: {
      entry.widget = gtk_scrolled_window_new(nullptr, nullptr);
      gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(entry.widget), GTK_POLICY_NEVER, GTK_POLICY_EXTERNAL);
      gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(entry.widget), GTK_SHADOW_IN);
      entry.inner = gtk_text_view_new();
      gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(entry.inner), GTK_WRAP_WORD_CHAR);
      gtk_text_view_set_accepts_tab(GTK_TEXT_VIEW(entry.inner), FALSE);
      gtk_container_add(GTK_CONTAINER(entry.widget), entry.inner);
      GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(entry.inner));
      g_signal_connect(buffer, "changed", Cb([](GtkTextBuffer*, gpointer data) {
        auto* en = static_cast<Entry*>(data);
        if (!en->suppress_change) en->owner->Deliver(en->name, Event::kContentChanged);
      }), &entry);
      const std::string text = def.name == names::kBoardsBox ? layout::DefaultBoardsUtf8() : caption;
      gtk_text_buffer_set_text(buffer, ToViewText(text).c_str(), -1);
      GtkTextIter start;
      gtk_text_buffer_get_start_iter(buffer, &start);
      gtk_text_buffer_place_cursor(buffer, &start);
      break;
    }
    case Kind::kListBox: {
      entry.widget = gtk_scrolled_window_new(nullptr, nullptr);
      gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(entry.widget), GTK_POLICY_EXTERNAL, GTK_POLICY_ALWAYS);
      // A classic scroll bar that is always there, not one that appears on hover.
      gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(entry.widget), FALSE);
      gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(entry.widget), GTK_SHADOW_IN);
      GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
      entry.inner = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
      g_object_unref(store);
      gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(entry.inner), FALSE);
      gtk_tree_view_set_enable_search(GTK_TREE_VIEW(entry.inner), FALSE);
      GtkCellRenderer* cell = gtk_cell_renderer_text_new();
      g_object_set(cell, "ypad", 1, nullptr);
      gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(entry.inner), -1, "", cell, "text", 0, nullptr);
      gtk_container_add(GTK_CONTAINER(entry.widget), entry.inner);
      GtkTreeSelection* sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(entry.inner));
      gtk_tree_selection_set_mode(sel, GTK_SELECTION_SINGLE);
      g_signal_connect(sel, "changed", Cb([](GtkTreeSelection*, gpointer data) {
        auto* en = static_cast<Entry*>(data);
        const int32_t now = AsInt(en->owner->ReadControlProperty(en->name, prop::kSelection));
        // Only a real change of the selected item is reported; GTK also
        // emits the signal when nothing changed.
        if (now == en->reported_selection) return;
        en->reported_selection = now;
        if (!en->suppress_selection) en->owner->Deliver(en->name, Event::kSelectionChanged);
      }), &entry);
      // A Windows list box reports a click on the item already selected as
      // well, so clicking a record again opens it again. A click on another
      // row changes the selection and is reported above.
      gtk_widget_add_events(entry.inner, GDK_BUTTON_PRESS_MASK);
      g_signal_connect(entry.inner, "button-press-event",
                       Cb([](GtkWidget* tree, GdkEventButton* ev, gpointer data) -> gboolean {
                         auto* en = static_cast<Entry*>(data);
                         if (ev->button != 1 || ev->type != GDK_BUTTON_PRESS) return FALSE;
                         if (ev->window != gtk_tree_view_get_bin_window(GTK_TREE_VIEW(tree))) return FALSE;
                         GtkTreePath* path = nullptr;
                         if (!gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(tree), static_cast<gint>(ev->x),
                                                            static_cast<gint>(ev->y), &path, nullptr, nullptr,
                                                            nullptr)) {
                           return FALSE;
                         }
                         GtkTreeSelection* s = gtk_tree_view_get_selection(GTK_TREE_VIEW(tree));
                         const bool already = gtk_tree_selection_path_is_selected(s, path) != FALSE;
                         gtk_tree_path_free(path);
                         if (already) en->owner->Deliver(en->name, Event::kSelectionChanged);
                         return FALSE;
                       }), &entry);
      break;
    }
    case Kind::kButton: {
      entry.widget = gtk_button_new_with_label(caption.c_str());
      GtkWidget* label = gtk_bin_get_child(GTK_BIN(entry.widget));
      if (GTK_IS_LABEL(label)) {
        gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
        gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
      }
      g_signal_connect(entry.widget, "clicked", Cb([](GtkButton*, gpointer data) {
        auto* en = static_cast<Entry*>(data);
        en->owner->Deliver(en->name, Event::kClicked);
      }), &entry);
      break;
    }
  }
  gtk_widget_set_can_focus(entry.inner != nullptr ? entry.inner : entry.widget, def.tab_stop ? TRUE : FALSE);
  gtk_widget_set_sensitive(entry.widget, def.enabled ? TRUE : FALSE);
  if (def.page == 0) {
    gtk_layout_put(GTK_LAYOUT(fixed_), entry.widget, def.left, def.top);
  } else {
    gtk_fixed_put(GTK_FIXED(page_layer_), entry.widget, def.left, def.top - PageLayerTop());
  }
  gtk_widget_set_size_request(entry.widget, def.width, def.height);
  gtk_widget_show_all(entry.widget);
  entries_.push_back(std::move(e));

  if (def.kind == Kind::kBrowser) {
    // The page itself: the web view's own entry below the browser control,
    // with the class name the document window search looks for.
    auto doc = std::make_unique<Entry>();
    doc->name = std::string(def.name) + "/document";
    doc->widget = entry.widget;
    doc->class_name = std::string(kDocumentWindowClass);
    doc->parent = static_cast<WindowHandle>(entries_.size());
    doc->owner = this;
    entries_.push_back(std::move(doc));
  }
}

void MainWindow::Place(Entry& e) {
  if (e.widget == window_ || e.kind < 0) return;
  // Controls on the pages sit on the tab control's page layer and move with
  // it.
  if (e.page == 0) {
    gtk_layout_move(GTK_LAYOUT(fixed_), e.widget, e.left, e.top);
  } else {
    gtk_fixed_move(GTK_FIXED(page_layer_), e.widget, e.left, e.top - PageLayerTop());
  }
  gtk_widget_set_size_request(e.widget, std::max(e.width, 0), std::max(e.height, 0));
}

void MainWindow::ApplyVisibility(Entry& e) {
  if (e.widget == window_ || e.kind < 0) return;
  const bool shown = e.visible && (e.page == 0 || e.page == current_page_);
  gtk_widget_set_visible(e.widget, shown ? TRUE : FALSE);
}

void MainWindow::SelectPage(int page) {
  if (page < 1 || page > 2) return;
  if (gtk_notebook_get_current_page(GTK_NOTEBOOK(notebook_)) != page - 1) {
    gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook_), page - 1);  // switch-page does the rest
    return;
  }
  current_page_ = page;
  for (auto& e : entries_) ApplyVisibility(*e);
}

void MainWindow::OnSwitchPage(GtkNotebook*, GtkWidget*, guint page, gpointer self) {
  auto* w = static_cast<MainWindow*>(self);
  w->current_page_ = static_cast<int>(page) + 1;
  for (auto& e : w->entries_) w->ApplyVisibility(*e);
}

void MainWindow::CreateAndShow() {
  Deliver(names::kMainWindow, Event::kCreated);
  if (closed_) return;
  gtk_widget_show_all(window_);
  // show_all also shows the controls of the hidden page; hide them again.
  for (auto& e : entries_) ApplyVisibility(*e);
  gtk_window_present(GTK_WINDOW(window_));
}

void MainWindow::Close() {
  if (closed_) return;
  Deliver(names::kMainWindow, Event::kAboutToBeDestroyed);
  // Reached only when the routine did not end the program (tests).
  closed_ = true;
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
  // Tab and Shift+Tab move the focus through the tab stops in the window
  // definition's order, both ways round; the browser is one stop (its page
  // keeps Ctrl+Tab).
  if ((event->keyval == GDK_KEY_Tab || event->keyval == GDK_KEY_ISO_Left_Tab || event->keyval == GDK_KEY_KP_Tab) &&
      (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) == 0) {
    const bool back = event->keyval == GDK_KEY_ISO_Left_Tab || (event->state & GDK_SHIFT_MASK) != 0;
    static_cast<MainWindow*>(self)->MoveFocus(back);
    return TRUE;
  }
  return FALSE;
}

void MainWindow::MoveFocus(bool back) {
  // The tab stops that can take the focus now: shown, enabled, on the page
  // shown.
  std::vector<GtkWidget*> stops;
  for (const layout::ControlDef& def : layout::Controls()) {
    if (!def.tab_stop) continue;
    Entry* e = Find(def.name);
    if (e == nullptr) continue;
    GtkWidget* target = e->inner != nullptr ? e->inner : e->widget;
    if (!gtk_widget_get_visible(e->widget) || !gtk_widget_is_sensitive(target)) continue;
    stops.push_back(target);
  }
  if (stops.empty()) return;
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window_));
  std::size_t at = stops.size();  // none focused: Tab starts at the first stop
  for (std::size_t i = 0; i < stops.size(); ++i) {
    if (focus != nullptr && (focus == stops[i] || gtk_widget_is_ancestor(focus, stops[i]))) at = i;
  }
  std::size_t next = 0;
  if (at == stops.size()) {
    next = back ? stops.size() - 1 : 0;
  } else {
    next = back ? (at + stops.size() - 1) % stops.size() : (at + 1) % stops.size();
  }
  gtk_widget_grab_focus(stops[next]);
}

gboolean MainWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<MainWindow*>(self)->Close();
  return TRUE;
}

void MainWindow::OnActiveChanged(GObject*, GParamSpec*, gpointer self) {
  auto* w = static_cast<MainWindow*>(self);
  if (w->activated_ || !gtk_window_is_active(GTK_WINDOW(w->window_))) return;
  w->activated_ = true;
  w->Deliver(names::kMainWindow, Event::kFirstActivation);
}

int32_t MainWindow::Deliver(std::string_view control, Event event, const EventArgs& args) {
  if (closed_) return 0;
  const std::optional<Routine> routine = FindBinding(control, event);
  if (!routine || !runner_) return 0;
  return runner_(*routine, args);
}

MainWindow::Entry* MainWindow::Find(std::string_view name) const {
  for (const auto& e : entries_) {
    if (e->name == name) return e.get();
  }
  return nullptr;
}

MainWindow::Entry* MainWindow::FromHandle(WindowHandle handle) const {
  if (handle < 1 || handle > static_cast<WindowHandle>(entries_.size())) return nullptr;
  return entries_[static_cast<std::size_t>(handle - 1)].get();
}

GtkWidget* MainWindow::Widget(std::string_view name) const {
  Entry* e = Find(name);
  return e != nullptr ? e->widget : nullptr;
}

WindowHandle MainWindow::Handle(std::string_view name) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i]->name == name) return static_cast<WindowHandle>(i + 1);
  }
  return 0;
}

WindowHandle MainWindow::document_window() const {
  return Handle(std::string(names::kBrowser) + "/document");
}

bool MainWindow::IsWindow(WindowHandle handle) { return !closed_ && FromHandle(handle) != nullptr; }

std::string MainWindow::ClassName(WindowHandle handle) {
  Entry* e = FromHandle(handle);
  if (e == nullptr) return std::string();
  return e->class_name.substr(0, 99);
}

std::vector<WindowHandle> MainWindow::Children(WindowHandle handle) {
  std::vector<WindowHandle> out;
  if (FromHandle(handle) == nullptr) return out;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i]->parent == handle) out.push_back(static_cast<WindowHandle>(i + 1));
  }
  return out;
}

WebKitWebView* MainWindow::WebViewOf(WindowHandle handle) {
  Entry* e = FromHandle(handle);
  if (e == nullptr || e->widget != GTK_WIDGET(web_view_)) return nullptr;
  return web_view_;
}

void MainWindow::WriteContent(Entry& e, const Text& text) {
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(e.inner));
  e.suppress_change = true;
  gtk_text_buffer_set_text(buffer, ToViewText(SafeUtf8(text)).c_str(), -1);
  GtkTextIter start;
  gtk_text_buffer_get_start_iter(buffer, &start);
  gtk_text_buffer_place_cursor(buffer, &start);
  e.suppress_change = false;
  // Exactly once per write, also when the text did not change.
  Deliver(e.name, Event::kContentChanged);
}

void MainWindow::WritePicture(Entry& e, const Text& bytes) {
  e.ClearFrames();
  if (!bytes.empty() && decoder_) {
    for (const PictureFrame& f : decoder_(bytes)) {
      if (f.width <= 0 || f.height <= 0 ||
          f.rgba.size() < static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height) * 4) {
        continue;
      }
      cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, f.width, f.height);
      if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        continue;
      }
      cairo_surface_flush(s);
      unsigned char* data = cairo_image_surface_get_data(s);
      const int stride = cairo_image_surface_get_stride(s);
      for (int y = 0; y < f.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        const uint8_t* src = f.rgba.data() + static_cast<std::size_t>(y) * f.width * 4;
        for (int x = 0; x < f.width; ++x) {
          const uint32_t a = src[x * 4 + 3];
          const uint32_t r = src[x * 4] * a / 255, g = src[x * 4 + 1] * a / 255, b = src[x * 4 + 2] * a / 255;
          row[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
      }
      cairo_surface_mark_dirty(s);
      e.frames.push_back(s);
      // Browsers play a frame without a delay for a tenth of a second.
      e.delays.push_back(f.delay_ms > 10 ? f.delay_ms : 100);
    }
  }
  if (e.frames.size() > 1) {
    struct Tick {
      static gboolean Next(gpointer data) {
        auto* en = static_cast<Entry*>(data);
        en->frame = (en->frame + 1) % en->frames.size();
        gtk_widget_queue_draw(en->widget);
        en->animation = g_timeout_add(static_cast<guint>(en->delays[en->frame]), Next, en);
        return G_SOURCE_REMOVE;
      }
    };
    e.animation = g_timeout_add(static_cast<guint>(e.delays[0]), Tick::Next, &e);
  }
  gtk_widget_queue_draw(e.widget);
}

void MainWindow::WriteControlProperty(std::string_view control, int property, const PropertyValue& value) {
  Entry* e = Find(control);
  if (e == nullptr) return;
  const bool is_window = e->widget == window_;
  switch (property) {
    case prop::kLeft: e->left = AsInt(value); break;
    case prop::kTop: e->top = AsInt(value); break;
    case prop::kWidth: e->width = AsInt(value); break;
    case prop::kHeight: e->height = AsInt(value); break;
    case prop::kTag: e->tag = AsText(value); return;
    case prop::kVisible:
      e->visible = AsBool(value);
      if (is_window) {
        gtk_widget_set_visible(window_, e->visible ? TRUE : FALSE);
      } else {
        ApplyVisibility(*e);
      }
      return;
    case prop::kDisabled: gtk_widget_set_sensitive(e->widget, AsBool(value) ? FALSE : TRUE); return;
    case prop::kMousePointer: e->mouse_pointer = AsInt(value); return;
    default: break;
  }
  if (property <= prop::kHeight) {
    if (is_window) {
      if (property <= prop::kTop) gtk_window_move(GTK_WINDOW(window_), e->left, e->top);
    } else {
      Place(*e);
    }
    return;
  }
  if (is_window && property == prop::kCaption) {
    // The countdown writes its title every second; a title that reads the
    // same is not sent to the window manager again.
    const std::string title = SafeUtf8(AsText(value));
    const char* now = gtk_window_get_title(GTK_WINDOW(window_));
    if (now == nullptr || title != now) gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
    return;
  }
  const auto kind = static_cast<Kind>(e->kind);
  if (e->kind >= 0 && kind == Kind::kEditBox && property == prop::kContent) {
    WriteContent(*e, AsText(value));
  } else if (e->kind >= 0 && kind == Kind::kPictureBox && property == prop::kPicture) {
    WritePicture(*e, AsText(value));
  } else if (e->kind >= 0 && kind == Kind::kListBox && property == prop::kSelection) {
    const int32_t index = AsInt(value);
    GtkTreeSelection* sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(e->inner));
    e->suppress_selection = true;
    if (index < 0 || index >= static_cast<int32_t>(e->items.size())) {
      gtk_tree_selection_unselect_all(sel);
    } else {
      GtkTreePath* path = gtk_tree_path_new_from_indices(index, -1);
      gtk_tree_selection_select_path(sel, path);
      gtk_tree_path_free(path);
    }
    e->suppress_selection = false;
  } else if (e->kind >= 0 && (kind == Kind::kLabel) && property == prop::kCaption) {
    std::string caption = SafeUtf8(AsText(value));
    if (caption == e->caption) return;  // nothing to draw again
    e->caption = std::move(caption);
    gtk_widget_queue_draw(e->widget);
  }
}

PropertyValue MainWindow::ReadControlProperty(std::string_view control, int property) {
  Entry* e = Find(control);
  if (e == nullptr) return {};
  const bool is_window = e->widget == window_;
  switch (property) {
    case prop::kLeft: return e->left;
    case prop::kTop: return e->top;
    case prop::kWidth: return e->width;
    case prop::kHeight: return e->height;
    case prop::kTag: return e->tag;
    case prop::kVisible: return e->visible;
    case prop::kDisabled: return gtk_widget_get_sensitive(e->widget) ? false : true;
    case prop::kMousePointer: return e->mouse_pointer;
    default: break;
  }
  if (is_window && property == prop::kCaption) {
    const char* title = gtk_window_get_title(GTK_WINDOW(window_));
    return Utf8ToGbk(title != nullptr ? title : "");
  }
  if (e->kind < 0) return {};
  const auto kind = static_cast<Kind>(e->kind);
  if (kind == Kind::kEditBox && property == prop::kContent) {
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(e->inner));
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    Text out = Utf8ToGbk(FromViewText(text));
    g_free(text);
    return out;
  }
  if (kind == Kind::kListBox && property == prop::kSelection) {
    GtkTreeSelection* sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(e->inner));
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(sel, &model, &iter)) return int32_t{-1};
    GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
    const int32_t index = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    return index;
  }
  if (kind == Kind::kLabel && property == prop::kCaption) return Utf8ToGbk(e->caption);
  return {};
}

int32_t MainWindow::ListItemCount(std::string_view list_box) {
  Entry* e = Find(list_box);
  if (e == nullptr || e->kind != static_cast<int>(Kind::kListBox)) return 0;
  return static_cast<int32_t>(e->items.size());
}

Text MainWindow::ListItemText(std::string_view list_box, int32_t index) {
  Entry* e = Find(list_box);
  if (e == nullptr || e->kind != static_cast<int>(Kind::kListBox)) return Text();
  if (index < 0 || index >= static_cast<int32_t>(e->items.size())) return Text();
  return e->items[static_cast<std::size_t>(index)].first;
}

int32_t MainWindow::ListAddItem(std::string_view list_box, const Text& text, int32_t item_data) {
  Entry* e = Find(list_box);
  if (e == nullptr || e->kind != static_cast<int>(Kind::kListBox)) return -1;
  GtkListStore* store = GTK_LIST_STORE(gtk_tree_view_get_model(GTK_TREE_VIEW(e->inner)));
  GtkTreeIter iter;
  e->suppress_selection = true;
  gtk_list_store_insert_with_values(store, &iter, -1, 0, SafeUtf8(text).c_str(), -1);
  e->suppress_selection = false;
  e->items.emplace_back(text, item_data);
  return static_cast<int32_t>(e->items.size() - 1);
}

int32_t MainWindow::RaiseFeedbackEvent(std::string_view label, int32_t first, int32_t second, bool wait) {
  Entry* e = Find(label);
  if (e == nullptr) return 0;
  const std::string name = e->name;
  EventArgs args{first, second, 0};
  if (!wait) {
    PostToWindowThread([this, name, args] { Deliver(name, Event::kFeedback, args); });
    return 0;
  }
  return RunOnWindowThread([&] { return Deliver(name, Event::kFeedback, args); });
}

void WebViewNavigator::Navigate(const Text& address) {
  RunOnWindowThread([&] {
    WebKitWebView* view = window_.web_view();
    if (view == nullptr || window_.closed()) return;
    // As the IE control's Navigate does, an address without a scheme loads
    // over http.
    const std::string uri = address.empty() ? std::string("about:blank") : GbkToUtf8(ControlAddress(address));
    webkit_web_view_load_uri(view, uri.c_str());
  });
}

WindowHandle WebViewNavigator::Handle() { return window_.Handle(names::kBrowser); }

}  // namespace brevane::gtk
