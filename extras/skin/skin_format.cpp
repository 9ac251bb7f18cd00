#include "extras/skin/skin_format.h"

namespace brevane::skin {
namespace {

Rgb ReadRgb(const unsigned char* p) { return Rgb{p[0], p[1], p[2]}; }

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

}  // namespace

bool ParseSkin(const unsigned char* data, int size, SkinColours* out) {
  if (data == nullptr || out == nullptr || size < kSkinSize) return false;
  if (data[0] != '.' || data[1] != 'S' || data[2] != 'H' || data[3] != 'E') return false;
  if (data[4] != kSkinVersion) return false;
  const unsigned char* p = data + kSkinHeaderSize;
  out->face = ReadRgb(p);
  out->text = ReadRgb(p + 3);
  out->button_face = ReadRgb(p + 6);
  out->edit_background = ReadRgb(p + 9);
  return true;
}

// Integer HSV with hue in 0..1535 (six sectors of 256) and saturation and
// value in 0..255, so the engine needs no floating point support.
Rgb AdjustHsv(Rgb colour, int h, int s, int v) {
  if (h == 0 && s == 0 && v == 0) return colour;
  const int r = colour.red, g = colour.green, b = colour.blue;
  const int max = r > g ? (r > b ? r : b) : (g > b ? g : b);
  const int min = r < g ? (r < b ? r : b) : (g < b ? g : b);
  const int delta = max - min;
  int hue = 0;  // 0 .. 1535
  if (delta != 0) {
    if (max == r) {
      hue = (g - b) * 256 / delta;
      if (hue < 0) hue += 1536;
    } else if (max == g) {
      hue = 512 + (b - r) * 256 / delta;
    } else {
      hue = 1024 + (r - g) * 256 / delta;
    }
  }
  int sat = max == 0 ? 0 : delta * 255 / max;
  int val = max;

  int turn = h % 360;
  if (turn < 0) turn += 360;
  hue = (hue + turn * 1536 / 360) % 1536;
  sat = Clamp(sat + Clamp(s, -100, 100) * 255 / 100, 0, 255);
  val = Clamp(val + Clamp(v, -100, 100) * 255 / 100, 0, 255);

  const int sector = hue / 256;
  const int f = hue % 256;
  const int p = val * (255 - sat) / 255;
  const int q = val * (255 * 256 - sat * f) / (255 * 256);
  const int t = val * (255 * 256 - sat * (256 - f)) / (255 * 256);
  int out_r = val, out_g = t, out_b = p;
  switch (sector) {
    case 0: out_r = val; out_g = t; out_b = p; break;
    case 1: out_r = q; out_g = val; out_b = p; break;
    case 2: out_r = p; out_g = val; out_b = t; break;
    case 3: out_r = p; out_g = q; out_b = val; break;
    case 4: out_r = t; out_g = p; out_b = val; break;
    default: out_r = val; out_g = p; out_b = q; break;
  }
  return Rgb{static_cast<unsigned char>(out_r), static_cast<unsigned char>(out_g),
             static_cast<unsigned char>(out_b)};
}

}  // namespace brevane::skin
