#include "app/win32/pause_win32.h"

#include <cmath>
#include <utility>

namespace brevane::win32 {
namespace {

MessageFilter& Filter() {
  static MessageFilter filter;
  return filter;
}

}  // namespace

void SetMessageFilter(MessageFilter filter) { Filter() = std::move(filter); }

bool FilterMessage(MSG& msg) {
  const MessageFilter& filter = Filter();
  return filter && filter(msg);
}

bool DispatchWaitingMessages(int* quit_code) {
  MSG msg;
  bool quit = false;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit = true;
      if (quit_code) *quit_code = static_cast<int>(msg.wParam);
      continue;
    }
    if (FilterMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return quit;
}

int32_t Pause::For(int32_t duration, int32_t unit) {
  bool quit = false;
  int quit_code = 0;
  HANDLE timer = use_timer_ ? CreateWaitableTimerA(nullptr, FALSE, nullptr) : nullptr;
  if (timer) {
    LARGE_INTEGER due;
    due.QuadPart = PauseDueTime(duration, unit);
    if (due.QuadPart >= 0) due.QuadPart = -1;  // a zero or negative duration: fire at once
    if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
      for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &timer, FALSE, INFINITE, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) break;
        if (r == WAIT_FAILED) {
          // The wait itself broke: finish the duration without the timer.
          CloseHandle(timer);
          timer = nullptr;
          break;
        }
        if (DispatchWaitingMessages(&quit_code)) quit = true;
      }
      if (timer) {
        CloseHandle(timer);
        if (quit) PostQuitMessage(quit_code);
        return 1;
      }
    } else {
      CloseHandle(timer);
    }
  }
  WaitWithoutTimer(PauseMilliseconds(duration, unit), &quit, &quit_code);
  if (quit) PostQuitMessage(quit_code);
  return 1;
}

// Without a timer the due moment is computed on the tick count and the wait
// on the input queue gets the time left as its time-out.
void Pause::WaitWithoutTimer(double milliseconds, bool* quit, int* quit_code) {
  const ULONGLONG start = GetTickCount64();
  const double due = static_cast<double>(start) + std::ceil(milliseconds);
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (static_cast<double>(now) >= due) return;
    const double left = due - static_cast<double>(now);
    const DWORD timeout = left >= 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(left);
    DWORD r = MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) {
      if (DispatchWaitingMessages(quit_code)) *quit = true;
    } else if (r == WAIT_FAILED) {
      Sleep(timeout < 10 ? timeout : 10);
    }
  }
}

int64_t Pause::TickCount() { return static_cast<int64_t>(GetTickCount64()); }

}  // namespace brevane::win32
