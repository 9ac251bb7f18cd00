// The window comes up with its tab control whichever common-controls version
// the process loads: version 5 (no manifest, as this test program runs) and
// version 6 (through the program's own manifest in an activation context;
// Wine maps both to its one comctl32, which reports version 5 either way,
// so there the second case proves the manifest is accepted and the window
// still comes up inside its context).
// Needs a display (Wine under Xvfb).
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>

#include "app/win32/main_window.h"

namespace brevane::win32 {
namespace {

std::wstring ManifestPath() {
  std::wstring path;
  for (const char* p = BREVANE_MANIFEST_PATH; *p; ++p) path.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
  if (!path.empty() && path[0] == L'\\') path = L"Z:" + path;
  return path;
}

// The major version of the comctl32 the current activation context maps.
DWORD LoadedCommonControlsMajor() {
  HMODULE module = LoadLibraryW(L"comctl32.dll");
  if (module == nullptr) return 0;
  auto get_version = reinterpret_cast<HRESULT(CALLBACK*)(DLLVERSIONINFO*)>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetVersion")));
  DLLVERSIONINFO info{};
  info.cbSize = sizeof(info);
  const DWORD major = get_version && SUCCEEDED(get_version(&info)) ? info.dwMajorVersion : 0;
  FreeLibrary(module);
  return major;
}

void ExpectWindowWithTabs() {
  MainWindow window;
  ASSERT_TRUE(window.CreateAndShow());
  HWND tabs = FindWindowExW(window.hwnd(), nullptr, WC_TABCONTROLW, nullptr);
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_TRUE(IsWindowVisible(tabs));
  // Switching pages works through the control's own selection.
  window.SelectPage(2);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 1);
}

TEST(CommonControls, VersionFiveWithoutManifest) {
  EXPECT_LT(LoadedCommonControlsMajor(), 6u);
  ExpectWindowWithTabs();
}

TEST(CommonControls, VersionSixThroughTheProgramsManifest) {
  const std::wstring path = ManifestPath();
  ACTCTXW context{};
  context.cbSize = sizeof(context);
  context.lpSource = path.c_str();
  HANDLE handle = CreateActCtxW(&context);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE) << "the manifest is refused, error " << GetLastError();
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(ActivateActCtx(handle, &cookie));
  const DWORD major = LoadedCommonControlsMajor();
  std::printf("common controls %lu loaded through the manifest\n", static_cast<unsigned long>(major));
  EXPECT_GE(major, 5u);
  ExpectWindowWithTabs();
  DeactivateActCtx(0, cookie);
  ReleaseActCtx(handle);
}

}  // namespace
}  // namespace brevane::win32
