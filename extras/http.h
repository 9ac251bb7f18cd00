// Fetching the body of a web address: the announcement page and the banner
// picture. One file per platform implements MakeHttpFetcher (libcurl on
// Linux, WinINet on Windows).
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "base/text/text.h"

namespace brevane {

class HttpFetcher {
 public:
  virtual ~HttpFetcher();

  // The body of the response to one GET of the address, whatever its status,
  // or whatever arrived before a failure (usually nothing). An empty address
  // gives no bytes without a request; the fragment after the first "#" is
  // never sent; only http:// and https:// addresses are fetched.
  virtual std::string HttpGetBody(const Text& address) = 0;
};

struct HttpOptions {
  // Bound on establishing the connection, and on the whole transfer: a
  // server that accepts but never answers must not hold start-up forever.
  std::chrono::milliseconds connect_timeout{30000};
  std::chrono::milliseconds transfer_timeout{60000};
  // Bodies beyond this many bytes are cut here.
  std::size_t max_body_bytes = 32u << 20;
  // Whether the proxy named by the user's system settings is used.
  bool system_proxy = true;
};

// A fetcher with the default options. The connection handle is opened at the
// first fetch and closed when the fetcher is destroyed (program end).
std::unique_ptr<HttpFetcher> MakeHttpFetcher();
std::unique_ptr<HttpFetcher> MakeHttpFetcher(const HttpOptions& options);

// The address as it is requested: cut before its first "#".
Text AddressWithoutFragment(const Text& address);

}  // namespace brevane
