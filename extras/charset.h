// Strict conversion between two charsets named as the charset converter knows
// them ("UTF-8", "GB18030", ...). Unlike the lenient edge conversions of
// base/text/charset.h, nothing is ever dropped or replaced: an input that is
// invalid in the source charset, ends inside a character, or holds a
// character the target cannot represent converts to no bytes at all, and so
// does an unknown charset name.
#pragma once

#include <string>
#include <string_view>

namespace brevane {

std::string ConvertCharset(std::string_view bytes, std::string_view from, std::string_view to);

}  // namespace brevane
