// HttpGetBody against a small HTTP server on the loopback interface, run by
// the test in a thread. These tests wait for real sockets; the time-outs are
// shortened so that each finishes in about a second at most.
#include "extras/http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace brevane {
namespace {

using namespace std::chrono_literals;

class LoopbackServer {
 public:
  // reply: the bytes sent after the request has been read; with
  // stall, the connection then stays open without another byte.
  LoopbackServer(std::string reply, bool stall = false) : reply_(std::move(reply)), stall_(stall) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    listen(listener_, 4);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
    close(listener_);
  }

  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // The request as received; waits for the server to finish with it.
  std::string Request() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
    return request_;
  }
  int connections() const { return connections_; }

 private:
  bool WaitReadable(int fd, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 20) > 0) return true;
      if (done_ && fd == listener_) return false;
    }
    return false;
  }

  void Serve() {
    if (!WaitReadable(listener_, 5s)) return;
    const int client = accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    ++connections_;
    char buf[4096];
    while (request_.find("\r\n\r\n") == std::string::npos && WaitReadable(client, 5s)) {
      const ssize_t n = recv(client, buf, sizeof buf, 0);
      if (n <= 0) break;
      request_.append(buf, static_cast<std::size_t>(n));
    }
    send(client, reply_.data(), reply_.size(), MSG_NOSIGNAL);
    if (stall_) {
      // Stay silent until the client gives up and closes.
      while (WaitReadable(client, 5s) && recv(client, buf, sizeof buf, 0) > 0) {
      }
    }
    close(client);
  }

  std::string reply_;
  bool stall_;
  int listener_ = -1;
  int port_ = 0;
  std::string request_;
  std::atomic<bool> done_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
};

std::unique_ptr<HttpFetcher> Fetcher(std::chrono::milliseconds timeout = 5000ms) {
  HttpOptions options;
  options.connect_timeout = timeout;
  options.transfer_timeout = timeout;
  options.system_proxy = false;
  return MakeHttpFetcher(options);
}

TEST(HttpGetBody, SendsThePlainOldRequestWithoutTheFragment) {
  LoopbackServer server("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nhello body");
  auto http = Fetcher();
  EXPECT_EQ(http->HttpGetBody(server.Base() + "/blog/page.html?id=7#top"), "hello body");
  const std::string request = server.Request();
  EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /blog/page.html?id=7 HTTP/1.0");
  EXPECT_NE(request.find("\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"),
            std::string::npos);
  EXPECT_NE(request.find("\r\nAccept: */*\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nPragma: no-cache\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nCache-Control: no-cache\r\n"), std::string::npos);
  EXPECT_EQ(request.find("top"), std::string::npos);
  EXPECT_EQ(request.find("Referer"), std::string::npos);
}

// Dot segments and escapes already in the address go out as they stand;
// bytes of 0x80 and more may go out raw or percent-encoded, which a server
// reads as the same bytes.
TEST(HttpGetBody, PathIsSentUnchanged) {
  LoopbackServer server("HTTP/1.0 200 OK\r\n\r\nok");
  EXPECT_EQ(Fetcher()->HttpGetBody(server.Base() + "/a/../%41/\xCD\xBC.gif?x=%20"), "ok");
  std::string line = server.Request();
  line = line.substr(0, line.find("\r\n"));
  for (const char* encoded : {"%cd%bc", "%CD%BC"}) {
    const std::size_t at = line.find(encoded);
    if (at != std::string::npos) line.replace(at, 6, "\xCD\xBC");
  }
  EXPECT_EQ(line, "GET /a/../%41/\xCD\xBC.gif?x=%20 HTTP/1.0");
}

TEST(HttpGetBody, ErrorResponseBodyIsTheBody) {
  LoopbackServer server("HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!");
  EXPECT_EQ(Fetcher()->HttpGetBody(server.Base() + "/missing"), "not here!");
}

TEST(HttpGetBody, BinaryBodyKeepsEveryByte) {
  const std::string body("GIF89a\0\x01\xFF\x00", 10);
  LoopbackServer server("HTTP/1.0 200 OK\r\n\r\n" + body);
  EXPECT_EQ(Fetcher()->HttpGetBody(server.Base() + "/b.gif"), body);
}

TEST(HttpGetBody, SilentServerIsCutOffByTheTimeOutWithWhatArrived) {
  LoopbackServer server("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\npartial", /*stall=*/true);
  auto http = Fetcher(800ms);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(http->HttpGetBody(server.Base() + "/slow"), "partial");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
}

TEST(HttpGetBody, RefusedConnectionGivesNoBytes) {
  // A port that was just free and has no listener.
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  close(s);
  EXPECT_EQ(Fetcher()->HttpGetBody("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/"),
            "");
}

TEST(HttpGetBody, NothingIsRequestedForEmptyOrNonWebAddresses) {
  LoopbackServer server("HTTP/1.0 200 OK\r\n\r\nx");
  auto http = Fetcher();
  const std::string base = server.Base();  // named: "#" + a temporary trips GCC 12's -Wrestrict at -O3
  const std::string hostport = base.substr(7);
  EXPECT_EQ(http->HttpGetBody(""), "");
  EXPECT_EQ(http->HttpGetBody("#" + base), "");
  EXPECT_EQ(http->HttpGetBody("ftp://" + hostport + "/"), "");
  EXPECT_EQ(http->HttpGetBody("file:///etc/hostname"), "");
  EXPECT_EQ(http->HttpGetBody(hostport + "/"), "");
  EXPECT_EQ(server.Request(), "");
  EXPECT_EQ(server.connections(), 0);
}

TEST(HttpGetBody, OneFetcherServesSeveralFetches) {
  auto http = Fetcher();
  for (int i = 0; i < 3; ++i) {
    std::string body = "n";
    body += static_cast<char>('0' + i);
    LoopbackServer server("HTTP/1.0 200 OK\r\n\r\n" + body);
    EXPECT_EQ(http->HttpGetBody(server.Base() + "/"), body);
  }
}

}  // namespace
}  // namespace brevane
