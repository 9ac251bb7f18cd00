#include "browser/webkit/webkit_bridge.h"

#include <webkit2/webkit2.h>

#include <cmath>
#include <cstdio>

#include "base/text/charset.h"
#include "browser/webkit/script_world.h"
#include "ui/window_thread.h"

namespace brevane {

// The bridge script, compiled in from bridge.js.
extern const char kBridgeScript[];

namespace {

constexpr const char* kWorld = kBridgeWorldName;
constexpr const char* kSourceUri = "brevane:bridge";
constexpr const char* kDataKey = "brevane-document-bridge";

// Body of every call: the bridge answers, or asks to be installed first
// (a new page starts with an empty script world).
constexpr const char* kCallBody =
    "if (typeof globalThis.__brevaneBridge !== 'function') return 'install';\n"
    "return globalThis.__brevaneBridge(r);";

// The bridge, defined once per script world.
const std::string& GuardedScript() {
  static const std::string script =
      std::string("if (typeof globalThis.__brevaneBridge !== 'function') {\n") + kBridgeScript + "\n}\n";
  return script;
}

const std::string& InstallBody() {
  static const std::string body = GuardedScript() + "return globalThis.__brevaneBridge(r);";
  return body;
}

// The longest text an answer may carry into this process, in UTF-8 bytes:
// the bridge refuses texts over 4 Mi UTF-16 code units, which take at most
// three bytes each.
constexpr std::size_t kMaxAnswerTextBytes = std::size_t{3} * 4 * 1024 * 1024;
// Handles and generations the bridge makes: counters and short names.
constexpr double kMaxHandle = 9007199254740991.0;  // 2^53 - 1
constexpr std::size_t kMaxGenerationBytes = 64;

void AppendJsonString(std::string& out, std::string_view s) {
  out += '"';
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

// One argument as the bridge reads it: [tag, value...].
bool AppendArgument(std::string& out, const Variant& v, const WebKitBridge& bridge) {
  switch (v.kind()) {
    case Variant::Kind::kEmpty: out += "[\"e\"]"; return true;
    case Variant::Kind::kInteger: out += "[\"i\"," + std::to_string(v.ToInteger()) + "]"; return true;
    case Variant::Kind::kReal: {
      double d = v.ToReal();
      char buf[40];
      if (std::isfinite(d)) std::snprintf(buf, sizeof buf, "%.17g", d);
      else std::snprintf(buf, sizeof buf, "\"%s\"", std::isnan(d) ? "NaN" : (d > 0 ? "Infinity" : "-Infinity"));
      out += "[\"r\",";
      out += buf;
      out += "]";
      return true;
    }
    case Variant::Kind::kText:
      out += "[\"s\",";
      AppendJsonString(out, GbkToUtf8(v.ToText()));
      out += "]";
      return true;
    case Variant::Kind::kBoolean: out += v.ToBoolean() ? "[\"b\",true]" : "[\"b\",false]"; return true;
    case Variant::Kind::kObject: {
      auto* object = dynamic_cast<WebKitDomObject*>(v.ToObject().get());
      if (!object || &object->bridge() != &bridge) return false;
      out += "[\"o\",";
      AppendJsonString(out, object->generation());
      // Appended piece by piece: "," + std::to_string(...) inserts at the
      // front of a temporary, where GCC 12 at -O3 reports a false -Wrestrict.
      out += ',';
      out += std::to_string(object->id());
      out += ']';
      return true;
    }
  }
  return false;
}

std::string KindName(InvokeKind kind) {
  switch (kind) {
    case InvokeKind::kPropertyGet: return "0";
    case InvokeKind::kMethod: return "1";
    case InvokeKind::kPropertyPut: return "2";
    case InvokeKind::kPropertyPutRef: return "3";
  }
  return "0";
}

std::string ValueText(JSCValue* value) {
  char* s = jsc_value_to_string(value);
  std::string out = s ? s : "";
  g_free(s);
  return out;
}

JSCValue* At(JSCValue* array, guint index) { return jsc_value_object_get_property_at_index(array, index); }

// One answer of the bridge, read only after every part has been checked for
// its type and size: [code, type, value, generation].
struct BridgeAnswer {
  int32_t code = dom_error::kFail;
  char type = 'e';
  Variant value;     // for the types i, r, s and b
  int64_t id = 0;    // for the type o
  std::string generation;
};

bool IsInteger(double d, double low, double high) { return std::isfinite(d) && d == std::trunc(d) && d >= low && d <= high; }

// False when the value is not an answer of the bridge's form.
bool ReadAnswer(JSCValue* array, BridgeAnswer* out) {
  if (array == nullptr || !jsc_value_is_array(array)) return false;
  JSCValue* parts[4];
  for (guint i = 0; i < 4; ++i) parts[i] = At(array, i);
  bool ok = false;
  do {
    if (!jsc_value_is_number(parts[0]) || !jsc_value_is_string(parts[1]) || !jsc_value_is_string(parts[3])) break;
    const double code = jsc_value_to_double(parts[0]);
    if (!IsInteger(code, -2147483648.0, 2147483647.0)) break;
    const std::string type = ValueText(parts[1]);
    std::string generation = ValueText(parts[3]);
    if (type.size() != 1 || generation.size() > kMaxGenerationBytes) break;
    out->code = static_cast<int32_t>(code);
    out->type = type[0];
    out->generation = std::move(generation);
    if (out->code != dom_error::kOk) {
      ok = true;
      break;
    }
    JSCValue* v = parts[2];
    switch (out->type) {
      case 'e': out->value = Variant(); ok = true; break;
      case 'b':
        if (jsc_value_is_boolean(v)) { out->value = Variant(static_cast<bool>(jsc_value_to_boolean(v))); ok = true; }
        break;
      case 'i':
        if (jsc_value_is_number(v) && IsInteger(jsc_value_to_double(v), -2147483648.0, 2147483647.0)) {
          out->value = Variant(static_cast<int32_t>(jsc_value_to_double(v)));
          ok = true;
        }
        break;
      case 'r':
        if (jsc_value_is_number(v)) { out->value = Variant(jsc_value_to_double(v)); ok = true; }
        break;
      case 's':
        if (jsc_value_is_string(v)) {
          std::string utf8 = ValueText(v);
          if (utf8.size() > kMaxAnswerTextBytes) break;
          out->value = Variant(Utf8ToGbk(utf8));
          ok = true;
        }
        break;
      case 'o':
        if (jsc_value_is_number(v) && IsInteger(jsc_value_to_double(v), 1.0, kMaxHandle)) {
          out->id = static_cast<int64_t>(jsc_value_to_double(v));
          ok = true;
        }
        break;
      default: break;
    }
  } while (false);
  for (JSCValue* part : parts) g_object_unref(part);
  return ok;
}

// State of one call in flight, shared with its completion callback, which may
// run long after the caller gave up.
struct PendingCall {
  bool done = false;
  JSCValue* value = nullptr;
  GError* error = nullptr;
  // Set when the caller stopped waiting on a time-out: the answer, if it
  // comes, tells the bridge the page answers again.
  bool abandoned = false;
  std::weak_ptr<WebKitBridge> bridge;
  uint64_t epoch = 0;
  ~PendingCall() {
    if (value) g_object_unref(value);
    if (error) g_error_free(error);
  }
};

void OnCallFinished(GObject* source, GAsyncResult* result, gpointer data) {
  auto* holder = static_cast<std::shared_ptr<PendingCall>*>(data);
  PendingCall& call = **holder;
  call.value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source), result, &call.error);
  call.done = true;
  if (call.abandoned && !g_error_matches(call.error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
    if (auto bridge = call.bridge.lock()) bridge->LateAnswer(call.epoch, call.value);
  }
  delete holder;
}

gboolean OnTimeout(gpointer data) {
  *static_cast<bool*>(data) = true;
  return G_SOURCE_REMOVE;
}

struct BridgeHolder {
  std::shared_ptr<WebKitBridge> bridge;
};

}  // namespace

// ---- WebKitDomObject --------------------------------------------------------

WebKitDomObject::WebKitDomObject(std::shared_ptr<WebKitBridge> bridge, std::string generation, int64_t id)
    : bridge_(std::move(bridge)), generation_(std::move(generation)), id_(id) {}

WebKitDomObject::~WebKitDomObject() { bridge_->Release(generation_, id_); }

int32_t WebKitDomObject::Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                                Variant* result) {
  return bridge_->Invoke(*this, name, kind, args, result);
}

// ---- WebKitBridge -----------------------------------------------------------

// The web view's signals the bridge follows.
struct BridgeSignals {
  static void IsLoading(WebKitWebView* view, GParamSpec*, gpointer self) {
    auto* bridge = static_cast<WebKitBridge*>(self);
    bridge->navigation_pending_ = webkit_web_view_is_loading(view);
    if (bridge->navigation_pending_ && bridge->unresponsive()) LeaveStuckPage(view);
  }
  // A page stuck while loading is loading still, so a new load shows only as
  // the address the view heads for.
  static void UriChanged(WebKitWebView* view, GParamSpec*, gpointer self) {
    auto* bridge = static_cast<WebKitBridge*>(self);
    if (webkit_web_view_is_loading(view) && bridge->unresponsive()) LeaveStuckPage(view);
  }
  // A load asked of a page that does not answer: its web process is stuck in
  // the page's script and would never start the load, so that process is
  // ended and the load asked again of a fresh one. The host navigates by
  // address only, so the address the view is heading for is the whole load.
  static void LeaveStuckPage(WebKitWebView* view) {
    const char* uri = webkit_web_view_get_uri(view);
    if (uri == nullptr || *uri == '\0') return;
    auto* again = new std::pair<GWeakRef, std::string>();
    g_weak_ref_init(&again->first, view);
    again->second = uri;
    webkit_web_view_terminate_web_process(view);
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        +[](gpointer data) -> gboolean {
          auto* load = static_cast<std::pair<GWeakRef, std::string>*>(data);
          if (auto* target = static_cast<WebKitWebView*>(g_weak_ref_get(&load->first))) {
            webkit_web_view_load_uri(target, load->second.c_str());
            g_object_unref(target);
          }
          return G_SOURCE_REMOVE;
        },
        again,
        +[](gpointer data) {
          auto* load = static_cast<std::pair<GWeakRef, std::string>*>(data);
          g_weak_ref_clear(&load->first);
          delete load;
        });
  }
  static void LoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
    auto* bridge = static_cast<WebKitBridge*>(self);
    if (event == WEBKIT_LOAD_STARTED) bridge->navigation_pending_ = true;
    if (event == WEBKIT_LOAD_COMMITTED || event == WEBKIT_LOAD_FINISHED) bridge->navigation_pending_ = false;
    if (event == WEBKIT_LOAD_COMMITTED) {
      // A new document: whatever the old one's scripts were doing is over.
      ++bridge->page_epoch_;
      bridge->unresponsive_ = false;
    }
  }
  static void Terminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self) {
    ++static_cast<WebKitBridge*>(self)->page_epoch_;
  }
};

std::shared_ptr<WebKitBridge> WebKitBridge::For(WebKitWebView* view) {
  auto* holder = static_cast<BridgeHolder*>(g_object_get_data(G_OBJECT(view), kDataKey));
  if (!holder) {
    holder = new BridgeHolder{std::make_shared<WebKitBridge>(view)};
    g_object_set_data_full(G_OBJECT(view), kDataKey, holder,
                           [](gpointer p) { delete static_cast<BridgeHolder*>(p); });
  }
  return holder->bridge;
}

WebKitBridge::WebKitBridge(WebKitWebView* view) : view_(view) {
  g_object_add_weak_pointer(G_OBJECT(view_), reinterpret_cast<gpointer*>(&view_));
  // is-loading turns on as soon as a load is requested, while the old
  // document is still shown; the load's commit brings the new document.
  navigation_pending_ = webkit_web_view_is_loading(view_);
  loading_handler_ = g_signal_connect(view_, "notify::is-loading", G_CALLBACK(BridgeSignals::IsLoading), this);
  load_changed_handler_ = g_signal_connect(view_, "load-changed", G_CALLBACK(BridgeSignals::LoadChanged), this);
  uri_handler_ = g_signal_connect(view_, "notify::uri", G_CALLBACK(BridgeSignals::UriChanged), this);
  terminated_handler_ =
      g_signal_connect(view_, "web-process-terminated", G_CALLBACK(BridgeSignals::Terminated), this);
  // Every later page gets the bridge in its main frame as it starts, so the
  // first call needs no installing round trip; a page already shown gets it
  // with its first call. Frames need none: the main frame's bridge reads
  // them.
  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(view_);
  if (content) {
    WebKitUserScript* script =
        webkit_user_script_new_for_world(GuardedScript().c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                         WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kWorld, nullptr, nullptr);
    webkit_user_content_manager_add_script(content, script);
    webkit_user_script_unref(script);
  }
}

WebKitBridge::~WebKitBridge() {
  if (view_) {
    g_signal_handler_disconnect(view_, loading_handler_);
    g_signal_handler_disconnect(view_, load_changed_handler_);
    g_signal_handler_disconnect(view_, uri_handler_);
    g_signal_handler_disconnect(view_, terminated_handler_);
    g_object_remove_weak_pointer(G_OBJECT(view_), reinterpret_cast<gpointer*>(&view_));
  }
}

void WebKitBridge::Release(const std::string& generation, int64_t id) {
  std::lock_guard lock(mutex_);
  if (generation == generation_) releases_.emplace_back(generation, id);
}

std::string WebKitBridge::TakeReleases() {
  std::lock_guard lock(mutex_);
  std::string out = "[";
  bool first = true;
  for (const auto& [generation, id] : releases_) {
    if (generation != generation_) continue;
    if (!first) out += ',';
    first = false;
    out += '[';
    AppendJsonString(out, generation);
    out += ',' + std::to_string(id) + ']';
  }
  releases_.clear();
  return out + "]";
}

void WebKitBridge::LateAnswer(uint64_t epoch, JSCValue* value) {
  if (epoch != page_epoch_) return;  // an earlier page's answer
  if (unresponsive_epoch_ == epoch) unresponsive_ = false;
  // An object the abandoned call obtained is nobody's: free its handle.
  BridgeAnswer answer;
  if (ReadAnswer(value, &answer) && answer.code == dom_error::kOk && answer.type == 'o')
    Release(answer.generation, answer.id);
}

void WebKitBridge::SeeGeneration(const std::string& generation) {
  std::lock_guard lock(mutex_);
  if (generation == generation_) return;
  // A new page: the handles of the old one are gone with its script world.
  generation_ = generation;
  releases_.clear();
}

int32_t WebKitBridge::TopDocument(int32_t timeout_ms, Variant* result) {
  return Request("{\"op\":\"top\"", timeout_ms > 0 ? timeout_ms : timeout_ms_, result);
}

int32_t WebKitBridge::FrameDocument(const WebKitDomObject& window, Variant* result) {
  std::string request = "{\"op\":\"frame\",\"g\":";
  AppendJsonString(request, window.generation());
  request += ",\"id\":" + std::to_string(window.id());
  return Request(std::move(request), timeout_ms_, result);
}

int32_t WebKitBridge::Invoke(const WebKitDomObject& target, std::string_view name, InvokeKind kind,
                             const std::vector<Variant>& args, Variant* result) {
  std::string request = "{\"op\":\"invoke\",\"g\":";
  AppendJsonString(request, target.generation());
  request += ",\"id\":" + std::to_string(target.id()) + ",\"kind\":" + KindName(kind) + ",\"name\":";
  AppendJsonString(request, GbkToUtf8(name));
  request += ",\"args\":[";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i) request += ',';
    if (!AppendArgument(request, args[i], *this)) return dom_error::kFail;
  }
  request += ']';
  return Request(std::move(request), timeout_ms_, result);
}

int32_t WebKitBridge::TableSize(int64_t* size) {
  Variant v;
  int32_t code = Request("{\"op\":\"ping\"", timeout_ms_, &v);
  if (code == dom_error::kOk && size) *size = v.ToInteger();
  return code;
}

int32_t WebKitBridge::Request(std::string request, int32_t timeout_ms, Variant* result) {
  // The web view belongs to the window thread: a call from another thread
  // runs there, between the window's other events.
  return RunOnWindowThread([&] { return RequestHere(request, timeout_ms, result); });
}

int32_t WebKitBridge::RequestHere(const std::string& request, int32_t timeout_ms, Variant* result) {
  if (!view_) return dom_error::kNoObject;
  // A page that let a call time out costs that one wait: later calls fail at
  // once until it answers again (see LateAnswer) or another page comes.
  if (unresponsive()) return dom_error::kTimeout;
  std::string json = request + ",\"rel\":" + TakeReleases() + ",\"nav\":" + (navigation_pending_ ? "1" : "0") + "}";
  bool needs_install = false;
  int32_t code = Exchange(json, false, timeout_ms, result, &needs_install);
  if (needs_install) code = Exchange(json, true, timeout_ms, result, &needs_install);
  return code;
}

int32_t WebKitBridge::Exchange(const std::string& json, bool install, int32_t timeout_ms, Variant* result,
                               bool* needs_install) {
  *needs_install = false;
  if (!view_) return dom_error::kNoObject;
  WebKitWebView* view = WEBKIT_WEB_VIEW(g_object_ref(view_));
  GMainContext* context = g_main_context_ref_thread_default();

  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&builder, "{sv}", "r", g_variant_new_string(json.c_str()));
  GVariant* arguments = g_variant_ref_sink(g_variant_builder_end(&builder));

  auto call = std::make_shared<PendingCall>();
  GCancellable* cancellable = g_cancellable_new();
  const std::string& body = install ? InstallBody() : std::string(kCallBody);
  webkit_web_view_call_async_javascript_function(view, body.c_str(), static_cast<gssize>(body.size()), arguments,
                                                 kWorld, kSourceUri, cancellable, OnCallFinished,
                                                 new std::shared_ptr<PendingCall>(call));
  ++round_trips_;

  bool timed_out = false;
  GSource* timer = g_timeout_source_new(static_cast<guint>(timeout_ms > 0 ? timeout_ms : 1));
  g_source_set_callback(timer, OnTimeout, &timed_out, nullptr);
  g_source_attach(timer, context);
  const uint64_t epoch = page_epoch_;
  while (!call->done && !timed_out && epoch == page_epoch_) g_main_context_iteration(context, TRUE);
  g_source_destroy(timer);
  g_source_unref(timer);

  int32_t code = dom_error::kFail;
  if (!call->done && epoch == page_epoch_ && navigation_pending_) {
    // A load is under way and its page has not come yet (a web process still
    // starting, a slow server): the old page may simply be on its way out,
    // so this says nothing about the page to come. The call is dropped.
    g_cancellable_cancel(cancellable);
    code = dom_error::kTimeout;
  } else if (!call->done && epoch == page_epoch_) {
    // The page shown does not answer (a busy script, a stuck web process). It
    // counts as unresponsive from now on, and the call stays in flight as its
    // liveness probe: no other call is sent to the page meanwhile, so the
    // probe costs nothing, and its answer, when the page's script lets go,
    // makes the page answer again. Without an answer, the next page shown
    // (a load's commit, or a new web process) ends the state.
    call->abandoned = true;
    call->bridge = weak_from_this();
    call->epoch = epoch;
    unresponsive_ = true;
    unresponsive_epoch_ = epoch;
    ++timeouts_;
    code = dom_error::kTimeout;
  } else if (!call->done) {
    // The page was replaced while the call waited. The answer, if it ever
    // comes, finds the call cancelled.
    g_cancellable_cancel(cancellable);
  } else if (call->value && jsc_value_is_array(call->value)) {
    // An answer that is not of the bridge's form, or carries a value of the
    // wrong type or size, is a failure.
    BridgeAnswer answer;
    if (ReadAnswer(call->value, &answer)) {
      code = answer.code;
      SeeGeneration(answer.generation);
      if (code == dom_error::kOk && result) {
        if (answer.type == 'o')
          *result = Variant(DomRef(std::make_shared<WebKitDomObject>(shared_from_this(), answer.generation, answer.id)));
        else
          *result = answer.value;
      }
    }
  } else if (call->value && jsc_value_is_string(call->value) && ValueText(call->value) == "install" && !install) {
    *needs_install = true;
  }
  // Otherwise the script could not run (no page yet, a crashed web process,
  // scripts switched off): a plain failure.

  g_object_unref(cancellable);
  g_variant_unref(arguments);
  g_main_context_unref(context);
  g_object_unref(view);
  return code;
}

}  // namespace brevane
