#include "app/gtk/widget_parts.h"

#include <algorithm>

#include "base/text/charset.h"
#include "ui/layout.h"

namespace brevane::gtk {
namespace {

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

void DestroyAll(std::vector<cairo_surface_t*>& surfaces) {
  for (cairo_surface_t* s : surfaces) cairo_surface_destroy(s);
  surfaces.clear();
}

// A straight RGBA frame as a premultiplied cairo surface, or nullptr.
cairo_surface_t* Surface(const shell::PictureFrame& f) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, f.width, f.height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
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
  return s;
}

}  // namespace

std::string SafeUtf8(const Text& gbk) {
  std::string utf8 = GbkToUtf8(gbk);
  if (g_utf8_validate(utf8.data(), static_cast<gssize>(utf8.size()), nullptr)) return utf8;
  gchar* valid = g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size()));
  std::string out(valid);
  g_free(valid);
  return out;
}

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

bool FaceColour(GtkWidget* w, GdkRGBA* out) {
  GtkWidget* top = gtk_widget_get_toplevel(w);
  return gtk_style_context_lookup_color(gtk_widget_get_style_context(top != nullptr ? top : w),
                                        "theme_bg_color", out) != FALSE;
}

void InstallStyleSheet() {
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
}

void FrameSurfaces::Load(const std::vector<shell::PictureFrame>& frames) {
  Clear();
  for (const shell::PictureFrame& f : frames) {
    cairo_surface_t* s = Surface(f);
    if (s == nullptr) {
      Clear();
      return;
    }
    frames_.push_back(s);
  }
}

void FrameSurfaces::Clear() {
  DestroyAll(scaled_);
  DestroyAll(frames_);
}

cairo_surface_t* FrameSurfaces::Scaled(std::size_t frame, int width, int height, GdkWindow* window,
                                       const GdkRGBA& face) {
  if (frames_.empty() || width <= 0 || height <= 0) return nullptr;
  if (width != scaled_width_ || height != scaled_height_ || scaled_.size() != frames_.size()) {
    DestroyAll(scaled_);
    scaled_.assign(frames_.size(), nullptr);
    scaled_width_ = width;
    scaled_height_ = height;
  }
  const std::size_t i = std::min(frame, frames_.size() - 1);
  if (scaled_[i] == nullptr) {
    cairo_surface_t* s = frames_[i];
    const double sw = cairo_image_surface_get_width(s), sh = cairo_image_surface_get_height(s);
    cairo_surface_t* out = window ? gdk_window_create_similar_surface(window, CAIRO_CONTENT_COLOR, width, height)
                                  : cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (out == nullptr || cairo_surface_status(out) != CAIRO_STATUS_SUCCESS) {
      if (out) cairo_surface_destroy(out);
      return nullptr;
    }
    cairo_t* cr = cairo_create(out);
    // Transparent pixels show the face colour, as over the window itself.
    gdk_cairo_set_source_rgba(cr, &face);
    cairo_paint(cr);
    // Stretched to the whole box, whatever the picture's proportions.
    cairo_scale(cr, width / sw, height / sh);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_destroy(cr);
    scaled_[i] = out;
  }
  return scaled_[i];
}

}  // namespace brevane::gtk
