#include "browser/document_binding.h"

#include <algorithm>
#include <unordered_set>

#include "browser/late_binding.h"

namespace brevane {
namespace {

// Frames nested deeper than this are not followed; a real page never comes
// near it, and it keeps a looping engine from exhausting the stack.
constexpr int kMaxFrameDepth = 64;

bool Listed(const std::vector<DomRef>& list, const DomRef& document) {
  return std::find(list.begin(), list.end(), document) != list.end();
}

// Document, then the documents of its frame elements: inline frames, or the
// "frame" elements when the document has no inline frame.
void CollectThroughFrameElements(Engine& engine, const DomRef& document, std::vector<DomRef>& list,
                                 int depth) {
  if (!document || Listed(list, document)) return;
  list.push_back(document);
  if (depth >= kMaxFrameDepth) return;
  DomRef all = GetObject(GetObject(document, "body"), "all");
  DomRef frames = Call(all, "tags", {Text("iframe")}).ToObject();
  int64_t length = GetInteger(frames, "length");
  if (length == 0) {
    frames = Call(all, "tags", {Text("frame")}).ToObject();
    length = GetInteger(frames, "length");
  }
  for (int64_t i = 0; i < length && i < INT32_MAX; ++i) {
    DomRef frame = Call(frames, "item", {static_cast<int32_t>(i)}).ToObject();
    DomRef content_window = GetObject(frame, "contentwindow");
    if (!content_window) continue;
    if (DomRef frame_document = engine.FrameDocument(content_window)) {
      CollectThroughFrameElements(engine, frame_document, list, depth + 1);
    }
  }
}

// Document, then for each window of its frames collection that window's
// document and its own frames.
void CollectThroughFramesCollection(const DomRef& document, std::vector<DomRef>& list, int depth) {
  if (!document || Listed(list, document)) return;
  list.push_back(document);
  if (depth >= kMaxFrameDepth) return;
  DomRef frames = GetObject(document, "frames");
  int64_t length = GetInteger(frames, "length");
  for (int64_t i = 0; i < length && i < INT32_MAX; ++i) {
    DomRef window = Call(frames, "item", {static_cast<int32_t>(i)}).ToObject();
    CollectThroughFramesCollection(GetObject(window, "document"), list, depth + 1);
  }
}

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
                                      int32_t frame_mode) {
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
  std::vector<DomRef> list;
  if (FrameMode == 0) {
    CollectThroughFrameElements(engine, document, list, 0);
  } else {
    CollectThroughFramesCollection(document, list, 0);
  }
  DocumentList = std::move(list);
  BoundWindow = window;
  return 1;
}

void DocumentBinding::EnsureDocument(Engine& engine) {
  if (DocumentList.empty()) BindDocument(engine, BoundWindow, false, 0);
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
