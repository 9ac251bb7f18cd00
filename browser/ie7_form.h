// The markup form Internet Explorer writes in IE7 mode, the form the core's
// text arithmetic was made for: upper-case tag names, attribute values that
// are plain words (ASCII letters, digits, - _ .) bare and others in double
// quotes, boolean attributes as their upper-case names (CHECKED), the
// address before the target. The one C++ writer of these rules: the
// browser layer's writer for documents from IE8 mode on (ie_markup) and the
// in-memory engine's IE7-mode markup both write through it. The WebKit
// engine's page-side writer follows the same rules in the page, where it
// walks the nodes in one call.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text/text.h"

namespace brevane::ie7 {

// An element's attributes as they are written: lower-case names, values as
// the writer has them (a boolean attribute's value is not written).
using Attributes = std::vector<std::pair<std::string, Text>>;

// Elements with no content and no end tag.
bool IsVoidElement(std::string_view tag);
// Attributes written as their bare upper-case name.
bool IsBooleanAttribute(std::string_view name);

// Text content: "&", "<" and ">" escaped.
void AppendText(std::string_view text, Text& out);
// An attribute value: a plain word bare, anything else double-quoted with
// "&" and the quote escaped.
void AppendValue(std::string_view value, Text& out);
// "<TAG name=value ...>", with the address before the target wherever the
// page wrote them.
void AppendStartTag(std::string_view tag, Attributes attributes, Text& out);
// "</TAG>".
void AppendEndTag(std::string_view tag, Text& out);

}  // namespace brevane::ie7
