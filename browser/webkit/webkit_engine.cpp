#include "browser/webkit/webkit_engine.h"

#include <string>

#include "browser/webkit/web_view_host.h"
#include "browser/webkit/webkit_bridge.h"

namespace brevane {

WebKitEngine::WebKitEngine(WebViewHost& host) : host_(host) {}

bool WebKitEngine::IsWindow(WindowHandle window) { return host_.IsWindow(window); }

std::string WebKitEngine::ClassName(WindowHandle window) { return host_.ClassName(window); }

std::vector<WindowHandle> WebKitEngine::Children(WindowHandle window) { return host_.Children(window); }

DomRef WebKitEngine::TopDocument(WindowHandle document_window, int32_t timeout_ms, int32_t* status) {
  int32_t code = dom_error::kNoObject;
  DomRef document;
  WebKitWebView* view = host_.ViewOf(document_window);
  if (view) {
    auto bridge = WebKitBridge::For(view);
    bridge->SetTimeout(call_timeout_ms_);
    std::erase_if(bridges_, [](const std::weak_ptr<WebKitBridge>& served) { return served.expired(); });
    bool known = false;
    for (const auto& served : bridges_) known = known || served.lock() == bridge;
    if (!known) bridges_.push_back(bridge);
    Variant v;
    code = bridge->TopDocument(timeout_ms, &v);
    document = v.ToObject();
    if (code == dom_error::kOk && !document) code = dom_error::kNoObject;
  }
  if (status) *status = code;
  return document;
}

DomRef WebKitEngine::FrameDocument(const DomRef& content_window) {
  auto* window = dynamic_cast<WebKitDomObject*>(content_window.get());
  if (!window) return nullptr;
  Variant v;
  if (window->bridge().FrameDocument(*window, &v) != dom_error::kOk) return nullptr;
  return v.ToObject();
}

void WebKitEngine::SetCallTimeout(int32_t milliseconds) {
  call_timeout_ms_ = milliseconds > 0 ? milliseconds : kDefaultBridgeTimeoutMs;
  for (const auto& served : bridges_)
    if (auto bridge = served.lock()) bridge->SetTimeout(call_timeout_ms_);
}

}  // namespace brevane
