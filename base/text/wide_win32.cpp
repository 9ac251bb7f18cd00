#include "base/text/wide.h"

#include <windows.h>

namespace brevane::win32 {
namespace {

constexpr UINT kGbk = 936;

std::wstring ToWide(std::string_view text, UINT code_page, Conversion conversion) {
  if (text.empty() || text.size() > 0x7FFFFFFF) return {};
  const DWORD flags = conversion == Conversion::kStrict ? MB_ERR_INVALID_CHARS : 0;
  const int n = MultiByteToWideChar(code_page, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(code_page, flags, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string FromWide(std::wstring_view wide, UINT code_page) {
  if (wide.empty() || wide.size() > 0x3FFFFFFF) return {};
  const int n =
      WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring WideFromGbk(std::string_view gbk, Conversion conversion) {
  // A Text ends at its first zero byte.
  const std::size_t zero = gbk.find('\0');
  return ToWide(zero == std::string_view::npos ? gbk : gbk.substr(0, zero), kGbk, conversion);
}

Text GbkFromWide(std::wstring_view wide) {
  Text out = FromWide(wide, kGbk);
  const std::size_t zero = out.find('\0');
  if (zero != Text::npos) out.resize(zero);
  return out;
}

std::wstring WideFromUtf8(std::string_view utf8, Conversion conversion) { return ToWide(utf8, CP_UTF8, conversion); }

std::string Utf8FromWide(std::wstring_view wide) { return FromWide(wide, CP_UTF8); }

}  // namespace brevane::win32
