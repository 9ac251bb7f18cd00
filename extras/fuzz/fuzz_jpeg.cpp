// The JPEG decoder on its own, whatever the first bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "extras/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const brevane::Picture p =
      brevane::DecodeJpeg(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const brevane::shell::PictureFrame& f : p.frames) {
    if (f.rgba.size() != static_cast<std::size_t>(f.width) * f.height * 4) __builtin_trap();
  }
  return 0;
}
