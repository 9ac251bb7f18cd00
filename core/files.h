// The settings files on the platform's file system. One implementation per
// platform (files_posix.cpp, files_win32.cpp); the settings logic above it
// is shared.
//
// A directory is given in the platform's own spelling: the native bytes on
// POSIX (normally UTF-8), UTF-8 on Windows, where it is turned into UTF-16
// for the W functions, so a folder whose name has characters outside GBK
// (a user folder such as "Jörg ✓") works. A file name is always a GBK text;
// each platform turns it into its own spelling (UTF-8 on POSIX, UTF-16
// through code page 936 on Windows).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/text/text.h"

namespace brevane::files {

// The largest settings file that is read; a larger one reads as no file.
inline constexpr std::size_t kLargestFile = std::size_t{16} << 20;

// The whole content of the file, or no bytes when it is missing, cannot be
// opened or read, is not a regular file (after following links: a FIFO, a
// device, a directory) or is larger than kLargestFile. Never blocks on a
// FIFO or a device. On Windows the file is opened with read, write and
// delete sharing, so a file another program holds open is still read.
std::string ReadWholeFile(const std::string& directory, const Text& name);

// Replaces the file's content with bytes. The bytes go to the file's one
// temporary file (TemporaryName) in the same directory, which then takes the
// file's place in one step, so a reader (or the next program start) sees
// either the old content or the new one, never a cut file. Fails, leaving
// the file as it was, when the file is there but could not be written in
// place: read-only, not the user's to write, or not a regular file. On
// failure the old file stays as it was, the temporary is removed, and false
// is returned.
bool ReplaceWholeFile(const std::string& directory, const Text& name, std::string_view bytes);

// The name of the temporary file a save of name writes first: the name
// followed by ".tmp". Each settings file has at most this one.
Text TemporaryName(const Text& name);

// Removes what a save of name cut short by a crash left behind: its
// temporary file, unless a save is writing it right now.
void RemoveLeftoverTemporaries(const std::string& directory, const Text& name);

// Directory of the running executable without a trailing separator, in the
// spelling described above; empty when it cannot be found.
std::string ExecutableDirectory();

// Whether new files can be created in the directory.
bool DirectoryIsWritable(const std::string& directory);

// The user's own folder for this program's settings: on Linux
// $XDG_CONFIG_HOME/brevane (an absolute XDG_CONFIG_HOME only), else
// $HOME/.config/brevane; on Windows %APPDATA%\brevane. Empty when the
// environment names no such place. Not created here.
std::string UserSettingsDirectory();

// Creates the directory and any missing parents; true when it exists
// afterwards.
bool CreateDirectories(const std::string& directory);

}  // namespace brevane::files
