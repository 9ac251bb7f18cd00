// The frame player on a real X server (the tests run under Xvfb): the frames
// it shows, in order, as the window's own pixels; what it refuses; and a
// window or its pixmaps gone while it plays, as when the box is unrealised
// or its picture replaced under it.
#include "app/gtk/frame_player.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace brevane::gtk {
namespace {

constexpr uint32_t kColours[] = {0xff0000, 0x00ff00, 0x0000ff};

// A mapped 16 x 16 window and one pixmap of each colour, on a connection of
// the test's own.
struct Screen {
  // A bare X server resets when its last client leaves, refusing
  // connections meanwhile: one connection stays for the whole run.
  static inline xcb_connection_t* const kept = xcb_connect(nullptr, nullptr);
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  xcb_screen_t* screen = nullptr;
  uint32_t window = 0;
  std::vector<uint32_t> pixmaps;

  Screen() {
    if (xcb_connection_has_error(c) != 0) return;
    screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 16, 16, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    xcb_map_window(c, window);
    for (uint32_t colour : kColours) {
      const uint32_t pixmap = xcb_generate_id(c), gc = xcb_generate_id(c);
      xcb_create_pixmap(c, screen->root_depth, pixmap, window, 16, 16);
      xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &colour);
      const xcb_rectangle_t all{0, 0, 16, 16};
      xcb_poly_fill_rectangle(c, pixmap, gc, 1, &all);
      xcb_free_gc(c, gc);
      pixmaps.push_back(pixmap);
    }
    Sync();
  }
  ~Screen() { xcb_disconnect(c); }
  void Sync() { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }
  // The colour of the window's middle pixel, as the server holds it.
  uint32_t Pixel() {
    xcb_get_image_reply_t* image =
        xcb_get_image_reply(c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 8, 8, 1, 1, ~0u), nullptr);
    if (image == nullptr) return 0xdead;
    uint32_t pixel = 0;
    if (xcb_get_image_data_length(image) >= 4) pixel = *reinterpret_cast<const uint32_t*>(xcb_get_image_data(image));
    std::free(image);
    return pixel & 0xffffff;
  }
};

// The frames a player reports shown, waited for by its reports.
struct Shown {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::size_t> frames;
  void Hook(FramePlayer& p) {
    p.SetShownHook([this](std::size_t f) {
      std::lock_guard<std::mutex> lock(mutex);
      frames.push_back(f);
      changed.notify_all();
    });
  }
  std::size_t Count() {
    std::lock_guard<std::mutex> lock(mutex);
    return frames.size();
  }
  bool WaitFor(std::size_t n) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(20), [&] { return frames.size() >= n; });
  }
};

TEST(FramePlayer, ShowsEachFrameInTurnAsTheWindowsPixels) {
  Screen s;
  ASSERT_NE(s.window, 0u) << "no X display";
  FramePlayer player;
  Shown shown;
  shown.Hook(player);
  ASSERT_TRUE(player.Play(getenv("DISPLAY"), s.window, s.pixmaps, {1, 1, 1}, 1, 0));
  ASSERT_TRUE(shown.WaitFor(5));
  player.Stop();
  EXPECT_FALSE(player.playing());
  std::vector<std::size_t> first(shown.frames.begin(), shown.frames.begin() + 5);
  EXPECT_EQ(first, (std::vector<std::size_t>{1, 2, 0, 1, 2}));
  // Stopped: the last frame shown is what the window holds.
  EXPECT_EQ(s.Pixel(), kColours[shown.frames.back()]);
  // Played again from frame 0 with a long first delay: it shows at once.
  ASSERT_TRUE(player.Play(getenv("DISPLAY"), s.window, s.pixmaps, {60000, 1, 1}, 0, 5));
  player.Stop();
  EXPECT_EQ(s.Pixel(), kColours[0]);
}

TEST(FramePlayer, RefusesWhatItCannotPlay) {
  Screen s;
  ASSERT_NE(s.window, 0u) << "no X display";
  const std::string display = getenv("DISPLAY");
  struct Row {
    const char* what;
    std::string display;
    uint32_t window;
    std::vector<uint32_t> pixmaps;
    std::vector<int> delays;
    std::size_t first;
  } rows[] = {
      {"no frames", display, s.window, {}, {}, 0},
      {"fewer delays than frames", display, s.window, s.pixmaps, {1, 1}, 0},
      {"first past the end", display, s.window, s.pixmaps, {1, 1, 1}, 3},
      {"a delay of zero", display, s.window, s.pixmaps, {1, 0, 1}, 0},
      {"no window", display, 0, s.pixmaps, {1, 1, 1}, 0},
      {"a window that does not exist", display, s.window + 0x1000, s.pixmaps, {1, 1, 1}, 0},
      {"a display that cannot be reached", ":4242", s.window, s.pixmaps, {1, 1, 1}, 0},
  };
  for (const Row& r : rows) {
    FramePlayer player;
    EXPECT_FALSE(player.Play(r.display, r.window, r.pixmaps, r.delays, r.first, 0)) << r.what;
    EXPECT_FALSE(player.playing()) << r.what;
  }
}

TEST(FramePlayer, WindowOrPixmapsGoneWhilePlaying) {
  for (const bool window_goes : {true, false}) {
    Screen s;
    ASSERT_NE(s.window, 0u) << "no X display";
    FramePlayer player;
    Shown shown;
    shown.Hook(player);
    ASSERT_TRUE(player.Play(getenv("DISPLAY"), s.window, s.pixmaps, {1, 1, 1}, 0, 0));
    if (window_goes) {
      xcb_destroy_window(s.c, s.window);
    } else {
      for (uint32_t p : s.pixmaps) xcb_free_pixmap(s.c, p);
    }
    s.Sync();
    // It plays on into errors that only its own connection sees, and stops.
    const std::size_t before = shown.Count();
    EXPECT_TRUE(shown.WaitFor(before + 4)) << window_goes;
    player.Stop();
    EXPECT_FALSE(player.playing());
  }
}

}  // namespace
}  // namespace brevane::gtk
