// JPEG samples, written with libjpeg.
#include "extras/tests/samples.h"

#include <cstdio>
#include <stdexcept>

#include <jpeglib.h>

namespace brevane::samples {

namespace {

std::string CompressJpeg(int width, int height, int components, J_COLOR_SPACE space,
                         const uint8_t* pixel, bool progressive) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&c, &out, &out_size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = components;
  c.in_color_space = space;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(static_cast<std::size_t>(width) * components);
  for (std::size_t i = 0; i < row.size(); ++i) row[i] = pixel[i % components];
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::string bytes(reinterpret_cast<char*>(out), out_size);
  jpeg_destroy_compress(&c);
  std::free(out);
  return bytes;
}

}  // namespace

std::string Jpeg(int width, int height, Rgb colour, bool progressive) {
  const uint8_t pixel[3] = {colour.r, colour.g, colour.b};
  return CompressJpeg(width, height, 3, JCS_RGB, pixel, progressive);
}

std::string JpegCmyk(int width, int height, uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  const uint8_t pixel[4] = {c, m, y, k};
  return CompressJpeg(width, height, 4, JCS_CMYK, pixel, false);
}

}  // namespace brevane::samples
