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
    DomRef all = GetObjectWithin(deadline, GetObjectWithin(deadline, document, "body"), "all");
    DomRef tables = CallWithin(deadline, all, "tags", {Text("table")}).ToObject();
    const int32_t length = ListLengthWithin(deadline, tables);
    if (deadline.Passed()) return {};
    if (count + length >= n) {
      int32_t index = static_cast<int32_t>(n - count - 1);
      const int32_t mode = DocumentModeOf(document);
      return OuterHtmlAsIe7(CallWithin(deadline, tables, "item", {index}).ToObject(), mode, deadline);
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
  if (deadline.Passed()) return {};

  const int32_t mode = form ? DocumentModeOf(GetObject(form, "document")) : 7;
  Text outer;
  if (!AppendOuterHtmlAsIe7(form, mode, deadline, outer)) return {};
  Text attributes;
  int32_t open = FindText(outer, "<FORM");
  if (open != -1) {
    int32_t close = FindText(outer, ">", open + 5);
    if (close != -1) attributes = MidText(outer, open + 5, close - (open + 5));
  }
  outer.clear();
  // The answer is assembled under one cap, whatever each control holds:
  // the building stops as soon as it is passed.
  Text result = "<FORM" + attributes + ">\r\n";
  if (form) {
    const int32_t controls = ListLengthWithin(deadline, form);
    for (int32_t i = 0; i < controls; ++i) {
      if (deadline.Passed()) return {};
      if (!AppendOuterHtmlAsIe7(CallWithin(deadline, form, "item", {i}).ToObject(), mode, deadline, result)) {
        return {};
      }
      result += "\r\n";
    }
  }
  result += "</FORM>";
  if (result.size() > kMaxAnswerBytes) return {};
  return result;
}

DomRef FindEditorBody(const std::vector<DomRef>& documents, const Text& key, int32_t skip, bool focus_first,
                      const Deadline& deadline, std::size_t* found_in) {
  const double position = TextToNumberValue(key);
  if (position > kNumberTolerance) {
    // The p-th editable document: an editable body or an untitled document.
    double counted = 0;
    for (std::size_t d = 0; d < documents.size(); ++d) {
      const DomRef& document = documents[d];
      if (deadline.Passed()) return nullptr;
      DomRef body = GetObjectWithin(deadline, document, "body");
      if (focus_first) CallWithin(deadline, body, "focus");
      if (deadline.Passed()) return nullptr;
      if (GetTextWithin(deadline, body, "contentEditable") == "true" ||
          (!deadline.Passed() && GetText(document, "title").empty())) {
        counted += 1;
        if (std::fabs(counted - position) < kNumberTolerance) {
          if (found_in) *found_in = d;
          return deadline.Passed() ? nullptr : body;
        }
      }
    }
    return nullptr;
  }
  ElementKey parsed = ParseElementKey(key);
  int32_t remaining = skip;
  for (std::size_t d = 0; d < documents.size(); ++d) {
    const DomRef& document = documents[d];
    if (deadline.Passed()) return nullptr;
    DomRef body = GetObjectWithin(deadline, document, "body");
    if (focus_first) CallWithin(deadline, body, "focus");
    bool taken = false;
    if (parsed.attribute == "title" && GetTextWithin(deadline, document, "title") == parsed.value) {
      if (remaining > 0) {
        --remaining;
      } else {
        taken = true;
      }
    } else {
      taken = MatchElement(body, parsed.value, parsed.attribute, remaining, deadline);
    }
    if (taken) {
      if (found_in) *found_in = d;
      return deadline.Passed() ? nullptr : body;
    }
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
  const std::vector<std::size_t> parents = binding.DocumentParents;
  std::size_t found_in = 0;
  DomRef editor_body = FindEditorBody(documents, key, skip, focus_first, deadline, &found_in);
  if (deadline.Passed() || !editor_body) return 0;
  // The reply goes only into a document of the top page's site.
  if (!OnTopSite(documents, parents, found_in, deadline)) return 0;
  return WriteEditorBody(editor_body, text);
}

int32_t FillEditorWhenPresent(DocumentBinding& binding, Engine& engine, Pause& pause, WindowHandle window,
                              const Text& key, const Text& text, int32_t skip, bool focus_first,
                              const Deadline& deadline) {
  binding.EnsureDocument(engine, deadline);
  const int64_t start = pause.TickCount();
  // An editor the key names in a document of another site than the top
  // page's (or in a page of the forum that another site's frame holds)
  // stops the fill: nothing is written and the fill fails, so no reply is
  // sent from there.
  bool foreign = false;
  auto find = [&](bool focus) {
    const std::vector<DomRef> documents = binding.DocumentList;
    const std::vector<std::size_t> parents = binding.DocumentParents;
    std::size_t found_in = 0;
    DomRef body = FindEditorBody(documents, key, skip, focus, deadline, &found_in);
    if (body && !OnTopSite(documents, parents, found_in, deadline)) {
      foreign = true;
      return DomRef();
    }
    return body;
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
    if (foreign || deadline.Passed() || look > kMostLooks) return 0;
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
    if (foreign) return 0;
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
  const std::vector<std::size_t> parents = binding.DocumentParents;
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
  // A button in a document of another site than the top page's, or in a
  // page that another site's frame holds, is not pressed.
  if (button && !OnTopSite(documents, parents, state.found_in, deadline)) return 0;
  // With nothing found the click goes to the empty object and records its
  // failure, so LastDomErrorText tells why nothing was pressed.
  Call(button, "click");
  if (!button) return 0;
  return LastDomErrorText().empty() ? 1 : 0;
}

}  // namespace brevane
