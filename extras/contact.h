// The contact button: opens the support chat page in the default browser.
#pragma once

#include <functional>

#include "base/text/text.h"

namespace brevane {

// The chat page address, fixed at build time (BREVANE_CONTACT_URL): path
// "/msgrd" with the keys V, Uin, Site and Menu in that order.
Text ContactLinkUrl();

// Clicked event of the contact button. Every click opens the page again.
void OpenContactLink(const std::function<void(const Text&)>& open_in_browser);

}  // namespace brevane
