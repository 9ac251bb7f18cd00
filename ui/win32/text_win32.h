// Text at the edge of the Windows shell: the program's GBK texts go to the
// W functions as UTF-16 through code page 936, so Chinese shows whatever the
// system's locale is; the window definition's UTF-8 captions go through
// UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "core/text/text.h"

namespace brevane::win32 {

std::wstring WideFromGbk(std::string_view gbk);
Text GbkFromWide(std::wstring_view wide);
std::wstring WideFromUtf8(std::string_view utf8);

}  // namespace brevane::win32
