// The settings files on the platform's file system. One implementation per
// platform (files_posix.cpp, files_win32.cpp); the settings logic above it
// is shared.
//
// A directory is given in the platform's own spelling of the program's
// directory: the native bytes on POSIX (normally UTF-8), GBK text on
// Windows. A file name is always a GBK text; each platform turns it into
// its own spelling (UTF-8 on POSIX, UTF-16 through code page 936 on
// Windows).
#pragma once

#include <string>
#include <string_view>

#include "core/text/text.h"

namespace brevane::files {

// The whole content of the file, or no bytes when it is missing or cannot
// be read.
std::string ReadWholeFile(const std::string& directory, const Text& name);

// Replaces the file's content with bytes. The bytes go to a new temporary
// file in the same directory, which then takes the file's place in one
// step, so a reader (or the next program start) sees either the old content
// or the new one, never a cut file. On failure the old file stays as it was,
// the temporary is removed, and false is returned.
bool ReplaceWholeFile(const std::string& directory, const Text& name, std::string_view bytes);

// Directory of the running executable without a trailing separator, in the
// spelling described above; empty when it cannot be found.
std::string ExecutableDirectory();

}  // namespace brevane::files
