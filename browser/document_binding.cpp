#include "browser/document_binding.h"

#include <algorithm>
#include <unordered_set>

#include "browser/late_binding.h"

namespace brevane {
namespace {

bool Listed(const std::vector<DomRef>& list, const DomRef& document) {
  return std::find(list.begin(), list.end(), document) != list.end();
}

// One walk over the frames; it stops listing at kMaxDocuments, and marks
// itself out of time when the deadline passes.
struct FrameWalk {
  Engine& engine;
  const Deadline& deadline;
  std::vector<DomRef> list;
  bool out_of_time = false;

  bool Expired() {
    if (!out_of_time && deadline.Passed()) out_of_time = true;
    return out_of_time;
  }

  // False when the walk must go no further.
  bool Take(const DomRef& document) {
    if (!document || Listed(list, document) || list.size() >= kMaxDocuments || Expired()) return false;
    list.push_back(document);
    return true;
  }

  // Document, then the documents of its frame elements: inline frames, or
  // the "frame" elements when the document has no inline frame.
  void ThroughFrameElements(const DomRef& document, int depth) {
    if (!Take(document) || depth >= kMaxFrameDepth) return;
    DomRef all = GetObject(GetObject(document, "body"), "all");
    DomRef frames = Call(all, "tags", {Text("iframe")}).ToObject();
    int32_t length = ListLength(frames);
    if (length == 0) {
      frames = Call(all, "tags", {Text("frame")}).ToObject();
      length = ListLength(frames);
    }
    for (int32_t i = 0; i < length && !Expired(); ++i) {
      DomRef frame = Call(frames, "item", {i}).ToObject();
      DomRef content_window = GetObject(frame, "contentwindow");
      if (!content_window) continue;
      if (DomRef frame_document = engine.FrameDocument(content_window)) {
        ThroughFrameElements(frame_document, depth + 1);
      }
    }
  }

  // Document, then for each window of its frames collection that window's
  // document and its own frames.
  void ThroughFramesCollection(const DomRef& document, int depth) {
    if (!Take(document) || depth >= kMaxFrameDepth) return;
    DomRef frames = GetObject(document, "frames");
    const int32_t length = ListLength(frames);
    for (int32_t i = 0; i < length && !Expired(); ++i) {
      DomRef window = Call(frames, "item", {i}).ToObject();
      ThroughFramesCollection(GetObject(window, "document"), depth + 1);
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
  FrameWalk walk{engine, deadline, {}};
  if (FrameMode == 0) {
    walk.ThroughFrameElements(document, 0);
  } else {
    walk.ThroughFramesCollection(document, 0);
  }
  if (walk.out_of_time) return 0;
  DocumentList = std::move(walk.list);
  BoundWindow = window;
  return 1;
}

void DocumentBinding::EnsureDocument(Engine& engine, const Deadline& deadline) {
  if (DocumentList.empty()) BindDocument(engine, BoundWindow, false, 0, deadline);
}

void DocumentBinding::Clear() {
  BoundDocument.reset();
  DocumentList.clear();
  FrameMode = 0;
  BoundWindow = 0;
}

DocumentBinding& ProcessDocumentBinding() {
  static DocumentBinding binding;
  return binding;
}

}  // namespace brevane
