// Opening an address with the desktop's default handler for its URI scheme.
#include <gio/gio.h>

#include "base/text/charset.h"
#include "extras/open_in_browser.h"

namespace brevane {

void LaunchDefaultBrowser(const Text& address) {
  const std::string uri = GbkToUtf8(address);
  if (uri.empty()) return;
  GError* error = nullptr;
  g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error);
  if (error) g_error_free(error);
}

}  // namespace brevane
