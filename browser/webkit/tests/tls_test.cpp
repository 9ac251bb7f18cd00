// Boards served over TLS to the WebKit engine, with certificates made for
// this test. A certificate the view's web context was told to accept for its
// host reads as a board over plain HTTP does. Every other one (never
// accepted, accepted only for another host, expired) fails the board's load
// as an unreachable address does: the view shows its error page, the
// operations find no table, nothing asks the user anything, a second try
// fails the same way, and the next board loads as usual.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>

#include "browser/document_browser.h"
#include "browser/late_binding.h"
#include "browser/webkit/tests/harness.h"
#include "base/text/charset.h"
#include "testing/tls_loopback_server.h"

namespace brevane::testing {
namespace {

WebViewHarness& H() { return WebViewHarness::Get(); }

guint TopLevelWindows() {
  GList* windows = gtk_window_list_toplevels();
  const guint count = g_list_length(windows);
  g_list_free(windows);
  return count;
}

std::string BoardPage(const std::string& origin) {
  return "<html><head><title>Board</title></head><body>"
         "<table><tr><td>nav</td></tr></table>"
         "<table><tr><td><a href=\"" + origin + "/thread/1\" target=\"_blank\">New</a></td>"
         "<td><em>0</em></td></tr></table></body></html>";
}

// Accepts the certificate for the host in the view's web context: the test's
// own trust, nothing the program does.
void Allow(const TestCertificate& certificate, const char* host) {
  GError* error = nullptr;
  GTlsCertificate* tls = g_tls_certificate_new_from_pem(certificate.certificate_pem.c_str(), -1, &error);
  ASSERT_NE(tls, nullptr) << (error ? error->message : "");
  webkit_web_context_allow_tls_certificate_for_host(webkit_web_view_get_context(H().view()), tls, host);
  g_object_unref(tls);
}

// What the core sees of a board: the page wait's result, the title of the
// bound top document and the first two tables, one line each.
class TlsBoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_signal_connect(H().view(), "load-failed-with-tls-errors",
                     G_CALLBACK(+[](WebKitWebView*, char*, GTlsCertificate*, GTlsCertificateFlags, gpointer count)
                                    -> gboolean {
                       ++*static_cast<int*>(count);
                       return FALSE;  // as the program: the load fails
                     }),
                     &tls_failures_);
  }
  void TearDown() override { g_signal_handlers_disconnect_by_data(H().view(), &tls_failures_); }

  std::string Read(const std::string& address) {
    browser_.NavigateBrowser(Utf8ToGbk(address));
    std::string seen = std::to_string(browser_.WaitForPage(browser_.BrowserWindowHandle(), 10000, true));
    seen += '\n';
    if (!binding_.DocumentList.empty()) seen += GbkToUtf8(GetText(binding_.DocumentList.front(), "title"));
    for (int32_t table : {1, 2}) {
      seen += '\n';
      seen += GbkToUtf8(browser_.ReadTableHtml(table));
    }
    return seen;
  }

  int tls_failures_ = 0;
  WebViewHost& control_ = H().host();
  MainLoopPause pause_;
  DocumentBinding binding_;
  DocumentBrowser browser_{control_, H().engine(), pause_, binding_};
};

TEST_F(TlsBoardTest, OnlyACertificateAcceptedForItsHostLoads) {
  const TestCertificate accepted = MakeTestCertificate("127.0.0.1");
  ASSERT_FALSE(accepted.certificate_pem.empty());
  TlsLoopbackServer good(accepted);
  good.AddPage("/board.htm", BoardPage(good.Url("")));
  Allow(accepted, "127.0.0.1");
  const std::string board = Read(good.Url("/board.htm"));
  EXPECT_NE(board.find("\nBoard\n"), std::string::npos) << board;
  EXPECT_NE(board.find("<EM>0</EM>"), std::string::npos) << board;
  EXPECT_NE(board.find(good.Url("/thread/1")), std::string::npos) << board;
  EXPECT_EQ(tls_failures_, 0);

  // The reference: a board on a port where nothing listens.
  std::string unreachable;
  {
    LoopbackServer gone;
    unreachable = Read("http://127.0.0.1:" + std::to_string(gone.port()) + "/board.htm");
  }
  struct Refusal {
    const char* what;
    TestCertificate certificate;
    const char* accepted_for;  // a host the certificate is accepted for, or none
  };
  const Refusal refusals[] = {
      {"self-signed, never accepted", MakeTestCertificate("127.0.0.1"), nullptr},
      {"accepted for another host only", MakeTestCertificate("127.0.0.1"), "localhost"},
      {"made for another host", MakeTestCertificate("bbs.example"), nullptr},
      {"expired", MakeTestCertificate("127.0.0.1", -30 * 24 * 3600, -24 * 3600), nullptr},
  };
  const guint windows = TopLevelWindows();
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    ASSERT_FALSE(refusal.certificate.certificate_pem.empty());
    if (refusal.accepted_for) Allow(refusal.certificate, refusal.accepted_for);
    TlsLoopbackServer bad(refusal.certificate);
    bad.AddPage("/board.htm", BoardPage(bad.Url("")));
    // Refused again on a second try: nothing was let past the first time.
    EXPECT_EQ(Read(bad.Url("/board.htm")), unreachable);
    EXPECT_EQ(Read(bad.Url("/board.htm")), unreachable);
    EXPECT_EQ(bad.Requests("/board.htm"), 0);  // no request got through
    EXPECT_EQ(TopLevelWindows(), windows);      // nothing opened to ask the user
    EXPECT_EQ(Read(good.Url("/board.htm")), board);  // the run goes on
  }
  // The certificates were what failed the loads. (WebKit reports some
  // refusals as a cancelled load instead, also with its error page.)
  EXPECT_GT(tls_failures_, 0);
}

// The view's web context refuses certificate errors whatever it was set to.
TEST_F(TlsBoardTest, PreparedViewFailsCertificateErrors) {
  WebKitWebsiteDataManager* data =
      webkit_web_context_get_website_data_manager(webkit_web_view_get_context(H().view()));
  webkit_website_data_manager_set_tls_errors_policy(data, WEBKIT_TLS_ERRORS_POLICY_IGNORE);
  RefuseInvalidCertificates(H().view());
  EXPECT_EQ(webkit_website_data_manager_get_tls_errors_policy(data), WEBKIT_TLS_ERRORS_POLICY_FAIL);
}

}  // namespace
}  // namespace brevane::testing
