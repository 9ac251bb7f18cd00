// HttpGetBody through WinINet against a small HTTP server on the loopback
// interface (Winsock), run by the test in a thread.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "extras/http.h"

namespace brevane {
namespace {

struct WinsockUp {
  WinsockUp() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~WinsockUp() { WSACleanup(); }
};

// Answers one connection: reads the request head, sends reply, closes.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::string reply) : reply_(std::move(reply)) {
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;  // any free port
    bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    int len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    listen(listener_, 4);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
    closesocket(listener_);
  }

  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string Request() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
    return request_;
  }
  int connections() const { return connections_; }

 private:
  bool Readable(SOCKET s, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{0, ms * 1000};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
  }
  void Serve() {
    // Up to five seconds for the client, checked in short steps so that a
    // test that sends nothing ends at once.
    for (int i = 0; i < 100 && !(done_ && i > 0); ++i) {
      if (!Readable(listener_, 50)) continue;
      SOCKET client = accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      ++connections_;
      char buffer[4096];
      while (request_.find("\r\n\r\n") == std::string::npos && Readable(client, 2000)) {
        const int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        request_.append(buffer, static_cast<std::size_t>(got));
      }
      send(client, reply_.data(), static_cast<int>(reply_.size()), 0);
      shutdown(client, SD_SEND);
      closesocket(client);
      return;
    }
  }

  WinsockUp winsock_;
  std::string reply_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::string request_;
  std::atomic<bool> done_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
};

std::string Reply(const std::string& status, const std::string& body) {
  return "HTTP/1.0 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

TEST(WinInetHttpGetBody, SendsThePlainOldRequestWithoutTheFragment) {
  LoopbackServer server(Reply("200 OK", "hello body"));
  auto http = MakeHttpFetcher();
  EXPECT_EQ(http->HttpGetBody(server.Base() + "/blog/page.html?id=7#top"), "hello body");
  const std::string request = server.Request();
  EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /blog/page.html?id=7 HTTP/1.0");
  EXPECT_NE(request.find("\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"),
            std::string::npos);
  EXPECT_NE(request.find("\r\nAccept: */*\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nPragma: no-cache\r\n"), std::string::npos);
  EXPECT_EQ(request.find("top"), std::string::npos);
  EXPECT_EQ(request.find("Referer"), std::string::npos);
}

TEST(WinInetHttpGetBody, ErrorResponseAndBinaryBodiesAreTheBody) {
  {
    LoopbackServer server(Reply("404 Not Found", "not here!"));
    EXPECT_EQ(MakeHttpFetcher()->HttpGetBody(server.Base() + "/missing"), "not here!");
  }
  std::string body;
  for (int i = 0; i < 70000; ++i) body.push_back(static_cast<char>(i * 7));
  LoopbackServer server(Reply("200 OK", body));
  EXPECT_EQ(MakeHttpFetcher()->HttpGetBody(server.Base() + "/b.gif"), body);
}

TEST(WinInetHttpGetBody, NothingIsRequestedForEmptyOrNonWebAddresses) {
  LoopbackServer server(Reply("200 OK", "x"));
  auto http = MakeHttpFetcher();
  const std::string hostport = server.Base().substr(7);
  EXPECT_EQ(http->HttpGetBody(""), "");
  EXPECT_EQ(http->HttpGetBody("#" + server.Base()), "");
  EXPECT_EQ(http->HttpGetBody("ftp://" + hostport + "/"), "");
  EXPECT_EQ(http->HttpGetBody("file:///C:/windows/win.ini"), "");
  EXPECT_EQ(http->HttpGetBody(hostport + "/"), "");
  EXPECT_EQ(server.Request(), "");
  EXPECT_EQ(server.connections(), 0);
}

TEST(WinInetHttpGetBody, RefusedConnectionGivesNoBytes) {
  WinsockUp winsock;
  // A port that was free a moment ago and has nobody listening now.
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  int len = sizeof addr;
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  closesocket(s);
  EXPECT_EQ(MakeHttpFetcher()->HttpGetBody("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/"), "");
}

}  // namespace
}  // namespace brevane
