#include "app/routines.h"

#include <utility>

#include "core/core.h"
#include "core/startup.h"
#include "extras/announcement.h"
#include "extras/contact.h"
#include "extras/open_in_browser.h"
#include "extras/picture.h"

namespace brevane::app {

int32_t RunRoutine(Routine routine, const RoutineTargets& t) {
  switch (routine) {
    case Routine::kCreatedSequence: t.startup->Created(); break;
    case Routine::kStartLoginWorker: t.startup->Activated(); break;
    case Routine::kEndProgram: t.startup->AboutToBeDestroyed(); break;
    case Routine::kStartMonitoring: t.core->StartMonitoring(); break;
    case Routine::kStopMonitoring: t.core->StopMonitoring(); break;
    case Routine::kForumLogin: t.core->ForumLogin(); break;
    case Routine::kSaveBoards: t.core->SaveBoards(); break;
    case Routine::kSaveReplies: t.core->SaveReplies(); break;
    case Routine::kPostReply: t.core->PostReply(); break;
    case Routine::kOpenRecordUrl: t.core->OpenRecordUrl(); break;
    case Routine::kOpenBannerLink: t.announcements->OpenBannerLink(); break;
    case Routine::kOpenContactLink:
      OpenContactLink([](const Text& address) { OpenInBrowser(address); });
      break;
  }
  return 0;
}

namespace {

// How long the shells show a frame: a frame without a delay stays a tenth
// of a second, as browsers play it. Delays of 1 to 10 ms the shells treat
// each in their own way, so frames with them are never folded.
bool Foldable(int delay_ms) { return delay_ms == 0 || delay_ms > 10; }
int Shown(int delay_ms) { return delay_ms > 10 ? delay_ms : 100; }

}  // namespace

std::vector<shell::PictureFrame> DecodeForBanner(std::string_view bytes) {
  std::vector<shell::PictureFrame> out;
  Picture picture = DecodePicture(bytes);
  // A frame the same as the one before it changes nothing on screen: it is
  // folded into that one, which stays for both delays, so the window wakes
  // to draw only what changes. An animation whose frames are all the same
  // becomes one still picture.
  for (PictureFrame& f : picture.frames) {
    if (!out.empty()) {
      shell::PictureFrame& last = out.back();
      if (Foldable(last.delay_ms) && Foldable(f.delay_ms) && last.width == f.width && last.height == f.height &&
          last.rgba == f.rgba) {
        last.delay_ms = Shown(last.delay_ms) + Shown(f.delay_ms);
        continue;
      }
    }
    out.push_back({f.width, f.height, f.delay_ms, std::move(f.rgba)});
  }
  if (out.size() == 1) out[0].delay_ms = 0;
  return out;
}

}  // namespace brevane::app
