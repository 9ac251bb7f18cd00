// The settings files: exact bytes, the write-back after loading, the
// defaults for files that count as empty, and the file names.
#include <fstream>
#include <iterator>

#include "core/files.h"
#include "core/tests/core_fixture.h"

namespace brevane::testing {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public CoreTest {
 protected:
  SettingsTest() {
    controls.Preset(names::kBoardsBox, prop::kContent, kDefaultBoards);
    controls.Preset(names::kRepliesBox, prop::kContent, kDefaultReplies);
  }
  fs::path BoardsFile() const { return scratch.path() / fs::path(u8"版块.ini"); }
  fs::path RepliesFile() const { return scratch.path() / fs::path(u8"回帖.ini"); }
  static void Put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Get(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::size_t FilesInDirectory() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(scratch.path()),
                                                  fs::directory_iterator()));
  }
  const Text kDefaultBoards = "http://default/board";
  const Text kDefaultReplies = G("内容1\r\n内容2");
};

TEST_F(SettingsTest, WithoutFilesTheDefaultsStayAndNothingIsWritten) {
  core.LoadSettings();
  EXPECT_EQ(controls.Content(names::kBoardsBox), kDefaultBoards);
  EXPECT_EQ(controls.Content(names::kRepliesBox), kDefaultReplies);
  EXPECT_TRUE(controls.writes().empty());
  EXPECT_EQ(FilesInDirectory(), 0u);
}

TEST_F(SettingsTest, LoadedContentGoesIntoTheBoxAndStraightBackToItsFile) {
  const Text boards = G("  http://b/版块1\r\n\r\nhttp://b/2\r\n");
  Put(BoardsFile(), boards);
  Put(RepliesFile(), G("回复\r\n"));
  core.LoadSettings();
  // Untrimmed, exactly as read.
  EXPECT_EQ(controls.Content(names::kBoardsBox), boards);
  EXPECT_EQ(controls.Content(names::kRepliesBox), G("回复\r\n"));
  ASSERT_EQ(controls.writes().size(), 2u);
  EXPECT_EQ(controls.writes()[0].control, names::kBoardsBox);
  EXPECT_EQ(controls.writes()[1].control, names::kRepliesBox);
  EXPECT_EQ(Get(BoardsFile()), boards);
  EXPECT_EQ(Get(RepliesFile()), G("回复\r\n"));
  EXPECT_EQ(FilesInDirectory(), 2u);
}

TEST_F(SettingsTest, FilesThatCountAsEmptyKeepTheDefaults) {
  Put(BoardsFile(), G(" 　 　"));  // spaces and full-width spaces
  Put(RepliesFile(), "");
  core.LoadSettings();
  EXPECT_EQ(controls.Content(names::kBoardsBox), kDefaultBoards);
  EXPECT_EQ(controls.Content(names::kRepliesBox), kDefaultReplies);
  EXPECT_TRUE(controls.writes().empty());
  EXPECT_EQ(Get(BoardsFile()), G(" 　 　"));
}

TEST_F(SettingsTest, ALineBreakAloneIsContentAndAZeroByteEndsIt) {
  Put(BoardsFile(), "\r\n");
  Put(RepliesFile(), std::string("abc\0def", 7));
  core.LoadSettings();
  EXPECT_EQ(controls.Content(names::kBoardsBox), "\r\n");
  EXPECT_EQ(controls.Content(names::kRepliesBox), "abc");
  // The file keeps the part the box could not take.
  EXPECT_EQ(Get(RepliesFile()), std::string("abc\0def", 7));
  EXPECT_EQ(Get(BoardsFile()), "\r\n");
}

TEST_F(SettingsTest, EveryChangeRewritesTheFileByteForByte) {
  controls.Type(names::kRepliesBox, G("第一\r\n第二"));
  EXPECT_EQ(Get(RepliesFile()), G("第一\r\n第二"));
  controls.Type(names::kRepliesBox, G("第一\r\n第二\r\n"));
  EXPECT_EQ(Get(RepliesFile()), G("第一\r\n第二\r\n"));
  EXPECT_FALSE(fs::exists(BoardsFile()));
  // An emptied box leaves a file of length 0, which at the next start
  // counts as empty: the default returns.
  controls.Type(names::kRepliesBox, "");
  EXPECT_TRUE(fs::exists(RepliesFile()));
  EXPECT_EQ(fs::file_size(RepliesFile()), 0u);
  controls.Preset(names::kRepliesBox, prop::kContent, kDefaultReplies);
  core.LoadSettings();
  EXPECT_EQ(controls.Content(names::kRepliesBox), kDefaultReplies);
  EXPECT_EQ(FilesInDirectory(), 1u);  // no temporary left behind
}

TEST(SettingsFiles, AMissingDirectoryIsSilentlySkipped) {
  ScratchDirectory scratch;
  const std::string gone = (scratch.path() / "gone").string();
  EXPECT_FALSE(files::ReplaceWholeFile(gone, G("版块.ini"), "x"));
  EXPECT_EQ(files::ReadWholeFile(gone, G("版块.ini")), "");
  EXPECT_TRUE(fs::is_empty(scratch.path()));
  // A directory given with a trailing separator works the same.
  const std::string with_separator = scratch.path().string() + "/";
  EXPECT_TRUE(files::ReplaceWholeFile(with_separator, G("版块.ini"), std::string("a\0b", 3)));
  EXPECT_EQ(files::ReadWholeFile(scratch.path().string(), G("版块.ini")), std::string("a\0b", 3));
}

TEST(SettingsFiles, TheProgramDirectoryHoldsThisExecutable) {
  const std::string directory = ProgramDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_NE(directory.back(), '/');
  EXPECT_NE(directory.back(), '\\');
  EXPECT_TRUE(fs::is_directory(fs::path(directory)));
}

}  // namespace
}  // namespace brevane::testing
