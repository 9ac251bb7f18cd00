// One frame of a decoded picture, as the picture decoders make it and the
// shells draw it, and how long the window shows it.
#pragma once

#include <cstdint>
#include <vector>

namespace brevane::shell {

struct PictureFrame {
  int width = 0;
  int height = 0;
  int delay_ms = 0;           // how long an animation frame stays; 0 for a still picture
  std::vector<uint8_t> rgba;  // width * height pixels, straight RGBA rows, top-down, not premultiplied
};

// How long an animation frame stays on the screen: a delay of 10 ms or less
// (none given, or too short to see) plays as 100 ms, as browsers play it.
constexpr int PlayedFrameDelay(int delay_ms) { return delay_ms > 10 ? delay_ms : 100; }

}  // namespace brevane::shell
