// Settings files on Windows: the GBK path is turned into UTF-16 through code
// page 936 and every call is a W function, so the files are found whatever
// the system's ANSI code page is. A temporary file from GetTempFileNameW in
// the same directory takes the file's place with MoveFileExW.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

#include "core/files.h"

namespace brevane::files {
namespace {

constexpr UINT kGbkCodePage = 936;

std::wstring GbkToWide(std::string_view gbk) {
  if (gbk.empty()) return std::wstring();
  int count = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(),
                                  static_cast<int>(gbk.size()), nullptr, 0);
  if (count <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()),
                      wide.data(), count);
  return wide;
}

std::string WideToGbk(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  int count = WideCharToMultiByte(kGbkCodePage, 0, wide.data(), static_cast<int>(wide.size()),
                                  nullptr, 0, nullptr, nullptr);
  if (count <= 0) return std::string();
  std::string gbk(static_cast<std::size_t>(count), '\0');
  WideCharToMultiByte(kGbkCodePage, 0, wide.data(), static_cast<int>(wide.size()), gbk.data(),
                      count, nullptr, nullptr);
  return gbk;
}

// The directory in UTF-16 without a trailing separator; "." for none.
std::wstring WideDirectory(const std::string& directory) {
  std::wstring dir = GbkToWide(directory);
  while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
  if (dir.empty()) dir = L".";
  return dir;
}

std::wstring WidePath(const std::string& directory, const Text& name) {
  return WideDirectory(directory) + L"\\" + GbkToWide(name);
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

}  // namespace

std::string ReadWholeFile(const std::string& directory, const Text& name) {
  const std::wstring path = WidePath(directory, name);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buffer[65536];
  while (true) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      bytes.clear();  // an unreadable file reads as no bytes
      break;
    }
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  CloseHandle(file);
  return bytes;
}

bool ReplaceWholeFile(const std::string& directory, const Text& name, std::string_view bytes) {
  const std::wstring dir = WideDirectory(directory);
  const std::wstring path = WidePath(directory, name);
  std::vector<wchar_t> temp(MAX_PATH + 16, L'\0');
  // Creates a new, empty, uniquely named file in the same directory, so the
  // final move stays on one volume.
  if (GetTempFileNameW(dir.c_str(), L"brv", 0, temp.data()) == 0) return false;
  HANDLE file = CreateFileW(temp.data(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DeleteFileW(temp.data());
    return false;
  }
  bool ok = WriteAll(file, bytes) && FlushFileBuffers(file);
  if (!CloseHandle(file)) ok = false;
  if (ok && !MoveFileExW(temp.data(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
  }
  if (!ok) {
    DeleteFileW(temp.data());
    return false;
  }
  return true;
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
      return WideToGbk(std::wstring_view(path).substr(0, slash));
    }
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace brevane::files
