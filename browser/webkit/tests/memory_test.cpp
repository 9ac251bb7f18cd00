// The memory ceiling of the web process: a page that allocates without end
// has its web process ended at the ceiling, and the same view shows the next
// page in a fresh process, reached through the engine as before.
#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <memory>
#include <string>

#include "browser/webkit/tests/calls.h"
#include "browser/webkit/tests/harness.h"

namespace brevane::testing {
namespace {

// A host's view with its own ceiling in a window of its own, with the events
// the test waits for.
class CeilingView {
 public:
  explicit CeilingView(const WebProcessMemoryCeiling& ceiling)
      : host_((WebViewHarness::Get(), ceiling)), view_(host_.view()), engine_(host_) {
    window_ = gtk_offscreen_window_new();
    gtk_container_add(GTK_CONTAINER(window_), host_.widget());
    gtk_widget_show_all(window_);
    g_signal_connect(view_, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer self) {
                       if (event == WEBKIT_LOAD_FINISHED) static_cast<CeilingView*>(self)->loaded_ = true;
                     }),
                     this);
    g_signal_connect(view_, "web-process-terminated",
                     G_CALLBACK(+[](WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer self) {
                       auto* me = static_cast<CeilingView*>(self);
                       me->terminated_ = true;
                       me->reason_ = reason;
                     }),
                     this);
    engine_.SetCallTimeout(10000);
  }
  ~CeilingView() { gtk_widget_destroy(window_); }

  bool Load(const std::string& html) {
    loaded_ = false;
    webkit_web_view_load_html(view_, html.c_str(), "http://127.0.0.1/");
    return WebViewHarness::Get().RunUntil([this] { return loaded_; }, 20000);
  }
  DomRef Document() {
    int32_t status = -1;
    DomRef document = engine_.TopDocument(host_.document_window(), 10000, &status);
    EXPECT_EQ(status, dom_error::kOk);
    return document;
  }
  std::string Title() const {
    const char* title = webkit_web_view_get_title(view_);
    return title ? title : "";
  }

  WebKitWebView* view() { return view_; }
  bool terminated() const { return terminated_; }
  WebKitWebProcessTerminationReason reason() const { return reason_; }

 private:
  // The harness comes first: it starts GTK and sets up the test environment.
  WebViewHost host_;
  WebKitWebView* view_;
  WebKitEngine engine_;
  GtkWidget* window_ = nullptr;
  bool loaded_ = false;
  bool terminated_ = false;
  WebKitWebProcessTerminationReason reason_ = WEBKIT_WEB_PROCESS_CRASHED;
};

// Allocates (and touches) up to the given number of megabytes in steps
// small enough that the page stays responsive, naming its progress in the
// title; the bound keeps the test's own use in check should the ceiling fail.
std::string Allocating(int megabytes) {
  return "<html><head><title>0</title><script>"
         "var keep = [], mb = 0;"
         "function grow() {"
         "  for (var i = 0; i < 8 && mb < " + std::to_string(megabytes) + "; ++i, ++mb)"
         "    keep.push(new Uint8Array(1 << 20).fill(1));"
         "  document.title = String(mb);"
         "  if (mb < " + std::to_string(megabytes) + ") setTimeout(grow, 10);"
         "}"
         "setTimeout(grow, 0);"
         "</script></head><body>growing</body></html>";
}

TEST(WebProcessMemoryCeilingTest, AGreedyPageEndsItsWebProcessAndTheNextPageLoads) {
  CeilingView page({.limit_mb = 250, .poll_interval_seconds = 0.5, .check_interval_ms = 0});
  // The view has a context of its own, not the shared default one.
  EXPECT_NE(webkit_web_view_get_context(page.view()), webkit_web_context_get_default());

  ASSERT_TRUE(page.Load("<html><head><title>Before</title></head><body></body></html>"));
  EXPECT_EQ(GetUtf8(page.Document(), "title"), "Before");

  const gint64 start = g_get_monotonic_time();
  ASSERT_TRUE(page.Load(Allocating(900)));
  ASSERT_TRUE(WebViewHarness::Get().RunUntil([&] { return page.terminated(); }, 120000))
      << "the page reached " << page.Title() << " MB";
  EXPECT_EQ(page.reason(), WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT);
  std::printf("web process ended after %.1f s\n", (g_get_monotonic_time() - start) / 1e6);

  // The same view and engine go on with the next page.
  ASSERT_TRUE(page.Load("<html><head><title>After</title></head><body><p id=p>x</p></body></html>"));
  DomRef document = page.Document();
  EXPECT_EQ(GetUtf8(document, "title"), "After");
  EXPECT_EQ(GetUtf8(ById(document, "p"), "innerText"), "x");
}

// With WebKit's own measurement far off, the module's check between its
// measurements ends the greedy page's process, and the view goes on.
TEST(WebProcessMemoryCeilingTest, TheModulesCheckEndsAGreedyPageBetweenWebKitsMeasurements) {
  CeilingView page({.limit_mb = 250, .poll_interval_seconds = 600, .check_interval_ms = 1000});
  const gint64 start = g_get_monotonic_time();
  ASSERT_TRUE(page.Load(Allocating(900)));
  ASSERT_TRUE(WebViewHarness::Get().RunUntil([&] { return page.terminated(); }, 120000))
      << "the page reached " << page.Title() << " MB";
  EXPECT_EQ(page.reason(), WEBKIT_WEB_PROCESS_CRASHED);
  std::printf("web process ended by the module's check after %.1f s\n", (g_get_monotonic_time() - start) / 1e6);
  ASSERT_TRUE(page.Load("<html><head><title>After</title></head><body></body></html>"));
  EXPECT_EQ(GetUtf8(page.Document(), "title"), "After");
}

// The program's own ceiling leaves a page of ordinary size alone.
TEST(WebProcessMemoryCeilingTest, TheDefaultCeilingShowsAnOrdinaryPage) {
  CeilingView page({});
  ASSERT_TRUE(page.Load(Allocating(40)));
  ASSERT_TRUE(WebViewHarness::Get().RunUntil([&] { return page.terminated() || page.Title() == "40"; }, 60000));
  EXPECT_FALSE(page.terminated());
  EXPECT_EQ(GetUtf8(page.Document(), "title"), "40");
}

}  // namespace
}  // namespace brevane::testing
