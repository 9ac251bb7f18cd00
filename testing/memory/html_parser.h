// A small tolerant HTML parser for the in-memory engine: elements,
// attributes (quoted, unquoted, boolean), text with the common entities,
// void elements, raw-text elements, comments, stray and missing end tags.
// It never fails: whatever the input, it returns a tree.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brevane::memory {

struct HtmlAttribute {
  std::string name;   // lower case
  std::string value;  // entities decoded
  bool has_value = false;
};

struct HtmlNode {
  bool is_text = false;
  std::string tag;   // lower case, for elements
  std::string text;  // for text nodes, entities decoded (raw in script and style)
  std::vector<HtmlAttribute> attributes;
  std::vector<HtmlNode> children;
};

// Elements nested deeper than this are attached as siblings at this depth.
inline constexpr std::size_t kMaxHtmlDepth = 256;

std::vector<HtmlNode> ParseHtml(std::string_view html);

// Elements whose content is kept as written (no markup inside).
bool IsRawTextElement(std::string_view tag);

std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

}  // namespace brevane::memory
