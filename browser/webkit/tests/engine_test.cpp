// The WebKit engine against a real web view: binding through the host's
// window tree, the host's navigation, Internet Explorer member names, markup in that engine's style,
// frames and origins, handle lifetime, calls from another thread, and a page
// that stops answering.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <functional>
#include <thread>

#include "browser/webkit/tests/calls.h"
#include "browser/webkit/tests/harness.h"
#include "browser/webkit/webkit_bridge.h"

namespace brevane::testing {
namespace {

WebViewHarness& H() { return WebViewHarness::Get(); }

DomRef LoadAndBind(const std::string& html) {
  EXPECT_TRUE(H().LoadHtml(html));
  int32_t status = -1;
  DomRef document = H().Document(&status);
  EXPECT_EQ(status, dom_error::kOk);
  EXPECT_TRUE(document);
  return document;
}

std::string OuterHtml(const DomRef& document, const char* id) { return GetUtf8(ById(document, id), "outerHTML"); }

TEST(WebKitEngineTest, WindowTreeComesFromTheHost) {
  WebKitEngine& engine = H().engine();
  const WindowHandle control = H().host().Handle();
  ASSERT_NE(control, 0);
  EXPECT_TRUE(engine.IsWindow(control));
  EXPECT_FALSE(engine.IsWindow(0));
  EXPECT_FALSE(engine.IsWindow(999));
  EXPECT_EQ(engine.ClassName(H().document_window()), "Internet Explorer_Server");
  EXPECT_NE(engine.ClassName(control), kDocumentWindowClass);
  EXPECT_EQ(engine.ClassName(999), "");
  EXPECT_EQ(engine.Children(control), std::vector<WindowHandle>{H().document_window()});
  EXPECT_TRUE(engine.Children(999).empty());
  EXPECT_EQ(H().host().ViewOf(H().document_window()), H().view());
  EXPECT_EQ(H().host().ViewOf(control), nullptr);
}

// The host navigates by the browser control's address rules.
TEST(WebKitEngineTest, TheHostNavigatesAsTheControlDoes) {
  WebKitWebView* view = H().view();
  H().host().Navigate("");  // the blank page
  EXPECT_STREQ(webkit_web_view_get_uri(view), "about:blank");
  // An address typed without a scheme loads over http, as the IE control's
  // Navigate loads it.
  LoopbackServer server;
  server.AddPage("/forum-1.html", "<html><head><title>Forum</title></head><body></body></html>");
  const std::string address = "127.0.0.1:" + std::to_string(server.port()) + "/forum-1.html";
  bool loaded = false;
  const gulong handler =
      g_signal_connect(view, "load-changed", G_CALLBACK(+[](WebKitWebView* v, WebKitLoadEvent event, gpointer flag) {
                         const char* uri = webkit_web_view_get_uri(v);
                         if (event == WEBKIT_LOAD_FINISHED && uri && std::string(uri) != "about:blank")
                           *static_cast<bool*>(flag) = true;
                       }),
                       &loaded);
  H().host().Navigate(address);
  EXPECT_EQ(std::string(webkit_web_view_get_uri(view)), "http://" + address);
  EXPECT_TRUE(H().RunUntil([&] { return loaded; }, 20000));
  g_signal_handler_disconnect(view, handler);
  EXPECT_EQ(GetUtf8(H().Document(), "title"), "Forum");
}

TEST(WebKitEngineTest, TopDocumentOnlyFromTheWebView) {
  ASSERT_TRUE(H().LoadHtml("<html><head><title>T</title></head><body>x</body></html>"));
  int32_t status = 0;
  EXPECT_FALSE(H().engine().TopDocument(H().host().Handle(), 1000, &status));
  EXPECT_NE(status, dom_error::kOk);
  EXPECT_FALSE(H().engine().TopDocument(999, 1000, &status));
  EXPECT_NE(status, dom_error::kOk);

  DomRef document = H().engine().TopDocument(H().document_window(), 1000, &status);
  ASSERT_TRUE(document);
  EXPECT_EQ(status, dom_error::kOk);
  EXPECT_EQ(GetUtf8(document, "title"), "T");
  EXPECT_EQ(GetUtf8(document, "readyState"), "complete");
}

constexpr const char* kBoardPage = R"(<html><head><title>Board</title></head><body>
<table id="t1"><tr><td>first</td></tr></table>
<table id="t2" class="list" width="100%"><tbody><tr><td><a href="http://127.0.0.1/thread-1.html" target="_blank">One &amp; two</a></td><td><em>0</em></td></tr></tbody></table>
<form id="f" name="login" action="/post?a=1&amp;b=2" method="post"><input id="cb" type="checkbox" name="remember" checked><input id="tx" type="text" name="user" value="a b"><select id="s" name="s"><option value="1">x</option><option id="o2" value="2" selected>y</option></select><input id="go" type="submit" value="Go" disabled><br><img src="p.gif" alt=""><textarea id="ta">1 &lt; 2</textarea></form>
<div id="raw"><script>var a = 1 < 2 && 3 > 2;</script><!--note-->&nbsp;x</div>
</body></html>)";

TEST(WebKitEngineTest, OuterHtmlInInternetExplorerStyle) {
  DomRef document = LoadAndBind(kBoardPage);
  // Upper-case tag names, bare plain-word values, quoted addresses: the thread
  // address stands between quotes right before " target".
  EXPECT_EQ(OuterHtml(document, "t2"),
            "<TABLE id=t2 class=list width=\"100%\"><TBODY><TR><TD><A href=\"http://127.0.0.1/thread-1.html\" "
            "target=_blank>One &amp; two</A></TD><TD><EM>0</EM></TD></TR></TBODY></TABLE>");
  // Boolean attributes bare and upper-case, void elements without end tags,
  // src and href as absolute addresses, a form's action as written.
  EXPECT_EQ(OuterHtml(document, "f"),
            "<FORM id=f name=login action=\"/post?a=1&amp;b=2\" method=post>"
            "<INPUT id=cb type=checkbox name=remember CHECKED>"
            "<INPUT id=tx type=text name=user value=\"a b\">"
            "<SELECT id=s name=s><OPTION value=1>x</OPTION><OPTION id=o2 value=2 SELECTED>y</OPTION></SELECT>"
            "<INPUT id=go type=submit value=Go DISABLED><BR><IMG src=\"http://127.0.0.1/p.gif\" alt=\"\">"
            "<TEXTAREA id=ta>1 &lt; 2</TEXTAREA></FORM>");
  // Script text stays raw, comments stay, a no-break space is an entity.
  EXPECT_EQ(OuterHtml(document, "raw"),
            "<DIV id=raw><SCRIPT>var a = 1 < 2 && 3 > 2;</SCRIPT><!--note-->&nbsp;x</DIV>");
  EXPECT_EQ(GetUtf8(ById(document, "raw"), "innerHTML"), "<SCRIPT>var a = 1 < 2 && 3 > 2;</SCRIPT><!--note-->&nbsp;x");
}

TEST(WebKitEngineTest, OuterHtmlShowsTheControlsCurrentState) {
  DomRef document = LoadAndBind(kBoardPage);
  EXPECT_EQ(Put(ById(document, "cb"), "checked", Variant(false)), dom_error::kOk);
  EXPECT_EQ(Put(ById(document, "tx"), "value", Variant("typed")), dom_error::kOk);
  EXPECT_EQ(Put(ById(document, "s"), "selectedIndex", Variant(int32_t{0})), dom_error::kOk);
  EXPECT_EQ(OuterHtml(document, "cb"), "<INPUT id=cb type=checkbox name=remember>");
  EXPECT_EQ(OuterHtml(document, "tx"), "<INPUT id=tx type=text name=user value=typed>");
  EXPECT_EQ(OuterHtml(document, "o2"), "<OPTION id=o2 value=2>y</OPTION>");
  // Attribute names that are names of object members are plain attributes.
  DomRef odd = ById(document, "tx");
  int32_t code = -1;
  Call(odd, "setAttribute", {Variant("constructor"), Variant("c")}, &code);
  EXPECT_EQ(code, dom_error::kOk);
  EXPECT_EQ(OuterHtml(document, "tx"), "<INPUT id=tx type=text name=user value=typed constructor=c>");
  EXPECT_EQ(Put(ById(document, "cb"), "CHECKED", Variant(true)), dom_error::kOk);
  EXPECT_EQ(OuterHtml(document, "cb"), "<INPUT id=cb type=checkbox name=remember CHECKED>");
}

TEST(WebKitEngineTest, CollectionsOfTheDocument) {
  DomRef document = LoadAndBind(kBoardPage);
  DomRef body = GetObject(document, "body");
  DomRef tables = Call(GetObject(body, "all"), "tags", {Variant("table")}).ToObject();
  ASSERT_TRUE(tables);
  EXPECT_EQ(Get(tables, "length").ToInteger(), 2);
  EXPECT_EQ(GetUtf8(Call(tables, "item", {Variant(int32_t{1})}).ToObject(), "id"), "t2");
  int32_t code = 0;
  EXPECT_TRUE(Call(tables, "item", {Variant(int32_t{2})}, &code).IsEmpty());
  EXPECT_EQ(code, dom_error::kOk);

  // The document's all starts at the root element; item by name or id.
  DomRef all = GetObject(document, "ALL");
  EXPECT_EQ(GetUtf8(Call(all, "item", {Variant(int32_t{0})}).ToObject(), "tagName"), "HTML");
  EXPECT_EQ(GetUtf8(Call(all, "item", {Variant("remember")}).ToObject(), "id"), "cb");
  EXPECT_EQ(GetUtf8(Call(all, "namedItem", {Variant("t1")}).ToObject(), "tagName"), "TABLE");
  EXPECT_GT(Get(all, "length").ToInteger(), 15);

  // A form answers length and item over its controls.
  DomRef form = ById(document, "f");
  EXPECT_EQ(Get(form, "length").ToInteger(), 5);
  EXPECT_EQ(GetUtf8(Call(form, "item", {Variant(int32_t{3})}).ToObject(), "value"), "Go");
  EXPECT_EQ(GetUtf8(Call(form, "item", {Variant(int32_t{4})}).ToObject(), "tagName"), "TEXTAREA");
}

constexpr const char* kMembersPage = R"(<html><head><title>Members</title></head><body>
<div id="d1" class="box wide" name="dn" title="tip">Hello <b>world</b></div>
<input id="i1" name="q" type="text" value="v1" alt="alttext">
<button id="b1" onclick="document.getElementById('out').textContent='clicked';document.title='after'">Press</button>
<span id="out"></span>
<div id="ed" contenteditable="true"></div>
<a id="a1" href="/x/y.html">link</a><img id="im" src="/p.gif">
<p class="c">1</p><p class="c" name="pn">2</p>
<div id="zh">中文</div>
</body></html>)";

TEST(WebKitEngineTest, MemberNamesWithoutRegardToCase) {
  DomRef document = LoadAndBind(kMembersPage);
  DomRef body = GetObject(document, "BODY");
  EXPECT_EQ(GetUtf8(body, "TagName"), "BODY");
  DomRef d1 = ById(document, "d1");
  EXPECT_EQ(GetUtf8(d1, "OUTERHTML"), "<DIV id=d1 class=\"box wide\" name=dn title=tip>Hello <B>world</B></DIV>");
  EXPECT_EQ(GetUtf8(d1, "ID"), "d1");
  EXPECT_EQ(GetUtf8(d1, "className"), "box wide");
  EXPECT_EQ(GbkToUtf8(Call(d1, "getAttribute", {Variant("className")}).ToText()), "box wide");
  EXPECT_EQ(GetUtf8(d1, "name"), "dn");
  EXPECT_EQ(GetUtf8(d1, "title"), "tip");
  EXPECT_EQ(GetUtf8(d1, "innerText"), "Hello world");
  int32_t code = -1;
  EXPECT_EQ(Get(d1, "type", &code).ToText(), "");
  EXPECT_EQ(code, dom_error::kOk);
  EXPECT_EQ(GetUtf8(d1, "contentEditable"), "inherit");
  EXPECT_EQ(GetUtf8(ById(document, "ed"), "contenteditable"), "true");

  DomRef input = ById(document, "i1");
  EXPECT_EQ(GetUtf8(input, "name"), "q");
  EXPECT_EQ(GetUtf8(input, "TYPE"), "text");
  EXPECT_EQ(GetUtf8(input, "value"), "v1");
  EXPECT_EQ(GetUtf8(input, "alt"), "alttext");
  EXPECT_EQ(GetUtf8(ById(document, "b1"), "type"), "submit");
  EXPECT_EQ(GetUtf8(ById(document, "a1"), "href"), "http://127.0.0.1/x/y.html");
  EXPECT_EQ(GetUtf8(ById(document, "im"), "src"), "http://127.0.0.1/p.gif");

  EXPECT_EQ(Get(input, "checked").kind(), Variant::Kind::kBoolean);
  // Only the members of the document model answer; the DOM's other members
  // (and a window's timers) are unknown names, so no request can run them.
  for (const char* other : {"NODENAME", "parentElement", "setTimeout", "constructor", "__proto__"}) {
    code = dom_error::kOk;
    Get(d1, other, &code);
    EXPECT_EQ(code, dom_error::kUnknownName) << other;
  }
}

TEST(WebKitEngineTest, LookupsOfTheDocument) {
  DomRef document = LoadAndBind(kMembersPage);
  int32_t code = -1;
  EXPECT_TRUE(Call(document, "getElementById", {Variant("none")}, &code).IsEmpty());
  EXPECT_EQ(code, dom_error::kOk);
  Call(document, "getElementById", {}, &code);
  EXPECT_EQ(code, dom_error::kBadParamCount);

  DomRef named = Call(document, "getElementsByName", {Variant("q")}).ToObject();
  EXPECT_EQ(Get(named, "length").ToInteger(), 1);
  EXPECT_EQ(GetUtf8(Call(named, "namedItem", {Variant("q")}).ToObject(), "id"), "i1");
  DomRef classed = Call(document, "GETELEMENTSBYCLASSNAME", {Variant("c")}).ToObject();
  EXPECT_EQ(Get(classed, "length").ToInteger(), 2);
  EXPECT_EQ(GetUtf8(Call(classed, "item", {Variant(int32_t{1})}).ToObject(), "innerText"), "2");
  EXPECT_EQ(GetUtf8(Call(classed, "item", {Variant("pn")}).ToObject(), "innerText"), "2");
}

TEST(WebKitEngineTest, WritesClicksAndFailures) {
  DomRef document = LoadAndBind(kMembersPage);
  DomRef editor = ById(document, "ed");
  // setAttribute("innerHTML", ...) is a method call that sets the markup.
  int32_t code = -1;
  Call(editor, "setAttribute", {Variant("innerHTML"), Variant("<b>bold</b> text")}, &code);
  EXPECT_EQ(code, dom_error::kOk);
  EXPECT_EQ(GetUtf8(editor, "innerHTML"), "<B>bold</B> text");
  Call(editor, "setAttribute", {Variant("className"), Variant("x y")}, &code);
  EXPECT_EQ(GetUtf8(editor, "className"), "x y");
  EXPECT_EQ(Put(editor, "innerHTML", Variant("<i>i</i>")), dom_error::kOk);
  EXPECT_EQ(GetUtf8(editor, "innerText"), "i");

  // Each way of calling a member is answered or refused on its own.
  EXPECT_EQ(Put(editor, "setAttribute", Variant("x")), dom_error::kMemberNotFound);
  EXPECT_EQ(Put(editor, "tagName", Variant("P")), dom_error::kMemberNotFound);
  Get(editor, "click", &code);
  EXPECT_EQ(code, dom_error::kMemberNotFound);
  Get(editor, "noSuchMember", &code);
  EXPECT_EQ(code, dom_error::kUnknownName);
  Call(editor, "noSuchMember", {}, &code);
  EXPECT_EQ(code, dom_error::kUnknownName);
  EXPECT_EQ(editor->Invoke("id", InvokeKind::kPropertyPutRef, {Variant("z")}, nullptr), dom_error::kMemberNotFound);

  // A click runs the page's own handler.
  Call(ById(document, "b1"), "click", {}, &code);
  EXPECT_EQ(code, dom_error::kOk);
  EXPECT_EQ(GetUtf8(ById(document, "out"), "innerText"), "clicked");
  EXPECT_EQ(GetUtf8(document, "title"), "after");
}

// A second host, its view in a window of its own that the test can destroy.
class SecondView {
 public:
  SecondView() {
    window_ = gtk_offscreen_window_new();
    gtk_container_add(GTK_CONTAINER(window_), host_.widget());
    gtk_widget_show_all(window_);
  }
  ~SecondView() { Destroy(); }
  void Destroy() {
    if (window_) gtk_widget_destroy(window_);
    window_ = nullptr;
  }
  WebViewHost& host() { return host_; }
  WebKitWebView* view() { return host_.view(); }

 private:
  WebViewHost host_;
  GtkWidget* window_ = nullptr;
};

TEST(WebKitEngineTest, AViewWithoutAPageAndAViewThatIsGone) {
  H();  // GTK is ready
  SecondView second;
  WebKitEngine engine(second.host());
  const WindowHandle document_window = second.host().document_window();
  engine.SetCallTimeout(10000);
  int32_t status = -1;
  DomRef blank = engine.TopDocument(document_window, 10000, &status);
  EXPECT_EQ(status, dom_error::kOk);
  EXPECT_EQ(GetUtf8(GetObject(blank, "body"), "innerHTML"), "");

  bool loaded = false;
  g_signal_connect(second.view(), "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer flag) {
                     if (event == WEBKIT_LOAD_FINISHED) *static_cast<bool*>(flag) = true;
                   }),
                   &loaded);
  webkit_web_view_load_html(second.view(), "<html><body><p id=\"p\">second</p></body></html>", "http://127.0.0.1/");
  ASSERT_TRUE(H().RunUntil([&] { return loaded; }, 20000));
  DomRef document = engine.TopDocument(document_window, 10000, &status);
  DomRef p = ById(document, "p");
  EXPECT_EQ(GetUtf8(p, "innerText"), "second");

  second.Destroy();
  int32_t code = dom_error::kOk;
  Get(p, "innerText", &code);
  EXPECT_EQ(code, dom_error::kNoObject);
  EXPECT_FALSE(engine.TopDocument(document_window, 1000, &status));
  EXPECT_EQ(status, dom_error::kNoObject);
  EXPECT_FALSE(engine.IsWindow(document_window));
  EXPECT_EQ(second.host().Handle(), 0);
}

TEST(WebKitEngineTest, ScriptDialogsAreAnsweredWithoutShowing) {
  DomRef document = LoadAndBind(
      "<html><head><title>Dialogs</title></head><body><button id=\"b\" onclick=\""
      "alert('a'); document.title = (confirm('c') ? 'yes' : 'no') + prompt('p', 'def');\">b</button></body></html>");
  int32_t code = -1;
  Call(ById(document, "b"), "click", {}, &code);
  EXPECT_EQ(code, dom_error::kOk);
  EXPECT_EQ(GetUtf8(document, "title"), "yesdef");
}

TEST(WebKitEngineTest, TextsCrossTheBridgeAsGbk) {
  DomRef document = LoadAndBind(kMembersPage);
  DomRef zh = ById(document, "zh");
  EXPECT_EQ(Get(zh, "innerText").ToText(), Utf8ToGbk("中文"));
  EXPECT_EQ(Put(zh, "innerHTML", Variant(Utf8ToGbk("<b>你好</b>\"\\\n"))), dom_error::kOk);
  EXPECT_EQ(Get(zh, "innerHTML").ToText(), Utf8ToGbk("<B>你好</B>\"\\\n"));
  DomRef found = Call(document, "getElementsByName", {Variant(Utf8ToGbk("名字"))}).ToObject();
  EXPECT_EQ(Get(found, "length").ToInteger(), 0);
}

TEST(WebKitEngineTest, ThePagesScriptsCannotDisturbTheBridge) {
  // The page replaces DOM and JSON functions and forbids scripts of its own
  // origin; the bridge runs in its own world and goes on working.
  DomRef document = LoadAndBind(
      "<html><head><title>Hostile</title><script>"
      "JSON.parse = function () { return {}; };"
      "Element.prototype.getAttribute = function () { return 'page'; };"
      "Document.prototype.getElementById = function () { return null; };"
      "</script><meta http-equiv=\"Content-Security-Policy\" content=\"script-src 'none'\"></head>"
      "<body><p id=\"p\" class=\"own\">text</p></body></html>");
  DomRef p = ById(document, "p");
  ASSERT_TRUE(p);
  EXPECT_EQ(GetUtf8(p, "className"), "own");
  EXPECT_EQ(GbkToUtf8(Call(p, "getAttribute", {Variant("id")}).ToText()), "p");
  EXPECT_EQ(GetUtf8(p, "outerHTML"), "<P id=p class=own>text</P>");
}

TEST(WebKitEngineTest, ObjectsOfAnEarlierPageFailWithoutHarm) {
  DomRef document = LoadAndBind(kMembersPage);
  DomRef d1 = ById(document, "d1");
  DomRef body = GetObject(document, "body");
  DomRef next = LoadAndBind("<html><body><div id=\"d1\">new</div></body></html>");
  int32_t code = dom_error::kOk;
  Get(d1, "innerText", &code);
  EXPECT_NE(code, dom_error::kOk);
  Get(document, "body", &code);
  EXPECT_NE(code, dom_error::kOk);
  // An object of the old page passed as an argument fails the call too.
  Call(GetObject(next, "body"), "appendChild", {Variant(body)}, &code);
  EXPECT_NE(code, dom_error::kOk);
  EXPECT_EQ(GetUtf8(ById(next, "d1"), "innerText"), "new");
}

TEST(WebKitEngineTest, OneRoundTripPerCallOnANewPage) {
  LoadAndBind("<html><body>first</body></html>");
  auto bridge = WebKitBridge::For(H().view());
  ASSERT_TRUE(H().LoadHtml("<html><head><title>Second</title></head><body>second</body></html>"));
  int64_t before = bridge->round_trips();
  DomRef document = H().Document();
  EXPECT_EQ(GetUtf8(document, "title"), "Second");
  EXPECT_EQ(bridge->round_trips() - before, 2);
}

TEST(WebKitEngineTest, APageOnItsWayOutReadsAsLoading) {
  LoopbackServer server;
  server.AddPage("/old.html", "<html><body><form action=\"/sent.html\" method=\"post\">"
                              "<input type=\"submit\" id=\"send\"></form></body></html>");
  server.AddHeldPage("/next.html", "<html><head><title>Next</title></head><body></body></html>");
  server.AddHeldPage("/sent.html", "<html><head><title>Sent</title></head><body></body></html>");

  // A navigation the program starts: the web view knows at once.
  ASSERT_TRUE(H().LoadUri(server.Url("/old.html")));
  DomRef old_page = H().Document();
  EXPECT_EQ(GetUtf8(old_page, "readyState"), "complete");
  webkit_web_view_load_uri(H().view(), server.Url("/next.html").c_str());
  EXPECT_EQ(GetUtf8(old_page, "readyState"), "loading");
  EXPECT_EQ(GetUtf8(H().Document(), "readyState"), "loading");

  // A form the page sends: the page tells before the web view knows.
  webkit_web_view_stop_loading(H().view());
  ASSERT_TRUE(H().RunUntil([&] { return !webkit_web_view_is_loading(H().view()); }, 10000));
  int32_t code = -1;
  Call(ById(old_page, "send"), "click", {}, &code);
  EXPECT_EQ(code, dom_error::kOk);
  EXPECT_EQ(GetUtf8(old_page, "readyState"), "loading");

  server.ReleaseHeldPages();
  ASSERT_TRUE(H().RunUntil([&] { return GetUtf8(H().Document(), "title") == "Sent"; }, 10000));
  EXPECT_EQ(GetUtf8(H().Document(), "readyState"), "complete");
}

TEST(WebKitEngineTest, HandlesAreReleasedInBatches) {
  DomRef document = LoadAndBind(kMembersPage);
  auto bridge = WebKitBridge::For(H().view());
  int64_t before = 0;
  ASSERT_EQ(bridge->TableSize(&before), dom_error::kOk);
  {
    std::vector<DomRef> held;
    for (int i = 0; i < 20; ++i) held.push_back(ById(document, "d1"));
    int64_t during = 0;
    ASSERT_EQ(bridge->TableSize(&during), dom_error::kOk);
    EXPECT_EQ(during, before + 20);
  }
  int64_t after = 0;
  ASSERT_EQ(bridge->TableSize(&after), dom_error::kOk);
  EXPECT_EQ(after, before);
}

TEST(WebKitEngineTest, CallsFromAnotherThreadRunOnTheWindowThread) {
  DomRef document = LoadAndBind("<html><head><title>Threads</title></head><body></body></html>");
  std::atomic<bool> done{false};
  std::string title;
  int32_t code = -1;
  int failures = 0;
  std::thread worker([&] {
    // Objects made and dropped on this thread as well.
    for (int i = 0; i < 20; ++i) {
      DomRef body = Get(document, "body", &code).ToObject();
      if (code != dom_error::kOk || !body) ++failures;
    }
    title = GbkToUtf8(Get(document, "title", &code).ToText());
    done = true;
  });
  EXPECT_TRUE(H().RunUntil([&] { return done.load(); }, 10000));
  worker.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(code, dom_error::kOk);
  EXPECT_EQ(title, "Threads");
}

// Frames of the page's origin and of another origin, all read through the
// bridge's script world; the pages themselves keep web security.
TEST(WebKitEngineTest, FramesOfEveryOrigin) {
  LoopbackServer here;
  LoopbackServer elsewhere;  // another port: another origin
  elsewhere.AddPage("/other.html", "<html><body><p>other</p></body></html>");
  here.AddPage("/inner.html",
               "<html><head><title></title></head><body><p>inner</p><iframe src=\"/deep.html\"></iframe></body></html>");
  here.AddPage("/deep.html", "<html><body><b>deep</b></body></html>");
  here.AddPage("/", "<html><head><title>Top</title></head><body><table><tr><td>top</td></tr></table>"
                    "<iframe id=\"same\" src=\"/inner.html\"></iframe>"
                    "<iframe id=\"other\" src=\"" + elsewhere.Url("/other.html") + "\"></iframe>"
                    "<script>onload = function () {"
                    "  try { frames[1].document.body; document.title = 'reached'; }"
                    "  catch (e) { document.title = 'refused'; } };</script></body></html>");
  ASSERT_TRUE(H().LoadUri(here.Url("/")));
  DomRef document = H().Document();
  ASSERT_TRUE(document);
  WebKitEngine& engine = H().engine();

  DomRef frames = Call(GetObject(GetObject(document, "body"), "all"), "tags", {Variant("iframe")}).ToObject();
  ASSERT_EQ(Get(frames, "length").ToInteger(), 2);
  DomRef same_window = GetObject(Call(frames, "item", {Variant(int32_t{0})}).ToObject(), "contentwindow");
  DomRef other_window = GetObject(Call(frames, "item", {Variant(int32_t{1})}).ToObject(), "contentWindow");
  ASSERT_TRUE(same_window);
  ASSERT_TRUE(other_window);

  DomRef inner = engine.FrameDocument(same_window);
  ASSERT_TRUE(inner);
  EXPECT_EQ(GetUtf8(GetObject(inner, "body"), "innerText"), "inner\n\n");
  DomRef deep_frame = Call(GetObject(GetObject(inner, "body"), "all"), "tags", {Variant("iframe")}).ToObject();
  DomRef deep = engine.FrameDocument(GetObject(Call(deep_frame, "item", {Variant(int32_t{0})}).ToObject(), "contentWindow"));
  EXPECT_EQ(GetUtf8(GetObject(deep, "body"), "innerHTML"), "<B>deep</B>");

  // Another origin's document comes through the reach into frames; its
  // window's document member still refuses, as it does to the page.
  DomRef other = engine.FrameDocument(other_window);
  ASSERT_TRUE(other);
  DomRef paragraph = Call(Call(GetObject(other, "body"), "getElementsByTagName", {Variant("p")}).ToObject(), "item",
                          {Variant(int32_t{0})}).ToObject();
  EXPECT_EQ(GetUtf8(paragraph, "outerHTML"), "<P>other</P>");
  int32_t code = dom_error::kOk;
  Get(other_window, "document", &code);
  EXPECT_NE(code, dom_error::kOk);
  // The frame's document is not open to the page.
  EXPECT_EQ(GetUtf8(document, "title"), "refused");

  // The same through the frames collection of the document.
  DomRef windows = GetObject(document, "frames");
  EXPECT_EQ(Get(windows, "length").ToInteger(), 2);
  EXPECT_TRUE(engine.FrameDocument(Call(windows, "item", {Variant(int32_t{0})}).ToObject()));
  EXPECT_TRUE(engine.FrameDocument(Call(windows, "item", {Variant(int32_t{1})}).ToObject()));
  EXPECT_FALSE(engine.FrameDocument(nullptr));
  EXPECT_FALSE(engine.FrameDocument(GetObject(document, "body")));
}

// A page whose script keeps it busy for a while: the call that meets the
// busy script waits out its time-out, the calls after it fail at once without
// reaching the page, and when the script lets go the late answer of the
// first call brings the page back.
TEST(WebKitEngineTest, ABusyPageCostsOneTimeOutThenAnswersAgain) {
  DomRef document = LoadAndBind(
      "<html><head><title>Busy</title></head><body>"
      "<button id=\"busy\" onclick=\"const end = Date.now() + 3000; while (Date.now() < end) {}\">busy</button>"
      "<p id=\"p\">text</p></body></html>");
  WebKitEngine& engine = H().engine();
  auto bridge = WebKitBridge::For(H().view());
  DomRef button = ById(document, "busy");
  DomRef p = ById(document, "p");
  ASSERT_TRUE(button && p);
  engine.SetCallTimeout(300);
  const int64_t timeouts = bridge->timeouts();
  int32_t code = -1;
  Call(button, "click", {}, &code);
  EXPECT_EQ(code, dom_error::kTimeout);
  EXPECT_EQ(bridge->timeouts() - timeouts, 1);
  EXPECT_TRUE(bridge->unresponsive());

  const int64_t trips = bridge->round_trips();
  const gint64 start = g_get_monotonic_time();
  int32_t status = -1;
  struct Step {
    const char* what;
    std::function<int32_t()> call;
  };
  const Step steps[] = {
      {"property", [&] { int32_t c = -1; Get(document, "title", &c); return c; }},
      {"method", [&] { int32_t c = -1; Call(document, "getElementById", {Variant("p")}, &c); return c; }},
      {"write", [&] { return Put(p, "innerText", Variant("new")); }},
      {"top document", [&] { engine.TopDocument(H().document_window(), 0, &status); return status; }},
      {"top document, own time-out", [&] { engine.TopDocument(H().document_window(), 5000, &status); return status; }},
  };
  for (int round = 0; round < 3; ++round)
    for (const Step& step : steps) EXPECT_EQ(step.call(), dom_error::kTimeout) << step.what;
  // None of them reached the page, none waited.
  EXPECT_EQ(bridge->round_trips(), trips);
  EXPECT_EQ(bridge->timeouts() - timeouts, 1);
  std::printf("15 calls to the busy page took %.1f ms\n", (g_get_monotonic_time() - start) / 1000.0);

  // The script ends, the first call's answer comes in: the page answers again.
  ASSERT_TRUE(H().RunUntil([&] { return !bridge->unresponsive(); }, 20000));
  engine.SetCallTimeout(10000);
  EXPECT_EQ(GetUtf8(document, "title"), "Busy");
  EXPECT_EQ(Put(p, "innerText", Variant("after")), dom_error::kOk);
  EXPECT_EQ(GetUtf8(p, "innerText"), "after");
  EXPECT_EQ(bridge->timeouts() - timeouts, 1);
}

// A page that never answers again fails at once until the next page comes:
// a navigation away from it gets a fresh web process and loads.
TEST(WebKitEngineTest, AStuckPageFailsAtOnceUntilTheNextPage) {
  LoopbackServer server;
  server.AddPage("/stuck.html",
                 "<html><head><title>Stuck</title></head><body>"
                 "<button id=\"hang\" onclick=\"while (true) {}\">hang</button></body></html>");
  server.AddPage("/next.html", "<html><head><title>Next</title></head><body></body></html>");
  ASSERT_TRUE(H().LoadUri(server.Url("/stuck.html")));
  DomRef document = H().Document();
  WebKitEngine& engine = H().engine();
  auto bridge = WebKitBridge::For(H().view());
  DomRef button = ById(document, "hang");
  ASSERT_TRUE(button);
  engine.SetCallTimeout(300);
  const int64_t timeouts = bridge->timeouts();
  int32_t code = -1;
  Call(button, "click", {}, &code);
  EXPECT_EQ(code, dom_error::kTimeout);
  Get(document, "title", &code);
  EXPECT_EQ(code, dom_error::kTimeout);
  EXPECT_EQ(bridge->timeouts() - timeouts, 1);

  const gint64 start = g_get_monotonic_time();
  EXPECT_TRUE(H().LoadUri(server.Url("/next.html")));
  std::printf("navigating away from the stuck page took %.1f ms\n", (g_get_monotonic_time() - start) / 1000.0);
  EXPECT_FALSE(bridge->unresponsive());
  EXPECT_EQ(bridge->timeouts() - timeouts, 1);
  engine.SetCallTimeout(10000);
  DomRef next = H().Document(&code);
  EXPECT_EQ(code, dom_error::kOk);
  EXPECT_EQ(GetUtf8(next, "title"), "Next");
}

// A page whose script never returns while it loads stays loading; a load
// asked of it all the same ends its web process and comes in a fresh one.
TEST(WebKitEngineTest, APageStuckWhileLoadingGivesWayToTheNextLoad) {
  LoopbackServer server;
  server.AddPage("/stuck.html",
                 "<html><head><title>Stuck</title></head><body><p>text</p>"
                 "<script>while (true) {}</script></body></html>");
  server.AddPage("/next.html", "<html><head><title>Next</title></head><body></body></html>");
  WebKitEngine& engine = H().engine();
  auto bridge = WebKitBridge::For(H().view());
  // The load never finishes: the page is there once it has committed.
  bool committed = false;
  gulong handler = g_signal_connect(H().view(), "load-changed",
                                    G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer flag) {
                                      if (event == WEBKIT_LOAD_COMMITTED) *static_cast<bool*>(flag) = true;
                                    }),
                                    &committed);
  webkit_web_view_load_uri(H().view(), server.Url("/stuck.html").c_str());
  const bool arrived = H().RunUntil([&] { return committed; }, 20000);
  g_signal_handler_disconnect(H().view(), handler);
  ASSERT_TRUE(arrived);
  engine.SetCallTimeout(300);
  const int64_t timeouts = bridge->timeouts();
  int32_t status = -1;
  // Asked until the script holds the page (it runs right after the title).
  for (int i = 0; i < 50 && status != dom_error::kTimeout; ++i) engine.TopDocument(H().document_window(), 300, &status);
  EXPECT_EQ(status, dom_error::kTimeout);
  for (int i = 0; i < 5; ++i) {
    engine.TopDocument(H().document_window(), 300, &status);
    EXPECT_EQ(status, dom_error::kTimeout);
  }
  EXPECT_TRUE(bridge->unresponsive());
  EXPECT_EQ(bridge->timeouts() - timeouts, 1);

  EXPECT_TRUE(H().LoadUri(server.Url("/next.html")));
  engine.SetCallTimeout(10000);
  DomRef next = H().Document(&status);
  EXPECT_EQ(status, dom_error::kOk);
  EXPECT_EQ(GetUtf8(next, "title"), "Next");
}

// Runs last: it leaves the web process hung until it ends it.
TEST(WebKitEngineTest, AHungPageTimesOutInsteadOfFreezing) {
  DomRef document = LoadAndBind(
      "<html><head><title>Hang</title></head><body>"
      "<button id=\"hang\" onclick=\"while (true) {}\">hang</button></body></html>");
  WebKitEngine& engine = H().engine();
  engine.SetCallTimeout(500);
  int32_t status = -1;
  document = engine.TopDocument(H().document_window(), 1000, &status);
  ASSERT_TRUE(document);
  DomRef button = ById(document, "hang");
  ASSERT_TRUE(button);

  int32_t code = -1;
  Call(button, "click", {}, &code);
  EXPECT_EQ(code, dom_error::kTimeout);
  Get(document, "title", &code);
  EXPECT_EQ(code, dom_error::kTimeout);
  EXPECT_FALSE(engine.TopDocument(H().document_window(), 300, &status));
  EXPECT_EQ(status, dom_error::kTimeout);

  // A fresh web process serves the next page; the hung page's objects fail.
  H().TerminateWebProcess();
  engine.SetCallTimeout(10000);
  DomRef next = LoadAndBind("<html><head><title>Back</title></head><body></body></html>");
  EXPECT_EQ(GetUtf8(next, "title"), "Back");
  Get(button, "innerText", &code);
  EXPECT_NE(code, dom_error::kOk);
}

}  // namespace
}  // namespace brevane::testing
