// The load wait: binds the page again and again until the top document and
// every frame that shows text report "complete", or the time limit runs out.
#pragma once

#include <cstdint>

#include "browser/document_binding.h"
#include "browser/pause.h"

namespace brevane {

namespace load_wait {
inline constexpr int32_t kDefaultLimitMs = 20000;     // limit 0
inline constexpr int32_t kLongestLimitMs = 9999999;   // limit -1
inline constexpr int32_t kUnboundPollMs = 200;        // document not reachable yet
inline constexpr int32_t kTopLoadingPollMs = 500;     // top document not complete
inline constexpr int32_t kFrameLoadingPollMs = 200;   // a frame with text not complete
inline constexpr int32_t kSettleMs = 100;             // final pause of a page without frames
}  // namespace load_wait

// The limit in milliseconds that a limit argument stands for.
int32_t ResolveLoadLimit(int32_t limit_ms);

// 1 when the page is complete, 0 when the limit ran out. The limit covers
// the whole wait, including the retries while the document cannot be bound.
// Afterwards binding describes the page as the last bind found it.
int32_t WaitForPage(DocumentBinding& binding, Engine& engine, Pause& pause, WindowHandle window,
                    int32_t limit_ms = 0, bool initialise_thread = false, int32_t frame_mode = 0);

}  // namespace brevane
