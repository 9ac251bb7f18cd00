// Value conversions of Variant for the engine's test programs, which do not
// link the browser layer that owns them.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "browser/dom.h"

namespace brevane {

int64_t Variant::ToInteger() const {
  switch (kind_) {
    case Kind::kInteger: case Kind::kBoolean: return integer_;
    case Kind::kReal: return static_cast<int64_t>(std::trunc(real_));
    case Kind::kText: return std::strtoll(text_.c_str(), nullptr, 10);
    default: return 0;
  }
}

double Variant::ToReal() const {
  switch (kind_) {
    case Kind::kInteger: case Kind::kBoolean: return static_cast<double>(integer_);
    case Kind::kReal: return real_;
    case Kind::kText: return std::strtod(text_.c_str(), nullptr);
    default: return 0;
  }
}

Text Variant::ToText() const {
  switch (kind_) {
    case Kind::kInteger: return std::to_string(integer_);
    case Kind::kBoolean: return integer_ ? "True" : "False";
    case Kind::kReal: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.15g", real_);
      return buf;
    }
    case Kind::kText: return text_;
    default: return {};
  }
}

bool Variant::ToBoolean() const {
  switch (kind_) {
    case Kind::kInteger: case Kind::kBoolean: return integer_ != 0;
    case Kind::kReal: return real_ != 0;
    case Kind::kText: return !text_.empty();
    default: return false;
  }
}

}  // namespace brevane
