// The suite's host for the real MSHTML engine under Wine: the fixture pages
// are built by the in-memory engine and served as COM objects by the
// document double behind a real "Internet Explorer_Server" window, so every
// operation runs the engine's whole route (WM_HTML_GETOBJECT,
// ObjectFromLresult, IDispatch calls, frames through their windows'
// browser service).
#include "browser/conformance/conformance.h"
#include "browser/conformance/memory_pages.h"
#include "browser/document_browser.h"
#include "browser/memory/memory_engine.h"
#include "browser/mshtml/mshtml_engine.h"
#include "browser/mshtml/tests/document_double.h"
#include "testing/virtual_clock.h"

namespace brevane::conformance {
namespace {

class MshtmlHost : public ConformanceHost {
 public:
  // Slow pages arrive late on the clock the operations pause on.
  MshtmlHost() { navigator_.ArriveOn(clock_); }
  std::string EngineName() const override { return "mshtml"; }
  Text Origin() override { return kMemoryOrigin; }
  Text Other() override { return kMemoryOther; }

  bool Serve(const Fixture& fixture, const std::vector<ServedFile>& files) override {
    // The double's texts are GBK (code page 936 on the COM side).
    served_.Serve(fixture, files);
    return true;
  }

  BrowserOperations& Operations() override { return browser_; }
  DocumentBinding& Binding() override { return binding_; }

 private:
  memory::MemoryEngine pages_;
  MemoryPages served_{pages_};
  memory::MemoryBrowser navigator_{pages_};
  mshtml::testing::DocumentDouble double_{pages_};
  mshtml::testing::DoubleBrowserControl control_{navigator_, double_};
  mshtml::MshtmlEngine engine_;
  testing::VirtualClock clock_;
  DocumentBinding binding_;
  DocumentBrowser browser_{control_, engine_, clock_, binding_};
};

}  // namespace

ConformanceHost& SuiteHost() {
  static MshtmlHost host;
  return host;
}

}  // namespace brevane::conformance
