// A stand-in test program for the kit runner's check. What it does comes
// from its own file name, as the runner starts programs without arguments:
// "crash" ends in an unhandled access violation, "hang" never ends, "fail" exits with 3, any
// other name prints a record line and exits with 0.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int main() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const wchar_t* name = std::wcsrchr(path, L'\\');
  name = name ? name + 1 : path;
  if (std::wcsstr(name, L"crash") != nullptr) {
    RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  }
  if (std::wcsstr(name, L"hang") != nullptr) {
    for (;;) Sleep(INFINITE);
  }
  if (std::wcsstr(name, L"fail") != nullptr) {
    std::printf("a failing sample\n");
    return 3;
  }
  std::printf("record: sample passed\n");
  return 0;
}
