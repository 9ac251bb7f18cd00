// The banner picture: recognising an image file from its first bytes and
// decoding it into RGBA frames the shell can stretch onto the banner.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "ui/picture_frame.h"

namespace brevane {

enum class PictureFormat { kNone, kJpeg, kBitmap, kIcon, kCursor, kGif, kPcx };

// The format, taken from the first six bytes only:
//   FF D8                          JPEG
//   "BM"                           Windows bitmap
//   00 00 01 00, non-zero count    icon
//   00 00 02 00, non-zero count    cursor
//   "GIF87a" or "GIF89a"           GIF
//   0A, run-length encoded, 8 bits per pixel with version 5 or lower, or
//   1 bit per pixel with version 3 PCX
// Fewer than six bytes, or any other start: none.
PictureFormat DetectPictureFormat(std::string_view bytes);

struct Picture {
  std::vector<shell::PictureFrame> frames;
  bool empty() const { return frames.empty(); }
};

// Limits every decoder holds to, so hostile bytes cannot ask for huge memory.
inline constexpr int kMaxPictureDimension = 16384;
inline constexpr int64_t kMaxFramePixels = int64_t{1} << 24;       // 16 Mi pixels
inline constexpr int64_t kMaxPicturePixels = int64_t{1} << 25;     // all frames together
inline constexpr int kMaxAnimationFrames = 1000;

// Decodes the picture; bytes of no known format, or that the decoder
// rejects (truncated, corrupt, beyond the limits), give an empty picture.
Picture DecodePicture(std::string_view bytes);

// The decoders behind DecodePicture, each for its own format only.
Picture DecodeJpeg(std::string_view bytes);
Picture DecodePcx(std::string_view bytes);
// GIF (every animation frame composed, with its delay), bitmap, icon and
// cursor, through the platform's image library.
Picture DecodeWithPlatformCodec(std::string_view bytes, PictureFormat format);

// True when width x height is within the limits above.
bool PictureSizeAllowed(int64_t width, int64_t height);

}  // namespace brevane
