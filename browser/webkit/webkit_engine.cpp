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

WebKitWebView* CreateWebView(const WebProcessMemoryCeiling& ceiling) {
  WebKitMemoryPressureSettings* settings = webkit_memory_pressure_settings_new();
  webkit_memory_pressure_settings_set_memory_limit(settings, ceiling.limit_mb > 0 ? ceiling.limit_mb : 1);
  // Releasing memory starts at a third and turns strict at half of the
  // limit (WebKit's own fractions, named here since the kill threshold
  // must lie above them); at the limit itself the process is ended.
  webkit_memory_pressure_settings_set_conservative_threshold(settings, 0.33);
  webkit_memory_pressure_settings_set_strict_threshold(settings, 0.5);
  webkit_memory_pressure_settings_set_kill_threshold(settings, 1.0);
  webkit_memory_pressure_settings_set_poll_interval(
      settings, ceiling.poll_interval_seconds > 0 ? ceiling.poll_interval_seconds : 2.0);
  auto* context = WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "memory-pressure-settings", settings, nullptr));
  webkit_memory_pressure_settings_free(settings);
  // The view keeps its context alive.
  auto* view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(context));
  g_object_unref(context);
  return view;
}

void PrepareWebView(WebKitWebView* view) {
  WebKitBridge::For(view);
  SilenceScriptDialogs(view);
  RefuseDownloads(view);
}

namespace {

bool IsAttachment(WebKitURIResponse* response) {
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  if (headers == nullptr) return false;
  char* disposition = nullptr;
  if (!soup_message_headers_get_content_disposition(headers, &disposition, nullptr)) return false;
  const bool attachment = disposition != nullptr && g_ascii_strcasecmp(disposition, "attachment") == 0;
  g_free(disposition);
  return attachment;
}

}  // namespace

void RefuseDownloads(WebKitWebView* view) {
  // A response the view would save rather than show (sent as an attachment,
  // or of a type it cannot display) is ignored before a byte of it is
  // written anywhere.
  g_signal_connect(view, "decide-policy",
                   G_CALLBACK(+[](WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                  gpointer) -> gboolean {
                     if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
                     auto* response_decision = WEBKIT_RESPONSE_POLICY_DECISION(decision);
                     WebKitURIResponse* response = webkit_response_policy_decision_get_response(response_decision);
                     if (IsAttachment(response) ||
                         !webkit_response_policy_decision_is_mime_type_supported(response_decision)) {
                       webkit_policy_decision_ignore(decision);
                       return TRUE;
                     }
                     return FALSE;  // the view's own decision: show the page
                   }),
                   nullptr);
  // Any download that starts all the same (a link with a download attribute,
  // a script) is cancelled as it starts and never given a destination. The
  // web context is shared by views, so it is told once.
  WebKitWebContext* context = webkit_web_view_get_context(view);
  static const char kRefusing[] = "brevane-refuses-downloads";
  if (g_object_get_data(G_OBJECT(context), kRefusing) != nullptr) return;
  g_object_set_data(G_OBJECT(context), kRefusing, GINT_TO_POINTER(1));
  g_signal_connect(context, "download-started",
                   G_CALLBACK(+[](WebKitWebContext*, WebKitDownload* download, gpointer) {
                     g_signal_connect(download, "decide-destination",
                                      G_CALLBACK(+[](WebKitDownload* refused, gchar*, gpointer) -> gboolean {
                                        webkit_download_cancel(refused);
                                        return TRUE;  // handled: no destination
                                      }),
                                      nullptr);
                     webkit_download_cancel(download);
                   }),
                   nullptr);
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
