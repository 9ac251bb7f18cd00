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

std::vector<shell::PictureFrame> DecodeForBanner(std::string_view bytes) {
  std::vector<shell::PictureFrame> out;
  Picture picture = DecodePicture(bytes);
  for (PictureFrame& f : picture.frames) out.push_back({f.width, f.height, f.delay_ms, std::move(f.rgba)});
  return out;
}

}  // namespace brevane::app
