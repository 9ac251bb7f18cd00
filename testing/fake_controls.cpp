#include "testing/fake_controls.h"

#include "base/text/charset.h"

namespace brevane::testing {
namespace {

std::pair<std::string, int> Key(std::string_view control, int property) {
  return {std::string(control), property};
}

}  // namespace

FakeControls::FakeControls() {
  edit_boxes_.emplace(names::kBoardsBox);
  edit_boxes_.emplace(names::kRepliesBox);
  Preset(names::kStartButton, prop::kDisabled, true);
  Preset(names::kStopButton, prop::kDisabled, true);
  Preset(names::kLoginButton, prop::kDisabled, false);
  Preset(names::kBoardsBox, prop::kDisabled, false);
  Preset(names::kRepliesBox, prop::kDisabled, false);
  Preset(names::kBoardsBox, prop::kContent, Text());
  Preset(names::kRepliesBox, prop::kContent, Text());
  Preset(names::kRecordList, prop::kSelection, int32_t{-1});
}

void FakeControls::On(std::string_view control, Event event, std::function<void()> handler) {
  handlers_[{std::string(control), event}] = std::move(handler);
}

void FakeControls::AddEditBox(std::string_view control) { edit_boxes_.emplace(control); }

void FakeControls::Preset(std::string_view control, int property, const PropertyValue& value) {
  values_[Key(control, property)] = value;
}

void FakeControls::Raise(std::string_view control, Event event) {
  auto it = handlers_.find({std::string(control), event});
  if (it == handlers_.end() || !it->second) return;
  // A copy: the handler may rebind events while it runs.
  std::function<void()> handler = it->second;
  handler();
}

bool FakeControls::Click(std::string_view button) {
  if (Disabled(button)) return false;
  Raise(button, Event::kClicked);
  return true;
}

void FakeControls::Type(std::string_view box, const Text& text) {
  values_[Key(box, prop::kContent)] = text;
  Raise(box, Event::kContentChanged);
}

void FakeControls::Select(std::string_view list_box, int32_t index) {
  values_[Key(list_box, prop::kSelection)] = index;
  Raise(list_box, Event::kSelectionChanged);
}

void FakeControls::RunQueuedEvents() {
  while (!queued_feedback_.empty()) {
    std::string label = queued_feedback_.front();
    queued_feedback_.erase(queued_feedback_.begin());
    ++feedback_events_;
    Raise(label, Event::kFeedback);
  }
}

PropertyValue FakeControls::Value(std::string_view control, int property) const {
  auto it = values_.find(Key(control, property));
  return it == values_.end() ? PropertyValue() : it->second;
}

bool FakeControls::Disabled(std::string_view control) const {
  return AsBool(Value(control, prop::kDisabled));
}

const std::vector<Text>& FakeControls::Items(std::string_view list_box) const {
  static const std::vector<Text> kNone;
  auto it = lists_.find(list_box);
  return it == lists_.end() ? kNone : it->second.items;
}

std::vector<Text> FakeControls::Captions() const {
  std::vector<Text> captions;
  for (const Write& w : writes_) {
    if (w.control == names::kMainWindow && w.property == prop::kCaption) {
      captions.push_back(AsText(w.value));
    }
  }
  return captions;
}

std::vector<std::string> FakeControls::CaptionsUtf8() const {
  std::vector<std::string> captions;
  for (const Text& caption : Captions()) captions.push_back(GbkToUtf8(caption));
  return captions;
}

void FakeControls::WriteControlProperty(std::string_view control, int property,
                                        const PropertyValue& value) {
  if (recording_) writes_.push_back(Write{std::string(control), property, value});
  values_[Key(control, property)] = value;
  if (property == prop::kContent && edit_boxes_.count(control) != 0) {
    Raise(control, Event::kContentChanged);
  }
}

PropertyValue FakeControls::ReadControlProperty(std::string_view control, int property) {
  return Value(control, property);
}

int32_t FakeControls::ListItemCount(std::string_view list_box) {
  return static_cast<int32_t>(Items(list_box).size());
}

Text FakeControls::ListItemText(std::string_view list_box, int32_t index) {
  const std::vector<Text>& items = Items(list_box);
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return Text();
  return items[static_cast<std::size_t>(index)];
}

int32_t FakeControls::ListAddItem(std::string_view list_box, const Text& text, int32_t item_data) {
  auto it = lists_.find(list_box);
  if (it == lists_.end()) it = lists_.emplace(std::string(list_box), ListBox{}).first;
  it->second.items.push_back(text);
  it->second.data.push_back(item_data);
  return static_cast<int32_t>(it->second.items.size() - 1);
}

int32_t FakeControls::RaiseFeedbackEvent(std::string_view label, int32_t first, int32_t second,
                                         bool wait) {
  if (!wait) {
    queued_feedback_.emplace_back(label);
    return 0;
  }
  ++feedback_events_;
  Raise(label, Event::kFeedback);
  return 0;
}

}  // namespace brevane::testing
