// How the strict conversion calls the Windows code-page functions. GBK
// (code page 936) takes WC_NO_BEST_FIT_CHARS and reports a default character
// through lpUsedDefaultChar; GB18030 (54936) and UTF-8 reject those and take
// only WC_ERR_INVALID_CHARS, failing with ERROR_INVALID_FLAGS or
// ERROR_INVALID_PARAMETER otherwise. For GB18030 the encoder passes what it
// accepts and proves strictness by decoding its result back and comparing.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace brevane::charset_win32 {

struct EncodeMode {
  DWORD flags = 0;
  // Pass lpUsedDefaultChar and fail when it comes back TRUE.
  bool used_default_check = false;
  // Decode the result back and fail unless it gives the input again.
  bool round_trip_check = false;
};

// WideCharToMultiByte's arguments for a strict conversion into the code page.
EncodeMode EncodeModeFor(UINT code_page);

// UTF-16 to the code page, appended to out, with the given mode. False (and
// out unchanged) when the code page fails, a character has no exact form or
// the round trip differs.
bool Encode(std::wstring_view wide, UINT code_page, const EncodeMode& mode, std::string* out);

}  // namespace brevane::charset_win32
