// Edge conversions through the C library's iconv.
#include <iconv.h>

#include <cerrno>

#include "base/text/charset.h"

namespace brevane {
namespace {

std::string Convert(std::string_view input, const char* from, const char* to) {
  std::string output;
  if (input.empty()) return output;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return output;
  output.resize(input.size() * 4 + 16);
  char* in = const_cast<char*>(input.data());
  std::size_t in_left = input.size();
  char* out = output.data();
  std::size_t out_left = output.size();
  while (in_left > 0) {
    std::size_t r = iconv(cd, &in, &in_left, &out, &out_left);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      std::size_t used = output.size() - out_left;
      output.resize(output.size() * 2);
      out = output.data() + used;
      out_left = output.size() - used;
    } else {
      // Invalid or incomplete sequence: drop one byte and go on.
      ++in;
      --in_left;
    }
  }
  output.resize(output.size() - out_left);
  iconv_close(cd);
  return output;
}

}  // namespace

Text Utf8ToGbk(std::string_view utf8) { return Convert(utf8, "UTF-8", "GB18030"); }
std::string GbkToUtf8(std::string_view gbk) { return Convert(gbk, "GB18030", "UTF-8"); }

}  // namespace brevane
