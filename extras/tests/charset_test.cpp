#include "extras/charset.h"

#include <gtest/gtest.h>

namespace brevane {
namespace {

TEST(ConvertCharset, ConvertsValidText) {
  EXPECT_EQ(ConvertCharset("\xE5\x9B\xBE\xE7\x89\x87 ok", "UTF-8", "GB18030"),
            "\xCD\xBC\xC6\xAC ok");
  // Outside GBK: a four-byte GB18030 sequence.
  EXPECT_EQ(ConvertCharset("\xF0\x9F\x98\x80", "UTF-8", "GB18030").size(), 4u);
  EXPECT_EQ(ConvertCharset("\xCD\xBC\xC6\xAC", "GB18030", "UTF-8"), "\xE5\x9B\xBE\xE7\x89\x87");
  const std::string big(100000, 'a');
  EXPECT_EQ(ConvertCharset(big, "UTF-8", "GB18030"), big);
}

TEST(ConvertCharset, AnyFaultGivesNoBytesAtAll) {
  EXPECT_EQ(ConvertCharset("", "UTF-8", "GB18030"), "");
  EXPECT_EQ(ConvertCharset("abc\xFF", "UTF-8", "GB18030"), "");      // invalid byte
  EXPECT_EQ(ConvertCharset("abc\xE5\x9B", "UTF-8", "GB18030"), "");  // ends inside a character
  EXPECT_EQ(ConvertCharset("\xC0\x80", "UTF-8", "GB18030"), "");     // overlong form
  EXPECT_EQ(ConvertCharset("a\xE5\x9B\xBE", "UTF-8", "ISO-8859-1"), "");  // not representable
  EXPECT_EQ(ConvertCharset("abc", "UTF-8", "NO-SUCH-CHARSET"), "");
  EXPECT_EQ(ConvertCharset("abc", "NO-SUCH-CHARSET", "UTF-8"), "");
}

}  // namespace
}  // namespace brevane
