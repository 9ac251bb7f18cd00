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
      OpenContactLink(*t.contact_url, OpenInBrowser);
      break;
  }
  return 0;
}

std::vector<shell::PictureFrame> DecodeForBanner(std::string_view bytes) {
  std::vector<shell::PictureFrame> out;
  Picture picture = DecodePicture(bytes);
  // A frame the same as the one before it changes nothing on screen: it is
  // folded into that one, which stays for both delays as the window plays
  // them (shell::PlayedFrameDelay, the one rule both shells play by), so
  // the window wakes to draw only what changes. An animation whose frames
  // are all the same becomes one still picture.
  for (shell::PictureFrame& f : picture.frames) {
    if (!out.empty()) {
      shell::PictureFrame& last = out.back();
      if (last.width == f.width && last.height == f.height && last.rgba == f.rgba) {
        last.delay_ms = shell::PlayedFrameDelay(last.delay_ms) + shell::PlayedFrameDelay(f.delay_ms);
        continue;
      }
    }
    out.push_back(std::move(f));
  }
  if (out.size() == 1) out[0].delay_ms = 0;
  return out;
}

}  // namespace brevane::app
