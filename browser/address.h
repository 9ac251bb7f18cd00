// Page addresses as the Internet Explorer control treats them: the scheme
// its Navigate adds to an address typed without one, and the absolute
// address a relative href or src stands for.
#pragma once

#include <string_view>

#include "base/text/text.h"

namespace brevane {

// The address the control loads for what was given to Navigate: one
// without a scheme ("bbs.example.com/forum-1.html", "127.0.0.1:8080/board")
// gets "http://" in front; anything with a scheme, and the empty address,
// stays as it is. A name followed by ":" and digits is a host and port, not
// a scheme.
Text ControlAddress(const Text& address);

// reference resolved against the absolute address base: scheme-relative,
// root-relative, query-only, fragment-only and path-relative references,
// with "." and ".." segments removed. A reference that has a scheme of its
// own comes back unchanged, and so does any reference when base is not
// absolute.
Text ResolveAddress(const Text& base, const Text& reference);

// Whether the embedded browser may go to the address at all: http and https
// (any case) and about:blank. Every other scheme (file, data, javascript,
// ftp, a desktop program's own) is refused before the navigation starts, as
// the silent control shows only web pages.
bool IsBrowsableAddress(std::string_view address);

// The site of an http or https address: its scheme, "://" and its
// registrable domain, all lower case ("http://example.com" for
// "http://bbs.Example.com:8080/t?1"). An IP address, a bracketed IPv6
// address and a host of one label ("localhost") are their own site. The
// registrable domain is the last two labels, or three when the second last
// is a generic second level under a two-letter country ("example.com.cn",
// "example.co.uk"). Empty for any other address (about:blank, a relative
// one), whose document takes the site of the document holding it.
Text SiteOf(std::string_view address);

}  // namespace brevane
