// The browser operations the core calls, implemented once over the
// late-bound document model: the shell supplies its browser widget, the
// document engine and its pause; the page binding is shared by every caller
// unless a test supplies its own.
#pragma once

#include "browser/browser_control.h"
#include "browser/document_binding.h"
#include "browser/dom.h"
#include "browser/operations.h"
#include "browser/pause.h"

namespace brevane {

class DocumentBrowser : public BrowserOperations {
 public:
  DocumentBrowser(BrowserControl& control, Engine& engine, brevane::Pause& pause,
                  DocumentBinding& binding = ProcessDocumentBinding());

  void NavigateBrowser(const Text& address) override;
  WindowHandle BrowserWindowHandle() override;
  int32_t WaitForPage(WindowHandle window, int32_t limit_ms = 0, bool initialise_com = false) override;
  Text ReadTableHtml(int32_t n) override;
  Text ReadFormHtml(const Text& key, int32_t skip = 0) override;
  int32_t FillEditor(const Text& key, const Text& text, int32_t skip = 0, bool focus_first = false) override;
  int32_t ClickButton(const Text& key, int32_t skip = 0) override;
  int32_t Pause(int32_t milliseconds) override;

  DocumentBinding& binding() { return binding_; }

 private:
  BrowserControl& control_;
  Engine& engine_;
  brevane::Pause& pause_;
  DocumentBinding& binding_;
};

}  // namespace brevane
