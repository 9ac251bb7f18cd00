#include "testing/memory/memory_dom.h"

#include <algorithm>

#include "browser/address.h"
#include "browser/ie7_form.h"

namespace brevane::memory {
namespace {

bool OneOf(std::string_view value, std::initializer_list<std::string_view> set) {
  return std::find(set.begin(), set.end(), value) != set.end();
}

// Counts the invocation and lower-cases its member name; a disabled member
// fails as an unknown name.
int32_t Begin(EngineState& state, std::string_view name, std::string& member) {
  ++state.calls;
  member = AsciiLower(name);
  if (state.on_call) state.on_call(member);
  return state.disabled.count(member) ? dom_error::kUnknownName : dom_error::kOk;
}

int32_t Answer(Variant* result, Variant value) {
  if (result) *result = std::move(value);
  return dom_error::kOk;
}

// An index argument: integers, reals and numeric texts; -1 when unusable.
int64_t IndexArgument(const Variant& argument) {
  if (argument.kind() == Variant::Kind::kObject || argument.IsEmpty()) return -1;
  return argument.ToInteger();
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::vector<std::string> ClassTokens(std::string_view text) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSpace(text[i])) ++i;
    std::size_t start = i;
    while (i < text.size() && !IsSpace(text[i])) ++i;
    if (i > start) tokens.emplace_back(text.substr(start, i - start));
  }
  return tokens;
}

DomRef MakeCollection(const StatePtr& state, const std::vector<ElementPtr>& elements) {
  std::vector<DomRef> items(elements.begin(), elements.end());
  return std::make_shared<MemoryCollection>(state, std::move(items));
}

// Escaping of the IE9-mode form (lower-case names, every value quoted).
void EscapeText(std::string_view text, Text& out, bool in_attribute) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += in_attribute ? "<" : "&lt;"; break;
      case '>': out += in_attribute ? ">" : "&gt;"; break;
      case '"': out += in_attribute ? "&quot;" : "\""; break;
      default: out.push_back(c);
    }
  }
}

// Members only some elements have, as in the Internet Explorer object model.
bool ElementHasProperty(std::string_view tag, std::string_view member) {
  if (OneOf(member, {"tagname", "id", "title", "classname", "innertext", "innerhtml", "outerhtml",
                     "contenteditable", "all", "parentelement"})) {
    return true;
  }
  if (member == "name") {
    return OneOf(tag, {"a", "applet", "button", "embed", "form", "frame", "iframe", "img", "input", "map",
                       "meta", "object", "param", "select", "textarea"});
  }
  if (member == "href") return OneOf(tag, {"a", "area", "link", "base"});
  if (member == "src") return OneOf(tag, {"img", "input", "iframe", "frame", "script", "embed"});
  if (member == "alt") return OneOf(tag, {"img", "input", "area", "applet"});
  if (member == "value") return OneOf(tag, {"input", "button", "select", "textarea", "option", "li", "param"});
  if (member == "type") {
    return OneOf(tag, {"input", "button", "select", "script", "style", "link", "object", "embed", "ol", "ul", "li"});
  }
  if (member == "contentwindow") return OneOf(tag, {"iframe", "frame"});
  if (member == "length") return OneOf(tag, {"form", "select"});
  if (member == "checked") return tag == "input";
  return false;
}

// Attributes the Internet Explorer engine writes as absolute addresses.
bool IsAddressAttribute(std::string_view name) { return name == "href" || name == "src"; }

bool ElementHasMethod(std::string_view tag, std::string_view member) {
  if (OneOf(member, {"getattribute", "setattribute", "removeattribute", "click", "focus",
                     "getelementsbytagname"})) {
    return true;
  }
  if (member == "item" || member == "nameditem") return OneOf(tag, {"form", "select"});
  return false;
}

DocumentPtr BlankDocument(const StatePtr& state) {
  return std::make_shared<MemoryDocument>(state, "", PageOptions{});
}

}  // namespace

int32_t ModeOfCompatible(std::string_view content) {
  int32_t mode = 0;
  std::size_t at = 0;
  const std::string text = AsciiLower(content);
  while ((at = text.find("ie=", at)) != std::string::npos) {
    at += 3;
    if (text.compare(at, 4, "edge") == 0) {
      mode = kEdgeDocumentMode;
      continue;
    }
    if (text.compare(at, 7, "emulate") == 0) at += 7;
    int32_t asked = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && asked < 100) asked = asked * 10 + (text[at++] - '0');
    if (asked >= 5 && asked <= kEdgeDocumentMode && asked > mode) mode = asked < 7 ? 5 : asked;
  }
  return mode;
}

int32_t CompatibleMode(std::string_view header_lines) {
  const std::string lines = AsciiLower(header_lines);
  const std::size_t name = lines.find("x-ua-compatible:");
  if (name == std::string::npos) return 0;
  const std::size_t end = lines.find('\n', name);
  return ModeOfCompatible(header_lines.substr(name, end == std::string::npos ? std::string::npos : end - name));
}

// ---------------------------------------------------------------- Element

Element::Element(StatePtr state, bool is_text, std::string tag_or_text)
    : state_(std::move(state)), is_text_(is_text) {
  if (is_text) {
    text_ = std::move(tag_or_text);
  } else {
    tag_ = AsciiLower(tag_or_text);
  }
}

ElementPtr BuildElement(const StatePtr& state, const HtmlNode& node) {
  auto element = std::make_shared<Element>(state, node.is_text, node.is_text ? node.text : node.tag);
  for (const HtmlAttribute& attribute : node.attributes) {
    element->attributes_.emplace_back(attribute.name, attribute.value);
  }
  if (node.tag != "table") {
    for (const HtmlNode& child : node.children) element->AppendChild(BuildElement(state, child));
    return element;
  }
  // Rows written directly in a table go into a TBODY, one for each run of
  // them, as browsers build tables; white space between rows is dropped.
  ElementPtr section;
  for (const HtmlNode& child : node.children) {
    if (child.is_text && child.text.find_first_not_of(" \t\r\n") == std::string::npos) continue;
    if (!child.is_text && child.tag == "tr") {
      if (!section) {
        section = std::make_shared<Element>(state, false, "tbody");
        element->AppendChild(section);
      }
      section->AppendChild(BuildElement(state, child));
      continue;
    }
    section.reset();
    element->AppendChild(BuildElement(state, child));
  }
  return element;
}

std::optional<Text> Element::Attribute(std::string_view name) const {
  std::string key = AsciiLower(name);
  for (const auto& [attribute, value] : attributes_) {
    if (attribute == key) return value;
  }
  return std::nullopt;
}

void Element::SetAttribute(std::string_view name, Text value) {
  std::string key = AsciiLower(name);
  for (auto& [attribute, current] : attributes_) {
    if (attribute == key) {
      current = std::move(value);
      return;
    }
  }
  attributes_.emplace_back(std::move(key), std::move(value));
}

void Element::RemoveAttribute(std::string_view name) {
  std::string key = AsciiLower(name);
  attributes_.erase(std::remove_if(attributes_.begin(), attributes_.end(),
                                   [&](const auto& entry) { return entry.first == key; }),
                    attributes_.end());
}

void Element::AppendChild(ElementPtr child) {
  child->parent_ = weak_from_this();
  children_.push_back(std::move(child));
}

void Element::CollectDescendants(std::vector<ElementPtr>& out) const {
  for (const ElementPtr& child : children_) {
    if (child->is_text_) continue;
    out.push_back(child);
    child->CollectDescendants(out);
  }
}

ElementPtr Element::EnclosingForm() const {
  for (ElementPtr up = parent(); up; up = up->parent()) {
    if (up->tag_ == "form") return up;
  }
  return nullptr;
}

std::vector<ElementPtr> Element::FormControls() const {
  // A control with a form attribute belongs to the form of that id wherever
  // it stands, and to no other; one without belongs to the form around it.
  // The form lists its controls in document order (HTML Living Standard,
  // "Association of controls and forms" and HTMLFormElement.elements, as
  // WebKit lists them).
  const Element* root = this;
  for (ElementPtr up = parent(); up; up = up->parent()) root = up.get();
  const std::optional<Text> id = Attribute("id");
  std::vector<ElementPtr> all;
  root->CollectDescendants(all);
  std::vector<ElementPtr> controls;
  for (const ElementPtr& element : all) {
    const std::string& tag = element->tag_;
    bool listed = OneOf(tag, {"button", "select", "textarea", "fieldset", "object"}) ||
                  (tag == "input" && element->Type() != "image");
    if (!listed) continue;
    const std::optional<Text> owner = element->Attribute("form");
    if (owner ? (id && *owner == *id) : element->EnclosingForm().get() == this) controls.push_back(element);
  }
  return controls;
}

Text Element::Address() const {
  const Element* top = this;
  for (ElementPtr up = parent(); up; up = up->parent()) top = up.get();
  return top->address_;
}

Text Element::Type() const {
  std::optional<Text> attribute = Attribute("type");
  const Text type = attribute ? AsciiLower(*attribute) : Text();
  if (tag_ == "input") {
    const bool known =
        OneOf(type, {"text", "password", "checkbox", "radio", "submit", "reset", "file", "hidden", "image",
                     "button", "search", "tel", "url", "email", "date", "month", "week", "time",
                     "datetime-local", "number", "range", "color"});
    return known ? type : Text("text");
  }
  // In the control's own behaviour a button that names no type is a push
  // button in IE7 mode, a submit button from IE8 mode on ([MS-HTML401]
  // 2.1.40, V0073).
  if (tag_ == "button" && !attribute && state_->raw_ie && DocumentMode() < 8) return "button";
  if (tag_ == "button") return type == "button" || type == "reset" ? type : Text("submit");
  if (tag_ == "select") return Attribute("multiple") ? "select-multiple" : "select-one";
  return attribute ? *attribute : Text();
}

void Element::Serialise(Text& out) const {
  if (is_text_) {
    ElementPtr up = parent();
    if (up && (up->tag_ == "script" || up->tag_ == "style")) {
      out += text_;
    } else {
      ie7::AppendText(text_, out);
    }
    return;
  }
  // IE7 mode writes href and src absolute; IE8 mode's markup keeps them as
  // the page wrote them, only the properties are absolute ([MS-HTML401E]
  // 2.3.1.30 href).
  ie7::Attributes attributes = attributes_;
  if (!RawMode(8)) {
    for (auto& [name, value] : attributes) {
      if (IsAddressAttribute(name)) value = ResolveAddress(Address(), value);
    }
  }
  ie7::AppendStartTag(tag_, std::move(attributes), out);
  if (ie7::IsVoidElement(tag_)) return;
  SerialiseChildren(out);
  ie7::AppendEndTag(tag_, out);
}

void Element::SerialiseChildren(Text& out) const {
  for (const ElementPtr& child : children_) child->Serialise(out);
}

Text Element::OuterHtml() const {
  Text out;
  if (RawMode(9)) SerialiseModern(out);
  else Serialise(out);
  return out;
}

Text Element::InnerHtml() const {
  Text out;
  if (RawMode(9)) {
    for (const ElementPtr& child : children_) child->SerialiseModern(out);
  } else {
    SerialiseChildren(out);
  }
  return out;
}

void Element::SerialiseModern(Text& out) const {
  if (is_text_) {
    ElementPtr up = parent();
    if (up && (up->tag_ == "script" || up->tag_ == "style")) out += text_;
    else EscapeText(text_, out, false);
    return;
  }
  out += '<';
  out += tag_;
  for (const auto& [name, value] : attributes_) {
    out += ' ';
    out += name;
    out += "=\"";
    EscapeText(ie7::IsBooleanAttribute(name) && value.empty() ? Text(name) : value, out, true);
    out += '"';
  }
  out += '>';
  if (ie7::IsVoidElement(tag_)) return;
  for (const ElementPtr& child : children_) child->SerialiseModern(out);
  out += "</";
  out += tag_;
  out += '>';
}

int32_t Element::DocumentMode() const {
  const Element* top = this;
  for (ElementPtr up = parent(); up; up = up->parent()) top = up.get();
  return top->document_mode_ > 0 ? top->document_mode_ : kDefaultDocumentMode;
}

DocumentPtr Element::OwnerDocument() const {
  const Element* top = this;
  for (ElementPtr up = parent(); up; up = up->parent()) top = up.get();
  return top->owner_.lock();
}

int32_t MemoryAttribute::Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>&,
                                Variant* result) {
  std::string member;
  if (int32_t code = Begin(*state_, name, member)) return code;
  if (!OneOf(member, {"nodename", "name", "nodevalue", "value", "specified"})) return dom_error::kUnknownName;
  if (kind != InvokeKind::kPropertyGet) return dom_error::kMemberNotFound;
  if (member == "specified") return Answer(result, true);
  return Answer(result, member == "nodename" || member == "name" ? name_ : value_);
}

void Element::CollectText(Text& out) const {
  for (const ElementPtr& child : children_) {
    if (child->is_text_) {
      for (char c : child->text_) {
        if (IsSpace(c)) {
          if (!out.empty() && out.back() != ' ' && out.back() != '\n') out.push_back(' ');
        } else {
          out.push_back(c);
        }
      }
    } else if (child->tag_ == "br") {
      while (!out.empty() && out.back() == ' ') out.pop_back();
      out += "\r\n";
    } else if (!OneOf(child->tag_, {"script", "style", "iframe", "frame", "title"})) {
      child->CollectText(out);
    }
  }
}

Text Element::InnerText() const {
  if (is_text_) return text_;
  Text out;
  CollectText(out);
  std::size_t first = out.find_first_not_of(' ');
  if (first == Text::npos) return {};
  std::size_t last = out.find_last_not_of(' ');
  return out.substr(first, last - first + 1);
}

void Element::SetInnerHtml(std::string_view html) {
  for (const ElementPtr& child : children_) child->parent_.reset();
  children_.clear();
  for (const HtmlNode& node : ParseHtml(html)) AppendChild(BuildElement(state_, node));
  LoadFrames(1, {});
}

void Element::SetInnerText(std::string_view text) {
  for (const ElementPtr& child : children_) child->parent_.reset();
  children_.clear();
  if (!text.empty()) AppendChild(std::make_shared<Element>(state_, true, std::string(text)));
}

void Element::LoadFrames(int depth, const std::vector<Text>& chain) {
  if (is_text_) return;
  if ((tag_ == "iframe" || tag_ == "frame") && !content_window_) {
    std::optional<Text> src = Attribute("src");
    if (src) src = ResolveAddress(Address(), *src);
    auto served = src ? state_->served.find(*src) : state_->served.end();
    const bool recursive = src && std::find(chain.begin(), chain.end(), *src) != chain.end();
    if (served == state_->served.end() || recursive) {
      content_window_ = std::make_shared<MemoryWindow>(state_, BlankDocument(state_), true);
    } else if (served->second.options.reach != Reach::kNoWindow) {
      std::vector<Text> nested = chain;
      nested.push_back(*src);
      DocumentPtr document = depth < kMaxMemoryFrameDepth
                                 ? LoadServedPage(state_, served->second, depth + 1, nested)
                                 : BlankDocument(state_);
      content_window_ = std::make_shared<MemoryWindow>(state_, std::move(document),
                                                       served->second.options.reach == Reach::kReachable);
    }
  }
  for (const ElementPtr& child : children_) child->LoadFrames(depth, chain);
}

void Element::Click() {
  ElementPtr self = shared_from_this();
  state_->clicks.push_back(self);
  Text type = Type();
  bool submits = (tag_ == "input" && (type == "submit" || type == "image")) || (tag_ == "button" && type == "submit");
  if (submits) {
    if (ElementPtr form = EnclosingForm()) state_->submissions.push_back(form);
  }
  if (state_->on_click) state_->on_click(*self);
}

int32_t Element::Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                        Variant* result) {
  std::string member;
  if (int32_t code = Begin(*state_, name, member)) return code;
  if (is_text_) {
    // Text nodes answer what a walk over child nodes reads of them.
    if (kind != InvokeKind::kPropertyGet) return OneOf(member, {"nodetype", "nodevalue", "data"}) ? dom_error::kMemberNotFound : dom_error::kUnknownName;
    if (member == "nodetype") return Answer(result, int32_t{3});
    if (member == "nodevalue" || member == "data") return Answer(result, text_);
    return dom_error::kUnknownName;
  }
  if (kind == InvokeKind::kPropertyGet && OneOf(member, {"nodetype", "childnodes", "attributes", "document"})) {
    if (member == "nodetype") return Answer(result, int32_t{1});
    if (member == "document") return Answer(result, DomRef(OwnerDocument()));
    std::vector<DomRef> items;
    if (member == "childnodes") {
      items.assign(children_.begin(), children_.end());
    } else {
      for (const auto& [key, value] : attributes_) items.push_back(std::make_shared<MemoryAttribute>(state_, key, value));
    }
    return Answer(result, DomRef(std::make_shared<MemoryCollection>(state_, std::move(items))));
  }
  const bool property = ElementHasProperty(tag_, member);
  const bool method = ElementHasMethod(tag_, member);
  if (!property && !method) return dom_error::kUnknownName;

  if (kind == InvokeKind::kPropertyGet) {
    if (!property) return dom_error::kMemberNotFound;
    if (!args.empty()) return dom_error::kBadParamCount;
    if (member == "tagname") return Answer(result, AsciiUpper(tag_));
    if (member == "classname") return Answer(result, Attribute("class").value_or(""));
    if (member == "innertext") return Answer(result, InnerText());
    if (member == "innerhtml") return Answer(result, InnerHtml());
    if (member == "outerhtml") return Answer(result, OuterHtml());
    if (member == "type") return Answer(result, Type());
    if (member == "checked") return Answer(result, Attribute("checked").has_value());
    if (member == "contenteditable") {
      Text editable = AsciiLower(Attribute("contenteditable").value_or(""));
      return Answer(result, editable == "true" || editable == "false" ? editable : Text("inherit"));
    }
    if (member == "all") {
      std::vector<ElementPtr> all;
      CollectDescendants(all);
      return Answer(result, MakeCollection(state_, all));
    }
    if (member == "parentelement") return Answer(result, DomRef(parent()));
    if (member == "contentwindow") return Answer(result, DomRef(content_window_));
    if (member == "length") {
      if (tag_ == "form") return Answer(result, static_cast<int32_t>(FormControls().size()));
      std::vector<ElementPtr> all;
      CollectDescendants(all);
      int32_t options = static_cast<int32_t>(
          std::count_if(all.begin(), all.end(), [](const ElementPtr& e) { return e->tag_ == "option"; }));
      return Answer(result, options);
    }
    if (member == "value" && tag_ == "textarea") return Answer(result, InnerText());
    if (member == "href" || member == "src") {
      std::optional<Text> written = Attribute(member);
      return Answer(result, written ? ResolveAddress(Address(), *written) : Text());
    }
    // id, name, title, href, src, alt, value: the attribute of that name.
    return Answer(result, Attribute(member).value_or(""));
  }

  if (kind == InvokeKind::kPropertyPut || kind == InvokeKind::kPropertyPutRef) {
    if (!property) return dom_error::kMemberNotFound;
    if (kind == InvokeKind::kPropertyPutRef) return dom_error::kMemberNotFound;
    if (args.size() != 1) return dom_error::kBadParamCount;
    Text value = args[0].ToText();
    if (member == "innerhtml") {
      SetInnerHtml(value);
    } else if (member == "innertext") {
      SetInnerText(value);
    } else if (member == "classname") {
      SetAttribute("class", value);
    } else if (OneOf(member, {"id", "name", "title", "href", "src", "alt", "value", "contenteditable", "type"})) {
      SetAttribute(member, value);
    } else {
      return dom_error::kMemberNotFound;  // read-only
    }
    return dom_error::kOk;
  }

  // Method call.
  if (!method) return dom_error::kMemberNotFound;
  if (member == "click") {
    Click();
    return Answer(result, Variant());
  }
  if (member == "focus") {
    ++focus_count_;
    return Answer(result, Variant());
  }
  if (args.empty()) return dom_error::kBadParamCount;
  if (member == "getattribute") {
    std::string key = AsciiLower(args[0].ToText());
    // Below IE9 mode getAttribute reads the property of that name; in IE8
    // mode "class" is read as className, and className itself (like style)
    // as the content attribute of that name, which no page has (Wine's
    // dlls/mshtml/htmlelem.c, HTMLElement_getAttribute and
    // translate_attr_name; dlls/mshtml/tests/documentmode.js). So IE7 mode
    // reads the class under "className" and nothing under "class"; IE8
    // mode the other way round.
    if (state_->raw_ie && !RawMode(8) && key == "class") return Answer(result, Variant());
    if (key == "classname" && !RawMode(8)) key = "class";
    std::optional<Text> value = Attribute(key);
    return Answer(result, value ? Variant(*value) : Variant());
  }
  if (member == "setattribute") {
    if (args.size() < 2) return dom_error::kBadParamCount;
    std::string key = AsciiLower(args[0].ToText());
    Text value = args[1].ToText();
    // Below IE9 mode setAttribute writes the property of that name
    // (setAttribute("innerHTML", t) sets the inner HTML); only in IE8 mode
    // are className and style the content attributes of that name, and
    // "class" is className there; from IE9 mode on it writes a content
    // attribute (Wine's dlls/mshtml/htmlelem.c, HTMLElement_setAttribute:
    // compat_mode < COMPAT_MODE_IE9 puts the property, "className and style
    // are special cases" in COMPAT_MODE_IE8; documentmode.js).
    if (RawMode(9) || (RawMode(8) && (key == "classname" || key == "style"))) {
      SetAttribute(key, value);
    } else if (key == "innerhtml") {
      SetInnerHtml(value);
    } else if (key == "innertext") {
      SetInnerText(value);
    } else {
      SetAttribute(key == "classname" ? "class" : key, value);
    }
    return Answer(result, Variant());
  }
  if (member == "removeattribute") {
    RemoveAttribute(args[0].ToText());
    return Answer(result, true);
  }
  if (member == "getelementsbytagname") {
    std::string tag = AsciiLower(args[0].ToText());
    std::vector<ElementPtr> all, tagged;
    CollectDescendants(all);
    for (const ElementPtr& element : all) {
      if (tag == "*" || element->tag_ == tag) tagged.push_back(element);
    }
    return Answer(result, MakeCollection(state_, tagged));
  }
  // item and namedItem of a form (its controls) or a select (its options).
  std::vector<ElementPtr> listed;
  if (tag_ == "form") {
    listed = FormControls();
  } else {
    std::vector<ElementPtr> all;
    CollectDescendants(all);
    for (const ElementPtr& element : all) {
      if (element->tag_ == "option") listed.push_back(element);
    }
  }
  if (member == "item" && args[0].kind() != Variant::Kind::kText) {
    int64_t index = IndexArgument(args[0]);
    if (index < 0 || index >= static_cast<int64_t>(listed.size())) return Answer(result, Variant());
    return Answer(result, DomRef(listed[static_cast<std::size_t>(index)]));
  }
  const Text wanted = args[0].ToText();
  for (const ElementPtr& element : listed) {
    if (element->Attribute("id") == wanted || element->Attribute("name") == wanted) {
      return Answer(result, DomRef(element));
    }
  }
  return Answer(result, Variant());
}

// ---------------------------------------------------------------- Document

MemoryDocument::MemoryDocument(StatePtr state, std::string_view html, const PageOptions& options)
    : state_(std::move(state)), ready_state_(options.ready_state), design_mode_(options.design_mode) {
  root_ = std::make_shared<Element>(state_, false, "html");
  head_ = std::make_shared<Element>(state_, false, "head");
  root_->AppendChild(head_);
  std::vector<HtmlNode> nodes = ParseHtml(html);

  auto ensure_body = [&] {
    if (!body_) body_ = std::make_shared<Element>(state_, false, "body");
  };
  // Places parsed nodes: head content into the head, a body or frameset as
  // the body, everything else into the body.
  std::function<void(const std::vector<HtmlNode>&)> place = [&](const std::vector<HtmlNode>& list) {
    for (const HtmlNode& node : list) {
      if (node.is_text) {
        if (node.text.find_first_not_of(" \t\r\n") == std::string::npos && !body_) continue;
        ensure_body();
        body_->AppendChild(BuildElement(state_, node));
      } else if (node.tag == "html") {
        place(node.children);
      } else if (node.tag == "head") {
        for (const HtmlNode& child : node.children) head_->AppendChild(BuildElement(state_, child));
      } else if ((node.tag == "body" || node.tag == "frameset") && !body_) {
        body_ = BuildElement(state_, node);
      } else if (node.tag == "body") {
        for (const HtmlNode& child : node.children) body_->AppendChild(BuildElement(state_, child));
      } else if (!body_ && OneOf(node.tag, {"title", "meta", "link", "base"})) {
        head_->AppendChild(BuildElement(state_, node));
      } else {
        ensure_body();
        body_->AppendChild(BuildElement(state_, node));
      }
    }
  };
  place(nodes);
  ensure_body();
  root_->AppendChild(body_);
  // The mode the page asks for: its X-UA-Compatible meta element, which
  // wins over the header of that name.
  int32_t mode = options.header_mode;
  for (const ElementPtr& child : head_->children()) {
    if (child->tag() == "meta" && AsciiLower(child->Attribute("http-equiv").value_or("")) == "x-ua-compatible") {
      if (int32_t asked = ModeOfCompatible(child->Attribute("content").value_or(""))) mode = asked;
    }
  }
  root_->set_document_mode(mode);
}

Text MemoryDocument::title() const {
  if (title_) return *title_;
  for (const ElementPtr& element : AllElements()) {
    if (element->tag() == "title") return element->InnerText();
  }
  return {};
}

std::vector<ElementPtr> MemoryDocument::AllElements() const {
  std::vector<ElementPtr> all{root_};
  root_->CollectDescendants(all);
  return all;
}

ElementPtr MemoryDocument::ElementById(std::string_view id) const {
  for (const ElementPtr& element : AllElements()) {
    if (element->Attribute("id") == Text(id)) return element;
  }
  return nullptr;
}

std::vector<ElementPtr> MemoryDocument::FrameElements() const {
  std::vector<ElementPtr> frames;
  for (const ElementPtr& element : AllElements()) {
    if (element->tag() == "iframe" || element->tag() == "frame") frames.push_back(element);
  }
  return frames;
}

DocumentPtr MemoryDocument::Frame(std::size_t i) const {
  std::vector<ElementPtr> frames = FrameElements();
  if (i >= frames.size() || !frames[i]->content_window()) return nullptr;
  return frames[i]->content_window()->document();
}

void MemoryDocument::LoadFrames(int depth, const std::vector<Text>& chain) { root_->LoadFrames(depth, chain); }

int32_t MemoryDocument::Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                               Variant* result) {
  std::string member;
  if (int32_t code = Begin(*state_, name, member)) return code;
  const bool property = OneOf(member, {"body", "all", "title", "readystate", "designmode", "frames",
                                       "documentelement", "parentwindow", "documentmode", "url"});
  const bool method = OneOf(member, {"getelementbyid", "getelementsbyname", "getelementsbyclassname",
                                     "getelementsbytagname"});
  if (!property && !method) return dom_error::kUnknownName;

  if (kind == InvokeKind::kPropertyGet) {
    if (!property) return dom_error::kMemberNotFound;
    if (member == "body") return Answer(result, DomRef(body_));
    if (member == "documentelement") return Answer(result, DomRef(root_));
    if (member == "documentmode") return Answer(result, document_mode());
    if (member == "parentwindow") {
      return Answer(result, DomRef(std::make_shared<MemoryWindow>(state_, shared_from_this(), true, true)));
    }
    if (member == "all") return Answer(result, MakeCollection(state_, AllElements()));
    if (member == "title") return Answer(result, title());
    // URL: the address the document was loaded from (IHTMLDocument2::get_URL);
    // "about:blank" for a page shown without one, as the control reports a
    // document written into a blank page.
    if (member == "url") return Answer(result, address().empty() ? Text("about:blank") : address());
    if (member == "readystate") return Answer(result, ready_state_);
    if (member == "designmode") return Answer(result, Text(design_mode_ ? "On" : "Off"));
    // frames: the content windows of the frame elements.
    std::vector<DomRef> windows;
    for (const ElementPtr& frame : FrameElements()) {
      if (frame->content_window()) windows.push_back(frame->content_window());
    }
    return Answer(result, DomRef(std::make_shared<MemoryCollection>(state_, std::move(windows))));
  }
  if (kind == InvokeKind::kPropertyPut || kind == InvokeKind::kPropertyPutRef) {
    if (kind == InvokeKind::kPropertyPutRef || !property) return dom_error::kMemberNotFound;
    if (args.size() != 1) return dom_error::kBadParamCount;
    if (member == "title") {
      title_ = args[0].ToText();
      return dom_error::kOk;
    }
    if (member == "designmode") {
      design_mode_ = AsciiLower(args[0].ToText()) == "on";
      return dom_error::kOk;
    }
    return dom_error::kMemberNotFound;
  }
  if (!method) return dom_error::kMemberNotFound;
  if (args.empty()) return dom_error::kBadParamCount;
  const Text wanted = args[0].ToText();
  if (member == "getelementbyid") return Answer(result, DomRef(ElementById(wanted)));
  std::vector<ElementPtr> found;
  if (member == "getelementsbyname") {
    for (const ElementPtr& element : AllElements()) {
      if (element->Attribute("name") == wanted) found.push_back(element);
    }
  } else if (member == "getelementsbyclassname") {
    std::vector<std::string> tokens = ClassTokens(wanted);
    if (!tokens.empty()) {
      for (const ElementPtr& element : AllElements()) {
        std::vector<std::string> has = ClassTokens(element->Attribute("class").value_or(""));
        bool all = std::all_of(tokens.begin(), tokens.end(), [&](const std::string& token) {
          return std::find(has.begin(), has.end(), token) != has.end();
        });
        if (all) found.push_back(element);
      }
    }
  } else {
    std::string tag = AsciiLower(wanted);
    for (const ElementPtr& element : AllElements()) {
      if (tag == "*" || element->tag() == tag) found.push_back(element);
    }
  }
  return Answer(result, MakeCollection(state_, found));
}

DocumentPtr LoadServedPage(const StatePtr& state, const ServedPage& page, int depth,
                           const std::vector<Text>& chain) {
  auto document = std::make_shared<MemoryDocument>(state, page.html, page.options);
  document->root()->set_owner(document);
  if (!chain.empty()) document->set_address(chain.back());
  document->LoadFrames(depth, chain);
  // Frames show in the mode of the top document.
  if (depth == 0) document->ApplyModeToFrames(document->document_mode());
  return document;
}

void MemoryDocument::ApplyModeToFrames(int32_t mode) {
  root_->set_document_mode(mode);
  for (const ElementPtr& frame : FrameElements()) {
    if (frame->content_window() && frame->content_window()->document())
      frame->content_window()->document()->ApplyModeToFrames(mode);
  }
}

// ---------------------------------------------------------------- Window

int32_t MemoryWindow::Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                             Variant* result) {
  std::string member;
  if (int32_t code = Begin(*state_, name, member)) return code;
  if (!OneOf(member, {"document", "frames", "length"})) return dom_error::kUnknownName;
  if (kind != InvokeKind::kPropertyGet) return dom_error::kMemberNotFound;
  // Another origin's window keeps its content to itself.
  if (!reachable_ || !document_) return dom_error::kException;
  if (member == "document") return Answer(result, DomRef(document_));
  Variant frames;
  int32_t code = document_->Invoke("frames", InvokeKind::kPropertyGet, {}, &frames);
  if (code != dom_error::kOk) return code;
  if (member == "frames") return Answer(result, frames);
  return frames.ToObject()->Invoke("length", InvokeKind::kPropertyGet, {}, result);
}

// ---------------------------------------------------------------- Collection

int32_t MemoryCollection::Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                                 Variant* result) {
  std::string member;
  if (int32_t code = Begin(*state_, name, member)) return code;
  const bool method = OneOf(member, {"item", "nameditem", "tags"});
  if (!method && member != "length") return dom_error::kUnknownName;
  if (member == "length") {
    if (kind != InvokeKind::kPropertyGet) return dom_error::kMemberNotFound;
    return Answer(result, static_cast<int32_t>(items_.size()));
  }
  if (kind != InvokeKind::kMethod) return dom_error::kMemberNotFound;
  if (args.empty()) return dom_error::kBadParamCount;
  const Variant& argument = args[0];
  auto by_name = [&](const Text& wanted) -> DomRef {
    for (const DomRef& item : items_) {
      auto element = std::dynamic_pointer_cast<Element>(item);
      if (element && (element->Attribute("id") == wanted || element->Attribute("name") == wanted)) {
        return element;
      }
    }
    return nullptr;
  };
  if (member == "item") {
    if (argument.kind() == Variant::Kind::kText) return Answer(result, by_name(argument.ToText()));
    int64_t index = IndexArgument(argument);
    if (index < 0 || index >= static_cast<int64_t>(items_.size())) return Answer(result, Variant());
    return Answer(result, items_[static_cast<std::size_t>(index)]);
  }
  if (member == "nameditem") return Answer(result, by_name(argument.ToText()));
  std::string tag = AsciiLower(argument.ToText());
  std::vector<DomRef> tagged;
  for (const DomRef& item : items_) {
    auto element = std::dynamic_pointer_cast<Element>(item);
    if (element && element->tag() == tag) tagged.push_back(element);
  }
  return Answer(result, DomRef(std::make_shared<MemoryCollection>(state_, std::move(tagged))));
}

}  // namespace brevane::memory
