// The Windows program itself: started from a scratch copy, it shows its main
// window, and Esc pressed in an edit box ends it with exit code 0. Needs a
// display (Wine under Xvfb).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The program beside this test (the test kit carries both), else the build's
// path of it, as Wine sees the build tree (drive Z: is the root of the host's
// file system).
std::wstring ProgramPath() {
  wchar_t own[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(nullptr, own, MAX_PATH);
  std::wstring beside(own, n);
  beside = beside.substr(0, beside.find_last_of(L"\\/") + 1) + L"brevane.exe";
  if (n > 0 && n < MAX_PATH && GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
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

  // With the manifest, common controls 6 load: the tab control is there
  // with its two pages all the same.
  HWND tabs = FindWindowExW(search.found, nullptr, L"SysTabControl32", nullptr);
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(SendMessageW(tabs, 0x1300 + 4 /* TCM_GETITEMCOUNT */, 0, 0), 2);

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

// The manifest linked into the program: common controls 6, the supported
// systems, and no default code page forced on the process.
TEST(Program, CarriesItsApplicationManifest) {
  HMODULE image = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr);
  HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr) << "no manifest resource";
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(image, found)));
  ASSERT_NE(bytes, nullptr);
  const std::string manifest(bytes, SizeofResource(image, found));
  FreeLibrary(image);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);  // Windows 10/11
  EXPECT_NE(manifest.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos);  // Windows 7
  EXPECT_EQ(manifest.find("<activeCodePage"), std::string::npos);
  EXPECT_NE(manifest.find("asInvoker"), std::string::npos);

  // The loader accepts it: an activation context made from the program's
  // own resource.
  const std::wstring path = ProgramPath();
  ACTCTXW context{};
  context.cbSize = sizeof(context);
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = path.c_str();
  context.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE handle = CreateActCtxW(&context);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE) << "error " << GetLastError();
  ReleaseActCtx(handle);
}

}  // namespace
