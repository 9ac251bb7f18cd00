#include "browser/document_browser.h"

#include "browser/load_wait.h"
#include "browser/page_operations.h"

namespace brevane {

DocumentBrowser::DocumentBrowser(BrowserControl& control, Engine& engine, brevane::Pause& pause,
                                 DocumentBinding& binding)
    : control_(control), engine_(engine), pause_(pause), binding_(binding) {}

void DocumentBrowser::NavigateBrowser(const Text& address) { control_.Navigate(address); }

WindowHandle DocumentBrowser::BrowserWindowHandle() { return control_.Handle(); }

int32_t DocumentBrowser::WaitForPage(WindowHandle window, int32_t limit_ms, bool initialise_com) {
  return brevane::WaitForPage(binding_, engine_, pause_, window, limit_ms, initialise_com, 0);
}

// Each read, fill and click gets the load wait's limit, on the pause's clock.
Text DocumentBrowser::ReadTableHtml(int32_t n) {
  return brevane::ReadTableHtml(binding_, engine_, n, Deadline(pause_, kReadLimitMs));
}

Text DocumentBrowser::ReadFormHtml(const Text& key, int32_t skip) {
  return brevane::ReadFormHtml(binding_, engine_, key, skip, Deadline(pause_, kReadLimitMs));
}

int32_t DocumentBrowser::FillEditor(const Text& key, const Text& text, int32_t skip, bool focus_first) {
  // The fill gives a page that builds its editor late the time to show it.
  return FillEditorWhenPresent(binding_, engine_, pause_, control_.Handle(), key, text, skip, focus_first,
                               Deadline(pause_, kReadLimitMs));
}

int32_t DocumentBrowser::ClickButton(const Text& key, int32_t skip) {
  return brevane::ClickButton(binding_, engine_, key, skip, Deadline(pause_, kReadLimitMs));
}

int32_t DocumentBrowser::Pause(int32_t milliseconds) {
  pause_.For(milliseconds);
  return 1;
}

}  // namespace brevane
