// How keys count tables, forms and buttons across the documents of a page.
#include "browser/page_operations.h"
#include "browser/tests/page_fixture.h"

namespace brevane::browser_testing {
namespace {

using CountingTest = PageTest;

TEST_F(CountingTest, TablesCountAcrossFramesAndNesting) {
  engine.Serve("list.html", "<table id=f1><tr><td>a</table><table id=f2></table><table id=f3></table>");
  ShowAndBind("<table id=top><tr><td>x</td></tr></table><iframe src=list.html></iframe>");
  EXPECT_EQ(ReadTableHtml(binding, engine, 2), "<TABLE id=f1><TBODY><TR><TD>a</TD></TR></TBODY></TABLE>");
  EXPECT_EQ(ReadTableHtml(binding, engine, 4), "<TABLE id=f3></TABLE>");
  EXPECT_EQ(ReadTableHtml(binding, engine, 5), "");
  EXPECT_EQ(ReadTableHtml(binding, engine, 0), "");
  EXPECT_EQ(ReadTableHtml(binding, engine, -1), "");

  ShowAndBind("<table id=outer><tr><td><table id=inner><tr><td><em>0</em></table></table>");
  EXPECT_EQ(ReadTableHtml(binding, engine, 2), "<TABLE id=inner><TBODY><TR><TD><EM>0</EM></TD></TR></TBODY></TABLE>");
  EXPECT_EQ(ReadTableHtml(binding, engine, 3), "");
}

TEST_F(CountingTest, TableReadStopsAtTheDocumentHoldingIt) {
  engine.Serve("many.html", std::string(2000, 'x') + "<table></table>");
  ShowAndBind("<table id=a></table><table id=b></table><iframe src=many.html></iframe>");
  engine.ResetCalls();
  EXPECT_EQ(ReadTableHtml(binding, engine, 2), "<TABLE id=b></TABLE>");
  // body, all, tags, length, documentMode, item, outerHTML of the top
  // document only.
  EXPECT_EQ(engine.calls(), 7);
}

TEST_F(CountingTest, FormKeyCountsAcrossDocumentsAndStopsAtAMatch) {
  engine.Serve("frame.html", "<form id=f3 name=third><input type=checkbox checked></form><form id=f4></form>");
  ShowAndBind("<form id=f1></form><form id=f2></form><iframe src=frame.html></iframe>");
  EXPECT_EQ(ReadFormHtml(binding, engine, "3"), "<FORM id=f3 name=third>\r\n<INPUT type=checkbox CHECKED>\r\n</FORM>");
  EXPECT_EQ(ReadFormHtml(binding, engine, "third"), ReadFormHtml(binding, engine, "3"));

  // A form whose name is the key itself is taken before the count gets there.
  ShowAndBind("<form id=a name=3></form><form id=b></form><form id=c></form>");
  EXPECT_EQ(ReadFormHtml(binding, engine, "3"), "<FORM id=a name=3>\r\n</FORM>");
  // The skip count passes over matches, not over counted forms.
  ShowAndBind("<form id=a title=login></form><form id=b title=login></form>");
  EXPECT_EQ(ReadFormHtml(binding, engine, "login", 1), "<FORM id=b title=login>\r\n</FORM>");
  EXPECT_EQ(ReadFormHtml(binding, engine, "login", 2), "<FORM>\r\n</FORM>");
}

TEST_F(CountingTest, KeysWithoutAPositionOnlyMatch) {
  ShowAndBind("<form id=a></form><form id=b></form><form id=c></form><form id=d name=03></form>");
  for (const char* key : {"3a", "+3", "3.0", "=="}) {
    EXPECT_EQ(ReadFormHtml(binding, engine, key), "<FORM>\r\n</FORM>") << key;
  }
  EXPECT_EQ(ReadFormHtml(binding, engine, "03"), "<FORM id=d name=03>\r\n</FORM>");
  EXPECT_EQ(ReadFormHtml(binding, engine, "   "), "<FORM>\r\n</FORM>");
}

TEST_F(CountingTest, IdKeyFindsTheElementWhateverItsTag) {
  engine.Serve("frame.html", "<div id=go>press</div><input type=text id=field>");
  ShowAndBind("<input type=submit id=first><iframe src=frame.html></iframe>");
  EXPECT_EQ(ClickButton(binding, engine, "id==go"), 1);
  EXPECT_EQ(ClickButton(binding, engine, "ID==field"), 1);  // a text field, by direct lookup
  // The name left of "==" is taken as written: "id " is no direct lookup,
  // and the scan never considers a text field.
  EXPECT_EQ(ClickButton(binding, engine, "id == field"), 0);
  EXPECT_EQ(ClickedIds(), (std::vector<Text>{"go", "field"}));
  EXPECT_EQ(ClickButton(binding, engine, "id==nowhere"), 0);
}

TEST_F(CountingTest, NameAndClassNameKeysLookUpDirectly) {
  ShowAndBind(
      "<input type=text name=q id=t1><input type=submit name=q id=t2>"
      "<a name=solo id=s>link</a><div class='x big' id=d1></div><div class=big id=d2></div>");
  // Several elements of that name: the first whose name matches.
  EXPECT_EQ(ClickButton(binding, engine, "name==q"), 1);
  EXPECT_EQ(ClickButton(binding, engine, "name==solo"), 1);
  EXPECT_EQ(ClickButton(binding, engine, "className==big"), 1);
  EXPECT_EQ(ClickButton(binding, engine, "classname==big", 1), 1);
  EXPECT_EQ(ClickedIds(), (std::vector<Text>{"t1", "s", "d1", "d2"}));
}

TEST_F(CountingTest, MissingClassNameLookupFallsBackToTheScan) {
  ShowAndBind("<input type=text class=go id=t><input type=button class=go id=b>");
  engine.DisableMember("getElementsByClassName");
  EXPECT_EQ(ClickButton(binding, engine, "className==go"), 1);
  EXPECT_EQ(ClickedIds(), (std::vector<Text>{"b"}));
}

TEST_F(CountingTest, InputsAreCountedBeforeButtons) {
  ShowAndBind(
      "<button id=b1>first in the page</button>"
      "<input type=submit id=i1><input type=reset id=i2><input type=button id=i3>"
      "<input type=submit id=i4><input type=submit id=i5><input type=submit id=i6>"
      "<button id=b2 type=button>second</button>");
  EXPECT_EQ(ClickButton(binding, engine, "7"), 1);
  EXPECT_EQ(ClickButton(binding, engine, "8"), 1);
  EXPECT_EQ(ClickButton(binding, engine, "2"), 1);
  EXPECT_EQ(ClickedIds(), (std::vector<Text>{"b1", "b2", "i2"}));
}

TEST_F(CountingTest, OnlyButtonLikeInputsCountAndImagesNeverMatch) {
  ShowAndBind(
      "<input type=image src=btn7.png id=img><input type=text id=t value=7><input type=checkbox id=c>"
      "<input type=hidden id=h><input type=submit id=s1><input type=\"\" id=empty>"
      "<input type=button value=7 id=v7><input type=submit id=s3>");
  // Image, text, checkbox and hidden inputs are neither counted nor matched;
  // an empty type reads "text", as in every browser, so it does not count
  // either; the value 7 stops the count early.
  EXPECT_EQ(ClickButton(binding, engine, "7"), 1);
  EXPECT_EQ(ClickButton(binding, engine, "3"), 1);
  EXPECT_EQ(ClickButton(binding, engine, "btn7"), 0);
  EXPECT_EQ(ClickedIds(), (std::vector<Text>{"v7", "s3"}));
}

TEST_F(CountingTest, CountRunsAcrossFrames) {
  engine.Serve("frame.html",
               "<input type=submit id=f1><input type=submit id=f2><input type=submit id=f3>"
               "<input type=submit id=f4><input type=submit id=f5>");
  ShowAndBind("<input type=button id=t1><input type=reset id=t2><iframe src=frame.html></iframe>");
  EXPECT_EQ(ClickButton(binding, engine, "7"), 1);
  EXPECT_EQ(ClickedIds(), (std::vector<Text>{"f5"}));
}

TEST_F(CountingTest, TooFewButtonsClickNothing) {
  ShowAndBind("<form><input type=submit><input type=reset></form><button>b</button><button>c</button>x");
  engine.ResetCalls();
  EXPECT_EQ(ClickButton(binding, engine, "7"), 0);
  EXPECT_TRUE(engine.clicks().empty());
  EXPECT_NE(LastDomErrorText(), "");
  // Six qualifying elements, none carrying 7, are not enough either.
  ShowAndBind("<input type=submit><input type=submit><input type=submit><button>a</button><button>b</button><button>c</button>");
  EXPECT_EQ(ClickButton(binding, engine, "7"), 0);
  EXPECT_TRUE(engine.clicks().empty());
}

TEST_F(CountingTest, FailedClickReportsZero) {
  ShowAndBind("<input type=submit id=s>");
  engine.DisableMember("click");
  EXPECT_EQ(ClickButton(binding, engine, "1"), 0);
  EXPECT_NE(LastDomErrorText(), "");
}

TEST_F(CountingTest, SubmitClickSubmitsTheLoginForm) {
  ShowAndBind(
      "<form id=one><input type=submit></form><form id=two><input type=button></form>"
      "<form id=three><input type=checkbox checked name=keep><input type=submit id=go></form>");
  EXPECT_NE(FindText(ReadFormHtml(binding, engine, "3"), "CHECKED"), -1);
  EXPECT_EQ(ClickButton(binding, engine, "3"), 1);
  ASSERT_EQ(engine.submissions().size(), 1u);
  EXPECT_EQ(engine.submissions()[0]->Attribute("id"), "three");
}

}  // namespace
}  // namespace brevane::browser_testing
