// PC Paintbrush (PCX) pictures: run-length encoded, either 8 bits per pixel
// (one plane with the 256-colour palette at the end of the file, or three
// planes of red, green and blue) or 1 bit per pixel (one plane, black and
// white).
#include <array>

#include "extras/picture.h"

namespace brevane {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPaletteSize = 769;  // the byte 0x0C, then 256 RGB triples

uint8_t U8(std::string_view b, std::size_t i) { return static_cast<uint8_t>(b[i]); }
unsigned U16(std::string_view b, std::size_t i) { return U8(b, i) | (U8(b, i + 1) << 8); }

// Expands the run-length data into exactly out.size() bytes; false when the
// data ends first.
bool ExpandRuns(std::string_view data, std::vector<uint8_t>& out) {
  std::size_t in = 0, pos = 0;
  while (pos < out.size()) {
    if (in >= data.size()) return false;
    uint8_t b = U8(data, in++);
    std::size_t count = 1;
    if ((b & 0xC0) == 0xC0) {
      count = b & 0x3F;
      if (in >= data.size()) return false;
      b = U8(data, in++);
    }
    // A run may continue past the end of a scan line; one that overruns the
    // whole picture is cut at its end.
    for (; count > 0 && pos < out.size(); --count) out[pos++] = b;
  }
  return true;
}

}  // namespace

Picture DecodePcx(std::string_view bytes) {
  if (bytes.size() < kHeaderSize || U8(bytes, 0) != 0x0A || U8(bytes, 2) != 1) return {};
  const unsigned version = U8(bytes, 1);
  const unsigned bits = U8(bytes, 3);
  const unsigned planes = U8(bytes, 65);
  const unsigned x_min = U16(bytes, 4), y_min = U16(bytes, 6);
  const unsigned x_max = U16(bytes, 8), y_max = U16(bytes, 10);
  const std::size_t line_bytes = U16(bytes, 66);
  if (x_max < x_min || y_max < y_min) return {};
  const int64_t width = int64_t{x_max} - x_min + 1;
  const int64_t height = int64_t{y_max} - y_min + 1;
  if (!PictureSizeAllowed(width, height)) return {};

  const bool paletted = bits == 8 && planes == 1 && version <= 5;
  const bool rgb = bits == 8 && planes == 3 && version <= 5;
  const bool mono = bits == 1 && planes == 1 && version == 3;
  if (!paletted && !rgb && !mono) return {};
  const std::size_t needed_line = mono ? static_cast<std::size_t>((width + 7) / 8)
                                       : static_cast<std::size_t>(width);
  if (line_bytes < needed_line) return {};

  std::string_view data = bytes.substr(kHeaderSize);
  std::array<uint8_t, 768> palette{};
  if (paletted) {
    if (data.size() < kPaletteSize) return {};
    const std::size_t at = bytes.size() - kPaletteSize;
    if (U8(bytes, at) != 0x0C) return {};
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = U8(bytes, at + 1 + i);
    data = data.substr(0, data.size() - kPaletteSize);
  }

  // Every two bytes of data expand to at most 63; a header that asks for
  // more than the data can hold is rejected before anything is allocated.
  const uint64_t total = static_cast<uint64_t>(height) * planes * line_bytes;
  if (total > static_cast<uint64_t>(data.size()) * 32 + 64) return {};
  std::vector<uint8_t> raw(static_cast<std::size_t>(total));
  if (!ExpandRuns(data, raw)) return {};

  shell::PictureFrame frame;
  frame.width = static_cast<int>(width);
  frame.height = static_cast<int>(height);
  frame.rgba.resize(static_cast<std::size_t>(width * height) * 4);
  uint8_t* px = frame.rgba.data();
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* line = raw.data() + static_cast<std::size_t>(y) * planes * line_bytes;
    for (int64_t x = 0; x < width; ++x, px += 4) {
      if (paletted) {
        const uint8_t* c = &palette[line[x] * 3u];
        px[0] = c[0], px[1] = c[1], px[2] = c[2];
      } else if (rgb) {
        px[0] = line[x], px[1] = line[line_bytes + x], px[2] = line[2 * line_bytes + x];
      } else {
        const uint8_t v = (line[x / 8] >> (7 - x % 8)) & 1 ? 0xFF : 0x00;
        px[0] = px[1] = px[2] = v;
      }
      px[3] = 0xFF;
    }
  }
  Picture picture;
  picture.frames.push_back(std::move(frame));
  return picture;
}

}  // namespace brevane
