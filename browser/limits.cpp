#include "browser/limits.h"

#include "browser/late_binding.h"

namespace brevane {

int32_t ListLength(const DomRef& collection) {
  const int64_t length = GetInteger(collection, "length");
  if (length < 0 || length > kMaxListLength) return 0;
  return static_cast<int32_t>(length);
}

Variant GetWithin(const Deadline& deadline, const DomRef& object, std::string_view name,
                  const std::vector<Variant>& args) {
  if (deadline.Passed()) {
    SetLastDomError(dom_error::kTimeout);
    return {};
  }
  return Get(object, name, args);
}

Variant CallWithin(const Deadline& deadline, const DomRef& object, std::string_view name,
                   const std::vector<Variant>& args) {
  if (deadline.Passed()) {
    SetLastDomError(dom_error::kTimeout);
    return {};
  }
  return Call(object, name, args);
}

int32_t ListLengthWithin(const Deadline& deadline, const DomRef& collection) {
  return deadline.Passed() ? 0 : ListLength(collection);
}

}  // namespace brevane
