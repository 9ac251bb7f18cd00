#include "testing/memory/memory_engine.h"

#include <algorithm>

#include "browser/address.h"

namespace brevane::memory {
namespace {

// The document the control still shows while a navigation waits for its
// page: as the program's engines read it, it is loading; every other member
// is the document's own.
class LeavingDocument final : public DomObject {
 public:
  explicit LeavingDocument(DomRef document) : document_(std::move(document)) {}
  int32_t Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                 Variant* result) override {
    if (kind == InvokeKind::kPropertyGet && name.size() == 10 && AsciiLower(name) == "readystate") {
      int32_t code = document_->Invoke(name, kind, args, result);
      if (code == dom_error::kOk && result) *result = Variant("loading");
      return code;
    }
    return document_->Invoke(name, kind, args, result);
  }

 private:
  DomRef document_;
};

void Record(EngineState& state, std::string event) {
  state.control_events.push_back(std::move(event));
  if (state.on_control_event) state.on_control_event(state.control_events.back());
}

}  // namespace

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

MemoryEngine::WindowState* MemoryEngine::Find(WindowHandle window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

const MemoryEngine::WindowState* MemoryEngine::Find(WindowHandle window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

WindowHandle MemoryEngine::AddWindow(WindowHandle parent, std::string class_name) {
  const WindowHandle handle = tree_.Add(parent, std::move(class_name));
  windows_.emplace(handle, WindowState{});
  return handle;
}

void MemoryEngine::RemoveWindow(WindowHandle window) {
  for (WindowHandle removed : tree_.Remove(window)) windows_.erase(removed);
}

void MemoryEngine::SetHung(WindowHandle window, bool hung) {
  if (WindowState* node = Find(window)) node->hung = hung;
}

void MemoryEngine::SetRefused(WindowHandle window, bool refused) {
  if (WindowState* node = Find(window)) node->refused = refused;
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
  if (WindowState* node = Find(window ? window : standard_.document)) node->document = std::move(document);
}

DocumentPtr MemoryEngine::shown(WindowHandle window) const {
  const WindowState* node = Find(window ? window : standard_.document);
  return node ? node->document : nullptr;
}

void MemoryEngine::DisableMember(std::string_view name) { state_->disabled.insert(AsciiLower(name)); }

bool MemoryEngine::IsWindow(WindowHandle window) { return tree_.Has(window); }

std::string MemoryEngine::ClassName(WindowHandle window) { return tree_.ClassName(window); }

std::vector<WindowHandle> MemoryEngine::Children(WindowHandle window) { return tree_.Children(window); }

DomRef MemoryEngine::TopDocument(WindowHandle document_window, int32_t timeout_ms, int32_t* status) {
  ++document_requests_;
  int32_t code = dom_error::kFail;
  DomRef document;
  const WindowState* node = Find(document_window);
  if (node && node->hung) {
    if (on_hang) on_hang(timeout_ms);
    code = dom_error::kTimeout;
  } else if (node && node->document) {
    document = node->document;
    code = node->refused ? dom_error::kFail : dom_error::kOk;
    // The engine reads the old page as loading while the control heads for
    // the next one, as the program's real engines do.
    if (state_->navigation_pending && !state_->raw_ie && document_window == standard_.document)
      document = std::make_shared<LeavingDocument>(document);
  }
  if (status) *status = code;
  return document;
}

DomRef MemoryEngine::FrameDocument(const DomRef& content_window) {
  auto window = std::dynamic_pointer_cast<MemoryWindow>(content_window);
  if (!window || !window->reachable()) return nullptr;
  return window->document();
}

void MemoryBrowser::Navigate(const Text& address) { Start(address, false); }

void MemoryBrowser::NavigateFromPage(const Text& address) { Start(address, true); }

void MemoryBrowser::Start(const Text& address, bool from_page) {
  navigations_.push_back(address);
  // As the control does, an address typed without a scheme loads over http.
  const Text target = ControlAddress(address);
  EngineState& state = *engine_.state();
  from_page_ = from_page;
  state.navigation_pending = true;
  if (from_page) {
    // Busy still false at BeforeNavigate2, true from DownloadBegin; the
    // ready state is the old document's, complete.
    Record(state, "BeforeNavigate2 " + target);
    state.busy = true;
    Record(state, "DownloadBegin");
  } else {
    state.busy = true;
    state.control_ready_state = 1;
    Record(state, "BeforeNavigate2 " + target);
  }
  const uint64_t navigation = ++navigation_;
  auto served = state.served.find(target);
  const int32_t arrive_ms = served == state.served.end() ? 0 : served->second.options.arrive_ms;
  if (clock_ == nullptr || arrive_ms <= 0) {
    Arrive(address, target);
    return;
  }
  std::weak_ptr<bool> alive = alive_;
  clock_->After(arrive_ms, [this, alive, navigation, address, target] {
    auto still = alive.lock();
    if (still && *still && navigation == navigation_) Arrive(address, target);
  });
}

void MemoryBrowser::Arrive(const Text& address, const Text& target) {
  DocumentPtr page = engine_.ShowAddress(target);
  EngineState& state = *engine_.state();
  state.navigation_pending = false;
  if (!from_page_) state.control_ready_state = 3;
  Record(state, "NavigateComplete2 " + target);
  auto served = state.served.find(target);
  const int64_t subresources_ms = served == state.served.end() ? 0 : served->second.options.complete_ms;
  if (clock_ && (load_ms_ > 0 || subresources_ms > 0)) {
    Text final_state = page->ready_state();
    // A page loading over time reads "loading"; a page parsed whose
    // subresources are still on their way, "interactive".
    page->set_ready_state(load_ms_ > 0 ? "loading" : "interactive");
    std::weak_ptr<MemoryDocument> loading = page;
    std::weak_ptr<bool> alive = alive_;
    const uint64_t navigation = navigation_;
    clock_->After(std::max(load_ms_, subresources_ms), [this, alive, navigation, loading, final_state, target] {
      DocumentPtr document = loading.lock();
      if (!document) return;
      document->set_ready_state(final_state);
      auto still = alive.lock();
      if (still && *still && navigation == navigation_ && final_state == "complete") {
        Complete(target);
        if (on_load) on_load(target, document);
      }
    });
    if (on_navigate) on_navigate(address, page);
    return;
  }
  const bool complete = page->ready_state() == "complete";
  if (complete) Complete(target);
  if (on_navigate) on_navigate(address, page);
  if (complete && on_load) on_load(target, page);
}

void MemoryBrowser::Complete(const Text& target) {
  EngineState& state = *engine_.state();
  state.control_ready_state = 4;
  state.busy = false;
  Record(state, "DocumentComplete " + target);
}

}  // namespace brevane::memory
