#include "browser/webkit/tests/harness.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <cstring>

#include "ui/window_thread_gtk.h"

namespace brevane::testing {

WebViewHarness& WebViewHarness::Get() {
  static WebViewHarness* harness = new WebViewHarness();
  return *harness;
}

WebViewHarness::WebViewHarness() {
  // WebKit under Xvfb without a GPU: no accelerated compositing, software GL.
  setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  gtk_init(nullptr, nullptr);
  // The tests' thread is the window thread the view belongs to.
  gtk::MarkWindowThread();
  window_ = gtk_offscreen_window_new();
  gtk_window_set_default_size(GTK_WINDOW(window_), 800, 600);
  // The program's own host and view, with its memory ceiling and website
  // data, made ready as the program's is.
  host_ = new WebViewHost();
  view_ = host_->view();
  gtk_container_add(GTK_CONTAINER(window_), host_->widget());
  gtk_widget_show_all(window_);
  g_signal_connect(view_, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer self) {
                     if (event == WEBKIT_LOAD_FINISHED) static_cast<WebViewHarness*>(self)->load_finished_ = true;
                   }),
                   this);
  engine_ = new WebKitEngine(*host_);
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
  DomRef document = engine_->TopDocument(document_window(), 10000, &code);
  if (status) *status = code;
  return document;
}

void WebViewHarness::TerminateWebProcess() { webkit_web_view_terminate_web_process(view_); }

int32_t MainLoopPause::For(int32_t duration, int32_t unit) {
  WebViewHarness::Get().RunUntil([] { return false; }, static_cast<int>(PauseMilliseconds(duration, unit)));
  return 1;
}

int64_t MainLoopPause::TickCount() { return g_get_monotonic_time() / 1000; }

}  // namespace brevane::testing
