// The WebKit engine against a real web view: binding through the widget
// table, Internet Explorer member names, markup in that engine's style,
// handle lifetime, and calls from another thread.
#include <gtest/gtest.h>

#include <thread>

#include "browser/webkit/tests/calls.h"
#include "browser/webkit/tests/harness.h"
#include "browser/webkit/webkit_bridge.h"

namespace brevane::testing {
namespace {

WebViewHarness& H() { return WebViewHarness::Get(); }

[[maybe_unused]] DomRef LoadAndBind(const std::string& html) {
  EXPECT_TRUE(H().LoadHtml(html));
  int32_t status = -1;
  DomRef document = H().Document(&status);
  EXPECT_EQ(status, dom_error::kOk);
  EXPECT_TRUE(document);
  return document;
}

TEST(WebKitEngineTest, WindowTreeComesFromTheWidgetTable) {
  WebKitEngine& engine = H().engine();
  EXPECT_TRUE(engine.IsWindow(kMainWindow));
  EXPECT_FALSE(engine.IsWindow(0));
  EXPECT_FALSE(engine.IsWindow(999));
  EXPECT_EQ(engine.ClassName(kWebView), "Internet Explorer_Server");
  EXPECT_EQ(engine.ClassName(999), "");
  EXPECT_EQ(engine.Children(kMainWindow), std::vector<WindowHandle>{kBox});
  EXPECT_TRUE(engine.Children(999).empty());
}

TEST(WebKitEngineTest, TopDocumentOnlyFromTheWebView) {
  ASSERT_TRUE(H().LoadHtml("<html><head><title>T</title></head><body>x</body></html>"));
  int32_t status = 0;
  EXPECT_FALSE(H().engine().TopDocument(kMainWindow, 1000, &status));
  EXPECT_NE(status, dom_error::kOk);
  EXPECT_FALSE(H().engine().TopDocument(999, 1000, &status));
  EXPECT_NE(status, dom_error::kOk);

  DomRef document = H().engine().TopDocument(kWebView, 1000, &status);
  ASSERT_TRUE(document);
  EXPECT_EQ(status, dom_error::kOk);
  EXPECT_EQ(GetUtf8(document, "title"), "T");
  EXPECT_EQ(GetUtf8(document, "readyState"), "complete");
}

}  // namespace
}  // namespace brevane::testing
