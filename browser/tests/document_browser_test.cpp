// The eight operations as the core calls them, over the in-memory engine.
#include "browser/document_browser.h"
#include "browser/page_operations.h"
#include "browser/tests/page_fixture.h"

namespace brevane::browser_testing {
namespace {

class DocumentBrowserTest : public PageTest {
 protected:
  memory::MemoryBrowser control{engine};
  DocumentBrowser browser{control, engine, clock, binding};
};

TEST_F(DocumentBrowserTest, PostsAReplyTheWayTheCoreDoes) {
  engine.Serve("http://bbs/board",
               "<title>Board</title><table id=nav></table>"
               "<table><tr><td><a href='http://bbs/t1' target=_blank>t1</a><em>3</em>"
               "<tr><td><a href='http://bbs/t2' target=_blank>t2</a><em>0</em></table>");
  engine.Serve("http://bbs/editor", "", {.design_mode = true});
  engine.Serve("http://bbs/t2",
               "<title>Thread</title><form><iframe src='http://bbs/editor'></iframe>"
               "<input type=button value=B><input type=button value=I><input type=button value=U>"
               "<input type=button value=Link><input type=button value=Image><input type=button value=Face>"
               "<input type=submit id=post value=Reply></form>");

  browser.NavigateBrowser("http://bbs/board");
  EXPECT_EQ(browser.WaitForPage(browser.BrowserWindowHandle(), 0, true), 1);
  EXPECT_NE(FindText(browser.ReadTableHtml(2), "<EM>0</EM>"), -1);

  browser.NavigateBrowser("http://bbs/t2");
  // Before the next wait the reads still see the board.
  EXPECT_NE(FindText(browser.ReadTableHtml(2), "t2"), -1);
  EXPECT_EQ(browser.WaitForPage(browser.BrowserWindowHandle(), 0, true), 1);
  EXPECT_EQ(browser.Pause(100), 1);
  EXPECT_EQ(browser.FillEditor("1", "me <b>first</b>"), 1);
  EXPECT_EQ(browser.ClickButton("7"), 1);
  ASSERT_EQ(engine.clicks().size(), 1u);
  EXPECT_EQ(engine.clicks()[0]->Attribute("id"), "post");
  ASSERT_EQ(engine.submissions().size(), 1u);
  EXPECT_EQ(engine.shown()->Frame(0)->body()->InnerHtml(), "me <B>first</B>");
  EXPECT_EQ(control.navigations(), (TextList{"http://bbs/board", "http://bbs/t2"}));
  // The thread page has a frame, so no settling pause after the load; the
  // fill confirms for its settle time that the editor keeps the text.
  EXPECT_EQ(clock.now(), 200 + editor_fill::kSettleMs);
}

// A fill on a thread page whose editor a script builds, rebuilds or fills
// on its own: what the fill gives, how long it takes, and whether the
// editor holds the reply when it returns. Times are from the fill's start.
TEST_F(DocumentBrowserTest, FillWaitsForALateEditorAndKeepsTheText) {
  const struct {
    const char* what;
    int frame_at;        // the script adds the editor frame (-1: never, 0: there from the start)
    int own_content_at;  // the editor writes its first content (-1: never)
    int rebuild_at;      // the editor builds its frame anew (-1: never)
    int32_t result;
    int64_t took_ms;
  } cases[] = {
      {"editor there", 0, -1, -1, 1, editor_fill::kSettleMs},
      {"no editor", -1, -1, -1, 0, editor_fill::kWaitLimitMs},
      {"editor after the load", 700, -1, -1, 1, 700 + editor_fill::kSettleMs},
      {"editor writes its content after the fill", 700, 850, -1, 1, 850 + editor_fill::kSettleMs},
      {"editor there, writes its content later", 0, 120, -1, 1, 150 + editor_fill::kSettleMs},
      {"editor rebuilds its frame", 0, -1, 100, 1, 100 + editor_fill::kSettleMs},
      {"editor too late", editor_fill::kWaitLimitMs + 500, -1, -1, 0, editor_fill::kWaitLimitMs},
  };
  const Text reply = "me <b>first</b>";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    memory::DocumentPtr page = engine.Show("<title>Thread</title><div id=box></div><input type=submit id=post>");
    auto add_frame = [page] { page->ElementById("box")->SetInnerHtml("<iframe></iframe>"); };
    if (c.frame_at == 0) add_frame();
    ASSERT_EQ(browser.WaitForPage(browser.BrowserWindowHandle(), 0, true), 1);
    const int64_t start = clock.now();
    if (c.frame_at > 0) clock.At(start + c.frame_at, add_frame);
    if (c.own_content_at >= 0)
      clock.At(start + c.own_content_at, [page] { page->Frame(0)->body()->SetInnerHtml("<p><br></p>"); });
    if (c.rebuild_at >= 0) clock.At(start + c.rebuild_at, add_frame);
    EXPECT_EQ(browser.FillEditor("1", reply), c.result);
    EXPECT_EQ(clock.now() - start, c.took_ms);
    memory::DocumentPtr editor = page->Frame(0);
    EXPECT_EQ(editor && editor->body()->InnerHtml() == "me <B>first</B>", c.result == 1);
    clock.Advance(editor_fill::kWaitLimitMs + 1000);  // whatever the script had left to do
  }
}

TEST_F(DocumentBrowserTest, NavigationLoadsOverVirtualTime) {
  engine.Serve("http://bbs/slow", "<title>slow</title><table id=t></table>");
  control.LoadOver(clock, 1300);
  Text seen;
  control.on_navigate = [&](const Text& address, const memory::DocumentPtr& page) { seen = address; };
  browser.NavigateBrowser("http://bbs/slow");
  EXPECT_EQ(seen, "http://bbs/slow");
  EXPECT_EQ(GetText(engine.shown(), "readyState"), "loading");
  EXPECT_EQ(browser.WaitForPage(browser.BrowserWindowHandle(), 0, true), 1);
  EXPECT_EQ(clock.now(), 1600);  // polls at 0, 500, 1000, 1500, then settles
  EXPECT_EQ(browser.ReadTableHtml(1), "<TABLE id=t></TABLE>");
}

TEST_F(DocumentBrowserTest, PauseLetsScheduledHandlersRunInside) {
  bool stop_clicked = false;
  clock.At(400, [&] { stop_clicked = true; });
  EXPECT_EQ(browser.Pause(1000), 1);
  EXPECT_TRUE(stop_clicked);
  EXPECT_EQ(clock.now(), 1000);
  EXPECT_EQ(browser.Pause(0), 1);
  EXPECT_EQ(clock.now(), 1000);
}

TEST_F(DocumentBrowserTest, MissingControlGivesEmptyResults) {
  control.set_handle(0);
  EXPECT_EQ(browser.BrowserWindowHandle(), 0);
  EXPECT_EQ(browser.WaitForPage(0, 1000, true), 0);
  EXPECT_EQ(browser.ReadTableHtml(2), "");
  EXPECT_EQ(browser.ReadFormHtml("3"), "<FORM>\r\n</FORM>");
  EXPECT_EQ(browser.FillEditor("1", "x"), 0);
  EXPECT_EQ(browser.ClickButton("7"), 0);
}

TEST(DocumentBrowserDefaultsTest, SharesTheProcessWideBinding) {
  memory::MemoryEngine engine;
  memory::MemoryBrowser control(engine);
  testing::VirtualClock clock;
  DocumentBrowser first(control, engine, clock);
  DocumentBrowser second(control, engine, clock);
  EXPECT_EQ(&first.binding(), &ProcessDocumentBinding());
  engine.Show("<table id=t></table>");
  EXPECT_EQ(first.WaitForPage(control.Handle(), 0, false), 1);
  EXPECT_EQ(second.ReadTableHtml(1), "<TABLE id=t></TABLE>");
  ProcessDocumentBinding().Clear();
}

}  // namespace
}  // namespace brevane::browser_testing
