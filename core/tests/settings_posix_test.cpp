// A write that really fails on the file system: the file-size limit of the
// process is lowered so the write of the new content stops short.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

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

}  // namespace
}  // namespace brevane::testing
