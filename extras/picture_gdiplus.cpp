// GIF, bitmap, icon and cursor pictures (and JPEG where no libjpeg is built
// in) through GDI+. Every frame of an animated GIF is composed by GDI+ and
// copied out with its delay. Sizes are checked against the picture limits
// before any pixel memory is asked for.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/win32/com.h"
#include "extras/picture.h"
#include "extras/picture_headers.h"
#include "ui/shell.h"

namespace brevane {
namespace {

using namespace Gdiplus;

bool StartGdiplus() {
  static bool started = [] {
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    // GDI+ stays up until the process ends: pictures are decoded at start-up
    // and the banner keeps animating afterwards.
    return GdiplusStartup(&token, &input, nullptr) == Ok;
  }();
  return started;
}

// A stream over a copy of the bytes; the stream frees the copy.
com::Ref<IStream> MemoryStream(std::string_view bytes) {
  com::Ref<IStream> stream;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) return stream;
  void* p = GlobalLock(memory);
  if (p) {
    memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(memory);
  }
  if (!p || FAILED(CreateStreamOnHGlobal(memory, TRUE, stream.Receive()))) {
    stream.Reset();
    GlobalFree(memory);
  }
  return stream;
}

// A GDI+ image, disposed of when it goes.
struct DisposeImage {
  void operator()(GpBitmap* bitmap) const { DllExports::GdipDisposeImage(bitmap); }
};
using BitmapOwner = std::unique_ptr<GpBitmap, DisposeImage>;

bool CopyFrame(GpBitmap* bitmap, UINT width, UINT height, shell::PictureFrame* frame) {
  GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  BitmapData data{};
  if (DllExports::GdipBitmapLockBits(bitmap, &rect, ImageLockModeRead, PixelFormat32bppARGB, &data) != Ok) {
    return false;
  }
  frame->width = static_cast<int>(width);
  frame->height = static_cast<int>(height);
  frame->rgba.resize(static_cast<std::size_t>(width) * height * 4);
  for (UINT y = 0; y < height; ++y) {
    const auto* row = static_cast<const uint8_t*>(data.Scan0) + static_cast<std::ptrdiff_t>(y) * data.Stride;
    uint8_t* out = frame->rgba.data() + static_cast<std::size_t>(y) * width * 4;
    for (UINT x = 0; x < width; ++x) {
      // GDI+ gives blue, green, red, alpha.
      out[x * 4 + 0] = row[x * 4 + 2];
      out[x * 4 + 1] = row[x * 4 + 1];
      out[x * 4 + 2] = row[x * 4 + 0];
      out[x * 4 + 3] = row[x * 4 + 3];
    }
  }
  DllExports::GdipBitmapUnlockBits(bitmap, &data);
  return true;
}

// Frame delays of an animation, in milliseconds, or none.
std::vector<int> FrameDelays(GpBitmap* bitmap, UINT frames) {
  std::vector<int> delays;
  UINT size = 0;
  if (DllExports::GdipGetPropertyItemSize(bitmap, PropertyTagFrameDelay, &size) != Ok || size == 0) {
    return delays;
  }
  std::vector<uint8_t> buffer(size);
  auto* item = reinterpret_cast<PropertyItem*>(buffer.data());
  if (DllExports::GdipGetPropertyItem(bitmap, PropertyTagFrameDelay, size, item) != Ok) return delays;
  const auto* values = static_cast<const uint8_t*>(item->value);
  const UINT count = item->length / 4;
  for (UINT i = 0; i < frames && i < count; ++i) {
    const uint32_t centiseconds = values[i * 4] | (values[i * 4 + 1] << 8) | (values[i * 4 + 2] << 16) |
                                  (static_cast<uint32_t>(values[i * 4 + 3]) << 24);
    delays.push_back(static_cast<int>(centiseconds > 100000 ? 1000000 : centiseconds * 10));
  }
  return delays;
}

Picture Decode(std::string_view bytes, bool animated) {
  Picture picture;
  if (bytes.empty() || bytes.size() > 0x7FFFFFFF || !StartGdiplus()) return picture;
  const com::Ref<IStream> stream = MemoryStream(bytes);
  if (!stream) return picture;
  GpBitmap* created = nullptr;
  if (DllExports::GdipCreateBitmapFromStream(stream.get(), &created) != Ok || !created) return picture;
  const BitmapOwner owner(created);
  GpBitmap* bitmap = owner.get();
  UINT width = 0, height = 0;
  DllExports::GdipGetImageWidth(bitmap, &width);
  DllExports::GdipGetImageHeight(bitmap, &height);
  UINT frames = 1;
  if (animated) {
    GUID time = FrameDimensionTime;
    if (DllExports::GdipImageGetFrameCount(bitmap, &time, &frames) != Ok || frames == 0) frames = 1;
  }
  const bool allowed = width > 0 && height > 0 && PictureSizeAllowed(width, height) &&
                       frames <= static_cast<UINT>(kMaxAnimationFrames) &&
                       static_cast<int64_t>(frames) * width * height <= kMaxPicturePixels;
  if (allowed) {
    const std::vector<int> delays = frames > 1 ? FrameDelays(bitmap, frames) : std::vector<int>();
    GUID time = FrameDimensionTime;
    for (UINT i = 0; i < frames; ++i) {
      if (frames > 1 && DllExports::GdipImageSelectActiveFrame(bitmap, &time, i) != Ok) break;
      shell::PictureFrame frame;
      if (!CopyFrame(bitmap, width, height, &frame)) break;
      if (frames > 1) frame.delay_ms = shell::PlayedFrameDelay(i < delays.size() ? delays[i] : 0);
      picture.frames.push_back(std::move(frame));
    }
    if (picture.frames.size() != frames) picture.frames.clear();
  }
  return picture;
}

}  // namespace

Picture DecodeWithPlatformCodec(std::string_view bytes, PictureFormat format) {
  switch (format) {
    // The headers are checked before GDI+ sees the bytes, as on every
    // platform: GDI+ takes colour tables and logical screens of any size.
    case PictureFormat::kGif:
      if (CountGifFrames(bytes) < 1) return Picture();
      return Decode(bytes, true);
    case PictureFormat::kBitmap:
      if (!BitmapSizeAllowed(bytes)) return Picture();
      return Decode(bytes, false);
    case PictureFormat::kIcon:
      if (!IconSizeAllowed(bytes)) return Picture();
      return Decode(bytes, false);
    case PictureFormat::kCursor: {
      if (!IconSizeAllowed(bytes)) return Picture();
      // A cursor file is an icon file with hot spots where an icon keeps its
      // colour count and planes; read as an icon it gives the same pixels.
      std::string icon(bytes);
      icon[2] = 1;
      return Decode(icon, false);
    }
    default:
      return Picture();
  }
}

Picture DecodeJpegWithPlatformCodec(std::string_view bytes) { return Decode(bytes, false); }

}  // namespace brevane
