// Binding the page from a window handle and walking its frames.
#include "browser/tests/page_fixture.h"

namespace brevane::browser_testing {
namespace {

using BindingTest = PageTest;

using memory::PageOptions;
using memory::Reach;

// Titles of the listed documents, in list order.
std::vector<Text> Titles(const DocumentBinding& binding) {
  std::vector<Text> titles;
  for (const DomRef& document : binding.DocumentList) titles.push_back(GetText(document, "title"));
  return titles;
}

TEST_F(BindingTest, BindsFromAnAncestorOfTheDocumentWindow) {
  auto page = engine.Show("<title>top</title><p>x</p>");
  EXPECT_EQ(binding.BindDocument(engine, engine.windows().main, false, 0), 1);
  EXPECT_EQ(binding.BoundDocument, page);
  EXPECT_EQ(binding.BoundWindow, engine.windows().main);
  EXPECT_EQ(Titles(binding), (std::vector<Text>{"top"}));

  // From the document window itself, too.
  EXPECT_EQ(binding.BindDocument(engine, engine.windows().document, false, 0), 1);
  EXPECT_EQ(binding.BoundWindow, engine.windows().document);
}

TEST_F(BindingTest, SearchesDescendantsByContainmentButTheHandleByExactClass) {
  engine.Show("<title>real</title>");
  // A window whose own class only contains the name is not taken itself;
  // its descendants are searched by containment.
  WindowHandle lookalike = engine.AddWindow(engine.windows().main, "Internet Explorer_Server (old)");
  EXPECT_EQ(binding.BindDocument(engine, lookalike, false, 0), 0);
  WindowHandle inner = engine.AddWindow(lookalike, "Wrapped Internet Explorer_Server");
  engine.Show("<title>wrapped</title>", {}, inner);
  EXPECT_EQ(binding.BindDocument(engine, lookalike, false, 0), 1);
  EXPECT_EQ(Titles(binding), (std::vector<Text>{"wrapped"}));
  // Depth first: the browser control's subtree comes before the later sibling.
  EXPECT_EQ(binding.BindDocument(engine, engine.windows().main, false, 0), 1);
  EXPECT_EQ(Titles(binding), (std::vector<Text>{"real"}));
}

TEST_F(BindingTest, FailedBindKeepsTheListAndTheWindow) {
  auto page = ShowAndBind("<title>first</title>");
  const WindowHandle bound = binding.BoundWindow;

  EXPECT_EQ(binding.BindDocument(engine, 0x7777, false, 3), 0);  // not a window
  EXPECT_EQ(binding.FrameMode, 0);                                // nothing stored
  EXPECT_EQ(binding.BoundDocument, page);

  WindowHandle empty = engine.AddWindow(0, "Lonely");
  EXPECT_EQ(binding.BindDocument(engine, empty, false, 2), 0);  // no document window
  EXPECT_EQ(binding.FrameMode, 2);                              // only the mode is stored
  EXPECT_EQ(binding.BoundDocument, page);

  engine.SetHung(engine.windows().document, true);
  EXPECT_EQ(binding.BindDocument(engine, engine.windows().main, false, 0), 0);
  EXPECT_EQ(binding.BoundDocument, nullptr);  // replaced by the empty answer
  EXPECT_EQ(Titles(binding), (std::vector<Text>{"first"}));
  EXPECT_EQ(binding.BoundWindow, bound);

  engine.SetHung(engine.windows().document, false);
  engine.SetRefused(engine.windows().document, true);
  EXPECT_EQ(binding.BindDocument(engine, engine.windows().main, false, 0), 0);
  EXPECT_EQ(Titles(binding), (std::vector<Text>{"first"}));
}

TEST_F(BindingTest, InlineFrameHoldingTwoFramesListsDepthFirst) {
  engine.Serve("inner.html", "<title>inner</title><frameset><frame src=a.html><frame src=b.html></frameset>");
  engine.Serve("a.html", "<title>frame1</title>");
  engine.Serve("b.html", "<title>frame2</title>");
  engine.Serve("side.html", "<title>side</title>");
  ShowAndBind("<title>top</title><div><iframe src=inner.html></iframe></div><iframe src=side.html></iframe>");
  EXPECT_EQ(Titles(binding), (std::vector<Text>{"top", "inner", "frame1", "frame2", "side"}));

  // The other frame mode reaches the same documents through the windows.
  EXPECT_EQ(binding.BindDocument(engine, engine.windows().main, false, 1), 1);
  EXPECT_EQ(Titles(binding), (std::vector<Text>{"top", "inner", "frame1", "frame2", "side"}));
}

TEST_F(BindingTest, FrameElementsCountOnlyInDocumentsWithoutInlineFrames) {
  engine.Serve("a.html", "<title>a</title>");
  engine.Serve("b.html", "<title>b</title>");
  ShowAndBind("<title>top</title><iframe src=a.html></iframe><frame src=b.html>");
  EXPECT_EQ(Titles(binding), (std::vector<Text>{"top", "a"}));
}

TEST_F(BindingTest, UnreachableFrameIsLeftOutWithItsOwnFrames) {
  engine.Serve("foreign.html", "<title>foreign</title><iframe src=child.html></iframe>",
               {.reach = Reach::kUnreachable});
  engine.Serve("child.html", "<title>child</title>");
  engine.Serve("gone.html", "<title>gone</title>", {.reach = Reach::kNoWindow});
  engine.Serve("own.html", "<title>own</title>");
  ShowAndBind(
      "<title>top</title><iframe src=foreign.html></iframe><iframe src=gone.html></iframe>"
      "<iframe src=own.html></iframe>");
  EXPECT_EQ(Titles(binding), (std::vector<Text>{"top", "own"}));

  EXPECT_EQ(binding.BindDocument(engine, engine.windows().main, false, 1), 1);
  EXPECT_EQ(Titles(binding), (std::vector<Text>{"top", "own"}));
}

TEST_F(BindingTest, FrameShowingAnAncestorIsListedOnce) {
  engine.Serve("self.html", "<title>self</title><iframe src=self.html></iframe>");
  auto page = ShowAndBind("<title>top</title><iframe id=loop></iframe><iframe src=self.html></iframe>");
  // top, the blank "loop" frame, the self-including page, and the blank
  // page its frame gets instead of itself.
  const std::size_t listed = binding.DocumentList.size();
  EXPECT_EQ(listed, 4u);
  page->ElementById("loop")->set_content_window(std::make_shared<memory::MemoryWindow>(engine.state(), page, true));
  EXPECT_EQ(binding.BindDocument(engine, engine.windows().main, false, 0), 1);
  EXPECT_EQ(binding.DocumentList.size(), listed - 1);
  EXPECT_EQ(binding.DocumentList[0], page);
  EXPECT_EQ(std::count(binding.DocumentList.begin(), binding.DocumentList.end(), DomRef(page)), 1);
  page->ElementById("loop")->set_content_window(nullptr);  // the loop would keep the page alive
}

TEST_F(BindingTest, EnsureDocumentBindsOnlyAnEmptyList) {
  // Nothing bound yet: the handle 0 is no window and nothing is found.
  engine.Show("<title>t</title>");
  binding.EnsureDocument(engine);
  EXPECT_TRUE(binding.DocumentList.empty());
  EXPECT_EQ(engine.document_requests(), 0);

  ShowAndBind("<title>t</title>");
  const int64_t requests = engine.document_requests();
  engine.Show("<title>newer</title>");
  binding.EnsureDocument(engine);
  EXPECT_EQ(engine.document_requests(), requests);
  EXPECT_EQ(Titles(binding), (std::vector<Text>{"t"}));

  binding.DocumentList.clear();
  binding.EnsureDocument(engine);
  EXPECT_EQ(Titles(binding), (std::vector<Text>{"newer"}));
  EXPECT_EQ(engine.initialise_count(), 0);
  binding.BindDocument(engine, engine.windows().main, true, 0);
  EXPECT_EQ(engine.initialise_count(), 1);
}

TEST_F(BindingTest, RebindingReplacesTheDocumentEvenWhenUnchanged) {
  auto page = ShowAndBind("<title>t</title>");
  binding.BoundDocument.reset();
  EXPECT_EQ(binding.BindDocument(engine, engine.windows().main, false, 0), 1);
  EXPECT_EQ(binding.BoundDocument, page);
}

}  // namespace
}  // namespace brevane::browser_testing
