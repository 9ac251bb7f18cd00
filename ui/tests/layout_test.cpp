#include "ui/layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/text/charset.h"
#include "base/text/text.h"
#include "ui/bindings.h"
#include "ui/names.h"

namespace brevane::layout {
namespace {

TEST(LayoutTest, DefaultBoardsAreFiveAddressesOnTheBoardHostJoinedByCrLf) {
  // A host with a trailing slash does not double it before the path.
  const std::string host = "http://forum.example";
  const Text boards = DefaultContent(names::kBoardsBox, host + "/");
  EXPECT_EQ(boards, DefaultBoards(host));
  const TextList lines = SplitText(boards, "\r\n");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_NE(boards.substr(boards.size() - 2), "\r\n");
  const char* paths[] = {"/catalog/424021.htm?spm=0.0.0.0.g6QCdH", "/catalog/424022.htm?spm=0.0.0.0.g6QCdH",
                         "/catalog/424015.htm?spm=0.0.0.0.xhdxun", "/catalog/10150010.htm?spm=0.0.0.0.2AvsLq",
                         "/catalog/424005.htm?spm=0.0.0.0.oi4Lf3"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(lines[i].rfind(host, 0), 0u) << lines[i];
    EXPECT_EQ(lines[i].substr(lines[i].size() - std::string(paths[i]).size()), paths[i]);
    EXPECT_EQ(lines[i].find("//catalog"), std::string::npos);
  }
}

TEST(LayoutTest, DefaultRepliesAndCaptionsComeOutAsGbk) {
  EXPECT_EQ(DefaultContent(names::kRepliesBox, ""), Utf8ToGbk("内容1\r\n内容2\r\n内容3\r\n内容4\r\n内容5"));
  // 内 is C4 DA in GBK: the text is converted, not passed through as UTF-8.
  EXPECT_EQ(static_cast<unsigned char>(DefaultContent(names::kRepliesBox, "")[0]), 0xC4);
  EXPECT_EQ(GbkToUtf8(DefaultContent(names::kStartButton, "")), "开始监控");
  EXPECT_EQ(DefaultContent("no such control", ""), "");
}

TEST(LayoutTest, EveryControlIsNamedOnceAndEveryBoundControlExists) {
  std::set<std::string_view> seen;
  for (const ControlDef& c : Controls()) EXPECT_TRUE(seen.insert(c.name).second) << c.name;
  EXPECT_EQ(seen.size(), 13u);
  for (const Binding& b : kBindings) {
    if (b.control == names::kMainWindow) continue;
    EXPECT_NE(FindControl(b.control), nullptr) << b.control;
  }
}

TEST(LayoutTest, PageControlsLieInsideTheTabControlAndOnlyTheRunButtonsStartDisabled) {
  const ControlDef* tabs = FindControl(names::kTabs);
  ASSERT_NE(tabs, nullptr);
  for (const ControlDef& c : Controls()) {
    if (c.page == 0) continue;
    EXPECT_TRUE(c.page == 1 || c.page == 2);
    EXPECT_GE(c.top, 0);
    EXPECT_LE(c.top + c.height, tabs->height) << c.name;
  }
  for (const ControlDef& c : Controls()) {
    const bool run_button = c.name == names::kStartButton || c.name == names::kStopButton;
    EXPECT_EQ(c.enabled, !run_button) << c.name;
  }
  EXPECT_EQ(PageCaptions()[0], "监控操作");
  EXPECT_EQ(PageCaptions()[1], "回帖设置");
}

}  // namespace
}  // namespace brevane::layout
