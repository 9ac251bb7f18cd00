// Settings files on Windows: the directory (UTF-8) and the file name (GBK)
// are turned into UTF-16 and every call is a W function, so the files are
// found whatever the system's ANSI code page is and whatever characters the
// folder's name holds. A save writes the file's one temporary file beside
// it, opened without sharing while it is written, and MoveFileExW puts it
// in place.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

#include "core/files.h"

#include "base/text/wide.h"

namespace brevane::files {
namespace {

// The directory in UTF-16 without a trailing separator; "." for none.
std::wstring WideDirectory(const std::string& directory) {
  std::wstring dir = win32::WideFromUtf8(directory, Conversion::kStrict);
  while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
  if (dir.empty()) dir = L".";
  return dir;
}

std::wstring WidePath(const std::string& directory, const Text& name) {
  return WideDirectory(directory) + L"\\" + win32::WideFromGbk(name, Conversion::kStrict);
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    left -= written;
  }
  return true;
}

// A file the user could change in place: there, not a directory, not
// read-only, and this process may open it for writing (which also fails for
// a file whose access list does not let this user write it).
bool WritableInPlace(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    // Held open by a program that shares no writing: the move below may
    // still succeed once it lets go, and fails cleanly if not.
    return GetLastError() == ERROR_SHARING_VIOLATION;
  }
  const bool disk = GetFileType(file) == FILE_TYPE_DISK;
  CloseHandle(file);
  return disk;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ||
         (GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND);
}

}  // namespace

Text TemporaryName(const Text& name) { return name + ".tmp"; }

std::string ReadWholeFile(const std::string& directory, const Text& name) {
  const std::wstring path = WidePath(directory, name);
  // Any sharing, so a file an editor, a sync client or a virus scanner
  // holds open is still read; a directory does not open without backup
  // semantics.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  LARGE_INTEGER size{};
  std::string bytes;
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) &&
      static_cast<unsigned long long>(size.QuadPart) <= kLargestFile) {
    char buffer[65536];
    while (true) {
      DWORD got = 0;
      if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
        bytes.clear();  // an unreadable file reads as no bytes
        break;
      }
      if (got == 0) break;
      if (bytes.size() + got > kLargestFile) {
        bytes.clear();  // grew past the limit while being read
        break;
      }
      bytes.append(buffer, got);
    }
  }
  CloseHandle(file);
  return bytes;
}

bool ReplaceWholeFile(const std::string& directory, const Text& name, std::string_view bytes) {
  const std::wstring path = WidePath(directory, name);
  if (Exists(path) && !WritableInPlace(path)) return false;
  const std::wstring temp = WidePath(directory, TemporaryName(name));
  // No sharing while it is written: a second save of the same file (another
  // copy of the program) fails here instead of mixing its bytes in, and a
  // start-up cannot delete it.
  HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(file, bytes) && FlushFileBuffers(file);
  if (!CloseHandle(file)) ok = false;
  if (ok && !MoveFileExW(temp.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
  }
  if (!ok) {
    DeleteFileW(temp.c_str());
    return false;
  }
  return true;
}

void RemoveLeftoverTemporaries(const std::string& directory, const Text& name) {
  // Fails while a save has it open, which is as it should be.
  DeleteFileW(WidePath(directory, TemporaryName(name)).c_str());
}

std::string ExecutableDirectory() {
  std::vector<wchar_t> buffer(MAX_PATH);
  while (true) {
    DWORD got = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got == 0) return std::string();
    if (got < buffer.size()) {
      std::wstring path(buffer.data(), got);
      std::size_t slash = path.find_last_of(L"\\/");
      if (slash == std::wstring::npos) return std::string();
      return win32::Utf8FromWide(std::wstring_view(path).substr(0, slash));
    }
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

bool DirectoryIsWritable(const std::string& directory) {
  // The only reliable answer under access lists and read-only media: make
  // a file there, which goes again when its handle closes.
  const std::wstring probe = WideDirectory(directory) + L"\\brevane-probe.tmp";
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

std::string UserSettingsDirectory() {
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD got = GetEnvironmentVariableW(L"APPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
  if (got >= buffer.size()) {
    buffer.resize(got + 1);
    got = GetEnvironmentVariableW(L"APPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
  }
  if (got == 0 || got >= buffer.size()) return std::string();
  std::wstring dir(buffer.data(), got);
  while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
  if (dir.empty()) return std::string();
  return win32::Utf8FromWide(dir + L"\\brevane");
}

bool CreateDirectories(const std::string& directory) {
  const std::wstring dir = WideDirectory(directory);
  if (directory.empty()) return false;
  std::size_t next = 0;
  while (true) {
    next = dir.find_first_of(L"\\/", next + 1);
    const std::wstring part = dir.substr(0, next);
    // A drive ("C:") is passed; making a part that is there already (a
    // share, say) fails harmlessly: what counts is the whole path at the end.
    const bool root = part.empty() || part.back() == L':' ||
                      part.find_first_not_of(L"\\/") == std::wstring::npos;
    if (!root) CreateDirectoryW(part.c_str(), nullptr);
    if (next == std::wstring::npos) break;
  }
  const DWORD attributes = GetFileAttributesW(dir.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace brevane::files
