// The banner formats that Windows decodes with GDI+ (bitmap, icon, cursor,
// animated GIF): pixels, sizes, frame delays, and nothing for cut files.
#include <gtest/gtest.h>

#include <string>

#include "extras/picture.h"
#include "extras/tests/samples.h"

namespace brevane {
namespace {

using samples::Rgb;

::testing::AssertionResult FilledWith(const shell::PictureFrame& f, Rgb c) {
  if (f.rgba.size() != static_cast<std::size_t>(f.width) * f.height * 4) {
    return ::testing::AssertionFailure() << "pixel buffer of " << f.rgba.size() << " bytes";
  }
  for (std::size_t i = 0; i < f.rgba.size(); i += 4) {
    if (f.rgba[i] != c.r || f.rgba[i + 1] != c.g || f.rgba[i + 2] != c.b || f.rgba[i + 3] != 0xFF) {
      return ::testing::AssertionFailure() << "pixel " << i / 4 << " is " << int(f.rgba[i]) << ","
                                           << int(f.rgba[i + 1]) << "," << int(f.rgba[i + 2]) << ","
                                           << int(f.rgba[i + 3]);
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(PlatformPictures, BitmapIconAndCursor) {
  Picture p = DecodePicture(samples::Bitmap(5, 3, {10, 20, 30}));
  ASSERT_EQ(p.frames.size(), 1u);
  EXPECT_EQ(p.frames[0].width, 5);
  EXPECT_EQ(p.frames[0].height, 3);
  EXPECT_TRUE(FilledWith(p.frames[0], {10, 20, 30}));
  for (int type : {1, 2}) {
    p = DecodePicture(samples::Icon(16, 16, {0, 128, 255}, type));
    ASSERT_EQ(p.frames.size(), 1u) << "type " << type;
    EXPECT_EQ(p.frames[0].width, 16);
    EXPECT_TRUE(FilledWith(p.frames[0], {0, 128, 255}));
  }
}

TEST(PlatformPictures, GifAnimationGivesEveryFrameWithItsDelay) {
  const Picture p = DecodePicture(samples::Gif(4, 3, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, 10));
  ASSERT_EQ(p.frames.size(), 3u);
  EXPECT_TRUE(FilledWith(p.frames[0], {255, 0, 0}));
  EXPECT_TRUE(FilledWith(p.frames[1], {0, 255, 0}));
  EXPECT_TRUE(FilledWith(p.frames[2], {0, 0, 255}));
  for (const shell::PictureFrame& f : p.frames) EXPECT_EQ(f.delay_ms, 100);
  const Picture still = DecodePicture(samples::Gif(2, 2, {{9, 8, 7}}, 0));
  ASSERT_EQ(still.frames.size(), 1u);
  EXPECT_EQ(still.frames[0].delay_ms, 0);
}

TEST(PlatformPictures, CutFilesShowNothing) {
  const std::string files[] = {samples::Bitmap(20, 20, {1, 2, 3}), samples::Icon(16, 16, {1, 2, 3}),
                               samples::Gif(8, 8, {{1, 2, 3}, {4, 5, 6}}, 5)};
  for (const std::string& file : files) {
    ASSERT_FALSE(DecodePicture(file).empty()) << int(DetectPictureFormat(file));
    for (std::size_t cut : {std::size_t{6}, file.size() / 2, file.size() - 12}) {
      EXPECT_TRUE(DecodePicture(file.substr(0, cut)).empty())
          << "format " << int(DetectPictureFormat(file)) << " cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace brevane
