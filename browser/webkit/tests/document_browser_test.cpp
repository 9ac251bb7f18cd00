// The browser operations the core calls, run over the WebKit engine on real
// pages served from the loopback interface: a board page's thread table, a
// login page's third form, and a thread page whose reply editor is a
// design-mode frame and whose submit control is the seventh button.
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include "browser/document_browser.h"
#include "browser/webkit/tests/calls.h"
#include "browser/webkit/tests/harness.h"
#include "base/text/text.h"

namespace brevane::testing {
namespace {

WebViewHarness& H() { return WebViewHarness::Get(); }

class DocumentBrowserOnWebKitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string base = server_.Url("");
    server_.AddPage("/board.html",
                    "<html><head><title>Board</title></head><body>"
                    "<table><tr><td>header</td></tr></table>"
                    "<table class=\"threads\">"
                    "<tr><td><a href=\"" + base + "/thread-1.html\" target=\"_blank\">Answered</a> "
                    "<a href=\"" + base + "/user-1.html\" target=\"_blank\">user</a></td><td><em>3</em></td></tr>"
                    "<tr><td><a href=\"" + base + "/thread.html\" target=\"_blank\">New</a> "
                    "<a href=\"" + base + "/user-2.html\" target=\"_blank\">user</a></td><td><em>0</em></td></tr>"
                    "</table></body></html>");
    server_.AddPage("/login.html",
                    "<html><head><title>Login</title></head><body>"
                    "<form id=\"search\"><input name=\"q\"></form>"
                    "<form id=\"quick\"><input name=\"u\"></form>"
                    "<form id=\"login\" action=\"/post\" method=\"post\">"
                    "<input type=\"text\" name=\"user\" value=\"me\">"
                    "<input type=\"checkbox\" name=\"remember\" checked>"
                    "<input type=\"submit\" value=\"Log in\"></form></body></html>");
    server_.AddPage("/thread.html",
                    "<html><head><title>Thread</title></head><body>"
                    "<form id=\"reply\" action=\"/post\" method=\"post\">"
                    "<input type=\"hidden\" name=\"h\"><input type=\"text\" name=\"subject\">"
                    "<input type=\"button\" value=\"B\"><input type=\"button\" value=\"I\">"
                    "<input type=\"image\" src=\"/7.png\"><input type=\"reset\" value=\"R\">"
                    "<input type=\"button\" value=\"S1\"><input type=\"button\" value=\"S2\">"
                    "<input type=\"button\" value=\"S3\">"
                    "<iframe id=\"editor\" src=\"about:blank\"></iframe>"
                    "<button type=\"button\" onclick=\"document.getElementById('sent').textContent = "
                    "document.getElementById('editor').contentWindow.document.body.innerHTML\">Send</button>"
                    "</form><div id=\"sent\"></div>"
                    "<script>window.onload = function () {"
                    " document.getElementById('editor').contentWindow.document.designMode = 'on'; };</script>"
                    "</body></html>");
  }

  // A board page whose thread table sits in a frame of the same origin,
  // next to a frame of another origin that also holds tables.
  void AddFramedBoard() {
    elsewhere_.AddPage("/ads.html", "<html><body><table><tr><td>ad</td></tr></table>"
                                    "<table><tr><td><em>0</em></td></tr></table></body></html>");
    server_.AddPage("/list.html", "<html><body><table class=\"threads\"><tr><td><em>0</em></td></tr></table>"
                                  "</body></html>");
    server_.AddPage("/framed.html", "<html><head><title>Framed</title></head><body>"
                                    "<table><tr><td>top</td></tr></table>"
                                    "<iframe src=\"" + elsewhere_.Url("/ads.html") + "\"></iframe>"
                                    "<iframe src=\"/list.html\"></iframe></body></html>");
  }

  // Navigates and waits for the page as the core does.
  void Open(const char* path) {
    browser_.NavigateBrowser(Utf8ToGbk(server_.Url(path)));
    ASSERT_EQ(browser_.WaitForPage(browser_.BrowserWindowHandle(), 10000, true), 1);
  }

  LoopbackServer server_;
  LoopbackServer elsewhere_;  // another port: another origin
  WebViewHost& control_ = H().host();
  MainLoopPause pause_;
  DocumentBinding binding_;
  DocumentBrowser browser_{control_, H().engine(), pause_, binding_};
};

TEST_F(DocumentBrowserOnWebKitTest, SecondTableLeadsToTheUnansweredThread) {
  Open("/board.html");
  Text html = browser_.ReadTableHtml(2);
  ASSERT_EQ(FindText(html, "<TABLE class=threads>"), 1) << html;
  // The thread detection's arithmetic: the second address before the first
  // zero-reply marker, up to the quote and space before its target.
  int32_t marker = FindText(html, "<EM>0</EM>");
  ASSERT_GT(marker, 0);
  int32_t h2 = FindTextBackward(html, "http://", FindTextBackward(html, "http://", marker));
  int32_t t2 = FindTextBackward(html, "target", FindTextBackward(html, "target", marker));
  EXPECT_EQ(MidText(html, h2, t2 - h2 - 2), Utf8ToGbk(server_.Url("/thread.html")));
  EXPECT_EQ(browser_.ReadTableHtml(3), "");
}

TEST_F(DocumentBrowserOnWebKitTest, ThirdFormOfTheLoginPageIsChecked) {
  Open("/login.html");
  Text form = browser_.ReadFormHtml("3");
  EXPECT_EQ(FindText(form, "<FORM id=login action=\"/post\" method=post>\r\n"), 1) << form;
  EXPECT_GT(FindText(form, "<INPUT type=checkbox name=remember CHECKED>\r\n"), 0) << form;
  EXPECT_GT(FindText(form, "</FORM>"), 0);
}

TEST_F(DocumentBrowserOnWebKitTest, ReplyGoesIntoTheEditorFrameAndTheSeventhButtonSendsIt) {
  Open("/thread.html");
  ASSERT_EQ(binding_.DocumentList.size(), 2u);
  EXPECT_EQ(browser_.FillEditor("1", Utf8ToGbk("<b>reply</b> 中文")), 1);
  EXPECT_EQ(browser_.ClickButton("7"), 1);
  DomRef sent = ById(binding_.DocumentList[0], "sent");
  EXPECT_EQ(GetUtf8(sent, "innerText"), "<b>reply</b> 中文");
  // Only six inputs and one button qualify: an eighth is not there.
  EXPECT_EQ(browser_.ClickButton("8"), 0);
}

// As in Internet Explorer, the advertising frame of another origin is in
// the document list and its tables count before the thread list's.
TEST_F(DocumentBrowserOnWebKitTest, FramesOfAnotherOriginCountAsTheirOwnDocuments) {
  AddFramedBoard();
  Open("/framed.html");
  ASSERT_EQ(binding_.DocumentList.size(), 3u);
  EXPECT_EQ(browser_.ReadTableHtml(2), "<TABLE><TBODY><TR><TD>ad</TD></TR></TBODY></TABLE>");
  EXPECT_EQ(browser_.ReadTableHtml(3), "<TABLE><TBODY><TR><TD><EM>0</EM></TD></TR></TBODY></TABLE>");
  EXPECT_EQ(browser_.ReadTableHtml(4), "<TABLE class=threads><TBODY><TR><TD><EM>0</EM></TD></TR></TBODY></TABLE>");
  EXPECT_EQ(browser_.ReadTableHtml(5), "");
}

TEST_F(DocumentBrowserOnWebKitTest, AHungPageMakesTheOperationsFailInsteadOfFreezing) {
  server_.AddPage("/hang.html", "<html><head><title>Hang</title></head><body><table><tr><td>t</td></tr></table>"
                                "<input type=\"button\" value=\"h\" onclick=\"while (true) {}\"></body></html>");
  Open("/hang.html");
  H().engine().SetCallTimeout(500);
  EXPECT_EQ(browser_.ClickButton("1"), 0);
  EXPECT_EQ(browser_.WaitForPage(browser_.BrowserWindowHandle(), 1500), 0);
  EXPECT_EQ(browser_.ReadTableHtml(1), "");
  EXPECT_EQ(browser_.FillEditor("1", "x"), 0);
  H().TerminateWebProcess();
  H().engine().SetCallTimeout(10000);
  // The next page comes up in a fresh web process.
  Open("/login.html");
  EXPECT_GT(FindText(browser_.ReadFormHtml("3"), "CHECKED"), 0);
}

}  // namespace
}  // namespace brevane::testing
