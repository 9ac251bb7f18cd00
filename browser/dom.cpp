#include "browser/dom.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "browser/element_key.h"

namespace brevane {
namespace {

// A real as an integer, rounded to nearest (halves to even, as the engines'
// own conversions do); out-of-range values saturate and NaN gives 0.
int64_t RealToInteger(double value) {
  if (std::isnan(value)) return 0;
  double rounded = std::nearbyint(value);
  if (rounded >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
  if (rounded <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(rounded);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

int64_t Variant::ToInteger() const {
  switch (kind_) {
    case Kind::kInteger:
    case Kind::kBoolean: return integer_;
    case Kind::kReal: return RealToInteger(real_);
    case Kind::kText: return RealToInteger(TextToNumberValue(text_));
    default: return 0;
  }
}

double Variant::ToReal() const {
  switch (kind_) {
    case Kind::kInteger:
    case Kind::kBoolean: return static_cast<double>(integer_);
    case Kind::kReal: return real_;
    case Kind::kText: return TextToNumberValue(text_);
    default: return 0;
  }
}

Text Variant::ToText() const {
  switch (kind_) {
    case Kind::kInteger: return std::to_string(integer_);
    case Kind::kBoolean: return integer_ ? "true" : "false";
    case Kind::kReal: {
      if (std::isnan(real_)) return "NaN";
      if (std::isinf(real_)) return real_ > 0 ? "Infinity" : "-Infinity";
      char buffer[64];
      auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, real_);
      if (error != std::errc()) return {};
      return Text(buffer, end);
    }
    case Kind::kText: return text_;
    default: return {};
  }
}

bool Variant::ToBoolean() const {
  switch (kind_) {
    case Kind::kInteger:
    case Kind::kBoolean: return integer_ != 0;
    case Kind::kReal: return real_ != 0 && !std::isnan(real_);
    case Kind::kText:
      if (EqualsIgnoringCase(text_, "true")) return true;
      if (EqualsIgnoringCase(text_, "false")) return false;
      return TextToNumberValue(text_) != 0;
    case Kind::kObject: return object_ != nullptr;
    default: return false;
  }
}

}  // namespace brevane
