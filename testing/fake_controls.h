// Controls held in memory, for tests of every layer. It records every
// property write in order, keeps the controls' values (edit-box contents,
// enabled states, list items and selection) and delivers events the way a
// shell does: synchronously, to a handler the test binds with On(). A
// program write of an edit box's content raises its content-changed event
// once; raising the feedback event of a label runs its handler; a click on
// a disabled button runs nothing. Like a window, it belongs to one thread:
// a test that runs a worker must hand its calls over itself.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/bindings.h"
#include "ui/controls.h"

namespace brevane::testing {

class FakeControls : public Controls {
 public:
  struct Write {
    std::string control;
    int property;
    PropertyValue value;
  };

  // Controls start as after start-up: Start and Stop disabled, the rest
  // enabled, empty boxes, an empty record with no selection.
  FakeControls();

  // Binds a handler to an event of a control (replacing an earlier one).
  void On(std::string_view control, Event event, std::function<void()> handler);
  // Marks a control as an edit box: a content write raises content changed.
  // The boards and replies boxes are edit boxes from the start.
  void AddEditBox(std::string_view control);

  // Sets a value as the window definition would, without an event and
  // without recording a write.
  void Preset(std::string_view control, int property, const PropertyValue& value);

  // User actions. Click returns false (and runs nothing) when the button is
  // disabled. Type replaces a box's content and raises content changed.
  // Select moves the list box's selection and raises selection changed.
  bool Click(std::string_view button);
  void Type(std::string_view box, const Text& text);
  void Select(std::string_view list_box, int32_t index);
  // Runs the feedback events raised without waiting, in order.
  void RunQueuedEvents();

  // What the controls hold now.
  PropertyValue Value(std::string_view control, int property) const;
  bool Disabled(std::string_view control) const;
  Text Content(std::string_view box) const { return AsText(Value(box, prop::kContent)); }
  Text Caption() const { return AsText(Value(names::kMainWindow, prop::kCaption)); }
  const std::vector<Text>& Items(std::string_view list_box) const;

  // What was written, in order.
  const std::vector<Write>& writes() const { return writes_; }
  // Every title written, in order, as GBK and as UTF-8 (readable in test
  // failures).
  std::vector<Text> Captions() const;
  std::vector<std::string> CaptionsUtf8() const;
  // Forgets the recorded writes (long runs keep memory flat this way).
  void ClearWrites() { writes_.clear(); }
  // With recording off, writes still take effect but are not kept.
  void set_recording(bool on) { recording_ = on; }
  int64_t feedback_events() const { return feedback_events_; }

  // Controls
  void WriteControlProperty(std::string_view control, int property,
                            const PropertyValue& value) override;
  PropertyValue ReadControlProperty(std::string_view control, int property) override;
  int32_t ListItemCount(std::string_view list_box) override;
  Text ListItemText(std::string_view list_box, int32_t index) override;
  int32_t ListAddItem(std::string_view list_box, const Text& text, int32_t item_data = 0) override;
  int32_t RaiseFeedbackEvent(std::string_view label, int32_t first = 0, int32_t second = 0,
                             bool wait = true) override;

 private:
  struct ListBox {
    std::vector<Text> items;
    std::vector<int32_t> data;
  };
  void Raise(std::string_view control, Event event);

  std::map<std::pair<std::string, int>, PropertyValue, std::less<>> values_;
  std::map<std::pair<std::string, Event>, std::function<void()>> handlers_;
  std::map<std::string, ListBox, std::less<>> lists_;
  std::set<std::string, std::less<>> edit_boxes_;
  std::vector<Write> writes_;
  std::vector<std::string> queued_feedback_;
  bool recording_ = true;
  int64_t feedback_events_ = 0;
};

}  // namespace brevane::testing
