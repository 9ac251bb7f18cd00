// Hostile pages against the program's reach into frames. A forum page from
// one loopback origin carries an advertising frame from another; the frame
// (and in some rows the forum page too) is the attacker's. Every row runs
// the same program: the load wait, the reads of all three tables, the form
// read and a click on the frame's button, then the load wait again. Each row
// then checks what the attacker learned or changed (nothing: its pages write
// down whatever they catch) and that the program read the real DOM. The
// pages' scripts are data, in the hostile/ folder beside this file.
#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "browser/document_browser.h"
#include "browser/webkit/tests/calls.h"
#include "browser/webkit/tests/harness.h"

namespace brevane::testing {
namespace {

WebViewHarness& H() { return WebViewHarness::Get(); }

// A script of the hostile pages' folder, as the page's own text.
std::string Script(const std::string& file) {
  if (file.empty()) return {};
  std::ifstream in(std::string(BREVANE_HOSTILE_DIR) + "/" + file);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_FALSE(text.str().empty()) << "no script " << file;
  return "<script>" + text.str() + "</script>";
}

struct Hostile {
  const char* name;
  // Scripts of the advertising frame and of the forum page (most rows
  // trust the forum page), from the hostile pages' folder.
  const char* frame_script;
  const char* top_script;
  // A further check of the row, after the common ones, given the binding
  // and the forum page's address.
  std::function<void(const DocumentBinding&, const std::string&)> check;
};

void PrintTo(const Hostile& row, std::ostream* out) { *out << row.name; }

int Toplevels() {
  GList* windows = gtk_window_list_toplevels();
  int count = static_cast<int>(g_list_length(windows));
  g_list_free(windows);
  return count;
}

std::vector<Hostile> Rows() {
  return {
      {"DocumentOpenForgeAndReplay", "document-open.frame.js", "", {}},
      {"GettersAndPrototypesOverwritten", "getters.js", "getters.js", {}},
      {"WindowsAndPermissions", "windows.frame.js", "windows.top.js", {}},
      {"OtherSchemes", "schemes.frame.js", "",
       [](const DocumentBinding& binding, const std::string& page) {
         // The forum page, its advertising frame and three frames that never
         // left about:blank (WebKit makes no frame at all for a file address
         // in a web page).
         ASSERT_EQ(binding.DocumentList.size(), 5u);
         for (std::size_t i = 2; i < 5; ++i) EXPECT_EQ(GetUtf8(binding.DocumentList[i], "URL"), "about:blank") << i;
         EXPECT_EQ(webkit_web_view_get_uri(H().view()), page);
       }},
  };
}

class HostilePageTest : public ::testing::TestWithParam<Hostile> {
 protected:
  Text Learned(std::size_t document) {
    if (document >= binding_.DocumentList.size()) return "(no document)";
    DomRef body = GetObject(binding_.DocumentList[document], "body");
    return Call(body, "getAttribute", {Variant("data-learned")}).ToText();
  }

  LoopbackServer forum_;
  LoopbackServer advertiser_;  // another port: another origin
  WebViewControl control_;
  MainLoopPause pause_;
  DocumentBinding binding_;
  DocumentBrowser browser_{control_, H().engine(), pause_, binding_};
};

TEST_P(HostilePageTest, LearnsNothingAndTheProgramReadsTheRealPage) {
  const Hostile& row = GetParam();
  const std::string recorder = Script("recorder.js");
  advertiser_.AddPage("/ad.html", "<html><head><title>Ad</title>" + recorder +
                                      "</head><body><table id=ad><tr><td>ad</td></tr></table>"
                                      "<button id=go>Go</button>" + Script(row.frame_script) + "</body></html>");
  forum_.AddPage("/forum.html", "<html><head><title>Forum</title>" + recorder +
                                    "</head><body><table id=head><tr><td>head</td></tr></table>"
                                    "<table id=threads><tr><td><a href=\"/thread-1.html\" target=_blank>One</a>"
                                    "</td><td><em>0</em></td></tr></table>"
                                    "<form id=login><input name=user value=me><input type=checkbox name=keep "
                                    "checked></form><iframe src=\"" + advertiser_.Url("/ad.html") +
                                    "\"></iframe>" + Script(row.top_script) + "</body></html>");
  const int windows = Toplevels();
  const std::string forum = forum_.Url("");
  const std::string ad = advertiser_.Url("");

  browser_.NavigateBrowser(Utf8ToGbk(forum_.Url("/forum.html")));
  ASSERT_EQ(browser_.WaitForPage(browser_.BrowserWindowHandle(), 10000), 1);
  ASSERT_GE(binding_.DocumentList.size(), 2u);
  EXPECT_EQ(browser_.ReadTableHtml(1), "<TABLE id=head><TBODY><TR><TD>head</TD></TR></TBODY></TABLE>");
  EXPECT_EQ(browser_.ReadTableHtml(2), Utf8ToGbk("<TABLE id=threads><TBODY><TR><TD><A href=\"" + forum +
                                                 "/thread-1.html\" target=_blank>One</A></TD><TD><EM>0</EM></TD>"
                                                 "</TR></TBODY></TABLE>"));
  EXPECT_EQ(browser_.ReadTableHtml(3), "<TABLE id=ad><TBODY><TR><TD>ad</TD></TR></TBODY></TABLE>");
  EXPECT_EQ(browser_.ReadFormHtml("1"),
            "<FORM id=login>\r\n<INPUT name=user value=me>\r\n<INPUT type=checkbox name=keep CHECKED>\r\n</FORM>");
  EXPECT_EQ(browser_.ClickButton("id==go"), 1);

  // The pages finish their attempts; the program binds again and reads
  // what they wrote down.
  auto finished = [&](std::size_t document) {
    return document < binding_.DocumentList.size() &&
           !Call(GetObject(binding_.DocumentList[document], "body"), "getAttribute", {Variant("data-done")})
                .IsEmpty();
  };
  H().RunUntil([&] {
    browser_.WaitForPage(browser_.BrowserWindowHandle(), 1000);
    return finished(1);
  }, 10000);
  EXPECT_TRUE(finished(1)) << "the advertising frame never finished its attempts";
  EXPECT_EQ(Learned(0), "") << "the forum page caught something";
  EXPECT_EQ(Learned(1), "") << "the advertising frame caught something";
  EXPECT_EQ(GetUtf8(binding_.DocumentList[0], "title"), "Forum");
  EXPECT_EQ(Toplevels(), windows) << "a window opened";
  if (row.check) row.check(binding_, forum_.Url("/forum.html"));
}

INSTANTIATE_TEST_SUITE_P(Pages, HostilePageTest, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Hostile>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brevane::testing
