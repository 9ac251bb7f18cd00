// Conversion between the program's GBK texts and the UTF-8 of the platform
// edges (GTK, WebKit, file names on Linux, test sources).
//
// GB18030 is the lossless superset of GBK, so UTF-8 -> GB18030 -> UTF-8 keeps
// every character; a character outside GBK becomes a four-byte GB18030
// sequence, which the two-byte stepping of the text operations walks as two
// characters and never splits a search on.
#pragma once

#include <string>
#include <string_view>

#include "base/text/text.h"

namespace brevane {

// Lenient edge conversions: an invalid sequence is dropped rather than
// failing the whole text, so a damaged page still shows what it can.
Text Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);

}  // namespace brevane
