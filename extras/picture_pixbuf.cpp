// GIF, bitmap, icon and cursor pictures through GdkPixbuf. The headers are
// checked first (picture_headers.h), so the library is never asked for a picture beyond the
// limits, and an animated GIF is played through once to collect its composed
// frames with their delays.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdlib>

#include "extras/picture.h"
#include "extras/picture_headers.h"

namespace brevane {
namespace {

bool CopyPixbuf(GdkPixbuf* pixbuf, shell::PictureFrame& frame) {
  if (!pixbuf || gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB ||
      gdk_pixbuf_get_bits_per_sample(pixbuf) != 8) {
    return false;
  }
  const int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  if (!PictureSizeAllowed(width, height) || channels != (alpha ? 4 : 3)) return false;
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf);
  frame.width = width;
  frame.height = height;
  frame.rgba.resize(static_cast<std::size_t>(width) * height * 4);
  uint8_t* out = frame.rgba.data();
  for (int y = 0; y < height; ++y) {
    const guint8* in = pixels + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < width; ++x, in += channels, out += 4) {
      out[0] = in[0], out[1] = in[1], out[2] = in[2];
      out[3] = alpha ? in[3] : 0xFF;
    }
  }
  return true;
}

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
// Plays the animation through once: each step advances the clock by exactly
// the current frame's delay, which lands on the next frame.
bool CollectFrames(GdkPixbufAnimation* animation, int frames, Picture& picture) {
  GTimeVal clock{0, 0};
  GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &clock);
  if (!iter) return false;
  bool ok = true;
  for (int i = 0; i < frames && ok; ++i) {
    shell::PictureFrame frame;
    ok = CopyPixbuf(gdk_pixbuf_animation_iter_get_pixbuf(iter), frame);
    const int delay = gdk_pixbuf_animation_iter_get_delay_time(iter);
    frame.delay_ms = delay > 0 ? delay : 0;
    if (ok) picture.frames.push_back(std::move(frame));
    if (delay <= 0) break;  // this frame stays for ever
    g_time_val_add(&clock, static_cast<glong>(delay) * 1000);
    gdk_pixbuf_animation_iter_advance(iter, &clock);
  }
  g_object_unref(iter);
  return ok;
}
G_GNUC_END_IGNORE_DEPRECATIONS

}  // namespace

Picture DecodeWithPlatformCodec(std::string_view bytes, PictureFormat format) {
  Picture picture;
  const char* type = nullptr;
  int frames = 1;
  switch (format) {
    case PictureFormat::kGif:
      type = "gif";
      frames = CountGifFrames(bytes);
      if (frames < 1) return picture;
      break;
    case PictureFormat::kBitmap:
      type = "bmp";
      if (!BitmapSizeAllowed(bytes)) return picture;
      break;
    case PictureFormat::kIcon:
    case PictureFormat::kCursor:
      type = "ico";
      if (!IconSizeAllowed(bytes)) return picture;
      break;
    default:
      return picture;
  }
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, nullptr);
  if (!loader) return picture;
  bool ok = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()),
                                    bytes.size(), nullptr);
  // Closing is needed in every case; its failure means truncated data.
  ok = gdk_pixbuf_loader_close(loader, nullptr) && ok;
  GdkPixbufAnimation* animation = ok ? gdk_pixbuf_loader_get_animation(loader) : nullptr;
  if (animation) {
    if (gdk_pixbuf_animation_is_static_image(animation)) {
      shell::PictureFrame frame;
      if (CopyPixbuf(gdk_pixbuf_animation_get_static_image(animation), frame)) {
        picture.frames.push_back(std::move(frame));
      }
    } else if (!CollectFrames(animation, frames, picture)) {
      picture.frames.clear();
    }
  }
  g_object_unref(loader);
  return picture;
}

}  // namespace brevane
