#include "browser/late_binding.h"

#include <cstdio>

namespace brevane {
namespace {

thread_local int32_t last_error = dom_error::kOk;

// Tries the invocation kinds in order and keeps the first success; the code
// of the last attempt stays recorded when all of them fail.
Variant InvokeInOrder(const DomRef& object, std::string_view name, const std::vector<Variant>& args,
                      std::initializer_list<InvokeKind> kinds, bool* succeeded) {
  if (succeeded) *succeeded = false;
  if (!object) {
    last_error = dom_error::kNoObject;
    return {};
  }
  int32_t code = dom_error::kFail;
  for (InvokeKind kind : kinds) {
    Variant result;
    code = object->Invoke(name, kind, args, &result);
    if (code == dom_error::kOk) {
      last_error = dom_error::kOk;
      if (succeeded) *succeeded = true;
      return result;
    }
  }
  last_error = code;
  return {};
}

}  // namespace

Variant Get(const DomRef& object, std::string_view name, const std::vector<Variant>& args) {
  return InvokeInOrder(object, name, args, {InvokeKind::kPropertyGet, InvokeKind::kMethod}, nullptr);
}

bool Put(const DomRef& object, std::string_view name, const std::vector<Variant>& values) {
  bool succeeded = false;
  InvokeInOrder(object, name, values,
                {InvokeKind::kPropertyPut, InvokeKind::kPropertyPutRef, InvokeKind::kMethod}, &succeeded);
  return succeeded;
}

Variant Call(const DomRef& object, std::string_view name, const std::vector<Variant>& args) {
  return InvokeInOrder(object, name, args, {InvokeKind::kMethod}, nullptr);
}

int32_t LastDomError() { return last_error; }
void SetLastDomError(int32_t code) { last_error = code; }

Text LastDomErrorText() { return DomErrorText(last_error); }

Text DomErrorText(int32_t code) {
  const char* meaning = nullptr;
  switch (code) {
    case dom_error::kOk: return {};
    case dom_error::kUnknownName: meaning = "Unknown name."; break;
    case dom_error::kMemberNotFound: meaning = "Member not found."; break;
    case dom_error::kBadParamCount: meaning = "Invalid number of parameters."; break;
    case dom_error::kException: meaning = "Exception occurred."; break;
    case dom_error::kNoObject: meaning = "Invalid pointer: the object is empty."; break;
    case dom_error::kFail: meaning = "Unspecified error."; break;
    case dom_error::kTimeout: meaning = "This operation returned because the timeout period expired."; break;
    default: meaning = "Unknown failure."; break;
  }
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "0x%08X: %s", static_cast<unsigned>(code), meaning);
  return buffer;
}

}  // namespace brevane
