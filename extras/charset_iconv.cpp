// Strict charset conversion through the C library's iconv.
#include <iconv.h>

#include <cerrno>

#include "extras/charset.h"

namespace brevane {

std::string ConvertCharset(std::string_view bytes, std::string_view from, std::string_view to) {
  std::string output;
  if (bytes.empty()) return output;
  const iconv_t cd = iconv_open(std::string(to).c_str(), std::string(from).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return output;
  output.resize(bytes.size() * 2 + 16);
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  char* out = output.data();
  std::size_t out_left = output.size();
  bool ok = true;
  // One pass over the input, then the flush that ends a stateful target;
  // the output grows whenever it is full.
  for (bool flushing = false;;) {
    const std::size_t r = flushing ? iconv(cd, nullptr, nullptr, &out, &out_left)
                                   : iconv(cd, &in, &in_left, &out, &out_left);
    if (r == static_cast<std::size_t>(-1)) {
      if (errno != E2BIG) {  // invalid, incomplete or unconvertible
        ok = false;
        break;
      }
      const std::size_t used = output.size() - out_left;
      output.resize(output.size() * 2);
      out = output.data() + used;
      out_left = output.size() - used;
      continue;
    }
    if (r != 0) {  // characters replaced rather than converted
      ok = false;
      break;
    }
    if (flushing) break;
    flushing = true;
  }
  iconv_close(cd);
  if (!ok) return std::string();
  output.resize(output.size() - out_left);
  return output;
}

}  // namespace brevane
