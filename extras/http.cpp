#include "extras/http.h"

namespace brevane {

HttpFetcher::~HttpFetcher() = default;

std::unique_ptr<HttpFetcher> MakeHttpFetcher() { return MakeHttpFetcher(HttpOptions{}); }

Text AddressWithoutFragment(const Text& address) {
  const std::size_t hash = address.find('#');
  return hash == Text::npos ? address : address.substr(0, hash);
}

}  // namespace brevane
