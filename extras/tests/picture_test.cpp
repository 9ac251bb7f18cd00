#include "extras/picture.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "extras/tests/samples.h"

namespace brevane {
namespace {

using samples::Rgb;

// Every pixel of the frame is within tolerance of the colour (JPEG is lossy).
::testing::AssertionResult FilledWith(const shell::PictureFrame& f, Rgb c, int tolerance = 0) {
  if (f.rgba.size() != static_cast<std::size_t>(f.width) * f.height * 4) {
    return ::testing::AssertionFailure() << "pixel buffer of " << f.rgba.size() << " bytes";
  }
  for (std::size_t i = 0; i < f.rgba.size(); i += 4) {
    const int d[3] = {f.rgba[i] - c.r, f.rgba[i + 1] - c.g, f.rgba[i + 2] - c.b};
    for (int k = 0; k < 3; ++k) {
      if (d[k] > tolerance || d[k] < -tolerance || f.rgba[i + 3] != 0xFF) {
        return ::testing::AssertionFailure()
               << "pixel " << i / 4 << " is " << int(f.rgba[i]) << "," << int(f.rgba[i + 1]) << ","
               << int(f.rgba[i + 2]) << "," << int(f.rgba[i + 3]);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(DetectPictureFormat, FromTheFirstSixBytes) {
  using F = PictureFormat;
  const auto detect = [](std::string bytes) { return DetectPictureFormat(bytes); };
  EXPECT_EQ(detect(std::string("\xFF\xD8\xFF\xE0\0\0", 6)), F::kJpeg);
  EXPECT_EQ(detect(std::string("BM\x10\0\0\0", 6)), F::kBitmap);
  EXPECT_EQ(detect(std::string("\0\0\1\0\1\0", 6)), F::kIcon);
  EXPECT_EQ(detect(std::string("\0\0\1\0\0\0", 6)), F::kNone);  // no images
  EXPECT_EQ(detect(std::string("\0\0\2\0\0\1", 6)), F::kCursor);
  EXPECT_EQ(detect(std::string("\0\0\2\0\0\0", 6)), F::kNone);
  EXPECT_EQ(detect("GIF87a"), F::kGif);
  EXPECT_EQ(detect("GIF89a"), F::kGif);
  EXPECT_EQ(detect("GIF88a"), F::kNone);
  EXPECT_EQ(detect(std::string("\x0A\x05\x01\x08\0\0", 6)), F::kPcx);
  EXPECT_EQ(detect(std::string("\x0A\x00\x01\x08\0\0", 6)), F::kPcx);
  EXPECT_EQ(detect(std::string("\x0A\x06\x01\x08\0\0", 6)), F::kNone);  // version 6
  EXPECT_EQ(detect(std::string("\x0A\x03\x01\x01\0\0", 6)), F::kPcx);
  EXPECT_EQ(detect(std::string("\x0A\x05\x01\x01\0\0", 6)), F::kNone);  // 1 bit needs version 3
  EXPECT_EQ(detect(std::string("\x0A\x05\x00\x08\0\0", 6)), F::kNone);  // not run-length encoded
  EXPECT_EQ(detect(std::string("\x0A\x05\x01\x04\0\0", 6)), F::kNone);
  // Five bytes are too few whatever they hold.
  EXPECT_EQ(detect("GIF89"), F::kNone);
  EXPECT_EQ(detect(std::string("\xFF\xD8\xFF\xE0\0", 5)), F::kNone);
  EXPECT_EQ(detect("<html>"), F::kNone);
}

TEST(DecodePicture, Jpeg) {
  for (bool progressive : {false, true}) {
    const Picture p = DecodePicture(samples::Jpeg(33, 17, {200, 40, 90}, progressive));
    ASSERT_EQ(p.frames.size(), 1u);
    EXPECT_EQ(p.frames[0].width, 33);
    EXPECT_EQ(p.frames[0].height, 17);
    EXPECT_TRUE(FilledWith(p.frames[0], {200, 40, 90}, 6));
  }
#ifndef _WIN32
  // Inverted inks: each channel is its ink value scaled by the black value.
  // (Windows hands four-colour JPEGs to the platform codec, which converts
  // them by its own ink model: Wine's GDI+ gives 0,51,128 for this sample.)
  const Picture cmyk = DecodePicture(samples::JpegCmyk(8, 8, 200, 0, 255, 128));
  ASSERT_EQ(cmyk.frames.size(), 1u);
  EXPECT_TRUE(FilledWith(cmyk.frames[0], {100, 0, 128}, 6));
#endif
}

TEST(DecodePicture, BitmapIconCursor) {
  Picture p = DecodePicture(samples::Bitmap(5, 3, {10, 20, 30}));
  ASSERT_EQ(p.frames.size(), 1u);
  EXPECT_EQ(p.frames[0].width, 5);
  EXPECT_EQ(p.frames[0].height, 3);
  EXPECT_TRUE(FilledWith(p.frames[0], {10, 20, 30}));

  // Eight bits through the colour table, rows stored bottom-up.
  p = DecodePicture(samples::Bitmap8(6, 4, {200, 10, 20}, {5, 6, 7}));
  ASSERT_EQ(p.frames.size(), 1u);
  ASSERT_EQ(p.frames[0].width, 6);
  ASSERT_EQ(p.frames[0].height, 4);
  for (int y = 0; y < 4; ++y) {
    const auto first = p.frames[0].rgba.begin() + y * 24;
    const shell::PictureFrame row{6, 1, 0, std::vector<uint8_t>(first, first + 24)};
    EXPECT_TRUE(FilledWith(row, y == 0 ? Rgb{200, 10, 20} : Rgb{5, 6, 7})) << "row " << y;
  }

  for (int type : {1, 2}) {
    p = DecodePicture(samples::Icon(16, 16, {0, 128, 255}, type));
    ASSERT_EQ(p.frames.size(), 1u) << "type " << type;
    EXPECT_EQ(p.frames[0].width, 16);
    EXPECT_TRUE(FilledWith(p.frames[0], {0, 128, 255}));
  }
}

TEST(DecodePicture, GifAnimationGivesEveryComposedFrameWithItsDelay) {
  const Picture p = DecodePicture(samples::Gif(4, 3, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, 10));
  ASSERT_EQ(p.frames.size(), 3u);
  EXPECT_TRUE(FilledWith(p.frames[0], {255, 0, 0}));
  EXPECT_TRUE(FilledWith(p.frames[1], {0, 255, 0}));
  EXPECT_TRUE(FilledWith(p.frames[2], {0, 0, 255}));
  for (const shell::PictureFrame& f : p.frames) {
    EXPECT_EQ(f.width, 4);
    EXPECT_EQ(f.height, 3);
    EXPECT_EQ(f.delay_ms, 100);
  }

  const Picture still = DecodePicture(samples::Gif(2, 2, {{9, 8, 7}}, 0));
  ASSERT_EQ(still.frames.size(), 1u);
  EXPECT_TRUE(FilledWith(still.frames[0], {9, 8, 7}));
}

TEST(DecodePicture, Pcx) {
  Picture p = DecodePicture(samples::Pcx8(130, 2, {1, 2, 3}));
  ASSERT_EQ(p.frames.size(), 1u);
  EXPECT_EQ(p.frames[0].width, 130);
  EXPECT_TRUE(FilledWith(p.frames[0], {1, 2, 3}));

  p = DecodePicture(samples::Pcx1(11, 3));
  ASSERT_EQ(p.frames.size(), 1u);
  const shell::PictureFrame& f = p.frames[0];
  ASSERT_EQ(f.width, 11);
  ASSERT_EQ(f.height, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 11; ++x) {
      EXPECT_EQ(f.rgba[(y * 11 + x) * 4], (x + y) % 2 == 0 ? 0xFF : 0x00) << x << "," << y;
    }
  }
}

TEST(DecodePicture, RejectsTruncatedAndUnknownBytes) {
  const std::string files[] = {
      samples::Jpeg(20, 20, {1, 2, 3}), samples::Jpeg(20, 20, {1, 2, 3}, true),
      samples::Bitmap(20, 20, {1, 2, 3}), samples::Icon(16, 16, {1, 2, 3}),
      samples::Gif(8, 8, {{1, 2, 3}, {4, 5, 6}}, 5), samples::Pcx8(20, 20, {1, 2, 3}),
      samples::Pcx1(20, 20)};
  for (const std::string& file : files) {
    ASSERT_FALSE(DecodePicture(file).empty()) << int(DetectPictureFormat(file));
    // Cut anywhere in the pixel data: nothing is shown.
    for (std::size_t cut : {std::size_t{6}, file.size() / 2, file.size() - 12}) {
      EXPECT_TRUE(DecodePicture(file.substr(0, cut)).empty())
          << "format " << int(DetectPictureFormat(file)) << " cut at " << cut;
    }
  }
  EXPECT_TRUE(DecodePicture("GIF89").empty());
  EXPECT_TRUE(DecodePicture("").empty());
  EXPECT_TRUE(DecodePicture("not a picture at all").empty());
}

TEST(DecodePicture, RefusesHugeDimensionsBeforeAllocating) {
  std::string pcx = samples::Pcx8(4, 4, {1, 2, 3});
  pcx[8] = pcx[9] = '\xFF';  // 65536 pixels wide
  EXPECT_TRUE(DecodePicture(pcx).empty());
  std::string pcx_tall = samples::Pcx8(4, 4, {1, 2, 3});
  pcx_tall[10] = '\x00', pcx_tall[11] = '\x30';  // 12289 lines from a few bytes
  EXPECT_TRUE(DecodePicture(pcx_tall).empty());
  std::string bmp = samples::Bitmap(4, 4, {1, 2, 3});
  bmp[21] = '\x7F';  // width near 2^31
  EXPECT_TRUE(DecodePicture(bmp).empty());
  // A colour table of millions of entries, in an icon and in a bitmap.
  std::string ico = samples::Icon(8, 8, {1, 2, 3});
  ico[22 + 32] = ico[22 + 33] = ico[22 + 34] = '\x9E';
  EXPECT_TRUE(DecodePicture(ico).empty());
  std::string bmp_palette = samples::Bitmap(4, 4, {1, 2, 3});
  bmp_palette[14 + 34] = '\x10';
  EXPECT_TRUE(DecodePicture(bmp_palette).empty());
  // An information header claiming four gigabytes.
  std::string bmp_header = samples::Bitmap(4, 4, {1, 2, 3});
  bmp_header[14] = '\x28', bmp_header[15] = bmp_header[16] = bmp_header[17] = '\xFF';
  EXPECT_TRUE(DecodePicture(bmp_header).empty());
  std::string gif = samples::Gif(4, 4, {{1, 2, 3}}, 0);
  std::string gif_frame = gif;
  gif[6] = gif[7] = gif[8] = gif[9] = '\xFF';  // 65535 x 65535 screen
  EXPECT_TRUE(DecodePicture(gif).empty());
  const std::size_t image = gif_frame.find('\x2C');
  gif_frame[image + 5] = gif_frame[image + 6] = gif_frame[image + 7] = gif_frame[image + 8] = '\xFF';
  EXPECT_TRUE(DecodePicture(gif_frame).empty());  // one frame of 65535 x 65535
  // Frames placed partly or wholly outside the logical screen (a fuzzing
  // find: the library composed such a frame with a negative length).
  const std::string animated = samples::Gif(6, 4, {{1, 2, 3}, {4, 5, 6}}, 10);
  const std::size_t second = animated.find('\x2C', animated.find('\x2C') + 1);
  for (const auto& [offset, value] : std::vector<std::pair<int, char>>{{1, '\x2B'}, {3, '\x01'}, {1, '\x01'}}) {
    std::string outside = animated;
    outside[second + offset] = value;  // left (offset 1) or top (offset 3)
    EXPECT_TRUE(DecodePicture(outside).empty()) << "offset " << offset << " value " << int(value);
  }
}

}  // namespace
}  // namespace brevane
