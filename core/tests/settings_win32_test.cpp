// Settings files on Windows: a program folder whose name has characters
// outside GBK, and a settings file another program holds open.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "core/files.h"
#include "core/tests/core_fixture.h"

namespace brevane::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kChildVariable = "BREVANE_SETTINGS_ROUND_TRIP";

std::string Get(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs in a copy of this test program placed in the folder under test
// (started by the test below): the settings round trip beside the
// executable, as the program does it.
TEST(SettingsBesideTheExecutable, RoundTrip) {
  if (std::getenv(kChildVariable) == nullptr) GTEST_SKIP() << "run by FolderOutsideGbk";
  const std::string directory = ProgramDirectory();
  const fs::path folder(std::u8string(directory.begin(), directory.end()));
  ASSERT_EQ(folder.filename().u8string(), std::u8string(u8"Jörg ✓"));
  ASSERT_EQ(SettingsDirectory(), directory);
  VirtualClock clock;
  ScriptedBrowser browser{clock};
  CoreEdges edges;
  edges.settings_directory = SettingsDirectory();
  const fs::path boards = folder / fs::path(u8"版块.ini");
  const fs::path replies = folder / fs::path(u8"回帖.ini");
  {
    FakeControls controls;
    Core core(controls, browser, edges);
    controls.On(names::kBoardsBox, Event::kContentChanged, [&] { core.SaveBoards(); });
    controls.On(names::kRepliesBox, Event::kContentChanged, [&] { core.SaveReplies(); });
    Text typed;
    for (const char* key : {"h", "t", "t", "p", ":", "/", "/", "b", "/", "1"}) {
      typed += key;
      controls.Type(names::kBoardsBox, typed);
      // Every change is in the file, and only the two files and this
      // program are in the folder: each save replaced the file whole.
      EXPECT_EQ(Get(boards), typed);
      EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator{}), 2);
    }
    controls.Type(names::kRepliesBox, G("回复一\r\n回复二"));
  }
  FakeControls controls;
  Core core(controls, browser, edges);
  core.LoadSettings();
  EXPECT_EQ(controls.Content(names::kBoardsBox), "http://b/1");
  EXPECT_EQ(controls.Content(names::kRepliesBox), G("回复一\r\n回复二"));
  EXPECT_EQ(Get(replies), G("回复一\r\n回复二"));
}

// The program in a folder named "Jörg ✓": a copy of this test program is
// run from there and does the round trip above.
TEST(SettingsFiles, FolderOutsideGbk) {
  if (std::getenv(kChildVariable) != nullptr) GTEST_SKIP() << "already the copy";
  ScratchDirectory scratch;
  const fs::path folder = scratch.path() / fs::path(u8"Jörg ✓");
  fs::create_directories(folder);
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  const fs::path copy = folder / "settings_round_trip.exe";
  fs::copy_file(fs::path(self), copy);

  SetEnvironmentVariableA(kChildVariable, "1");
  std::wstring command = L"\"" + copy.wstring() +
                         L"\" --gtest_filter=SettingsBesideTheExecutable.RoundTrip";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  SetEnvironmentVariableA(kChildVariable, nullptr);
  ASSERT_TRUE(started);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exit_code = 1;
  GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(exit_code, 0u);
  EXPECT_EQ(Get(folder / fs::path(u8"版块.ini")), "http://b/1");
  EXPECT_FALSE(fs::exists(folder / fs::path(u8"版块.ini.tmp")));
  fs::remove(copy);
}

// Another program (an editor, a sync client, a virus scanner) holds the
// file open for writing and shares only reading: the file is still read
// into its box, and a change fails to replace it instead of the default
// taking its place; once it is let go, changes are saved again.
TEST_F(CoreTest, AFileHeldOpenByAnotherProgramIsReadAndKept) {
  const fs::path file = scratch.path() / fs::path(u8"版块.ini");
  std::ofstream(file, std::ios::binary) << "http://b/mine\r\nhttp://b/2";
  controls.Preset(names::kBoardsBox, prop::kContent, Text("http://default/board"));
  HANDLE other = CreateFileW(file.wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  core.LoadSettings();
  EXPECT_EQ(controls.Content(names::kBoardsBox), "http://b/mine\r\nhttp://b/2");
  controls.Type(names::kBoardsBox, "http://b/mine\r\nhttp://b/2\r\nhttp://b/3");
  CloseHandle(other);
  EXPECT_EQ(Get(file), "http://b/mine\r\nhttp://b/2");
  EXPECT_FALSE(fs::exists(scratch.path() / fs::path(u8"版块.ini.tmp")));
  controls.Type(names::kBoardsBox, "http://b/4");
  EXPECT_EQ(Get(file), "http://b/4");
}

// The folder an installed copy keeps its settings in: %APPDATA%\brevane,
// made with its parents, whatever characters the user's folder holds.
TEST(SettingsLocation, TheUsersFolderIsUnderAppData) {
  ScratchDirectory scratch;
  const fs::path app_data = scratch.path() / fs::path(u8"Jörg ✓") / "AppData" / "Roaming";
  std::vector<wchar_t> saved(32768, L'\0');
  const DWORD had = GetEnvironmentVariableW(L"APPDATA", saved.data(), 32768);
  SetEnvironmentVariableW(L"APPDATA", (app_data.wstring() + L"\\").c_str());
  const std::string folder = files::UserSettingsDirectory();
  SetEnvironmentVariableW(L"APPDATA", had > 0 ? saved.data() : nullptr);
  const fs::path expected = app_data / "brevane";
  const std::u8string expected_utf8 = expected.u8string();
  EXPECT_EQ(folder, std::string(expected_utf8.begin(), expected_utf8.end()));
  EXPECT_TRUE(files::CreateDirectories(folder));
  EXPECT_TRUE(fs::is_directory(expected));
  EXPECT_TRUE(files::DirectoryIsWritable(folder));
  EXPECT_TRUE(files::ReplaceWholeFile(folder, G("版块.ini"), "http://b/1"));
  EXPECT_EQ(Get(expected / fs::path(u8"版块.ini")), "http://b/1");
}

// A start removes the temporaries crashed saves left, and nothing else.
TEST_F(CoreTest, AStartRemovesTheLeftoversOfCrashedSaves) {
  for (const char8_t* name : {u8"版块.ini.tmp", u8"回帖.ini.tmp", u8"notes.tmp"}) {
    std::ofstream(scratch.path() / fs::path(name)) << "x";
  }
  core.LoadSettings();
  std::vector<std::wstring> left;
  for (const auto& entry : fs::directory_iterator(scratch.path())) {
    left.push_back(entry.path().filename().wstring());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::wstring>{L"notes.tmp"}));
}

}  // namespace
}  // namespace brevane::testing
