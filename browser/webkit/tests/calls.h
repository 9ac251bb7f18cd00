// Short forms of the member calls the tests make on document objects.
#pragma once

#include <string>
#include <vector>

#include "browser/dom.h"
#include "base/text/charset.h"

namespace brevane::testing {

inline Variant Get(const DomRef& o, std::string_view name, int32_t* code = nullptr) {
  Variant v;
  int32_t c = o ? o->Invoke(name, InvokeKind::kPropertyGet, {}, &v) : dom_error::kNoObject;
  if (code) *code = c;
  return v;
}

inline Variant Call(const DomRef& o, std::string_view name, std::vector<Variant> args = {},
                    int32_t* code = nullptr) {
  Variant v;
  int32_t c = o ? o->Invoke(name, InvokeKind::kMethod, args, &v) : dom_error::kNoObject;
  if (code) *code = c;
  return v;
}

inline int32_t Put(const DomRef& o, std::string_view name, Variant value) {
  return o ? o->Invoke(name, InvokeKind::kPropertyPut, {std::move(value)}, nullptr) : dom_error::kNoObject;
}

inline DomRef GetObject(const DomRef& o, std::string_view name) { return Get(o, name).ToObject(); }

// A text member read back as UTF-8, for comparing with the test's sources.
inline std::string GetUtf8(const DomRef& o, std::string_view name) { return GbkToUtf8(Get(o, name).ToText()); }

inline DomRef ById(const DomRef& document, const char* id) {
  return Call(document, "getElementById", {Variant(id)}).ToObject();
}

}  // namespace brevane::testing
