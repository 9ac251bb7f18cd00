// The Windows program's browser heart end to end: the core's monitoring
// cycle, reply posting and login, through DocumentBrowser and the real MSHTML
// engine over the document double, paused by the real Win32 pause (real
// time, window messages dispatched meanwhile). Stop arrives the way the
// user's click does: as a window message handled inside a pause.
#include <gtest/gtest.h>

#include "browser/document_browser.h"
#include "browser/mshtml/mshtml_engine.h"
#include "browser/mshtml/tests/document_double.h"
#include "core/tests/core_fixture.h"
#include "app/win32/pause_win32.h"

namespace brevane::mshtml::testing {
namespace {

using brevane::testing::FakeControls;
using brevane::testing::G;
using brevane::testing::ScratchDirectory;

const Text kBoard = "http://bbs.example/forum-1.html";
const Text kThread = "http://bbs.example/thread-2.html";
const Text kPosted = "http://bbs.example/thread-2.html#posted";
const Text kLogin = "http://bbs.example/login.html";
const Text kLoggedIn = "http://bbs.example/welcome.html";

// A window that runs an action when a message posted to it is dispatched.
class Messenger {
 public:
  Messenger() {
    static const bool registered = [] {
      WNDCLASSEXW window_class{};
      window_class.cbSize = sizeof window_class;
      window_class.lpfnWndProc = Procedure;
      window_class.hInstance = GetModuleHandleW(nullptr);
      window_class.lpszClassName = L"BrevaneTestMessenger";
      return RegisterClassExW(&window_class) != 0;
    }();
    (void)registered;
    window_ = CreateWindowExW(0, L"BrevaneTestMessenger", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Messenger() { DestroyWindow(window_); }
  // Runs action when the calling thread next dispatches its messages.
  void Post(std::function<void()> action) {
    action_ = std::move(action);
    PostMessageW(window_, WM_APP, 0, 0);
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<Messenger*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_APP && self && self->action_) {
      auto action = std::move(self->action_);
      self->action_ = nullptr;
      action();
      return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }
  HWND window_ = nullptr;
  std::function<void()> action_;
};

class CoreOverDouble : public ::testing::Test {
 protected:
  CoreOverDouble() {
    controls.On(names::kStartButton, Event::kClicked, [this] { core.StartMonitoring(); });
    controls.On(names::kStopButton, Event::kClicked, [this] { core.StopMonitoring(); });
    controls.On(names::kLoginButton, Event::kClicked, [this] { core.ForumLogin(); });
    controls.On(names::kBoardsLabel, Event::kFeedback, [this] { core.PostReply(); });
  }

  CoreEdges Edges() {
    CoreEdges edges;
    edges.settings_directory = scratch.path().string();
    edges.login_url = kLogin;
    return edges;
  }

  ScratchDirectory scratch;
  FakeControls controls;
  memory::MemoryEngine pages;
  memory::MemoryBrowser navigator{pages};
  DocumentDouble double_{pages};
  DoubleBrowserControl control{navigator, double_};
  MshtmlEngine engine;
  win32::Pause pause;
  DocumentBinding binding;
  DocumentBrowser browser{control, engine, pause, binding};
  Core core{controls, browser, Edges()};
  Messenger messenger;
};

TEST_F(CoreOverDouble, CycleFindsTheUnansweredThreadAndPostsTheNextReply) {
  pages.Serve(kBoard, G("<title>版块</title><table id=nav><tr><td>导航 <em>0</em></td></tr></table>"
                        "<table id=threads>"
                        "<tr><td><a href='http://bbs.example/thread-1.html' target=_blank>旧帖</a></td>"
                        "<td><a href='http://bbs.example/u/1' target=_blank>甲</a></td><td><em>5</em></td></tr>"
                        "<tr><td><a href='http://bbs.example/thread-2.html' target=_blank>新帖</a></td>"
                        "<td><a href='http://bbs.example/u/2' target=_blank>乙</a></td><td><em>0</em></td></tr>"
                        "</table>"));
  pages.Serve(kThread,
              G("<title>帖子</title><form id=reply action=/post>"
                "<iframe src='http://bbs.example/spacer.html' style='display:none'></iframe>"
                "<iframe src='http://bbs.example/editor.html'></iframe>"
                "<input type=image src='/smile.gif'><input type=hidden name=formhash value=f1>"
                "<input type=checkbox name=sign><input type=button value=B><input type=button value=I>"
                "<input type=button value=U><input type=button value=Link><input type=button value=Image>"
                "<input type=button value=Face><input type=submit id=post value=发表回复>"
                "<input type=reset id=reset></form>"));
  // A titled page is no editor: the reply goes to the design-mode frame.
  pages.Serve("http://bbs.example/spacer.html", "<title>spacer</title>");
  pages.Serve("http://bbs.example/editor.html", "", {.design_mode = true});
  pages.Serve(kPosted, G("<title>已回复</title><p>ok</p>"));

  Text body_when_posted;
  pages.OnClick([&](memory::Element& clicked) {
    if (clicked.Attribute("id") != Text("post")) return;
    // The submission: the reply as the editor held it, then the page the
    // forum answers with; the user stops the run soon after.
    body_when_posted = pages.shown()->Frame(1)->body()->InnerHtml();
    pages.ShowAddress(kPosted);
    messenger.Post([&] { EXPECT_TRUE(controls.Click(names::kStopButton)); });
  });

  controls.Preset(names::kBoardsBox, prop::kContent, kBoard);
  controls.Preset(names::kRepliesBox, prop::kContent, G("第一条回复\r\n第二条 <b>回复</b>"));
  controls.Preset(names::kStartButton, prop::kDisabled, false);
  ASSERT_TRUE(controls.Click(names::kStartButton));

  EXPECT_EQ(navigator.navigations(), (TextList{kBoard, kThread}));
  EXPECT_EQ(core.state().CandidateUrl, kThread);
  ASSERT_EQ(pages.clicks().size(), 1u);
  EXPECT_EQ(pages.clicks()[0]->Attribute("id"), Text("post"));
  EXPECT_EQ(body_when_posted, G("第一条回复"));
  EXPECT_EQ(controls.Items(names::kRecordList), (std::vector<Text>{kThread}));
  EXPECT_EQ(controls.CaptionsUtf8(),
            (std::vector<std::string>{"监控[1]...", "回贴[1]...第一条回复", "已停止监控"}));
  // Every document came through the document window's message.
  EXPECT_GE(double_.requests(), 3);
}

struct LoginCase {
  std::string name;
  std::string third_form;
  std::vector<std::string> captions;
  bool clicked;
};

class LoginOverDouble : public CoreOverDouble, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(LoginOverDouble, ReadsTheThirdFormAndClicksTheThirdButton) {
  const LoginCase& c = GetParam();
  pages.Serve(kLogin, G("<title>登录</title><form name=search><input name=q><input type=submit value=搜索></form>"
                        "<form name=links><input type=button value=帮助></form>" +
                        c.third_form));
  pages.Serve(kLoggedIn, G("<title>欢迎</title>"));
  pages.OnClick([&](memory::Element&) { pages.ShowAddress(kLoggedIn); });
  ASSERT_TRUE(controls.Click(names::kLoginButton));
  EXPECT_EQ(controls.CaptionsUtf8(), c.captions);
  EXPECT_EQ(navigator.navigations(), (TextList{kLogin}));
  ASSERT_EQ(pages.clicks().size(), c.clicked ? 1u : 0u);
  if (c.clicked) {
    EXPECT_EQ(pages.clicks()[0]->Attribute("id"), Text("enter"));
  }
  EXPECT_EQ(controls.Disabled(names::kStartButton), !c.clicked);
  EXPECT_FALSE(controls.Disabled(names::kLoginButton));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, LoginOverDouble,
    ::testing::Values(
        LoginCase{"Ticked",
                  "<form name=login method=post><input name=user value=张三>"
                  "<input type=checkbox name=keep checked><input type=submit id=enter value=登录></form>",
                  {"正在登录...", "登录成功"}, true},
        LoginCase{"NotTicked",
                  "<form name=login method=post><input name=user value=张三>"
                  "<input type=checkbox name=keep><input type=submit id=enter value=登录></form>",
                  {"正在登录...", "登录失败,请先登录旺旺,再重试！"}, false}),
    [](const ::testing::TestParamInfo<LoginCase>& info) { return info.param.name; });

}  // namespace
}  // namespace brevane::mshtml::testing
