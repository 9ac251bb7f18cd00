// Hand-over of calls to the window thread. The window thread owns a hidden
// message-only window; another thread (the first-activation login worker)
// hands it a call by sending a private message with the call, and SendMessage
// returns when the window thread has run it. The window thread serves sent
// messages in its main loop and inside every pause, so a call waits at most
// for the handler that is running at the time.
#pragma once

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace brevane::win32 {

// Makes the calling thread the window thread (once, at start) and creates
// its hand-over window. False when the window cannot be created.
bool MarkWindowThread();
bool OnWindowThread();

namespace detail {
// Runs call on the window thread and waits for it; false when there is no
// window thread to run it.
bool SendToWindowThread(const std::function<void()>& call);
}  // namespace detail

// Runs f on the window thread and returns its result; on the window thread
// itself f runs at once. Without a window thread f runs on the caller.
template <typename F>
auto RunOnWindowThread(F&& f) -> std::invoke_result_t<F> {
  using R = std::invoke_result_t<F>;
  if (OnWindowThread()) return f();
  if constexpr (std::is_void_v<R>) {
    if (!detail::SendToWindowThread([&f] { f(); })) f();
  } else {
    std::optional<R> result;
    if (!detail::SendToWindowThread([&f, &result] { result.emplace(f()); })) result.emplace(f());
    return std::move(*result);
  }
}

// The hand-over the login worker's proxies (app/worker_proxies.h) use.
inline void HandOverToWindowThread(const std::function<void()>& call) { RunOnWindowThread(call); }

}  // namespace brevane::win32
