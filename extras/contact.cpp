#include "extras/contact.h"

namespace brevane {

void OpenContactLink(const Text& chat_page, const std::function<void(const Text&)>& open_in_browser) {
  if (open_in_browser) open_in_browser(chat_page);
}

}  // namespace brevane
