#include "base/text/wide.h"

#include <windows.h>

#include <cstdint>

namespace brevane::win32 {
namespace {

std::wstring ToWide(std::string_view text, UINT code_page) {
  if (text.empty() || text.size() > 0x7FFFFFFF) return {};
  const int n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

}  // namespace

std::wstring WideFromGbk(std::string_view gbk) {
  // A Text ends at its first zero byte.
  const std::size_t zero = gbk.find('\0');
  return ToWide(zero == std::string_view::npos ? gbk : gbk.substr(0, zero), 936);
}

Text GbkFromWide(std::wstring_view wide) {
  if (wide.empty() || wide.size() > 0x3FFFFFFF) return Text();
  const int n = WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return Text();
  Text out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  const std::size_t zero = out.find('\0');
  if (zero != Text::npos) out.resize(zero);
  return out;
}

std::wstring WideFromUtf8(std::string_view utf8) { return ToWide(utf8, CP_UTF8); }

void AppendGb18030Supplementary(wchar_t high, wchar_t low, std::string* out) {
  uint32_t linear = ((static_cast<uint32_t>(high) - 0xD800) << 10) + (static_cast<uint32_t>(low) - 0xDC00);
  const char b4 = static_cast<char>(0x30 + linear % 10);
  linear /= 10;
  const char b3 = static_cast<char>(0x81 + linear % 126);
  linear /= 126;
  const char b2 = static_cast<char>(0x30 + linear % 10);
  const char b1 = static_cast<char>(0x90 + linear / 10);
  out->append({b1, b2, b3, b4});
}

}  // namespace brevane::win32
