// Settings files on POSIX systems: UTF-8 file names; a save writes the
// file's one temporary file beside it, locked while it is written, and
// rename(2) puts it in place.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/files.h"
#include "base/text/charset.h"

namespace brevane::files {
namespace {

std::string JoinUtf8(const std::string& directory, const std::string& utf8_name) {
  // No directory means the current one.
  std::string path = directory;
  if (!path.empty() && path.back() != '/') path += '/';
  path += utf8_name;
  return path;
}

// The name is a GBK text.
std::string JoinPath(const std::string& directory, const Text& name) {
  return JoinUtf8(directory, GbkToUtf8(name));
}

bool WriteAll(int fd, std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

bool Readable(const struct stat& file) {
  return S_ISREG(file.st_mode) && static_cast<unsigned long long>(file.st_size) <= kLargestFile;
}

// A file the user could change in place: a regular file this process may
// write, with at least one write permission bit (so a file made read-only
// stays read-only even for root, whom the access check lets through).
bool WritableInPlace(const std::string& path, const struct stat& file) {
  return S_ISREG(file.st_mode) && (file.st_mode & 0222) != 0 &&
         ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// Removes the temporary file at temp_path when no save holds its lock, that
// is when a crash left it. False when a save is writing it right now.
bool RemoveStaleTemporary(const std::string& temp_path) {
  int fd = ::open(temp_path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return true;
    // Not a file we could have made (a link, say): leave it, and saves
    // fail rather than write through it.
    return false;
  }
  bool removed = false;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    // Still the file at that name (a save that finished in between has
    // renamed it into place)?
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) == 0 && ::lstat(temp_path.c_str(), &named) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino && S_ISREG(named.st_mode)) {
      removed = ::unlink(temp_path.c_str()) == 0;
    } else {
      removed = ::lstat(temp_path.c_str(), &named) != 0 && errno == ENOENT;
    }
  }
  ::close(fd);
  return removed;
}

// Creates the temporary file, locked for this save; -1 when another save
// holds it or it cannot be made.
int CreateTemporary(const std::string& temp_path) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    // The kernel applies the user's umask to the new file's mode.
    int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
      ::close(fd);  // another save removed ours and made its own
      return -1;
    }
    if (errno != EEXIST) return -1;
    if (!RemoveStaleTemporary(temp_path)) return -1;
  }
  return -1;
}

}  // namespace

Text TemporaryName(const Text& name) { return name + ".tmp"; }

std::string ReadWholeFile(const std::string& directory, const Text& name) {
  const std::string path = JoinPath(directory, name);
  // Checked before opening, so a FIFO or a device is never opened; checked
  // again on what was opened, in case the name changed in between.
  struct stat file {};
  if (::stat(path.c_str(), &file) != 0 || !Readable(file)) return std::string();
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::string();
  std::string bytes;
  if (::fstat(fd, &file) == 0 && Readable(file)) {
    char buffer[65536];
    while (true) {
      ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0) {
        if (errno == EINTR) continue;
        bytes.clear();  // an unreadable file reads as no bytes
        break;
      }
      if (got == 0) break;
      if (bytes.size() + static_cast<std::size_t>(got) > kLargestFile) {
        bytes.clear();  // grew past the limit while being read
        break;
      }
      bytes.append(buffer, static_cast<std::size_t>(got));
    }
  }
  ::close(fd);
  return bytes;
}

bool ReplaceWholeFile(const std::string& directory, const Text& name, std::string_view bytes) {
  std::string path = JoinPath(directory, name);
  // A settings file that is a symbolic link is written where the link
  // points, so the link itself stays in place.
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char* target = ::realpath(path.c_str(), nullptr);
    if (target == nullptr) return false;
    path = target;
    std::free(target);
  }
  // A file that is there must be one we could have written in place: the
  // rename below needs only the folder's permission and would otherwise
  // replace a read-only file, or another user's, with one of ours.
  struct stat old_file {};
  const bool exists = ::stat(path.c_str(), &old_file) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists && !WritableInPlace(path, old_file)) return false;

  const std::string temp_path = path + ".tmp";
  int fd = CreateTemporary(temp_path);
  if (fd < 0) return false;
  // A file that exists passes its own mode on.
  bool ok = !exists || ::fchmod(fd, old_file.st_mode & 07777) == 0;
  // The data reaches the disk before the rename makes it the file, so a
  // crash leaves the old content or the new, never an empty file. The lock
  // is held until after the rename, so no start-up takes the temporary for
  // a leftover while it is written.
  ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  if (ok && ::rename(temp_path.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp_path.c_str());
  if (::close(fd) != 0) ok = false;
  return ok;
}

void RemoveLeftoverTemporaries(const std::string& directory, const Text& name) {
  RemoveStaleTemporary(JoinPath(directory, TemporaryName(name)));
}

std::string ExecutableDirectory() {
  std::vector<char> buffer(PATH_MAX + 1);
  while (true) {
    ssize_t got = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (got < 0) return std::string();
    if (static_cast<std::size_t>(got) < buffer.size()) {
      std::string path(buffer.data(), static_cast<std::size_t>(got));
      std::size_t slash = path.rfind('/');
      if (slash == std::string::npos) return std::string();
      return slash == 0 ? std::string("/") : path.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool DirectoryIsWritable(const std::string& directory) {
  const std::string path = directory.empty() ? std::string(".") : directory;
  struct stat dir {};
  // The permission bits count for root too, for whom the access check
  // always passes: a folder made read-only (an installed copy) stays so.
  return ::stat(path.c_str(), &dir) == 0 && S_ISDIR(dir.st_mode) && (dir.st_mode & 0222) != 0 &&
         ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string UserSettingsDirectory() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return JoinUtf8(config, "brevane");
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return JoinUtf8(home, ".config/brevane");
  return std::string();
}

bool CreateDirectories(const std::string& directory) {
  if (directory.empty()) return false;
  std::size_t next = 0;
  while (next != std::string::npos) {
    next = directory.find('/', next + 1);
    const std::string part = directory.substr(0, next);
    // Private to the user, as the folders of user settings are.
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat dir {};
  return ::stat(directory.c_str(), &dir) == 0 && S_ISDIR(dir.st_mode);
}

}  // namespace brevane::files
