#include "browser/webkit/tests/harness.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <cstring>

#include "base/text/charset.h"

namespace brevane::testing {

bool TestWidgets::IsWindow(WindowHandle handle) {
  return handle == kMainWindow || handle == kBox || handle == kWebView;
}

std::string TestWidgets::ClassName(WindowHandle handle) {
  switch (handle) {
    case kMainWindow: return "BrevaneMainWindow";
    case kBox: return "GtkBox";
    case kWebView: return std::string(kWebViewClass);
  }
  return {};
}

std::vector<WindowHandle> TestWidgets::Children(WindowHandle handle) {
  if (handle == kMainWindow) return {kBox};
  if (handle == kBox) return {kWebView};
  return {};
}

WebKitWebView* TestWidgets::WebViewOf(WindowHandle handle) { return handle == kWebView ? view_ : nullptr; }

WebViewHarness& WebViewHarness::Get() {
  static WebViewHarness* harness = new WebViewHarness();
  return *harness;
}

WebViewHarness::WebViewHarness() {
  // WebKit under Xvfb without a GPU: no accelerated compositing, software GL.
  setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  gtk_init(nullptr, nullptr);
  window_ = gtk_offscreen_window_new();
  gtk_window_set_default_size(GTK_WINDOW(window_), 800, 600);
  // The program's own view, with its memory ceiling and website data.
  view_ = CreateWebView();
  gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(view_));
  gtk_widget_show_all(window_);
  g_signal_connect(view_, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer self) {
                     if (event == WEBKIT_LOAD_FINISHED) static_cast<WebViewHarness*>(self)->load_finished_ = true;
                   }),
                   this);
  PrepareWebView(view_);
  widgets_ = new TestWidgets(view_);
  engine_ = new WebKitEngine(*widgets_);
  // Generous time-outs: test machines run many programs at once.
  engine_->SetCallTimeout(10000);
}

bool WebViewHarness::RunUntil(const std::function<bool()>& done, int timeout_ms) {
  bool expired = false;
  guint timer = g_timeout_add(static_cast<guint>(timeout_ms), +[](gpointer flag) {
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
  }, &expired);
  while (!done() && !expired) g_main_context_iteration(nullptr, TRUE);
  if (!expired) g_source_remove(timer);
  return done();
}

bool WebViewHarness::WaitForLoad() {
  return RunUntil([this] { return load_finished_; }, 20000);
}

bool WebViewHarness::LoadHtml(const std::string& utf8_html, const std::string& base_uri) {
  load_finished_ = false;
  webkit_web_view_load_html(view_, utf8_html.c_str(), base_uri.c_str());
  return WaitForLoad();
}

bool WebViewHarness::LoadUri(const std::string& uri) {
  load_finished_ = false;
  webkit_web_view_load_uri(view_, uri.c_str());
  return WaitForLoad();
}

DomRef WebViewHarness::Document(int32_t* status) {
  int32_t code = 0;
  DomRef document = engine_->TopDocument(kWebView, 10000, &code);
  if (status) *status = code;
  return document;
}

void WebViewHarness::TerminateWebProcess() { webkit_web_view_terminate_web_process(view_); }

void WebViewControl::Navigate(const Text& address) {
  webkit_web_view_load_uri(WebViewHarness::Get().view(), GbkToUtf8(address).c_str());
}

int32_t MainLoopPause::For(int32_t duration, int32_t unit) {
  WebViewHarness::Get().RunUntil([] { return false; }, static_cast<int>(PauseMilliseconds(duration, unit)));
  return 1;
}

int64_t MainLoopPause::TickCount() { return g_get_monotonic_time() / 1000; }

}  // namespace brevane::testing
