// GBK text operations.
//
// Every text inside Brevane is a Text: a byte string in the GBK code page with
// no zero byte inside. Positions are 1-based byte positions, -1 means "not
// found", and every scan walks the text character by character: a byte of
// 0x80 or more that has a byte after it starts a two-byte character and the
// scan steps over both, so a needle never matches on a trail byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brevane {

using Text = std::string;
using TextList = std::vector<Text>;

// Position of the first occurrence of needle at or after start, or -1.
// An omitted start, or one of 1 or less, scans from byte 1.
int32_t FindText(std::string_view text, std::string_view needle,
                 std::optional<int32_t> start = std::nullopt);

// Position of the last occurrence of needle that ends before start, or -1.
// An omitted start searches the whole text.
int32_t FindTextBackward(std::string_view text, std::string_view needle,
                         std::optional<int32_t> start = std::nullopt);

// Bytes start .. start + length - 1, cut at the end of the text; empty when
// start lies outside the text or length is 0 or less.
Text MidText(std::string_view text, int32_t start, int32_t length);

int32_t TextLength(std::string_view text);

// Pieces between separators; an empty text gives no piece, and a separator at
// the very end adds no empty piece.
TextList SplitText(std::string_view text, std::string_view separator);

// Removes leading and trailing spaces and full-width spaces (A1 A1); a lone
// byte of 0x80 or more at the very end goes as well.
Text TrimSpaces(std::string_view text);

bool TextEquals(std::string_view a, std::string_view b);

// The text's bytes, without any terminator.
std::string TextToBytes(std::string_view text);

// The bytes before the first zero byte.
Text BytesToText(std::string_view bytes);

// Decimal digits, with a minus sign when negative.
Text IntToText(int32_t value);

// Width of the character that starts at byte index i (0-based) of text:
// 2 for a lead byte with a byte after it, 1 otherwise, 0 for a lead byte that
// is the last byte (the scan ends there).
inline int CharacterWidth(std::string_view text, std::size_t i) {
  if (static_cast<unsigned char>(text[i]) < 0x80) return 1;
  return i + 1 < text.size() ? 2 : 0;
}

}  // namespace brevane
