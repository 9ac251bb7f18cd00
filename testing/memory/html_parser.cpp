#include "testing/memory/html_parser.h"

#include "browser/ie7_form.h"

#include <algorithm>
#include <array>

namespace brevane::memory {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool OneOf(std::string_view value, std::initializer_list<std::string_view> set) {
  return std::find(set.begin(), set.end(), value) != set.end();
}

// Decodes &amp; &lt; &gt; &quot; &apos; &nbsp; and numeric references to
// ASCII characters; anything else stays as written.
std::string DecodeEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '&') {
      out.push_back(text[i++]);
      continue;
    }
    std::size_t semicolon = text.find(';', i);
    if (semicolon == std::string_view::npos || semicolon - i > 10) {
      out.push_back(text[i++]);
      continue;
    }
    std::string_view name = text.substr(i + 1, semicolon - i - 1);
    int code = -1;
    if (name == "amp") code = '&';
    else if (name == "lt") code = '<';
    else if (name == "gt") code = '>';
    else if (name == "quot") code = '"';
    else if (name == "apos") code = '\'';
    else if (name == "nbsp") code = ' ';
    else if (name.size() > 1 && name[0] == '#') {
      int value = 0;
      bool hex = name[1] == 'x' || name[1] == 'X';
      std::size_t k = hex ? 2 : 1;
      bool any = false;
      for (; k < name.size(); ++k) {
        char c = name[k];
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) break;
        value = value * (hex ? 16 : 10) + d;
        any = true;
        if (value > 0x10FFFF) break;
      }
      if (any && k == name.size() && value > 0 && value < 0x80) code = value;
    }
    if (code < 0) {
      out.push_back(text[i++]);
      continue;
    }
    out.push_back(static_cast<char>(code));
    i = semicolon + 1;
  }
  return out;
}

// Opening one of these closes an open element of the listed tags, as long
// as no element of the boundary tags lies between.
struct ImpliedEnd {
  std::string_view opening;
  std::array<std::string_view, 3> closes;
  std::array<std::string_view, 4> boundary;
};
constexpr ImpliedEnd kImpliedEnds[] = {
    {"li", {"li", "", ""}, {"ul", "ol", "", ""}},
    {"option", {"option", "", ""}, {"select", "", "", ""}},
    {"tr", {"tr", "td", "th"}, {"table", "tbody", "thead", "tfoot"}},
    {"td", {"td", "th", ""}, {"tr", "table", "", ""}},
    {"th", {"td", "th", ""}, {"tr", "table", "", ""}},
    {"p", {"p", "", ""}, {"div", "td", "table", "form"}},
};

class Parser {
 public:
  explicit Parser(std::string_view html) : html_(html) { stack_.push_back(&root_); }

  std::vector<HtmlNode> Run() {
    while (pos_ < html_.size()) {
      if (html_[pos_] == '<' && TryMarkup()) continue;
      ReadText();
    }
    return std::move(root_.children);
  }

 private:
  HtmlNode& Top() { return *stack_.back(); }

  void AppendText(std::string text) {
    if (text.empty()) return;
    auto& children = Top().children;
    if (!children.empty() && children.back().is_text) {
      children.back().text += text;
      return;
    }
    HtmlNode node;
    node.is_text = true;
    node.text = std::move(text);
    children.push_back(std::move(node));
  }

  void ReadText() {
    std::size_t end = html_.find('<', pos_ + 1);
    if (end == std::string_view::npos) end = html_.size();
    AppendText(DecodeEntities(html_.substr(pos_, end - pos_)));
    pos_ = end;
  }

  // At '<': a comment, declaration, end tag or start tag. False when the
  // '<' starts none of them and is plain text.
  bool TryMarkup() {
    std::string_view rest = html_.substr(pos_);
    if (rest.substr(0, 4) == "<!--") {
      std::size_t end = html_.find("-->", pos_ + 4);
      pos_ = end == std::string_view::npos ? html_.size() : end + 3;
      return true;
    }
    if (rest.size() > 1 && (rest[1] == '!' || rest[1] == '?')) {
      std::size_t end = html_.find('>', pos_);
      pos_ = end == std::string_view::npos ? html_.size() : end + 1;
      return true;
    }
    if (rest.size() > 2 && rest[1] == '/' && IsAsciiLetter(rest[2])) {
      ReadEndTag();
      return true;
    }
    if (rest.size() > 1 && IsAsciiLetter(rest[1])) {
      ReadStartTag();
      return true;
    }
    return false;
  }

  std::string ReadName() {
    std::size_t start = pos_;
    while (pos_ < html_.size() && !IsSpace(html_[pos_]) && html_[pos_] != '>' && html_[pos_] != '/' &&
           html_[pos_] != '=') {
      ++pos_;
    }
    return AsciiLower(html_.substr(start, pos_ - start));
  }

  void SkipSpaces() {
    while (pos_ < html_.size() && IsSpace(html_[pos_])) ++pos_;
  }

  void ReadEndTag() {
    pos_ += 2;
    std::string tag = ReadName();
    std::size_t end = html_.find('>', pos_);
    pos_ = end == std::string_view::npos ? html_.size() : end + 1;
    for (std::size_t i = stack_.size(); i-- > 1;) {
      if (stack_[i]->tag == tag) {
        stack_.resize(i);
        return;
      }
    }
    // A stray end tag closes nothing.
  }

  void CloseImpliedEnds(const std::string& tag) {
    for (const ImpliedEnd& rule : kImpliedEnds) {
      if (rule.opening != tag) continue;
      // The outermost open element the opening one ends, below any boundary.
      std::size_t cut = 0;
      for (std::size_t i = stack_.size(); i-- > 1;) {
        const std::string& open = stack_[i]->tag;
        if (std::find(rule.boundary.begin(), rule.boundary.end(), open) != rule.boundary.end()) break;
        if (std::find(rule.closes.begin(), rule.closes.end(), open) != rule.closes.end()) cut = i;
      }
      if (cut > 0) stack_.resize(cut);
    }
  }

  void ReadStartTag() {
    ++pos_;
    HtmlNode node;
    node.tag = ReadName();
    bool self_closed = false;
    for (;;) {
      SkipSpaces();
      if (pos_ >= html_.size()) break;
      char c = html_[pos_];
      if (c == '>') {
        ++pos_;
        break;
      }
      if (c == '/') {
        ++pos_;
        if (pos_ < html_.size() && html_[pos_] == '>') {
          self_closed = true;
          ++pos_;
          break;
        }
        continue;
      }
      HtmlAttribute attribute;
      if (c == '=') {
        // A value without a name: read it and drop it.
        ++pos_;
        SkipSpaces();
        ReadValue();
        continue;
      }
      attribute.name = ReadName();
      SkipSpaces();
      if (pos_ < html_.size() && html_[pos_] == '=') {
        ++pos_;
        SkipSpaces();
        attribute.value = ReadValue();
        attribute.has_value = true;
      }
      bool duplicate = std::any_of(node.attributes.begin(), node.attributes.end(),
                                   [&](const HtmlAttribute& a) { return a.name == attribute.name; });
      if (!attribute.name.empty() && !duplicate) node.attributes.push_back(std::move(attribute));
    }

    CloseImpliedEnds(node.tag);
    const std::string tag = node.tag;
    auto& siblings = Top().children;
    siblings.push_back(std::move(node));
    HtmlNode* added = &siblings.back();
    if (ie7::IsVoidElement(tag) || self_closed) return;
    if (IsRawTextElement(tag)) {
      ReadRawText(*added);
      return;
    }
    if (stack_.size() <= kMaxHtmlDepth) stack_.push_back(added);
  }

  std::string ReadValue() {
    if (pos_ >= html_.size()) return {};
    char quote = html_[pos_];
    if (quote == '"' || quote == '\'') {
      std::size_t end = html_.find(quote, pos_ + 1);
      if (end == std::string_view::npos) end = html_.size();
      std::string value = DecodeEntities(html_.substr(pos_ + 1, end - pos_ - 1));
      pos_ = end < html_.size() ? end + 1 : end;
      return value;
    }
    std::size_t start = pos_;
    while (pos_ < html_.size() && !IsSpace(html_[pos_]) && html_[pos_] != '>') ++pos_;
    return DecodeEntities(html_.substr(start, pos_ - start));
  }

  // Content up to the matching end tag, whatever it holds.
  void ReadRawText(HtmlNode& element) {
    std::string closing = "</" + element.tag;
    std::size_t end = pos_;
    for (;;) {
      end = html_.find("</", end);
      if (end == std::string_view::npos) break;
      if (AsciiLower(html_.substr(end, closing.size())) == closing) break;
      end += 2;
    }
    if (end == std::string_view::npos) end = html_.size();
    std::string_view content = html_.substr(pos_, end - pos_);
    if (!content.empty()) {
      HtmlNode text;
      text.is_text = true;
      bool decode = element.tag == "textarea" || element.tag == "title";
      text.text = decode ? DecodeEntities(content) : std::string(content);
      element.children.push_back(std::move(text));
    }
    pos_ = end;
    if (pos_ < html_.size()) {
      std::size_t close = html_.find('>', pos_);
      pos_ = close == std::string_view::npos ? html_.size() : close + 1;
    }
  }

  std::string_view html_;
  std::size_t pos_ = 0;
  HtmlNode root_;
  std::vector<HtmlNode*> stack_;
};

}  // namespace

std::vector<HtmlNode> ParseHtml(std::string_view html) { return Parser(html).Run(); }

bool IsRawTextElement(std::string_view tag) {
  return OneOf(tag, {"script", "style", "textarea", "title", "xmp"});
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace brevane::memory
