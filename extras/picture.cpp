#include "extras/picture.h"

namespace brevane {
namespace {

uint8_t ByteAt(std::string_view bytes, std::size_t i) { return static_cast<uint8_t>(bytes[i]); }

}  // namespace

PictureFormat DetectPictureFormat(std::string_view bytes) {
  if (bytes.size() < 6) return PictureFormat::kNone;
  const uint8_t b0 = ByteAt(bytes, 0), b1 = ByteAt(bytes, 1), b2 = ByteAt(bytes, 2),
                b3 = ByteAt(bytes, 3), b4 = ByteAt(bytes, 4), b5 = ByteAt(bytes, 5);
  if (b0 == 0xFF && b1 == 0xD8) return PictureFormat::kJpeg;
  if (b0 == 'B' && b1 == 'M') return PictureFormat::kBitmap;
  const bool has_count = (b4 | b5) != 0;
  if (b0 == 0 && b1 == 0 && b2 == 1 && b3 == 0 && has_count) return PictureFormat::kIcon;
  if (b0 == 0 && b1 == 0 && b2 == 2 && b3 == 0 && has_count) return PictureFormat::kCursor;
  if (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a") return PictureFormat::kGif;
  if (b0 == 0x0A && b2 == 1 && ((b3 == 8 && b1 <= 5) || (b3 == 1 && b1 == 3))) {
    return PictureFormat::kPcx;
  }
  return PictureFormat::kNone;
}

bool PictureSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureDimension &&
         height <= kMaxPictureDimension && width * height <= kMaxFramePixels;
}

Picture DecodePicture(std::string_view bytes) {
  const PictureFormat format = DetectPictureFormat(bytes);
  switch (format) {
    case PictureFormat::kNone:
      return {};
    case PictureFormat::kJpeg:
      return DecodeJpeg(bytes);
    case PictureFormat::kPcx:
      return DecodePcx(bytes);
    case PictureFormat::kBitmap:
    case PictureFormat::kIcon:
    case PictureFormat::kCursor:
    case PictureFormat::kGif:
      return DecodeWithPlatformCodec(bytes, format);
  }
  return {};
}

}  // namespace brevane
