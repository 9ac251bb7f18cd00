// The contact button: opens the support chat page in the default browser.
#pragma once

#include <functional>

#include "base/text/text.h"

namespace brevane {

// Clicked event of the contact button: opens the chat page (the program's
// forum addresses give it: path "/msgrd" with the keys V, Uin, Site and Menu
// in that order). Every click opens the page again.
void OpenContactLink(const Text& chat_page, const std::function<void(const Text&)>& open_in_browser);

}  // namespace brevane
