// The two settings files: each edit box's content, byte for byte, in a file
// beside the program, written on every change and read once at start-up.
#include "core/core.h"
#include "core/files.h"
#include "core/text/gbk_literals.h"
#include "ui/names.h"

namespace brevane {
namespace {

void SaveBox(Controls& controls, const std::string& directory, std::string_view box,
             std::string_view file_name) {
  const Text content = AsText(controls.ReadControlProperty(box, prop::kContent));
  // A failed write is silent: the previous file stays whole and the next
  // change of the box tries again.
  files::ReplaceWholeFile(directory, Text(file_name), TextToBytes(content));
}

void LoadBox(Controls& controls, const std::string& directory, std::string_view box,
             std::string_view file_name) {
  const Text text = BytesToText(files::ReadWholeFile(directory, Text(file_name)));
  // Trimming only decides whether the file counts as empty; the box gets
  // the text as read. The write raises the box's content-changed event, so
  // the file is written back at once.
  if (!TrimSpaces(text).empty()) {
    controls.WriteControlProperty(box, prop::kContent, PropertyValue(text));
  }
}

}  // namespace

void Core::SaveBoards() {
  SaveBox(controls_, edges_.settings_directory, names::kBoardsBox, gbk::kBoardsFileName);
}

void Core::SaveReplies() {
  SaveBox(controls_, edges_.settings_directory, names::kRepliesBox, gbk::kRepliesFileName);
}

void Core::LoadSettings() {
  LoadBox(controls_, edges_.settings_directory, names::kBoardsBox, gbk::kBoardsFileName);
  LoadBox(controls_, edges_.settings_directory, names::kRepliesBox, gbk::kRepliesFileName);
}

std::string ProgramDirectory() { return files::ExecutableDirectory(); }

}  // namespace brevane
