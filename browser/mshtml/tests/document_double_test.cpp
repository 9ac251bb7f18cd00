// The real MSHTML engine over the document double: the document asked of a
// real "Internet Explorer_Server" window with WM_HTML_GETOBJECT, unmarshalled
// by ObjectFromLresult, every member an IDispatch call, frames through their
// windows' web-browser service. The same operations on the same pages give
// the same results as the in-memory engine called directly, except where
// the control reaches further (frames of another origin).
#include "base/win32/com.h"
#include "browser/mshtml/tests/document_double.h"

#include <gtest/gtest.h>

#include <exdisp.h>
#include <mshtml.h>
#include <servprov.h>
#include <shlguid.h>

#include <map>
#include <string>
#include <vector>

#include "browser/document_browser.h"
#include "browser/late_binding.h"
#include "browser/limits.h"
#include "browser/mshtml/mshtml_engine.h"
#include "base/text/charset.h"
#include "testing/virtual_clock.h"

namespace brevane::mshtml::testing {
namespace {

using memory::PageOptions;
using memory::Reach;

struct Page {
  std::string address;
  std::string html;  // UTF-8; served as GBK
  PageOptions options;
};

enum class Op { kTable, kForm, kFill, kClick };

struct Step {
  Op op;
  std::string key;   // table number or element key
  std::string text;  // filled text, UTF-8
};

struct Case {
  std::string name;
  std::vector<Page> pages;  // the first is navigated to
  std::vector<Step> steps;
};

// One engine set-up: pages served by an in-memory engine, operations
// through DocumentBrowser on virtual time.
struct Run {
  memory::MemoryEngine pages;
  memory::MemoryBrowser navigator{pages};
  DocumentBinding binding;
  brevane::testing::VirtualClock clock;
};

// What a step gave and what it left on the page: the result, then every
// click so far and the body of every frame of the shown page.
std::vector<std::string> Perform(const Case& c, Run& run, BrowserOperations& browser) {
  for (const Page& page : c.pages) run.pages.Serve(page.address, Utf8ToGbk(page.html), page.options);
  browser.NavigateBrowser(c.pages.front().address);
  std::vector<std::string> seen;
  seen.push_back("wait " + std::to_string(browser.WaitForPage(browser.BrowserWindowHandle(), 0, true)));
  for (const Step& step : c.steps) {
    std::string result;
    switch (step.op) {
      case Op::kTable: result = GbkToUtf8(browser.ReadTableHtml(std::stoi(step.key))); break;
      case Op::kForm: result = GbkToUtf8(browser.ReadFormHtml(step.key)); break;
      case Op::kFill: result = std::to_string(browser.FillEditor(step.key, Utf8ToGbk(step.text))); break;
      case Op::kClick: result = std::to_string(browser.ClickButton(step.key)); break;
    }
    for (const auto& clicked : run.pages.clicks()) result += " | clicked " + GbkToUtf8(clicked->OuterHtml());
    if (const memory::DocumentPtr shown = run.pages.shown()) {
      for (std::size_t i = 0; i < shown->FrameElements().size(); ++i) {
        if (const memory::DocumentPtr frame = shown->Frame(i)) {
          result += " | frame " + GbkToUtf8(frame->body()->InnerHtml());
        }
      }
    }
    seen.push_back(result);
  }
  return seen;
}

std::vector<std::string> OnMemoryEngine(const Case& c) {
  Run run;
  DocumentBrowser browser(run.navigator, run.pages, run.clock, run.binding);
  return Perform(c, run, browser);
}

std::vector<std::string> OnMshtmlOverDouble(const Case& c, int* requests = nullptr) {
  Run run;
  DocumentDouble double_(run.pages);
  DoubleBrowserControl control(run.navigator, double_);
  MshtmlEngine engine;
  DocumentBrowser browser(control, engine, run.clock, run.binding);
  std::vector<std::string> seen = Perform(c, run, browser);
  if (requests) *requests = double_.requests();
  return seen;
}

const std::vector<Case>& SamePageCases() {
  static const std::vector<Case> cases = {
      {"BoardTables",
       {{"http://bbs/board",
         "<title>版块</title><table id=nav><tr><td>导航</td></tr></table>"
         "<table class=list><tr><td><a href='http://bbs/t/1' target=_blank>新帖</a></td><td><em>0</em></td></tr>"
         "</table><table><tr><td>3</td></tr></table>",
         {}}},
       {{Op::kTable, "1", ""}, {Op::kTable, "2", ""}, {Op::kTable, "3", ""}, {Op::kTable, "4", ""}}},
      {"ThreadInSameOriginFrame",
       {{"http://bbs/frames", "<frameset cols='20%,*'><frame src='http://bbs/menu'><frame src='http://bbs/list'>"
                              "</frameset>", {}},
        {"http://bbs/menu", "<table id=menu><tr><td>菜单</td></tr></table>", {}},
        {"http://bbs/list", "<table id=nav></table><table id=threads><tr><td>帖子</td></tr></table>", {}}},
       {{Op::kTable, "1", ""}, {Op::kTable, "2", ""}, {Op::kTable, "3", ""}}},
      {"ReplyEditorAndSeventhButton",
       {{"http://bbs/thread",
         "<form action=/post><iframe src='http://bbs/spacer' style='display:none'></iframe>"
         "<iframe src='http://bbs/editor'></iframe><input type=image src=/i.gif><input type=hidden name=h>"
         "<input type=checkbox name=c><input type=button value=B><input type=button value=I>"
         "<input type=button value=U><input type=button value=L><input type=submit id=post value=回复>"
         "<input type=button value=after></form>",
         {}},
        {"http://bbs/spacer", "", {}},
        {"http://bbs/editor", "", {.design_mode = true}}},
       {{Op::kFill, "1", "沙发 <b>第一</b>"}, {Op::kClick, "7", ""}}},
      {"LoginThirdForm",
       {{"http://bbs/login",
         "<form name=search><input name=q></form><form name=nav></form>"
         "<form name=login method=post><input name=user value=张三><input type=checkbox name=keep CHECKED>"
         "<input type=submit value=登录></form>",
         {}}},
       {{Op::kForm, "3", ""}, {Op::kForm, "login", ""}, {Op::kClick, "3", ""}}},
      {"NothingToFind",
       {{"http://bbs/empty", "<p>没有表格</p>", {}}},
       {{Op::kTable, "1", ""}, {Op::kForm, "1", ""}, {Op::kFill, "1", "x"}, {Op::kClick, "1", ""}}},
  };
  return cases;
}

class SamePage : public ::testing::TestWithParam<Case> {};

TEST_P(SamePage, GivesWhatTheInMemoryEngineGives) {
  const Case& c = GetParam();
  int requests = 0;
  const std::vector<std::string> direct = OnMemoryEngine(c);
  const std::vector<std::string> over_double = OnMshtmlOverDouble(c, &requests);
  EXPECT_EQ(over_double, direct);
  ASSERT_FALSE(direct.empty());
  EXPECT_EQ(direct[0], "wait 1");
  // The page really came through the window message, not around it.
  EXPECT_GE(requests, 1);
}

INSTANTIATE_TEST_SUITE_P(Pages, SamePage, ::testing::ValuesIn(SamePageCases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

// A frame of another origin keeps its document from the page's script, but
// the control reaches it through the frame window's browser service: its
// table counts, as it does in Internet Explorer.
TEST(DocumentDouble, FrameOfAnotherOriginIsReachedThroughTheBrowserService) {
  const Case c{"CrossOrigin",
               {{"http://bbs/frames",
                 "<iframe src='http://ads/banner'></iframe><iframe src='http://bbs/list'></iframe>", {}},
                {"http://ads/banner", "<table id=ad></table>", {.reach = Reach::kUnreachable}},
                {"http://bbs/list", "<table id=threads></table>", {}}},
               {{Op::kTable, "1", ""}, {Op::kTable, "2", ""}}};
  const std::string frames = " | frame <TABLE id=ad></TABLE> | frame <TABLE id=threads></TABLE>";
  EXPECT_EQ(OnMshtmlOverDouble(c), (std::vector<std::string>{"wait 1", "<TABLE id=ad></TABLE>" + frames,
                                                             "<TABLE id=threads></TABLE>" + frames}));
  // The in-memory engine, like a script, cannot see into it.
  EXPECT_EQ(OnMemoryEngine(c),
            (std::vector<std::string>{"wait 1", "<TABLE id=threads></TABLE>" + frames, frames}));
}

// The two ways to the frames: through the frame elements' windows and their
// browser service (every origin), or through the frames collection and each
// window's document property, which a window of another origin refuses.
TEST(DocumentDouble, FrameModesReachWhatTheControlReaches) {
  memory::MemoryEngine pages;
  pages.Serve("http://ads/banner", "<title>ad</title>", {.reach = Reach::kUnreachable});
  pages.Serve("http://bbs/list", "<title>list</title><iframe src='http://bbs/inner'></iframe>");
  pages.Serve("http://bbs/inner", "<title>inner</title>");
  pages.Show("<title>top</title><iframe src='http://ads/banner'></iframe><iframe src='http://bbs/list'></iframe>");
  DocumentDouble double_(pages);
  MshtmlEngine engine;
  const struct {
    int32_t mode;
    std::vector<std::string> titles;
  } cases[] = {{0, {"top", "ad", "list", "inner"}}, {1, {"top", "list", "inner"}}};
  for (const auto& c : cases) {
    DocumentBinding binding;
    ASSERT_EQ(binding.BindDocument(engine, reinterpret_cast<WindowHandle>(double_.main()), true, c.mode), 1);
    std::vector<std::string> titles;
    for (const DomRef& document : binding.DocumentList) titles.push_back(GetText(document, "title"));
    EXPECT_EQ(titles, c.titles) << "frame mode " << c.mode;
  }
}

TEST(DocumentDouble, EveryReferenceHandedOutComesBack) {
  memory::MemoryEngine pages;
  memory::DocumentPtr shown =
      pages.Show(Utf8ToGbk("<table><tr><td>一</td></tr></table><iframe src='http://f/'></iframe>"));
  const long before = shown.use_count();
  {
    DocumentDouble double_(pages);
    MshtmlEngine engine;
    DocumentBinding binding;
    ASSERT_EQ(binding.BindDocument(engine, reinterpret_cast<WindowHandle>(double_.main()), true, 0), 1);
    ASSERT_EQ(binding.DocumentList.size(), 2u);
    EXPECT_GT(shown.use_count(), before);  // the bound document holds the page
    EXPECT_EQ(GbkToUtf8(GetText(Call(GetObject(binding.DocumentList[0], "all"), "tags", {Variant("td")}).ToObject(),
                                "length")),
              "1");
    EXPECT_EQ(double_.requests(), 1);
    EXPECT_TRUE(double_.unmarshal_class_registered());
  }
  // No COM reference of the route (marshalling, wrappers, services) leaked.
  EXPECT_EQ(shown.use_count(), before);
}

TEST(DocumentDouble, ObjectsAnswerTheInterfacesOfTheirKind) {
  memory::MemoryEngine pages;
  memory::DocumentPtr document = pages.Show("<iframe id=f src='http://x/'></iframe>");
  const auto top = com::Ref<IDispatch>::Adopt(NewDispatchDouble(document));
  ASSERT_TRUE(top);
  EXPECT_EQ(DoubledObject(top.get()), DomRef(document));

  // Member names are matched without regard to case, always the same id.
  const wchar_t* spellings[] = {L"getElementById", L"GETELEMENTBYID"};
  DISPID ids[2] = {};
  for (int i = 0; i < 2; ++i) {
    LPOLESTR name = const_cast<LPOLESTR>(spellings[i]);
    ASSERT_EQ(top->GetIDsOfNames(IID_NULL, &name, 1, 0, &ids[i]), S_OK);
  }
  EXPECT_EQ(ids[0], ids[1]);

  EXPECT_TRUE(top.As<IHTMLDocument>(IID_IHTMLDocument));
  com::Ref<IServiceProvider> none;
  EXPECT_EQ(top->QueryInterface(IID_IServiceProvider, none.ReceiveVoid()), E_NOINTERFACE);

  // The frame element's content window offers the browser service; its
  // browser gives the frame document and nothing else.
  DomRef frame_window = Get(Call(DomRef(document), "getElementById", {Variant("f")}).ToObject(), "contentWindow").ToObject();
  const auto window = com::Ref<IDispatch>::Adopt(NewDispatchDouble(frame_window));
  const auto services = window.As<IServiceProvider>(IID_IServiceProvider);
  ASSERT_TRUE(services);
  com::Ref<IWebBrowser2> browser;
  EXPECT_EQ(services->QueryService(IID_IHTMLDocument, IID_IWebBrowser2, browser.ReceiveVoid()), E_NOINTERFACE);
  ASSERT_EQ(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.ReceiveVoid()), S_OK);
  com::Ref<IDispatch> frame_document;
  ASSERT_EQ(browser->get_Document(frame_document.Receive()), S_OK);
  EXPECT_EQ(DoubledObject(frame_document.get()), DomRef(document->Frame(0)));
  EXPECT_EQ(browser->GoBack(), E_NOTIMPL);
  EXPECT_EQ(NewDispatchDouble(nullptr), nullptr);
  EXPECT_EQ(DoubledObject(nullptr), nullptr);
}

// The marshalled form names an address in the process that wrote it: it is
// read back only there, and a form nobody reads gives its reference back
// when released.
TEST(DocumentDouble, MarshalledFormIsReadOnlyInItsOwnProcessAndReleasedWhenUnread) {
  memory::MemoryEngine pages;
  memory::DocumentPtr document = pages.Show("<p>x</p>");
  DocumentDouble double_(pages);  // registers the class that reads the form back
  const long before = document.use_count();
  com::Ref<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive()), S_OK);
  {
    const auto object = com::Ref<IDispatch>::Adopt(NewDispatchDouble(document));
    ASSERT_EQ(CoMarshalInterface(stream.get(), IID_IDispatch, object.get(), MSHCTX_LOCAL, nullptr, MSHLFLAGS_NORMAL),
              S_OK);
  }
  EXPECT_EQ(document.use_count(), before + 1);  // held by the marshalled form alone

  // The process id is the record's first field, at the end of the stream.
  STATSTG stat{};
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  const ULONG record_size = 16;
  ASSERT_GE(stat.cbSize.QuadPart, record_size);
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(stat.cbSize.QuadPart - record_size);
  DWORD process = 0;
  ASSERT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(stream->Read(&process, sizeof process, nullptr), S_OK);
  ASSERT_EQ(process, GetCurrentProcessId());

  // As another process would see it: refused, nothing dereferenced.
  const DWORD other = process + 4;
  ASSERT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(stream->Write(&other, sizeof other, nullptr), S_OK);
  const LARGE_INTEGER start{};
  ASSERT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
  com::Ref<IDispatch> unmarshalled;
  EXPECT_TRUE(FAILED(CoUnmarshalInterface(stream.get(), IID_IDispatch, unmarshalled.ReceiveVoid())));
  EXPECT_FALSE(unmarshalled);

  // Back in its own process and never read: releasing it gives the
  // reference back.
  ASSERT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(stream->Write(&process, sizeof process, nullptr), S_OK);
  ASSERT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(CoReleaseMarshalData(stream.get()), S_OK);
  EXPECT_EQ(document.use_count(), before);
}

// The engine reads the page shown as loading from the top frame's
// BeforeNavigate2 (pDisp the control) until NavigateComplete2 or
// NavigateError; a frame's navigation (pDisp the frame's own browser
// object) leaves it as it is (Wine's dlls/ieframe/tests/webbrowser.c,
// test_OnBeforeNavigate and test_navigatecomplete2 check pDisp == the
// control).
TEST(DocumentDouble, TheEngineReadsTheTopFramesNavigationAsLoading) {
  struct Run run;
  DocumentDouble double_(run.pages);
  DoubleBrowserControl control(run.navigator, double_);
  MshtmlEngine engine;
  run.pages.Serve("http://bbs/board", "<title>b</title>", {});
  control.Navigate("http://bbs/board");
  int32_t status = 0;
  const DomRef document =
      engine.TopDocument(reinterpret_cast<WindowHandle>(double_.document_window()), 1000, &status);
  ASSERT_TRUE(document);
  struct Event {
    const char* event;
    bool top;
    const char* reads;
  };
  for (const Event& e : {Event{"BeforeNavigate2 http://bbs/frame", false, "complete"},
                         Event{"BeforeNavigate2 http://bbs/next", true, "loading"},
                         Event{"NavigateComplete2 http://bbs/frame", false, "loading"},
                         Event{"NavigateError http://bbs/next", true, "complete"},
                         Event{"BeforeNavigate2 http://bbs/next", true, "loading"},
                         Event{"NavigateComplete2 http://bbs/next", true, "complete"}}) {
    double_.FireControlEvent(e.event, e.top);
    EXPECT_EQ(GetText(document, "readyState"), e.reads) << e.event << (e.top ? " (top)" : " (frame)");
  }
}

// A call into MSHTML cannot be ended from outside (a synchronous IDispatch
// call on the window thread, which from IE8 mode may run a getter the page
// put on the object: Microsoft's Object.defineProperty reference gives IE8
// standards mode accessors on DOM objects, and every mode after it on all
// objects):
// one call slower than the limit stops the page, so later calls to it, to
// its frames and to every object read from it fail at once without reaching
// it, while the next page the control shows is called again.
TEST(DocumentDouble, APageThatAnswersSlowlyCostsOneCall) {
  struct Run run;
  DocumentDouble double_(run.pages);
  DoubleBrowserControl control(run.navigator, double_);
  int64_t now = 0, step = 0;  // every reading of the clock moves it by step
  MshtmlEngine engine([&] { return now += step; });
  run.pages.Serve("http://bbs/slow", "<title>s</title><table><tr><td>x</td></tr></table>", {});
  run.pages.Serve("http://bbs/next", "<title>n</title>", {});
  const auto top = [&] {
    return engine.TopDocument(reinterpret_cast<WindowHandle>(double_.document_window()), 1000, nullptr);
  };
  control.Navigate("http://bbs/slow");
  const DomRef document = top();
  ASSERT_TRUE(document);
  const DomRef body = GetObject(document, "body");
  ASSERT_TRUE(body);
  step = kPageCallLimitMs;  // a call's two readings: just within the limit
  EXPECT_EQ(GetText(document, "title"), "s");
  step = kPageCallLimitMs + 500;  // past it: the call still answers...
  EXPECT_EQ(GetText(document, "title"), "s");
  step = 0;
  const int requests = double_.requests();
  // ...and then the page is not called again, by any of its objects, nor
  // when its document is asked for anew.
  EXPECT_TRUE(GetText(document, "title").empty());
  EXPECT_TRUE(GetObject(body, "all") == nullptr);
  EXPECT_TRUE(GetText(top(), "title").empty());
  EXPECT_EQ(double_.requests(), requests + 1);
  control.Navigate("http://bbs/next");
  EXPECT_EQ(GetText(top(), "title"), "n");
}

TEST(DocumentDouble, AWindowWithoutAPageGivesNoDocument) {
  DocumentDouble double_([]() -> DomRef { return nullptr; });
  MshtmlEngine engine;
  int32_t status = dom_error::kOk;
  EXPECT_EQ(engine.TopDocument(reinterpret_cast<WindowHandle>(double_.document_window()), 1000, &status), nullptr);
  EXPECT_NE(status, dom_error::kOk);
  DocumentBinding binding;
  EXPECT_EQ(binding.BindDocument(engine, reinterpret_cast<WindowHandle>(double_.main()), true, 0), 0);
}

}  // namespace
}  // namespace brevane::mshtml::testing
