// The window model's rules against a recording native window: properties,
// default contents, pages, tab order, events and the banner's frame timing.
#include "ui/window_model.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/text/charset.h"
#include "ui/names.h"

namespace brevane {
namespace {

// A toolkit that keeps what it is told and logs the calls a case looks at.
class FakeNative : public NativeWindow {
 public:
  std::vector<std::string> log;
  std::map<int, Text> text;
  std::map<int, bool> shown;
  std::vector<std::function<void()>> posted;
  int items = 0, selection = -1, focus = -1;
  WindowModel* model = nullptr;

  void Create(const Entry&, const layout::ControlDef&) override {}
  void SetBounds(const Entry& e, bool move, bool resize) override {
    log.push_back("bounds " + e.name + (move ? " move" : "") + (resize ? " resize" : ""));
  }
  void SetShown(const Entry& e, bool on) override {
    shown[e.index] = on;
    if (e.index == 0) log.push_back(on ? "window shown" : "window hidden");
  }
  void SetEnabled(const Entry&, bool) override {}
  void SetText(const Entry& e, const Text& t) override {
    text[e.index] = t;
    log.push_back("text " + e.name);
    // A toolkit reports its own change as the user's would come.
    if (e.kind == Entry::Kind::kEditBox) model->OnTextChanged(e.index);
  }
  Text ReadText(const Entry& e) override { return text[e.index]; }
  int32_t AddListItem(const Entry& e, const Text&, int32_t) override {
    model->OnSelectionChanged(e.index);
    return items++;
  }
  void SetSelection(const Entry& e, int32_t index) override {
    selection = index;
    model->OnSelectionChanged(e.index);
  }
  int32_t Selection(const Entry&) override { return selection; }
  void ShowPicture(const Entry& e) override { log.push_back("picture " + std::to_string(e.frames.size())); }
  void ShowFrame(const Entry& e) override { log.push_back("frame " + std::to_string(e.frame)); }
  void SetFrameTimer(const Entry&, int delay_ms) override {
    if (delay_ms > 0) log.push_back("timer " + std::to_string(delay_ms));
  }
  void ShowPage(int page) override { log.push_back("page " + std::to_string(page)); }
  int FocusedControl() override { return focus; }
  void Focus(const Entry& e) override { focus = e.index; }
  void Post(std::function<void()> call) override { posted.push_back(std::move(call)); }
};

struct Window {
  FakeNative native;
  WindowModel model{native};
  std::vector<Routine> ran;
  std::vector<shell::EventArgs> args;
  int decoded = 0;

  Window() {
    native.model = &model;
    model.SetRoutineRunner([this](Routine r, const shell::EventArgs& a) {
      ran.push_back(r);
      args.push_back(a);
      return r == Routine::kPostReply ? 7 : 0;
    });
    // "anim": four 1 x 1 frames with delays 0, 10, 11 and 50 ms; "cut": a
    // frame shorter than its size says.
    model.SetPictureDecoder([this](std::string_view bytes) {
      ++decoded;
      std::vector<shell::PictureFrame> frames;
      if (bytes == "anim") {
        for (int d : {0, 10, 11, 50}) frames.push_back({1, 1, d, std::vector<uint8_t>(4, 9)});
      }
      if (bytes == "cut") frames = {{1, 1, 0, {1, 2, 3, 4}}, {4, 4, 0, std::vector<uint8_t>(3, 0)}};
      return frames;
    });
    model.Build(0, 0);
  }
  int At(std::string_view name) { return model.Find(name)->index; }
  void Write(std::string_view name, int property, const PropertyValue& v) { model.WriteControlProperty(name, property, v); }
  PropertyValue Read(std::string_view name, int property) { return model.ReadControlProperty(name, property); }
  std::string Log() {
    std::string out;
    for (const std::string& line : native.log) out += (out.empty() ? "" : ", ") + line;
    return out;
  }
  // Names of the controls a run of Tab (or Shift+Tab) presses focuses.
  std::string Tabs(int presses, bool back) {
    std::string out;
    for (int i = 0; i < presses; ++i) {
      model.OnTabKey(back);
      out += (out.empty() ? "" : " ") + model.At(native.focus).name;
    }
    return out;
  }
  std::string Shown(std::initializer_list<std::string_view> names) {
    std::string out;
    for (std::string_view n : names) out += native.shown[At(n)] ? "1" : "0";
    return out;
  }
};

struct Case {
  const char* what;
  std::function<std::string(Window&)> act;  // what it observed
  std::string want;
  std::vector<Routine> routines;  // delivered meanwhile, in order
};

using R = Routine;
namespace n = names;
const std::string kBoards(n::kBoardsBox), kRecords(n::kRecordList), kLogin(n::kLoginButton), kStart(n::kStartButton),
    kContact(n::kContactButton), kBrowser(n::kBrowser), kReplies(n::kRepliesBox);

const Case kCases[] = {
    {"default contents and captions", [](Window& w) {
       return std::string(AsText(w.Read(n::kBoardsBox, prop::kContent)) == layout::DefaultContent(n::kBoardsBox) ? "boards " : "") +
              (AsText(w.Read(n::kRepliesBox, prop::kContent)) == Utf8ToGbk(layout::FindControl(n::kRepliesBox)->caption) ? "replies " : "") +
              GbkToUtf8(AsText(w.Read(n::kStartButton, prop::kCaption))) + " " + GbkToUtf8(AsText(w.Read(n::kMainWindow, prop::kCaption)));
     }, "boards replies 开始监控 Brevane", {}},
    {"a program write raises content changed once, the same text again too", [](Window& w) {
       w.Write(n::kBoardsBox, prop::kContent, Text("a"));
       w.Write(n::kBoardsBox, prop::kContent, Text("a"));
       return AsText(w.Read(n::kBoardsBox, prop::kContent));
     }, "a", {R::kSaveBoards, R::kSaveBoards}},
    {"a change the toolkit reports is the user's", [](Window& w) {
       w.model.OnTextChanged(w.At(n::kRepliesBox));
       return std::string();
     }, "", {R::kSaveReplies}},
    {"captions reach the toolkit once; the button's too", [](Window& w) {
       w.native.log.clear();
       for (int i = 0; i < 2; ++i) {
         w.Write(n::kMainWindow, prop::kCaption, Text("t"));
         w.Write(n::kLoginButton, prop::kCaption, Text("go"));
       }
       return w.Log() + " " + w.native.text[w.At(n::kLoginButton)] + AsText(w.Read(n::kLoginButton, prop::kCaption));
     }, "text 主窗口, text " + kLogin + " gogo", {}},
    {"geometry: the window moves on left and top, resizes on width and height", [](Window& w) {
       w.native.log.clear();
       w.Write(n::kMainWindow, prop::kLeft, 5);
       w.Write(n::kMainWindow, prop::kWidth, 900);
       w.Write(n::kLoginButton, prop::kHeight, 40);
       return w.Log() + " " + std::to_string(AsInt(w.Read(n::kMainWindow, prop::kWidth)));
     }, "bounds 主窗口 move, bounds 主窗口 resize, bounds " + kLogin + " resize 900", {}},
    {"tag, visible, disabled and mouse pointer read back", [](Window& w) {
       w.Write(n::kStopButton, prop::kTag, Text("x"));
       w.Write(n::kStopButton, prop::kMousePointer, 3);
       w.Write(n::kLoginButton, prop::kVisible, false);
       w.Write(n::kLoginButton, prop::kDisabled, true);
       return AsText(w.Read(n::kStopButton, prop::kTag)) + std::to_string(AsInt(w.Read(n::kStopButton, prop::kMousePointer))) +
              std::to_string(AsBool(w.Read(n::kLoginButton, prop::kVisible))) + std::to_string(AsBool(w.Read(n::kLoginButton, prop::kDisabled))) +
              w.Shown({n::kLoginButton}) + std::to_string(w.Read(n::kBanner, prop::kCaption).index());
     }, "x30100", {}},
    {"a click reaches its routine only while the button is enabled", [](Window& w) {
       w.model.OnClicked(w.At(n::kStartButton));  // disabled at start
       w.Write(n::kStartButton, prop::kDisabled, false);
       w.model.OnClicked(w.At(n::kStartButton));
       w.model.OnClicked(w.At(n::kContactButton));
       return std::string();
     }, "", {R::kStartMonitoring, R::kOpenContactLink}},
    {"list items in order; adding and program selection report nothing", [](Window& w) {
       w.model.ListAddItem(n::kRecordList, Text("a"));
       const int32_t second = w.model.ListAddItem(n::kRecordList, Text("b"), 7);
       w.Write(n::kRecordList, prop::kSelection, 5);  // outside: none
       const int32_t none = AsInt(w.Read(n::kRecordList, prop::kSelection));
       w.model.OnSelectionChanged(w.At(n::kRecordList));
       return std::to_string(second) + std::to_string(w.model.ListItemCount(n::kRecordList)) +
              w.model.ListItemText(n::kRecordList, 1) + "[" + w.model.ListItemText(n::kRecordList, 2) + "]" +
              std::to_string(none) + std::to_string(w.model.ListItemCount(n::kBoardsBox));
     }, "12b[]-10", {R::kOpenRecordUrl}},
    {"a page shows its own controls and hides the other's", [](Window& w) {
       const std::string first = w.Shown({n::kLoginButton, n::kRepliesBox, n::kBrowser});
       w.native.log.clear();
       w.model.SelectPage(2);
       const std::string second = w.Shown({n::kLoginButton, n::kRepliesBox, n::kBrowser});
       w.model.OnPageSwitched(1);
       w.Write(n::kRecordList, prop::kVisible, false);
       w.model.SelectPage(3);  // no such page
       return first + " " + second + " " + w.Shown({n::kLoginButton, n::kRecordList}) + " " + w.Log() +
              std::to_string(w.model.current_page());
     }, "101 011 10 page 21", {}},
    {"Tab and Shift+Tab cycle through the shown, enabled tab stops both ways", [](Window& w) {
       std::string out = w.Tabs(6, false);
       out += " | " + w.Tabs(2, true);
       w.Write(n::kStartButton, prop::kDisabled, false);  // it joins the cycle
       w.native.focus = -1;
       out += " | " + w.Tabs(5, false);
       w.model.SelectPage(2);
       w.native.focus = -1;
       out += " | " + w.Tabs(3, false);
       return out + " | " + w.Tabs(1, true);
     }, kBrowser + " " + kBoards + " " + kRecords + " " + kLogin + " " + kContact + " " + kBrowser + " | " + kContact +
            " " + kLogin + " | " + kBrowser + " " + kBoards + " " + kRecords + " " + kLogin + " " + kStart + " | " +
            kBrowser + " " + kReplies + " " + kBrowser + " | " + kReplies, {}},
    {"feedback: waited for with its result and arguments, or queued", [](Window& w) {
       const int32_t result = w.model.RaiseFeedbackEvent(n::kBoardsLabel, 3, -4);
       const int32_t queued = w.model.RaiseFeedbackEvent(n::kBoardsLabel, 1, 2, false);
       const std::size_t before = w.ran.size();
       for (auto& call : w.native.posted) call();
       const int32_t others = w.model.RaiseFeedbackEvent(n::kHelpLabel) + w.model.RaiseFeedbackEvent(n::kBoardsBox);
       return std::to_string(result) + std::to_string(queued) + std::to_string(before) + std::to_string(others) +
              std::to_string(w.args[0].first) + std::to_string(w.args[0].second) + std::to_string(w.args[1].second);
     }, "70103-42", {R::kPostReply, R::kPostReply}},
    {"created runs before the window shows; first activation once", [](Window& w) {
       w.native.log.clear();
       w.model.SetRoutineRunner([&w](Routine r, const shell::EventArgs&) {
         w.ran.push_back(r);
         w.native.log.push_back("run");
         return 0;
       });
       w.model.Open();
       w.model.OnActivated();
       w.model.OnActivated();
       return w.Log() + " " + w.Shown({n::kLoginButton, n::kRepliesBox});
     }, "run, window shown, run 10", {R::kCreatedSequence, R::kStartLoginWorker}},
    {"closing raises about to be destroyed once, and nothing after", [](Window& w) {
       w.model.OnClosed();
       w.model.OnClosed();
       w.model.OnClicked(w.At(n::kContactButton));
       return std::to_string(w.model.closed());
     }, "1", {R::kEndProgram}},
    {"banner: no bytes not decoded, a cut frame shows nothing, frames of 10 ms or less play 100 ms", [](Window& w) {
       w.Write(n::kBanner, prop::kPicture, Text());
       w.Write(n::kBanner, prop::kPicture, Text("cut"));
       w.native.log.clear();
       w.Write(n::kBanner, prop::kPicture, Text("anim"));
       for (int i = 0; i < 4; ++i) w.model.OnFrameTimer(w.At(n::kBanner));
       w.model.OnPressed(w.At(n::kBanner), {30, 12, 1});
       return std::to_string(w.decoded) + " " + w.Log() + " " + std::to_string(w.args.back().first);
     }, "2 picture 4, timer 100, frame 1, timer 100, frame 2, timer 11, frame 3, timer 50, frame 0, timer 100 30",
     {R::kOpenBannerLink}},
};

TEST(WindowModel, Rules) {
  for (const Case& c : kCases) {
    Window w;
    w.ran.clear();
    w.args.clear();
    EXPECT_EQ(c.act(w), c.want) << c.what;
    EXPECT_EQ(w.ran, c.routines) << c.what;
  }
}

}  // namespace
}  // namespace brevane
