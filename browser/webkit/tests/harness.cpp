#include "browser/webkit/tests/harness.h"

#include <arpa/inet.h>
#include <gtk/gtk.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <cstring>

#include "core/text/charset.h"

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
  view_ = WEBKIT_WEB_VIEW(webkit_web_view_new());
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

// ---- LoopbackServer -------------------------------------------------------

LoopbackServer::LoopbackServer() {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener_, 16);
  socklen_t length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  ReleaseHeldPages();
  shutdown(listener_, SHUT_RDWR);
  close(listener_);
  thread_.join();
}

std::string LoopbackServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackServer::AddPage(const std::string& path, const std::string& utf8_html) {
  std::lock_guard lock(mutex_);
  pages_[path] = Response{"text/html; charset=utf-8", "", utf8_html};
}

void LoopbackServer::AddResponse(const std::string& path, const std::string& content_type,
                                 const std::string& extra_headers, const std::string& body, int delay_ms) {
  std::lock_guard lock(mutex_);
  pages_[path] = Response{content_type, extra_headers, body, delay_ms};
}

void LoopbackServer::AddHeldPage(const std::string& path, const std::string& utf8_html) {
  std::lock_guard lock(mutex_);
  pages_[path] = Response{"text/html; charset=utf-8", "", utf8_html};
  held_[path] = true;
}

void LoopbackServer::ReleaseHeldPages() {
  {
    std::lock_guard lock(mutex_);
    released_ = true;
  }
  release_.notify_all();
}

void LoopbackServer::Serve() {
  // One thread per connection: a connection the browser opens ahead and
  // leaves idle must not hold up the others.
  while (!stopping_) {
    int client = accept(listener_, nullptr, nullptr);
    if (client < 0) {
      if (stopping_) break;
      continue;
    }
    std::lock_guard lock(mutex_);
    clients_.push_back(client);
    connections_.emplace_back([this, client] { Answer(client); });
  }
  {
    std::lock_guard lock(mutex_);
    for (int client : clients_) shutdown(client, SHUT_RDWR);
  }
  for (auto& connection : connections_) connection.join();
  for (int client : clients_) close(client);
}

void LoopbackServer::Answer(int client) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<size_t>(n));
  }
  std::string path;
  size_t first = request.find(' ');
  if (first != std::string::npos) path = request.substr(first + 1, request.find(' ', first + 1) - first - 1);
  Response page;
  bool found = false;
  {
    std::unique_lock lock(mutex_);
    if (held_.count(path)) release_.wait(lock, [this] { return released_; });
    auto it = pages_.find(path);
    if (it != pages_.end()) {
      page = it->second;
      found = true;
    }
  }
  // A slow server: the answer leaves only after its delay, or at the
  // server's end.
  if (page.delay_ms > 0) {
    std::unique_lock lock(mutex_);
    release_.wait_for(lock, std::chrono::milliseconds(page.delay_ms), [this] { return stopping_.load(); });
  }
  std::string response = std::string(found ? "HTTP/1.0 200 OK\r\n" : "HTTP/1.0 404 Not Found\r\n") +
                         "Content-Type: " + page.content_type + "\r\n" + page.extra_headers +
                         "Content-Length: " + std::to_string(page.body.size()) +
                         "\r\nConnection: close\r\n\r\n" + page.body;
  size_t sent = 0;
  while (sent < response.size()) {
    ssize_t n = send(client, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  shutdown(client, SHUT_WR);
}

void WebViewControl::Navigate(const Text& address) {
  webkit_web_view_load_uri(WebViewHarness::Get().view(), GbkToUtf8(address).c_str());
}

int32_t MainLoopPause::For(int32_t duration, int32_t unit) {
  WebViewHarness::Get().RunUntil([] { return false; }, static_cast<int>(PauseMilliseconds(duration, unit)));
  return 1;
}

int64_t MainLoopPause::TickCount() { return g_get_monotonic_time() / 1000; }

}  // namespace brevane::testing
