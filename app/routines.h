// What both programs (GTK and Win32) wire into their window the same way:
// the routines its events run, one table from a bound routine to the part of
// the program that carries it out, and the banner's picture decoder.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/text/text.h"
#include "ui/bindings.h"
#include "ui/shell.h"

namespace brevane {
class Announcements;
class Core;
class Startup;
}  // namespace brevane

namespace brevane::app {

// The parts of the program the routines run on; all live as long as the
// window.
struct RoutineTargets {
  Startup* startup = nullptr;
  Core* core = nullptr;
  Announcements* announcements = nullptr;
  const Text* contact_url = nullptr;  // the chat page the contact button opens
};

// Runs one bound routine and returns its result: 0, as no bound routine has
// one.
int32_t RunRoutine(Routine routine, const RoutineTargets& targets);

// Decodes a banner picture into the frames the shells draw; no frames when
// the bytes are no picture.
std::vector<shell::PictureFrame> DecodeForBanner(std::string_view bytes);

}  // namespace brevane::app
