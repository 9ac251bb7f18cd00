// Settings files against the real POSIX file system: writes that fail,
// modes, links, things that are not files, locks and other users.
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
#include <iterator>

#include "core/files.h"
#include "core/tests/core_fixture.h"

namespace brevane::testing {
namespace {

namespace fs = std::filesystem;

// Lowers the file-size limit for its lifetime, with SIGXFSZ ignored so the
// failed write returns an error instead of ending the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, old_handler_);
  }
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  sighandler_t old_handler_ = SIG_DFL;
  bool ok_ = false;
};

std::string Get(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(CoreTest, AFailedWriteLeavesThePreviousFileWhole) {
  const fs::path file = scratch.path() / fs::path(u8"版块.ini");
  const Text old_boards = "http://b/1\r\nhttp://b/2";
  controls.Type(names::kBoardsBox, old_boards);
  ASSERT_EQ(Get(file), old_boards);
  {
    FileSizeLimit limit(8);
    ASSERT_TRUE(limit.ok());
    controls.Type(names::kBoardsBox, "http://b/1\r\nhttp://b/2\r\nhttp://b/3");
  }
  EXPECT_EQ(Get(file), old_boards);
  // Only the settings file: the cut temporary is gone.
  std::vector<fs::path> entries(fs::directory_iterator(scratch.path()), fs::directory_iterator{});
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].filename(), fs::path(u8"版块.ini"));
  // The box kept its new content, and the next change is written.
  EXPECT_EQ(controls.Content(names::kBoardsBox), "http://b/1\r\nhttp://b/2\r\nhttp://b/3");
  controls.Type(names::kBoardsBox, "http://b/4");
  EXPECT_EQ(Get(file), "http://b/4");
}

TEST_F(CoreTest, ANewFileGetsTheUsualModeAndAnOldOneKeepsItsMode) {
  const fs::path file = scratch.path() / fs::path(u8"回帖.ini");
  const mode_t mask = umask(022);
  umask(mask);
  controls.Type(names::kRepliesBox, "r1");
  EXPECT_EQ(static_cast<mode_t>(fs::status(file).permissions() & fs::perms::all),
            0666 & ~mask);
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  controls.Type(names::kRepliesBox, "r2");
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(Get(file), "r2");
}

TEST_F(CoreTest, ALinkedSettingsFileIsWrittenThroughItsLink) {
  const fs::path elsewhere = scratch.path() / "synced";
  fs::create_directory(elsewhere);
  const fs::path target = elsewhere / "boards.txt";
  std::ofstream(target, std::ios::binary) << "old";
  const fs::path link = scratch.path() / fs::path(u8"版块.ini");
  fs::create_symlink(target, link);
  controls.Type(names::kBoardsBox, "http://b/new");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Get(target), "http://b/new");
  EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator{}), 1);
}

// Settings "files" that are not regular files, or too large: start-up never
// blocks on them, the box keeps its default and nothing is written back.
// A change of the box then fails like a write for what is not a file, and
// replaces an oversized file as if there had been none.
TEST_F(CoreTest, WhatIsNotAReadableFileCountsAsNoFile) {
  struct Case {
    const char* kind;
    std::function<void(const fs::path&)> make;
    bool replaced_on_change;
  };
  // Root may replace anything in /dev, so a faulty save run as root could
  // replace /dev/zero itself: the link then points to a zero device node of
  // the scratch folder's own.
  const fs::path zero_node = scratch.path() / "zero";
  auto ZeroDevice = [&]() -> fs::path {
    if (geteuid() == 0 && mknod(zero_node.c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0) {
      return zero_node;
    }
    return "/dev/zero";
  };
  const Case cases[] = {
      {"FIFO", [](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }, false},
      {"link to the zero device", [&](const fs::path& p) { fs::create_symlink(ZeroDevice(), p); },
       false},
      {"directory", [](const fs::path& p) { fs::create_directory(p); }, false},
      {"file over the limit",
       [](const fs::path& p) {
         std::ofstream(p, std::ios::binary) << "http://b/1\r\n";
         fs::resize_file(p, files::kLargestFile + 1);
       },
       true},
  };
  const fs::path file = scratch.path() / fs::path(u8"版块.ini");
  const Text default_boards = "http://default/board";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    fs::remove_all(file);
    c.make(file);
    const fs::file_type type = fs::symlink_status(file).type();
    controls.Preset(names::kBoardsBox, prop::kContent, default_boards);
    controls.ClearWrites();
    core.LoadSettings();
    EXPECT_EQ(controls.Content(names::kBoardsBox), default_boards);
    EXPECT_TRUE(controls.writes().empty());
    EXPECT_EQ(fs::symlink_status(file).type(), type);

    controls.Type(names::kBoardsBox, "http://b/typed");
    if (c.replaced_on_change) {
      EXPECT_EQ(Get(file), "http://b/typed");
    } else {
      EXPECT_EQ(fs::symlink_status(file).type(), type);
    }
    EXPECT_FALSE(fs::exists(scratch.path() / fs::path(u8"版块.ini.tmp")));
  }
  if (fs::exists(zero_node)) {
    EXPECT_TRUE(fs::is_character_file(zero_node));
  }
}

// A temporary held by a save in progress (its lock taken, as another copy
// of the program would) is neither removed by a start nor written over;
// the leftover of a crashed save is removed, and nothing else is.
TEST_F(CoreTest, AStartRemovesOnlyTheLeftoversOfCrashedSaves) {
  std::ofstream(scratch.path() / fs::path(u8"回帖.ini.tmp")) << "x";
  const fs::path busy = scratch.path() / fs::path(u8"版块.ini.tmp");
  std::ofstream(busy) << "being written";
  const int lock = open(busy.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  std::ofstream(scratch.path() / fs::path(u8"版块.ini"), std::ios::binary) << "http://b/old";

  core.LoadSettings();
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(scratch.path())) {
    const std::u8string name = entry.path().filename().u8string();
    left.emplace_back(name.begin(), name.end());
  }
  std::sort(left.begin(), left.end());
  const std::vector<std::u8string> expected_u8 = {u8"版块.ini", u8"版块.ini.tmp"};
  std::vector<std::string> expected;
  for (const auto& name : expected_u8) expected.emplace_back(name.begin(), name.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);

  // While the other save holds its temporary, this one fails and keeps the
  // file; once it lets go, the next change is saved.
  controls.Type(names::kBoardsBox, "http://b/new");
  EXPECT_EQ(Get(scratch.path() / fs::path(u8"版块.ini")), "http://b/old");
  EXPECT_EQ(Get(busy), "being written");
  close(lock);
  controls.Type(names::kBoardsBox, "http://b/newer");
  EXPECT_EQ(Get(scratch.path() / fs::path(u8"版块.ini")), "http://b/newer");
  EXPECT_FALSE(fs::exists(busy));
}

// A settings file that belongs to another user and is not writable by us
// (though the folder is) stays as it is. Shown by saving from a child
// process that runs as another user, so it also holds when the tests run
// as root; as an ordinary user no file of another owner can be made here.
TEST(SettingsFiles, AnotherUsersFileIsNotReplaced) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
  ScratchDirectory scratch;
  fs::permissions(scratch.path(), fs::perms::all);  // everyone may make files here
  const fs::path file = scratch.path() / fs::path(u8"回帖.ini");
  std::ofstream(file, std::ios::binary) << "owner's";
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::others_read);
  const std::string directory = scratch.path().string();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    _exit(files::ReplaceWholeFile(directory, G("回帖.ini"), "other's") ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the save reported success, 2: no other user";
  EXPECT_EQ(Get(file), "owner's");
  struct stat owner {};
  ASSERT_EQ(stat(file.c_str(), &owner), 0);
  EXPECT_EQ(owner.st_uid, 0u);
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator{}), 1);
}

// Restores an environment variable when it goes.
class EnvironmentVariable {
 public:
  EnvironmentVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~EnvironmentVariable() {
    if (saved_) {
      setenv(name_, saved_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(SettingsLocation, TheUsersFolderFollowsXdgConfigHomeThenHome) {
  struct Case {
    const char* config_home;
    const char* home;
    std::string expected;
  };
  const Case cases[] = {
      {"/x/config", "/home/u", "/x/config/brevane"},
      {"/x/config/", "/home/u", "/x/config/brevane"},
      {"relative/config", "/home/u", "/home/u/.config/brevane"},  // only absolute counts
      {"", "/home/u", "/home/u/.config/brevane"},
      {nullptr, "/home/u/", "/home/u/.config/brevane"},
      {nullptr, nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config_home ? c.config_home : "(unset)");
    EnvironmentVariable config("XDG_CONFIG_HOME", c.config_home);
    EnvironmentVariable home("HOME", c.home);
    EXPECT_EQ(files::UserSettingsDirectory(), c.expected);
  }
}

// An installed copy: the program's folder cannot be written (read-only for
// root too), so the settings go to the user's folder, made with its
// parents; when that cannot be made either, the program's folder stays.
TEST(SettingsLocation, AReadOnlyProgramFolderSendsTheSettingsToTheUsersFolder) {
  ScratchDirectory scratch;
  const fs::path program = scratch.path() / "usr" / "bin";
  fs::create_directories(program);
  fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
  const fs::path user = scratch.path() / "home" / ".config" / "brevane";
  EXPECT_EQ(ChooseSettingsDirectory(program.string(), user.string()), user.string());
  EXPECT_TRUE(fs::is_directory(user));
  EXPECT_EQ(fs::status(user).permissions() & fs::perms::all, fs::perms::owner_all);

  // The settings round trip in the chosen folder.
  {
    FakeControls controls;
    VirtualClock clock;
    ScriptedBrowser browser{clock};
    CoreEdges edges;
    edges.settings_directory = ChooseSettingsDirectory(program.string(), user.string());
    Core core(controls, browser, edges);
    controls.On(names::kBoardsBox, Event::kContentChanged, [&] { core.SaveBoards(); });
    controls.Type(names::kBoardsBox, "http://b/installed");
    FakeControls next_controls;
    Core next(next_controls, browser, edges);
    next.LoadSettings();
    EXPECT_EQ(next_controls.Content(names::kBoardsBox), "http://b/installed");
  }
  EXPECT_TRUE(fs::is_empty(program));

  const fs::path blocked = scratch.path() / "file";
  std::ofstream(blocked) << "not a folder";
  EXPECT_EQ(ChooseSettingsDirectory(program.string(), (blocked / "brevane").string()),
            program.string());
  EXPECT_EQ(ChooseSettingsDirectory(program.string(), ""), program.string());
  fs::permissions(program, fs::perms::owner_all);
}

}  // namespace
}  // namespace brevane::testing
