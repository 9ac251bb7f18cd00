#include "testing/scripted_browser.h"

#include <charconv>

namespace brevane::testing {
namespace {

// A whole-number element key as a 1-based position; 0 for anything else.
int64_t KeyNumber(const Text& key) {
  int64_t n = 0;
  auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), n);
  if (error != std::errc() || end != key.data() + key.size() || n < 1) return 0;
  return n;
}

constexpr std::string_view kNoForm = "<FORM>\r\n</FORM>";

}  // namespace

ScriptedPage& ScriptedBrowser::ServeBoard(const Text& address, const Text& table_html,
                                          int64_t load_ms) {
  ScriptedPage& page = pages_[address];
  page.tables = {Text("<TABLE><TR><TD>banner</TD></TR></TABLE>"), table_html};
  page.load_ms = load_ms;
  return page;
}

ScriptedPage& ScriptedBrowser::ServeThread(const Text& address, int64_t load_ms) {
  ScriptedPage& page = pages_[address];
  page.editors = 1;
  page.buttons = 7;
  page.load_ms = load_ms;
  return page;
}

std::vector<ScriptedBrowser::Call> ScriptedBrowser::CallsOf(Op op) const {
  std::vector<Call> selected;
  for (const Call& call : calls_) {
    if (call.op == op) selected.push_back(call);
  }
  return selected;
}

std::vector<Text> ScriptedBrowser::Navigations() const {
  std::vector<Text> addresses;
  for (const Call& call : calls_) {
    if (call.op == Op::kNavigate) addresses.push_back(call.address);
  }
  return addresses;
}

void ScriptedBrowser::Record(Call call) {
  if (recording_) calls_.push_back(std::move(call));
}

void ScriptedBrowser::NavigateBrowser(const Text& address) {
  Record({Op::kNavigate, address, {}, {}, 0, clock_.now()});
  shown_ = address;
}

int32_t ScriptedBrowser::WaitForPage(WindowHandle window, int32_t limit_ms, bool initialise_com) {
  if (recording_) waited_handles_.push_back(window);
  const int64_t limit = limit_ms == 0 ? 20000 : (limit_ms == -1 ? 9999999 : limit_ms);
  Record({Op::kWait, shown_, {}, {}, limit, clock_.now()});
  auto it = pages_.find(shown_);
  int32_t complete = 1;
  int64_t takes = 0;
  if (it != pages_.end()) {
    if (!it->second.completes || it->second.load_ms > limit) {
      takes = limit;
      complete = 0;
    } else {
      takes = it->second.load_ms;
    }
  }
  if (takes > 0) clock_.Advance(takes);
  // Whatever the browser shows now, also after a navigation made by a
  // handler that ran during the wait.
  bound_ = shown_;
  return complete;
}

const ScriptedPage& ScriptedBrowser::BoundPage() {
  static const ScriptedPage kEmpty;
  if (!bound_) bound_ = shown_;
  auto it = pages_.find(*bound_);
  return it == pages_.end() ? kEmpty : it->second;
}

Text ScriptedBrowser::ReadTableHtml(int32_t n) {
  const ScriptedPage& page = BoundPage();
  Record({Op::kReadTable, *bound_, {}, {}, n, clock_.now()});
  if (n < 1 || static_cast<std::size_t>(n) > page.tables.size()) return Text();
  return page.tables[static_cast<std::size_t>(n - 1)];
}

Text ScriptedBrowser::ReadFormHtml(const Text& key, int32_t skip) {
  const ScriptedPage& page = BoundPage();
  Record({Op::kReadForm, *bound_, key, {}, skip, clock_.now()});
  int64_t n = KeyNumber(key);
  if (n < 1 || static_cast<std::size_t>(n) > page.forms.size()) return Text(kNoForm);
  return page.forms[static_cast<std::size_t>(n - 1)];
}

int32_t ScriptedBrowser::FillEditor(const Text& key, const Text& text, int32_t skip,
                                    bool focus_first) {
  const ScriptedPage& page = BoundPage();
  Record({Op::kFill, *bound_, key, text, skip, clock_.now()});
  int64_t n = KeyNumber(key);
  return n >= 1 && n <= page.editors ? 1 : 0;
}

int32_t ScriptedBrowser::ClickButton(const Text& key, int32_t skip) {
  const ScriptedPage& page = BoundPage();
  Record({Op::kClick, *bound_, key, {}, skip, clock_.now()});
  int64_t n = KeyNumber(key);
  if (n < 1 || n > page.buttons) return 0;
  // A submitted form starts loading the page it leads to.
  if (!page.click_leads_to.empty()) shown_ = page.click_leads_to;
  return 1;
}

int32_t ScriptedBrowser::Pause(int32_t milliseconds) {
  Record({Op::kPause, shown_, {}, {}, milliseconds, clock_.now()});
  return clock_.For(milliseconds);
}

}  // namespace brevane::testing
