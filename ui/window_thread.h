// Hand-over of calls to the window thread, the program's one way to reach
// it. The widgets and the embedded browser belong to the window thread;
// another thread (the first-activation login worker, a document call made
// off the window thread) hands it a call and waits until it has run, and
// the window model queues its posted events the same way. Each platform
// implements the functions below once (window_thread_gtk.cpp on GLib's main
// context, app/win32/window_thread.cpp with a hand-over window); the call
// with a result is written once, here.
#pragma once

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace brevane {

// Runs a call on the window thread and returns when it has run.
using HandOver = std::function<void(const std::function<void()>& call)>;

// Runs f through the hand-over and returns its result.
template <typename F>
auto HandOverCall(const HandOver& hand_over, F&& f) -> std::invoke_result_t<F> {
  using R = std::invoke_result_t<F>;
  if constexpr (std::is_void_v<R>) {
    hand_over([&f] { f(); });
  } else {
    std::optional<R> result;
    hand_over([&f, &result] { result.emplace(f()); });
    // A hand-over that could not run the call leaves the type's empty value.
    return result ? std::move(*result) : R{};
  }
}

// The shell's: whether the caller is the window thread.
bool OnWindowThread();
// The shell's hand-over: on the window thread the call runs at once; from
// another thread it runs on the window thread and this returns when it has
// run (where the shell has no window thread to run it, on the caller). The
// window thread
// never waits for a worker, so ending the program while one waits cannot
// deadlock.
void HandOverToWindowThread(const std::function<void()>& call);
// The same hand-over without the wait: queues the call to the window thread
// and returns at once (the window model's posted events). The window thread
// must have been marked (on Windows a call posted before is dropped).
void PostToWindowThread(std::function<void()> call);

// Runs f on the window thread and returns its result.
template <typename F>
auto RunOnWindowThread(F&& f) -> std::invoke_result_t<F> {
  return HandOverCall(HandOverToWindowThread, std::forward<F>(f));
}

}  // namespace brevane
