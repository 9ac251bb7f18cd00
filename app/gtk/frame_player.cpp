#include "app/gtk/frame_player.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace brevane::gtk {

FramePlayer::~FramePlayer() {
  Stop();
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

bool FramePlayer::Play(const std::string& display_name, uint32_t window, std::vector<uint32_t> pixmaps,
                       std::vector<int> delays_ms, std::size_t first, int shown_ms) {
  Stop();
  if (pixmaps.empty() || pixmaps.size() != delays_ms.size() || first >= pixmaps.size() || window == 0) return false;
  if (std::any_of(delays_ms.begin(), delays_ms.end(), [](int d) { return d <= 0; })) return false;
  if (connection_ != nullptr && (display_name != display_name_ || xcb_connection_has_error(connection_) != 0)) {
    xcb_disconnect(connection_);
    connection_ = nullptr;
  }
  if (connection_ == nullptr) {
    // xcb_connect always gives a connection object, one in error when the
    // display cannot be reached; it is freed either way by xcb_disconnect.
    connection_ = xcb_connect(display_name.c_str(), nullptr);
    if (xcb_connection_has_error(connection_) != 0) {
      xcb_disconnect(connection_);
      connection_ = nullptr;
      return false;
    }
    display_name_ = display_name;
  }
  // The first frame goes as a checked request: where this connection may
  // not change the window (gone already, or a server that keeps clients
  // apart), nothing plays and the caller times the frames itself.
  const uint32_t background = pixmaps[first];
  xcb_generic_error_t* error =
      xcb_request_check(connection_, xcb_change_window_attributes_checked(connection_, window, XCB_CW_BACK_PIXMAP, &background));
  if (error != nullptr) {
    std::free(error);
    return false;
  }
  xcb_clear_area(connection_, 0, window, 0, 0, 0, 0);
  xcb_flush(connection_);
  window_ = window;
  pixmaps_ = std::move(pixmaps);
  delays_ms_ = std::move(delays_ms);
  stop_ = false;
  if (shown_hook_) shown_hook_(first);
  thread_ = std::thread(&FramePlayer::Run, this, first, std::clamp(shown_ms, 0, delays_ms_[first]));
  return true;
}

void FramePlayer::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
  // A round trip: every frame sent before it has been carried out.
  if (xcb_connection_has_error(connection_) == 0) {
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    DropReplies();
  }
}

void FramePlayer::Run(std::size_t first, int shown_ms) {
  using Clock = std::chrono::steady_clock;
  const auto ms = [](int n) { return std::chrono::milliseconds(n); };
  std::size_t frame = first;
  Clock::time_point due = Clock::now() + ms(delays_ms_[frame] - shown_ms);
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_until(lock, due, [this] { return stop_; })) {
    frame = (frame + 1) % pixmaps_.size();
    Show(frame);
    if (xcb_connection_has_error(connection_) != 0) return;  // the server is gone: nothing more to play
    // Each frame is due a delay after the last one was due, so the timing
    // does not drift; after a stall (a suspended machine, a busy one) the
    // frames go on from now instead of racing through the ones missed.
    due += ms(delays_ms_[frame]);
    const Clock::time_point now = Clock::now();
    if (due < now) due = now + ms(delays_ms_[frame]);
  }
}

void FramePlayer::Show(std::size_t frame) {
  xcb_change_window_attributes(connection_, window_, XCB_CW_BACK_PIXMAP, &pixmaps_[frame]);
  xcb_clear_area(connection_, 0, window_, 0, 0, 0, 0);
  xcb_flush(connection_);
  DropReplies();
  if (shown_hook_) shown_hook_(frame);
}

void FramePlayer::DropReplies() {
  // Errors for a window or pixmap gone meanwhile, and nothing else: the
  // connection asks for no events.
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) std::free(event);
}

}  // namespace brevane::gtk
