// The process-wide values a run shares: the stop request, the lists read at
// Start, the reply cursor, the board being processed, the countdown and the
// address of the thread found last.
#pragma once

#include <cstdint>

#include "base/text/text.h"

namespace brevane {

struct RunState {
  int32_t StopFlag = 0;      // only 1 means a stop was requested
  TextList BoardList;        // board page addresses, fixed at Start
  TextList ReplyList;        // reply texts, fixed at Start
  int32_t ReplyCursor = 0;   // 1-based element of ReplyList used last; never reset
  int32_t CurrentBoard = 0;  // 1-based number of the board being processed
  int32_t Countdown = 0;     // seconds left in the pause between passes
  Text CandidateUrl;         // address of the thread found last
};

}  // namespace brevane
