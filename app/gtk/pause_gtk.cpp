#include "app/gtk/pause_gtk.h"

#include <glib.h>

#include <chrono>
#include <cmath>

namespace brevane::gtk {
namespace {

gboolean MarkFired(gpointer data) {
  *static_cast<bool*>(data) = true;
  return G_SOURCE_REMOVE;
}

}  // namespace

Pause::Pause() : window_thread_(std::this_thread::get_id()) {}

int32_t Pause::For(int32_t duration, int32_t unit) {
  const double ms = PauseMilliseconds(duration, unit);
  if (ms <= 0) return 1;
  // GLib timers take whole milliseconds; round up so the pause never ends
  // early. Beyond what a guint holds (about 49 days) the wait is capped.
  const double capped = std::min(std::ceil(ms), 4294967295.0);
  const guint interval = static_cast<guint>(capped);
  if (std::this_thread::get_id() != window_thread_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(interval));
    return 1;
  }
  bool fired = false;
  // The timer is measured from now: handlers that run during the wait do not
  // push the due time back.
  g_timeout_add_full(G_PRIORITY_DEFAULT, interval, MarkFired, &fired, nullptr);
  while (!fired) g_main_context_iteration(nullptr, TRUE);
  return 1;
}

int64_t Pause::TickCount() { return g_get_monotonic_time() / 1000; }

}  // namespace brevane::gtk
