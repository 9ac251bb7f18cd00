// The banner's frames as the shells get them: a frame the same as the one
// before it is folded into that one.
#include <gtest/gtest.h>

#include <vector>

#include "app/routines.h"
#include "extras/tests/samples.h"

namespace brevane::app {
namespace {

TEST(BannerFramesTest, FramesThatRepeatTheOneBeforeAreFolded) {
  const samples::Rgb red{255, 0, 0}, blue{0, 0, 255};
  struct Case {
    std::vector<samples::Rgb> colours;  // one GIF frame each, 250 ms apiece
    std::vector<int> delays_ms;         // the frames the shells get
  } cases[] = {
      {{red, blue, red, blue}, {250, 250, 250, 250}},
      {{red, red, blue}, {500, 250}},
      {{red, blue, blue, blue}, {250, 750}},
      {{red, red, red}, {0}},  // nothing ever changes: a still picture
      {{red}, {0}},
  };
  for (const Case& c : cases) {
    std::vector<int> delays;
    for (const auto& frame : DecodeForBanner(samples::Gif(8, 4, c.colours, 25))) {
      EXPECT_EQ(frame.rgba.size(), 8u * 4u * 4u);
      delays.push_back(frame.delay_ms);
    }
    EXPECT_EQ(delays, c.delays_ms) << c.colours.size() << " frames";
  }
}

}  // namespace
}  // namespace brevane::app
