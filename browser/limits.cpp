#include "browser/limits.h"

#include "browser/late_binding.h"

namespace brevane {

int32_t ListLength(const DomRef& collection) {
  const int64_t length = GetInteger(collection, "length");
  if (length < 0 || length > kMaxListLength) return 0;
  return static_cast<int32_t>(length);
}

}  // namespace brevane
