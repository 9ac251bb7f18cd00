// The operations through which routines read and change the window and its
// controls: numbered properties, the list box's items and the label's
// feedback event. The core sees controls only through this interface; each
// shell implements it on its own widgets, and tests on a recording fake.
#pragma once

#include <cstdint>
#include <string_view>
#include <variant>

#include "base/text/text.h"

namespace brevane {

// Property numbers. 0 to 7 are common to every kind of control and to the
// window; from 8 on they depend on the kind.
namespace prop {
inline constexpr int kLeft = 0;
inline constexpr int kTop = 1;
inline constexpr int kWidth = 2;
inline constexpr int kHeight = 3;
inline constexpr int kTag = 4;
inline constexpr int kVisible = 5;
inline constexpr int kDisabled = 6;
inline constexpr int kMousePointer = 7;
inline constexpr int kCaption = 8;    // window: title text
inline constexpr int kContent = 8;    // edit box: its text
inline constexpr int kPicture = 10;   // picture box: bytes of an image file
inline constexpr int kSelection = 16; // list box: 0-based selected item, -1 for none
}  // namespace prop

// A property value: nothing, a logical, a 32-bit integer, or a text (for the
// picture property, the bytes of an image file, zero bytes included).
using PropertyValue = std::variant<std::monostate, bool, int32_t, Text>;

inline bool AsBool(const PropertyValue& v) {
  if (auto b = std::get_if<bool>(&v)) return *b;
  if (auto i = std::get_if<int32_t>(&v)) return *i != 0;
  return false;
}
inline int32_t AsInt(const PropertyValue& v) {
  if (auto i = std::get_if<int32_t>(&v)) return *i;
  if (auto b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  return 0;
}
inline Text AsText(const PropertyValue& v) {
  if (auto t = std::get_if<Text>(&v)) return *t;
  return Text();
}

class Controls {
 public:
  virtual ~Controls() = default;

  // Sets a property and applies it at once. Writing the content of an edit
  // box raises its content-changed event exactly once afterwards.
  virtual void WriteControlProperty(std::string_view control, int property,
                                    const PropertyValue& value) = 0;
  virtual PropertyValue ReadControlProperty(std::string_view control, int property) = 0;

  virtual int32_t ListItemCount(std::string_view list_box) = 0;
  // Empty text for an index outside the list.
  virtual Text ListItemText(std::string_view list_box, int32_t index) = 0;
  // Appends an item without touching the selection; its index, or -1.
  virtual int32_t ListAddItem(std::string_view list_box, const Text& text,
                              int32_t item_data = 0) = 0;

  // Raises the label's feedback event. With wait, the bound routine runs to
  // its end first and its result (0 when it has none) is returned; without,
  // the event is queued to the window thread and 0 is returned at once.
  virtual int32_t RaiseFeedbackEvent(std::string_view label, int32_t first = 0,
                                     int32_t second = 0, bool wait = true) = 0;
};

}  // namespace brevane
