// Opening a web address with the desktop shell's "open" verb. The address
// (GBK) goes to the shell as UTF-16 through code page 936, so it reaches
// the browser unchanged whatever the system's locale.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "extras/open_in_browser.h"

#include "base/text/wide.h"

namespace brevane {

void LaunchDefaultBrowser(const Text& address) {
  const std::wstring wide = win32::WideFromGbk(address);
  if (wide.empty() && !address.empty()) return;
  ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace brevane
