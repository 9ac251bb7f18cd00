// The kit's run-tests.cmd and runner over sample programs that pass, fail,
// crash and hang: every program gets its line in results.txt, only a zero
// exit code passes, a hang is ended at the time limit and the run goes on,
// and the command's own exit code says that something failed.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/")); }

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return Folder(path);
}

// run-tests.cmd beside this program (in the kit), else the source tree's
// (drive Z: is the root of the host's file system under Wine).
std::wstring RunTestsCmd() {
  std::wstring beside = OwnFolder() + L"\\run-tests.cmd";
  if (GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
  std::wstring path;
  for (const char* p = BREVANE_RUN_TESTS_CMD; *p; ++p) path.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
  if (!path.empty() && path[0] == L'\\') path = L"Z:" + path;
  return path;
}

void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolder(folder + L"\\" + name);
      } else {
        DeleteFileW((folder + L"\\" + name).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

TEST(Kit, EveryProgramIsReportedAndOnlyAZeroExitPasses) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring kit = std::wstring(temp) + L"brevane-kit-check-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(kit.c_str(), nullptr));
  const std::wstring here = OwnFolder();
  ASSERT_TRUE(CopyFileW((here + L"\\brevane-kit-runner.exe").c_str(), (kit + L"\\brevane-kit-runner.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(RunTestsCmd().c_str(), (kit + L"\\run-tests.cmd").c_str(), FALSE));
  const wchar_t* samples[] = {L"a_pass_tests.exe", L"b_crash_tests.exe", L"c_hang_tests.exe", L"d_fail_tests.exe"};
  for (const wchar_t* name : samples) {
    ASSERT_TRUE(CopyFileW((here + L"\\brevane-kit-sample.exe").c_str(), (kit + L"\\" + name).c_str(), FALSE));
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  std::wstring command = L"cmd.exe /c run-tests.cmd --time-limit 3";
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, kit.c_str(), &startup,
                             &info));
  ASSERT_EQ(WaitForSingleObject(info.hProcess, 120000), WAIT_OBJECT_0) << "run-tests.cmd did not end";
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  EXPECT_EQ(code, 1u) << "run-tests.cmd must fail when a program does";

  std::ifstream file((kit + L"\\results.txt").c_str(), std::ios::binary);
  std::stringstream results;
  results << file.rdbuf();
  const std::string text = results.str();
  struct Expected {
    const char* line;  // the beginning of the program's line
  };
  const Expected expected[] = {
      {"passed     a_pass_tests.exe ("},
      {"failed     b_crash_tests.exe: exit code 3221225477 (0xC0000005, access violation)"},
      {"timed out  c_hang_tests.exe: still running after 3 s, ended"},
      {"failed     d_fail_tests.exe: exit code 3 (0x00000003)"},
      {"1 of 4 programs passed"},
      {"a_pass_tests.exe: record: sample passed"},
  };
  for (const Expected& e : expected) {
    EXPECT_NE(text.find(std::string("\r\n") + e.line), std::string::npos) << e.line << "\nin results.txt:\n" << text;
  }
  std::ifstream log((kit + L"\\logs\\d_fail_tests.txt").c_str(), std::ios::binary);
  std::stringstream output;
  output << log.rdbuf();
  EXPECT_EQ(output.str().find("a failing sample"), 0u) << "each program's output goes to its log";
  log.close();
  file.close();
  RemoveFolder(kit);
}

}  // namespace
