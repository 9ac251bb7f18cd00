// Opening an address in the user's default web browser.
//
// Only web addresses are handed on: an announcement page or a record entry
// can carry any text, and handing a local path or another scheme to the
// desktop would let a hostile page start a local program.
#pragma once

#include <functional>

#include "base/text/text.h"

namespace brevane {

// True for addresses that start with "http://" or "https://" (scheme in any
// letter case), have something after the scheme, and hold no control byte.
bool IsWebAddress(const Text& address);

// Hands a web address to the desktop's default handler; anything else is
// ignored, silently. The result of the desktop is not examined.
void OpenInBrowser(const Text& address);

// The same guard in front of any launcher (tests use a recording one).
using BrowserLauncher = std::function<void(const Text&)>;
void OpenInBrowserWith(const Text& address, const BrowserLauncher& launch);

// The platform's launcher, without the guard: one file per platform.
void LaunchDefaultBrowser(const Text& address);

}  // namespace brevane
