// Pages that work against the program: frames slow to answer, controls of
// megabytes, an advertiser's frame holding a thread page of the forum. No
// operation outlives its limit by more than one call, builds an answer past
// the cap, or writes or clicks in a document outside the top page's site.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "browser/document_browser.h"
#include "browser/late_binding.h"
#include "browser/limits.h"
#include "browser/load_wait.h"
#include "testing/memory/memory_engine.h"
#include "testing/virtual_clock.h"

namespace brevane {
namespace {

Text Repeat(const Text& part, int times) {
  Text out;
  for (int i = 0; i < times; ++i) out += part;
  return out;
}

constexpr int32_t kSlowCallMs = 1900;      // just under the call time-out
constexpr int32_t kBigTitle = 512 * 1024;  // characters of one control's title
constexpr int64_t kCapReads = static_cast<int64_t>(kMaxAnswerBytes / kBigTitle) + 1;

TEST(HostilePageTest, NoPageStretchesAnOperationOrChoosesWhereItActs) {
  const Text frames = Repeat("<iframe src=/text></iframe>", 500);
  const Text big = Repeat("<input type=button form=f title=" + Text(kBigTitle, 'x') + ">", 24);
  // The forum on 127.0.0.1, the advertiser on 127.0.0.2, whose frame holds
  // another thread of the forum; the counting reaches its editor and
  // buttons before the page's own.
  const Text thread =
      "<title>own</title><input type=button><input type=button><iframe src=http://127.0.0.2/ad></iframe>"
      "<form><iframe src=/editor></iframe><input type=submit></form>";
  const Text victim = "<iframe src=http://127.0.0.1/victim></iframe>";
  using Act = std::function<int64_t(DocumentBrowser&, WindowHandle)>;
  const Act wait = [](DocumentBrowser& b, WindowHandle w) { return b.WaitForPage(w, 0); };
  const Act table = [](DocumentBrowser& b, WindowHandle) { return static_cast<int64_t>(b.ReadTableHtml(1).size()); };
  const struct {
    const char* what;
    Text top, ad;
    int32_t mode;
    std::string slow;  // the member that costs kSlowCallMs ("*": every one), or is counted
    Act act;
    int64_t result;
    int64_t most_ms;     // virtual time the operation may take
    int64_t most_reads;  // calls of the slow member it may make
  } rows[] = {
      {"load wait, 500 complete frames slow to give their text", frames, "", 7, "innertext", wait, 0,
       load_wait::kDefaultLimitMs + kSlowCallMs, 1000},
      {"load wait, every call of the frame walk slow", frames, "", 7, "*", wait, 0,
       load_wait::kDefaultLimitMs + kSlowCallMs, 1000000},
      {"table read from the nodes, every call slow", "<table>" + Repeat("<tr><td class=c>c</td></tr>", 2000),
       "", 9, "*", table, 0, kReadLimitMs + kSlowCallMs, 1000000},
      // Large controls bound to a small form by form=; a table written from
      // its nodes (its four elements, then the controls).
      {"form read past the answer cap", "<form id=f></form>" + big, "", 7, "outerhtml",
       [](DocumentBrowser& b, WindowHandle) { return static_cast<int64_t>(b.ReadFormHtml("f").size()); }, 0, 0,
       kCapReads},
      {"table read from the nodes past the answer cap", "<table><tr><td>" + big, "", 9, "attributes", table, 0,
       0, kCapReads + 4},
      {"fill 1 landing in a thread page inside an ad", thread, victim, 7, "",
       [](DocumentBrowser& b, WindowHandle) { return b.FillEditor("1", "reply"); }, 0, 0, 0},
      {"click 7 landing in a thread page inside an ad", thread, victim, 7, "",
       [](DocumentBrowser& b, WindowHandle) { return b.ClickButton("7"); }, 0, 0, 0},
      {"click 4 landing on the ad's own button", thread, "<input type=button>", 7, "",
       [](DocumentBrowser& b, WindowHandle) { return b.ClickButton("4"); }, 0, 0, 0},
  };
  for (const auto& row : rows) {
    memory::MemoryEngine engine;
    testing::VirtualClock clock;
    DocumentBinding binding;
    memory::MemoryBrowser control(engine);
    DocumentBrowser browser(control, engine, clock, binding);
    engine.Serve("http://127.0.0.1/text", "<p>text</p>");
    engine.Serve("http://127.0.0.1/editor", "", {.design_mode = true});
    engine.Serve("http://127.0.0.1/victim", "<title>victim</title><form><iframe src=/editor></iframe>" +
                                                Repeat("<input type=button>", 5) + "<input type=submit></form>");
    engine.Serve("http://127.0.0.2/ad", "<title>ad</title>" + row.ad);
    engine.Serve("http://127.0.0.1/top", row.top, {.header_mode = row.mode});
    engine.ShowAddress("http://127.0.0.1/top");
    browser.WaitForPage(control.Handle(), 0);
    int64_t reads = 0;
    engine.state()->on_call = [&](const std::string& member) {
      if (row.slow != "*" && member != row.slow) return;
      ++reads;
      if (row.most_ms > 0) clock.Advance(kSlowCallMs);
    };
    const int64_t start = clock.now();
    EXPECT_EQ(row.act(browser, control.Handle()), row.result) << row.what;
    EXPECT_LE(clock.now() - start, row.most_ms) << row.what;
    EXPECT_LE(reads, row.most_reads) << row.what;
    EXPECT_TRUE(engine.clicks().empty()) << row.what;
    for (const DomRef& document : binding.DocumentList) {
      EXPECT_NE(GetText(GetObject(document, "body"), "innerHTML"), "reply") << row.what;
    }
  }
}

}  // namespace
}  // namespace brevane
