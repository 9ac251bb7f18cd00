// The two settings files: each edit box's content, byte for byte, in a file
// in the settings directory, written on every change the user makes and
// read once at start-up.
#include "core/core.h"
#include "core/files.h"
#include "base/text/charset.h"
#include "base/text/gbk_literals.h"
#include "ui/names.h"

namespace brevane {
namespace {

// Lone LF (as editors outside Windows save) becomes CR LF, the box's own
// line break.
Text WithCrLf(const Text& text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

void SaveBox(Controls& controls, const std::string& directory, std::string_view box,
             std::string_view file_name, Core::LoadedBox& loaded) {
  // The content set by LoadSettings is not saved from here: LoadBox writes
  // it back itself when the file holds exactly it, and a file with bytes
  // the box cannot show exactly (a zero byte, bytes that are not GBK, bare
  // LF, another encoding) keeps them until the user changes the box.
  if (loaded.loading) return;
  const Text content = AsText(controls.ReadControlProperty(box, prop::kContent));
  if (loaded.unedited) {
    if (*loaded.unedited == content) return;
    loaded.unedited.reset();
  }
  // A failed write is silent: the previous file stays whole and the next
  // change of the box tries again.
  files::ReplaceWholeFile(directory, Text(file_name), TextToBytes(content));
}

void LoadBox(Controls& controls, const std::string& directory, std::string_view box,
             std::string_view file_name, Core::LoadedBox& loaded) {
  // What saves cut short by an earlier crash left behind.
  files::RemoveLeftoverTemporaries(directory, Text(file_name));
  const std::string bytes = files::ReadWholeFile(directory, Text(file_name));
  const Text text = SettingsFileText(bytes);
  // Trimming only decides whether the file counts as empty; the box gets
  // the text as read.
  if (TrimSpaces(text).empty()) return;
  loaded.loading = true;
  controls.WriteControlProperty(box, prop::kContent, PropertyValue(text));
  loaded.loading = false;
  // As the box holds it (a shell may spell line breaks its own way), so a
  // content-changed event that arrives later is recognised too.
  loaded.unedited = AsText(controls.ReadControlProperty(box, prop::kContent));
  // The file is written back from the box only when that gives the very
  // bytes it holds; anything else waits for the user's first change.
  if (TextToBytes(*loaded.unedited) == bytes) {
    files::ReplaceWholeFile(directory, Text(file_name), bytes);
  }
}

}  // namespace

Text SettingsFileText(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    return WithCrLf(BytesToText(Utf8ToGbk(bytes.substr(3))));
  }
  if (bytes.substr(0, 2) == "\xFF\xFE") {
    return WithCrLf(BytesToText(Utf8ToGbk(Utf16ToUtf8(bytes.substr(2), false))));
  }
  if (bytes.substr(0, 2) == "\xFE\xFF") {
    return WithCrLf(BytesToText(Utf8ToGbk(Utf16ToUtf8(bytes.substr(2), true))));
  }
  return BytesToText(bytes);
}

void Core::SaveBoards() {
  SaveBox(controls_, edges_.settings_directory, names::kBoardsBox, gbk::kBoardsFileName,
          loaded_boards_);
}

void Core::SaveReplies() {
  SaveBox(controls_, edges_.settings_directory, names::kRepliesBox, gbk::kRepliesFileName,
          loaded_replies_);
}

void Core::LoadSettings() {
  LoadBox(controls_, edges_.settings_directory, names::kBoardsBox, gbk::kBoardsFileName,
          loaded_boards_);
  LoadBox(controls_, edges_.settings_directory, names::kRepliesBox, gbk::kRepliesFileName,
          loaded_replies_);
}

std::string ProgramDirectory() { return files::ExecutableDirectory(); }

std::string ChooseSettingsDirectory(const std::string& program_directory,
                                    const std::string& user_directory) {
  if (files::DirectoryIsWritable(program_directory) || user_directory.empty()) {
    return program_directory;
  }
  if (files::CreateDirectories(user_directory)) return user_directory;
  return program_directory;
}

std::string SettingsDirectory() {
  return ChooseSettingsDirectory(ProgramDirectory(), files::UserSettingsDirectory());
}

}  // namespace brevane
