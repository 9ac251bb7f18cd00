// Edge conversions through the Windows code-page functions. Code page 54936
// is GB18030, the lossless superset of code page 936 (GBK).
#include <windows.h>

#include "core/text/charset.h"

namespace brevane {
namespace {

std::wstring ToWide(std::string_view input, UINT code_page) {
  if (input.empty()) return {};
  int n = MultiByteToWideChar(code_page, 0, input.data(), static_cast<int>(input.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, input.data(), static_cast<int>(input.size()), wide.data(), n);
  return wide;
}

std::string FromWide(const std::wstring& wide, UINT code_page) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

// GB18030 where the system has it; some systems (Wine among them) lack it,
// and GBK itself (936) then serves every character the program's texts use.
UINT GbkCodePage() {
  static const UINT code_page = IsValidCodePage(54936) ? 54936 : 936;
  return code_page;
}

}  // namespace

Text Utf8ToGbk(std::string_view utf8) { return FromWide(ToWide(utf8, CP_UTF8), GbkCodePage()); }
std::string GbkToUtf8(std::string_view gbk) { return FromWide(ToWide(gbk, GbkCodePage()), CP_UTF8); }

}  // namespace brevane
