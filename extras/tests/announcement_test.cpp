#include "extras/announcement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "config/endpoints.h"
#include "base/text/charset.h"
#include "base/text/gbk_literals.h"
#include "extras/contact.h"
#include "testing/fake_controls.h"
#include "ui/names.h"

namespace brevane {
namespace {

class FakeFetcher : public HttpFetcher {
 public:
  std::map<Text, std::string> bodies;
  std::vector<Text> requested;
  std::string HttpGetBody(const Text& address) override {
    requested.push_back(address);
    auto it = bodies.find(address);
    return it == bodies.end() ? std::string() : it->second;
  }
};

const Text kPicture(gbk::kBannerPictureMarker);
const Text kClick(gbk::kBannerClickMarker);

TEST(TextBetween, ValueUpToTheFirstHyphenAfterTheMarker) {
  EXPECT_EQ(TextBetween(kPicture + "abc-", kPicture, "-"), "abc");
  EXPECT_EQ(TextBetween("x" + kPicture + "a-b-", kPicture, "-"), "a");
  EXPECT_EQ(TextBetween("pre-fix " + kPicture + "value-", kPicture, "-"), "value");
  EXPECT_EQ(TextBetween(kPicture + "one-" + kPicture + "two-", kPicture, "-"), "one");
  // Nothing is trimmed: markup, spaces and line breaks belong to the value.
  EXPECT_EQ(TextBetween(kPicture + " <b>v</b>\r\n-", kPicture, "-"), " <b>v</b>\r\n");
}

TEST(TextBetween, EmptyValues) {
  EXPECT_EQ(TextBetween(kPicture + "-abc-", kPicture, "-"), "");
  EXPECT_EQ(TextBetween(kPicture + "abc", kPicture, "-"), "");
  EXPECT_EQ(TextBetween(kPicture, kPicture, "-"), "");
  EXPECT_EQ(TextBetween("", kPicture, "-"), "");
  EXPECT_EQ(TextBetween("abc-def-", kPicture, "-"), "");
}

TEST(TextBetween, MarkerIsFoundOnCharacterBoundariesOnly) {
  // A four-byte GB18030 character before the marker keeps the two-byte
  // stepping aligned.
  const Text four = "\x94\x39\xFC\x36";  // U+1F600
  EXPECT_EQ(TextBetween(four + kPicture + "v-", kPicture, "-"), "v");
  // The marker's bytes straddling two characters are no marker.
  const Text straddle = Text("\xB0") + kPicture.substr(0, 7);
  EXPECT_EQ(TextBetween(straddle + "-", kPicture.substr(1, 6), "-"), "");
}

struct AnnouncementFixture : ::testing::Test {
  testing::FakeControls controls;
  FakeFetcher http;
  std::vector<Text> opened;
  Announcements announcements{controls, http, [this](const Text& a) { opened.push_back(a); },
                              "http://blog.example/page"};

  void Page(const std::string& utf8_body) { http.bodies["http://blog.example/page"] = utf8_body; }
};

TEST_F(AnnouncementFixture, FetchesPageAndPictureAndKeepsTheClickAddress) {
  Page("<p>\xE7\x82\xB9\xE5\x87\xBB\xE5\x9C\xB0\xE5\x9D\x80http://click.example/x-</p>"
       "<p>\xE5\x9B\xBE\xE7\x89\x87\xE7\xBD\x91\xE5\x9D\x80http://img.example/b.gif-</p>");
  http.bodies["http://img.example/b.gif"] = std::string("GIF89a\0\x01", 8);
  announcements.ShowAnnouncement();

  EXPECT_EQ(announcements.BannerPictureUrl(), "http://img.example/b.gif");
  EXPECT_EQ(announcements.BannerClickUrl(), "http://click.example/x");
  EXPECT_THAT(http.requested, ::testing::ElementsAre("http://blog.example/page",
                                                     "http://img.example/b.gif"));
  ASSERT_EQ(controls.writes().size(), 1u);
  EXPECT_EQ(controls.writes()[0].control, names::kBanner);
  EXPECT_EQ(controls.writes()[0].property, prop::kPicture);
  EXPECT_EQ(AsText(controls.writes()[0].value), std::string("GIF89a\0\x01", 8));

  announcements.OpenBannerLink();
  announcements.OpenBannerLink();
  EXPECT_THAT(opened, ::testing::ElementsAre("http://click.example/x", "http://click.example/x"));

  // The page is read once per run.
  announcements.ShowAnnouncement();
  EXPECT_EQ(http.requested.size(), 2u);
}

TEST_F(AnnouncementFixture, TextIsConvertedToGbk) {
  Page("\xE5\x85\xAC\xE5\x91\x8A \xE5\x9B\xBE\xE7\x89\x87\xE7\xBD\x91\xE5\x9D\x80" "a-");
  announcements.ShowAnnouncement();
  EXPECT_EQ(announcements.AnnouncementText(), Utf8ToGbk("公告 图片网址a-"));
  EXPECT_EQ(announcements.BannerPictureUrl(), "a");
}

TEST_F(AnnouncementFixture, InvalidUtf8GivesNothingButTheStepsStillRun) {
  Page("\xE5\x9B\xBE\xE7\x89\x87\xE7\xBD\x91\xE5\x9D\x80http://img.example/a-\xFF");
  announcements.ShowAnnouncement();
  EXPECT_EQ(announcements.AnnouncementText(), "");
  EXPECT_EQ(announcements.BannerPictureUrl(), "");
  EXPECT_EQ(announcements.BannerClickUrl(), "");
  // The picture step still runs: the banner is cleared.
  ASSERT_EQ(controls.writes().size(), 1u);
  EXPECT_EQ(AsText(controls.writes()[0].value), "");
  announcements.OpenBannerLink();
  EXPECT_THAT(opened, ::testing::ElementsAre(""));
}

TEST_F(AnnouncementFixture, ZeroByteEndsTheText) {
  Page(std::string("\xE7\x82\xB9\xE5\x87\xBB\xE5\x9C\xB0\xE5\x9D\x80"
                   "ab\0cd-",
                   18));
  announcements.ShowAnnouncement();
  EXPECT_EQ(announcements.AnnouncementText(), kClick + "ab");
  EXPECT_EQ(announcements.BannerClickUrl(), "");
}

TEST_F(AnnouncementFixture, NoPageLeavesEverythingEmpty) {
  announcements.ShowAnnouncement();
  EXPECT_EQ(announcements.AnnouncementText(), "");
  EXPECT_EQ(announcements.BannerClickUrl(), "");
  ASSERT_EQ(controls.writes().size(), 1u);
  EXPECT_EQ(AsText(controls.writes()[0].value), "");
}

TEST(ContactLink, EveryClickOpensTheConfiguredChatPage) {
  std::vector<Text> opened;
  const auto open = [&](const Text& a) { opened.push_back(a); };
  const Text chat_page(endpoints::kContactUrl);
  OpenContactLink(chat_page, open);
  OpenContactLink(chat_page, open);
  EXPECT_THAT(opened, ::testing::ElementsAre(chat_page, chat_page));
}

}  // namespace
}  // namespace brevane
