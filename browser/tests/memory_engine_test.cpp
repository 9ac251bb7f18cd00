// The in-memory engine itself: it must parse and serialise the way the
// browser operations and the core rely on, or every other test proves
// nothing.
#include <random>

#include "browser/tests/page_fixture.h"
#include "testing/memory/html_parser.h"

namespace brevane::browser_testing {
namespace {

using MemoryEngineTest = PageTest;

using memory::Element;
using memory::ElementPtr;

Text Outer(const memory::DocumentPtr& document, std::string_view id) {
  ElementPtr element = document->ElementById(id);
  return element ? element->OuterHtml() : Text("<missing>");
}

TEST_F(MemoryEngineTest, SerialisesTheWayTheInternetExplorerEngineDoes) {
  auto page = engine.Show(
      "<div id=d><input type=checkbox checked name=c><em>0</em>"
      "<a href='http://x/t?id=1' target=_blank class=\"t a\">A &amp; B</a></div>");
  EXPECT_EQ(Outer(page, "d"),
            "<DIV id=d><INPUT type=checkbox CHECKED name=c><EM>0</EM>"
            "<A href=\"http://x/t?id=1\" target=_blank class=\"t a\">A &amp; B</A></DIV>");
}

TEST_F(MemoryEngineTest, ParsesTolerantly) {
  auto page = engine.Show(
      "<!DOCTYPE html><!-- note --><table id=t><tr><td>1<td>2<tr><td>3</table>"
      "<p id=p>one<p id=q>two</span></p><ul id=u><li>a<li>b</ul>"
      "<img id=i src=x.png></img><br/><select id=s><option>a<option selected>b</select>"
      "<div id=open><b>never closed");
  EXPECT_EQ(Outer(page, "t"), "<TABLE id=t><TBODY><TR><TD>1</TD><TD>2</TD></TR><TR><TD>3</TD></TR></TBODY></TABLE>");
  EXPECT_EQ(Outer(page, "p"), "<P id=p>one</P>");
  EXPECT_EQ(Outer(page, "q"), "<P id=q>two</P>");
  EXPECT_EQ(Outer(page, "u"), "<UL id=u><LI>a</LI><LI>b</LI></UL>");
  EXPECT_EQ(Outer(page, "i"), "<IMG id=i src=x.png>");
  EXPECT_EQ(Outer(page, "s"), "<SELECT id=s><OPTION>a</OPTION><OPTION SELECTED>b</OPTION></SELECT>");
  EXPECT_EQ(Outer(page, "open"), "<DIV id=open><B>never closed</B></DIV>");
}

TEST_F(MemoryEngineTest, SurvivesHostileMarkup) {
  std::mt19937 random(7);
  const std::string alphabet = "<>/=\"' !-abcdiframetblinput&;#x\x81\xA3\xB1\n";
  for (int round = 0; round < 300; ++round) {
    std::string html;
    int length = static_cast<int>(random() % 200);
    for (int i = 0; i < length; ++i) html.push_back(alphabet[random() % alphabet.size()]);
    auto page = engine.Show(html);
    ASSERT_NE(page->body(), nullptr);
    page->body()->OuterHtml();
    page->body()->InnerText();
  }
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<div>";
  auto page = engine.Show(deep);
  EXPECT_GT(page->AllElements().size(), 1000u);
}

TEST_F(MemoryEngineTest, AnswersMembersWithoutRegardToCase) {
  auto page = ShowAndBind("<title>T</title><p id=x class=c>Hello <b>world</b><br>again</p>");
  DomRef document = binding.BoundDocument;
  DomRef body = GetObject(document, "BODY");
  ASSERT_NE(body, nullptr);
  DomRef paragraph = Call(document, "GetElementByID", {Text("x")}).ToObject();
  EXPECT_EQ(GetText(paragraph, "innertext"), "Hello world\r\nagain");
  EXPECT_EQ(GetText(paragraph, "TagName"), "P");
  EXPECT_EQ(Call(paragraph, "getAttribute", {Text("className")}).ToText(), "c");
  EXPECT_EQ(GetText(document, "Title"), "T");
  EXPECT_EQ(GetText(document, "readyState"), "complete");
  // A member the element does not have fails both ways.
  engine.ResetCalls();
  EXPECT_TRUE(Get(paragraph, "href").IsEmpty());
  EXPECT_EQ(LastDomError(), dom_error::kUnknownName);
  EXPECT_EQ(engine.calls(), 2);
}

TEST_F(MemoryEngineTest, SetAttributeInnerHtmlParsesTheMarkup) {
  auto page = ShowAndBind("<div id=d>old</div>");
  DomRef div = Call(binding.BoundDocument, "getElementById", {Text("d")}).ToObject();
  EXPECT_TRUE(Put(div, "setAttribute", Variant("innerHTML"), Variant("a<b>bold</b>")));
  EXPECT_EQ(Outer(page, "d"), "<DIV id=d>a<B>bold</B></DIV>");
  EXPECT_TRUE(Put(div, "title", Variant("tip")));
  EXPECT_EQ(page->ElementById("d")->Attribute("title"), "tip");
}

// The control's own behaviour, which the COM double serves (raw_ie), by
// document mode. Below IE9 mode setAttribute and getAttribute work on the
// property of that name; IE8 mode takes "class" as className and className
// and style themselves as content attributes; IE9 mode works on content
// attributes (Wine's dlls/mshtml/htmlelem.c, HTMLElement_setAttribute and
// HTMLElement_getAttribute; dlls/mshtml/tests/documentmode.js). IE8 mode's
// markup keeps href as written ([MS-HTML401E] 2.3.1.30 href). A button
// without a type is a push button in IE7 mode ([MS-HTML401] 2.1.40, V0073).
TEST_F(MemoryEngineTest, TheDoubleServesTheControlsOwnRulesByMode) {
  engine.state()->raw_ie = true;
  struct Row {
    const char* mode;  // X-UA-Compatible; empty for IE7 mode
    const char* get_class;      // getAttribute("class")
    const char* get_classname;  // getAttribute("className")
    const char* after_set;      // the div's inner HTML after setAttribute("innerHTML", "<b>x</b>")
    const char* link;           // the link's markup
    const char* button_type;
  };
  for (const Row& row : {Row{"", "(null)", "t", "<B>x</B>", "<A id=a href=\"http://bbs/f/t.htm?a=1\">A</A>", "button"},
                         Row{"IE=8", "t", "(null)", "<B>x</B>", "<A id=a href=\"t.htm?a=1\">A</A>", "submit"},
                         Row{"IE=9", "t", "(null)", "old", "<a id=\"a\" href=\"t.htm?a=1\">A</a>", "submit"}}) {
    const std::string meta =
        *row.mode ? std::string("<meta http-equiv=X-UA-Compatible content=\"") + row.mode + "\">" : "";
    engine.Serve("http://bbs/f/p.htm", "<html><head>" + meta + "</head><body><div id=d class=t>old</div>"
                                       "<a id=a href=\"t.htm?a=1\">A</a><button id=b>B</button></body></html>");
    memory::DocumentPtr page = engine.ShowAddress("http://bbs/f/p.htm");
    DomRef div = Call(DomRef(page), "getElementById", {Text("d")}).ToObject();
    auto shown = [](const Variant& v) { return v.IsEmpty() ? Text("(null)") : v.ToText(); };
    EXPECT_EQ(shown(Call(div, "getAttribute", {Text("class")})), row.get_class) << row.mode;
    EXPECT_EQ(shown(Call(div, "getAttribute", {Text("className")})), row.get_classname) << row.mode;
    Call(div, "setAttribute", {Text("innerHTML"), Text("<b>x</b>")});
    EXPECT_EQ(memory::AsciiUpper(page->ElementById("d")->InnerHtml()), memory::AsciiUpper(row.after_set)) << row.mode;
    EXPECT_EQ(Outer(page, "a"), row.link) << row.mode;
    EXPECT_EQ(page->ElementById("b")->Type(), row.button_type) << row.mode;
  }
}

TEST_F(MemoryEngineTest, FormListsItsControlsWithoutImageInputs) {
  auto page = ShowAndBind(
      "<form id=f><p>Name <input name=n></p><input type=image src=go.png>"
      "<textarea name=t>x</textarea><button>b</button></form>");
  DomRef form = Call(binding.BoundDocument, "getElementById", {Text("f")}).ToObject();
  EXPECT_EQ(GetInteger(form, "length"), 3);
  EXPECT_EQ(GetText(Call(form, "item", {int32_t{1}}).ToObject(), "outerHTML"), "<TEXTAREA name=t>x</TEXTAREA>");
  EXPECT_TRUE(Call(form, "item", {int32_t{3}}).IsEmpty());
  EXPECT_EQ(GetText(Call(form, "item", {int32_t{2}}).ToObject(), "type"), "submit");

  // form= binds a control to the form of that id, wherever either stands.
  ShowAndBind("<input id=a form=f><form id=f><input id=away form=g><input id=in></form><input id=b form=f>");
  form = Call(binding.BoundDocument, "getElementById", {Text("f")}).ToObject();
  EXPECT_EQ(GetInteger(form, "length"), 3);
  EXPECT_EQ(GetText(Call(form, "item", {int32_t{1}}).ToObject(), "id"), "in");
}

TEST_F(MemoryEngineTest, ClicksAreRecordedAndSubmitsObserved) {
  auto page = ShowAndBind("<form id=f><input id=s type=submit><input id=b type=button></form>");
  Call(Call(binding.BoundDocument, "getElementById", {Text("b")}).ToObject(), "click");
  EXPECT_TRUE(engine.submissions().empty());
  Call(Call(binding.BoundDocument, "getElementById", {Text("s")}).ToObject(), "click");
  ASSERT_EQ(engine.submissions().size(), 1u);
  EXPECT_EQ(engine.submissions()[0]->Attribute("id"), "f");
  EXPECT_EQ(ClickedIds(), (std::vector<Text>{"b", "s"}));
}

TEST_F(MemoryEngineTest, FramesReachableOrNot) {
  engine.Serve("open.html", "<p>open</p>");
  engine.Serve("closed.html", "<p>closed</p>", {.reach = memory::Reach::kUnreachable});
  auto page = engine.Show("<iframe src=open.html></iframe><iframe src=closed.html></iframe><iframe></iframe>");
  auto frames = page->FrameElements();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_NE(engine.FrameDocument(frames[0]->content_window()), nullptr);
  EXPECT_EQ(engine.FrameDocument(frames[1]->content_window()), nullptr);
  EXPECT_TRUE(Get(frames[1]->content_window(), "document").IsEmpty());
  // A frame without an address holds a blank, untitled, complete document.
  auto blank = page->Frame(2);
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(blank->title(), "");
  EXPECT_EQ(blank->body()->InnerText(), "");
}

TEST_F(MemoryEngineTest, DisabledMembersFailLikeAMissingFeature) {
  ShowAndBind("<p class=c>x</p>");
  engine.DisableMember("getElementsByClassName");
  EXPECT_TRUE(Call(binding.BoundDocument, "getElementsByClassName", {Text("c")}).IsEmpty());
  EXPECT_EQ(LastDomError(), dom_error::kUnknownName);
}

}  // namespace
}  // namespace brevane::browser_testing

namespace brevane::browser_testing {
namespace {

// The control as Internet Explorer documents it: Navigate fires
// BeforeNavigate2 and the control turns busy and "loading" while the old
// document stays, complete; the new document's arrival fires
// NavigateComplete2 (interactive), its completion DocumentComplete
// (complete, idle). The engine reads the old page as loading meanwhile.
TEST_F(MemoryEngineTest, TheControlReportsALatePageInItsDocumentedOrder) {
  engine.Serve("http://bbs/slow.htm", "<title>slow</title>", {.arrive_ms = 1500});
  memory::MemoryBrowser control(engine);
  control.ArriveOn(clock);
  memory::DocumentPtr board = engine.Show("<title>board</title>");
  control.Navigate("bbs/slow.htm");
  const memory::EngineState& state = *engine.state();
  struct Moment {
    int64_t at_ms;
    bool busy;
    int32_t ready_state;
    const char* shown;       // title of the document the control shows
    const char* engine_reads;  // its readyState as the engine reads it
    std::size_t events;
  };
  for (const Moment& m : {Moment{0, true, 1, "board", "loading", 1}, Moment{1499, true, 1, "board", "loading", 1},
                          Moment{1500, false, 4, "slow", "complete", 3}}) {
    clock.Advance(m.at_ms - clock.now());
    EXPECT_EQ(state.busy, m.busy) << m.at_ms;
    EXPECT_EQ(state.control_ready_state, m.ready_state) << m.at_ms;
    EXPECT_EQ(engine.shown()->title(), m.shown) << m.at_ms;
    EXPECT_EQ(GetText(engine.TopDocument(engine.windows().document, 0, nullptr), "readyState"), m.engine_reads);
    EXPECT_EQ(state.control_events.size(), m.events) << m.at_ms;
  }
  EXPECT_EQ(board->ready_state(), "complete");  // the old page itself never changed
  EXPECT_EQ(state.control_events, (std::vector<std::string>{"BeforeNavigate2 http://bbs/slow.htm",
                                                             "NavigateComplete2 http://bbs/slow.htm",
                                                             "DocumentComplete http://bbs/slow.htm"}));
}

// A page whose subresources come after it: parsed and shown on arrival,
// "interactive" until the last of them has come, then complete with its
// DocumentComplete and its load event, once.
TEST_F(MemoryEngineTest, APageCompletesWhenItsSubresourcesHaveCome) {
  engine.Serve("http://bbs/t.htm", "<title>t</title>", {.arrive_ms = 150, .complete_ms = 600});
  memory::MemoryBrowser control(engine);
  control.ArriveOn(clock);
  std::vector<std::string> loads;
  control.on_load = [&](const Text& address, const memory::DocumentPtr& page) {
    loads.push_back(address + " " + page->title() + " " + page->ready_state());
  };
  engine.Show("<title>board</title>");
  control.Navigate("http://bbs/t.htm");
  clock.Advance(749);
  EXPECT_EQ(engine.shown()->title(), "t");
  EXPECT_EQ(engine.shown()->ready_state(), "interactive");
  EXPECT_EQ(engine.state()->control_ready_state, 3);
  EXPECT_TRUE(loads.empty());
  clock.Advance(1);
  EXPECT_EQ(engine.state()->control_events.back(), "DocumentComplete http://bbs/t.htm");
  EXPECT_EQ(loads, (std::vector<std::string>{"http://bbs/t.htm t complete"}));
}

}  // namespace
}  // namespace brevane::browser_testing
