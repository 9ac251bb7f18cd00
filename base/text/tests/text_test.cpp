#include "base/text/text.h"

#include <gtest/gtest.h>

#include "base/text/charset.h"
#include "base/text/gbk_literals.h"

namespace brevane {
namespace {

TEST(FindText, ForwardSearchHonoursStart) {
  EXPECT_EQ(FindText("abcabc", "bc"), 2);
  EXPECT_EQ(FindText("abcabc", "bc", 3), 5);
  EXPECT_EQ(FindText("abc", "c", 4), -1);
  EXPECT_EQ(FindText("abc", "c", 3), 3);
  EXPECT_EQ(FindText("abc", "c", -5), 3);
  EXPECT_EQ(FindText("abc", "x"), -1);
  EXPECT_EQ(FindText("ab", "abc"), -1);
  EXPECT_EQ(FindText("", "a"), -1);
}

TEST(FindText, EmptyNeedleMatchesAnyNonEmptyRest) {
  EXPECT_EQ(FindText("abc", ""), 1);
  EXPECT_EQ(FindText("abc", "", 3), 1);
  EXPECT_EQ(FindText("abc", "", 4), -1);
  EXPECT_EQ(FindText("", ""), -1);
}

TEST(FindText, NeverMatchesOnATrailByte) {
  EXPECT_EQ(FindText("\x81\x41", "A"), -1);
  EXPECT_EQ(FindText("\x81\x41" "A", "A"), 3);
  // Stepping counts from the scan start: starting on the trail byte makes it
  // a character of its own.
  EXPECT_EQ(FindText("\x81\x41", "A", 2), 2);
  // A run of lead bytes: only even offsets from a character start count.
  EXPECT_EQ(FindText("\xB0\xA1\xB0\xA1", "\xA1\xB0"), -1);
  EXPECT_EQ(FindText("a\xB0\xA1\xB0\xA1", "\xB0\xA1", 3), -1);
  EXPECT_EQ(FindText("a\xB0\xA1\xB0\xA1", "\xB0\xA1", 2), 2);
  EXPECT_EQ(FindText("a\xB0\xA1\xB0\xA1", "\xB0\xA1", 4), 4);
  // Many false candidates before a real one, inside one long run.
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "\xC4\xDA";
  text += "\xDA\xC4";
  EXPECT_EQ(FindText(text, "\xDA\xC4"), 2001);
  EXPECT_EQ(FindText(text, "\xDA"), 2001);
}

TEST(FindTextBackward, OccurrenceMustEndBeforeStart) {
  EXPECT_EQ(FindTextBackward("abcabc", "bc"), 5);
  EXPECT_EQ(FindTextBackward("abcabc", "bc", 6), 2);
  EXPECT_EQ(FindTextBackward("abcabc", "bc", 7), 5);
  EXPECT_EQ(FindTextBackward("abcabc", "bc", 100), 5);
  EXPECT_EQ(FindTextBackward("abcabc", "bc", 1), -1);
  EXPECT_EQ(FindTextBackward("abcabc", "bc", -1), -1);
  EXPECT_EQ(FindTextBackward("abcabc", "", 2), 1);
  EXPECT_EQ(FindTextBackward("abcabc", "", 1), -1);
  EXPECT_EQ(FindTextBackward("\x81\x41\x41", "A"), 3);
  EXPECT_EQ(FindTextBackward("\x81\x41\x41", "A", 3), -1);
}

TEST(MidText, BoundsAndByteCuts) {
  EXPECT_EQ(MidText("abcdef", 3, 2), "cd");
  EXPECT_EQ(MidText("abcdef", 5, 10), "ef");
  EXPECT_EQ(MidText("abc", 0, 2), "");
  EXPECT_EQ(MidText("abc", -1, 2), "");
  EXPECT_EQ(MidText("abc", 4, 1), "");
  EXPECT_EQ(MidText("abc", 1, 0), "");
  EXPECT_EQ(MidText("abc", 1, -2), "");
  EXPECT_EQ(MidText("\xC4\xDA" "a", 2, 2), "\xDA" "a");
}

TEST(SplitText, EmptyPiecesAndTrailingSeparator) {
  EXPECT_EQ(SplitText("a\r\n\r\nb\r\n", "\r\n"), (TextList{"a", "", "b"}));
  EXPECT_EQ(SplitText("\r\n", "\r\n"), (TextList{""}));
  EXPECT_EQ(SplitText("\r\na", "\r\n"), (TextList{"", "a"}));
  EXPECT_EQ(SplitText("", "\r\n"), TextList{});
  EXPECT_EQ(SplitText("abc", "\r\n"), (TextList{"abc"}));
  // A separator byte pair hidden in a two-byte character does not split.
  EXPECT_EQ(SplitText("\x81\r\nx", "\r\n"), (TextList{"\x81\r\nx"}));
}

TEST(TrimSpaces, SpacesFullWidthSpacesAndLoneLeadByte) {
  EXPECT_EQ(TrimSpaces(" \xA1\xA1" "a b\t \xA1\xA1"), "a b\t");
  EXPECT_EQ(TrimSpaces("\ta "), "\ta");
  EXPECT_EQ(TrimSpaces("a\x81"), "a");
  EXPECT_EQ(TrimSpaces("a \x81"), "a");
  EXPECT_EQ(TrimSpaces("\xA1\xA1 \xA1\xA1"), "");
  EXPECT_EQ(TrimSpaces("\r\n"), "\r\n");
  // A1 A1 across a character boundary is not a full-width space.
  EXPECT_EQ(TrimSpaces("\xB0\xA1\xA1"), "\xB0\xA1");
  EXPECT_EQ(TrimSpaces(""), "");
}

TEST(TextConversions, BytesIntsAndEquality) {
  EXPECT_TRUE(TextEquals(Text(), ""));
  EXPECT_FALSE(TextEquals("a", "A"));
  EXPECT_EQ(BytesToText(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(TextToBytes("ab"), "ab");
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(-12), "-12");
  EXPECT_EQ(IntToText(2147483647), "2147483647");
  EXPECT_EQ(IntToText(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(TextLength("\xC4\xDA" "a"), 3);
}

TEST(Charset, LiteralsAreTheGbkOfTheirChineseText) {
  EXPECT_EQ(Utf8ToGbk("已停止监控"), gbk::kStatusStopped);
  EXPECT_EQ(Utf8ToGbk("登录失败,请先登录旺旺,再重试！"), gbk::kStatusLoginFailed);
  EXPECT_EQ(GbkToUtf8(gbk::kBannerPictureMarker), "图片网址");
  // Outside GBK: a four-byte GB18030 sequence that converts back unchanged.
  EXPECT_EQ(GbkToUtf8(Utf8ToGbk("😀")), "😀");
  EXPECT_EQ(Utf8ToGbk("a\xFF" "b"), "ab");
}

TEST(Charset, StrictConvertsValidText) {
  EXPECT_EQ(Utf8ToGbk("\xE5\x9B\xBE\xE7\x89\x87 ok", Conversion::kStrict), "\xCD\xBC\xC6\xAC ok");
  // Outside GBK: a four-byte GB18030 sequence.
  EXPECT_EQ(Utf8ToGbk("\xF0\x9F\x98\x80", Conversion::kStrict).size(), 4u);
  EXPECT_EQ(GbkToUtf8("\xCD\xBC\xC6\xAC", Conversion::kStrict), "\xE5\x9B\xBE\xE7\x89\x87");
  const std::string big(100000, 'a');
  EXPECT_EQ(Utf8ToGbk(big, Conversion::kStrict), big);
}

TEST(Charset, StrictGivesNoBytesAtAllForAnyFault) {
  EXPECT_EQ(Utf8ToGbk("", Conversion::kStrict), "");
  EXPECT_EQ(Utf8ToGbk("abc\xFF", Conversion::kStrict), "");      // invalid byte
  EXPECT_EQ(Utf8ToGbk("abc\xE5\x9B", Conversion::kStrict), "");  // ends inside a character
  EXPECT_EQ(Utf8ToGbk("\xC0\x80", Conversion::kStrict), "");     // overlong form
  EXPECT_EQ(GbkToUtf8("ab\xCD", Conversion::kStrict), "");        // ends inside a character
}

}  // namespace
}  // namespace brevane

namespace brevane {
namespace {

// Reference scans written straight from the stepping rule, one position at a
// time, to check the fast candidate search on random two-byte-heavy texts.
int32_t SlowFind(const std::string& t, const std::string& n, int32_t s) {
  const int32_t len = static_cast<int32_t>(t.size());
  const int32_t nl = static_cast<int32_t>(n.size());
  if (s < 1) s = 1;
  if (s > len) return -1;
  for (int32_t p = s; p + nl - 1 <= len;) {
    if (t.compare(static_cast<std::size_t>(p - 1), n.size(), n) == 0) return p;
    p += (static_cast<unsigned char>(t[static_cast<std::size_t>(p - 1)]) >= 0x80) ? 2 : 1;
  }
  return -1;
}

int32_t SlowFindBackward(const std::string& t, const std::string& n, int32_t s) {
  const int32_t len = static_cast<int32_t>(t.size());
  int32_t w = s <= 1 ? 0 : (s - 1 >= len ? len : s - 1);
  int32_t last = -1;
  for (int32_t p = 1; p + static_cast<int32_t>(n.size()) - 1 <= w;) {
    if (t.compare(static_cast<std::size_t>(p - 1), n.size(), n) == 0) last = p;
    p += (static_cast<unsigned char>(t[static_cast<std::size_t>(p - 1)]) >= 0x80) ? 2 : 1;
  }
  return last;
}

TEST(TextSearch, AgreesWithCharacterByCharacterScanOnRandomTexts) {
  const char alphabet[] = {'a', 'b', '\x81', '\xA1', '\xB0', '\r', '\n'};
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int round = 0; round < 4000; ++round) {
    std::string text, needle;
    const int text_len = static_cast<int>(next() % 24);
    const int needle_len = 1 + static_cast<int>(next() % 3);
    for (int i = 0; i < text_len; ++i) text += alphabet[next() % sizeof alphabet];
    for (int i = 0; i < needle_len; ++i) needle += alphabet[next() % sizeof alphabet];
    const int32_t start = static_cast<int32_t>(next() % 28) - 2;
    ASSERT_EQ(FindText(text, needle, start), SlowFind(text, needle, start))
        << "round " << round << " start " << start;
    ASSERT_EQ(FindTextBackward(text, needle, start), SlowFindBackward(text, needle, start))
        << "round " << round << " start " << start;
  }
}

}  // namespace
}  // namespace brevane
