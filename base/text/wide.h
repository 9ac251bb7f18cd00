// The conversion between the program's texts and Windows' UTF-16: GBK (code
// page 936) for the shell's W functions, the MSHTML engine's BSTRs, the
// desktop's browser and the settings file names, so Chinese shows whatever
// the system's locale is; UTF-8 for the window definition's captions and
// the settings folder.
#pragma once

#include <string>
#include <string_view>

#include "base/text/charset.h"
#include "base/text/text.h"

namespace brevane::win32 {

// A text ends at its first zero character either way. A lenient conversion
// gives what the system makes of invalid bytes; a strict one gives nothing.
std::wstring WideFromGbk(std::string_view gbk, Conversion conversion = Conversion::kLenient);
Text GbkFromWide(std::wstring_view wide);
std::wstring WideFromUtf8(std::string_view utf8, Conversion conversion = Conversion::kLenient);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace brevane::win32
