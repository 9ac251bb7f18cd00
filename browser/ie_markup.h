// The markup the core reads, in the form Internet Explorer writes in IE7
// mode: upper-case tag names, plain-word attribute values bare and others in
// double quotes, boolean attributes as their upper-case names (CHECKED),
// href and src as absolute addresses, the address before the target, form
// controls in their current state. The core's text arithmetic was made for
// that form. The control writes it itself for documents in IE7 mode. From
// IE8 mode on its markup keeps href and src as the page wrote them (only
// the properties are absolute: [MS-HTML401E] 2.3.1.30 href, "Attribute
// Differences in Internet Explorer 8"), and from IE9 mode on it is
// lower-case and quoted as well, so from IE8 mode on the browser layer
// writes the IE7 form itself, over the late-bound model, from the
// document's nodes, reading href and src from the properties.
#pragma once

#include <cstdint>

#include "browser/dom.h"
#include "browser/limits.h"
#include "base/text/text.h"

namespace brevane {

// The first document mode whose markup is not the IE7 form (relative
// addresses kept as written from IE8 mode).
inline constexpr int32_t kFirstRebuiltMode = 8;

// The document's documentMode; 7 for a document without one (an engine
// that is not Internet Explorer's, or IE7 itself).
int32_t DocumentModeOf(const DomRef& document);

// The element's outer HTML in the IE7 form, written from its nodes
// (nodeType, tagName, attributes, childNodes, nodeValue and the element's
// current checked, value, href and src). Elements nested deeper than 256
// are left out. Empty when the markup grows past kMaxAnswerBytes or the
// deadline passes: the writing stops there, asking nothing more.
Text Ie7OuterHtml(const DomRef& element, const Deadline& deadline = {});

// The element's outer HTML as the core reads it from a document in mode:
// the engine's own below IE8 mode, Ie7OuterHtml from IE8 mode on.
// Empty when longer than kMaxAnswerBytes or past the deadline.
Text OuterHtmlAsIe7(const DomRef& element, int32_t mode, const Deadline& deadline = {});

// Appends OuterHtmlAsIe7 to out, an answer being assembled; false when out
// grows past kMaxAnswerBytes with it (no call is asked after that) or the
// deadline passes, and out is then to be dropped.
bool AppendOuterHtmlAsIe7(const DomRef& element, int32_t mode, const Deadline& deadline, Text& out);

}  // namespace brevane
