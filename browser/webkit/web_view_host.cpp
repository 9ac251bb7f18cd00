#include "browser/webkit/web_view_host.h"

#include <gtk/gtk.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/text/charset.h"
#include "browser/address.h"
#include "browser/dom.h"
#include "browser/webkit/script_world.h"
#include "browser/webkit/webkit_bridge.h"
#include "ui/window_thread.h"

namespace brevane {

WebViewHost::WebViewHost(const WebProcessMemoryCeiling& ceiling) : view_(CreateWebView(ceiling)) {
  g_object_add_weak_pointer(G_OBJECT(view_), reinterpret_cast<gpointer*>(&view_));
  PrepareWebView(view_);
  window_ = windows_.Add(0, std::string(kBrowserWindowClass));
  document_window_ = windows_.Add(window_, std::string(kDocumentWindowClass));
}

WebViewHost::~WebViewHost() {
  if (view_ == nullptr) return;
  g_object_remove_weak_pointer(G_OBJECT(view_), reinterpret_cast<gpointer*>(&view_));
  // A view no container took is the host's to free.
  if (g_object_is_floating(view_)) g_object_unref(g_object_ref_sink(view_));
}

GtkWidget* WebViewHost::widget() const { return view_ != nullptr ? GTK_WIDGET(view_) : nullptr; }

void WebViewHost::Navigate(const Text& address) {
  RunOnWindowThread([&] {
    if (view_ == nullptr) return;
    const std::string uri = address.empty() ? std::string("about:blank") : GbkToUtf8(ControlAddress(address));
    webkit_web_view_load_uri(view_, uri.c_str());
  });
}

WindowHandle WebViewHost::Handle() { return IsWindow(window_) ? window_ : 0; }

bool WebViewHost::IsWindow(WindowHandle window) const { return view_ != nullptr && windows_.Has(window); }

std::string WebViewHost::ClassName(WindowHandle window) const {
  return IsWindow(window) ? windows_.ClassName(window) : std::string();
}

std::vector<WindowHandle> WebViewHost::Children(WindowHandle window) const {
  return IsWindow(window) ? windows_.Children(window) : std::vector<WindowHandle>{};
}

WebKitWebView* WebViewHost::ViewOf(WindowHandle window) const {
  return window == document_window_ ? view_ : nullptr;
}

void WebViewHost::AcceptCertificate(const std::string& pem_file, const std::string& address) {
  if (view_ == nullptr || pem_file.empty()) return;
  GUri* uri = g_uri_parse(address.c_str(), G_URI_FLAGS_NONE, nullptr);
  const char* host = uri ? g_uri_get_host(uri) : nullptr;
  GError* error = nullptr;
  GTlsCertificate* certificate = g_tls_certificate_new_from_file(pem_file.c_str(), &error);
  if (certificate && host && *host) {
    webkit_web_context_allow_tls_certificate_for_host(webkit_web_view_get_context(view_), certificate, host);
  } else {
    std::fprintf(stderr, "brevane: the test certificate %s is not accepted: %s\n", pem_file.c_str(),
                 error ? error->message : "no host in the login address");
  }
  if (error) g_error_free(error);
  if (certificate) g_object_unref(certificate);
  if (uri) g_uri_unref(uri);
}

void PrepareWebKitProcess() {
  setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
  // Classic scroll bars, always shown, as the Windows browser control has.
  // The overlay ones fade in and out in steps of their own: on a page that
  // scrolls (a thread page with its editor) they kept the page repainting
  // some twenty times a second while the window only waits.
  setenv("GTK_OVERLAY_SCROLLING", "0", 0);
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
  const double poll_seconds = ceiling.poll_interval_seconds > 0 ? ceiling.poll_interval_seconds : 120.0;
  webkit_memory_pressure_settings_set_poll_interval(settings, poll_seconds);
  // Website data (cookies, caches, IndexedDB, local storage) lives in memory
  // for the program's life and never reaches the disk: the login's cookies
  // hold for the run (the login runs at every start) and no page fills the
  // disk.
  WebKitWebsiteDataManager* data = webkit_website_data_manager_new_ephemeral();
  auto* context = WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "memory-pressure-settings", settings,
                                                  "website-data-manager", data, nullptr));
  g_object_unref(data);
  webkit_memory_pressure_settings_free(settings);
  // The module's settings, told to it as WebKit starts it in a web process:
  // the program it dies with, and its own cheap check of the ceiling.
  GVariantDict module_settings;
  g_variant_dict_init(&module_settings, nullptr);
  g_variant_dict_insert_value(&module_settings, kProgramPidKey, g_variant_new_int64(getpid()));
  if (ceiling.check_interval_ms > 0) {
    const guint64 limit_bytes = static_cast<guint64>(ceiling.limit_mb > 0 ? ceiling.limit_mb : 1) << 20;
    g_variant_dict_insert_value(&module_settings, kMemoryLimitKey, g_variant_new_uint64(limit_bytes));
    g_variant_dict_insert_value(&module_settings, kMemoryCheckKey, g_variant_new_uint32(ceiling.check_interval_ms));
  }
  webkit_web_context_set_web_extensions_initialization_user_data(context, g_variant_dict_end(&module_settings));
  // The view keeps its context alive.
  auto* view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(context));
  g_object_unref(context);
  return view;
}

namespace {

bool IsFile(const std::string& path) { return g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR) != FALSE; }

}  // namespace

std::string WebExtensionDirectory() {
  // An installed copy: lib/brevane/web-extensions beside the program's bin.
  char exe[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length > 0) {
    exe[length] = '\0';
    gchar* bin = g_path_get_dirname(exe);
    gchar* installed = g_build_filename(bin, "..", "lib", "brevane", "web-extensions", nullptr);
    std::string directory = installed;
    g_free(installed);
    g_free(bin);
    if (IsFile(directory + "/" + kWebExtensionFile)) return directory;
  }
  // A program run from its build tree.
#ifdef BREVANE_WEB_EXTENSION_BUILD_DIR
  if (IsFile(std::string(BREVANE_WEB_EXTENSION_BUILD_DIR) + "/" + kWebExtensionFile))
    return BREVANE_WEB_EXTENSION_BUILD_DIR;
#endif
  return {};
}

void PrepareWebView(WebKitWebView* view) {
  // The module must be named before the context starts its first web
  // process, that is before the view's first load.
  WebKitWebContext* context = webkit_web_view_get_context(view);
  static const char kModule[] = "brevane-web-extension";
  if (g_object_get_data(G_OBJECT(context), kModule) == nullptr) {
    g_object_set_data(G_OBJECT(context), kModule, GINT_TO_POINTER(1));
    const std::string directory = WebExtensionDirectory();
    if (!directory.empty()) webkit_web_context_set_web_extensions_directory(context, directory.c_str());
  }
  // Every board is read fresh on every pass, whatever cache headers the
  // forum sends: the context keeps no cache of remote resources.
  webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
  WebKitBridge::For(view);
  KeepPagesOffThePrimarySelection();
  SilenceScriptDialogs(view);
  RefuseDownloads(view);
  RefuseWhatShowsAWindow(view);
  RefuseOtherSchemes(view);
  RefuseInvalidCertificates(view);
}

void KeepPagesOffThePrimarySelection() {
  // WebKit puts every selection of a page into the primary selection, one a
  // script makes as much as one the user makes, with no setting to stop it.
  // It writes the selection as plain data, with no owner object, while the
  // program's own edit boxes write theirs with the box as owner. So when the
  // primary selection passes to this process without an owner, it is a
  // page's, and it is dropped at once: no other program pastes what a page
  // chose. What the program's edit boxes select stays theirs.
  static const bool watching = [] {
    g_signal_connect(gtk_clipboard_get(GDK_SELECTION_PRIMARY), "owner-change",
                     G_CALLBACK(+[](GtkClipboard* primary, GdkEvent*, gpointer) {
                       if (gdk_selection_owner_get(GDK_SELECTION_PRIMARY) != nullptr &&
                           gtk_clipboard_get_owner(primary) == nullptr)
                         gtk_clipboard_clear(primary);
                     }),
                     nullptr);
    return true;
  }();
  (void)watching;
}

void RefuseInvalidCertificates(WebKitWebView* view) {
  WebKitWebsiteDataManager* data = webkit_web_context_get_website_data_manager(webkit_web_view_get_context(view));
  // Nothing answers load-failed-with-tls-errors: the view goes on to
  // load-failed and its error page, as for a host that does not answer.
  webkit_website_data_manager_set_tls_errors_policy(data, WEBKIT_TLS_ERRORS_POLICY_FAIL);
}

void RefuseOtherSchemes(WebKitWebView* view) {
  g_signal_connect(view, "decide-policy",
                   G_CALLBACK(+[](WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                  gpointer) -> gboolean {
                     // A new window is never made, whatever its address.
                     if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
                       webkit_policy_decision_ignore(decision);
                       return TRUE;
                     }
                     if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
                     WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
                         WEBKIT_NAVIGATION_POLICY_DECISION(decision));
                     WebKitURIRequest* request = action ? webkit_navigation_action_get_request(action) : nullptr;
                     const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
                     if (uri != nullptr && IsBrowsableAddress(uri)) return FALSE;
                     webkit_policy_decision_ignore(decision);
                     return TRUE;
                   }),
                   nullptr);
}

void RefuseWhatShowsAWindow(WebKitWebView* view) {
  // No page may turn the Fullscreen API on at all.
  webkit_settings_set_enable_fullscreen(webkit_web_view_get_settings(view), FALSE);
  auto handled = +[](WebKitWebView*, gpointer) -> gboolean { return TRUE; };
  // print() and the print command: nothing is printed and no dialog opens.
  g_signal_connect(view, "print", G_CALLBACK(+[](WebKitWebView*, WebKitPrintOperation*, gpointer) -> gboolean {
                     return TRUE;
                   }),
                   nullptr);
  g_signal_connect(view, "enter-fullscreen", G_CALLBACK(handled), nullptr);
  g_signal_connect(view, "run-file-chooser",
                   G_CALLBACK(+[](WebKitWebView*, WebKitFileChooserRequest* request, gpointer) -> gboolean {
                     webkit_file_chooser_request_cancel(request);
                     return TRUE;
                   }),
                   nullptr);
  g_signal_connect(view, "run-color-chooser",
                   G_CALLBACK(+[](WebKitWebView*, WebKitColorChooserRequest* request, gpointer) -> gboolean {
                     webkit_color_chooser_request_cancel(request);
                     return TRUE;
                   }),
                   nullptr);
  // Geolocation, notifications, camera and microphone, pointer lock, the
  // clipboard, media keys, device lists, storage access: all refused, and
  // a page that asks what it may do is told it may not.
  g_signal_connect(view, "permission-request",
                   G_CALLBACK(+[](WebKitWebView*, WebKitPermissionRequest* request, gpointer) -> gboolean {
                     webkit_permission_request_deny(request);
                     return TRUE;
                   }),
                   nullptr);
  g_signal_connect(view, "query-permission-state",
                   G_CALLBACK(+[](WebKitWebView*, WebKitPermissionStateQuery* query, gpointer) -> gboolean {
                     webkit_permission_state_query_finish(query, WEBKIT_PERMISSION_STATE_DENIED);
                     return TRUE;
                   }),
                   nullptr);
  g_signal_connect(view, "show-notification",
                   G_CALLBACK(+[](WebKitWebView*, WebKitNotification*, gpointer) -> gboolean { return TRUE; }),
                   nullptr);
  // A server's request for a password would open a dialog: it is refused,
  // and the page loads as the server answers without one.
  g_signal_connect(view, "authenticate",
                   G_CALLBACK(+[](WebKitWebView*, WebKitAuthenticationRequest* request, gpointer) -> gboolean {
                     webkit_authentication_request_cancel(request);
                     return TRUE;
                   }),
                   nullptr);
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

}  // namespace brevane
