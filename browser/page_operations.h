// The reads, the fill and the click, over the documents of a binding. Each
// binds the page first when nothing is bound yet, and none reports an error:
// a failed step gives the empty result. Each ends with the empty result
// when its deadline passes (the bind it may need included), and takes a
// list longer than kMaxListLength as empty.
#pragma once

#include <cstdint>
#include <vector>

#include "browser/document_binding.h"
#include "base/text/text.h"

namespace brevane {

// The element types a click accepts; an element qualifies when its type text
// occurs in it (an empty type included).
inline constexpr std::string_view kButtonTypes = "button|submit|reset";

// Outer HTML of the n-th table counted across the documents; empty when
// there are fewer than n tables. ReadTableHtml and ReadFormHtml assemble at
// most kMaxAnswerBytes: a longer answer is empty, its building stopped
// when it passed the cap.
Text ReadTableHtml(DocumentBinding& binding, Engine& engine, int32_t n, const Deadline& deadline = {});

// "<FORM" + the form's start-tag attributes + ">" CRLF, the outer HTML of
// each of its controls followed by CRLF, then "</FORM>"; the empty frame
// "<FORM>" CRLF "</FORM>" when no form matches.
Text ReadFormHtml(DocumentBinding& binding, Engine& engine, const Text& key, int32_t skip = 0,
                  const Deadline& deadline = {});

// Writes text, unescaped, as the inner HTML of the body of the editable
// document the key names; 1 when the write succeeded. The count runs over
// every document, but an editor in a document that does not lie wholly in
// the top page's site (OnTopSite) is not written: 0.
int32_t FillEditor(DocumentBinding& binding, Engine& engine, const Text& key, const Text& text,
                   int32_t skip = 0, bool focus_first = false, const Deadline& deadline = {});

// The body of the editable document the key names among documents; empty
// when none qualifies; *found_in (when given) is that document's index.
// WriteEditorBody writes text as its inner HTML.
DomRef FindEditorBody(const std::vector<DomRef>& documents, const Text& key, int32_t skip, bool focus_first,
                      const Deadline& deadline, std::size_t* found_in = nullptr);
int32_t WriteEditorBody(const DomRef& editor_body, const Text& text);

namespace editor_fill {
// How long a fill looks for an editor the page does not show yet. A rich
// editor that builds its frame from script, after requests of its own
// (configuration, language, styles), showed it 560-780 ms after the
// navigation with 75-200 ms per request, that is up to some 200 ms after
// the load wait; one loaded after the load event takes a few requests
// more. Three seconds cover some fifteen such requests at 200 ms, and are
// what a thread page without any editor costs.
inline constexpr int32_t kWaitLimitMs = 3000;
inline constexpr int32_t kLookPeriodMs = 100;
// How long a written editor must keep the text before the fill counts:
// an editor that sets its own first content after one more request (its
// content styles) at 200 ms does so within it.
inline constexpr int32_t kSettleMs = 300;
inline constexpr int32_t kSettleCheckMs = 50;
}  // namespace editor_fill

// FillEditor for a page that may still be building its editor: when the
// bound documents hold none, binds window's page again and looks again
// until one appears or editor_fill::kWaitLimitMs pass (0 then, nothing
// written); after the write, confirms for editor_fill::kSettleMs that the
// editor keeps the text, writing it again when the page replaced it. 1 when
// the editor held the text at the last look. Every wait goes through pause.
int32_t FillEditorWhenPresent(DocumentBinding& binding, Engine& engine, Pause& pause, WindowHandle window,
                              const Text& key, const Text& text, int32_t skip = 0, bool focus_first = false,
                              const Deadline& deadline = {});

// Clicks the button-like element the key names, counting qualifying inputs
// first and button elements after them; 1 when found and clicked cleanly,
// 0 without a click when it lies outside the top page's site (OnTopSite).
int32_t ClickButton(DocumentBinding& binding, Engine& engine, const Text& key, int32_t skip = 0,
                    const Deadline& deadline = {});

}  // namespace brevane
