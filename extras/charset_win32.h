// How the strict charset conversion calls the Windows code-page functions.
// Most code pages take WC_NO_BEST_FIT_CHARS and report a default character
// through lpUsedDefaultChar; a few reject every flag but 0 (or only
// WC_ERR_INVALID_CHARS / MB_ERR_INVALID_CHARS) and any default-character
// argument, failing with ERROR_INVALID_FLAGS or ERROR_INVALID_PARAMETER.
// For those the encoder passes what they accept and proves strictness by
// decoding its result back and comparing.
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

// WideCharToMultiByte's arguments for a code page.
EncodeMode EncodeModeFor(UINT code_page);
// MultiByteToWideChar's flags for a code page: MB_ERR_INVALID_CHARS where
// the code page accepts it, 0 otherwise.
DWORD DecodeFlagsFor(UINT code_page);

// UTF-16 to the code page, appended to out, with the given mode. False (and
// out unchanged in size meaning) when the code page fails, a character has
// no exact form or the round trip differs.
bool Encode(std::wstring_view wide, UINT code_page, const EncodeMode& mode, std::string* out);

}  // namespace brevane::charset_win32
