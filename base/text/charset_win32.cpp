// The conversion through the Windows code-page functions. Code page 54936
// is GB18030, the lossless superset of code page 936 (GBK).
//
// Where the system lacks code page 54936 (Wine), GB18030 is GBK (code page
// 936) plus the four-byte form of the characters beyond the basic plane,
// which GB18030 maps by a formula; a character of the basic plane outside
// GBK is then dropped, or fails a strict conversion.
#include <windows.h>

#include <cstdint>
#include <optional>

#include "base/text/charset.h"
#include "base/text/charset_win32.h"

namespace brevane {
namespace {

using charset_win32::Encode;
using charset_win32::EncodeMode;
using charset_win32::EncodeModeFor;

constexpr UINT kGb18030 = 54936;
constexpr UINT kGbk = 936;

bool HaveGb18030() {
  static const bool have = IsValidCodePage(kGb18030) != FALSE;
  return have;
}

// The four-byte GB18030 form of U+10000 .. U+10FFFF: the distance from
// U+10000 written as 90..E3, 30..39, 81..FE, 30..39.
void AppendFourByte(char32_t code, std::string* out) {
  uint32_t linear = code - 0x10000;
  const char b4 = static_cast<char>(0x30 + linear % 10);
  linear /= 10;
  const char b3 = static_cast<char>(0x81 + linear % 126);
  linear /= 126;
  const char b2 = static_cast<char>(0x30 + linear % 10);
  const char b1 = static_cast<char>(0x90 + linear / 10);
  out->append({b1, b2, b3, b4});
}

// The character beyond the basic plane that four bytes stand for; none for
// four bytes of another form (or fewer than four).
std::optional<char32_t> FourByte(std::string_view bytes) {
  if (bytes.size() < 4) return std::nullopt;
  const auto b1 = static_cast<unsigned char>(bytes[0]);
  const auto b2 = static_cast<unsigned char>(bytes[1]);
  const auto b3 = static_cast<unsigned char>(bytes[2]);
  const auto b4 = static_cast<unsigned char>(bytes[3]);
  if (b1 < 0x90 || b1 > 0xE3 || b2 < 0x30 || b2 > 0x39 || b3 < 0x81 || b3 > 0xFE || b4 < 0x30 || b4 > 0x39) {
    return std::nullopt;
  }
  const uint32_t linear = ((b1 - 0x90u) * 10 + (b2 - 0x30u)) * 1260 + (b3 - 0x81u) * 10 + (b4 - 0x30u);
  if (linear > 0xFFFFF) return std::nullopt;
  return 0x10000 + linear;
}

void AppendWide(char32_t code, std::wstring* out) {
  if (code >= 0x10000) {
    out->push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
    out->push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
  } else {
    out->push_back(static_cast<wchar_t>(code));
  }
}

bool Decode(std::string_view bytes, UINT code_page, DWORD flags, std::wstring* out) {
  if (bytes.empty()) return true;
  const int n = MultiByteToWideChar(code_page, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return false;
  const std::size_t at = out->size();
  out->resize(at + static_cast<std::size_t>(n));
  return MultiByteToWideChar(code_page, flags, bytes.data(), static_cast<int>(bytes.size()), out->data() + at,
                             n) == n;
}

// UTF-8 to UTF-16. A byte that does not start a well-formed sequence
// (overlong forms, surrogates and values beyond U+10FFFF included) is
// dropped, or fails a strict conversion.
bool DecodeUtf8(std::string_view in, Conversion conversion, std::wstring* out) {
  out->reserve(in.size());
  std::size_t i = 0;
  while (i < in.size()) {
    const auto b = static_cast<unsigned char>(in[i]);
    int length = 0;
    uint32_t c = 0;
    uint32_t minimum = 0;
    if (b < 0x80) {
      out->push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      length = 2, c = b & 0x1F, minimum = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      length = 3, c = b & 0x0F, minimum = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      length = 4, c = b & 0x07, minimum = 0x10000;
    }
    bool ok = length > 0 && i + static_cast<std::size_t>(length) <= in.size();
    for (int k = 1; ok && k < length; ++k) {
      const auto next = static_cast<unsigned char>(in[i + static_cast<std::size_t>(k)]);
      ok = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!ok || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      if (conversion == Conversion::kStrict) return false;
      ++i;
      continue;
    }
    AppendWide(c, out);
    i += static_cast<std::size_t>(length);
  }
  return true;
}

bool DecodeGb18030(std::string_view in, Conversion conversion, std::wstring* out) {
  const bool strict = conversion == Conversion::kStrict;
  if (HaveGb18030()) return Decode(in, kGb18030, strict ? MB_ERR_INVALID_CHARS : 0, out);
  std::size_t i = 0;
  while (i < in.size()) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out->push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    }
    if (i + 1 >= in.size()) return !strict;  // ends inside a character
    const auto b2 = static_cast<unsigned char>(in[i + 1]);
    if (b2 >= 0x30 && b2 <= 0x39) {
      // A four-byte character: beyond the basic plane by the formula; the
      // others have no form without the system's table.
      const std::optional<char32_t> c = FourByte(in.substr(i, 4));
      if (c) {
        AppendWide(*c, out);
      } else if (strict) {
        return false;
      }
      i += 4;
      continue;
    }
    wchar_t c = 0;
    if (MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, in.data() + i, 2, &c, 1) == 1) {
      out->push_back(c);
      i += 2;
    } else if (strict) {
      return false;
    } else {
      ++i;
    }
  }
  return true;
}

// A run of GBK characters; a lenient run that does not convert as a whole
// goes character by character, dropping those without a GBK form.
bool EncodeGbk(std::wstring_view run, Conversion conversion, std::string* out) {
  const EncodeMode mode = EncodeModeFor(kGbk);
  if (Encode(run, kGbk, mode, out)) return true;
  if (conversion == Conversion::kStrict) return false;
  for (std::size_t i = 0; i < run.size(); ++i) Encode(run.substr(i, 1), kGbk, mode, out);
  return true;
}

bool EncodeGb18030(std::wstring_view wide, Conversion conversion, std::string* out) {
  const bool strict = conversion == Conversion::kStrict;
  if (HaveGb18030()) return Encode(wide, kGb18030, strict ? EncodeModeFor(kGb18030) : EncodeMode{}, out);
  std::size_t run = 0;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const wchar_t c = wide[i];
    if (c < 0xD800 || c > 0xDFFF) continue;
    if (c > 0xDBFF || i + 1 >= wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) {
      if (strict) return false;
      continue;  // an unpaired surrogate: dropped with its run's GBK
    }
    if (!EncodeGbk(wide.substr(run, i - run), conversion, out)) return false;
    AppendFourByte(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (static_cast<char32_t>(wide[i + 1]) - 0xDC00),
                   out);
    ++i;
    run = i + 1;
  }
  return EncodeGbk(wide.substr(run), conversion, out);
}

}  // namespace

namespace charset_win32 {

EncodeMode EncodeModeFor(UINT code_page) {
  EncodeMode mode;
  if (code_page == kGb18030 || code_page == CP_UTF8) {
    // An unpaired surrogate fails the call; UTF-8 represents everything
    // else, GB18030 too, but a round trip still guards GB18030.
    mode.flags = WC_ERR_INVALID_CHARS;
    mode.round_trip_check = code_page != CP_UTF8;
  } else {
    mode.flags = WC_NO_BEST_FIT_CHARS;
    mode.used_default_check = true;
  }
  return mode;
}

bool Encode(std::wstring_view wide, UINT code_page, const EncodeMode& mode, std::string* out) {
  if (wide.empty()) return true;
  BOOL used_default = FALSE;
  BOOL* used = mode.used_default_check ? &used_default : nullptr;
  const int n = WideCharToMultiByte(code_page, mode.flags, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, used);
  if (n <= 0 || used_default) return false;
  std::string bytes(static_cast<std::size_t>(n), '\0');
  const int written = WideCharToMultiByte(code_page, mode.flags, wide.data(), static_cast<int>(wide.size()),
                                          bytes.data(), n, nullptr, used);
  if (written != n || used_default) return false;
  if (mode.round_trip_check) {
    std::wstring back;
    if (!Decode(bytes, code_page, MB_ERR_INVALID_CHARS, &back) || back != wide) return false;
  }
  out->append(bytes);
  return true;
}

}  // namespace charset_win32

Text Utf8ToGbk(std::string_view utf8, Conversion conversion) {
  if (utf8.size() > 0x7FFFFFFF / 4) return Text();
  std::wstring wide;
  std::string out;
  if (!DecodeUtf8(utf8, conversion, &wide) || !EncodeGb18030(wide, conversion, &out)) return Text();
  return out;
}

std::string GbkToUtf8(std::string_view gbk, Conversion conversion) {
  if (gbk.size() > 0x7FFFFFFF / 4) return std::string();
  std::wstring wide;
  std::string out;
  const EncodeMode mode = conversion == Conversion::kStrict ? EncodeModeFor(CP_UTF8) : EncodeMode{};
  if (!DecodeGb18030(gbk, conversion, &wide) || !Encode(wide, CP_UTF8, mode, &out)) return std::string();
  return out;
}

}  // namespace brevane
