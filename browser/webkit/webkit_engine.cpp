#include "browser/webkit/webkit_engine.h"

#include <webkit2/webkit2.h>

#include "browser/webkit/webkit_bridge.h"

namespace brevane {

WebKitEngine::WebKitEngine(WidgetTable& widgets) : widgets_(widgets) {}

bool WebKitEngine::IsWindow(WindowHandle window) { return window != 0 && widgets_.IsWindow(window); }

std::string WebKitEngine::ClassName(WindowHandle window) {
  std::string name = IsWindow(window) ? widgets_.ClassName(window) : std::string();
  // As a 100-byte buffer holds it: 99 bytes and the terminator.
  if (name.size() > 99) name.resize(99);
  return name;
}

std::vector<WindowHandle> WebKitEngine::Children(WindowHandle window) {
  return IsWindow(window) ? widgets_.Children(window) : std::vector<WindowHandle>{};
}

DomRef WebKitEngine::TopDocument(WindowHandle document_window, int32_t timeout_ms, int32_t* status) {
  int32_t code = dom_error::kNoObject;
  DomRef document;
  WebKitWebView* view = IsWindow(document_window) ? widgets_.WebViewOf(document_window) : nullptr;
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

void PrepareWebView(WebKitWebView* view) {
  WebKitBridge::For(view);
  SilenceScriptDialogs(view);
}

void SilenceScriptDialogs(WebKitWebView* view) {
  g_signal_connect(view, "script-dialog", G_CALLBACK(+[](WebKitWebView*, WebKitScriptDialog* dialog, gpointer) -> gboolean {
                     switch (webkit_script_dialog_get_dialog_type(dialog)) {
                       case WEBKIT_SCRIPT_DIALOG_CONFIRM:
                       case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
                         webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
                         break;
                       case WEBKIT_SCRIPT_DIALOG_PROMPT: {
                         const char* text = webkit_script_dialog_prompt_get_default_text(dialog);
                         webkit_script_dialog_prompt_set_text(dialog, text ? text : "");
                         break;
                       }
                       default: break;
                     }
                     return TRUE;  // handled: nothing is shown
                   }),
                   nullptr);
}

void WebKitEngine::SetCallTimeout(int32_t milliseconds) {
  call_timeout_ms_ = milliseconds > 0 ? milliseconds : kDefaultBridgeTimeoutMs;
  for (const auto& served : bridges_)
    if (auto bridge = served.lock()) bridge->SetTimeout(call_timeout_ms_);
}

}  // namespace brevane
