// The Windows pause on real time: it lasts its duration, dispatches the
// thread's messages while it waits, lets a handler pause in turn, and keeps
// a quit request for the main loop.
#include "app/win32/pause_win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace brevane::win32 {
namespace {

constexpr UINT kPing = WM_APP + 1;
constexpr UINT kNested = WM_APP + 2;

// The timer's resolution and the tick count's granularity on this system.
constexpr ULONGLONG kSlackMs = 20;

struct Recorder {
  std::vector<std::string> events;
  Pause* pause = nullptr;
  int nested_ms = 0;
};

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* recorder = reinterpret_cast<Recorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (recorder && message == kPing) {
    recorder->events.push_back("ping " + std::to_string(wparam));
    return 0;
  }
  if (recorder && message == kNested) {
    recorder->events.push_back("inner start");
    recorder->pause->For(recorder->nested_ms);
    recorder->events.push_back("inner end");
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

class PauseTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProcedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BrevanePauseTest";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, L"BrevanePauseTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&recorder_));
    recorder_.pause = &pause_;
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  Pause pause_{GetParam()};
  Recorder recorder_;
  HWND window_ = nullptr;
};

TEST_P(PauseTest, LastsItsDurationWithNothingToDispatch) {
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(pause_.For(300), 1);
  EXPECT_GE(GetTickCount64() - start + kSlackMs, 300u);
  EXPECT_TRUE(recorder_.events.empty());

  EXPECT_EQ(pause_.For(0), 1);
  EXPECT_EQ(pause_.For(-5), 1);
}

TEST_P(PauseTest, UnitsScaleTheDuration) {
  const ULONGLONG start = GetTickCount64();
  pause_.For(1, pause_unit::kSeconds);
  EXPECT_GE(GetTickCount64() - start + kSlackMs, 1000u);
}

TEST_P(PauseTest, DispatchesPostedMessagesInsideTheWait) {
  PostMessageW(window_, kPing, 1, 0);
  PostMessageW(window_, kPing, 2, 0);
  const ULONGLONG start = GetTickCount64();
  pause_.For(250);
  // The messages were handled, and handling them did not end the wait.
  EXPECT_EQ(recorder_.events, (std::vector<std::string>{"ping 1", "ping 2"}));
  EXPECT_GE(GetTickCount64() - start + kSlackMs, 250u);
}

TEST_P(PauseTest, AHandlerThatPausesReturnsFirst) {
  recorder_.nested_ms = 400;
  PostMessageW(window_, kNested, 0, 0);
  const ULONGLONG start = GetTickCount64();
  pause_.For(100);
  recorder_.events.push_back("outer end");
  EXPECT_EQ(recorder_.events, (std::vector<std::string>{"inner start", "inner end", "outer end"}));
  // The outer pause ended only when the handler's own pause was over.
  EXPECT_GE(GetTickCount64() - start + kSlackMs, 400u);
}

TEST_P(PauseTest, KeepsAQuitRequestForTheMainLoop) {
  PostQuitMessage(7);
  PostMessageW(window_, kPing, 3, 0);
  pause_.For(50);
  EXPECT_EQ(recorder_.events, (std::vector<std::string>{"ping 3"}));
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u);
}

TEST_P(PauseTest, TheMessageFilterSeesMessagesBeforeTheirWindow) {
  SetMessageFilter([](MSG& msg) { return msg.message == kPing && msg.wParam == 9; });
  PostMessageW(window_, kPing, 9, 0);
  PostMessageW(window_, kPing, 4, 0);
  pause_.For(50);
  SetMessageFilter(nullptr);
  EXPECT_EQ(recorder_.events, (std::vector<std::string>{"ping 4"}));
}

// CPU time (user and kernel) the calling thread has used, in milliseconds.
double ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  const auto ms = [](const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

double NowMs() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// A pause neither overruns by much nor spins: it ends within a bound far
// above any timer's resolution (a pause that loses its timer or waits for a
// message overruns it), and waits in the system, using a small share of the
// processor, with messages arriving or not.
TEST_P(PauseTest, EndsSoonAfterItsDurationAndWaitsWithoutSpinning) {
  constexpr double kOverrunBoundMs = 250;
  // The share of the processor a spinning thread gets on this (possibly
  // busy) machine, measured on 200 ms of spinning: a pause that spun would
  // show about that share.
  double spin_share = 0;
  {
    const double cpu_before = ThreadCpuMs();
    const double start = NowMs();
    volatile uint64_t sink = 0;
    while (NowMs() - start < 200) sink = sink + 1;
    spin_share = (ThreadCpuMs() - cpu_before) / (NowMs() - start);
    std::printf("spinning 200 ms: %.0f%% of a processor\n", spin_share * 100);
    ASSERT_GT(spin_share, 0.1) << "this system does not report thread times; the spinning check cannot work";
  }
  for (int duration : {50, 300}) {
    for (bool with_messages : {false, true}) {
      if (with_messages) {
        for (WPARAM i = 0; i < 5; ++i) PostMessageW(window_, kPing, i, 0);
      }
      const double cpu_before = ThreadCpuMs();
      const double start = NowMs();
      pause_.For(duration);
      const double wall = NowMs() - start;
      const double cpu = ThreadCpuMs() - cpu_before;
      std::printf("pause %d ms%s: %.1f ms wall, %.1f ms processor\n", duration,
                  with_messages ? " with messages" : "", wall, cpu);
      EXPECT_GE(wall + static_cast<double>(kSlackMs), duration);
      EXPECT_LE(wall, duration + kOverrunBoundMs) << duration << " ms pause";
      if (duration >= 300) {
        EXPECT_LT(cpu, spin_share * wall / 4) << "the pause spins";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(TimerAndFallback, PauseTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("WaitableTimer") : std::string("TickCount");
                         });

TEST(Pause, TickCountFollowsTheSystemClock) {
  Pause pause;
  const int64_t before = pause.TickCount();
  pause.For(50);
  EXPECT_GE(pause.TickCount() - before + static_cast<int64_t>(kSlackMs), 50);
}

}  // namespace
}  // namespace brevane::win32
