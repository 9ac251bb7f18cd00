// A page that answers without end: every collection as long as it says,
// every frame holding more frames, every call as slow as it likes. The
// program's bind and reads stay within their bounds whatever it answers.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "browser/document_browser.h"
#include "browser/late_binding.h"
#include "browser/limits.h"
#include "browser/load_wait.h"
#include "testing/virtual_clock.h"

namespace brevane {
namespace {

struct EndlessPage {
  testing::VirtualClock clock;
  int64_t length = 0;   // what every collection of elements says its length is
  int64_t frames = 0;   // what every list of frames says its length is
  int32_t cost_ms = 0;  // virtual time each call takes
  int64_t calls = 0;
};

// Documents, bodies, collections, frame elements and windows of the page,
// all of one class: a frame's window leads to a new document, itself with
// frames.
class EndlessObject : public DomObject {
 public:
  enum class Kind { kDocument, kBody, kCollection, kFrameList, kFrame, kWindow };
  EndlessObject(EndlessPage& page, Kind kind) : page_(page), kind_(kind) {}

  int32_t Invoke(std::string_view name, InvokeKind, const std::vector<Variant>& args, Variant* result) override {
    ++page_.calls;
    page_.clock.Advance(page_.cost_ms);
    Variant answer;
    const Text member = Lower(name);
    switch (kind_) {
      case Kind::kDocument:
        if (member == "body") answer = Make(Kind::kBody);
        else if (member == "frames") answer = Make(Kind::kFrameList);
        else if (member == "readystate") answer = Variant("complete");
        break;
      case Kind::kBody:
        if (member == "all") answer = Make(Kind::kCollection);
        else if (member == "innertext") answer = Variant("text");
        break;
      case Kind::kCollection:
      case Kind::kFrameList:
        if (member == "tags") {
          const Text tag = args.empty() ? Text() : Lower(args[0].ToText());
          answer = Make(tag == "iframe" || tag == "frame" ? Kind::kFrameList : Kind::kCollection);
        } else if (member == "length") {
          answer = Variant(kind_ == Kind::kFrameList ? page_.frames : page_.length);
        } else if (member == "item") {
          answer = Make(Kind::kFrame);
        }
        break;
      case Kind::kFrame:
        if (member == "contentwindow") answer = Make(Kind::kWindow);
        else if (member == "type") answer = Variant("text");
        break;
      case Kind::kWindow:
        if (member == "document") answer = Make(Kind::kDocument);
        break;
    }
    if (result) *result = answer;
    return dom_error::kOk;
  }

  Variant Make(Kind kind) { return Variant(DomRef(std::make_shared<EndlessObject>(page_, kind))); }

 private:
  static Text Lower(std::string_view name) {
    Text out(name);
    for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
  }
  EndlessPage& page_;
  Kind kind_;
};

class EndlessEngine : public Engine {
 public:
  explicit EndlessEngine(EndlessPage& page) : page_(page) {}
  bool IsWindow(WindowHandle window) override { return window == 1; }
  std::string ClassName(WindowHandle) override { return std::string(kDocumentWindowClass); }
  std::vector<WindowHandle> Children(WindowHandle) override { return {}; }
  DomRef TopDocument(WindowHandle, int32_t, int32_t* status) override {
    *status = dom_error::kOk;
    return std::make_shared<EndlessObject>(page_, EndlessObject::Kind::kDocument);
  }
  DomRef FrameDocument(const DomRef& window) override { return GetObject(window, "document"); }

 private:
  EndlessPage& page_;
};

class FixedControl : public BrowserControl {
 public:
  void Navigate(const Text&) override {}
  WindowHandle Handle() override { return 1; }
};

TEST(LimitsTest, AnEndlessPageCostsNoMoreThanTheLimits) {
  const struct {
    const char* what;
    int64_t length;
    int64_t frames;
    int32_t cost_ms;
    std::function<int64_t(DocumentBrowser&)> act;  // gives the operation's result
    int64_t result;
    std::size_t documents;  // listed afterwards
    int64_t most_ms;        // virtual time it may take
  } rows[] = {
      // A length past the bound is a failed read: no frame, no table.
      {"bind, lengths of 2^31-1", 2147483647, 2147483647, 0,
       [](DocumentBrowser& b) { return b.WaitForPage(1, 0); }, 1, 1, load_wait::kSettleMs},
      {"table read, lengths of 2^31-1", 2147483647, 2147483647, 0,
       [](DocumentBrowser& b) { return static_cast<int64_t>(b.ReadTableHtml(1).size()); }, 0, 1, 0},
      {"click, lengths of 2^31-1", 2147483647, 2147483647, 0, [](DocumentBrowser& b) { return b.ClickButton("7"); },
       0, 1, 0},
      // Frames without end: the walk lists kMaxDocuments and stops.
      {"bind, frames within frames", 3, 3, 0, [](DocumentBrowser& b) { return b.WaitForPage(1, 0); }, 1,
       kMaxDocuments, 0},
      // Slow calls over many frames, or many elements: the wait ends with
      // its limit, a click with the read limit, each a few calls late at
      // most.
      {"bind, slow calls", 0, 1000, 5, [](DocumentBrowser& b) { return b.WaitForPage(1, 3000); }, 0, 0,
       3000 + 10 * 5},
      {"click, slow calls", 100000, 0, 1, [](DocumentBrowser& b) { return b.ClickButton("x"); }, 0, 1,
       kReadLimitMs + 10 * 1},
  };
  for (const auto& row : rows) {
    EndlessPage page;
    page.length = row.length;
    page.frames = row.frames;
    page.cost_ms = row.cost_ms;
    EndlessEngine engine(page);
    FixedControl control;
    DocumentBinding binding;
    DocumentBrowser browser(control, engine, page.clock, binding);
    binding.BoundWindow = 1;  // the reads bind it themselves
    const int64_t start = page.clock.now();
    EXPECT_EQ(row.act(browser), row.result) << row.what;
    EXPECT_EQ(binding.DocumentList.size(), row.documents) << row.what;
    EXPECT_LE(page.clock.now() - start, row.most_ms) << row.what << ", " << page.calls << " calls";
  }
}

}  // namespace
}  // namespace brevane
