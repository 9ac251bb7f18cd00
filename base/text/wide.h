// The program's one conversion between its GBK texts and Windows' UTF-16
// (code page 936), used by the shell's W functions, the MSHTML engine's
// BSTRs and the desktop's browser: Chinese shows whatever the system's
// locale is. The window definition's UTF-8 captions go through UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "base/text/text.h"

namespace brevane::win32 {

std::wstring WideFromGbk(std::string_view gbk);
// A text ends at its first zero character either way.
Text GbkFromWide(std::wstring_view wide);
std::wstring WideFromUtf8(std::string_view utf8);

// Appends the four bytes GB18030 gives a character beyond the basic plane,
// from its surrogate pair (GB18030 maps those by a formula, so no code page
// is needed for them).
void AppendGb18030Supplementary(wchar_t high, wchar_t low, std::string* out);

}  // namespace brevane::win32
