// The suite's host over the in-memory engine: both origins are notional
// addresses whose pages the engine serves from the fixture files, and the
// host leaves the marks observe.js leaves in a browser (the engine runs no
// scripts): the clicked element's id and the sent form's id on the root
// element of their document.
#include "browser/conformance/conformance.h"
#include "browser/document_browser.h"
#include "browser/memory/memory_engine.h"
#include "core/text/charset.h"
#include "testing/virtual_clock.h"

namespace brevane::conformance {
namespace {

class MemoryHost : public ConformanceHost {
 public:
  MemoryHost() {
    engine_.OnClick([this](memory::Element& clicked) {
      memory::ElementPtr root = clicked.shared_from_this();
      while (root->parent()) root = root->parent();
      root->SetAttribute("data-clicked", clicked.Attribute("id").value_or(""));
      if (engine_.submissions().size() > submissions_seen_) {
        const memory::ElementPtr& form = engine_.submissions().back();
        root->SetAttribute("data-sent", form->Attribute("id").value_or(""));
      }
      submissions_seen_ = engine_.submissions().size();
    });
  }

  std::string EngineName() const override { return "memory"; }
  Text Origin() override { return "http://bbs.example"; }
  Text Other() override { return "http://ads.example"; }

  bool Serve(const Fixture& fixture, const std::vector<ServedFile>& files) override {
    // The engine's texts are GBK, as a GBK page's bytes already are.
    const bool gbk = fixture.charset == "gbk";
    for (const ServedFile& file : files) {
      Text body = gbk ? Text(file.body) : Utf8ToGbk(file.body);
      engine_.Serve(Origin() + file.path, body);
      engine_.Serve(Other() + file.path, body);
    }
    return true;
  }

  BrowserOperations& Operations() override { return browser_; }
  DocumentBinding& Binding() override { return binding_; }

 private:
  memory::MemoryEngine engine_;
  memory::MemoryBrowser control_{engine_};
  testing::VirtualClock clock_;
  DocumentBinding binding_;
  DocumentBrowser browser_{control_, engine_, clock_, binding_};
  std::size_t submissions_seen_ = 0;
};

}  // namespace

ConformanceHost& SuiteHost() {
  static MemoryHost host;
  return host;
}

}  // namespace brevane::conformance
