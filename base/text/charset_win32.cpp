// Edge conversions through the Windows code-page functions. Code page 54936
// is GB18030, the lossless superset of code page 936 (GBK).
//
// Lenient as the edge conversions are: an invalid sequence is dropped, not
// replaced. Where the system lacks code page 54936 (Wine), GB18030 is GBK
// (code page 936) plus the four-byte form of the characters beyond the basic
// plane, which GB18030 maps by a formula; a character of the basic plane
// outside GBK is then dropped.
#include <windows.h>

#include "base/text/charset.h"
#include "base/text/wide.h"

namespace brevane {
namespace {

constexpr UINT kGb18030 = 54936;
constexpr UINT kGbk = 936;

bool HaveGb18030() {
  static const bool have = IsValidCodePage(kGb18030) != FALSE;
  return have;
}

// UTF-8 to UTF-16, dropping every byte that does not start a well-formed
// sequence (overlong forms, surrogates and values beyond U+10FFFF included).
std::wstring DecodeUtf8(std::string_view in) {
  std::wstring out;
  out.reserve(in.size());
  std::size_t i = 0;
  while (i < in.size()) {
    const auto b = static_cast<unsigned char>(in[i]);
    int length = 0;
    uint32_t c = 0;
    uint32_t minimum = 0;
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      length = 2, c = b & 0x1F, minimum = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      length = 3, c = b & 0x0F, minimum = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      length = 4, c = b & 0x07, minimum = 0x10000;
    } else {
      ++i;
      continue;
    }
    bool ok = i + static_cast<std::size_t>(length) <= in.size();
    for (int k = 1; ok && k < length; ++k) {
      const auto next = static_cast<unsigned char>(in[i + static_cast<std::size_t>(k)]);
      ok = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!ok || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
    i += static_cast<std::size_t>(length);
  }
  return out;
}

// Appends the wide characters in the code page; false when one of them has
// no form there (nothing is appended then).
bool EncodeStrict(std::wstring_view wide, UINT code_page, std::string* out) {
  if (wide.empty()) return true;
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, &used_default);
  if (n <= 0 || used_default) return false;
  const std::size_t at = out->size();
  out->resize(at + static_cast<std::size_t>(n));
  WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out->data() + at,
                      n, nullptr, nullptr);
  return true;
}

// GBK characters one run at a time; a run that does not convert as a whole
// goes character by character, dropping those without a GBK form.
void EncodeGbkLenient(std::wstring_view wide, std::string* out) {
  if (EncodeStrict(wide, kGbk, out)) return;
  for (std::size_t i = 0; i < wide.size(); ++i) EncodeStrict(wide.substr(i, 1), kGbk, out);
}

Text EncodeGb18030(const std::wstring& wide) {
  std::string out;
  if (HaveGb18030()) {
    if (!wide.empty()) {
      const int n = WideCharToMultiByte(kGb18030, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                        nullptr, nullptr);
      if (n <= 0) return Text();
      out.resize(static_cast<std::size_t>(n));
      WideCharToMultiByte(kGb18030, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                          nullptr);
    }
    return out;
  }
  std::size_t run = 0;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const wchar_t c = wide[i];
    if (c < 0xD800 || c > 0xDBFF || i + 1 >= wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) {
      continue;
    }
    EncodeGbkLenient(std::wstring_view(wide).substr(run, i - run), &out);
    win32::AppendGb18030Supplementary(c, wide[i + 1], &out);
    ++i;
    run = i + 1;
  }
  EncodeGbkLenient(std::wstring_view(wide).substr(run), &out);
  return out;
}

std::wstring DecodeGb18030(std::string_view in) {
  std::wstring out;
  if (in.empty()) return out;
  if (HaveGb18030()) {
    const int n = MultiByteToWideChar(kGb18030, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
    if (n <= 0) return out;
    out.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(kGb18030, 0, in.data(), static_cast<int>(in.size()), out.data(), n);
    return out;
  }
  std::size_t i = 0;
  while (i < in.size()) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    }
    if (i + 1 >= in.size()) break;
    const auto b2 = static_cast<unsigned char>(in[i + 1]);
    if (b2 >= 0x30 && b2 <= 0x39) {
      // A four-byte character: beyond the basic plane by the formula; others
      // have no form without the system's table and are dropped.
      if (i + 3 < in.size() && b >= 0x90 && b <= 0xE3) {
        const auto b3 = static_cast<unsigned char>(in[i + 2]);
        const auto b4 = static_cast<unsigned char>(in[i + 3]);
        const uint32_t linear = ((b - 0x90u) * 10 + (b2 - 0x30u)) * 1260 + (b3 - 0x81u) * 10 + (b4 - 0x30u);
        if (b3 >= 0x81 && b3 <= 0xFE && b4 >= 0x30 && b4 <= 0x39 && linear <= 0xFFFFF) {
          out.push_back(static_cast<wchar_t>(0xD800 + (linear >> 10)));
          out.push_back(static_cast<wchar_t>(0xDC00 + (linear & 0x3FF)));
        }
      }
      i += 4;
      continue;
    }
    wchar_t c = 0;
    if (MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, in.data() + i, 2, &c, 1) == 1) {
      out.push_back(c);
      i += 2;
    } else {
      ++i;
    }
  }
  return out;
}

std::string EncodeUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                    nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

Text Utf8ToGbk(std::string_view utf8) { return EncodeGb18030(DecodeUtf8(utf8)); }
std::string GbkToUtf8(std::string_view gbk) { return EncodeUtf8(DecodeGb18030(gbk)); }

}  // namespace brevane
