#include "app/win32/window_thread.h"

#include <windows.h>

#include <atomic>

namespace brevane {
namespace win32 {
namespace {

constexpr UINT kRunCall = WM_APP + 0x43;
constexpr wchar_t kHandOverClass[] = L"BrevaneHandOver";

std::atomic<DWORD> g_window_thread{0};
std::atomic<HWND> g_hand_over{nullptr};

LRESULT CALLBACK HandOverProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRunCall) {
    const auto* call = reinterpret_cast<const std::function<void()>*>(lparam);
    if (call && *call) (*call)();
    return 1;
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

}  // namespace brevane
