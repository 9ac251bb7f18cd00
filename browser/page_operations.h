// The reads, the fill and the click, over the documents of a binding. Each
// binds the page first when nothing is bound yet, and none reports an error:
// a failed step gives the empty result. Each ends with the empty result
// when its deadline passes (the bind it may need included), and takes a
// list longer than kMaxListLength as empty.
#pragma once

#include <cstdint>

#include "browser/document_binding.h"
#include "base/text/text.h"

namespace brevane {

// The element types a click accepts; an element qualifies when its type text
// occurs in it (an empty type included).
inline constexpr std::string_view kButtonTypes = "button|submit|reset";

// Outer HTML of the n-th table counted across the documents; empty when
// there are fewer than n tables.
Text ReadTableHtml(DocumentBinding& binding, Engine& engine, int32_t n, const Deadline& deadline = {});

// "<FORM" + the form's start-tag attributes + ">" CRLF, the outer HTML of
// each of its controls followed by CRLF, then "</FORM>"; the empty frame
// "<FORM>" CRLF "</FORM>" when no form matches.
Text ReadFormHtml(DocumentBinding& binding, Engine& engine, const Text& key, int32_t skip = 0,
                  const Deadline& deadline = {});

// Writes text, unescaped, as the inner HTML of the body of the editable
// document the key names; 1 when the write succeeded.
int32_t FillEditor(DocumentBinding& binding, Engine& engine, const Text& key, const Text& text,
                   int32_t skip = 0, bool focus_first = false, const Deadline& deadline = {});

// Clicks the button-like element the key names, counting qualifying inputs
// first and button elements after them; 1 when found and clicked cleanly.
int32_t ClickButton(DocumentBinding& binding, Engine& engine, const Text& key, int32_t skip = 0,
                    const Deadline& deadline = {});

}  // namespace brevane
