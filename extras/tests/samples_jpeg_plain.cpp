// JPEG samples written without libjpeg (the Windows cross build has none):
// a plain encoder for one-colour pictures. Every 8 x 8 block of a
// one-colour picture holds only its DC coefficient, so the entropy data is
// one DC difference per component (the first block's value, then zero) and
// an end of block; the quantisation table is all ones. Baseline and
// progressive (a DC scan, then one AC scan per component) as libjpeg's
// simple progression writes them; RGB goes through YCbCr as JFIF defines
// it, four-colour pictures carry the Adobe marker with no transform.
#include "extras/tests/samples.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace brevane::samples {

namespace {

class BitWriter {
 public:
  explicit BitWriter(std::string* out) : out_(out) {}
  void Put(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) {
      byte_ = static_cast<uint8_t>((byte_ << 1) | ((code >> i) & 1));
      if (++bits_ == 8) Emit();
    }
  }
  // Pads the last byte with one bits.
  void Flush() {
    while (bits_ != 0) Put(1, 1);
  }

 private:
  void Emit() {
    out_->push_back(static_cast<char>(byte_));
    if (byte_ == 0xFF) out_->push_back('\0');  // byte stuffing
    byte_ = 0;
    bits_ = 0;
  }
  std::string* out_;
  uint8_t byte_ = 0;
  int bits_ = 0;
};

void Marker(std::string* out, uint8_t code, const std::vector<uint8_t>& body) {
  out->push_back('\xFF');
  out->push_back(static_cast<char>(code));
  const std::size_t length = body.size() + 2;
  out->push_back(static_cast<char>(length >> 8));
  out->push_back(static_cast<char>(length & 0xFF));
  out->append(body.begin(), body.end());
}

// The bit count of a DC difference and its extra bits.
int Category(int value) {
  int magnitude = value < 0 ? -value : value;
  int bits = 0;
  while (magnitude > 0) ++bits, magnitude >>= 1;
  return bits;
}
uint32_t ExtraBits(int value, int category) {
  return static_cast<uint32_t>(value >= 0 ? value : value + (1 << category) - 1);
}

// Huffman tables: DC table c (c = 0..3) codes category 0 as "0" and each
// category 1..11 as "1" followed by its own 4-bit number; the AC table
// codes the end of block (symbol 0) as "0".
std::vector<uint8_t> DcTable(uint8_t id) {
  // Lengths: one code of length 1, eleven of length 5 (codes 10000..11010).
  std::vector<uint8_t> body = {id, 1, 0, 0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (uint8_t s = 0; s <= 11; ++s) body.push_back(s);
  return body;
}
std::vector<uint8_t> AcTable(uint8_t id) {
  std::vector<uint8_t> body = {static_cast<uint8_t>(0x10 | id), 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  body.push_back(0x00);
  return body;
}
void PutDc(BitWriter& bits, int difference) {
  const int category = Category(difference);
  if (category == 0) {
    bits.Put(0, 1);
    return;
  }
  bits.Put(0x10 | static_cast<uint32_t>(category - 1), 5);
  bits.Put(ExtraBits(difference, category), category);
}

std::string Encode(int width, int height, const std::vector<uint8_t>& samples, bool adobe, bool progressive) {
  const int components = static_cast<int>(samples.size());
  const int blocks = ((width + 7) / 8) * ((height + 7) / 8);
  std::string out("\xFF\xD8", 2);
  if (adobe) {
    Marker(&out, 0xEE, {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 0});  // transform 0
  } else {
    Marker(&out, 0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
  }
  std::vector<uint8_t> quant = {0};
  quant.resize(65, 1);
  Marker(&out, 0xDB, quant);
  std::vector<uint8_t> frame = {8, static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height & 0xFF),
                                static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width & 0xFF),
                                static_cast<uint8_t>(components)};
  for (int c = 0; c < components; ++c) {
    frame.insert(frame.end(), {static_cast<uint8_t>(c + 1), 0x11, 0});
  }
  Marker(&out, progressive ? 0xC2 : 0xC0, frame);
  Marker(&out, 0xC4, DcTable(0));
  Marker(&out, 0xC4, AcTable(0));

  std::vector<int> dc(static_cast<std::size_t>(components));
  for (int c = 0; c < components; ++c) dc[static_cast<std::size_t>(c)] = 8 * (samples[static_cast<std::size_t>(c)] - 128);

  // The interleaved scan: every component of one block after another.
  std::vector<uint8_t> scan = {static_cast<uint8_t>(components)};
  for (int c = 0; c < components; ++c) scan.insert(scan.end(), {static_cast<uint8_t>(c + 1), 0x00});
  scan.insert(scan.end(), {0, static_cast<uint8_t>(progressive ? 0 : 63), 0});
  Marker(&out, 0xDA, scan);
  {
    BitWriter bits(&out);
    for (int b = 0; b < blocks; ++b) {
      for (int c = 0; c < components; ++c) {
        PutDc(bits, b == 0 ? dc[static_cast<std::size_t>(c)] : 0);
        if (!progressive) bits.Put(0, 1);  // end of block
      }
    }
    bits.Flush();
  }
  if (progressive) {
    // One AC scan per component, every block ending at once.
    for (int c = 0; c < components; ++c) {
      Marker(&out, 0xDA, {1, static_cast<uint8_t>(c + 1), 0x00, 1, 63, 0});
      BitWriter bits(&out);
      for (int b = 0; b < blocks; ++b) bits.Put(0, 1);
      bits.Flush();
    }
  }
  out.append("\xFF\xD9", 2);
  return out;
}

uint8_t Clamp(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

std::string Jpeg(int width, int height, Rgb colour, bool progressive) {
  const double r = colour.r, g = colour.g, b = colour.b;
  const std::vector<uint8_t> ycc = {Clamp(0.299 * r + 0.587 * g + 0.114 * b),
                                    Clamp(-0.168736 * r - 0.331264 * g + 0.5 * b + 128),
                                    Clamp(0.5 * r - 0.418688 * g - 0.081312 * b + 128)};
  return Encode(width, height, ycc, false, progressive);
}

std::string JpegCmyk(int width, int height, uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  return Encode(width, height, {c, m, y, k}, true, false);
}

}  // namespace brevane::samples
