#include "app/win32/window_thread.h"

#include <windows.h>

#include <atomic>
#include <memory>

namespace brevane {
namespace win32 {
namespace {

constexpr UINT kRunCall = WM_APP + 0x43;
// A posted call: lParam holds a std::function the window runs and deletes.
constexpr UINT kPostedCall = WM_APP + 0x42;
constexpr wchar_t kHandOverClass[] = L"BrevaneHandOver";

std::atomic<DWORD> g_window_thread{0};
std::atomic<HWND> g_hand_over{nullptr};

LRESULT CALLBACK HandOverProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRunCall) {
    const auto* call = reinterpret_cast<const std::function<void()>*>(lparam);
    if (call && *call) (*call)();
    return 1;
  }
  if (message == kPostedCall) {
    std::unique_ptr<std::function<void()>> call(reinterpret_cast<std::function<void()>*>(lparam));
    if (call && *call) (*call)();
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

bool MarkWindowThread() {
  if (g_hand_over.load() != nullptr) return OnWindowThread();
  WNDCLASSW wc{};
  wc.lpfnWndProc = HandOverProcedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kHandOverClass;
  if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  HWND window = CreateWindowExW(0, kHandOverClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  if (window == nullptr) return false;
  g_window_thread = GetCurrentThreadId();
  g_hand_over = window;
  return true;
}

}  // namespace win32

bool OnWindowThread() { return win32::g_window_thread.load() == GetCurrentThreadId(); }

void HandOverToWindowThread(const std::function<void()>& call) {
  HWND window = win32::g_hand_over.load();
  if (OnWindowThread() || window == nullptr ||
      SendMessageW(window, win32::kRunCall, 0, reinterpret_cast<LPARAM>(&call)) != 1) {
    call();
  }
}

void PostToWindowThread(std::function<void()> call) {
  HWND window = win32::g_hand_over.load();
  auto* queued = new std::function<void()>(std::move(call));
  if (window == nullptr || !PostMessageW(window, win32::kPostedCall, 0, reinterpret_cast<LPARAM>(queued))) delete queued;
}

}  // namespace brevane
