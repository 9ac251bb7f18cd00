// Fetching web addresses with libcurl.
#include <curl/curl.h>

#include <cctype>
#include <mutex>

#include "extras/http.h"

namespace brevane {
namespace {

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

bool IsHttpScheme(const Text& address) {
  const auto starts = [&](std::string_view prefix) {
    if (address.size() <= prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(address[i])) != prefix[i]) return false;
    }
    return true;
  };
  return starts("http://") || starts("https://");
}

struct Body {
  std::string bytes;
  std::size_t limit;
};

size_t Append(char* data, size_t size, size_t count, void* user) {
  auto* body = static_cast<Body*>(user);
  const std::size_t n = size * count;
  const std::size_t room = body->limit - body->bytes.size();
  body->bytes.append(data, n < room ? n : room);
  // Returning less than was handed over ends the transfer at the limit.
  return n <= room ? n : 0;
}

class CurlFetcher final : public HttpFetcher {
 public:
  explicit CurlFetcher(const HttpOptions& options) : options_(options) {}
  ~CurlFetcher() override {
    if (handle_) curl_easy_cleanup(handle_);
    if (headers_) curl_slist_free_all(headers_);
  }

  std::string HttpGetBody(const Text& address) override {
    if (address.empty()) return std::string();
    const Text target = AddressWithoutFragment(address);
    if (!IsHttpScheme(target) || !Open()) return std::string();
    curl_easy_reset(handle_);
    CURL* h = handle_;
    Body body{std::string(), options_.max_body_bytes};
    curl_easy_setopt(h, CURLOPT_URL, target.c_str());
    // The path goes out as it stands: no dot segments squashed.
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers_);
    if (!options_.system_proxy) curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options_.connect_timeout.count()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(options_.transfer_timeout.count()));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    // The outcome is not examined: an error page, a cut connection or a
    // time-out all give the bytes that arrived.
    curl_easy_perform(h);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
    return std::move(body.bytes);
  }

 private:
  // The handle is opened by the first fetch and kept for every later one.
  bool Open() {
    if (handle_) return true;
    static std::once_flag global;
    std::call_once(global, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    handle_ = curl_easy_init();
    if (!handle_) return false;
    headers_ = curl_slist_append(headers_, "Accept: */*");
    headers_ = curl_slist_append(headers_, "Cache-Control: no-cache");
    headers_ = curl_slist_append(headers_, "Pragma: no-cache");
    return true;
  }

  HttpOptions options_;
  CURL* handle_ = nullptr;
  curl_slist* headers_ = nullptr;
};

}  // namespace

std::unique_ptr<HttpFetcher> MakeHttpFetcher(const HttpOptions& options) {
  return std::make_unique<CurlFetcher>(options);
}

}  // namespace brevane
