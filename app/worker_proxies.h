// Controls and browser operations for the first-activation login worker:
// the widgets and the embedded browser belong to the window thread, so every
// call is handed to it through the shell's hand-over function and the worker
// waits for its result. Only the pause stays on the worker, which has no
// window events of its own: it simply sleeps.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

#include "browser/operations.h"
#include "ui/controls.h"
#include "ui/window_thread.h"

namespace brevane {

namespace detail {
// What both proxies share: the hand-over and a call through it.
class HandsOver {
 protected:
  explicit HandsOver(HandOver hand_over) : hand_over_(std::move(hand_over)) {}
  template <typename F>
  auto Run(F&& f) -> std::invoke_result_t<F> {
    return HandOverCall(hand_over_, std::forward<F>(f));
  }

 private:
  HandOver hand_over_;
};
}  // namespace detail

class WorkerControls : public Controls, private detail::HandsOver {
 public:
  WorkerControls(Controls& target, HandOver hand_over) : HandsOver(std::move(hand_over)), target_(target) {}

  void WriteControlProperty(std::string_view control, int property, const PropertyValue& value) override {
    Run([&] { target_.WriteControlProperty(control, property, value); });
  }
  PropertyValue ReadControlProperty(std::string_view control, int property) override {
    return Run([&] { return target_.ReadControlProperty(control, property); });
  }
  int32_t ListItemCount(std::string_view list_box) override {
    return Run([&] { return target_.ListItemCount(list_box); });
  }
  Text ListItemText(std::string_view list_box, int32_t index) override {
    return Run([&] { return target_.ListItemText(list_box, index); });
  }
  int32_t ListAddItem(std::string_view list_box, const Text& text, int32_t item_data = 0) override {
    return Run([&] { return target_.ListAddItem(list_box, text, item_data); });
  }
  int32_t RaiseFeedbackEvent(std::string_view label, int32_t first = 0, int32_t second = 0,
                             bool wait = true) override {
    // Without waiting the shell only queues the event, from any thread.
    if (!wait) return target_.RaiseFeedbackEvent(label, first, second, false);
    return Run([&] { return target_.RaiseFeedbackEvent(label, first, second, true); });
  }

 private:
  Controls& target_;
};

class WorkerBrowser : public BrowserOperations, private detail::HandsOver {
 public:
  WorkerBrowser(BrowserOperations& target, HandOver hand_over) : HandsOver(std::move(hand_over)), target_(target) {}

  void NavigateBrowser(const Text& address) override {
    Run([&] { target_.NavigateBrowser(address); });
  }
  WindowHandle BrowserWindowHandle() override {
    return Run([&] { return target_.BrowserWindowHandle(); });
  }
  int32_t WaitForPage(WindowHandle window, int32_t limit_ms = 0, bool initialise_com = false) override {
    return Run([&] { return target_.WaitForPage(window, limit_ms, initialise_com); });
  }
  Text ReadTableHtml(int32_t n) override {
    return Run([&] { return target_.ReadTableHtml(n); });
  }
  Text ReadFormHtml(const Text& key, int32_t skip = 0) override {
    return Run([&] { return target_.ReadFormHtml(key, skip); });
  }
  int32_t FillEditor(const Text& key, const Text& text, int32_t skip = 0, bool focus_first = false) override {
    return Run([&] { return target_.FillEditor(key, text, skip, focus_first); });
  }
  int32_t ClickButton(const Text& key, int32_t skip = 0) override {
    return Run([&] { return target_.ClickButton(key, skip); });
  }
  int32_t Pause(int32_t milliseconds) override {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return 1;
  }

 private:
  BrowserOperations& target_;
};

}  // namespace brevane
