#include "extras/contact.h"

#include "config/endpoints.h"

namespace brevane {

Text ContactLinkUrl() { return Text(endpoints::kContactUrl); }

void OpenContactLink(const std::function<void(const Text&)>& open_in_browser) {
  if (open_in_browser) open_in_browser(ContactLinkUrl());
}

}  // namespace brevane
