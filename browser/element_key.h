// Element keys: the short texts by which the core names page elements ("1",
// "3", "7", a plain value, or an attribute name and a value joined by "=="),
// the element test they imply, the direct lookups by id, name and class
// name, and the scan of one tag over every document of the page with one
// running count.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "browser/dom.h"
#include "browser/limits.h"
#include "base/text/text.h"

namespace brevane {

// Text to number as every conversion of the program does it: leading spaces
// skipped, then the leading number (sign, digits, fraction, exponent), with
// full-width digits read as digits; 0 when the text does not start with a
// number.
double TextToNumberValue(std::string_view text);

// The position a key names: the key read as a number, fraction dropped, when
// writing that integer in decimal gives back as many bytes as the key has;
// otherwise 0. So "3" gives 3 while "03", "3a", "+3", "3.0" and "==" give 0.
int32_t KeyIndexOf(std::string_view key);

struct ElementKey {
  Text attribute;  // lower-cased name left of the first "=="; empty without "=="
  Text value;      // trimmed text right of the last "=="; the whole key without "=="
  int32_t index = 0;
};

ElementKey ParseElementKey(std::string_view key);

// Whether element carries value (in the named attribute, or else in one of
// the compared texts, tested in a fixed order). A match with skip > 0 lowers
// skip and answers no. Each text is asked only while the deadline holds.
bool MatchElement(const DomRef& element, const Text& value, const Text& attribute, int32_t& skip,
                  const Deadline& deadline = {});

// The element the document finds by itself for an "id", "name" or
// "classname" key; empty for any other attribute name or an empty value.
DomRef DirectLookup(const DomRef& document, const Text& attribute, const Text& value, int32_t skip,
                    const Deadline& deadline = {});

// A caller's filter: elements it rejects are neither counted nor matched.
using ElementFilter = std::function<bool(const DomRef&)>;

// The state a scan carries from one document, and one pass, to the next.
struct ScanState {
  int32_t count = 0;
  int32_t skip = 0;
  // When it passes, the scan gives up and finds nothing; no call is asked
  // after it.
  Deadline deadline;
  // Index among the documents of the one the found element lies in.
  std::size_t found_in = 0;
};

// Walks the elements of tag in every document, in order, and returns the
// first one the key names: the KeyIndex-th counted element or the first that
// matches. With direct_lookup and a KeyIndex of 0, each document is first
// asked for the element by id, name or class name. A document whose list of
// that tag is longer than kMaxListLength counts as having none.
DomRef ScanTag(const std::vector<DomRef>& documents, std::string_view tag, const ElementKey& key,
               ScanState& state, bool direct_lookup, const ElementFilter& filter = {});

}  // namespace brevane
