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

// A box that holds text as the shells' edit boxes do: line breaks as CR LF,
// and only what decodes as GBK or GB18030 (a byte that starts no character,
// or a lead byte without a valid trail byte, is lost).
class ShellLikeControls : public FakeControls {
 public:
  void WriteControlProperty(std::string_view control, int property,
                            const PropertyValue& value) override {
    if (property != prop::kContent) {
      return FakeControls::WriteControlProperty(control, property, value);
    }
    const Text text = AsText(value);
    Text held;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      if (byte == '\n' && (i == 0 || text[i - 1] != '\r')) held += '\r';
      if (byte < 0x80) {
        held += text[i];
        continue;
      }
      const auto trail = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
      if (byte >= 0x81 && byte <= 0xFE && trail >= 0x30 && trail <= 0x39 && i + 3 < text.size()) {
        held += text.substr(i, 4);  // a four-byte GB18030 character
        i += 3;
        continue;
      }
      if (byte >= 0x81 && byte <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F) {
        held += text.substr(i, 2);
        ++i;
      }
    }
    FakeControls::WriteControlProperty(control, property, PropertyValue(held));
  }
};

class SettingsFileKinds : public ::testing::Test {
 protected:
  SettingsFileKinds() : core(controls, browser, Edges()) {
    controls.Preset(names::kBoardsBox, prop::kContent, Text("http://default/board"));
    controls.On(names::kBoardsBox, Event::kContentChanged, [this] { core.SaveBoards(); });
  }
  CoreEdges Edges() {
    CoreEdges edges;
    edges.settings_directory = scratch.path().string();
    return edges;
  }
  fs::path BoardsFile() const { return scratch.path() / fs::path(u8"版块.ini"); }

  ScratchDirectory scratch;
  VirtualClock clock;
  ShellLikeControls controls;
  ScriptedBrowser browser{clock};
  Core core;
};

std::string Utf16(const std::u16string& text, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

// Start-up shows what it can of each kind of file and leaves the file's
// bytes alone, also when the box's content-changed event comes later (as a
// shell may deliver it); the user's first change of the box is what writes
// the file, in the program's own format.
TEST_F(SettingsFileKinds, TheFileKeepsItsBytesUntilTheUserChangesTheBox) {
  struct Case {
    const char* kind;
    std::string bytes;
    Text shown;
  };
  const Case cases[] = {
      {"zero byte", std::string("http://a/1\r\nx\0y\r\nhttp://c/3", 27), "http://a/1\r\nx"},
      {"bytes that are not GBK", "http://a/1\r\n\xFF\x80http://b/2\x81",
       "http://a/1\r\nhttp://b/2"},
      {"bare LF", "http://a/1\nhttp://b/2\n", "http://a/1\r\nhttp://b/2\r\n"},
      {"UTF-16 LE with mark", Utf16(u"http://a/版块\nhttp://b/2\r\n", false),
       G("http://a/版块\r\nhttp://b/2\r\n")},
      {"UTF-16 BE with mark", Utf16(u"http://a/回帖\r\nhttp://b/😀", true),
       G("http://a/回帖\r\nhttp://b/😀")},
      {"UTF-8 with mark", "\xEF\xBB\xBFhttp://a/\xE7\x89\x88\xE5\x9D\x97\nx",
       G("http://a/版块\r\nx")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    std::ofstream(BoardsFile(), std::ios::binary | std::ios::trunc) << c.bytes;
    controls.Preset(names::kBoardsBox, prop::kContent, Text("http://default/board"));
    core.LoadSettings();
    EXPECT_EQ(controls.Content(names::kBoardsBox), c.shown);
    core.SaveBoards();  // a late content-changed event of the load
    std::ifstream in(BoardsFile(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.bytes);
    in.close();

    controls.Type(names::kBoardsBox, c.shown + "\r\nhttp://new/1");
    std::ifstream edited(BoardsFile(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(edited), {}),
              c.shown + "\r\nhttp://new/1");
    edited.close();
    // From then on every change is written, the loaded text included.
    controls.Type(names::kBoardsBox, c.shown);
    std::ifstream back(BoardsFile(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}), c.shown);
  }
}

TEST(SettingsFileText, ByteOrderMarksAreDecodedAndOtherFilesTakenAsGbk) {
  // A lone surrogate becomes U+FFFD; an odd last byte is dropped.
  EXPECT_EQ(SettingsFileText(std::string("\xFF\xFE" "a\0\x00\xD8" "b\0c", 9)),
            G("a\xEF\xBF\xBD" "b"));
  EXPECT_EQ(SettingsFileText("\xFF\xFE"), "");
  EXPECT_EQ(SettingsFileText("\xEF\xBB"), "\xEF\xBB");  // not a whole mark: GBK bytes
  EXPECT_EQ(SettingsFileText(G("版块\r\n")), G("版块\r\n"));
}

TEST_F(SettingsTest, AReadOnlyFileIsNotReplaced) {
  Put(BoardsFile(), "http://kept/1");
  const auto read_only = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  fs::permissions(BoardsFile(), read_only);
  core.LoadSettings();
  controls.Type(names::kBoardsBox, "http://changed/1");
  EXPECT_EQ(Get(BoardsFile()), "http://kept/1");
  EXPECT_EQ(fs::status(BoardsFile()).permissions() & fs::perms::all, read_only);
  EXPECT_EQ(FilesInDirectory(), 1u);
  // Made writable again, the next change is saved.
  fs::permissions(BoardsFile(), fs::perms::owner_write, fs::perm_options::add);
  controls.Type(names::kBoardsBox, "http://changed/2");
  EXPECT_EQ(Get(BoardsFile()), "http://changed/2");
}

TEST_F(SettingsTest, AStartRemovesTheTemporaryACrashedSaveLeft) {
  Put(scratch.path() / fs::path(u8"版块.ini.tmp"), "half a sa");
  Put(scratch.path() / fs::path(u8"回帖.ini.tmp"), "");
  Put(BoardsFile(), "http://b/1");
  core.LoadSettings();
  EXPECT_EQ(FilesInDirectory(), 1u);
  for (int change = 0; change < 5; ++change) {
    std::string typed = "r";  // built in place: GCC 12 warns falsely on "r" + temporary at -O3
    typed += std::to_string(change);
    controls.Type(names::kRepliesBox, typed);
    EXPECT_EQ(FilesInDirectory(), 2u);
  }
}

TEST(SettingsLocation, AWritableProgramFolderKeepsTheSettingsBesideIt) {
  ScratchDirectory program;
  ScratchDirectory user;
  const std::string user_folder = (user.path() / "config" / "brevane").string();
  EXPECT_EQ(ChooseSettingsDirectory(program.path().string(), user_folder),
            program.path().string());
  EXPECT_FALSE(fs::exists(user.path() / "config"));
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
