// The cooperative delay: time passes on the calling thread while it keeps
// dispatching its window events, so handlers (Stop, Login, the record list)
// run nested inside the wait. The shells implement it on their event loops;
// tests use a virtual clock.
#pragma once

#include <cstdint>

namespace brevane {

namespace pause_unit {
inline constexpr int32_t kMilliseconds = 0;
inline constexpr int32_t kSeconds = 1;
inline constexpr int32_t kMinutes = 2;
inline constexpr int32_t kHours = 3;
}  // namespace pause_unit

// Milliseconds per count of a unit; unknown units count as milliseconds.
constexpr double MillisecondsPerUnit(int32_t unit) {
  switch (unit) {
    case pause_unit::kSeconds: return 1000.0;
    case pause_unit::kMinutes: return 60000.0;
    case pause_unit::kHours: return 3600000.0;
    default: return 1.0;
  }
}

// Relative due time of a pause in 100-nanosecond intervals (negative, as a
// waitable timer takes it), computed in double precision and truncated
// toward zero.
constexpr int64_t PauseDueTime(int32_t duration, int32_t unit) {
  return static_cast<int64_t>(-(static_cast<double>(duration) * MillisecondsPerUnit(unit) * 10000.0));
}

// Duration of a pause in milliseconds (never negative).
constexpr double PauseMilliseconds(int32_t duration, int32_t unit) {
  double ms = static_cast<double>(duration) * MillisecondsPerUnit(unit);
  return ms > 0 ? ms : 0;
}

class Pause {
 public:
  virtual ~Pause() = default;

  // Lets the duration pass while dispatching the calling thread's window
  // events; returns 1, never earlier than the duration.
  virtual int32_t For(int32_t duration, int32_t unit = pause_unit::kMilliseconds) = 0;

  // Milliseconds since an arbitrary fixed point, on the same clock the pause
  // measures with (the tick count the load wait takes its start time from).
  virtual int64_t TickCount() = 0;
};

}  // namespace brevane
