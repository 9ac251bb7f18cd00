// The login worker's calls reach the window thread: a worker thread's call
// runs on the window thread, also while that thread waits in a pause, and
// the worker gets its result.
#include "app/win32/window_thread.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "app/win32/pause_win32.h"

namespace brevane::win32 {
namespace {

TEST(HandOver, WorkerCallsRunOnTheWindowThreadDuringAPause) {
  ASSERT_TRUE(MarkWindowThread());
  const DWORD window_thread = GetCurrentThreadId();
  DWORD ran_on = 0;
  int result = 0;
  bool finished = false;
  std::thread worker([&] {
    result = RunOnWindowThread([&] {
      ran_on = GetCurrentThreadId();
      return 41 + 1;
    });
    RunOnWindowThread([&] { finished = true; });
  });
  // The window thread waits in a pause; the worker's calls are served in it.
  Pause pause;
  for (int i = 0; i < 100 && !finished; ++i) pause.For(20);
  worker.join();
  EXPECT_TRUE(finished);
  EXPECT_EQ(ran_on, window_thread);
  EXPECT_EQ(result, 42);
  // On the window thread itself the call runs at once.
  EXPECT_EQ(RunOnWindowThread([] { return 7; }), 7);
}

}  // namespace
}  // namespace brevane::win32
