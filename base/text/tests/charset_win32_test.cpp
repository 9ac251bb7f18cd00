// The arguments the strict conversion gives the Windows code-page functions.
// GB18030 rejects the strict flags and the default-character pointer, so it
// gets only the invalid-characters flag, or every conversion through it
// fails; strictness is then kept by a round trip.
//
// Wine 8 has no code page 54936 (GB18030), so a real GB18030 conversion
// cannot run here: the table pins its arguments, and UTF-7 (which Wine has
// and which rejects flags just the same) proves such arguments convert.
#include "base/text/charset_win32.h"

#include <gtest/gtest.h>

#include <string>

namespace brevane::charset_win32 {
namespace {

struct FlagCase {
  UINT code_page;
  DWORD flags;
  bool used_default_check;
  bool round_trip_check;
};

TEST(CharsetWin32, EncodeArgumentsFollowWhatEachCodePageAccepts) {
  const FlagCase cases[] = {
      {54936, WC_ERR_INVALID_CHARS, false, true},  // GB18030
      {65001, WC_ERR_INVALID_CHARS, false, false},  // UTF-8 represents every valid string
      // Ordinary code pages keep the strict flags and the default check.
      {936, WC_NO_BEST_FIT_CHARS, true, false},
      {28591, WC_NO_BEST_FIT_CHARS, true, false},
  };
  for (const FlagCase& c : cases) {
    const EncodeMode mode = EncodeModeFor(c.code_page);
    EXPECT_EQ(mode.flags, c.flags) << c.code_page;
    EXPECT_EQ(mode.used_default_check, c.used_default_check) << c.code_page;
    EXPECT_EQ(mode.round_trip_check, c.round_trip_check) << c.code_page;
  }
}

TEST(CharsetWin32, ACodePageThatRejectsFlagsConvertsWithTheChosenArguments) {
  ASSERT_NE(IsValidCodePage(65000), FALSE) << "this system has no UTF-7";
  const std::wstring text = L"\u56fe\u7247 ok+1";
  // The strict flags and a default-character pointer are refused outright:
  // this is how every GB18030 conversion failed on Windows.
  EncodeMode refused;
  refused.flags = WC_NO_BEST_FIT_CHARS;
  refused.used_default_check = true;
  std::string out;
  EXPECT_FALSE(Encode(text, 65000, refused, &out));
  EXPECT_TRUE(out.empty());

  // As GB18030 is called: no strict flags, no default-character pointer.
  // (UTF-7 takes not even the invalid-characters flag.)
  ASSERT_TRUE(Encode(text, 65000, EncodeMode{}, &out));
  EXPECT_EQ(out.substr(0, 7), "+Vv5yRw");  // U+56FE U+7247 in modified base64
  wchar_t back[32] = {};
  const int n = MultiByteToWideChar(65000, 0, out.data(), static_cast<int>(out.size()), back, 32);
  EXPECT_EQ(std::wstring(back, n > 0 ? static_cast<std::size_t>(n) : 0), text);
}

TEST(CharsetWin32, TheRoundTripRefusesWhatTheCodePageCannotHold) {
  // Latin-1 replaces 图 with '?' silently when asked without the default
  // check: the round trip must catch it.
  EncodeMode round_trip;
  round_trip.round_trip_check = true;
  std::string out;
  EXPECT_FALSE(Encode(L"a\u56fe", 28591, round_trip, &out));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(Encode(L"caf\u00e9", 28591, round_trip, &out));
  EXPECT_EQ(out, "caf\xE9");
  // An unpaired surrogate fails UTF-8 through the invalid-characters flag.
  out.clear();
  EXPECT_FALSE(Encode(std::wstring(L"a\xD800" L"b"), 65001, EncodeModeFor(65001), &out));
}

}  // namespace
}  // namespace brevane::charset_win32
