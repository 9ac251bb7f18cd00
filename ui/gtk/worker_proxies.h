// Controls and browser operations for the first-activation login worker:
// every call is handed to the window thread, which owns the widgets and the
// web view, and the worker waits for its result. Only the pause stays on the
// worker, where it simply sleeps.
#pragma once

#include <chrono>
#include <thread>

#include "browser/operations.h"
#include "ui/controls.h"
#include "ui/gtk/window_thread.h"

namespace brevane::gtk {

class WorkerControls : public Controls {
 public:
  explicit WorkerControls(Controls& target) : target_(target) {}

  void WriteControlProperty(std::string_view control, int property, const PropertyValue& value) override {
    RunOnWindowThread([&] { target_.WriteControlProperty(control, property, value); });
  }
  PropertyValue ReadControlProperty(std::string_view control, int property) override {
    return RunOnWindowThread([&] { return target_.ReadControlProperty(control, property); });
  }
  int32_t ListItemCount(std::string_view list_box) override {
    return RunOnWindowThread([&] { return target_.ListItemCount(list_box); });
  }
  Text ListItemText(std::string_view list_box, int32_t index) override {
    return RunOnWindowThread([&] { return target_.ListItemText(list_box, index); });
  }
  int32_t ListAddItem(std::string_view list_box, const Text& text, int32_t item_data = 0) override {
    return RunOnWindowThread([&] { return target_.ListAddItem(list_box, text, item_data); });
  }
  int32_t RaiseFeedbackEvent(std::string_view label, int32_t first = 0, int32_t second = 0,
                             bool wait = true) override {
    if (!wait) return target_.RaiseFeedbackEvent(label, first, second, false);  // only queues
    return RunOnWindowThread([&] { return target_.RaiseFeedbackEvent(label, first, second, true); });
  }

 private:
  Controls& target_;
};

class WorkerBrowser : public BrowserOperations {
 public:
  explicit WorkerBrowser(BrowserOperations& target) : target_(target) {}

  void NavigateBrowser(const Text& address) override {
    RunOnWindowThread([&] { target_.NavigateBrowser(address); });
  }
  WindowHandle BrowserWindowHandle() override {
    return RunOnWindowThread([&] { return target_.BrowserWindowHandle(); });
  }
  int32_t WaitForPage(WindowHandle window, int32_t limit_ms = 0, bool initialise_com = false) override {
    return RunOnWindowThread([&] { return target_.WaitForPage(window, limit_ms, initialise_com); });
  }
  Text ReadTableHtml(int32_t n) override {
    return RunOnWindowThread([&] { return target_.ReadTableHtml(n); });
  }
  Text ReadFormHtml(const Text& key, int32_t skip = 0) override {
    return RunOnWindowThread([&] { return target_.ReadFormHtml(key, skip); });
  }
  int32_t FillEditor(const Text& key, const Text& text, int32_t skip = 0, bool focus_first = false) override {
    return RunOnWindowThread([&] { return target_.FillEditor(key, text, skip, focus_first); });
  }
  int32_t ClickButton(const Text& key, int32_t skip = 0) override {
    return RunOnWindowThread([&] { return target_.ClickButton(key, skip); });
  }
  // The worker has no window events of its own: it sleeps.
  int32_t Pause(int32_t milliseconds) override {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return 1;
  }

 private:
  BrowserOperations& target_;
};

}  // namespace brevane::gtk
