// Hand-over of calls to the window thread. The window thread runs GLib's
// default main context; another thread (the first-activation login worker)
// queues a call there as an idle source and sleeps on a condition variable
// until the window thread has run it. The window thread never waits for a
// worker, so ending the program while a worker waits cannot deadlock: the
// process simply exits with the worker still asleep.
#pragma once

#include <glib.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>

namespace brevane::gtk {

// Records the calling thread as the window thread (called once, at start).
void MarkWindowThread();
bool OnWindowThread();

namespace detail {
struct HandOver {
  std::function<void()> call;
  std::mutex mutex;
  std::condition_variable done_signal;
  bool done = false;
};
void QueueAndWait(const std::shared_ptr<HandOver>& hand_over);
}  // namespace detail

// Runs f on the window thread and returns its result; called on the window
// thread it runs f at once.
template <typename F>
auto RunOnWindowThread(F&& f) -> std::invoke_result_t<F> {
  using R = std::invoke_result_t<F>;
  if (OnWindowThread()) return f();
  auto hand_over = std::make_shared<detail::HandOver>();
  if constexpr (std::is_void_v<R>) {
    hand_over->call = [&f] { f(); };
    detail::QueueAndWait(hand_over);
  } else {
    std::optional<R> result;
    hand_over->call = [&f, &result] { result.emplace(f()); };
    detail::QueueAndWait(hand_over);
    return std::move(*result);
  }
}

// The hand-over the login worker's proxies (app/worker_proxies.h) use.
inline void HandOverToWindowThread(const std::function<void()>& call) { RunOnWindowThread(call); }

// Queues f to the window thread and returns at once.
void PostToWindowThread(std::function<void()> f);

}  // namespace brevane::gtk
