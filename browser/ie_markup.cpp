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
// with the quote and "&" escaped as the double's IE7 form and WebKit's
// writer escape them. No IE document says which form IE7-mode outerHTML
// takes (the real-control record of the Windows kit prints it); the
// program reads a thread address right under either, since it undoes
// "&amp;" in the address it cuts.
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
    else if (c == '&') out += "&amp;";
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

// The text being written, and when its writing must stop: once it has
// grown past kMaxAnswerBytes or the deadline has passed, no further call is
// asked and the text counts as failed.
struct Writing {
  Text& out;
  const Deadline& deadline;
  bool over = false;  // what was read and not yet written is past the cap
  bool Stopped() const { return over || out.size() > kMaxAnswerBytes || deadline.Passed(); }
  Variant Get(const DomRef& object, std::string_view name) {
    return Stopped() ? Variant() : GetWithin(deadline, object, name);
  }
  Text GetText(const DomRef& object, std::string_view name) { return Get(object, name).ToText(); }
  DomRef Item(const DomRef& list, int32_t i) {
    return Stopped() ? DomRef() : CallWithin(deadline, list, "item", {i}).ToObject();
  }
};

void AppendStartTag(const DomRef& element, const Text& tag, Writing& w) {
  Text& out = w.out;
  out += '<';
  out += Upper(tag);
  std::vector<std::pair<Text, Text>> attributes;
  std::size_t held = 0;  // characters of the attributes read so far
  const DomRef listed = w.Get(element, "attributes").ToObject();
  const int32_t count = w.Stopped() ? 0 : ListLength(listed);
  for (int32_t i = 0; i < count && !w.Stopped(); ++i) {
    const DomRef attribute = w.Item(listed, i);
    if (!attribute) continue;
    // IE7's collection lists every attribute an element could have; only
    // those the page gave are written.
    const Variant specified = w.Get(attribute, "specified");
    if (!specified.IsEmpty() && !specified.ToBoolean()) continue;
    attributes.emplace_back(Lower(w.GetText(attribute, "nodeName")), w.GetText(attribute, "nodeValue"));
    held += attributes.back().first.size() + attributes.back().second.size();
    // Attributes held before they are written count toward the cap too.
    if (out.size() + held > kMaxAnswerBytes) {
      w.over = true;
      return;
    }
  }
  // The address comes before the target, wherever the page wrote it.
  auto at = [&](std::string_view name) {
    return std::find_if(attributes.begin(), attributes.end(), [&](const auto& a) { return a.first == name; });
  };
  auto href = at("href");
  auto target = at("target");
  if (href != attributes.end() && target != attributes.end() && target < href) std::rotate(target, href, href + 1);

  // Form controls show their current state.
  const Text type = tag == "input" ? Lower(w.GetText(element, "type")) : Text();
  const bool toggles = type == "checkbox" || type == "radio";
  const bool holds_value = tag == "input" && !toggles && type != "file" && type != "password";
  bool checked_written = false;
  for (const auto& [name, value] : attributes) {
    if (w.Stopped()) return;
    if (toggles && name == "checked") {
      checked_written = true;
      if (w.Get(element, "checked").ToBoolean()) out += " CHECKED";
      continue;
    }
    out += ' ';
    if (IsBoolean(name)) {
      out += Upper(name);
      continue;
    }
    out += name;
    out += '=';
    if (name == "href" || name == "src") AppendValue(w.GetText(element, name), out);
    else if (name == "value" && holds_value) AppendValue(w.GetText(element, "value"), out);
    else AppendValue(value, out);
  }
  if (toggles && !checked_written && w.Get(element, "checked").ToBoolean()) out += " CHECKED";
  out += '>';
}

void AppendNode(const DomRef& node, bool raw_text, int depth, Writing& w) {
  Text& out = w.out;
  switch (w.Get(node, "nodeType").ToInteger()) {
    case 3: {
      const Text text = w.GetText(node, "nodeValue");
      if (raw_text) out += text;
      else AppendText(text, out);
      return;
    }
    case 8:
      out += "<!--";
      out += w.GetText(node, "nodeValue");
      out += "-->";
      return;
    case 1: break;
    default: return;
  }
  if (depth > kMaxDepth) return;
  const Text tag = Lower(w.GetText(node, "tagName"));
  AppendStartTag(node, tag, w);
  if (IsVoid(tag)) return;
  const DomRef children = w.Get(node, "childNodes").ToObject();
  const int32_t count = w.Stopped() ? 0 : ListLength(children);
  const bool raw = tag == "script" || tag == "style";
  for (int32_t i = 0; i < count && !w.Stopped(); ++i) AppendNode(w.Item(children, i), raw, depth + 1, w);
  out += "</";
  out += Upper(tag);
  out += '>';
}

}  // namespace

int32_t DocumentModeOf(const DomRef& document) {
  const Variant mode = Get(document, "documentMode");
  return mode.IsEmpty() ? 7 : static_cast<int32_t>(std::clamp<int64_t>(mode.ToInteger(), 5, 99));
}

Text Ie7OuterHtml(const DomRef& element, const Deadline& deadline) {
  Text out;
  Writing w{out, deadline, false};
  if (element) AppendNode(element, false, 0, w);
  if (w.Stopped()) return {};
  return out;
}

bool AppendOuterHtmlAsIe7(const DomRef& element, int32_t mode, const Deadline& deadline, Text& out) {
  if (mode >= kFirstRebuiltMode) {
    Writing w{out, deadline, false};
    if (element) AppendNode(element, false, 0, w);
    return !w.Stopped();
  }
  if (deadline.Passed()) return false;
  out += GetText(element, "outerHTML");
  return out.size() <= kMaxAnswerBytes && !deadline.Passed();
}

Text OuterHtmlAsIe7(const DomRef& element, int32_t mode, const Deadline& deadline) {
  Text out;
  if (!AppendOuterHtmlAsIe7(element, mode, deadline, out)) return {};
  return out;
}

}  // namespace brevane
