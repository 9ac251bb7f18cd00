#include "browser/element_key.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "browser/late_binding.h"

namespace brevane {
namespace {

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Full-width digits are the GBK characters A3 B0 .. A3 B9.
int FullWidthDigit(std::string_view text, std::size_t i) {
  if (i + 1 < text.size() && static_cast<unsigned char>(text[i]) == 0xA3) {
    unsigned char trail = static_cast<unsigned char>(text[i + 1]);
    if (trail >= 0xB0 && trail <= 0xB9) return trail - 0xB0;
  }
  return -1;
}

// Copies the leading number of text into out, in ASCII.
void LeadingNumber(std::string_view text, std::string& out) {
  std::size_t i = 0;
  auto digit_at = [&](std::size_t at, char* digit) -> std::size_t {
    if (at < text.size() && IsAsciiDigit(text[at])) {
      *digit = text[at];
      return 1;
    }
    int wide = FullWidthDigit(text, at);
    if (wide >= 0) {
      *digit = static_cast<char>('0' + wide);
      return 2;
    }
    return 0;
  };
  auto take_digits = [&]() {
    std::size_t taken = 0;
    char digit;
    while (std::size_t width = digit_at(i, &digit)) {
      out.push_back(digit);
      i += width;
      ++taken;
    }
    return taken;
  };
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) out.push_back(text[i++]);
  std::size_t digits = take_digits();
  if (i < text.size() && text[i] == '.') {
    std::size_t mark = out.size();
    out.push_back('.');
    ++i;
    std::size_t fraction = take_digits();
    if (digits == 0 && fraction == 0) out.resize(mark);
    digits += fraction;
  }
  if (digits == 0) {
    out.clear();
    return;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t mark = out.size();
    std::size_t resume = i;
    out.push_back('e');
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) out.push_back(text[i++]);
    if (take_digits() == 0) {
      out.resize(mark);
      i = resume;
    }
  }
}

}  // namespace

double TextToNumberValue(std::string_view text) {
  std::string ascii;
  LeadingNumber(text, ascii);
  if (ascii.empty()) return 0;
  const char* first = ascii.data();
  if (*first == '+') ++first;
  double value = 0;
  auto [end, error] = std::from_chars(first, ascii.data() + ascii.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Too large or too small for a double: the nearest representable value.
    bool negative = ascii[0] == '-';
    bool tiny = ascii.find("e-") != std::string::npos;
    if (tiny) return negative ? -0.0 : 0.0;
    return negative ? -std::numeric_limits<double>::max() : std::numeric_limits<double>::max();
  }
  if (error != std::errc()) return 0;
  return value;
}

int32_t KeyIndexOf(std::string_view key) {
  double number = std::trunc(TextToNumberValue(key));
  // A position beyond the 32-bit range can never be counted to.
  if (!(number >= std::numeric_limits<int32_t>::min() && number <= std::numeric_limits<int32_t>::max())) {
    return 0;
  }
  int32_t index = static_cast<int32_t>(number);
  return IntToText(index).size() == key.size() ? index : 0;
}

ElementKey ParseElementKey(std::string_view key) {
  ElementKey result;
  std::size_t first = key.find("==");
  if (first == std::string_view::npos) {
    result.value = Text(key);
  } else {
    result.attribute = Text(key.substr(0, first));
    for (char& c : result.attribute) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    std::size_t last = key.rfind("==");
    result.value = TrimSpaces(key.substr(last + 2));
  }
  result.index = KeyIndexOf(key);
  return result;
}

bool MatchElement(const DomRef& element, const Text& value, const Text& attribute, int32_t& skip,
                  const Deadline& deadline) {
  if (TrimSpaces(value).empty()) return false;
  // Every text is asked only while the deadline holds; an empty answer never
  // equals the value, so a passed deadline matches nothing.
  auto text = [&](std::string_view name) { return GetTextWithin(deadline, element, name); };
  bool candidate = false;
  if (!attribute.empty() &&
      TrimSpaces(CallWithin(deadline, element, "getAttribute", {attribute}).ToText()) == value) {
    candidate = true;
  } else {
    candidate = text("name") == value || text("ID") == value || text("href") == value ||
                FindText(text("src"), value) != -1 || text("innerText") == value || text("className") == value ||
                text("alt") == value || text("title") == value || text("value") == value;
  }
  if (!candidate) return false;
  if (skip > 0) {
    --skip;
    return false;
  }
  return true;
}

DomRef DirectLookup(const DomRef& document, const Text& attribute, const Text& value, int32_t skip,
                    const Deadline& deadline) {
  if (!document || attribute.empty() || value.empty()) return {};
  if (attribute == "id" && skip == 0) return CallWithin(deadline, document, "getElementById", {value}).ToObject();
  if (attribute == "name" && skip == 0) {
    DomRef named = CallWithin(deadline, document, "getElementsByName", {value}).ToObject();
    const int32_t length = ListLengthWithin(deadline, named);
    if (length > 1) {
      for (int32_t i = 0; i < length && !deadline.Passed(); ++i) {
        DomRef item = CallWithin(deadline, named, "item", {i}).ToObject();
        if (item && GetTextWithin(deadline, item, "name") == value) return item;
      }
    }
    return CallWithin(deadline, named, "namedItem", {value}).ToObject();
  }
  if (attribute == "classname") {
    DomRef classed = CallWithin(deadline, document, "getElementsByClassName", {value}).ToObject();
    return CallWithin(deadline, classed, "item", {skip}).ToObject();
  }
  return {};
}

DomRef ScanTag(const std::vector<DomRef>& documents, std::string_view tag, const ElementKey& key,
               ScanState& state, bool direct_lookup, const ElementFilter& filter) {
  const bool value_usable = !TrimSpaces(key.value).empty();
  const Deadline& deadline = state.deadline;
  for (std::size_t d = 0; d < documents.size(); ++d) {
    const DomRef& document = documents[d];
    if (!document) continue;
    if (deadline.Passed()) return {};
    state.found_in = d;
    if (direct_lookup && key.index == 0) {
      if (DomRef found = DirectLookup(document, key.attribute, key.value, state.skip, deadline)) {
        return deadline.Passed() ? DomRef() : found;
      }
    }
    DomRef all = GetObjectWithin(deadline, GetObjectWithin(deadline, document, "body"), "all");
    DomRef tagged = CallWithin(deadline, all, "tags", {Text(tag)}).ToObject();
    if (!tagged) continue;
    const int32_t length = ListLengthWithin(deadline, tagged);
    for (int32_t i = 0; i < length; ++i) {
      if (deadline.Passed()) return {};
      DomRef element = Call(tagged, "item", {i}).ToObject();
      // A slot the collection cannot deliver holds no element to count.
      if (!element) continue;
      if (filter && !filter(element)) continue;
      if (deadline.Passed()) return {};
      ++state.count;
      if (state.count == key.index) return element;
      if (value_usable && MatchElement(element, key.value, key.attribute, state.skip, deadline)) {
        return deadline.Passed() ? DomRef() : element;
      }
    }
  }
  return {};
}

}  // namespace brevane
