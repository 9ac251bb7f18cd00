// Late-bound calls on document objects, with the fallbacks the document
// model expects and the per-thread failure code.
//
// A read tries a property get, then a method call. A write tries a property
// put, then a put by reference, then a method call, so writing "setAttribute"
// with two values calls the setAttribute method. A call on an empty object,
// or one that fails every way, gives the empty Variant and records a failure
// code for the calling thread; a successful call clears it. Nothing throws,
// so an empty object can be passed along a whole chain of calls and every
// step yields empty.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "browser/dom.h"
#include "base/text/text.h"

namespace brevane {

// Property read (get, then method call with the arguments).
Variant Get(const DomRef& object, std::string_view name, const std::vector<Variant>& args = {});

// Property write: put, then put by reference, then method call. True when one
// of them succeeded.
bool Put(const DomRef& object, std::string_view name, const std::vector<Variant>& values);
inline bool Put(const DomRef& object, std::string_view name, Variant value) {
  return Put(object, name, std::vector<Variant>{std::move(value)});
}
inline bool Put(const DomRef& object, std::string_view name, Variant first, Variant second) {
  return Put(object, name, std::vector<Variant>{std::move(first), std::move(second)});
}

// Method call.
Variant Call(const DomRef& object, std::string_view name, const std::vector<Variant>& args = {});

// Shorthands for the usual conversions of a read.
inline Text GetText(const DomRef& object, std::string_view name) { return Get(object, name).ToText(); }
inline DomRef GetObject(const DomRef& object, std::string_view name) { return Get(object, name).ToObject(); }
inline int64_t GetInteger(const DomRef& object, std::string_view name) {
  return Get(object, name).ToInteger();
}

// The calling thread's failure code of the last late-bound call
// (dom_error::kOk after a success).
int32_t LastDomError();
void SetLastDomError(int32_t code);

// A readable text for the calling thread's failure code; empty after a
// success.
Text LastDomErrorText();

// The text for one failure code (empty for dom_error::kOk).
Text DomErrorText(int32_t code);

}  // namespace brevane
