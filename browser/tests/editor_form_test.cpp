// Filling the reply editor and rebuilding a form's markup.
#include "browser/page_operations.h"
#include "browser/tests/page_fixture.h"

namespace brevane::browser_testing {
namespace {

using EditorFillTest = PageTest;
using FormReadTest = PageTest;

TEST_F(EditorFillTest, FillsTheFirstEditableDocumentWithMarkup) {
  engine.Serve("editor.html", "", {.design_mode = true});
  auto page = ShowAndBind(
      "<title>Thread</title><form><iframe id=box src=editor.html></iframe>"
      "<input type=submit></form>");
  ASSERT_EQ(binding.DocumentList.size(), 2u);
  EXPECT_EQ(FillEditor(binding, engine, "1", "first <b>bold</b> reply"), 1);
  auto editor = page->Frame(0);
  EXPECT_EQ(editor->body()->InnerHtml(), "first <B>bold</B> reply");
  ASSERT_EQ(editor->body()->children().size(), 3u);
  EXPECT_EQ(editor->body()->children()[1]->tag(), "b");  // markup, not escaped text
  EXPECT_EQ(page->body()->InnerText(), "");              // the thread page is untouched
}

TEST_F(EditorFillTest, UntitledTopDocumentIsTheFirstEditor) {
  engine.Serve("editor.html", "", {.design_mode = true});
  auto page = ShowAndBind("<p>no title</p><iframe src=editor.html></iframe>");
  auto editor = page->Frame(0);
  EXPECT_EQ(FillEditor(binding, engine, "3", "none"), 0);
  EXPECT_EQ(FillEditor(binding, engine, "1.5", "between"), 0);
  EXPECT_EQ(FillEditor(binding, engine, "2", "second"), 1);
  EXPECT_EQ(editor->body()->InnerHtml(), "second");
  EXPECT_EQ(FillEditor(binding, engine, "1", "text"), 1);
  EXPECT_EQ(page->body()->InnerHtml(), "text");
  EXPECT_EQ(editor->body()->InnerHtml(), "second");
}

TEST_F(EditorFillTest, EditableBodyCountsWhateverTheTitle) {
  engine.Serve("rich.html", "<title>Editor</title><body contenteditable=true>old</body>");
  auto page = ShowAndBind("<title>Thread</title><iframe src=rich.html></iframe>");
  EXPECT_EQ(FillEditor(binding, engine, "\xA3\xB1", "wide key"), 1);  // full-width 1 reads as 1
  EXPECT_EQ(page->Frame(0)->body()->InnerHtml(), "wide key");
}

TEST_F(EditorFillTest, ValueKeysChooseByTitleOrBody) {
  engine.Serve("a.html", "<title>Editor</title><body id=abody>a</body>");
  engine.Serve("b.html", "<title>Editor</title><body id=bbody>b</body>");
  auto page = ShowAndBind("<title>Thread</title><iframe src=a.html></iframe><iframe src=b.html></iframe>");
  EXPECT_EQ(FillEditor(binding, engine, "title==Editor", "x", 1), 1);
  EXPECT_EQ(page->Frame(1)->body()->InnerHtml(), "x");
  EXPECT_EQ(FillEditor(binding, engine, "id==abody", "y"), 1);
  EXPECT_EQ(page->Frame(0)->body()->InnerHtml(), "y");
  EXPECT_EQ(FillEditor(binding, engine, "title==Nowhere", "z"), 0);
  EXPECT_EQ(FillEditor(binding, engine, "0", "z"), 0);
  EXPECT_EQ(FillEditor(binding, engine, "", "z"), 0);
}

TEST_F(EditorFillTest, NothingBoundOrNothingEditableGivesZero) {
  engine.Show("<p>x</p>");
  EXPECT_EQ(FillEditor(binding, engine, "1", "x"), 0);  // nothing was ever bound
  ShowAndBind("<title>Thread</title><p>no editor</p>");
  EXPECT_EQ(FillEditor(binding, engine, "1", "x"), 0);
  EXPECT_EQ(binding.BoundDocument != nullptr, true);
}

TEST_F(EditorFillTest, FocusFlagFocusesEachBodyTested) {
  engine.Serve("editor.html", "", {.design_mode = true});
  auto page = ShowAndBind("<title>Thread</title><iframe src=editor.html></iframe>");
  EXPECT_EQ(FillEditor(binding, engine, "1", "x", 0, true), 1);
  EXPECT_EQ(page->body()->focus_count(), 1);
  EXPECT_EQ(page->Frame(0)->body()->focus_count(), 1);
}

TEST_F(FormReadTest, RebuildsStartTagAndControlsOnly) {
  ShowAndBind(
      "<form name=login action=\"/session\" method=post>Remember me "
      "<p><input type=checkbox checked name=keep></p><input type=image src=go.png>"
      "<select name=s><option>a</select><input type=submit value=Go></form>");
  EXPECT_EQ(ReadFormHtml(binding, engine, "1"),
            "<FORM name=login action=\"/session\" method=post>\r\n"
            "<INPUT type=checkbox CHECKED name=keep>\r\n"
            "<SELECT name=s><OPTION>a</OPTION></SELECT>\r\n"
            "<INPUT type=submit value=Go>\r\n"
            "</FORM>");
}

TEST_F(FormReadTest, NoFormGivesTheEmptyFrame) {
  EXPECT_EQ(ReadFormHtml(binding, engine, "1"), "<FORM>\r\n</FORM>");  // nothing bound
  ShowAndBind("<form id=a></form><form id=b></form>");
  const Text frame = ReadFormHtml(binding, engine, "3");
  EXPECT_EQ(frame, "<FORM>\r\n</FORM>");
  EXPECT_EQ(FindText(frame, "CHECKED"), -1);
  EXPECT_EQ(ReadFormHtml(binding, engine, "2"), "<FORM id=b>\r\n</FORM>");
}

}  // namespace
}  // namespace brevane::browser_testing
