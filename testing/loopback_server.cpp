#include "testing/loopback_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <memory>
#include <utility>

namespace brevane::testing {
namespace {

#ifdef _WIN32
using socklen_t = int;
constexpr int kShutBoth = SD_BOTH;
constexpr int kShutSend = SD_SEND;
constexpr int kSendFlags = 0;
void CloseSocket(std::intptr_t s) { closesocket(static_cast<SOCKET>(s)); }
// Winsock wants one start-up per process before the first socket.
void StartSockets() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}
#else
constexpr int kShutBoth = SHUT_RDWR;
constexpr int kShutSend = SHUT_WR;
constexpr int kSendFlags = MSG_NOSIGNAL;
void CloseSocket(std::intptr_t s) { close(static_cast<int>(s)); }
void StartSockets() {}
#endif

// The socket's bytes as they are.
class PlainSession : public LoopbackServer::Session {
 public:
  explicit PlainSession(std::intptr_t socket) : socket_(socket) {}
  long Receive(char* buffer, std::size_t size) override {
    return static_cast<long>(recv(socket_, buffer, static_cast<int>(size), 0));
  }
  long Send(const char* data, std::size_t size) override {
    return static_cast<long>(send(socket_, data, static_cast<int>(size), kSendFlags));
  }

 private:
  std::intptr_t socket_;
};

}  // namespace

LoopbackServer::LoopbackServer()
    : LoopbackServer("http", [](std::intptr_t socket) { return std::make_unique<PlainSession>(socket); }) {}

LoopbackServer::LoopbackServer(std::string scheme, SessionMaker make_session)
    : scheme_(std::move(scheme)), make_session_(std::move(make_session)) {
  StartSockets();
  const auto s = socket(AF_INET, SOCK_STREAM, 0);
  listener_ = static_cast<Socket>(s);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 16) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  ReleaseHeldPages();
  shutdown(listener_, kShutBoth);
  CloseSocket(listener_);
  if (thread_.joinable()) thread_.join();
}

std::string LoopbackServer::Url(const std::string& path) const {
  return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackServer::AddPage(const std::string& path, const std::string& utf8_html) {
  AddResponse(path, "text/html; charset=utf-8", "", utf8_html);
}

void LoopbackServer::AddResponse(const std::string& path, const std::string& content_type,
                                 const std::string& extra_headers, const std::string& body, int delay_ms) {
  std::lock_guard lock(mutex_);
  pages_[path] = Response{content_type, extra_headers, body, delay_ms, false, {}};
}

void LoopbackServer::AddHeldPage(const std::string& path, const std::string& utf8_html) {
  AddPage(path, utf8_html);
  std::lock_guard lock(mutex_);
  held_[path] = true;
}

void LoopbackServer::ReleaseHeldPages() {
  {
    std::lock_guard lock(mutex_);
    released_ = true;
  }
  release_.notify_all();
}

void LoopbackServer::ChangeAfterFirst(const std::string& path, const std::string& later_body) {
  std::lock_guard lock(mutex_);
  Response& page = pages_[path];
  page.changes = true;
  page.later_body = later_body;
}

int LoopbackServer::Requests(const std::string& path) {
  std::lock_guard lock(mutex_);
  auto it = requests_.find(path);
  return it == requests_.end() ? 0 : it->second;
}

void LoopbackServer::Serve() {
  // One thread per connection: a connection the browser opens ahead and
  // leaves idle must not hold up the others.
  while (!stopping_) {
    const auto client = accept(listener_, nullptr, nullptr);
    if (stopping_) {
      if (static_cast<Socket>(client) >= 0) CloseSocket(static_cast<Socket>(client));
      break;
    }
    if (static_cast<Socket>(client) < 0) continue;
    std::lock_guard lock(mutex_);
    clients_.push_back(static_cast<Socket>(client));
    connections_.emplace_back([this, c = static_cast<Socket>(client)] { Answer(c); });
  }
  {
    std::lock_guard lock(mutex_);
    for (Socket client : clients_) shutdown(client, kShutBoth);
  }
  for (auto& connection : connections_) connection.join();
  for (Socket client : clients_) CloseSocket(client);
}

void LoopbackServer::Answer(Socket client) {
  const std::unique_ptr<Session> session = make_session_(client);
  if (!session) {
    shutdown(client, kShutBoth);
    return;
  }
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const long n = session->Receive(buffer, sizeof buffer);
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
    ++requests_[path];
    if (held_.count(path)) release_.wait(lock, [this] { return released_; });
    auto it = pages_.find(path);
    if (it != pages_.end()) {
      page = it->second;
      found = true;
      if (page.changes && requests_[path] > 1) page.body = page.later_body;
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
    const long n = session->Send(response.data() + sent, response.size() - sent);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  shutdown(client, kShutSend);
}

}  // namespace brevane::testing
