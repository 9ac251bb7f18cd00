// JPEG pictures through the IJG libjpeg API. Errors come back through
// setjmp/longjmp instead of ending the process; truncated or damaged data,
// which the library would only warn about and fill with grey, is rejected.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "extras/picture.h"

namespace brevane {
namespace {

// Progressive files with very many scans decode for a very long time.
constexpr int kMaxScans = 256;

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr info) {
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
  // Level -1 is a warning about the data: premature end, corrupt entropy
  // data, a bad Huffman code. Such a picture is not shown.
  if (level < 0 && info->err->msg_code != JWRN_EXTRANEOUS_DATA) OnError(info);
}

void OnOutput(j_common_ptr) {}

void OnProgress(j_common_ptr info) {
  auto* d = reinterpret_cast<j_decompress_ptr>(info);
  if (d->input_scan_number > kMaxScans) OnError(info);
}

// Kept out of the function that calls setjmp so that no local object lives
// across the jump.
bool Decode(jpeg_decompress_struct& d, std::string_view bytes, shell::PictureFrame& frame) {
  jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&d, TRUE) != JPEG_HEADER_OK) return false;
  if (!PictureSizeAllowed(d.image_width, d.image_height)) return false;
  // Four-colour files (print scans) come out as CMYK and are turned into
  // RGB here; Adobe's files store the inks inverted.
  const bool cmyk = d.jpeg_color_space == JCS_CMYK || d.jpeg_color_space == JCS_YCCK;
  d.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
  jpeg_start_decompress(&d);
  if (d.output_components != 4 || !PictureSizeAllowed(d.output_width, d.output_height)) {
    return false;
  }
  frame.width = static_cast<int>(d.output_width);
  frame.height = static_cast<int>(d.output_height);
  frame.rgba.resize(static_cast<std::size_t>(frame.width) * frame.height * 4);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = frame.rgba.data() + static_cast<std::size_t>(d.output_scanline) * frame.width * 4;
    if (jpeg_read_scanlines(&d, &row, 1) != 1) return false;
    if (cmyk) {
      for (int x = 0; x < frame.width; ++x) {
        uint8_t* px = row + x * 4;
        int c = px[0], m = px[1], y = px[2], k = px[3];
        if (!d.saw_Adobe_marker) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        px[0] = static_cast<uint8_t>(c * k / 255);
        px[1] = static_cast<uint8_t>(m * k / 255);
        px[2] = static_cast<uint8_t>(y * k / 255);
        px[3] = 0xFF;
      }
    }
  }
  jpeg_finish_decompress(&d);
  return true;
}

bool DecodeGuarded(std::string_view bytes, shell::PictureFrame& frame) {
  jpeg_decompress_struct d{};
  ErrorManager err{};
  jpeg_progress_mgr progress{};
  d.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnError;
  err.base.emit_message = OnMessage;
  err.base.output_message = OnOutput;
  progress.progress_monitor = OnProgress;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&d);
    return false;
  }
  jpeg_create_decompress(&d);
  d.progress = &progress;
  const bool ok = Decode(d, bytes, frame);
  jpeg_destroy_decompress(&d);
  return ok;
}

}  // namespace

Picture DecodeJpeg(std::string_view bytes) {
  Picture picture;
  if (bytes.empty()) return picture;
  shell::PictureFrame frame;
  if (!DecodeGuarded(bytes, frame)) return picture;
  picture.frames.push_back(std::move(frame));
  return picture;
}

}  // namespace brevane
