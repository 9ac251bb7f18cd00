#include "core/core.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "base/text/gbk_literals.h"
#include "ui/names.h"

namespace brevane {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr int32_t kBoardTable = 2;
constexpr int32_t kPauseAfterBoardMs = 1000;
constexpr int32_t kCountdownSteps = 10;
constexpr int32_t kCountdownStepMs = 1000;
constexpr int32_t kPauseBeforeFillMs = 100;
constexpr int32_t kPauseBeforeSubmitMs = 100;
constexpr int32_t kPauseAfterReplyMs = 1000;
constexpr int32_t kPauseAfterLoginPageMs = 1500;
// Element keys: the reply editor and the submit button of a thread page, the
// login form and its button on the login page.
constexpr std::string_view kReplyEditorKey = "1";
constexpr std::string_view kReplySubmitKey = "7";
constexpr std::string_view kLoginFormKey = "3";
constexpr std::string_view kLoginButtonKey = "3";

void SetDisabled(Controls& controls, std::string_view control, bool disabled) {
  controls.WriteControlProperty(control, prop::kDisabled, PropertyValue(disabled));
}

void WriteStatus(Controls& controls, const Text& text) {
  controls.WriteControlProperty(names::kMainWindow, prop::kCaption, PropertyValue(text));
}

// Waits for the page the browser is loading; the result is of no interest
// to the core, it goes on with whatever the page shows.
void WaitForBrowserPage(BrowserOperations& browser) {
  browser.WaitForPage(browser.BrowserWindowHandle(), 0, true);
}

// The start of the last address, "http://" or "https://", that ends before
// start: whichever of the two begins later. A board whose links are all
// plain http gives exactly the "http://" search; -1 when neither is found.
int32_t FindAddressStartBackward(const Text& html, int32_t start) {
  return std::max(FindTextBackward(html, gbk::kAddressStart, start),
                  FindTextBackward(html, gbk::kSecureAddressStart, start));
}

// An address cut from markup as the address it stands for: a writer of
// markup escapes "&" in attribute values as "&amp;", and a thread address
// with more than one query parameter is only the right address with it
// undone. Nothing else in an address is escaped by the writers.
Text AddressFromMarkup(const Text& cut) {
  constexpr std::string_view kEscaped = "&amp;";
  Text address;
  address.reserve(cut.size());
  for (std::size_t i = 0; i < cut.size(); ++i) {
    address += cut[i];
    if (cut.compare(i, kEscaped.size(), kEscaped) == 0) i += kEscaped.size() - 1;
  }
  return address;
}

TextList LinesOf(Controls& controls, std::string_view box) {
  Text content = AsText(controls.ReadControlProperty(box, prop::kContent));
  return SplitText(TrimSpaces(content), kLineBreak);
}

}  // namespace

Core::Core(Controls& controls, BrowserOperations& browser, CoreEdges edges)
    : controls_(controls), browser_(browser), edges_(std::move(edges)) {}

void Core::SetStatus(const Text& text) { WriteStatus(controls_, text); }

void Core::StartMonitoring() {
  state_.StopFlag = 0;
  SetDisabled(controls_, names::kStartButton, true);
  SetDisabled(controls_, names::kStopButton, false);
  state_.BoardList = LinesOf(controls_, names::kBoardsBox);
  state_.ReplyList = LinesOf(controls_, names::kRepliesBox);
  SetDisabled(controls_, names::kBoardsBox, true);
  SetDisabled(controls_, names::kRepliesBox, true);
  MonitoringCycle();
}

void Core::StopMonitoring() {
  state_.StopFlag = 1;
  SetDisabled(controls_, names::kStopButton, true);
}

int32_t Core::StopTest() {
  if (state_.StopFlag == 1) {
    SetStatus(Text(gbk::kStatusStopped));
    SetDisabled(controls_, names::kStartButton, false);
    SetDisabled(controls_, names::kBoardsBox, false);
    SetDisabled(controls_, names::kRepliesBox, false);
  }
  return state_.StopFlag;
}

void Core::MonitoringCycle() {
  // The cycle keeps its own copy of the boards read at Start: a second run
  // started from inside one of its waits replaces BoardList, and this one
  // must still index the list it counted.
  const TextList boards = state_.BoardList;
  const int32_t count = static_cast<int32_t>(boards.size());
  while (true) {
    if (StopTest() == 1) return;
    for (int32_t n = 1; n <= count; ++n) {
      state_.CurrentBoard = n;
      SetStatus(Text(gbk::kStatusMonitoringPrefix) + IntToText(n) + Text(gbk::kStatusBoardSuffix));
      browser_.NavigateBrowser(boards[static_cast<std::size_t>(n - 1)]);
      WaitForBrowserPage(browser_);
      {
        const Text html = browser_.ReadTableHtml(kBoardTable);
        DetectZeroReplyThread(html);
      }
      browser_.Pause(kPauseAfterBoardMs);
      if (StopTest() == 1) return;
    }
    state_.Countdown = kCountdownSteps + 1;
    for (int32_t step = 0; step < kCountdownSteps; ++step) {
      --state_.Countdown;
      SetStatus(IntToText(state_.Countdown) + Text(gbk::kStatusCountdownSuffix));
      browser_.Pause(kCountdownStepMs);
      if (StopTest() == 1) return;
    }
  }
}

void Core::DetectZeroReplyThread(const Text& html) {
  const int32_t m = FindText(html, gbk::kZeroReplyMarker);
  if (m == -1) return;
  // Count back from the marker over two addresses and two target
  // attributes; a failed search gives -1, which the next search and the
  // cut take in their stride (the cut is then empty).
  const int32_t h1 = FindAddressStartBackward(html, m);
  const int32_t h2 = FindAddressStartBackward(html, h1);
  const int32_t t1 = FindTextBackward(html, gbk::kTargetAttribute, m);
  const int32_t t2 = FindTextBackward(html, gbk::kTargetAttribute, t1);
  // The 2 drops the closing quote and the space before "target". Worked
  // out in 64 bits so no position can overflow it; a negative length gives
  // an empty cut.
  const int64_t length = static_cast<int64_t>(t2) - h2 - 2;
  state_.CandidateUrl =
      AddressFromMarkup(MidText(html, h2, static_cast<int32_t>(std::min<int64_t>(length, INT32_MAX))));
  controls_.RaiseFeedbackEvent(names::kBoardsLabel, 0, 0, true);
}

void Core::PostReply() {
  const Text candidate = state_.CandidateUrl;
  const int32_t items = controls_.ListItemCount(names::kRecordList);
  for (int32_t i = 0; i < items; ++i) {
    if (TextEquals(controls_.ListItemText(names::kRecordList, i), candidate)) {
      SetStatus(Text(gbk::kStatusAlreadyAnswered));
      return;
    }
  }
  const int32_t replies = static_cast<int32_t>(state_.ReplyList.size());
  state_.ReplyCursor += 1;
  if (state_.ReplyCursor > replies || state_.ReplyCursor < 1) state_.ReplyCursor = 1;
  // Without any reply text there is nothing to post: the thread is neither
  // recorded nor opened, so it is found again once replies exist.
  if (replies == 0) return;
  const Text reply = state_.ReplyList[static_cast<std::size_t>(state_.ReplyCursor - 1)];

  SetStatus(Text(gbk::kStatusReplyPrefix) + IntToText(state_.CurrentBoard) +
            Text(gbk::kStatusBoardSuffix) + reply);
  controls_.ListAddItem(names::kRecordList, candidate, 0);
  // A board whose marker had too few links before it gives no address: it
  // is recorded, so the next pass meets the visited check, but nothing is
  // opened, filled or clicked, since the browser would still show the board
  // (or whatever page came before) and the reply would land there.
  if (candidate.empty()) return;
  browser_.NavigateBrowser(candidate);
  WaitForBrowserPage(browser_);
  browser_.Pause(kPauseBeforeFillMs);
  // No reply is ever posted empty by accident: without an editor that
  // took the text (none appeared in the fill's time), the submit stays
  // unpressed. The thread stays in the record and the run goes on.
  if (browser_.FillEditor(Text(kReplyEditorKey), reply, 0, false) != 1) return;
  browser_.Pause(kPauseBeforeSubmitMs);
  browser_.ClickButton(Text(kReplySubmitKey), 0);
  WaitForBrowserPage(browser_);
  browser_.Pause(kPauseAfterReplyMs);
}

void Core::OpenRecordUrl() {
  const int32_t selected = AsInt(controls_.ReadControlProperty(names::kRecordList, prop::kSelection));
  const Text address = controls_.ListItemText(names::kRecordList, selected);
  if (edges_.open_in_browser) edges_.open_in_browser(address);
}

void Core::ForumLogin() { brevane::ForumLogin(controls_, browser_, edges_.login_url); }

void ForumLogin(Controls& controls, BrowserOperations& browser, const Text& login_url) {
  SetDisabled(controls, names::kLoginButton, true);
  WriteStatus(controls, Text(gbk::kStatusLoggingIn));
  browser.NavigateBrowser(login_url);
  WaitForBrowserPage(browser);
  browser.Pause(kPauseAfterLoginPageMs);
  const Text form = browser.ReadFormHtml(Text(kLoginFormKey), 0);
  if (FindText(form, gbk::kCheckedMark) == -1) {
    WriteStatus(controls, Text(gbk::kStatusLoginFailed));
    SetDisabled(controls, names::kLoginButton, false);
    return;
  }
  browser.ClickButton(Text(kLoginButtonKey), 0);
  WaitForBrowserPage(browser);
  WriteStatus(controls, Text(gbk::kStatusLoginSucceeded));
  SetDisabled(controls, names::kLoginButton, false);
  SetDisabled(controls, names::kStartButton, false);
}

}  // namespace brevane
