// The main window's widget handle table, in which the WebKit engine searches
// the document window (the web view) from the main window's or the browser
// control's handle, and the browser control's navigation.
#include <string>

#include "browser/address.h"
#include "browser/dom.h"
#include "base/text/charset.h"
#include "app/gtk/main_window.h"
#include "app/gtk/window_thread.h"
#include "ui/names.h"

namespace brevane::gtk {
namespace {

using Kind = Entry::Kind;

const char* ClassOf(Kind kind) {
  switch (kind) {
    case Kind::kWindow: return "GtkWindow";
    case Kind::kPictureBox: return "GtkDrawingArea";
    case Kind::kBrowser: return "BrevaneBrowser";
    case Kind::kTabControl: return "GtkNotebook";
    case Kind::kLabel: return "GtkLabel";
    case Kind::kEditBox: return "GtkTextView";
    case Kind::kListBox: return "GtkTreeView";
    case Kind::kButton: return "GtkButton";
  }
  return "GtkWidget";
}

}  // namespace

WindowHandle MainWindow::Handle(std::string_view name) const {
  const Entry* e = Find(name);
  return e != nullptr ? static_cast<WindowHandle>(e->index) + 1 : 0;
}

bool MainWindow::IsWindow(WindowHandle handle) {
  return !closed() && handle >= 1 && handle <= document_window();
}

std::string MainWindow::ClassName(WindowHandle handle) {
  if (!IsWindow(handle)) return std::string();
  if (handle == document_window()) return std::string(kDocumentWindowClass);
  return ClassOf(At(static_cast<int>(handle - 1)).kind);
}

std::vector<WindowHandle> MainWindow::Children(WindowHandle handle) {
  std::vector<WindowHandle> out;
  if (!IsWindow(handle)) return out;
  // The page itself is the web view's own entry below the browser control.
  if (handle == Handle(names::kBrowser)) out.push_back(document_window());
  const WindowHandle tabs = Handle(names::kTabs);
  for (int i = 1; i < size(); ++i) {
    if ((At(i).page == 0 ? 1 : tabs) == handle) out.push_back(static_cast<WindowHandle>(i) + 1);
  }
  return out;
}

WebKitWebView* MainWindow::WebViewOf(WindowHandle handle) {
  return IsWindow(handle) && handle == document_window() ? web_view_ : nullptr;
}

void WebViewNavigator::Navigate(const Text& address) {
  RunOnWindowThread([&] {
    WebKitWebView* view = window_.web_view();
    if (view == nullptr || window_.closed()) return;
    // As the IE control's Navigate does, an address without a scheme loads
    // over http.
    const std::string uri = address.empty() ? std::string("about:blank") : GbkToUtf8(ControlAddress(address));
    webkit_web_view_load_uri(view, uri.c_str());
  });
}

WindowHandle WebViewNavigator::Handle() { return window_.Handle(names::kBrowser); }

}  // namespace brevane::gtk
