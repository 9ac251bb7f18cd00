// Opening a web address with the desktop shell's "open" verb. The address
// (GBK) goes to the shell as UTF-16 through code page 936, so it reaches
// the browser unchanged whatever the system's locale.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "extras/open_in_browser.h"

namespace brevane {

void LaunchDefaultBrowser(const Text& address) {
  std::wstring wide;
  if (!address.empty()) {
    const int n = MultiByteToWideChar(936, 0, address.data(), static_cast<int>(address.size()), nullptr, 0);
    if (n <= 0) return;
    wide.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(936, 0, address.data(), static_cast<int>(address.size()), wide.data(), n);
  }
  ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace brevane
