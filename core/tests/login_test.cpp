// The forum login: statuses, the enabled states of every control, and what
// it does to the browser.
#include "core/tests/core_fixture.h"

namespace brevane::testing {
namespace {

using Op = ScriptedBrowser::Op;

struct States {
  bool login, start, stop, boards, replies;  // disabled?
  bool operator==(const States&) const = default;
};

class LoginTest : public CoreTest {
 protected:
  States Now() const {
    return {controls.Disabled(names::kLoginButton), controls.Disabled(names::kStartButton),
            controls.Disabled(names::kStopButton), controls.Disabled(names::kBoardsBox),
            controls.Disabled(names::kRepliesBox)};
  }
  // Clicks Login and notes the states in the middle of its 1.5 s pause.
  void LoginWhileWatching() {
    clock.After(700, [&] {
      during = Now();
      EXPECT_EQ(controls.CaptionsUtf8().back(), "正在登录...");
      EXPECT_FALSE(controls.Click(names::kLoginButton));  // no second login meanwhile
    });
    EXPECT_TRUE(controls.Click(names::kLoginButton));
  }
  States during{};
};

TEST_F(LoginTest, SuccessSubmitsTheThirdFormAndEnablesStart) {
  ServeLoginPage("<FORM action=/login><INPUT type=checkbox name=safe CHECKED></FORM>");
  browser.Serve(kLoginUrl).load_ms = 400;
  LoginWhileWatching();
  EXPECT_EQ(during, (States{true, true, true, false, false}));
  EXPECT_EQ(Now(), (States{false, false, true, false, false}));
  EXPECT_EQ(controls.CaptionsUtf8(), (std::vector<std::string>{"正在登录...", "登录成功"}));
  EXPECT_EQ(browser.Navigations(), (std::vector<Text>{kLoginUrl}));
  ASSERT_EQ(browser.CallsOf(Op::kReadForm).size(), 1u);
  EXPECT_EQ(browser.CallsOf(Op::kReadForm)[0].key, "3");
  ASSERT_EQ(browser.CallsOf(Op::kClick).size(), 1u);
  EXPECT_EQ(browser.CallsOf(Op::kClick)[0].key, "3");
  EXPECT_EQ(browser.shown(), kLoginDone);
  ASSERT_EQ(browser.CallsOf(Op::kPause).size(), 1u);
  EXPECT_EQ(browser.CallsOf(Op::kPause)[0].number, 1500);
  EXPECT_EQ(clock.now(), 400 + 1500);
}

TEST_F(LoginTest, FailureWithoutTheMarkLeavesStartAsItWas) {
  for (const std::string form : {"<FORM><INPUT type=checkbox checked></FORM>", "<FORM></FORM>"}) {
    ServeLoginPage(form);
    LoginWhileWatching();
    EXPECT_EQ(during, (States{true, true, true, false, false}));
    EXPECT_EQ(Now(), (States{false, true, true, false, false}));
    EXPECT_EQ(controls.CaptionsUtf8().back(), "登录失败,请先登录旺旺,再重试！");
  }
  // No third form at all.
  browser.Serve(kLoginUrl).forms.resize(2);
  LoginWhileWatching();
  EXPECT_EQ(controls.CaptionsUtf8().back(), "登录失败,请先登录旺旺,再重试！");
  EXPECT_TRUE(browser.CallsOf(Op::kClick).empty());
  EXPECT_TRUE(controls.Disabled(names::kStartButton));
  // A retry that succeeds enables Start at last.
  ServeLoginPage();
  LoginWhileWatching();
  EXPECT_FALSE(controls.Disabled(names::kStartButton));
  EXPECT_EQ(controls.CaptionsUtf8().back(), "登录成功");
}

TEST_F(LoginTest, AFailedLoginDuringARunKeepsStartDisabled) {
  SetBoxes("http://b/1", "r1");
  browser.ServeBoard("http://b/1", AnsweredRow("http://t/1"));
  ServeLoginPage("<FORM></FORM>");
  AllowStart();
  clock.At(1500, [&] { controls.Click(names::kLoginButton); });
  clock.At(3500, [&] {
    EXPECT_TRUE(controls.Disabled(names::kStartButton));
    EXPECT_FALSE(controls.Disabled(names::kStopButton));
    controls.Click(names::kStopButton);
  });
  controls.Click(names::kStartButton);
  EXPECT_EQ(controls.CaptionsUtf8(),
            (std::vector<std::string>{"监控[1]...", "10秒后继续监控...", "正在登录...",
                                      "登录失败,请先登录旺旺,再重试！", "9秒后继续监控...",
                                      "已停止监控"}));
}

TEST_F(LoginTest, TheFreeFunctionWorksOnAnyControlsAndBrowser) {
  // What the first-activation worker runs: other controls, other browser.
  VirtualClock other_clock;
  FakeControls other_controls;
  ScriptedBrowser other_browser(other_clock);
  ScriptedPage& page = other_browser.Serve("https://elsewhere/");
  page.forms = {"", "", "<FORM CHECKED>"};
  page.buttons = 3;
  ForumLogin(other_controls, other_browser, "https://elsewhere/");
  EXPECT_EQ(other_controls.CaptionsUtf8(), (std::vector<std::string>{"正在登录...", "登录成功"}));
  EXPECT_FALSE(other_controls.Disabled(names::kStartButton));
  EXPECT_TRUE(controls.writes().empty());
  EXPECT_TRUE(browser.calls().empty());
}

}  // namespace
}  // namespace brevane::testing
