// Run control and the monitoring cycle: titles, pauses, the stop points,
// enabled states and a second run started inside a first.
#include "core/tests/core_fixture.h"

namespace brevane::testing {
namespace {

using Op = ScriptedBrowser::Op;

std::vector<std::string> Countdown() {
  std::vector<std::string> titles;
  for (int s = 10; s >= 1; --s) titles.push_back(std::to_string(s) + "秒后继续监控...");
  return titles;
}

std::vector<std::string> Join(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

class CycleTest : public CoreTest {
 protected:
  void ExpectStoppedStates() {
    EXPECT_FALSE(controls.Disabled(names::kStartButton));
    EXPECT_TRUE(controls.Disabled(names::kStopButton));
    EXPECT_FALSE(controls.Disabled(names::kBoardsBox));
    EXPECT_FALSE(controls.Disabled(names::kRepliesBox));
    EXPECT_FALSE(controls.Disabled(names::kLoginButton));
  }
};

TEST_F(CycleTest, TwoBoardsThenCountdownThenAgainUntilStopped) {
  SetBoxes("  http://b/1\r\nhttp://b/2\r\n  ", "r1");
  browser.ServeBoard("http://b/1", AnsweredRow("http://t/1"));
  browser.ServeBoard("http://b/2", AnsweredRow("http://t/2"));
  AllowStart();
  // Pass 1 ends at 12 s; Stop lands in the pause after board 1 of pass 2.
  clock.At(12500, [&] { EXPECT_TRUE(controls.Click(names::kStopButton)); });
  ASSERT_TRUE(controls.Click(names::kStartButton));

  EXPECT_EQ(controls.CaptionsUtf8(),
            Join({{"监控[1]...", "监控[2]..."}, Countdown(), {"监控[1]...", "已停止监控"}}));
  EXPECT_EQ(clock.now(), 13000);
  std::vector<int64_t> pauses;
  for (const auto& pause : browser.CallsOf(Op::kPause)) pauses.push_back(pause.number);
  EXPECT_EQ(pauses, std::vector<int64_t>(13, 1000));
  EXPECT_EQ(browser.Navigations(), (std::vector<Text>{"http://b/1", "http://b/2", "http://b/1"}));
  for (const auto& wait : browser.CallsOf(Op::kWait)) EXPECT_EQ(wait.number, 20000);
  for (WindowHandle handle : browser.waited_handles()) EXPECT_EQ(handle, 1);
  for (const auto& read : browser.CallsOf(Op::kReadTable)) EXPECT_EQ(read.number, 2);
  EXPECT_EQ(core.state().BoardList, (TextList{"http://b/1", "http://b/2"}));
  EXPECT_EQ(core.state().CurrentBoard, 1);
  ExpectStoppedStates();
}

TEST_F(CycleTest, RunningStatesAndStopRequestedStates) {
  SetBoxes("http://b/1", "r1");
  browser.ServeBoard("http://b/1", AnsweredRow("http://t/1"));
  AllowStart();
  clock.At(500, [&] {
    EXPECT_TRUE(controls.Disabled(names::kStartButton));
    EXPECT_FALSE(controls.Disabled(names::kStopButton));
    EXPECT_TRUE(controls.Disabled(names::kBoardsBox));
    EXPECT_TRUE(controls.Disabled(names::kRepliesBox));
    EXPECT_FALSE(controls.Disabled(names::kLoginButton));
    EXPECT_FALSE(controls.Click(names::kStartButton));  // disabled: runs nothing
    controls.Click(names::kStopButton);
    EXPECT_TRUE(controls.Disabled(names::kStopButton));
    EXPECT_TRUE(controls.Disabled(names::kStartButton));
    EXPECT_TRUE(controls.Disabled(names::kBoardsBox));
    EXPECT_EQ(controls.CaptionsUtf8().back(), "监控[1]...");  // Stop itself shows nothing
  });
  controls.Click(names::kStartButton);
  EXPECT_EQ(controls.CaptionsUtf8(), (std::vector<std::string>{"监控[1]...", "已停止监控"}));
  ExpectStoppedStates();
}

TEST_F(CycleTest, EmptyBoardsBoxOnlyCountsDown) {
  SetBoxes("   ", "r1");
  AllowStart();
  clock.At(25500, [&] { controls.Click(names::kStopButton); });
  controls.Click(names::kStartButton);
  EXPECT_TRUE(browser.Navigations().empty());
  EXPECT_EQ(controls.CaptionsUtf8(),
            Join({Countdown(), Countdown(),
                  {"10秒后继续监控...", "9秒后继续监控...", "8秒后继续监控...", "7秒后继续监控...",
                   "6秒后继续监控...", "5秒后继续监控...", "已停止监控"}}));
}

TEST_F(CycleTest, StopTestAtThePassStartEndsBeforeAnyBoard) {
  SetBoxes("http://b/1", "r1");
  core.state().BoardList = {"http://b/1"};
  core.state().StopFlag = 1;
  core.MonitoringCycle();
  EXPECT_EQ(controls.CaptionsUtf8(), (std::vector<std::string>{"已停止监控"}));
  EXPECT_TRUE(browser.calls().empty());
  // Only the value 1 counts as a stop request.
  core.state().StopFlag = 2;
  EXPECT_EQ(core.StopTest(), 2);
  EXPECT_EQ(controls.Captions().size(), 1u);
}

TEST_F(CycleTest, StopDuringPageWaitStillSearchesAndPostsThatBoard) {
  SetBoxes("http://b/1\r\nhttp://b/2", "r1");
  browser.ServeBoard("http://b/1", ZeroReplyRow("http://t/1"), 5000);
  browser.ServeThread("http://t/1");
  browser.ServeBoard("http://b/2", ZeroReplyRow("http://t/2"));
  AllowStart();
  clock.At(2000, [&] { controls.Click(names::kStopButton); });
  controls.Click(names::kStartButton);
  EXPECT_EQ(controls.CaptionsUtf8(),
            (std::vector<std::string>{"监控[1]...", "回贴[1]...r1", "已停止监控"}));
  EXPECT_EQ(controls.Items(names::kRecordList), (std::vector<Text>{"http://t/1"}));
  // Page wait, the posting's 100 + 100 + 1000, the board's 1000.
  EXPECT_EQ(clock.now(), 5000 + 1200 + 1000);
  EXPECT_EQ(browser.CallsOf(Op::kPause).back().number, 1000);
}

TEST_F(CycleTest, StopInTheThirdSecondOfTheCountdown) {
  SetBoxes("http://b/1", "r1");
  browser.ServeBoard("http://b/1", AnsweredRow("http://t/1"));
  AllowStart();
  clock.At(1000 + 2500, [&] { controls.Click(names::kStopButton); });
  controls.Click(names::kStartButton);
  EXPECT_EQ(controls.CaptionsUtf8(),
            (std::vector<std::string>{"监控[1]...", "10秒后继续监控...", "9秒后继续监控...",
                                      "8秒后继续监控...", "已停止监控"}));
  EXPECT_EQ(clock.now(), 4000);
  EXPECT_EQ(core.state().Countdown, 8);
}

TEST_F(CycleTest, SlowAndMissingPagesAreStillSearched) {
  SetBoxes("http://b/slow\r\n\r\nhttp://b/missing", "r1");
  ScriptedPage& slow = browser.ServeBoard("http://b/slow", ZeroReplyRow("http://t/s"));
  slow.completes = false;
  browser.ServeThread("http://t/s");
  AllowStart();
  clock.At(20000 + 2200 + 1000 + 1, [&] { controls.Click(names::kStopButton); });
  controls.Click(names::kStartButton);
  // The slow board is searched after the 20 s limit; the empty line is a
  // board with an empty address; the missing page has no table 2.
  EXPECT_EQ(browser.Navigations(), (std::vector<Text>{"http://b/slow", "http://t/s", "", "http://b/missing"}));
  EXPECT_EQ(controls.CaptionsUtf8(),
            (std::vector<std::string>{"监控[1]...", "回贴[1]...r1", "监控[2]...", "监控[3]...",
                                      "已停止监控"}));
}

TEST_F(CycleTest, LoginDuringABoardWaitLeavesTheCycleOnTheLoginPage) {
  SetBoxes("http://b/1", "r1");
  browser.ServeBoard("http://b/1", ZeroReplyRow("http://t/1"), 3000);
  ServeLoginPage();
  AllowStart();
  clock.At(1000, [&] { controls.Click(names::kLoginButton); });
  clock.At(3500, [&] { controls.Click(names::kStopButton); });
  controls.Click(names::kStartButton);
  // The board wait ends on the page the login left behind: no table, no
  // thread, no posting.
  EXPECT_EQ(browser.Navigations(), (std::vector<Text>{"http://b/1", kLoginUrl}));
  EXPECT_EQ(browser.CallsOf(Op::kReadTable).at(0).address, kLoginDone);
  EXPECT_TRUE(controls.Items(names::kRecordList).empty());
  EXPECT_EQ(controls.CaptionsUtf8(),
            (std::vector<std::string>{"监控[1]...", "正在登录...", "登录成功", "已停止监控"}));
}

TEST_F(CycleTest, StartInsideARunNestsASecondCycleAndOneStopEndsBoth) {
  SetBoxes("http://b/A", "r1");
  browser.ServeBoard("http://b/A", AnsweredRow("http://t/A"));
  browser.ServeBoard("http://b/B", AnsweredRow("http://t/B"));
  ServeLoginPage();
  AllowStart();
  // In the first countdown second: a login (1.5 s) that enables Start.
  clock.At(1500, [&] { controls.Click(names::kLoginButton); });
  clock.At(3200, [&] {
    EXPECT_FALSE(controls.Disabled(names::kStartButton));
    // The second run reads the boxes afresh.
    controls.Preset(names::kBoardsBox, prop::kContent, Text("http://b/B"));
    EXPECT_TRUE(controls.Click(names::kStartButton));
    // Back here only when the second run has ended.
    EXPECT_EQ(controls.CaptionsUtf8().back(), "已停止监控");
    EXPECT_FALSE(controls.Disabled(names::kStartButton));
  });
  clock.At(3700, [&] { controls.Click(names::kStopButton); });
  controls.Click(names::kStartButton);

  EXPECT_EQ(controls.CaptionsUtf8(),
            (std::vector<std::string>{"监控[1]...", "10秒后继续监控...", "正在登录...", "登录成功",
                                      "9秒后继续监控...", "监控[1]...", "已停止监控",
                                      "已停止监控"}));
  EXPECT_EQ(browser.Navigations(), (std::vector<Text>{"http://b/A", kLoginUrl, "http://b/B"}));
  EXPECT_EQ(core.state().BoardList, (TextList{"http://b/B"}));
  EXPECT_EQ(clock.now(), 4200);
  ExpectStoppedStates();
}

TEST_F(CycleTest, ALongRunKeepsGoingWithoutGrowth) {
  SetBoxes("http://b/1", "r1");
  browser.ServeBoard("http://b/1", ZeroReplyRow("http://t/1"));
  browser.ServeThread("http://t/1");
  AllowStart();
  const int passes = 3000;
  // One pass: 1 s board + 10 s countdown; the first adds 1.2 s of posting.
  // The stop lands in the board pause of the pass after `passes`.
  clock.At(1700 + int64_t{passes} * 11000, [&] { controls.Click(names::kStopButton); });
  controls.Click(names::kStartButton);
  EXPECT_EQ(controls.Items(names::kRecordList).size(), 1u);
  EXPECT_EQ(browser.Navigations().size(), static_cast<std::size_t>(passes) + 2);
  EXPECT_EQ(controls.CaptionsUtf8().back(), "已停止监控");
  EXPECT_EQ(core.state().ReplyCursor, 1);
}

}  // namespace
}  // namespace brevane::testing
