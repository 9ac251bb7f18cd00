#include "extras/open_in_browser.h"

#include <cctype>

namespace brevane {
namespace {

bool StartsWithNoCase(const Text& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsWebAddress(const Text& address) {
  std::size_t scheme = 0;
  if (StartsWithNoCase(address, "http://")) {
    scheme = 7;
  } else if (StartsWithNoCase(address, "https://")) {
    scheme = 8;
  } else {
    return false;
  }
  if (address.size() == scheme) return false;
  for (char c : address) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) return false;
  }
  return true;
}

void OpenInBrowserWith(const Text& address, const BrowserLauncher& launch) {
  if (IsWebAddress(address) && launch) launch(address);
}

void OpenInBrowser(const Text& address) { OpenInBrowserWith(address, LaunchDefaultBrowser); }

}  // namespace brevane
