// What both desktop shells (GTK and Win32) offer the program beside the
// Controls interface: the arguments an event carries, the one routine runner
// every event goes to, and the banner's decoded picture frames.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "ui/bindings.h"
#include "ui/picture_frame.h"

namespace brevane::shell {

// Arguments of an event: the feedback event's two integers, or the pointer
// position and key state (1 Ctrl, 2 Shift, 4 Alt) of a mouse press.
struct EventArgs {
  int32_t first = 0;
  int32_t second = 0;
  int32_t third = 0;
};

// Runs the routine bound to an event and returns its result (0 when it has
// none).
using RoutineRunner = std::function<int32_t(Routine routine, const EventArgs& args)>;

// Decodes the bytes of an image file; no frames when unrecognised.
using PictureDecoder = std::function<std::vector<PictureFrame>(std::string_view bytes)>;

}  // namespace brevane::shell
