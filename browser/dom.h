// The late-bound document model: documents, elements, collections and
// windows of the page are DomObjects whose members are called by their
// Internet Explorer names ("body", "all", "tags", "item", "length",
// "contentwindow", "readyState", "outerHTML", ...), matched without regard to
// case. Each engine (MSHTML through IDispatch, WebKit through a script
// bridge, the in-memory engine of the tests) implements the one primitive,
// Invoke; the fallbacks, the empty-object rule and the per-thread failure
// code live once in browser/late_binding.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/operations.h"
#include "base/text/text.h"

namespace brevane {

class DomObject;
using DomRef = std::shared_ptr<DomObject>;

// A value passed to or returned from a member: empty, integer, real, text
// (GBK), logical or object.
class Variant {
 public:
  enum class Kind { kEmpty, kInteger, kReal, kText, kBoolean, kObject };

  Variant() = default;
  Variant(int32_t v) : kind_(Kind::kInteger), integer_(v) {}
  Variant(int64_t v) : kind_(Kind::kInteger), integer_(v) {}
  Variant(double v) : kind_(Kind::kReal), real_(v) {}
  Variant(bool v) : kind_(Kind::kBoolean), integer_(v ? 1 : 0) {}
  Variant(Text v) : kind_(Kind::kText), text_(std::move(v)) {}
  Variant(const char* v) : kind_(Kind::kText), text_(v) {}
  Variant(std::string_view v) : kind_(Kind::kText), text_(v) {}
  Variant(DomRef v) : kind_(v ? Kind::kObject : Kind::kEmpty), object_(std::move(v)) {}

  Kind kind() const { return kind_; }
  bool IsEmpty() const { return kind_ == Kind::kEmpty; }

  // Conversions as a late-bound caller expects them: an empty or unsuitable
  // value gives 0, the empty text or the empty object.
  int64_t ToInteger() const;
  double ToReal() const;
  Text ToText() const;
  bool ToBoolean() const;
  DomRef ToObject() const { return object_; }

 private:
  Kind kind_ = Kind::kEmpty;
  int64_t integer_ = 0;
  double real_ = 0;
  Text text_;
  DomRef object_;
};

// How a member is invoked, as IDispatch::Invoke distinguishes it.
enum class InvokeKind { kPropertyGet, kMethod, kPropertyPut, kPropertyPutRef };

// Failure codes, in the HRESULT values the Internet Explorer engine reports.
namespace dom_error {
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kUnknownName = static_cast<int32_t>(0x80020006);      // DISP_E_UNKNOWNNAME
inline constexpr int32_t kMemberNotFound = static_cast<int32_t>(0x80020003);   // DISP_E_MEMBERNOTFOUND
inline constexpr int32_t kBadParamCount = static_cast<int32_t>(0x8002000E);    // DISP_E_BADPARAMCOUNT
inline constexpr int32_t kException = static_cast<int32_t>(0x80020009);        // DISP_E_EXCEPTION
inline constexpr int32_t kNoObject = static_cast<int32_t>(0x80004003);         // E_POINTER
inline constexpr int32_t kFail = static_cast<int32_t>(0x80004005);             // E_FAIL
inline constexpr int32_t kTimeout = static_cast<int32_t>(0x800705B4);          // ERROR_TIMEOUT
}  // namespace dom_error

class DomObject {
 public:
  virtual ~DomObject() = default;

  // Invokes the member called name (case-insensitive) the given way with
  // the arguments. Returns dom_error::kOk and sets *result (when not null) on
  // success, or a failure code. No fallback happens here.
  virtual int32_t Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                         Variant* result) = 0;
};

// The platform side of document access: the window tree in which the
// document window is searched, the route from that window to its top
// document, and from a frame's content window to the frame's document.
class Engine {
 public:
  virtual ~Engine() = default;

  virtual bool IsWindow(WindowHandle window) = 0;
  // Class name of the window, as a 100-byte buffer would hold it.
  virtual std::string ClassName(WindowHandle window) = 0;
  // Direct children, in the order the platform enumerates them.
  virtual std::vector<WindowHandle> Children(WindowHandle window) = 0;

  // Top document of a document window, asked with a time-out (the window may
  // hang). Sets *status to dom_error::kOk when the document was obtained.
  virtual DomRef TopDocument(WindowHandle document_window, int32_t timeout_ms, int32_t* status) = 0;

  // Document of a frame, from the frame element's content window (through
  // the window's browser service where the engine has one); empty when the
  // frame cannot be reached.
  virtual DomRef FrameDocument(const DomRef& content_window) = 0;

  // Makes the calling thread ready for document calls (CoInitialize on
  // Windows); nothing elsewhere.
  virtual void InitialiseThread() {}
};

// Class name of the window that shows the page's document.
inline constexpr std::string_view kDocumentWindowClass = "Internet Explorer_Server";

}  // namespace brevane
