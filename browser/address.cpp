#include "browser/address.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

namespace brevane {
namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

Text AsciiLower(std::string_view text) {
  Text out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Length of the scheme name before ":" (0 when the text has none). A name
// followed by a port number ("localhost:8080/", "host:81") is a host.
std::size_t SchemeLength(std::string_view text) {
  if (text.empty() || !IsAlpha(text[0])) return 0;
  std::size_t i = 1;
  while (i < text.size() && (IsAlpha(text[i]) || IsDigit(text[i]) || text[i] == '+' || text[i] == '-' ||
                             text[i] == '.')) {
    ++i;
  }
  if (i >= text.size() || text[i] != ':') return 0;
  std::size_t digits = i + 1;
  while (digits < text.size() && IsDigit(text[digits])) ++digits;
  const bool port = digits > i + 1 && (digits == text.size() || text[digits] == '/' || text[digits] == '?' ||
                                       text[digits] == '#');
  return port ? 0 : i;
}

// "a/./b/../c" -> "a/c", keeping a leading "/".
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  const bool rooted = !path.empty() && path[0] == '/';
  if (rooted) start = 1;
  bool trailing = false;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view segment = path.substr(start, end - start);
    trailing = false;
    if (segment == ".") {
      trailing = true;
    } else if (segment == "..") {
      if (!out.empty()) out.pop_back();
      trailing = true;
    } else {
      out.push_back(segment);
    }
    start = end + 1;
  }
  std::string result = rooted ? "/" : "";
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (i) result += '/';
    result += out[i];
  }
  if (trailing && !out.empty()) result += '/';
  return result;
}

}  // namespace

Text ControlAddress(const Text& address) {
  if (address.empty() || SchemeLength(address) > 0) return address;
  return "http://" + address;
}

Text ResolveAddress(const Text& base, const Text& reference) {
  if (SchemeLength(reference) > 0) return reference;
  const std::size_t scheme = SchemeLength(base);
  if (scheme == 0 || base.compare(scheme, 3, "://") != 0) return reference;
  // base = scheme "://" authority path [?query] [#fragment]
  const std::size_t authority_start = scheme + 3;
  std::size_t path_start = base.find_first_of("/?#", authority_start);
  if (path_start == Text::npos) path_start = base.size();
  const Text origin = base.substr(0, path_start);
  std::size_t query_start = base.find_first_of("?#", path_start);
  if (query_start == Text::npos) query_start = base.size();
  const Text path = base.substr(path_start, query_start - path_start);
  const std::size_t fragment_start = base.find('#', path_start);
  const Text without_fragment = base.substr(0, fragment_start == Text::npos ? base.size() : fragment_start);

  if (reference.empty()) return without_fragment;
  if (reference.compare(0, 2, "//") == 0) return base.substr(0, scheme + 1) + reference;
  if (reference[0] == '#') return without_fragment + reference;
  if (reference[0] == '?') return origin + (path.empty() ? Text("/") : path) + reference;

  // Split the reference's own query and fragment off its path.
  std::size_t tail = reference.find_first_of("?#");
  if (tail == Text::npos) tail = reference.size();
  Text reference_path = reference.substr(0, tail);
  const Text rest = reference.substr(tail);
  Text merged;
  if (reference_path[0] == '/') {
    merged = reference_path;
  } else {
    std::size_t slash = path.rfind('/');
    merged = (slash == Text::npos ? Text("/") : path.substr(0, slash + 1)) + reference_path;
  }
  return origin + RemoveDotSegments(merged) + rest;
}

bool IsBrowsableAddress(std::string_view address) {
  if (address == "about:blank") return true;
  const std::size_t colon = address.find(':');
  if (colon == std::string_view::npos) return false;
  Text scheme(address.substr(0, colon));
  for (char& c : scheme) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return scheme == "http" || scheme == "https";
}

Text SiteOf(std::string_view address) {
  const std::size_t colon = address.find("://");
  if (colon == std::string_view::npos) return {};
  const Text scheme = AsciiLower(address.substr(0, colon));
  if (scheme != "http" && scheme != "https") return {};
  std::string_view authority = address.substr(colon + 3);
  authority = authority.substr(0, authority.find_first_of("/?#\\"));
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority = authority.substr(at + 1);
  std::string_view host = authority;
  if (!host.empty() && host[0] == '[') {
    host = host.substr(0, host.find(']') + 1);
  } else if (const std::size_t port = host.find(':'); port != std::string_view::npos) {
    host = host.substr(0, port);
  }
  Text name = AsciiLower(host);
  while (!name.empty() && name.back() == '.') name.pop_back();
  if (name.empty()) return {};
  const bool numeric = name[0] == '[' || std::all_of(name.begin(), name.end(), [](char c) {
                         return IsDigit(c) || c == '.';
                       });
  if (!numeric) {
    std::vector<std::size_t> dots;
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (name[i] == '.') dots.push_back(i);
    }
    std::size_t labels = 2;
    if (dots.size() >= 2) {
      const std::size_t last = dots[dots.size() - 1];
      const std::size_t second = dots[dots.size() - 2];
      const std::string_view country = std::string_view(name).substr(last + 1);
      const std::string_view level = std::string_view(name).substr(second + 1, last - second - 1);
      static constexpr std::string_view kSecondLevels[] = {"com", "net", "org", "edu", "gov", "mil",
                                                           "ac",  "co",  "or",  "ne",  "go"};
      if (country.size() == 2 &&
          std::find(std::begin(kSecondLevels), std::end(kSecondLevels), level) != std::end(kSecondLevels)) {
        labels = 3;
      }
    }
    if (dots.size() >= labels) name = name.substr(dots[dots.size() - labels] + 1);
  }
  return scheme + "://" + name;
}

}  // namespace brevane
