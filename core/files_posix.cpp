// Settings files on POSIX systems: UTF-8 file names, a temporary file made
// created beside the target and rename(2) to put it in place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/files.h"
#include "core/text/charset.h"

namespace brevane::files {
namespace {

std::string JoinPath(const std::string& directory, const Text& name) {
  // No directory means the current one.
  std::string path = directory;
  if (!path.empty() && path.back() != '/') path += '/';
  path += GbkToUtf8(name);
  return path;
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

std::atomic<unsigned> temp_counter{0};

}  // namespace

std::string ReadWholeFile(const std::string& directory, const Text& name) {
  const std::string path = JoinPath(directory, name);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string();
  std::string bytes;
  char buffer[65536];
  while (true) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      bytes.clear();  // an unreadable file reads as no bytes
      break;
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
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
  // A new name beside the file; the kernel applies the user's umask to a
  // new file's mode, and a file that exists passes its own mode on.
  std::string temp_path;
  int fd = -1;
  for (unsigned attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp_path = path + ".tmp-" + std::to_string(::getpid()) + "-" +
                std::to_string(temp_counter++);
    fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  struct stat old_file {};
  bool ok = true;
  if (::stat(path.c_str(), &old_file) == 0) ok = ::fchmod(fd, old_file.st_mode & 07777) == 0;

  // The data reaches the disk before the rename makes it the file, so a
  // crash leaves the old content or the new, never an empty file.
  ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp_path.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(temp_path.c_str());
    return false;
  }
  return true;
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

}  // namespace brevane::files
