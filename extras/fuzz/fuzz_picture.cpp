// Every banner format through the one entry the picture box uses.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "extras/picture.h"
#include "extras/tests/samples.h"

namespace {

void Check(const brevane::Picture& picture) {
  for (const brevane::shell::PictureFrame& f : picture.frames) {
    if (!brevane::PictureSizeAllowed(f.width, f.height)) __builtin_trap();
    if (f.rgba.size() != static_cast<std::size_t>(f.width) * f.height * 4) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The image library loads its format modules once; do it before the
  // first input so that it is not taken for a leak.
  using namespace brevane::samples;
  brevane::DecodePicture(Gif(2, 2, {{1, 2, 3}, {4, 5, 6}}, 1));
  brevane::DecodePicture(Bitmap(2, 2, {1, 2, 3}));
  brevane::DecodePicture(Icon(2, 2, {1, 2, 3}, 1));
  brevane::DecodePicture(Icon(2, 2, {1, 2, 3}, 2));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Check(brevane::DecodePicture(std::string_view(reinterpret_cast<const char*>(data), size)));
  return 0;
}
