#include "base/text/text.h"

#include <cstring>

#if defined(__GLIBC__)
#include <string.h>  // memmem
#endif

namespace brevane {
namespace {

bool IsHigh(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Byte search for needle in haystack[from, end); npos when absent. memmem is
// the fastest primitive where the C library has it.
std::size_t FindBytes(std::string_view haystack, std::string_view needle, std::size_t from,
                      std::size_t end) {
  if (from > end || end - from < needle.size()) return std::string_view::npos;
#if defined(__GLIBC__)
  const void* hit = memmem(haystack.data() + from, end - from, needle.data(), needle.size());
  if (hit == nullptr) return std::string_view::npos;
  return static_cast<std::size_t>(static_cast<const char*>(hit) - haystack.data());
#else
  std::string_view window = haystack.substr(0, end);
  return window.find(needle, from);
#endif
}

// Walks, in increasing order, the 0-based positions reached by character
// stepping from `start` at which needle lies wholly inside text[0, end).
//
// Candidates come from a plain byte search. Whether a candidate c is reached
// by the stepping is decided locally: a byte below 0x80 is never a lead byte,
// so the position after it is always a character start. Counting the run of
// bytes of 0x80 or more directly before c (back to such a byte, or to a known
// character start) tells the parity: c is reached when the run is even.
// Known character starts only move forward, so every byte is looked at a
// bounded number of times however many candidates there are.
class SteppedMatches {
 public:
  SteppedMatches(std::string_view text, std::string_view needle, std::size_t start,
                 std::size_t end)
      : text_(text), needle_(needle), end_(end), next_(start), known_start_(start) {}

  std::size_t Next() {
    while (true) {
      std::size_t c = FindBytes(text_, needle_, next_, end_);
      if (c == std::string_view::npos) return c;
      std::size_t q = c;
      while (q > known_start_ && IsHigh(text_[q - 1])) --q;
      next_ = c + 1;
      if ((c - q) % 2 == 0) {
        known_start_ = c;
        return c;
      }
      // c is the trail byte of a two-byte character, so c + 1 starts one.
      known_start_ = c + 1;
    }
  }

 private:
  std::string_view text_;
  std::string_view needle_;
  std::size_t end_;
  std::size_t next_;
  std::size_t known_start_;
};

constexpr std::size_t kNone = std::string_view::npos;

}  // namespace

int32_t FindText(std::string_view text, std::string_view needle, std::optional<int32_t> start) {
  const int64_t length = static_cast<int64_t>(text.size());
  int64_t s = (!start || *start <= 1) ? 1 : *start;
  if (s > length) return -1;
  if (needle.empty()) return 1;
  SteppedMatches matches(text, needle, static_cast<std::size_t>(s - 1), text.size());
  std::size_t hit = matches.Next();
  return hit == kNone ? -1 : static_cast<int32_t>(hit + 1);
}

int32_t FindTextBackward(std::string_view text, std::string_view needle,
                         std::optional<int32_t> start) {
  const int64_t length = static_cast<int64_t>(text.size());
  int64_t window = length;
  if (start) {
    if (*start <= 1) {
      window = 0;
    } else if (static_cast<int64_t>(*start) - 1 < length) {
      window = static_cast<int64_t>(*start) - 1;
    }
  }
  if (window <= 0) return -1;
  if (needle.empty()) return 1;
  SteppedMatches matches(text, needle, 0, static_cast<std::size_t>(window));
  std::size_t last = kNone;
  for (std::size_t hit = matches.Next(); hit != kNone; hit = matches.Next()) last = hit;
  return last == kNone ? -1 : static_cast<int32_t>(last + 1);
}

Text MidText(std::string_view text, int32_t start, int32_t length) {
  const int64_t size = static_cast<int64_t>(text.size());
  if (start < 1 || start > size || length <= 0) return Text();
  return Text(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length)));
}

int32_t TextLength(std::string_view text) { return static_cast<int32_t>(text.size()); }

TextList SplitText(std::string_view text, std::string_view separator) {
  TextList pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t piece_start = 0;
  while (true) {
    SteppedMatches matches(text, separator, piece_start, text.size());
    std::size_t hit = matches.Next();
    if (hit == kNone) break;
    pieces.emplace_back(text.substr(piece_start, hit - piece_start));
    piece_start = hit + separator.size();
  }
  if (piece_start < text.size()) pieces.emplace_back(text.substr(piece_start));
  return pieces;
}

Text TrimSpaces(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    if (text[begin] == ' ') {
      begin += 1;
    } else if (begin + 1 < text.size() && text[begin] == '\xA1' && text[begin + 1] == '\xA1') {
      begin += 2;
    } else {
      break;
    }
  }
  // Walk forward by characters to find where the trailing run of spaces
  // begins, so a full-width space is only recognised on a character start.
  std::size_t run_start = kNone;
  std::size_t i = begin;
  std::size_t end = text.size();
  while (i < text.size()) {
    int width = CharacterWidth(text, i);
    if (width == 0) {  // a lone lead byte at the very end goes too
      end = i;
      break;
    }
    bool space = (width == 1 && text[i] == ' ') ||
                 (width == 2 && text[i] == '\xA1' && text[i + 1] == '\xA1');
    if (space) {
      if (run_start == kNone) run_start = i;
    } else {
      run_start = kNone;
    }
    i += static_cast<std::size_t>(width);
  }
  if (run_start != kNone) end = run_start;
  return Text(text.substr(begin, end - begin));
}

bool TextEquals(std::string_view a, std::string_view b) { return a == b; }

std::string TextToBytes(std::string_view text) { return std::string(text); }

Text BytesToText(std::string_view bytes) {
  std::size_t zero = bytes.find('\0');
  return Text(bytes.substr(0, zero));
}

Text IntToText(int32_t value) { return std::to_string(value); }

}  // namespace brevane
