// The web process side of the document bridge. WebKit loads this module into
// every web process of a view that PrepareWebView made ready. It gives the
// bridge, in Brevane's script world of the main frame, the document of any
// frame of the page whatever its origin, as the Internet Explorer control's
// browser service gives its host the document of every frame: a privileged
// act of the host that no page can see.
//
// It defines one function, __brevaneReach(window), in that script world only
// (the pages' own scripts run in another world and cannot see, call or
// replace it). Given a frame's window it answers the frame's document as
// Brevane's script world sees it, or null. It reaches only frames of the page
// whose bridge asks. A second function there, __brevaneClickLater, runs the
// program's click outside the program's call (see ClickLater). In the pages'
// own world the module only answers their dialogs (see kQuietDialogs). It
// runs no text of a page or of the program as script, fetches nothing and
// keeps no secret. Beside it the module watches, from a thread of its own,
// the web process's memory against the program's ceiling and the program's
// life (memory_check.cpp).
#include <webkit2/webkit-web-extension.h>

#include <vector>

#include "browser/webkit/extension/memory_check.h"
#include "browser/webkit/script_world.h"

namespace {

WebKitScriptWorld* BridgeWorld() {
  static WebKitScriptWorld* world = webkit_script_world_new_with_name(brevane::kBridgeWorldName);
  return world;
}

// The frames a page has shown, held weakly: a frame that goes takes its
// entry's reference with it. The list changes whenever a window object is
// made (window-object-cleared), and that happens inside any script that
// touches a frame not yet shown in that world, so no code walks the list
// while script may run: a walk takes Snapshot() first and runs its script
// over that.
struct PageFrames {
  std::vector<GWeakRef*> frames;
  ~PageFrames() {
    for (GWeakRef* ref : frames) {
      g_weak_ref_clear(ref);
      delete ref;
    }
  }
  void Add(WebKitFrame* frame) {
    bool known = false;
    std::erase_if(frames, [&](GWeakRef* ref) {
      auto* held = static_cast<WebKitFrame*>(g_weak_ref_get(ref));
      if (held == nullptr) {
        g_weak_ref_clear(ref);
        delete ref;
        return true;
      }
      known = known || held == frame;
      g_object_unref(held);
      return false;
    });
    if (known) return;
    auto* ref = new GWeakRef;
    g_weak_ref_init(ref, frame);
    frames.push_back(ref);
  }
  // The frames alive now, each with a reference of its own that the caller
  // drops (FrameSnapshot does), so the list may change and frames may go
  // while the caller runs script in them.
  std::vector<WebKitFrame*> Snapshot() const {
    std::vector<WebKitFrame*> alive;
    alive.reserve(frames.size());
    for (GWeakRef* ref : frames)
      if (auto* frame = static_cast<WebKitFrame*>(g_weak_ref_get(ref))) alive.push_back(frame);
    return alive;
  }
};

// The references of a snapshot, dropped as the walk ends however it ends.
struct FrameSnapshot {
  std::vector<WebKitFrame*> frames;
  ~FrameSnapshot() {
    for (WebKitFrame* frame : frames) g_object_unref(frame);
  }
};

constexpr const char* kFramesKey = "brevane-page-frames";

PageFrames& FramesOf(WebKitWebPage* page) {
  auto* frames = static_cast<PageFrames*>(g_object_get_data(G_OBJECT(page), kFramesKey));
  if (frames == nullptr) {
    frames = new PageFrames;
    g_object_set_data_full(G_OBJECT(page), kFramesKey, frames, +[](gpointer p) { delete static_cast<PageFrames*>(p); });
  }
  return *frames;
}

// Run in the bridge world of each known frame: the document of the window
// asked for when it is that frame's own, or one of its frames' that this
// frame may read (a frame that never ran a script, such as a new frame's
// first blank document, is known to no list but its parent can read it);
// undefined when the window is neither.
constexpr const char* kFindInFrame =
    "(function (wanted) {"
    "  if (globalThis === wanted) return document;"
    "  for (let i = 0; i < frames.length; ++i) {"
    "    if (frames[i] === wanted) { try { return frames[i].document; } catch (e) { return undefined; } }"
    "  }"
    "  return undefined;"
    "})";

// __brevaneReach(window): the document, in the bridge's world, of the frame
// of this page whose window that is; null for anything else.
JSCValue* Reach(GPtrArray* args, gpointer page_ref) {
  JSCContext* caller = jsc_context_get_current();
  auto* page = static_cast<WebKitWebPage*>(g_weak_ref_get(static_cast<GWeakRef*>(page_ref)));
  if (page == nullptr || args->len < 1) {
    if (page) g_object_unref(page);
    return jsc_value_new_null(caller);
  }
  JSCValue* wanted = JSC_VALUE(g_ptr_array_index(args, 0));
  JSCValue* result = nullptr;
  if (jsc_value_is_object(wanted)) {
    // The script below makes window objects of frames, whose signal adds to
    // and prunes the page's list: the walk runs over a copy.
    const FrameSnapshot known{FramesOf(page).Snapshot()};
    for (WebKitFrame* frame : known.frames) {
      // A frame's window is one object per script world, the same for
      // every frame that holds it, so the caller's window is found by
      // identity in each frame's own bridge world.
      JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, BridgeWorld());
      JSCValue* find = jsc_context_evaluate(context, kFindInFrame, -1);
      JSCValue* found = find ? jsc_value_function_call(find, JSC_TYPE_VALUE, wanted, G_TYPE_NONE) : nullptr;
      if (found && jsc_value_is_object(found)) result = g_object_ref(found);
      if (found) g_object_unref(found);
      if (find) g_object_unref(find);
      g_object_unref(context);
      if (result) break;
    }
  }
  g_object_unref(page);
  return result ? result : jsc_value_new_null(caller);
}

// __brevaneClickLater(action): runs the bridge's action (the program's
// click) as soon as the program's call has returned, on the web process's
// main loop ahead of WebKit's own events, so before the program's next call.
// WebKit runs every script the program sends as a user gesture; outside it
// the page's handlers get no user activation from the program's click, so
// none of what only a user's click allows (writing the clipboard or the
// primary selection, opening a picker) follows from it.
JSCValue* ClickLater(GPtrArray* args, gpointer) {
  JSCContext* caller = jsc_context_get_current();
  JSCValue* action = args->len >= 1 ? JSC_VALUE(g_ptr_array_index(args, 0)) : nullptr;
  if (action == nullptr || !jsc_value_is_function(action)) return jsc_value_new_boolean(caller, FALSE);
  g_idle_add_full(
      G_PRIORITY_HIGH,
      +[](gpointer data) -> gboolean {
        auto* later = JSC_VALUE(data);
        if (JSCValue* result = jsc_value_function_call(later, G_TYPE_NONE)) g_object_unref(result);
        // A page handler's exception ends the click, as it ends a user's.
        jsc_context_clear_exception(jsc_value_get_context(later));
        return G_SOURCE_REMOVE;
      },
      g_object_ref(action), g_object_unref);
  return jsc_value_new_boolean(caller, TRUE);
}

void DropPageRef(gpointer data) {
  auto* ref = static_cast<GWeakRef*>(data);
  g_weak_ref_clear(ref);
  delete ref;
}

// The page's dialogs, answered in the page as the program's view answers
// them (alerts dismissed, confirmations accepted, prompts given their default
// text), so none leaves the web process: a page that opens dialogs without
// end keeps only its own thread busy, never the program. Every window
// object, that of each new frame and document included, gets them before any
// of the page's script runs in it, so no window of the page holds WebKit's
// own. A page may still put its own function in their place (many do), but
// cannot delete them.
constexpr const char* kQuietDialogs =
    "(function () {"
    "  const fix = (name, answer) => Object.defineProperty(globalThis, name,"
    "    { value: answer, writable: true, configurable: false, enumerable: true });"
    "  fix('alert', function alert() { });"
    "  fix('confirm', function confirm() { return true; });"
    "  fix('prompt', function prompt(message, text) { return text === undefined ? '' : String(text); });"
    "})();";

void QuietDialogs(WebKitFrame* frame) {
  JSCContext* context = webkit_frame_get_js_context(frame);
  if (JSCValue* done = jsc_context_evaluate(context, kQuietDialogs, -1)) g_object_unref(done);
  jsc_context_clear_exception(context);
  g_object_unref(context);
}

// Every frame is listed as its window object is made, and its page's world
// gets the quiet dialogs; the main frame's bridge world gets the reach and
// click functions.
void WindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame, gpointer) {
  FramesOf(page).Add(frame);
  if (world == webkit_script_world_get_default()) QuietDialogs(frame);
  if (!webkit_frame_is_main_frame(frame)) return;
  JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, BridgeWorld());
  auto* page_ref = new GWeakRef;
  g_weak_ref_init(page_ref, page);
  JSCValue* reach = jsc_value_new_function_variadic(context, brevane::kReachFunctionName, G_CALLBACK(Reach),
                                                    page_ref, DropPageRef, JSC_TYPE_VALUE);
  jsc_context_set_value(context, brevane::kReachFunctionName, reach);
  g_object_unref(reach);
  JSCValue* click = jsc_value_new_function_variadic(context, brevane::kClickFunctionName, G_CALLBACK(ClickLater),
                                                    nullptr, nullptr, JSC_TYPE_VALUE);
  jsc_context_set_value(context, brevane::kClickFunctionName, click);
  g_object_unref(click);
  g_object_unref(context);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(WebKitWebExtension*,
                                                                               const GVariant* settings) {
  brevane::StartProcessWatch(settings);
  // The default world's window object is made for every frame and every new
  // document; the bridge world's again when it is cleared in turn.
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared", G_CALLBACK(WindowObjectCleared),
                   nullptr);
  g_signal_connect(BridgeWorld(), "window-object-cleared", G_CALLBACK(WindowObjectCleared), nullptr);
}
