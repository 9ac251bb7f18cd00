// Fetching web addresses with WinINet: one Internet handle opened by the
// first fetch and kept until the fetcher goes (program end), a connection
// and a request per fetch, always sent to the server and never cached.
#include <windows.h>
#include <wininet.h>

#include <cctype>
#include <string>
#include <vector>

#include "extras/http.h"

namespace brevane {
namespace {

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// The parts of an address, split without escaping or unescaping anything.
struct AddressParts {
  INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
  std::string host;
  INTERNET_PORT port = 0;
  std::string user;
  std::string password;
  std::string object;  // path and query
};

bool Split(const Text& address, AddressParts* parts) {
  const DWORD size = static_cast<DWORD>(address.size() + 1);
  std::vector<char> host(size), user(size), password(size), path(size), extra(size);
  URL_COMPONENTSA c{};
  c.dwStructSize = sizeof(c);
  c.lpszHostName = host.data();
  c.dwHostNameLength = size;
  c.lpszUserName = user.data();
  c.dwUserNameLength = size;
  c.lpszPassword = password.data();
  c.dwPasswordLength = size;
  c.lpszUrlPath = path.data();
  c.dwUrlPathLength = size;
  c.lpszExtraInfo = extra.data();
  c.dwExtraInfoLength = size;
  if (!InternetCrackUrlA(address.c_str(), static_cast<DWORD>(address.size()), 0, &c)) return false;
  if (c.nScheme != INTERNET_SCHEME_HTTP && c.nScheme != INTERNET_SCHEME_HTTPS) return false;
  if (c.dwHostNameLength == 0) return false;
  parts->scheme = c.nScheme;
  parts->host.assign(host.data(), c.dwHostNameLength);
  parts->port = c.nPort;
  parts->user.assign(user.data(), c.dwUserNameLength);
  parts->password.assign(password.data(), c.dwPasswordLength);
  parts->object.assign(path.data(), c.dwUrlPathLength);
  parts->object.append(extra.data(), c.dwExtraInfoLength);
  if (parts->object.empty()) parts->object = "/";
  return true;
}

bool StartsWithNoCase(const Text& text, std::string_view prefix) {
  if (text.size() <= prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// Closes a WinINet handle when the scope ends.
struct InternetHandle {
  HINTERNET handle = nullptr;
  ~InternetHandle() {
    if (handle) InternetCloseHandle(handle);
  }
};

class WinInetFetcher final : public HttpFetcher {
 public:
  explicit WinInetFetcher(const HttpOptions& options) : options_(options) {}
  ~WinInetFetcher() override {
    if (internet_) InternetCloseHandle(internet_);
  }

  std::string HttpGetBody(const Text& address) override {
    if (address.empty()) return std::string();
    const Text target = AddressWithoutFragment(address);
    if (!StartsWithNoCase(target, "http://") && !StartsWithNoCase(target, "https://")) return std::string();
    if (target.find('\0') != Text::npos) return std::string();
    AddressParts parts;
    if (!Split(target, &parts) || !Open()) return std::string();

    InternetHandle connection{InternetConnectA(
        internet_, parts.host.c_str(), parts.port, parts.user.empty() ? nullptr : parts.user.c_str(),
        parts.password.empty() ? nullptr : parts.password.c_str(), INTERNET_SERVICE_HTTP, 0, 0)};
    if (!connection.handle) return std::string();

    const char* accept[] = {"*/*", nullptr};
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
    if (parts.scheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    InternetHandle request{HttpOpenRequestA(connection.handle, "GET", parts.object.c_str(), "HTTP/1.0",
                                            nullptr, accept, flags, 0)};
    if (!request.handle) return std::string();
    if (!HttpSendRequestA(request.handle, nullptr, 0, nullptr, 0)) return std::string();

    // The status is not examined: an error page is a body like any other.
    std::string body;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(options_.transfer_timeout.count());
    char piece[16384];
    for (;;) {
      DWORD got = 0;
      if (!InternetReadFile(request.handle, piece, sizeof(piece), &got) || got == 0) break;
      const std::size_t room = options_.max_body_bytes - body.size();
      body.append(piece, got < room ? got : room);
      if (got >= room || GetTickCount64() > deadline) break;
    }
    return body;
  }

 private:
  bool Open() {
    if (internet_) return true;
    // No proxy is named here: either the system's settings or none.
    const DWORD access = options_.system_proxy ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_DIRECT;
    internet_ = InternetOpenA(kUserAgent, access, nullptr, nullptr, 0);
    if (!internet_) return false;
    DWORD connect = static_cast<DWORD>(options_.connect_timeout.count());
    DWORD receive = static_cast<DWORD>(options_.transfer_timeout.count());
    InternetSetOptionA(internet_, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof(connect));
    InternetSetOptionA(internet_, INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof(receive));
    InternetSetOptionA(internet_, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof(receive));
    return true;
  }

  HttpOptions options_;
  HINTERNET internet_ = nullptr;
};

}  // namespace

std::unique_ptr<HttpFetcher> MakeHttpFetcher(const HttpOptions& options) {
  return std::make_unique<WinInetFetcher>(options);
}

}  // namespace brevane
