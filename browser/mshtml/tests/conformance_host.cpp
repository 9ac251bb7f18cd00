// The suite's hosts on the MSHTML engine. On a Windows PC the engine reads
// the real WebBrowser control, in-place activated in a window of its own,
// showing the fixtures from two in-process loopback servers (two ports, two
// origins). Where the system has no HTML engine (Wine without one) the
// suite says so in one line and runs against the document double: the
// fixture pages are built by the in-memory engine and served as COM objects
// behind a real "Internet Explorer_Server" window, so every operation still
// runs the engine's whole route (WM_HTML_GETOBJECT, ObjectFromLresult,
// IDispatch calls, frames through their windows' browser service).
//
// BREVANE_CONFORMANCE_CONTROL chooses: "double", "real" (a system without
// the control then fails the suite), or unset (the real control where
// there is one).
#include "browser/mshtml/tests/conformance_host.h"

#include <cstdio>
#include <cstdlib>

#include "browser/mshtml/tests/document_double.h"
#include "testing/conformance/memory_pages.h"
#include "testing/memory/memory_engine.h"
#include "testing/virtual_clock.h"

namespace brevane::conformance {
namespace {

class DoubleHost : public ConformanceHost {
 public:
  // Slow pages arrive late on the clock the operations pause on, and the
  // pages' scripts act on it, as the control runs a page's script after
  // its load while the program goes on.
  DoubleHost() {
    navigator_.ArriveOn(clock_);
    served_.ActOn(navigator_, clock_);
  }
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

// Stands for a system without the real control when it was asked for: every
// fixture fails with the reason.
class MissingHost : public ConformanceHost {
 public:
  explicit MissingHost(std::string why) : why_(std::move(why)) {}
  std::string EngineName() const override { return "ie"; }
  Text Origin() override { return "http://127.0.0.1"; }
  Text Other() override { return "http://127.0.0.1"; }
  bool Serve(const Fixture&, const std::vector<ServedFile>&) override {
    std::fprintf(stderr, "conformance: the real control was asked for: %s\n", why_.c_str());
    return false;
  }
  BrowserOperations& Operations() override { return double_.Operations(); }
  DocumentBinding& Binding() override { return double_.Binding(); }

 private:
  std::string why_;
  DoubleHost double_;
};

std::unique_ptr<ConformanceHost> ChooseHost() {
  const char* chosen = std::getenv("BREVANE_CONFORMANCE_CONTROL");
  const std::string choice = chosen ? chosen : "";
  if (choice == "double") return std::make_unique<DoubleHost>();
  auto real = std::make_unique<RealControlHost>();
  std::string why;
  if (real->Start(&why)) return real;
  if (choice == "real") return std::make_unique<MissingHost>(why);
  std::fprintf(stderr, "conformance: no HTML engine here (%s); the suite runs against the document double\n",
               why.c_str());
  return std::make_unique<DoubleHost>();
}

}  // namespace

ConformanceHost& SuiteHost() {
  static const std::unique_ptr<ConformanceHost> host = ChooseHost();
  return *host;
}

RealControlHost* SuiteRealControl() { return dynamic_cast<RealControlHost*>(&SuiteHost()); }

}  // namespace brevane::conformance
