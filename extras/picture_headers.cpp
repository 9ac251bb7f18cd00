#include "extras/picture_headers.h"

#include <cstdint>
#include <cstdlib>

#include "extras/picture.h"

namespace brevane {
namespace {

uint8_t U8(std::string_view b, std::size_t i) { return static_cast<uint8_t>(b[i]); }
uint32_t U16(std::string_view b, std::size_t i) { return U8(b, i) | (U8(b, i + 1) << 8); }
uint32_t U32(std::string_view b, std::size_t i) { return U16(b, i) | (U16(b, i + 2) << 16); }
uint32_t U32Big(std::string_view b, std::size_t i) {
  return (uint32_t{U8(b, i)} << 24) | (U8(b, i + 1) << 16) | (U8(b, i + 2) << 8) | U8(b, i + 3);
}

// Skips a chain of GIF data sub-blocks; false when the data ends first.
bool SkipSubBlocks(std::string_view b, std::size_t& at) {
  while (true) {
    if (at >= b.size()) return false;
    const std::size_t length = U8(b, at++);
    if (length == 0) return true;
    if (b.size() - at < length) return false;
    at += length;
  }
}

// The sizes the bitmap information header has in its known versions; the
// image library would reserve memory for any size a header claims.
bool KnownHeaderSize(uint32_t size) {
  switch (size) {
    case 12: case 40: case 52: case 56: case 64: case 108: case 124:
      return true;
    default:
      return false;
  }
}

// A colour table has at most 256 entries; the image library would reserve
// memory for whatever count the header names.
bool PaletteAllowed(std::string_view b, std::size_t header) {
  return b.size() >= header + 40 && U32(b, header + 32) <= 256;
}

}  // namespace

// Number of images in a GIF, or -1 when its block structure is damaged or
// it exceeds the limits.
int CountGifFrames(std::string_view b) {
  if (b.size() < 13) return -1;
  const int64_t width = U16(b, 6), height = U16(b, 8);
  if (!PictureSizeAllowed(width, height)) return -1;
  std::size_t at = 13;
  if (U8(b, 10) & 0x80) at += 3u << ((U8(b, 10) & 7) + 1);
  int frames = 0;
  while (true) {
    if (at >= b.size()) return -1;
    const uint8_t block = U8(b, at++);
    if (block == 0x3B) break;
    if (block == 0x21) {
      if (at >= b.size()) return -1;
      ++at;  // label
      if (!SkipSubBlocks(b, at)) return -1;
    } else if (block == 0x2C) {
      if (b.size() - at < 10) return -1;
      if (!PictureSizeAllowed(U16(b, at + 4), U16(b, at + 6))) return -1;
      // A frame must lie within the logical screen: GdkPixbuf composes a
      // frame that reaches past it with a negative length (a heap write).
      if (int64_t{U16(b, at)} + U16(b, at + 4) > width || int64_t{U16(b, at + 2)} + U16(b, at + 6) > height)
        return -1;
      const uint8_t packed = U8(b, at + 8);
      at += 9;
      if (packed & 0x80) at += 3u << ((packed & 7) + 1);
      if (at >= b.size()) return -1;
      ++at;  // minimum code size
      if (!SkipSubBlocks(b, at)) return -1;
      if (++frames > kMaxAnimationFrames) return -1;
    } else {
      return -1;
    }
  }
  if (frames == 0 || frames * width * height > kMaxPicturePixels) return -1;
  return frames;
}

// The header's size must be within the limits and the pixel data the header
// describes must lie within the bytes: the library would show a bitmap cut
// short as a picture with a blank part.
bool BitmapSizeAllowed(std::string_view b) {
  if (b.size() < 30) return false;
  const uint64_t data = U32(b, 10);
  const uint32_t header = U32(b, 14);
  if (!KnownHeaderSize(header) || data < 14 + uint64_t{header}) return false;
  int64_t width = 0, height = 0;
  uint32_t bits = 0, compression = 0, image_size = 0;
  if (header == 12) {
    width = U16(b, 18), height = U16(b, 20), bits = U16(b, 24);
  } else {
    if (b.size() < 54) return false;
    width = static_cast<int32_t>(U32(b, 18));
    height = std::llabs(static_cast<int32_t>(U32(b, 22)));
    bits = U16(b, 28), compression = U32(b, 30), image_size = U32(b, 34);
    if (!PaletteAllowed(b, 14)) return false;
  }
  if (!PictureSizeAllowed(width, height) || bits == 0 || bits > 32) return false;
  const uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
  const uint64_t needed = (compression == 0 || compression == 3)
                              ? stride * static_cast<uint64_t>(height)
                              : image_size;
  return data <= b.size() && needed <= b.size() - data;
}

// Every entry of an icon or cursor directory must lie within the bytes (the
// library itself would show a cut-off picture), and the embedded picture's
// own header must stay within the limits.
bool IconSizeAllowed(std::string_view b) {
  const std::size_t count = U16(b, 4);
  if (b.size() < 6 + count * 16) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = 6 + i * 16;
    const std::size_t size = U32(b, entry + 8);
    const std::size_t offset = U32(b, entry + 12);
    if (offset > b.size() || size > b.size() - offset || size < 24) return false;
    if (b.substr(offset, 4) == "\x89PNG") {
      if (!PictureSizeAllowed(U32Big(b, offset + 16), U32Big(b, offset + 20))) return false;
    } else {
      if (!KnownHeaderSize(U32(b, offset)) || U32(b, offset) < 40) return false;
      const int64_t width = static_cast<int32_t>(U32(b, offset + 4));
      const int64_t height = static_cast<int32_t>(U32(b, offset + 8));
      if (!PictureSizeAllowed(width, std::llabs(height) / 2 + 1)) return false;
      if (!PaletteAllowed(b, offset) || U32(b, offset + 20) > size) return false;
    }
  }
  return true;
}

}  // namespace brevane
