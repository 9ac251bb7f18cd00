#include "browser/page_operations.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "browser/element_key.h"
#include "browser/ie_markup.h"
#include "browser/late_binding.h"

namespace brevane {
namespace {

constexpr double kNumberTolerance = 0.0000001;


}  // namespace

Text ReadTableHtml(DocumentBinding& binding, Engine& engine, int32_t n, const Deadline& deadline) {
  binding.EnsureDocument(engine, deadline);
  if (n < 1) return {};
  const std::vector<DomRef> documents = binding.DocumentList;
  int64_t count = 0;
  for (const DomRef& document : documents) {
    if (deadline.Passed()) return {};
    DomRef tables = Call(GetObject(GetObject(document, "body"), "all"), "tags", {Text("table")}).ToObject();
    const int32_t length = ListLength(tables);
    if (count + length >= n) {
      int32_t index = static_cast<int32_t>(n - count - 1);
      return OuterHtmlAsIe7(Call(tables, "item", {index}).ToObject(), DocumentModeOf(document));
    }
    count += length;
  }
  return {};
}

Text ReadFormHtml(DocumentBinding& binding, Engine& engine, const Text& key, int32_t skip,
                  const Deadline& deadline) {
  binding.EnsureDocument(engine, deadline);
  const std::vector<DomRef> documents = binding.DocumentList;
  ElementKey parsed = ParseElementKey(key);
  ScanState state;
  state.skip = skip;
  state.deadline = deadline;
  DomRef form = ScanTag(documents, "form", parsed, state, /*direct_lookup=*/true);

  const int32_t mode = form ? DocumentModeOf(GetObject(form, "document")) : 7;
  Text outer = OuterHtmlAsIe7(form, mode);
  Text attributes;
  int32_t open = FindText(outer, "<FORM");
  if (open != -1) {
    int32_t close = FindText(outer, ">", open + 5);
    if (close != -1) attributes = MidText(outer, open + 5, close - (open + 5));
  }
  Text result = "<FORM" + attributes + ">\r\n";
  if (form) {
    const int32_t controls = ListLength(form);
    for (int32_t i = 0; i < controls; ++i) {
      if (deadline.Passed()) return {};
      result += OuterHtmlAsIe7(Call(form, "item", {i}).ToObject(), mode);
      result += "\r\n";
    }
  }
  result += "</FORM>";
  return result;
}

DomRef FindEditorBody(const std::vector<DomRef>& documents, const Text& key, int32_t skip, bool focus_first,
                      const Deadline& deadline) {
  const double position = TextToNumberValue(key);
  if (position > kNumberTolerance) {
    // The p-th editable document: an editable body or an untitled document.
    double counted = 0;
    for (const DomRef& document : documents) {
      if (deadline.Passed()) return nullptr;
      DomRef body = GetObject(document, "body");
      if (focus_first) Call(body, "focus");
      if (GetText(body, "contentEditable") == "true" || GetText(document, "title").empty()) {
        counted += 1;
        if (std::fabs(counted - position) < kNumberTolerance) return body;
      }
    }
    return nullptr;
  }
  ElementKey parsed = ParseElementKey(key);
  int32_t remaining = skip;
  for (const DomRef& document : documents) {
    if (deadline.Passed()) return nullptr;
    DomRef body = GetObject(document, "body");
    if (focus_first) Call(body, "focus");
    bool taken = false;
    if (parsed.attribute == "title" && GetText(document, "title") == parsed.value) {
      if (remaining > 0) {
        --remaining;
      } else {
        taken = true;
      }
    } else {
      taken = MatchElement(body, parsed.value, parsed.attribute, remaining);
    }
    if (taken) return body;
  }
  return nullptr;
}

int32_t WriteEditorBody(const DomRef& editor_body, const Text& text) {
  if (!editor_body) return 0;
  // The body's innerHTML property, which is what setAttribute("innerHTML")
  // writes in IE7 mode; from IE8 standards mode on that call would only set
  // a content attribute of that name and leave the editor empty.
  if (Put(editor_body, "innerHTML", Variant(text))) return 1;
  return Put(editor_body, "setAttribute", Variant("innerHTML"), Variant(text)) ? 1 : 0;
}

int32_t FillEditor(DocumentBinding& binding, Engine& engine, const Text& key, const Text& text,
                   int32_t skip, bool focus_first, const Deadline& deadline) {
  binding.EnsureDocument(engine, deadline);
  const std::vector<DomRef> documents = binding.DocumentList;
  DomRef editor_body = FindEditorBody(documents, key, skip, focus_first, deadline);
  if (deadline.Passed()) return 0;
  return WriteEditorBody(editor_body, text);
}

int32_t FillEditorWhenPresent(DocumentBinding& binding, Engine& engine, Pause& pause, WindowHandle window,
                              const Text& key, const Text& text, int32_t skip, bool focus_first,
                              const Deadline& deadline) {
  binding.EnsureDocument(engine, deadline);
  const int64_t start = pause.TickCount();
  auto find = [&](bool focus) {
    const std::vector<DomRef> documents = binding.DocumentList;
    return FindEditorBody(documents, key, skip, focus, deadline);
  };
  // Bind the page as it is now: a script may have added or rebuilt frames
  // since the load wait bound it. A bind that fails keeps the last list.
  auto rebind = [&] { binding.BindDocument(engine, window, false, binding.FrameMode, deadline); };

  // The editor the load wait saw is taken at once. Otherwise look again,
  // at once and then every kLookPeriodMs, over the page bound anew, for an
  // editor that a script builds after the load, until the limit passes.
  // The loops count their rounds as well as the time, so a clock that
  // stood still could not hold them.
  constexpr int32_t kMostLooks = editor_fill::kWaitLimitMs / editor_fill::kLookPeriodMs + 1;
  constexpr int32_t kMostChecks = (editor_fill::kWaitLimitMs + editor_fill::kSettleMs) / editor_fill::kSettleCheckMs;
  DomRef body = find(focus_first);
  for (int32_t look = 0; !body; ++look) {
    if (deadline.Passed() || look > kMostLooks) return 0;
    if (look > 0) {
      if (pause.TickCount() - start >= editor_fill::kWaitLimitMs) return 0;
      pause.For(editor_fill::kLookPeriodMs);
    }
    rebind();
    body = find(focus_first);
  }
  if (deadline.Passed() || !WriteEditorBody(body, text)) return 0;

  // Settle: an editor that writes its own first content (or builds its
  // document anew) after the fill would wipe the reply. For kSettleMs after
  // the last write the page is bound again and the editor looked up; when it
  // no longer holds what the write left, the text is written again and the
  // settle starts over, never past the wait limit plus one settle. Only an
  // editor found holding the text at the last look counts as filled.
  Text written = GetText(body, "innerHTML");
  const int64_t latest_end = start + editor_fill::kWaitLimitMs + editor_fill::kSettleMs;
  int64_t settle_end = std::min(pause.TickCount() + editor_fill::kSettleMs, latest_end);
  bool holds = true;
  for (int32_t check = 0; pause.TickCount() < settle_end && check < kMostChecks; ++check) {
    if (deadline.Passed()) return 0;
    pause.For(editor_fill::kSettleCheckMs);
    rebind();
    DomRef now = find(false);
    holds = now && GetText(now, "innerHTML") == written;
    if (holds || !now) continue;
    if (!WriteEditorBody(now, text)) continue;
    written = GetText(now, "innerHTML");
    holds = true;
    settle_end = std::min(pause.TickCount() + editor_fill::kSettleMs, latest_end);
  }
  return holds ? 1 : 0;
}

int32_t ClickButton(DocumentBinding& binding, Engine& engine, const Text& key, int32_t skip,
                    const Deadline& deadline) {
  binding.EnsureDocument(engine, deadline);
  const std::vector<DomRef> documents = binding.DocumentList;
  ElementKey parsed = ParseElementKey(key);
  ScanState state;
  state.skip = skip;
  state.deadline = deadline;
  ElementFilter button_like = [](const DomRef& element) {
    return FindText(kButtonTypes, GetText(element, "type")) != -1;
  };
  DomRef button = ScanTag(documents, "input", parsed, state, /*direct_lookup=*/true, button_like);
  if (!button && FindText(kButtonTypes, "button") != -1) {
    button = ScanTag(documents, "button", parsed, state, /*direct_lookup=*/false, button_like);
  }
  // With nothing found the click goes to the empty object and records its
  // failure, so LastDomErrorText tells why nothing was pressed.
  Call(button, "click");
  if (!button) return 0;
  return LastDomErrorText().empty() ? 1 : 0;
}

}  // namespace brevane
