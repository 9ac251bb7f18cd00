// Pages that work against the program: frames slow to answer, markup of
// many megabytes, an advertising frame of another site that holds a thread
// page of the forum. Each operation ends within its limit plus one call,
// builds no answer past the answer cap, and writes or clicks nothing in a
// document of another site than the top page's.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "browser/document_browser.h"
#include "browser/late_binding.h"
#include "browser/limits.h"
#include "browser/load_wait.h"
#include "browser/memory/memory_engine.h"
#include "browser/page_operations.h"
#include "testing/virtual_clock.h"

namespace brevane {
namespace {

struct HostilePage {
  memory::MemoryEngine engine;
  testing::VirtualClock clock;
  DocumentBinding binding;
  memory::MemoryBrowser control{engine};
  DocumentBrowser browser{control, engine, clock, binding};
  int64_t reads = 0;  // answers of the counted member

  // Every call of member ("*": of any member) costs cost_ms on the clock
  // and is counted.
  void Cost(std::string member, int32_t cost_ms) {
    engine.state()->on_call = [this, member, cost_ms](const std::string& called) {
      if (member != "*" && called != member) return;
      ++reads;
      clock.Advance(cost_ms);
    };
  }
  void Show(const Text& address, const Text& html, memory::PageOptions options = {}) {
    engine.Serve(address, html, options);
    engine.ShowAddress(address);
  }
  bool Clicked() const { return !engine.clicks().empty(); }
};

Text Repeat(const Text& part, int times) {
  Text out;
  for (int i = 0; i < times; ++i) out += part;
  return out;
}

// The forum on 127.0.0.1, the advertiser on 127.0.0.2; the ad holds another
// thread of the forum, whose editor and buttons the counting reaches first.
void ShowThreadWithAd(HostilePage& page, const Text& ad_html) {
  page.engine.Serve("http://127.0.0.1/editor", "", {.design_mode = true});
  page.engine.Serve("http://127.0.0.1/thread?victim",
                    "<title>victim</title><form action=/post?thread=victim>"
                    "<iframe src=http://127.0.0.1/editor></iframe>" +
                        Repeat("<input type=button>", 5) + "<input type=submit id=victim></form>");
  page.engine.Serve("http://127.0.0.2/ad", "<title>ad</title>" + ad_html);
  page.Show("http://127.0.0.1/thread?own",
            "<title>own</title><input type=button><input type=button>"
            "<iframe src=http://127.0.0.2/ad></iframe>"
            "<form action=/post?thread=own><iframe src=http://127.0.0.1/editor></iframe>"
            "<input type=submit id=own></form>");
}

constexpr int32_t kSlowCallMs = 1900;                // just under the call time-out
constexpr int32_t kBigTitle = 512 * 1024;            // characters of one control's title
constexpr int kBigControls = 24;                     // together past the answer cap

TEST(HostilePageTest, NoPageStretchesAnOperationOrChoosesWhereItActs) {
  const Text frames500 = Repeat("<iframe src=http://127.0.0.1/text></iframe>", 500);
  const Text big_buttons = Repeat("<input type=button title=" + Text(kBigTitle, 'x') + ">", kBigControls);
  const Text bound_buttons =
      Repeat("<input type=button form=f title=" + Text(kBigTitle, 'x') + ">", kBigControls);
  const struct {
    const char* what;
    std::function<void(HostilePage&)> set_up;
    std::function<int64_t(HostilePage&)> act;
    int64_t result;
    int64_t most_ms;                              // virtual time the operation may take
    std::function<bool(HostilePage&)> unharmed;  // what else must hold afterwards
  } rows[] = {
      // The frame phase of the load wait: complete frames whose text is
      // slow to come, each checked against the limit.
      {"load wait, 500 complete frames slow to give their text",
       [&](HostilePage& p) {
         p.engine.Serve("http://127.0.0.1/text", "<p>" + Text(1000, 't') + "</p>");
         p.Show("http://127.0.0.1/board", "<title>board</title>" + frames500);
         p.Cost("innertext", kSlowCallMs);
       },
       [](HostilePage& p) { return p.browser.WaitForPage(p.control.Handle(), 0); }, 0,
       load_wait::kDefaultLimitMs + kSlowCallMs, [](HostilePage&) { return true; }},
      // The bind's own walk over the frames, every call slow.
      {"load wait, every call of the frame walk slow",
       [&](HostilePage& p) {
         p.engine.Serve("http://127.0.0.1/text", "<p>text</p>");
         p.Show("http://127.0.0.1/board", "<title>board</title>" + frames500);
         p.Cost("*", kSlowCallMs);
       },
       [](HostilePage& p) { return p.browser.WaitForPage(p.control.Handle(), 0); }, 0,
       load_wait::kDefaultLimitMs + kSlowCallMs, [](HostilePage&) { return true; }},
      // A table the program writes from its nodes (IE9 mode) is read call by
      // call; each call is checked against the read's limit.
      {"table read from the nodes, every call slow",
       [&](HostilePage& p) {
         p.Show("http://127.0.0.1/board", "<table>" + Repeat("<tr><td class=c>cell</td></tr>", 2000) + "</table>",
                {.header_mode = 9});
         p.browser.WaitForPage(p.control.Handle(), 0);
         p.Cost("*", kSlowCallMs);
       },
       [](HostilePage& p) { return static_cast<int64_t>(p.browser.ReadTableHtml(1).size()); }, 0,
       kReadLimitMs + kSlowCallMs, [](HostilePage&) { return true; }},
      // Controls of millions of characters, bound to a small form by form=:
      // the form read stops at the cap.
      {"form read past the answer cap",
       [&](HostilePage& p) {
         p.Show("http://127.0.0.1/post", "<form id=f></form>" + bound_buttons);
         p.browser.WaitForPage(p.control.Handle(), 0);
         p.Cost("outerhtml", 0);
       },
       [](HostilePage& p) { return static_cast<int64_t>(p.browser.ReadFormHtml("f").size()); }, 0, 0,
       [](HostilePage& p) { return p.reads <= static_cast<int64_t>(kMaxAnswerBytes / kBigTitle) + 1; }},
      {"table read from the nodes past the answer cap",
       [&](HostilePage& p) {
         p.Show("http://127.0.0.1/board", "<table><tr><td>" + big_buttons + "</table>", {.header_mode = 9});
         p.browser.WaitForPage(p.control.Handle(), 0);
         p.Cost("attributes", 0);
       },
       [](HostilePage& p) { return static_cast<int64_t>(p.browser.ReadTableHtml(1).size()); }, 0, 0,
       // The table, its body, row and cell, then the buttons up to the cap.
       [](HostilePage& p) { return p.reads <= static_cast<int64_t>(kMaxAnswerBytes / kBigTitle) + 5; }},
      // The counting reaches into the ad's nested thread page; nothing is
      // written or clicked there, and the fill reports failure so nothing is
      // posted.
      {"fill 1 landing in a thread page inside an ad",
       [](HostilePage& p) {
         ShowThreadWithAd(p, "<iframe src=http://127.0.0.1/thread?victim></iframe>");
         p.browser.WaitForPage(p.control.Handle(), 0);
       },
       [](HostilePage& p) { return p.browser.FillEditor("1", "reply"); }, 0, editor_fill::kWaitLimitMs,
       [](HostilePage& p) {
         for (const DomRef& document : p.binding.DocumentList) {
           if (Get(GetObject(document, "body"), "innerHTML").ToText() == "reply") return false;
         }
         return true;
       }},
      {"click 7 landing in a thread page inside an ad",
       [](HostilePage& p) {
         ShowThreadWithAd(p, "<iframe src=http://127.0.0.1/thread?victim></iframe>");
         p.browser.WaitForPage(p.control.Handle(), 0);
       },
       [](HostilePage& p) { return p.browser.ClickButton("7"); }, 0, 0,
       [](HostilePage& p) { return !p.Clicked(); }},
      {"click 4 landing on the ad's own button",
       [](HostilePage& p) {
         ShowThreadWithAd(p, "<input type=button id=ad>");
         p.browser.WaitForPage(p.control.Handle(), 0);
       },
       [](HostilePage& p) { return p.browser.ClickButton("4"); }, 0, 0,
       [](HostilePage& p) { return !p.Clicked(); }},
      // The top page's own editor and button, on the same site, still work.
      {"click on the top page's own site",
       [](HostilePage& p) {
         ShowThreadWithAd(p, "<input type=button id=ad>");
         p.browser.WaitForPage(p.control.Handle(), 0);
       },
       [](HostilePage& p) { return p.browser.ClickButton("id==own"); }, 1, 0,
       [](HostilePage& p) { return p.Clicked(); }},
  };
  for (const auto& row : rows) {
    HostilePage page;
    row.set_up(page);
    const int64_t start = page.clock.now();
    EXPECT_EQ(row.act(page), row.result) << row.what;
    const int64_t took = page.clock.now() - start;
    EXPECT_LE(took, row.most_ms) << row.what << ": took " << took << " ms virtual";
    EXPECT_TRUE(row.unharmed(page)) << row.what << ", " << page.reads << " counted calls";
  }
}

}  // namespace
}  // namespace brevane
