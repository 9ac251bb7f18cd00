#include "browser/ie_markup.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "browser/late_binding.h"
#include "browser/limits.h"

namespace brevane {
namespace {

constexpr int kMaxDepth = 256;

bool OneOf(std::string_view value, std::initializer_list<std::string_view> set) {
  return std::find(set.begin(), set.end(), value) != set.end();
}

Text Lower(Text text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

Text Upper(Text text) {
  for (char& c : text) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return text;
}

bool IsVoid(std::string_view tag) {
  return OneOf(tag, {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "img", "input",
                     "isindex", "keygen", "link", "meta", "param", "source", "track", "wbr"});
}

bool IsBoolean(std::string_view name) {
  return OneOf(name, {"checked", "selected", "disabled", "readonly", "multiple", "noshade", "nowrap", "compact",
                      "ismap", "declare", "defer", "noresize", "nohref"});
}

// Plain words (letters, digits, - _ .) stay bare; anything else is quoted,
// with only the quote itself escaped, so an address read from the markup is
// the address the page links to.
void AppendValue(const Text& value, Text& out) {
  const bool plain = !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
  });
  if (plain) {
    out += value;
    return;
  }
  out += '"';
  for (char c : value) {
    if (c == '"') out += "&quot;";
    else out += c;
  }
  out += '"';
}

void AppendText(const Text& text, Text& out) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
}

void AppendStartTag(const DomRef& element, const Text& tag, Text& out) {
  out += '<';
  out += Upper(tag);
  std::vector<std::pair<Text, Text>> attributes;
  const DomRef listed = GetObject(element, "attributes");
  const int32_t count = ListLength(listed);
  for (int32_t i = 0; i < count; ++i) {
    const DomRef attribute = Call(listed, "item", {i}).ToObject();
    if (!attribute) continue;
    // IE7's collection lists every attribute an element could have; only
    // those the page gave are written.
    const Variant specified = Get(attribute, "specified");
    if (!specified.IsEmpty() && !specified.ToBoolean()) continue;
    attributes.emplace_back(Lower(GetText(attribute, "nodeName")), GetText(attribute, "nodeValue"));
  }
  // The address comes before the target, wherever the page wrote it.
  auto at = [&](std::string_view name) {
    return std::find_if(attributes.begin(), attributes.end(), [&](const auto& a) { return a.first == name; });
  };
  auto href = at("href");
  auto target = at("target");
  if (href != attributes.end() && target != attributes.end() && target < href) std::rotate(target, href, href + 1);

  // Form controls show their current state.
  const Text type = tag == "input" ? Lower(GetText(element, "type")) : Text();
  const bool toggles = type == "checkbox" || type == "radio";
  const bool holds_value = tag == "input" && !toggles && type != "file" && type != "password";
  bool checked_written = false;
  for (const auto& [name, value] : attributes) {
    if (toggles && name == "checked") {
      checked_written = true;
      if (Get(element, "checked").ToBoolean()) out += " CHECKED";
      continue;
    }
    out += ' ';
    if (IsBoolean(name)) {
      out += Upper(name);
      continue;
    }
    out += name;
    out += '=';
    if (name == "href" || name == "src") AppendValue(GetText(element, name), out);
    else if (name == "value" && holds_value) AppendValue(GetText(element, "value"), out);
    else AppendValue(value, out);
  }
  if (toggles && !checked_written && Get(element, "checked").ToBoolean()) out += " CHECKED";
  out += '>';
}

void AppendNode(const DomRef& node, bool raw_text, int depth, Text& out) {
  switch (GetInteger(node, "nodeType")) {
    case 3: {
      const Text text = GetText(node, "nodeValue");
      if (raw_text) out += text;
      else AppendText(text, out);
      return;
    }
    case 8:
      out += "<!--";
      out += GetText(node, "nodeValue");
      out += "-->";
      return;
    case 1: break;
    default: return;
  }
  if (depth > kMaxDepth) return;
  const Text tag = Lower(GetText(node, "tagName"));
  AppendStartTag(node, tag, out);
  if (IsVoid(tag)) return;
  const DomRef children = GetObject(node, "childNodes");
  const int32_t count = ListLength(children);
  const bool raw = tag == "script" || tag == "style";
  for (int32_t i = 0; i < count; ++i) AppendNode(Call(children, "item", {i}).ToObject(), raw, depth + 1, out);
  out += "</";
  out += Upper(tag);
  out += '>';
}

}  // namespace

int32_t DocumentModeOf(const DomRef& document) {
  const Variant mode = Get(document, "documentMode");
  return mode.IsEmpty() ? 7 : static_cast<int32_t>(std::clamp<int64_t>(mode.ToInteger(), 5, 99));
}

Text Ie7OuterHtml(const DomRef& element) {
  Text out;
  if (element) AppendNode(element, false, 0, out);
  return out;
}

Text OuterHtmlAsIe7(const DomRef& element, int32_t mode) {
  return mode >= kFirstRebuiltMode ? Ie7OuterHtml(element) : GetText(element, "outerHTML");
}

}  // namespace brevane
