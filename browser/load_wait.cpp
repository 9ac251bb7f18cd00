#include "browser/load_wait.h"

#include "browser/late_binding.h"

namespace brevane {

int32_t ResolveLoadLimit(int32_t limit_ms) {
  if (limit_ms == 0) return load_wait::kDefaultLimitMs;
  if (limit_ms == -1) return load_wait::kLongestLimitMs;
  return limit_ms;
}

int32_t WaitForPage(DocumentBinding& binding, Engine& engine, Pause& pause, WindowHandle window,
                    int32_t limit_ms, bool initialise_thread, int32_t frame_mode) {
  const int64_t start = pause.TickCount();
  const double limit = static_cast<double>(ResolveLoadLimit(limit_ms));
  auto ran_out = [&] {
    double elapsed = static_cast<double>(pause.TickCount() - start);
    return elapsed - limit > 0.0000001;
  };

  // Binding phase: until the top document is complete.
  std::vector<DomRef> documents;
  for (;;) {
    const int64_t asked = pause.TickCount();
    // The bind itself ends with the wait's limit, so a page cannot stretch
    // one walk over its frames past it; a bind begun as the limit runs out
    // still gets one document request's time to show the page as it is.
    const int64_t left = static_cast<int64_t>(limit) - (asked - start);
    const Deadline deadline(pause, left > kDocumentRequestTimeoutMs ? left : kDocumentRequestTimeoutMs);
    if (!binding.BindDocument(engine, window, initialise_thread, frame_mode, deadline)) {
      // A request that timed out without waiting: the engine knows the page
      // has stopped answering (an earlier request waited out its time-out)
      // and fails every request to it until it answers again or another page
      // comes. Asking again until the limit would only spin, so the wait ends
      // having spent that one time-out. A request that did wait (a window
      // busy for now, a page still on its way) is asked again as before.
      if (binding.BindStatus == dom_error::kTimeout && pause.TickCount() - asked < kDocumentRequestTimeoutMs)
        return 0;
      // The document may appear later (no document window yet, a page
      // between two loads); the limit bounds this retry as well, so the wait
      // always returns. A bind that failed because its own time was up (it
      // ends no earlier than the wait) has used the wait's time: no retry.
      if (ran_out() || deadline.Passed()) return 0;
      pause.For(load_wait::kUnboundPollMs);
      continue;
    }
    const bool complete = GetText(binding.BoundDocument, "readyState") == "complete";
    const std::size_t listed = binding.DocumentList.size();
    if (complete && listed == 1) {
      pause.For(load_wait::kSettleMs);
      return 1;
    }
    if (complete && listed > 1) {
      documents = binding.DocumentList;
      break;
    }
    if (ran_out()) return 0;
    pause.For(load_wait::kTopLoadingPollMs);
  }

  // Frame phase: frames that show text must be complete too; an empty frame
  // (an empty editor, a spacer) never delays the page. Every call on a
  // frame is asked only while the limit holds, complete frames with text
  // included, so hundreds of frames slow to answer end the wait at most one
  // call past its limit.
  for (std::size_t i = 1; i < documents.size(); ++i) {
    const DomRef& frame = documents[i];
    if (ran_out()) return 0;
    const DomRef body = GetObject(frame, "body");
    if (ran_out()) return 0;
    if (GetText(body, "innerText").empty()) continue;
    for (;;) {
      if (ran_out()) return 0;
      if (GetText(frame, "readyState") == "complete") break;
      pause.For(load_wait::kFrameLoadingPollMs);
    }
  }
  return 1;
}

}  // namespace brevane
