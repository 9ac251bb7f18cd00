// Strict charset conversion through the Windows code-page functions: the
// input is decoded with MB_ERR_INVALID_CHARS and encoded with
// WC_NO_BEST_FIT_CHARS and a check that no default character was used, so
// any fault gives no bytes at all. Code pages that refuse those arguments
// (GB18030 among them) are called as they require and checked by a round
// trip instead (see charset_win32.h).
//
// GB18030 is code page 54936. Where the system lacks it (Wine), GB18030 is
// handled as GBK (code page 936) plus the four-byte form of the characters
// beyond the basic plane, which GB18030 maps by a formula; a character of
// the basic plane outside GBK then fails the conversion.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

#include "extras/charset.h"
#include "extras/charset_win32.h"

#include "base/text/wide.h"

namespace brevane {
namespace {

constexpr UINT kGb18030 = 54936;
constexpr UINT kGbk = 936;

std::string Upper(std::string_view name) {
  std::string out(name);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

std::optional<UINT> CodePage(std::string_view name) {
  const std::string n = Upper(name);
  if (n == "UTF-8" || n == "UTF8") return CP_UTF8;
  if (n == "GB18030") return kGb18030;
  if (n == "GBK" || n == "CP936" || n == "GB2312" || n == "EUC-CN") return kGbk;
  if (n == "ISO-8859-1" || n == "LATIN1") return 28591;
  if (n == "US-ASCII" || n == "ASCII") return 20127;
  if (n == "BIG5") return 950;
  if (n == "SHIFT_JIS") return 932;
  return std::nullopt;
}

bool Decode(std::string_view bytes, UINT code_page, std::wstring* out) {
  if (bytes.empty()) return true;
  const DWORD flags = charset_win32::DecodeFlagsFor(code_page);
  const int n = MultiByteToWideChar(code_page, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return false;
  const std::size_t at = out->size();
  out->resize(at + static_cast<std::size_t>(n));
  return MultiByteToWideChar(code_page, flags, bytes.data(), static_cast<int>(bytes.size()), out->data() + at,
                             n) == n;
}

bool Encode(std::wstring_view wide, UINT code_page, std::string* out) {
  return charset_win32::Encode(wide, code_page, charset_win32::EncodeModeFor(code_page), out);
}

// GB18030 without the system's code page: GBK runs plus the formula for
// the four-byte form of U+10000 .. U+10FFFF.
bool EncodeGb18030(std::wstring_view wide, std::string* out) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const wchar_t c = wide[i];
    if (c < 0xD800 || c > 0xDFFF) continue;
    if (c > 0xDBFF || i + 1 >= wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) return false;
    if (!Encode(wide.substr(run, i - run), kGbk, out)) return false;
    win32::AppendGb18030Supplementary(c, wide[i + 1], out);
    ++i;
    run = i + 1;
  }
  return Encode(wide.substr(run), kGbk, out);
}

bool DecodeGb18030(std::string_view bytes, std::wstring* out) {
  std::size_t run = 0;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) { ++i; continue; }
    if (i + 1 >= bytes.size()) return false;
    const auto b2 = static_cast<unsigned char>(bytes[i + 1]);
    if (b2 < 0x30 || b2 > 0x39) { i += 2; continue; }  // a two-byte character
    if (i + 3 >= bytes.size()) return false;
    const auto b3 = static_cast<unsigned char>(bytes[i + 2]);
    const auto b4 = static_cast<unsigned char>(bytes[i + 3]);
    if (b < 0x90 || b > 0xE3 || b3 < 0x81 || b3 > 0xFE || b4 < 0x30 || b4 > 0x39) return false;
    const uint32_t linear = ((b - 0x90u) * 10 + (b2 - 0x30u)) * 1260 + (b3 - 0x81u) * 10 + (b4 - 0x30u);
    if (linear > 0xFFFFF) return false;
    if (!Decode(bytes.substr(run, i - run), kGbk, out)) return false;
    out->push_back(static_cast<wchar_t>(0xD800 + (linear >> 10)));
    out->push_back(static_cast<wchar_t>(0xDC00 + (linear & 0x3FF)));
    i += 4;
    run = i;
  }
  return Decode(bytes.substr(run), kGbk, out);
}

bool HaveCodePage(UINT code_page) { return code_page == CP_UTF8 || IsValidCodePage(code_page); }

}  // namespace

namespace charset_win32 {

namespace {

// Code pages whose conversion functions take no flags and no default
// character: the ISO-2022 family, HZ, the ISCII pages, UTF-7 and Symbol.
// GB18030 (54936) and UTF-8 accept the invalid-characters flag alone.
bool TakesNoFlags(UINT code_page) {
  switch (code_page) {
    case 42: case 50220: case 50221: case 50222: case 50225: case 50227: case 50229: case 52936: case 65000:
      return true;
    default:
      return code_page >= 57002 && code_page <= 57011;
  }
}

bool TakesOnlyInvalidCharsFlag(UINT code_page) { return code_page == kGb18030 || code_page == CP_UTF8; }

}  // namespace

EncodeMode EncodeModeFor(UINT code_page) {
  EncodeMode mode;
  if (TakesOnlyInvalidCharsFlag(code_page)) {
    // An unpaired surrogate fails the call; UTF-8 represents everything
    // else, GB18030 too, but a round trip still guards GB18030.
    mode.flags = WC_ERR_INVALID_CHARS;
    mode.round_trip_check = code_page != CP_UTF8;
  } else if (TakesNoFlags(code_page)) {
    mode.round_trip_check = true;
  } else {
    mode.flags = WC_NO_BEST_FIT_CHARS;
    mode.used_default_check = true;
  }
  return mode;
}

DWORD DecodeFlagsFor(UINT code_page) { return TakesNoFlags(code_page) ? 0 : MB_ERR_INVALID_CHARS; }

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
    if (!Decode(bytes, code_page, &back) || back != wide) return false;
  }
  out->append(bytes);
  return true;
}

}  // namespace charset_win32

std::string ConvertCharset(std::string_view bytes, std::string_view from, std::string_view to) {
  if (bytes.empty() || bytes.size() > 0x7FFFFFFF / 4) return std::string();
  const std::optional<UINT> source = CodePage(from);
  const std::optional<UINT> target = CodePage(to);
  if (!source || !target) return std::string();
  std::wstring wide;
  bool ok;
  if (*source == kGb18030 && !HaveCodePage(kGb18030)) {
    ok = DecodeGb18030(bytes, &wide);
  } else {
    ok = HaveCodePage(*source) && Decode(bytes, *source, &wide);
  }
  if (!ok) return std::string();
  std::string out;
  if (*target == kGb18030 && !HaveCodePage(kGb18030)) {
    ok = EncodeGb18030(wide, &out);
  } else {
    ok = HaveCodePage(*target) && Encode(wide, *target, &out);
  }
  return ok ? out : std::string();
}

}  // namespace brevane
