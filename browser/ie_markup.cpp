#include "browser/ie_markup.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "browser/ie7_form.h"
#include "browser/late_binding.h"
#include "browser/limits.h"

namespace brevane {
namespace {

constexpr int kMaxDepth = 256;

Text Lower(Text text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
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
  ie7::Attributes attributes;
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
    if (w.out.size() + held > kMaxAnswerBytes) {
      w.over = true;
      return;
    }
  }

  // Form controls show their current state, and href and src are the
  // absolute addresses of the properties.
  const Text type = tag == "input" ? Lower(w.GetText(element, "type")) : Text();
  const bool toggles = type == "checkbox" || type == "radio";
  const bool holds_value = tag == "input" && !toggles && type != "file" && type != "password";
  bool checked_listed = false;
  for (auto it = attributes.begin(); it != attributes.end() && !w.Stopped();) {
    auto& [name, value] = *it;
    if (toggles && name == "checked") {
      checked_listed = true;
      if (!w.Get(element, "checked").ToBoolean()) {
        it = attributes.erase(it);
        continue;
      }
    } else if (name == "href" || name == "src") {
      value = w.GetText(element, name);
    } else if (name == "value" && holds_value) {
      value = w.GetText(element, "value");
    }
    ++it;
  }
  if (toggles && !checked_listed && w.Get(element, "checked").ToBoolean()) attributes.emplace_back("checked", Text());
  if (w.Stopped()) return;
  ie7::AppendStartTag(tag, std::move(attributes), w.out);
}

void AppendNode(const DomRef& node, bool raw_text, int depth, Writing& w) {
  Text& out = w.out;
  switch (w.Get(node, "nodeType").ToInteger()) {
    case 3: {
      const Text text = w.GetText(node, "nodeValue");
      if (raw_text) out += text;
      else ie7::AppendText(text, out);
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
  if (ie7::IsVoidElement(tag)) return;
  const DomRef children = w.Get(node, "childNodes").ToObject();
  const int32_t count = w.Stopped() ? 0 : ListLength(children);
  const bool raw = tag == "script" || tag == "style";
  for (int32_t i = 0; i < count && !w.Stopped(); ++i) AppendNode(w.Item(children, i), raw, depth + 1, w);
  ie7::AppendEndTag(tag, out);
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
