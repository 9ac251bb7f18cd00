// A Pause on virtual time for tests. Nothing sleeps: a pause advances the
// clock to its due time, running every scheduled user action that falls due
// on the way, nested inside the pause as a real event loop would run the
// handler of a click. An action may itself pause; it then runs the actions
// due during its own pause, and the outer pause returns once both its due
// time has passed and the action has finished.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "browser/pause.h"

namespace brevane::testing {

class VirtualClock : public Pause {
 public:
  // Runs action when the clock reaches at_ms (inside whichever pause covers
  // that moment). Actions due at the same moment run in scheduling order.
  void At(int64_t at_ms, std::function<void()> action) {
    actions_.emplace(std::make_pair(at_ms, next_sequence_++), std::move(action));
  }
  // Runs action after_ms from now.
  void After(int64_t after_ms, std::function<void()> action) { At(now_ + after_ms, std::move(action)); }

  int32_t For(int32_t duration, int32_t unit = pause_unit::kMilliseconds) override {
    ++pause_count_;
    if (keep_history_) pauses_.push_back(PauseMilliseconds(duration, unit));
    const double due = static_cast<double>(now_) + PauseMilliseconds(duration, unit);
    while (!actions_.empty() && static_cast<double>(actions_.begin()->first.first) <= due) {
      auto entry = actions_.begin();
      if (entry->first.first > now_) now_ = entry->first.first;
      std::function<void()> action = std::move(entry->second);
      actions_.erase(entry);
      action();
    }
    if (static_cast<double>(now_) < due) now_ = static_cast<int64_t>(due);
    return 1;
  }

  int64_t TickCount() override { return now_; }

  int64_t now() const { return now_; }
  void Advance(int64_t ms) { For(static_cast<int32_t>(ms)); }
  int64_t pause_count() const { return pause_count_; }
  // Every pause asked for, in milliseconds, in order.
  const std::vector<double>& pauses() const { return pauses_; }
  bool HasPendingActions() const { return !actions_.empty(); }
  // Without history the pauses are counted but not listed (long runs).
  void set_keep_history(bool keep) { keep_history_ = keep; }

 private:
  int64_t now_ = 0;
  int64_t next_sequence_ = 0;
  int64_t pause_count_ = 0;
  bool keep_history_ = true;
  std::vector<double> pauses_;
  std::map<std::pair<int64_t, int64_t>, std::function<void()>> actions_;
};

}  // namespace brevane::testing
