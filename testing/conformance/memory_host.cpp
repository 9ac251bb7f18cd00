// The suite's host over the in-memory engine: both origins are notional
// addresses whose pages the engine serves from the fixture files.
#include "testing/conformance/conformance.h"
#include "testing/conformance/memory_pages.h"
#include "browser/document_browser.h"
#include "testing/memory/memory_engine.h"
#include "testing/virtual_clock.h"

namespace brevane::conformance {
namespace {

class MemoryHost : public ConformanceHost {
 public:
  // Slow pages arrive late on the clock the operations pause on, and the
  // pages' scripts act on it.
  MemoryHost() {
    control_.ArriveOn(clock_);
    pages_.ActOn(control_, clock_);
  }
  std::string EngineName() const override { return "memory"; }
  Text Origin() override { return kMemoryOrigin; }
  Text Other() override { return kMemoryOther; }

  bool Serve(const Fixture& fixture, const std::vector<ServedFile>& files) override {
    pages_.Serve(fixture, files);
    return true;
  }

  BrowserOperations& Operations() override { return browser_; }
  DocumentBinding& Binding() override { return binding_; }

 private:
  memory::MemoryEngine engine_;
  MemoryPages pages_{engine_};
  memory::MemoryBrowser control_{engine_};
  testing::VirtualClock clock_;
  DocumentBinding binding_;
  DocumentBrowser browser_{control_, engine_, clock_, binding_};
};

}  // namespace

ConformanceHost& SuiteHost() {
  static MemoryHost host;
  return host;
}

}  // namespace brevane::conformance
