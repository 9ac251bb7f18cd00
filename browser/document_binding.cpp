#include "browser/document_binding.h"

#include <algorithm>
#include <unordered_set>

#include "browser/address.h"
#include "browser/late_binding.h"

namespace brevane {
namespace {

bool Listed(const std::vector<DomRef>& list, const DomRef& document) {
  return std::find(list.begin(), list.end(), document) != list.end();
}

// One walk over the frames; it stops listing at kMaxDocuments, and marks
// itself out of time when the deadline passes. Every call it makes is
// asked only while the deadline holds.
struct FrameWalk {
  Engine& engine;
  const Deadline& deadline;
  std::vector<DomRef> list;
  std::vector<std::size_t> parents;
  bool out_of_time = false;

  bool Expired() {
    if (!out_of_time && deadline.Passed()) out_of_time = true;
    return out_of_time;
  }

  // Lists document as held by the parent-th listed document; false when
  // the walk must go no further.
  bool Take(const DomRef& document, std::size_t parent) {
    if (!document || Listed(list, document) || list.size() >= kMaxDocuments || Expired()) return false;
    list.push_back(document);
    parents.push_back(parent);
    return true;
  }

  // Document, then the documents of its frame elements: inline frames, or
  // the "frame" elements when the document has no inline frame.
  void ThroughFrameElements(const DomRef& document, int depth, std::size_t parent) {
    if (!Take(document, parent) || depth >= kMaxFrameDepth) return;
    const std::size_t self = list.size() - 1;
    DomRef all = GetObjectWithin(deadline, GetObjectWithin(deadline, document, "body"), "all");
    DomRef frames = CallWithin(deadline, all, "tags", {Text("iframe")}).ToObject();
    int32_t length = ListLengthWithin(deadline, frames);
    if (length == 0) {
      frames = CallWithin(deadline, all, "tags", {Text("frame")}).ToObject();
      length = ListLengthWithin(deadline, frames);
    }
    for (int32_t i = 0; i < length && !Expired(); ++i) {
      DomRef frame = CallWithin(deadline, frames, "item", {i}).ToObject();
      DomRef content_window = GetObjectWithin(deadline, frame, "contentwindow");
      if (!content_window || Expired()) continue;
      if (DomRef frame_document = engine.FrameDocument(content_window)) {
        ThroughFrameElements(frame_document, depth + 1, self);
      }
    }
  }

  // Document, then for each window of its frames collection that window's
  // document and its own frames.
  void ThroughFramesCollection(const DomRef& document, int depth, std::size_t parent) {
    if (!Take(document, parent) || depth >= kMaxFrameDepth) return;
    const std::size_t self = list.size() - 1;
    DomRef frames = GetObjectWithin(deadline, document, "frames");
    const int32_t length = ListLengthWithin(deadline, frames);
    for (int32_t i = 0; i < length && !Expired(); ++i) {
      DomRef window = CallWithin(deadline, frames, "item", {i}).ToObject();
      ThroughFramesCollection(GetObjectWithin(deadline, window, "document"), depth + 1, self);
    }
  }
};

}  // namespace

WindowHandle FindDocumentWindow(Engine& engine, WindowHandle window) {
  if (engine.ClassName(window) == kDocumentWindowClass) return window;
  // Depth first over the descendants, children in the platform's order.
  std::vector<WindowHandle> pending;
  std::unordered_set<WindowHandle> seen{window};
  auto push_children = [&](WindowHandle parent) {
    std::vector<WindowHandle> children = engine.Children(parent);
    for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(*it);
  };
  push_children(window);
  while (!pending.empty()) {
    WindowHandle child = pending.back();
    pending.pop_back();
    if (!seen.insert(child).second) continue;
    if (engine.ClassName(child).find(kDocumentWindowClass) != std::string::npos) return child;
    push_children(child);
  }
  return 0;
}

int32_t DocumentBinding::BindDocument(Engine& engine, WindowHandle window, bool initialise_thread,
                                      int32_t frame_mode, const Deadline& deadline) {
  if (initialise_thread) engine.InitialiseThread();
  BindStatus = dom_error::kFail;
  if (!engine.IsWindow(window)) return 0;
  FrameMode = frame_mode;
  WindowHandle document_window = FindDocumentWindow(engine, window);
  if (document_window == 0) return 0;
  int32_t status = dom_error::kFail;
  DomRef document = engine.TopDocument(document_window, kDocumentRequestTimeoutMs, &status);
  BindStatus = status;
  BoundDocument = document;
  if (!BoundDocument || status != dom_error::kOk) return 0;

  DocumentList.clear();
  DocumentParents.clear();
  FrameWalk walk{engine, deadline, {}, {}};
  if (FrameMode == 0) {
    walk.ThroughFrameElements(document, 0, 0);
  } else {
    walk.ThroughFramesCollection(document, 0, 0);
  }
  if (walk.out_of_time) return 0;
  DocumentList = std::move(walk.list);
  DocumentParents = std::move(walk.parents);
  BoundWindow = window;
  return 1;
}

void DocumentBinding::EnsureDocument(Engine& engine, const Deadline& deadline) {
  if (DocumentList.empty()) BindDocument(engine, BoundWindow, false, 0, deadline);
}

void DocumentBinding::Clear() {
  BoundDocument.reset();
  DocumentList.clear();
  DocumentParents.clear();
  FrameMode = 0;
  BoundWindow = 0;
}

bool OnTopSite(const std::vector<DomRef>& documents, const std::vector<std::size_t>& parents, std::size_t index,
               const Deadline& deadline) {
  if (index >= documents.size()) return false;
  const Text top_site = SiteOf(GetTextWithin(deadline, documents[0], "URL"));
  // Up the chain of holding documents: each has the top's site, or none of
  // its own (about:blank, a written frame) and so the site of its holder.
  // The chain is at most kMaxFrameDepth long; the count guards a list of
  // parents that does not lead to the top.
  for (int step = 0; index != 0; ++step) {
    if (step > kMaxFrameDepth || deadline.Passed()) return false;
    const Text site = SiteOf(GetTextWithin(deadline, documents[index], "URL"));
    if (!site.empty() && site != top_site) return false;
    index = index < parents.size() && parents[index] < index ? parents[index] : 0;
  }
  return !deadline.Passed();
}

DocumentBinding& ProcessDocumentBinding() {
  static DocumentBinding binding;
  return binding;
}

}  // namespace brevane
