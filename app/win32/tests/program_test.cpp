// The Windows program itself: started from a scratch copy, it shows its main
// window, and Esc pressed in an edit box ends it with exit code 0. Needs a
// display (Wine under Xvfb).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The build's path of the program, as Wine sees the build tree (drive Z: is
// the root of the host's file system).
std::wstring ProgramPath() {
  std::wstring path;
  for (const char* p = BREVANE_PROGRAM_PATH; *p; ++p) path.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
  if (!path.empty() && path[0] == L'\\') path = L"Z:" + path;
  return path;
}

struct Search {
  DWORD process = 0;
  HWND found = nullptr;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t class_name[64] = {};
  GetClassNameW(window, class_name, 64);
  if (process == search->process && std::wstring(class_name) == L"BrevaneMainWindow" && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

TEST(Program, EscapeInAnEditBoxEndsItWithExitCodeZero) {
  // A scratch directory: the program writes its settings files beside itself.
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring directory = std::wstring(temp) + L"brevane-program-test-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(directory.c_str(), nullptr);
  const std::wstring program = directory + L"\\brevane.exe";
  ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), program.c_str(), FALSE)) << "cannot copy the program";

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  std::wstring command = L"\"" + program + L"\"";
  ASSERT_TRUE(CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             directory.c_str(), &startup, &info));

  Search search;
  search.process = info.dwProcessId;
  for (int i = 0; i < 600 && search.found == nullptr; ++i) {
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0) break;
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(100);
  }
  ASSERT_NE(search.found, nullptr) << "the main window did not appear";
  RECT r;
  GetWindowRect(search.found, &r);
  EXPECT_EQ(r.right - r.left, 817);
  EXPECT_EQ(r.bottom - r.top, 589);

  HWND edit = FindWindowExW(search.found, nullptr, L"Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_EQ(WaitForSingleObject(info.hProcess, 60000), WAIT_OBJECT_0) << "the program did not end on Esc";
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);

  // The settings files it wrote at start-up (the defaults) are removed again.
  WIN32_FIND_DATAW entry;
  HANDLE files = FindFirstFileW((directory + L"\\*").c_str(), &entry);
  if (files != INVALID_HANDLE_VALUE) {
    do {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((directory + L"\\" + entry.cFileName).c_str());
    } while (FindNextFileW(files, &entry));
    FindClose(files);
  }
  RemoveDirectoryW(directory.c_str());
}

}  // namespace
