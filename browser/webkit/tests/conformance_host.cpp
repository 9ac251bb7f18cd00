// The suite's host over the WebKit engine: the harness's web view, prepared
// as the shipped program prepares it (its dialog policy included), pages
// served from two loopback servers (two ports, two origins), the browser
// operations over the engine with a control that navigates as the shell's
// does.
#include <webkit2/webkit2.h>

#include "browser/address.h"
#include "browser/conformance/conformance.h"
#include "browser/document_browser.h"
#include "browser/webkit/tests/harness.h"
#include "base/text/charset.h"

namespace brevane::conformance {
namespace {

using testing::kMainWindow;
using testing::LoopbackServer;
using testing::WebViewHarness;

// The shell's browser widget: the address goes to the web view as the
// control would load it.
class WebViewControl : public BrowserControl {
 public:
  void Navigate(const Text& address) override {
    webkit_web_view_load_uri(WebViewHarness::Get().view(), GbkToUtf8(ControlAddress(address)).c_str());
  }
  WindowHandle Handle() override { return kMainWindow; }
};

// Time passes on the GLib main loop while its events are dispatched.
class MainLoopPause : public brevane::Pause {
 public:
  int32_t For(int32_t duration, int32_t unit) override {
    WebViewHarness::Get().RunUntil([] { return false; }, static_cast<int>(PauseMilliseconds(duration, unit)));
    return 1;
  }
  int64_t TickCount() override { return g_get_monotonic_time() / 1000; }
};

class WebKitHost : public ConformanceHost {
 public:
  std::string EngineName() const override { return "webkit"; }
  Text Origin() override { return "http://127.0.0.1:" + std::to_string(first_.port()); }
  Text Other() override { return "http://127.0.0.1:" + std::to_string(second_.port()); }

  bool Serve(const Fixture& fixture, const std::vector<ServedFile>& files) override {
    for (const ServedFile& file : files) {
      const std::string type = ContentTypeOf(file.path, fixture.charset);
      first_.AddResponse(file.path, type, file.headers, file.body, file.delay_ms);
      second_.AddResponse(file.path, type, file.headers, file.body, file.delay_ms);
      if (file.changes_later) {
        first_.ChangeAfterFirst(file.path, file.later_body);
        second_.ChangeAfterFirst(file.path, file.later_body);
      }
    }
    return true;
  }

  BrowserOperations& Operations() override { return browser_; }
  DocumentBinding& Binding() override { return binding_; }

 private:
  LoopbackServer first_;
  LoopbackServer second_;
  WebViewControl control_;
  MainLoopPause pause_;
  DocumentBinding binding_;
  DocumentBrowser browser_{control_, WebViewHarness::Get().engine(), pause_, binding_};
};

}  // namespace

ConformanceHost& SuiteHost() {
  static WebKitHost host;
  return host;
}

}  // namespace brevane::conformance
