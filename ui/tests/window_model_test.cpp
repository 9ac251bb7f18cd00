// The window model's rules, against a native window that logs what it is
// told: properties, default contents, pages, tab order, events and frames.
#include "ui/window_model.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ui/names.h"

namespace brevane {
namespace {

// The host the default boards are built on.
constexpr std::string_view kBoardHost = "http://forum.example/";

// Short names of the controls and routines, as the table below spells them.
const std::map<std::string, std::string_view> kNames = {
    {"window", names::kMainWindow}, {"banner", names::kBanner}, {"browser", names::kBrowser}, {"label", names::kBoardsLabel},
    {"help", names::kHelpLabel}, {"boards", names::kBoardsBox}, {"records", names::kRecordList}, {"login", names::kLoginButton},
    {"start", names::kStartButton}, {"contact", names::kContactButton}, {"replies", names::kRepliesBox}};
const char* const kRoutines[] = {"created!", "login!", "end!", "start!", "stop!", "forum!",
                                 "boards!", "replies!", "post!", "record!", "banner!", "contact!"};
std::string Short(std::string_view name) {
  for (const auto& [brief, full] : kNames) {
    if (full == name) return brief;
  }
  return std::string(name);
}

class Fake : public NativeWindow {
 public:
  WindowModel* model = nullptr;
  std::string log;
  std::map<int, Text> text;
  std::map<int, bool> shown;
  std::vector<std::function<void()>> posted;
  int items = 0, selection = -1, focus = -1, timer = 0;
  int64_t now = 0;

  void Say(const std::string& s) { log += (log.empty() ? "" : " ") + s; }
  void Create(const Entry&, const layout::ControlDef&) override {}
  void SetBounds(const Entry& e, bool move, bool size) override { Say(Short(e.name) + (move ? ":move" : "") + (size ? ":size" : "")); }
  void SetShown(const Entry& e, bool on) override { shown[e.index] = on; if (e.index == 0) Say("shown"); }
  void SetEnabled(const Entry&, bool) override {}
  // An edit box reports its own change, as a toolkit's does; so does a list.
  void SetText(const Entry& e, const Text& t) override {
    text[e.index] = t;
    e.kind == Entry::Kind::kEditBox ? model->OnTextChanged(e.index) : Say(Short(e.name) + "=" + t);
  }
  Text ReadText(const Entry& e) override { return text[e.index]; }
  int32_t AddListItem(const Entry& e, const Text&, int32_t) override { model->OnSelectionChanged(e.index); return items++; }
  void SetSelection(const Entry& e, int32_t i) override { selection = i; model->OnSelectionChanged(e.index); }
  int32_t Selection(const Entry&) override { return selection; }
  void ShowPicture(const Entry& e) override { Say("frames" + std::to_string(e.frames.size())); }
  void ShowFrame(const Entry& e) override { Say("frame" + std::to_string(e.frame)); }
  void SetFrameTimer(const Entry&, int ms) override {
    timer = ms;
    if (ms > 0) Say(std::to_string(ms) + "ms");
    if (playing) Say("halt");
    playing = false;
  }
  // "player": the shell plays the frames on its own from then on.
  bool plays = false, playing = false;
  bool PlayFrames(const Entry& e, int shown_ms) override {
    if (plays) Say("play" + std::to_string(e.frame) + "+" + std::to_string(shown_ms));
    return playing = plays;
  }
  void ShowPage(int) override {}
  int FocusedControl() override { return focus; }
  void Focus(const Entry& e) override { focus = e.index; Say(Short(e.name)); }
  void Post(std::function<void()> call) override { posted.push_back(std::move(call)); }
};

// A case: steps (';' between them) and the log they leave: native calls,
// routines run ("name!", with their arguments) and the values steps read.
struct Case {
  const char* what;
  const char* steps;
  const char* want;
};

const Case kCases[] = {
    {"a program write raises content changed once, the same text too; typing raises it",
     "put boards 8 a; put boards 8 a; get boards 8; type replies", "boards! boards! a replies!"},
    {"default contents; captions reach the toolkit once, the button's too; the window moves and resizes",
     "default boards; default replies; put login 8 go; put login 8 go; get login 8; put window 0 5; put window 2 900; get window 2",
     "default default login=go go window:move window:size 900"},
    {"list items in order; adding and program selection report nothing, the user's selection does",
     "add records a; add records b; put records 16 5; count records; item records 1; item records 2; get records 16; pick records",
     "2 b none -1 record!"},
    {"a page shows its own controls; an invisible one stays hidden",
     "shown login; shown replies; page 2; shown login; shown replies; shown browser; put records 5 0; switched 1; shown login; shown records",
     "1 0 0 1 1 1 0"},
    {"Tab and Shift+Tab go round the shown, enabled tab stops",
     "tab; tab; tab; tab; tab; tab; back; back; page 2; tab; tab; unfocus; back",
     "browser boards records login contact browser contact login browser replies replies"},
    {"feedback: waited for with its result, or queued; only a bound label's runs",
     "feedback label 3 -4; queue label 1 2; posted; feedback help 0 0; feedback boards 0 0", "post!(3,-4) 7 0 post!(1,2) 0 0"},
    {"created before the window shows, the first activation once, a click only while enabled, nothing after closing",
     "open; activate; activate; click start; put start 6 0; click start; close; close; click start",
     "created! shown login! start! end!"},
    {"banner: no bytes, a cut frame show nothing; frames of 10 ms or less play 100 ms",
     "put banner 10 ''; put banner 10 cut; put banner 10 anim; tick banner; tick banner; tick banner; tick banner; press banner",
     "frames0 decoded frames0 decoded frames4 100ms frame1 100ms frame2 11ms frame3 50ms frame0 100ms banner!(30,12)"},
    {"banner unseen: its timer stops and a late tick plays nothing; seen again it shows the frame the time calls for",
     "put banner 10 anim; wait 50; unseen banner; timer; tick banner; wait 160; seen banner; seen banner; wait 1; tick banner;"
     " wait 600; unseen banner; wait 261; seen banner",
     "decoded frames4 100ms 0ms frame2 1ms frame3 50ms frame0 72ms"},
    {"a shell that can play the frames takes them over at the next frame; the frame shown is read off the clock;"
     " unseen or replaced, they are taken back, and seen again handed over from the frame due",
     "put banner 10 anim; player; wait 40; tick banner; wait 250; now banner; tick banner; unseen banner; now banner;"
     " wait 100; seen banner; put banner 10 cut",
     "decoded frames4 100ms frame1 play1+0 at0 halt at0 frame1 play1+89 halt decoded frames0"},
};

// Runs one step on the model.
void Step(WindowModel& m, Fake& f, const std::vector<std::string>& w) {
  const auto arg = [&w](std::size_t i) { return i < w.size() ? w[i] : std::string(); };
  const std::string_view c = kNames.count(arg(1)) ? kNames.at(arg(1)) : std::string_view();
  const int index = m.Find(c) != nullptr ? m.Find(c)->index : -1;
  const auto number = [&](std::size_t i) { return static_cast<int32_t>(std::stol(arg(i))); };
  const std::string& op = w[0];
  if (op == "put") {
    const std::string v = arg(3);
    const bool digits = !v.empty() && v.find_first_not_of("-0123456789") == std::string::npos;
    return m.WriteControlProperty(c, number(2), digits ? PropertyValue(number(3)) : PropertyValue(Text(v == "''" ? "" : v)));
  }
  if (op == "get") {
    const PropertyValue v = m.ReadControlProperty(c, number(2));
    return f.Say(std::holds_alternative<Text>(v) ? AsText(v) : std::to_string(AsInt(v)));
  }
  if (op == "item") {
    const Text item = m.ListItemText(c, number(2));
    return f.Say(item.empty() ? "none" : item);
  }
  if (op == "posted") {
    for (auto& call : f.posted) call();
    return;
  }
  if (op == "default") return f.Say(f.text[index] == layout::DefaultContent(c, kBoardHost) ? "default" : "other");
  if (op == "add") return static_cast<void>(m.ListAddItem(c, Text(arg(2))));
  if (op == "count") return f.Say(std::to_string(m.ListItemCount(c)));
  if (op == "shown") return f.Say(f.shown[index] ? "1" : "0");
  if (op == "feedback" || op == "queue") return f.Say(std::to_string(m.RaiseFeedbackEvent(c, number(2), number(3), op == "feedback")));
  if (op == "page") return m.SelectPage(number(1));
  if (op == "switched") return m.OnPageSwitched(number(1));
  if (op == "tab" || op == "back") return m.OnTabKey(op == "back");
  if (op == "unfocus") return static_cast<void>(f.focus = -1);
  if (op == "type") return m.OnTextChanged(index);
  if (op == "pick") return m.OnSelectionChanged(index);
  if (op == "click") return m.OnClicked(index);
  if (op == "press") return m.OnPressed(index, {30, 12, 1});
  if (op == "tick") return m.OnFrameTimer(index);
  if (op == "wait") return static_cast<void>(f.now += number(1));
  if (op == "seen" || op == "unseen") return m.OnPictureSeen(index, op == "seen");
  if (op == "timer") return f.Say(std::to_string(f.timer) + "ms");
  if (op == "player") return static_cast<void>(f.plays = true);
  if (op == "now") return f.Say("at" + std::to_string(m.ShownFrame(index)));
  if (op == "open") return m.Open();
  if (op == "activate") return m.OnActivated();
  if (op == "close") return m.OnClosed();
  ADD_FAILURE() << "no step " << op;
}

TEST(WindowModel, Rules) {
  for (const Case& c : kCases) {
    Fake f;
    WindowModel m(f);
    f.model = &m;
    m.SetClock([&f] { return f.now; });
    m.SetRoutineRunner([&f](Routine r, const shell::EventArgs& a) {
      std::string said = kRoutines[static_cast<int>(r)];
      if (a.first || a.second) said.append("(").append(std::to_string(a.first)).append(",").append(std::to_string(a.second)).append(")");
      f.Say(said);
      return r == Routine::kPostReply ? 7 : 0;
    });
    // "anim": four frames of 0, 10, 11 and 50 ms; anything else one good frame and one cut short.
    m.SetPictureDecoder([&f](std::string_view bytes) {
      f.Say("decoded");
      const std::vector<uint8_t> px = {1, 2, 3, 4};
      if (bytes == "anim") return std::vector<shell::PictureFrame>{{1, 1, 0, px}, {1, 1, 10, px}, {1, 1, 11, px}, {1, 1, 50, px}};
      return std::vector<shell::PictureFrame>{{1, 1, 0, px}, {4, 4, 0, px}};
    });
    m.Build(0, 0);
    f.log.clear();
    // As the GTK shell gets it: after the boards box is built.
    m.SetBoardHost(kBoardHost);
    std::istringstream steps(c.steps);
    for (std::string step; std::getline(steps, step, ';');) {
      std::istringstream words(step);
      std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
      if (!w.empty()) Step(m, f, w);
    }
    EXPECT_EQ(f.log, c.want) << c.what;
  }
}

}  // namespace
}  // namespace brevane
