// A browser made of scripted pages, for tests of the core and the layers
// that drive it. Each address serves a page with its tables, forms, editors
// and buttons; navigations, waits, reads, fills, clicks and pauses are
// recorded with their arguments. Time is virtual: a page's load takes its
// load time on the VirtualClock (user actions scheduled meanwhile run
// nested inside the wait), and Pause is the clock's pause.
//
// The page rules follow the browser contract: reads, fills and clicks see
// the page bound by the last WaitForPage (or the current one when no wait
// came yet); a wait binds whatever the browser shows when it ends, also
// after a nested navigation; an address nobody serves shows an empty page;
// a page slower than the limit is bound as it stands when the limit runs out.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "browser/operations.h"
#include "testing/virtual_clock.h"

namespace brevane::testing {

struct ScriptedPage {
  TextList tables;        // outer HTML of each table, in page order
  TextList forms;         // markup of each form as ReadFormHtml returns it
  int32_t editors = 0;    // editable documents on the page
  int32_t buttons = 0;    // button-like elements on the page
  int64_t load_ms = 0;    // virtual time until the page is complete
  bool completes = true;  // false: the page never finishes loading
  // Where a click on a button leads (a submitted form); empty: nowhere.
  Text click_leads_to;
};

class ScriptedBrowser : public BrowserOperations {
 public:
  enum class Op { kNavigate, kWait, kReadTable, kReadForm, kFill, kClick, kPause };
  struct Call {
    Op op;
    Text address;  // page shown (navigate: the address asked for)
    Text key;      // element key, if any
    Text text;     // text filled, if any
    int64_t number = 0;  // table number, time limit or pause
    int64_t at_ms = 0;   // virtual time when the call began
  };

  explicit ScriptedBrowser(VirtualClock& clock) : clock_(clock) {}

  // The page served at an address (created empty on first use).
  ScriptedPage& Serve(const Text& address) { return pages_[address]; }
  // A board page whose second table is the given markup.
  ScriptedPage& ServeBoard(const Text& address, const Text& table_html, int64_t load_ms = 0);
  // A thread page with an editor and seven buttons.
  ScriptedPage& ServeThread(const Text& address, int64_t load_ms = 0);
  void Remove(const Text& address) { pages_.erase(address); }

  void set_window_handle(WindowHandle handle) { window_handle_ = handle; }
  // With recording off the calls still act but are not kept.
  void set_recording(bool on) { recording_ = on; }
  void ClearCalls() { calls_.clear(); }

  const std::vector<Call>& calls() const { return calls_; }
  std::vector<Call> CallsOf(Op op) const;
  std::vector<Text> Navigations() const;
  const Text& shown() const { return shown_; }
  const std::optional<Text>& bound() const { return bound_; }
  // Handles WaitForPage was given, in order.
  const std::vector<WindowHandle>& waited_handles() const { return waited_handles_; }

  // BrowserOperations
  void NavigateBrowser(const Text& address) override;
  WindowHandle BrowserWindowHandle() override { return window_handle_; }
  int32_t WaitForPage(WindowHandle window, int32_t limit_ms = 0,
                      bool initialise_com = false) override;
  Text ReadTableHtml(int32_t n) override;
  Text ReadFormHtml(const Text& key, int32_t skip = 0) override;
  int32_t FillEditor(const Text& key, const Text& text, int32_t skip = 0,
                     bool focus_first = false) override;
  int32_t ClickButton(const Text& key, int32_t skip = 0) override;
  int32_t Pause(int32_t milliseconds) override;

 private:
  // The bound page; an empty page when nothing is served there.
  const ScriptedPage& BoundPage();
  void Record(Call call);

  VirtualClock& clock_;
  std::map<Text, ScriptedPage> pages_;
  Text shown_;
  std::optional<Text> bound_;
  WindowHandle window_handle_ = 1;
  bool recording_ = true;
  std::vector<Call> calls_;
  std::vector<WindowHandle> waited_handles_;
};

}  // namespace brevane::testing
