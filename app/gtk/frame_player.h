// Plays a picture box's frames inside the X server, off the window thread:
// each frame is a pixmap already in the server, and a frame change is two
// requests on a connection of the player's own (the window's background
// becomes the next pixmap, then the window is cleared to it), sent by a
// thread that sleeps until the next frame is due. GTK's main loop never wakes
// for the banner, so an animation costs the program a few microseconds a
// frame rather than a pass of the main loop.
//
// The player's connection is XCB's, which keeps no process-wide state: a
// request about a window or pixmap that is already gone (the box unrealised,
// the frames replaced) earns an error reply on that connection alone, which
// the player reads and drops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

struct xcb_connection_t;

namespace brevane::gtk {

class FramePlayer {
 public:
  FramePlayer() = default;
  ~FramePlayer();
  FramePlayer(const FramePlayer&) = delete;
  FramePlayer& operator=(const FramePlayer&) = delete;

  // Plays pixmaps[i] for delays_ms[i] milliseconds each, round and round, as
  // the background of the X window `window` on the display named
  // `display_name`, from frame `first`, which has stood shown_ms already.
  // The first frame is shown at once. False, and nothing plays, when the
  // lists are empty or of different lengths, first is not among them, a
  // delay is not positive, or the display cannot be reached.
  bool Play(const std::string& display_name, uint32_t window, std::vector<uint32_t> pixmaps,
            std::vector<int> delays_ms, std::size_t first, int shown_ms);
  // Stops playing and returns once the X server has carried out every
  // request the player sent, so nothing it sent can land after what the
  // caller draws next. Nothing happens when nothing plays.
  void Stop();
  bool playing() const { return thread_.joinable(); }

  // For tests: called on the player's thread with each frame index shown.
  void SetShownHook(std::function<void(std::size_t)> hook) { shown_hook_ = std::move(hook); }

 private:
  void Run(std::size_t first, int shown_ms);
  void Show(std::size_t frame);
  void DropReplies();

  xcb_connection_t* connection_ = nullptr;
  std::string display_name_;  // of connection_
  uint32_t window_ = 0;
  std::vector<uint32_t> pixmaps_;
  std::vector<int> delays_ms_;
  std::function<void(std::size_t)> shown_hook_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace brevane::gtk
