// Our skin format and its colour adjustment. A skin is a few bytes:
//
//   ".SHE"          4 bytes, the signature
//   version         1 byte, 1
//   colours         4 x 3 bytes, red green blue each:
//                   window face, text, button face, edit background
//
// Bytes after the colours are ignored, so later versions can append. The
// parser has no dependencies: the skin engine library (which links no C
// runtime) and the tests use the same code.
#pragma once

namespace brevane::skin {

struct Rgb {
  unsigned char red = 0;
  unsigned char green = 0;
  unsigned char blue = 0;
};

struct SkinColours {
  Rgb face;
  Rgb text;
  Rgb button_face;
  Rgb edit_background;
};

inline constexpr int kSkinHeaderSize = 5;
inline constexpr int kSkinSize = kSkinHeaderSize + 4 * 3;
inline constexpr unsigned char kSkinVersion = 1;

// Reads a skin; false for anything that is not one of ours (null data, too
// short, another signature or version).
bool ParseSkin(const unsigned char* data, int size, SkinColours* out);

// The colour adjustment the engine's callers pass: hue turned by h degrees
// (any value, taken modulo 360), saturation and value each moved by s and v
// percent of their full range (clamped to -100 .. 100). 0, 0, 0 leaves the
// colour as it is.
Rgb AdjustHsv(Rgb colour, int h, int s, int v);

}  // namespace brevane::skin
