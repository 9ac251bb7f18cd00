// The program's one conversion between its GBK texts and the UTF-8 of the
// platform edges (GTK, WebKit, file names on Linux, test sources, the
// announcement page), one implementation per platform: iconv on Linux, the
// Windows code-page functions on Windows (base/text/wide.h adds UTF-16).
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

// What a conversion does with bytes it cannot convert.
enum class Conversion {
  // The rest still converts, so a damaged page still shows what it can:
  // between GBK and UTF-8 an invalid sequence is dropped; into UTF-16
  // (base/text/wide.h) it becomes the system's replacement character.
  kLenient,
  // Nothing is ever dropped or replaced: an input that is invalid, ends
  // inside a character or holds a character the target cannot represent
  // converts to no bytes at all.
  kStrict,
};

Text Utf8ToGbk(std::string_view utf8, Conversion conversion = Conversion::kLenient);
std::string GbkToUtf8(std::string_view gbk, Conversion conversion = Conversion::kLenient);

// UTF-16 code units (a file's bytes after its byte order mark) to UTF-8: an
// unpaired surrogate becomes U+FFFD and a trailing odd byte is dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool big_endian);

}  // namespace brevane
