// Pieces of the GTK widgets the main window is made of: texts converted at
// GTK's edge, the style sheet, the window's face colour, the offset of the
// tab control's page layer, and a picture box's frames as cairo surfaces.
#pragma once

#include <cairo.h>
#include <gtk/gtk.h>

#include <cstddef>
#include <string>
#include <vector>

#include "base/text/text.h"
#include "ui/shell.h"

namespace brevane::gtk {

// GBK as valid UTF-8: bytes that do not convert never reach GTK.
std::string SafeUtf8(const Text& gbk);
// Edit boxes hold CR LF line breaks as the program sees them; the text view
// holds LF.
std::string ToViewText(const std::string& utf8);
std::string FromViewText(const std::string& utf8);

// Top of the layer that carries the page controls, in the tab control: the
// highest page control's top.
int PageLayerTop();

// The theme's window background, the face colour of dialogs and controls.
bool FaceColour(GtkWidget* w, GdkRGBA* out);

// The look of tabs, edit boxes, the list and buttons, for the whole screen.
void InstallStyleSheet();

// A capture-free lambda as a GLib signal callback.
template <typename F>
GCallback Cb(F f) {
  return reinterpret_cast<GCallback>(+f);
}

// A picture box's frames as surfaces, and scaled to the box's size on first
// draw into surfaces like the one drawn on: on X11 those are pixmaps in the
// X server, so each scaled frame is uploaded once, and a frame change is a
// copy inside the server, with no upload and no filtered scaling.
class FrameSurfaces {
 public:
  FrameSurfaces() = default;
  FrameSurfaces(const FrameSurfaces&) = delete;
  FrameSurfaces& operator=(const FrameSurfaces&) = delete;
  ~FrameSurfaces() { Clear(); }
  // All frames or, where one cannot be made, none.
  void Load(const std::vector<shell::PictureFrame>& frames);
  void Clear();
  // That frame stretched to width x height over the face colour, kept in an
  // opaque surface made like window's (a pixmap of the window's depth on
  // X11), or nullptr.
  cairo_surface_t* Scaled(std::size_t frame, int width, int height, GdkWindow* window, const GdkRGBA& face);
  // Whether that frame is already scaled to width x height.
  bool Cached(std::size_t frame, int width, int height) const {
    return width == scaled_width_ && height == scaled_height_ && frame < scaled_.size() && scaled_[frame] != nullptr;
  }

 private:
  std::vector<cairo_surface_t*> frames_, scaled_;
  int scaled_width_ = 0, scaled_height_ = 0;
};

}  // namespace brevane::gtk
