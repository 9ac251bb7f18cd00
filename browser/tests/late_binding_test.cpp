#include <gtest/gtest.h>

#include <thread>

#include "browser/element_key.h"
#include "browser/late_binding.h"

namespace brevane {
namespace {

// Answers only the invocation kinds it is told to, and records every try.
class KindRecorder : public DomObject {
 public:
  explicit KindRecorder(std::vector<InvokeKind> accepted) : accepted_(std::move(accepted)) {}
  int32_t Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                 Variant* result) override {
    tried.push_back(kind);
    last_args = args;
    if (std::find(accepted_.begin(), accepted_.end(), kind) == accepted_.end()) {
      return dom_error::kMemberNotFound;
    }
    if (result) *result = Variant(Text(name));
    return dom_error::kOk;
  }
  std::vector<InvokeKind> tried;
  std::vector<Variant> last_args;

 private:
  std::vector<InvokeKind> accepted_;
};

TEST(VariantTest, ConvertsAsALateBoundCallerExpects) {
  EXPECT_EQ(Variant(int32_t{42}).ToText(), "42");
  EXPECT_EQ(Variant(-7.5).ToText(), "-7.5");
  EXPECT_EQ(Variant(true).ToText(), "true");
  EXPECT_EQ(Variant(2.5).ToInteger(), 2);  // halves go to even
  EXPECT_EQ(Variant(3.5).ToInteger(), 4);
  EXPECT_EQ(Variant("12px").ToInteger(), 12);
  EXPECT_DOUBLE_EQ(Variant("\xA3\xB1.5").ToReal(), 1.5);  // full-width 1
  EXPECT_TRUE(Variant("TRUE").ToBoolean());
  EXPECT_FALSE(Variant("false").ToBoolean());
  EXPECT_FALSE(Variant("0").ToBoolean());
  EXPECT_TRUE(Variant(int32_t{1}).ToBoolean());
  Variant empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.ToText(), "");
  EXPECT_EQ(empty.ToInteger(), 0);
  EXPECT_EQ(empty.ToObject(), nullptr);
  EXPECT_TRUE(Variant(DomRef()).IsEmpty());
  EXPECT_EQ(Variant(1e300).ToInteger(), INT64_MAX);
}

TEST(TextToNumberTest, ReadsTheLeadingNumber) {
  EXPECT_DOUBLE_EQ(TextToNumberValue("3"), 3);
  EXPECT_DOUBLE_EQ(TextToNumberValue("  -2.5e1x"), -25);
  EXPECT_DOUBLE_EQ(TextToNumberValue("+4"), 4);
  EXPECT_DOUBLE_EQ(TextToNumberValue("\xA3\xB1\xA3\xB2"), 12);  // full-width 12
  EXPECT_DOUBLE_EQ(TextToNumberValue("1e"), 1);
  EXPECT_DOUBLE_EQ(TextToNumberValue(".5"), 0.5);
  EXPECT_DOUBLE_EQ(TextToNumberValue("abc"), 0);
  EXPECT_DOUBLE_EQ(TextToNumberValue("."), 0);
  EXPECT_DOUBLE_EQ(TextToNumberValue("-"), 0);
  EXPECT_DOUBLE_EQ(TextToNumberValue(""), 0);
  EXPECT_GT(TextToNumberValue("1e999"), 1e300);
}

TEST(ElementKeyTest, KeyIndexNeedsTheIntegerWrittenExactly) {
  EXPECT_EQ(KeyIndexOf("3"), 3);
  EXPECT_EQ(KeyIndexOf("12"), 12);
  for (const char* key : {"03", "3a", "+3", "3.0", "==", " 3", "0", "", "\xA3\xB3", "id==3", "99999999999"}) {
    EXPECT_EQ(KeyIndexOf(key), 0) << key;
  }
}

TEST(ElementKeyTest, SplitsAttributeAndValueAtTheOuterSeparators) {
  ElementKey key = ParseElementKey("ID==  submit  ");
  EXPECT_EQ(key.attribute, "id");
  EXPECT_EQ(key.value, "submit");
  EXPECT_EQ(key.index, 0);

  key = ParseElementKey("Name==a==b");
  EXPECT_EQ(key.attribute, "name");
  EXPECT_EQ(key.value, "b");

  key = ParseElementKey("==");
  EXPECT_EQ(key.attribute, "");
  EXPECT_EQ(key.value, "");

  key = ParseElementKey(" 7 ");
  EXPECT_EQ(key.attribute, "");
  EXPECT_EQ(key.value, " 7 ");  // untrimmed without a separator
  EXPECT_EQ(key.index, 0);
}

TEST(LateBindingTest, ReadFallsBackFromPropertyToMethod) {
  auto object = std::make_shared<KindRecorder>(std::vector<InvokeKind>{InvokeKind::kMethod});
  EXPECT_EQ(Get(object, "item").ToText(), "item");
  EXPECT_EQ(object->tried, (std::vector<InvokeKind>{InvokeKind::kPropertyGet, InvokeKind::kMethod}));
  EXPECT_EQ(LastDomError(), dom_error::kOk);
  EXPECT_EQ(LastDomErrorText(), "");
}

TEST(LateBindingTest, WriteTriesPutThenPutByReferenceThenMethod) {
  auto object = std::make_shared<KindRecorder>(std::vector<InvokeKind>{InvokeKind::kMethod});
  EXPECT_TRUE(Put(object, "setAttribute", Variant("innerHTML"), Variant("<b>x</b>")));
  EXPECT_EQ(object->tried, (std::vector<InvokeKind>{InvokeKind::kPropertyPut, InvokeKind::kPropertyPutRef,
                                                    InvokeKind::kMethod}));
  ASSERT_EQ(object->last_args.size(), 2u);
  EXPECT_EQ(object->last_args[1].ToText(), "<b>x</b>");

  auto plain = std::make_shared<KindRecorder>(std::vector<InvokeKind>{InvokeKind::kPropertyPut});
  EXPECT_TRUE(Put(plain, "title", Variant("t")));
  EXPECT_EQ(plain->tried.size(), 1u);
}

TEST(LateBindingTest, FailuresRecordACodeThatTheNextSuccessClears) {
  auto refusing = std::make_shared<KindRecorder>(std::vector<InvokeKind>{});
  EXPECT_TRUE(Get(refusing, "x").IsEmpty());
  EXPECT_EQ(LastDomError(), dom_error::kMemberNotFound);
  EXPECT_NE(LastDomErrorText(), "");
  EXPECT_FALSE(Put(refusing, "x", Variant(int32_t{1})));

  // An empty object yields empty along a whole chain.
  EXPECT_TRUE(Call(Get(DomRef(), "body").ToObject(), "click").IsEmpty());
  EXPECT_EQ(LastDomError(), dom_error::kNoObject);
  EXPECT_NE(LastDomErrorText(), "");

  auto accepting = std::make_shared<KindRecorder>(std::vector<InvokeKind>{InvokeKind::kMethod});
  Call(accepting, "click");
  EXPECT_EQ(LastDomErrorText(), "");
}

TEST(LateBindingTest, FailureCodeBelongsToTheCallingThread) {
  Call(DomRef(), "click");
  ASSERT_NE(LastDomError(), dom_error::kOk);
  int32_t other_thread = -1;
  std::thread([&] { other_thread = LastDomError(); }).join();
  EXPECT_EQ(other_thread, dom_error::kOk);
  EXPECT_NE(LastDomError(), dom_error::kOk);
  EXPECT_EQ(DomErrorText(dom_error::kOk), "");
  EXPECT_NE(DomErrorText(0x12345), "");
}

}  // namespace
}  // namespace brevane
