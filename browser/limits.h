// What a page can make the program spend. Lengths and counts come from the
// page, so each has a bound that no real forum page comes near, and one bind
// or one read of the page ends when its time is up, so no page holds a load
// wait, a login or a pass longer than the time-outs the program already has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "browser/dom.h"
#include "browser/pause.h"

namespace brevane {

// A collection (elements of a tag, frames, a form's controls) longer than
// this counts as a failed read: it is taken as empty.
inline constexpr int64_t kMaxListLength = 100000;
// Frames nested deeper than this are not followed.
inline constexpr int kMaxFrameDepth = 64;
// The documents one bind lists at most: the top document and its frames.
inline constexpr std::size_t kMaxDocuments = 512;
// The longest text the program assembles from a page: a table's or a
// form's markup, however many answers it is built from. It is what the
// longest single answer an engine hands over (4 Mi characters) takes at
// most in the program's two-byte text. A text that would grow past it
// counts as a failed read, and its building stops there.
inline constexpr std::size_t kMaxAnswerCharacters = std::size_t{4} * 1024 * 1024;
inline constexpr std::size_t kMaxAnswerBytes = 2 * kMaxAnswerCharacters;
// The time one read, fill or click may take over the page: the load wait's
// own limit.
inline constexpr int32_t kReadLimitMs = 20000;
// The time one call into a page may take before the page counts as stopped:
// later calls to it fail at once, so a page that answers slowly costs one
// such call, not one per member the program reads.
inline constexpr int32_t kPageCallLimitMs = 2000;

// The length of a collection, or 0 when it is above kMaxListLength (or not
// a length at all).
int32_t ListLength(const DomRef& collection);

// The moment a bind or a read must end by, on the clock of the pause that
// the load wait measures with. A deadline without a clock never passes.
class Deadline {
 public:
  Deadline() = default;
  Deadline(Pause& clock, int64_t limit_ms) : clock_(&clock), until_(clock.TickCount() + limit_ms) {}
  bool Passed() const { return clock_ != nullptr && clock_->TickCount() >= until_; }

 private:
  Pause* clock_ = nullptr;
  int64_t until_ = 0;
};

// Late-bound calls asked only while the deadline holds: once it has passed
// they give the empty result (and record dom_error::kTimeout) without asking
// the page, so a walk made of them ends at most one call past its deadline.
Variant GetWithin(const Deadline& deadline, const DomRef& object, std::string_view name,
                  const std::vector<Variant>& args = {});
Variant CallWithin(const Deadline& deadline, const DomRef& object, std::string_view name,
                   const std::vector<Variant>& args = {});
inline Text GetTextWithin(const Deadline& deadline, const DomRef& object, std::string_view name) {
  return GetWithin(deadline, object, name).ToText();
}
inline DomRef GetObjectWithin(const Deadline& deadline, const DomRef& object, std::string_view name) {
  return GetWithin(deadline, object, name).ToObject();
}
// ListLength, asked only while the deadline holds (0 after it).
int32_t ListLengthWithin(const Deadline& deadline, const DomRef& collection);

}  // namespace brevane
