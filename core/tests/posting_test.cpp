// Thread detection on board markup, reply posting with its record and the
// reply texts taken in turn.
#include "core/tests/core_fixture.h"

namespace brevane::testing {
namespace {

using Op = ScriptedBrowser::Op;

class DetectionTest : public CoreTest {
 protected:
  DetectionTest() {
    // Detection alone: note what the raised event sees.
    controls.On(names::kBoardsLabel, Event::kFeedback,
                [this] { candidates.push_back(core.state().CandidateUrl); });
  }
  std::vector<Text> candidates;
};

TEST_F(DetectionTest, CutsTheAddressTwoLinksBeforeTheMarker) {
  const Text worked =
      "<A href='http://T1' target=_blank>a</A><A href='http://U1' target=_blank>b</A><EM>0</EM>";
  ASSERT_EQ(worked.size(), 88u);
  core.DetectZeroReplyThread(worked);
  // Unquoted: one byte fewer between address and "target", so the cut
  // loses the address's last character.
  core.DetectZeroReplyThread("<A href=http://T1 target=_blank>a</A><A href=http://U1 target=_blank>b</A><EM>0</EM>");
  // GBK text around the links does not shift the byte arithmetic.
  core.DetectZeroReplyThread(G("<TD>标题</TD><A href='http://T2/帖' target=_blank>甲</A>"
                               "<A href='http://U2' target=_blank>乙</A><EM>0</EM>"));
  EXPECT_EQ(candidates, (std::vector<Text>{"http://T1", "http://T", G("http://T2/帖")}));
}

// Addresses of either scheme: each backward search takes whichever of
// "http://" and "https://" starts later, so an https board cuts what the
// same board over http cuts.
TEST_F(DetectionTest, AddressesOfEitherSchemeAreCutAlike) {
  const struct {
    std::string html;
    Text expected;
  } rows[] = {
      // The worked example over https.
      {"<A href='https://T1' target=_blank>a</A><A href='https://U1' target=_blank>b</A><EM>0</EM>", "https://T1"},
      // A plain-http advert above https threads: the advert is passed over.
      {"<TR><TD><A href=\"http://ads/go/1.htm\" target=_blank>" + G("广告一") + "</A></TD></TR>" +
           "<TR><TD><A href='https://bbs/thread/202.htm' target=_blank>t</A></TD>"
           "<TD><A href='https://u/1' target=_blank>u</A></TD><TD><EM>0</EM></TD></TR>",
       "https://bbs/thread/202.htm"},
      // An https thread with a plain-http author link, and the other way round.
      {"<A href='https://T/1' target=_blank>a</A><A href='http://U1' target=_blank>b</A><EM>0</EM>", "https://T/1"},
      {"<A href='http://T/1' target=_blank>a</A><A href='https://U1' target=_blank>b</A><EM>0</EM>", "http://T/1"},
      // An https advert above http threads changes nothing.
      {"<A href='https://ads/1' target=_blank>ad</A>" + ZeroReplyRow("http://t/9"), "http://t/9"},
      // Unquoted, and with only one link: as over http.
      {"<A href=https://T1 target=_blank>a</A><A href=https://U1 target=_blank>b</A><EM>0</EM>", "https://T"},
      {"<A href='https://U1' target=_blank>b</A><EM>0</EM>", ""},
      // A thread address with two query parameters: "&" written as "&amp;"
      // in the markup (as every writer of the IE7 form writes it) or raw
      // gives the address the page links to.
      {"<A href=\"http://t/v?a=1&amp;b=2\" target=_blank>a</A><A href='http://U1' target=_blank>b</A><EM>0</EM>",
       "http://t/v?a=1&b=2"},
      {"<A href=\"http://t/v?a=1&b=2\" target=_blank>a</A><A href='http://U1' target=_blank>b</A><EM>0</EM>",
       "http://t/v?a=1&b=2"},
  };
  std::vector<Text> expected;
  for (const auto& row : rows) {
    core.DetectZeroReplyThread(row.html);
    expected.push_back(row.expected);
  }
  EXPECT_EQ(candidates, expected);
}

TEST_F(DetectionTest, OnlyTheFirstMarkerCounts) {
  core.DetectZeroReplyThread(ZeroReplyRow("http://first") + ZeroReplyRow("http://second"));
  EXPECT_EQ(candidates, (std::vector<Text>{"http://first"}));
}

TEST_F(DetectionTest, TooFewLinksGiveAnEmptyCandidateAndStillRaiseTheEvent) {
  core.state().CandidateUrl = "http://old";
  core.DetectZeroReplyThread("<A href='http://U1' target=_blank>b</A><EM>0</EM>");
  core.DetectZeroReplyThread("<EM>0</EM><A href='http://U1' target=_blank>b</A>");
  EXPECT_EQ(candidates, (std::vector<Text>{"", ""}));
}

TEST_F(DetectionTest, WithoutTheExactMarkerNothingHappens) {
  core.state().CandidateUrl = "http://old";
  core.DetectZeroReplyThread(
      "<A href='http://T1' target=_blank>a</A><A href='http://U1' target=_blank>b</A><em>0</em>");
  core.DetectZeroReplyThread("");
  core.DetectZeroReplyThread(AnsweredRow("http://t/1"));
  EXPECT_TRUE(candidates.empty());
  EXPECT_EQ(core.state().CandidateUrl, "http://old");
  EXPECT_TRUE(controls.writes().empty());
}

TEST_F(CoreTest, AnEmptyCandidateIsRecordedOnceButNothingIsOpenedOrSent) {
  core.state().ReplyList = {"r1"};
  core.DetectZeroReplyThread("<A href='http://U1' target=_blank>b</A><EM>0</EM>");
  core.DetectZeroReplyThread("<EM>0</EM>");
  EXPECT_EQ(controls.Items(names::kRecordList), (std::vector<Text>{""}));
  EXPECT_TRUE(browser.calls().empty());
  EXPECT_EQ(controls.CaptionsUtf8(),
            (std::vector<std::string>{"回贴[0]...r1", "此贴已浏览,避免重新回复..."}));
}

TEST_F(CoreTest, PostingOpensTheThreadFillsTheEditorAndSubmits) {
  browser.ServeThread("http://t/1", 700);
  core.state().ReplyList = {G("内容1"), "<b>x</b>"};
  core.state().CurrentBoard = 2;
  core.state().ReplyCursor = 1;
  core.state().CandidateUrl = "http://t/1";
  core.PostReply();

  EXPECT_EQ(controls.CaptionsUtf8(), (std::vector<std::string>{"回贴[2]...<b>x</b>"}));
  EXPECT_EQ(controls.Items(names::kRecordList), (std::vector<Text>{"http://t/1"}));
  const auto& calls = browser.calls();
  ASSERT_EQ(calls.size(), 8u);
  EXPECT_EQ(calls[0].op, Op::kNavigate);
  EXPECT_EQ(calls[1].op, Op::kWait);
  EXPECT_EQ(calls[2].op, Op::kPause);
  EXPECT_EQ(calls[2].number, 100);
  EXPECT_EQ(calls[3].op, Op::kFill);
  EXPECT_EQ(calls[3].key, "1");
  EXPECT_EQ(calls[3].text, "<b>x</b>");  // taken as markup, unescaped
  EXPECT_EQ(calls[4].number, 100);
  EXPECT_EQ(calls[5].op, Op::kClick);
  EXPECT_EQ(calls[5].key, "7");
  EXPECT_EQ(calls[6].op, Op::kWait);
  EXPECT_EQ(calls[7].number, 1000);
  EXPECT_EQ(clock.now(), 700 + 100 + 100 + 700 + 1000);
}

// The submit is pressed only after the editor took the text: a thread page
// without an editor keeps its thread in the record but gets no click, while
// an empty reply text still empties a present editor and is sent.
TEST_F(CoreTest, WithoutAnEditorTheSubmitIsNotPressed) {
  browser.ServeThread("http://t/1").editors = 0;
  browser.ServeThread("http://t/2");
  core.state().ReplyList = {"r1", ""};
  for (const char* address : {"http://t/1", "http://t/2"}) {
    core.state().CandidateUrl = address;
    core.PostReply();
  }
  EXPECT_EQ(controls.Items(names::kRecordList), (std::vector<Text>{"http://t/1", "http://t/2"}));
  EXPECT_EQ(controls.CaptionsUtf8(), (std::vector<std::string>{"回贴[0]...r1", "回贴[0]..."}));
  EXPECT_EQ(FilledTexts(), (std::vector<Text>{"r1", ""}));
  const auto clicks = browser.CallsOf(Op::kClick);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0].address, "http://t/2");
}

TEST_F(CoreTest, ReplyTextsAreTakenInTurnAcrossBoardsAndRuns) {
  auto serve_boards = [&](int first, int count) {
    std::string boards;
    for (int i = first; i < first + count; ++i) {
      const std::string board = "http://b/" + std::to_string(i);
      const std::string thread = "http://t/" + std::to_string(i);
      browser.ServeBoard(board, ZeroReplyRow(thread));
      browser.ServeThread(thread);
      boards += board + "\r\n";
    }
    return boards;
  };
  // One pass over n boards that each post takes n * 2.2 s; Stop lands in
  // the first countdown second.
  auto run = [&](const std::string& boards, const std::string& replies, int count) {
    SetBoxes(boards, replies);
    AllowStart();
    clock.After(count * 2200 + 500, [&] { controls.Click(names::kStopButton); });
    controls.Click(names::kStartButton);
  };
  run(serve_boards(1, 5), "r1\r\nr2\r\nr3", 5);
  EXPECT_EQ(core.state().ReplyCursor, 2);
  run(serve_boards(6, 4), "r1\r\nr2\r\nr3", 4);
  EXPECT_EQ(core.state().ReplyCursor, 3);
  // A shorter list while the cursor stands beyond it starts over.
  run(serve_boards(10, 1), "甲\r\n乙", 1);

  EXPECT_EQ(FilledTexts(), (std::vector<Text>{"r1", "r2", "r3", "r1", "r2", "r3", "r1", "r2", "r3",
                                              G("甲")}));
  std::vector<std::string> posted;
  for (const std::string& caption : controls.CaptionsUtf8()) {
    if (caption.rfind("回贴", 0) == 0) posted.push_back(caption);
  }
  ASSERT_EQ(posted.size(), 10u);
  EXPECT_EQ(posted.front(), "回贴[1]...r1");
  EXPECT_EQ(posted[4], "回贴[5]...r2");
  EXPECT_EQ(posted.back(), "回贴[1]...甲");
  EXPECT_EQ(controls.Items(names::kRecordList).size(), 10u);
}

TEST_F(CoreTest, AVisitedThreadIsNotAnsweredAgainAndBlocksItsBoard) {
  SetBoxes("http://b/1", "r1\r\nr2");
  browser.ServeBoard("http://b/1", ZeroReplyRow("http://t/1") + ZeroReplyRow("http://t/other"));
  browser.ServeThread("http://t/1");
  browser.ServeThread("http://t/other");
  AllowStart();
  // Two and a half passes.
  clock.At(2200 + 10000 + 11000 + 500, [&] { controls.Click(names::kStopButton); });
  controls.Click(names::kStartButton);
  EXPECT_EQ(controls.CaptionsUtf8()[1], "回贴[1]...r1");
  int visited = 0;
  for (const std::string& caption : controls.CaptionsUtf8()) {
    if (caption == "此贴已浏览,避免重新回复...") ++visited;
  }
  EXPECT_EQ(visited, 2);
  EXPECT_EQ(controls.Items(names::kRecordList), (std::vector<Text>{"http://t/1"}));
  EXPECT_EQ(core.state().ReplyCursor, 1);
  EXPECT_EQ(browser.Navigations(),
            (std::vector<Text>{"http://b/1", "http://t/1", "http://b/1", "http://b/1"}));
}

TEST_F(CoreTest, TheRecordComparisonIsExact) {
  core.state().ReplyList = {"r"};
  for (const char* address : {"http://t/1", "HTTP://t/1", "http://t/1/", "http://t/1"}) {
    core.state().CandidateUrl = address;
    core.PostReply();
  }
  EXPECT_EQ(controls.Items(names::kRecordList),
            (std::vector<Text>{"http://t/1", "HTTP://t/1", "http://t/1/"}));
}

TEST_F(CoreTest, WithoutReplyTextsAThreadIsLeftForLater) {
  SetBoxes("http://b/1", " 　 ");
  browser.ServeBoard("http://b/1", ZeroReplyRow("http://t/1"));
  browser.ServeThread("http://t/1");
  AllowStart();
  clock.At(1000 + 10000 + 500, [&] { controls.Click(names::kStopButton); });
  controls.Click(names::kStartButton);
  // Found on both passes, never posted, recorded or opened.
  EXPECT_EQ(controls.feedback_events(), 2);
  EXPECT_EQ(browser.Navigations(), (std::vector<Text>{"http://b/1", "http://b/1"}));
  EXPECT_TRUE(controls.Items(names::kRecordList).empty());
  EXPECT_EQ(core.state().ReplyCursor, 1);
  for (const std::string& caption : controls.CaptionsUtf8()) {
    EXPECT_EQ(caption.find("回贴"), std::string::npos);
    EXPECT_EQ(caption.find("此贴已浏览"), std::string::npos);
  }
  // Once replies exist, the same thread is answered. The cursor stood at 1
  // after the postings that had no text, so the turn goes on with text 2.
  controls.Preset(names::kRepliesBox, prop::kContent, Text("r1\r\nr2"));
  clock.After(2200 + 500, [&] { controls.Click(names::kStopButton); });
  controls.Click(names::kStartButton);
  EXPECT_EQ(FilledTexts(), (std::vector<Text>{"r2"}));
  EXPECT_EQ(controls.Items(names::kRecordList), (std::vector<Text>{"http://t/1"}));
}

TEST_F(CoreTest, SelectingARecordOpensItsAddress) {
  controls.ListAddItem(names::kRecordList, "http://t/1");
  controls.ListAddItem(names::kRecordList, "http://t/2");
  controls.Select(names::kRecordList, 1);
  controls.Select(names::kRecordList, 0);
  controls.Select(names::kRecordList, 2);   // outside the list
  controls.Select(names::kRecordList, -1);  // no selection
  EXPECT_EQ(opened, (std::vector<Text>{"http://t/2", "http://t/1", "", ""}));
  EXPECT_TRUE(browser.calls().empty());
}

}  // namespace
}  // namespace brevane::testing
