// A Core wired to in-memory controls and scripted pages on virtual time,
// with the event bindings a shell makes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/core.h"
#include "base/text/charset.h"
#include "testing/fake_controls.h"
#include "testing/scripted_browser.h"
#include "testing/virtual_clock.h"
#include "ui/names.h"

namespace brevane::testing {

// GBK text from a UTF-8 literal of the test source.
inline Text G(const std::string& utf8) { return Utf8ToGbk(utf8); }

// A fresh scratch directory, removed with its content at the end.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("brevane-core-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline const Text kLoginUrl = "https://login.example/";
inline const Text kLoginDone = "https://login.example/done";

class CoreTest : public ::testing::Test {
 protected:
  CoreTest() : core(controls, browser, Edges()) {
    controls.On(names::kStartButton, Event::kClicked, [this] { core.StartMonitoring(); });
    controls.On(names::kStopButton, Event::kClicked, [this] { core.StopMonitoring(); });
    controls.On(names::kLoginButton, Event::kClicked, [this] { core.ForumLogin(); });
    controls.On(names::kBoardsBox, Event::kContentChanged, [this] { core.SaveBoards(); });
    controls.On(names::kRepliesBox, Event::kContentChanged, [this] { core.SaveReplies(); });
    controls.On(names::kBoardsLabel, Event::kFeedback, [this] { core.PostReply(); });
    controls.On(names::kRecordList, Event::kSelectionChanged, [this] { core.OpenRecordUrl(); });
  }

  CoreEdges Edges() {
    CoreEdges edges;
    edges.open_in_browser = [this](const Text& address) { opened.push_back(address); };
    edges.settings_directory = scratch.path().string();
    edges.login_url = kLoginUrl;
    return edges;
  }

  // The boxes as the user left them before Start (no content event).
  void SetBoxes(const std::string& boards_utf8, const std::string& replies_utf8) {
    controls.Preset(names::kBoardsBox, prop::kContent, G(boards_utf8));
    controls.Preset(names::kRepliesBox, prop::kContent, G(replies_utf8));
  }

  // A login page whose third form is ticked, leading to a result page.
  void ServeLoginPage(const std::string& third_form = "<FORM><INPUT type=checkbox CHECKED></FORM>") {
    ScriptedPage& page = browser.Serve(kLoginUrl);
    page.forms = {Text("<FORM></FORM>"), Text("<FORM></FORM>"), Text(third_form)};
    page.buttons = 3;
    page.click_leads_to = kLoginDone;
    browser.Serve(kLoginDone);
  }

  // Start enabled, as after a successful login.
  void AllowStart() { controls.Preset(names::kStartButton, prop::kDisabled, false); }

  std::vector<Text> FilledTexts() const {
    std::vector<Text> texts;
    for (const auto& call : browser.CallsOf(ScriptedBrowser::Op::kFill)) texts.push_back(call.text);
    return texts;
  }

  ScratchDirectory scratch;
  VirtualClock clock;
  FakeControls controls;
  ScriptedBrowser browser{clock};
  std::vector<Text> opened;
  Core core;
};

// A board table row whose thread has no reply yet.
inline std::string ZeroReplyRow(const std::string& address) {
  return "<TR><TD><A href='" + address + "' target=_blank>t</A></TD><TD><A href='http://u/1' "
         "target=_blank>u</A></TD><TD><EM>0</EM></TD></TR>";
}

inline std::string AnsweredRow(const std::string& address) {
  return "<TR><TD><A href='" + address + "' target=_blank>t</A></TD><TD><A href='http://u/1' "
         "target=_blank>u</A></TD><TD><EM>3</EM></TD></TR>";
}

}  // namespace brevane::testing
