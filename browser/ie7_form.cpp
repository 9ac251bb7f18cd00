#include "browser/ie7_form.h"

#include <algorithm>
#include <initializer_list>

namespace brevane::ie7 {
namespace {

bool OneOf(std::string_view value, std::initializer_list<std::string_view> set) {
  return std::find(set.begin(), set.end(), value) != set.end();
}

void AppendUpper(std::string_view text, Text& out) {
  for (char c : text) out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsPlainWord(std::string_view value) {
  return !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
  });
}

}  // namespace

bool IsVoidElement(std::string_view tag) {
  return OneOf(tag, {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "img", "input",
                     "isindex", "keygen", "link", "meta", "param", "source", "track", "wbr"});
}

bool IsBooleanAttribute(std::string_view name) {
  return OneOf(name, {"checked", "selected", "disabled", "readonly", "multiple", "noshade", "nowrap", "compact",
                      "ismap", "declare", "defer", "noresize", "nohref"});
}

void AppendText(std::string_view text, Text& out) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
}

// No IE document says whether IE7-mode outerHTML escapes "&" in values (the
// real-control conformance run on Windows shows it); the core reads a
// thread address right under either form, since it undoes "&amp;" in the
// address it cuts.
void AppendValue(std::string_view value, Text& out) {
  if (IsPlainWord(value)) {
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

void AppendStartTag(std::string_view tag, Attributes attributes, Text& out) {
  auto at = [&](std::string_view name) {
    return std::find_if(attributes.begin(), attributes.end(), [&](const auto& a) { return a.first == name; });
  };
  const auto href = at("href");
  const auto target = at("target");
  if (href != attributes.end() && target != attributes.end() && target < href) std::rotate(target, href, href + 1);
  out += '<';
  AppendUpper(tag, out);
  for (const auto& [name, value] : attributes) {
    out += ' ';
    if (IsBooleanAttribute(name)) {
      AppendUpper(name, out);
      continue;
    }
    out += name;
    out += '=';
    AppendValue(value, out);
  }
  out += '>';
}

void AppendEndTag(std::string_view tag, Text& out) {
  out += "</";
  AppendUpper(tag, out);
  out += '>';
}

}  // namespace brevane::ie7
