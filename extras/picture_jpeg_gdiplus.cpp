// JPEG pictures through GDI+ where the program is built without libjpeg
// (the Windows cross build).
#include "extras/picture.h"

namespace brevane {

Picture DecodeJpegWithPlatformCodec(std::string_view bytes);

Picture DecodeJpeg(std::string_view bytes) {
  if (bytes.size() < 2 || static_cast<uint8_t>(bytes[0]) != 0xFF || static_cast<uint8_t>(bytes[1]) != 0xD8) {
    return Picture();
  }
  return DecodeJpegWithPlatformCodec(bytes);
}

}  // namespace brevane
