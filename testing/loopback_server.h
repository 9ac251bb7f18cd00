// A tiny HTTP/1.0 server on 127.0.0.1 and a free port, serving fixed pages
// from a thread of its own (one more per connection), on POSIX sockets and
// on Winsock alike. Tests serve forum-like pages from it: slow pages, pages
// held until released, pages with header lines of their own, and a count of
// how often each path was asked for. A server may carry its connections
// through sessions of its own (TLS, tls_loopback_server.h).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brevane::testing {

class LoopbackServer {
 public:
  // One connection's bytes, read and written in place of the socket's.
  class Session {
   public:
    virtual ~Session() = default;
    // Bytes moved, or 0 or less when the connection closed or failed.
    virtual long Receive(char* buffer, std::size_t size) = 0;
    virtual long Send(const char* data, std::size_t size) = 0;
  };
  // Opens a session on an accepted socket, on the connection's own thread;
  // a null session drops the connection (a failed handshake).
  using SessionMaker = std::function<std::unique_ptr<Session>(std::intptr_t socket)>;

  LoopbackServer();
  // A server whose addresses start with scheme and whose connections go
  // through the sessions make_session opens.
  LoopbackServer(std::string scheme, SessionMaker make_session);
  virtual ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // 0 when no socket could be opened.
  int port() const { return port_; }
  std::string Url(const std::string& path) const;
  void AddPage(const std::string& path, const std::string& utf8_html);
  // A page answered with its own content type and extra header lines, each
  // ending in CR LF (for example "Content-Disposition: attachment\r\n"),
  // delay_ms after it is asked for.
  void AddResponse(const std::string& path, const std::string& content_type, const std::string& extra_headers,
                   const std::string& body, int delay_ms = 0);
  // From its next request on, the path (added before) is answered with
  // this body instead: a page that changes between two visits.
  void ChangeAfterFirst(const std::string& path, const std::string& later_body);
  // A page whose answer waits until ReleaseHeldPages (or the server's end).
  void AddHeldPage(const std::string& path, const std::string& utf8_html);
  void ReleaseHeldPages();
  // How many requests asked for the path (its query included) so far.
  int Requests(const std::string& path);

 private:
  using Socket = std::intptr_t;
  void Serve();
  void Answer(Socket client);

  Socket listener_ = -1;
  int port_ = 0;
  std::string scheme_ = "http";
  SessionMaker make_session_;
  std::mutex mutex_;
  struct Response {
    std::string content_type = "text/html; charset=utf-8";
    std::string extra_headers;
    std::string body;
    int delay_ms = 0;
    bool changes = false;
    std::string later_body;
  };
  std::map<std::string, Response> pages_;
  std::map<std::string, bool> held_;
  std::map<std::string, int> requests_;
  bool released_ = false;
  std::condition_variable release_;
  std::atomic<bool> stopping_{false};
  std::vector<Socket> clients_;
  std::vector<std::thread> connections_;
  std::thread thread_;
};

}  // namespace brevane::testing
