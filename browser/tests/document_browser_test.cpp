// The eight operations as the core calls them, over the in-memory engine.
#include "browser/document_browser.h"
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
  EXPECT_EQ(clock.now(), 200);  // the thread page has a frame, so no settling pause
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
