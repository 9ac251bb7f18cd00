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
    if (!binding.BindDocument(engine, window, initialise_thread, frame_mode)) {
      // A window that let the request time out is busy or stuck: the wait
      // has spent its one time-out and ends, rather than asking again and
      // again until the limit (an engine fails further requests to such a
      // page at once; the next operation finds out whether it answers again).
      if (binding.BindStatus == dom_error::kTimeout) return 0;
      // The document may appear later (no document window yet, a page
      // between two loads); the limit bounds this retry as well, so the wait
      // always returns.
      if (ran_out()) return 0;
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
  // (an empty editor, a spacer) never delays the page.
  for (std::size_t i = 1; i < documents.size(); ++i) {
    const DomRef& frame = documents[i];
    if (GetText(GetObject(frame, "body"), "innerText").empty()) continue;
    while (GetText(frame, "readyState") != "complete") {
      pause.For(load_wait::kFrameLoadingPollMs);
      if (ran_out()) return 0;
    }
  }
  return 1;
}

}  // namespace brevane
