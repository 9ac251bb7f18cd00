// The conversion through the C library's iconv.
#include <iconv.h>

#include <cerrno>

#include "base/text/charset.h"

namespace brevane {
namespace {

std::string Convert(std::string_view input, const char* from, const char* to, Conversion conversion) {
  std::string output;
  if (input.empty()) return output;
  const iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return output;
  const bool strict = conversion == Conversion::kStrict;
  output.resize(input.size() * 4 + 16);
  char* in = const_cast<char*>(input.data());
  std::size_t in_left = input.size();
  char* out = output.data();
  std::size_t out_left = output.size();
  bool ok = true;
  // One pass over the input, then the flush that ends a stateful target;
  // the output grows whenever it is full.
  for (;;) {
    const bool flushing = in_left == 0;
    const std::size_t r = flushing ? iconv(cd, nullptr, nullptr, &out, &out_left)
                                   : iconv(cd, &in, &in_left, &out, &out_left);
    if (r == static_cast<std::size_t>(-1) && errno == E2BIG) {
      const std::size_t used = output.size() - out_left;
      output.resize(output.size() * 2);
      out = output.data() + used;
      out_left = output.size() - used;
      continue;
    }
    // Invalid, incomplete or unconvertible input, or characters replaced
    // rather than converted.
    if (strict && r != 0) {
      ok = false;
      break;
    }
    if (flushing) break;
    if (r == static_cast<std::size_t>(-1)) {
      // Lenient: drop one byte and go on.
      ++in;
      --in_left;
    }
  }
  iconv_close(cd);
  if (!ok) return std::string();
  output.resize(output.size() - out_left);
  return output;
}

}  // namespace

Text Utf8ToGbk(std::string_view utf8, Conversion conversion) {
  return Convert(utf8, "UTF-8", "GB18030", conversion);
}

std::string GbkToUtf8(std::string_view gbk, Conversion conversion) {
  return Convert(gbk, "GB18030", "UTF-8", conversion);
}

}  // namespace brevane
