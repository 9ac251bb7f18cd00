#include "ui/window_thread_gtk.h"

#include <glib.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace brevane {
namespace {

std::atomic<std::thread::id> g_window_thread{};

struct Waiting {
  std::function<void()> call;
  std::mutex mutex;
  std::condition_variable done_signal;
  bool done = false;
};

gboolean RunWaiting(gpointer data) {
  // The idle source owns one reference to the record.
  auto* waiting = static_cast<std::shared_ptr<Waiting>*>(data);
  (*waiting)->call();
  {
    std::lock_guard<std::mutex> lock((*waiting)->mutex);
    (*waiting)->done = true;
  }
  (*waiting)->done_signal.notify_one();
  delete waiting;
  return G_SOURCE_REMOVE;
}

gboolean RunPosted(gpointer data) {
  auto* f = static_cast<std::function<void()>*>(data);
  (*f)();
  delete f;
  return G_SOURCE_REMOVE;
}

}  // namespace

bool OnWindowThread() { return g_window_thread.load() == std::this_thread::get_id(); }

void HandOverToWindowThread(const std::function<void()>& call) {
  if (OnWindowThread()) return call();
  auto waiting = std::make_shared<Waiting>();
  waiting->call = call;
  g_idle_add_full(G_PRIORITY_DEFAULT, RunWaiting, new std::shared_ptr<Waiting>(waiting), nullptr);
  std::unique_lock<std::mutex> lock(waiting->mutex);
  waiting->done_signal.wait(lock, [&] { return waiting->done; });
}

void PostToWindowThread(std::function<void()> call) {
  g_idle_add_full(G_PRIORITY_DEFAULT, RunPosted, new std::function<void()>(std::move(call)), nullptr);
}

namespace gtk {

void MarkWindowThread() { g_window_thread = std::this_thread::get_id(); }

}  // namespace gtk
}  // namespace brevane
