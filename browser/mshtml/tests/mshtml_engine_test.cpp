// The MSHTML engine's translation into IDispatch calls, against a small
// IDispatch of the test's own (Wine has no HTML engine to call): member
// names looked up by name, arguments passed last first, property puts with
// their named argument, texts through code page 936, objects wrapped, and
// failures handed back as their codes. The window side runs on real windows.
#include "browser/mshtml/mshtml_engine.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "browser/late_binding.h"
#include "base/text/charset.h"

namespace brevane::mshtml {
namespace {

// An object with a property "value" (get and put), a method "join" that
// joins its text arguments in the order the caller gave them, and a
// property "child" that is another such object. Every call is recorded.
class FakeDispatch final : public IDispatch {
 public:
  enum : DISPID { kValue = 1, kJoin = 2, kChild = 3 };

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }  // lives on the test's stack
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    const std::wstring name = count == 1 ? names[0] : L"";
    if (_wcsicmp(name.c_str(), L"value") == 0) *ids = kValue;
    else if (_wcsicmp(name.c_str(), L"join") == 0) *ids = kJoin;
    else if (_wcsicmp(name.c_str(), L"child") == 0) *ids = kChild;
    else return DISP_E_UNKNOWNNAME;
    return S_OK;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    calls.push_back(flags);
    if (id == kValue && (flags & DISPATCH_PROPERTYPUT)) {
      if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT || params->cArgs != 1) {
        return DISP_E_PARAMNOTOPTIONAL;
      }
      return VariantCopy(value.get(), &params->rgvarg[0]);  // clears the old value first
    }
    if (id == kValue && (flags & DISPATCH_PROPERTYGET)) return result ? VariantCopy(result, value.get()) : S_OK;
    if (id == kJoin && (flags & DISPATCH_METHOD)) {
      std::wstring joined;
      for (UINT i = params->cArgs; i-- > 0;) {  // the last argument first in the array
        if (params->rgvarg[i].vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
        joined += params->rgvarg[i].bstrVal;
      }
      if (result) {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(joined.c_str());
      }
      return S_OK;
    }
    if (id == kChild && (flags & DISPATCH_PROPERTYGET) && child) {
      result->vt = VT_DISPATCH;
      result->pdispVal = child;
      child->AddRef();
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

  ULONG references = 1;
  com::Variant value;
  IDispatch* child = nullptr;
  std::vector<WORD> calls;
};

TEST(MshtmlEngine, MembersAreCalledByNameWithTheirArgumentsInOrder) {
  FakeDispatch fake;
  DomRef object = WrapDispatch(&fake);
  // A method read through the late-bound fallbacks: get fails, the method runs.
  const Text joined = Call(object, "JOIN", {Variant("a"), Variant(Utf8ToGbk("中")), Variant("z")}).ToText();
  EXPECT_EQ(joined, "a" + Utf8ToGbk("中") + "z");
  EXPECT_EQ(LastDomError(), dom_error::kOk);

  // A put carries the property-put named argument; the value reads back.
  EXPECT_TRUE(Put(object, "value", Variant(Utf8ToGbk("回帖内容"))));
  EXPECT_EQ(GetText(object, "value"), Utf8ToGbk("回帖内容"));
  EXPECT_TRUE(Put(object, "value", Variant(int32_t{42})));
  EXPECT_EQ(GetInteger(object, "value"), 42);
  EXPECT_TRUE(Put(object, "value", Variant(true)));
  EXPECT_TRUE(Get(object, "value").ToBoolean());
}

TEST(MshtmlEngine, FailuresComeBackAsTheirCodes) {
  FakeDispatch fake;
  DomRef object = WrapDispatch(&fake);
  Variant result;
  EXPECT_EQ(object->Invoke("nosuchmember", InvokeKind::kPropertyGet, {}, &result),
            static_cast<int32_t>(DISP_E_UNKNOWNNAME));
  EXPECT_TRUE(Get(object, "nosuchmember").IsEmpty());
  EXPECT_EQ(LastDomError(), static_cast<int32_t>(DISP_E_UNKNOWNNAME));
  // A member that refuses every way of calling it.
  EXPECT_TRUE(Get(object, "child").IsEmpty());
  EXPECT_NE(LastDomError(), dom_error::kOk);
}

TEST(MshtmlEngine, ObjectsAreWrappedAndHoldTheirReference) {
  FakeDispatch parent, child;
  parent.child = &child;
  {
    DomRef object = WrapDispatch(&parent);
    DomRef got = GetObject(object, "child");
    ASSERT_NE(got, nullptr);
    EXPECT_GT(child.references, 1u);
    EXPECT_TRUE(Put(got, "value", Variant("x")));
    EXPECT_EQ(GetText(got, "value"), "x");
    // An engine object passed as an argument travels as its IDispatch.
    com::Variant v;
    ToVariant(Variant(got), v.get());
    EXPECT_EQ((*v).vt, VT_DISPATCH);
    EXPECT_EQ((*v).pdispVal, static_cast<IDispatch*>(&child));
  }
  EXPECT_EQ(child.references, 1u);
  EXPECT_EQ(parent.references, 1u);
  EXPECT_EQ(WrapDispatch(nullptr), nullptr);
}

TEST(MshtmlEngine, VariantsConvertBothWays) {
  {
    const wchar_t picture[] = L"\x56FE\x7247\x7F51\x5740";  // 图片网址
    com::Bstr text(picture, 4);
    VARIANT bstr;
    bstr.vt = VT_BSTR;
    bstr.bstrVal = text.get();
    EXPECT_EQ(FromVariant(bstr).ToText(), Utf8ToGbk("图片网址"));
  }
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I8;
  v.llVal = 1LL << 40;
  EXPECT_EQ(FromVariant(v).ToInteger(), 1LL << 40);
  v.vt = VT_R8;
  v.dblVal = 2.5;
  EXPECT_EQ(FromVariant(v).ToReal(), 2.5);
  v.vt = VT_NULL;
  EXPECT_TRUE(FromVariant(v).IsEmpty());

  com::Variant wide;
  ToVariant(Variant(int64_t{1} << 40), wide.get());
  EXPECT_EQ((*wide).vt, VT_R8);  // beyond 32 bits: a real, not a cut integer
  com::Variant empty;
  ToVariant(Variant(), empty.get());
  EXPECT_EQ((*empty).vt, VT_EMPTY);
}

TEST(MshtmlEngine, WindowTreeAndDocumentRoute) {
  MshtmlEngine engine;
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HWND first = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD, 0, 0, 1, 1, parent, nullptr, nullptr, nullptr);
  HWND second = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 1, 1, parent, nullptr, nullptr, nullptr);
  ASSERT_NE(second, nullptr);
  const auto handle = [](HWND w) { return reinterpret_cast<WindowHandle>(w); };
  EXPECT_TRUE(engine.IsWindow(handle(parent)));
  EXPECT_FALSE(engine.IsWindow(0));
  EXPECT_EQ(engine.ClassName(handle(second)), "Edit");
  const std::vector<WindowHandle> children = engine.Children(handle(parent));
  ASSERT_EQ(children.size(), 2u);
  EXPECT_TRUE((children[0] == handle(first) && children[1] == handle(second)) ||
              (children[0] == handle(second) && children[1] == handle(first)));

  // A window that is no document window gives no document, and says so.
  int32_t status = dom_error::kOk;
  EXPECT_EQ(engine.TopDocument(handle(second), 1000, &status), nullptr);
  EXPECT_NE(status, dom_error::kOk);
  // A content window without the browser service gives no frame document.
  FakeDispatch not_a_window;
  EXPECT_EQ(engine.FrameDocument(WrapDispatch(&not_a_window)), nullptr);
  EXPECT_EQ(engine.FrameDocument(nullptr), nullptr);
  DestroyWindow(parent);
}

}  // namespace
}  // namespace brevane::mshtml
