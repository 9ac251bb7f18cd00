#include "ui/gtk/window_thread.h"

#include <atomic>
#include <thread>

namespace brevane::gtk {
namespace {

std::atomic<std::thread::id> g_window_thread{};

gboolean RunHandOver(gpointer data) {
  // The idle source owns one reference to the hand-over record.
  auto* hand_over = static_cast<std::shared_ptr<detail::HandOver>*>(data);
  (*hand_over)->call();
  {
    std::lock_guard<std::mutex> lock((*hand_over)->mutex);
    (*hand_over)->done = true;
  }
  (*hand_over)->done_signal.notify_one();
  delete hand_over;
  return G_SOURCE_REMOVE;
}

gboolean RunPosted(gpointer data) {
  auto* f = static_cast<std::function<void()>*>(data);
  (*f)();
  delete f;
  return G_SOURCE_REMOVE;
}

}  // namespace

void MarkWindowThread() { g_window_thread = std::this_thread::get_id(); }

bool OnWindowThread() { return g_window_thread.load() == std::this_thread::get_id(); }

namespace detail {
void QueueAndWait(const std::shared_ptr<HandOver>& hand_over) {
  g_idle_add_full(G_PRIORITY_DEFAULT, RunHandOver, new std::shared_ptr<HandOver>(hand_over), nullptr);
  std::unique_lock<std::mutex> lock(hand_over->mutex);
  hand_over->done_signal.wait(lock, [&] { return hand_over->done; });
}
}  // namespace detail

void PostToWindowThread(std::function<void()> f) {
  g_idle_add_full(G_PRIORITY_DEFAULT, RunPosted, new std::function<void()>(std::move(f)), nullptr);
}

}  // namespace brevane::gtk
