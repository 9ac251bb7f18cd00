// Header checks for the pictures a platform library decodes (GIF, bitmap,
// icon, cursor): run before the library sees the bytes, so it is never asked
// for a picture beyond the limits, with a colour table beyond 256 entries,
// or with pixel data the bytes do not hold (libraries show such pictures cut
// short, or reserve memory for whatever a header claims).
#pragma once

#include <string_view>

namespace brevane {

// Number of images in a GIF, or -1 when its block structure is damaged, it
// exceeds the limits (the logical screen included) or a frame reaches
// outside the logical screen.
int CountGifFrames(std::string_view bytes);
// A bitmap file whose header is known, within the limits, and whose pixel
// data lies within the bytes.
bool BitmapSizeAllowed(std::string_view bytes);
// An icon or cursor file whose every entry lies within the bytes and whose
// embedded pictures' headers are within the limits.
bool IconSizeAllowed(std::string_view bytes);

}  // namespace brevane
