#include "extras/skin/skin_format.h"

#include <gtest/gtest.h>

#include <string>

namespace brevane::skin {
namespace {

std::string Skin() {
  return std::string(".SHE\x01", 5) + "\x10\x20\x30" "\x40\x50\x60" "\x70\x80\x90" "\xA0\xB0\xC0";
}

const unsigned char* Bytes(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }

TEST(SkinFormat, ReadsTheFourColoursInOrder) {
  const std::string skin = Skin() + "later additions";
  SkinColours c;
  ASSERT_TRUE(ParseSkin(Bytes(skin), static_cast<int>(skin.size()), &c));
  EXPECT_EQ(c.face.red, 0x10);
  EXPECT_EQ(c.face.blue, 0x30);
  EXPECT_EQ(c.text.green, 0x50);
  EXPECT_EQ(c.button_face.red, 0x70);
  EXPECT_EQ(c.edit_background.blue, 0xC0);
}

TEST(SkinFormat, RejectsEverythingElse) {
  SkinColours c;
  const std::string skin = Skin();
  EXPECT_FALSE(ParseSkin(nullptr, 17, &c));
  EXPECT_FALSE(ParseSkin(Bytes(skin), static_cast<int>(skin.size()) - 1, &c));  // cut short
  EXPECT_FALSE(ParseSkin(Bytes(skin), -1, &c));
  std::string other = skin;
  other[1] = 's';  // signature is case-sensitive
  EXPECT_FALSE(ParseSkin(Bytes(other), static_cast<int>(other.size()), &c));
  other = skin;
  other[4] = 2;  // unknown version
  EXPECT_FALSE(ParseSkin(Bytes(other), static_cast<int>(other.size()), &c));
  const std::string pe = std::string("MZ\x90\0", 4) + std::string(20, '\0');
  EXPECT_FALSE(ParseSkin(Bytes(pe), static_cast<int>(pe.size()), &c));
}

TEST(SkinFormat, ZeroAdjustmentKeepsTheColour) {
  const Rgb c{12, 200, 99};
  const Rgb out = AdjustHsv(c, 0, 0, 0);
  EXPECT_EQ(out.red, 12);
  EXPECT_EQ(out.green, 200);
  EXPECT_EQ(out.blue, 99);
}

TEST(SkinFormat, HueTurnsValueAndSaturationMove) {
  // Pure red turned by a third of the circle becomes pure green, by two
  // thirds pure blue; a full turn changes nothing.
  Rgb g = AdjustHsv(Rgb{255, 0, 0}, 120, 0, 0);
  EXPECT_EQ(g.red, 0);
  EXPECT_EQ(g.green, 255);
  EXPECT_EQ(g.blue, 0);
  Rgb b = AdjustHsv(Rgb{255, 0, 0}, -120, 0, 0);
  EXPECT_EQ(b.blue, 255);
  EXPECT_EQ(b.red, 0);
  Rgb same = AdjustHsv(Rgb{255, 0, 0}, 360, 0, 0);
  EXPECT_EQ(same.red, 255);
  EXPECT_EQ(same.green, 0);

  // Value all the way down is black; saturation all the way down is grey
  // at the colour's value; values beyond the range are clamped.
  Rgb black = AdjustHsv(Rgb{90, 180, 30}, 0, 0, -100);
  EXPECT_EQ(black.red + black.green + black.blue, 0);
  Rgb grey = AdjustHsv(Rgb{90, 180, 30}, 0, -500, 0);
  EXPECT_EQ(grey.red, 180);
  EXPECT_EQ(grey.green, 180);
  EXPECT_EQ(grey.blue, 180);
}

}  // namespace
}  // namespace brevane::skin
