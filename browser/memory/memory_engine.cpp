#include "browser/memory/memory_engine.h"

#include <algorithm>

#include "browser/address.h"

namespace brevane::memory {

MemoryEngine::MemoryEngine() : state_(std::make_shared<EngineState>()) {
  standard_.main = AddWindow(0, std::string(kMainWindowClass));
  standard_.button = AddWindow(standard_.main, "Button");
  standard_.control = AddWindow(standard_.main, std::string(kControlWindowClass));
  standard_.view = AddWindow(standard_.control, std::string(kViewWindowClass));
  standard_.document = AddWindow(standard_.view, std::string(kDocumentWindowClass));
}

MemoryEngine::~MemoryEngine() {
  state_->clicks.clear();
  state_->submissions.clear();
  state_->on_click = nullptr;
  state_->served.clear();
}

MemoryEngine::WindowNode* MemoryEngine::Find(WindowHandle window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

const MemoryEngine::WindowNode* MemoryEngine::Find(WindowHandle window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

WindowHandle MemoryEngine::AddWindow(WindowHandle parent, std::string class_name) {
  WindowHandle handle = next_handle_;
  next_handle_ += 4;
  WindowNode node;
  node.class_name = std::move(class_name);
  if (WindowNode* up = Find(parent)) {
    node.parent = parent;
    up->children.push_back(handle);
  }
  windows_.emplace(handle, std::move(node));
  return handle;
}

void MemoryEngine::RemoveWindow(WindowHandle window) {
  WindowNode* node = Find(window);
  if (!node) return;
  std::vector<WindowHandle> children = node->children;
  if (WindowNode* up = Find(node->parent)) {
    up->children.erase(std::remove(up->children.begin(), up->children.end(), window), up->children.end());
  }
  windows_.erase(window);
  for (WindowHandle child : children) RemoveWindow(child);
}

void MemoryEngine::SetHung(WindowHandle window, bool hung) {
  if (WindowNode* node = Find(window)) node->hung = hung;
}

void MemoryEngine::SetRefused(WindowHandle window, bool refused) {
  if (WindowNode* node = Find(window)) node->refused = refused;
}

void MemoryEngine::Serve(Text address, Text html, PageOptions options) {
  state_->served[std::move(address)] = ServedPage{std::move(html), options};
}

DocumentPtr MemoryEngine::Show(std::string_view html, PageOptions options, WindowHandle window) {
  DocumentPtr document = LoadServedPage(state_, ServedPage{Text(html), options}, 0, {});
  SetDocument(window, document);
  return document;
}

DocumentPtr MemoryEngine::ShowAddress(const Text& address) {
  auto served = state_->served.find(address);
  if (served == state_->served.end()) return Show("");
  DocumentPtr document = LoadServedPage(state_, served->second, 0, {address});
  SetDocument(0, document);
  return document;
}

void MemoryEngine::SetDocument(WindowHandle window, DocumentPtr document) {
  if (WindowNode* node = Find(window ? window : standard_.document)) node->document = std::move(document);
}

DocumentPtr MemoryEngine::shown(WindowHandle window) const {
  const WindowNode* node = Find(window ? window : standard_.document);
  return node ? node->document : nullptr;
}

void MemoryEngine::DisableMember(std::string_view name) { state_->disabled.insert(AsciiLower(name)); }

bool MemoryEngine::IsWindow(WindowHandle window) { return Find(window) != nullptr; }

std::string MemoryEngine::ClassName(WindowHandle window) {
  const WindowNode* node = Find(window);
  if (!node) return {};
  return node->class_name.substr(0, 99);
}

std::vector<WindowHandle> MemoryEngine::Children(WindowHandle window) {
  const WindowNode* node = Find(window);
  return node ? node->children : std::vector<WindowHandle>{};
}

DomRef MemoryEngine::TopDocument(WindowHandle document_window, int32_t timeout_ms, int32_t* status) {
  ++document_requests_;
  int32_t code = dom_error::kFail;
  DomRef document;
  const WindowNode* node = Find(document_window);
  if (node && node->hung) {
    if (on_hang) on_hang(timeout_ms);
    code = dom_error::kTimeout;
  } else if (node && node->document) {
    document = node->document;
    code = node->refused ? dom_error::kFail : dom_error::kOk;
  }
  if (status) *status = code;
  return document;
}

DomRef MemoryEngine::FrameDocument(const DomRef& content_window) {
  auto window = std::dynamic_pointer_cast<MemoryWindow>(content_window);
  if (!window || !window->reachable()) return nullptr;
  return window->document();
}

void MemoryBrowser::Navigate(const Text& address) {
  navigations_.push_back(address);
  // As the control does, an address typed without a scheme loads over http.
  DocumentPtr page = engine_.ShowAddress(ControlAddress(address));
  if (clock_ && load_ms_ > 0) {
    Text final_state = page->ready_state();
    page->set_ready_state("loading");
    std::weak_ptr<MemoryDocument> loading = page;
    clock_->After(load_ms_, [loading, final_state] {
      if (DocumentPtr document = loading.lock()) document->set_ready_state(final_state);
    });
  }
  if (on_navigate) on_navigate(address, page);
}

}  // namespace brevane::memory
