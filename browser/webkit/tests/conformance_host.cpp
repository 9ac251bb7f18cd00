// The suite's host over the WebKit engine: the harness's web view, prepared
// as the shipped program prepares it (its dialog policy included), pages
// served from two loopback servers (two ports, two origins) and, for the
// fixtures over TLS, from a third one over TLS whose certificate, made for
// this run, the harness's web context alone accepts for 127.0.0.1; the
// browser operations over the engine with the program's own browser control,
// the harness's web-view host.
#include <webkit2/webkit2.h>

#include "browser/document_browser.h"
#include "browser/webkit/tests/harness.h"
#include "testing/conformance/conformance.h"
#include "testing/tls_loopback_server.h"

namespace brevane::conformance {
namespace {

using testing::LoopbackServer;
using testing::MakeTestCertificate;
using testing::TestCertificate;
using testing::TlsLoopbackServer;
using testing::WebViewHarness;

// The secure origin's certificate, accepted for its host in the harness's
// web context before the first page over TLS loads.
TestCertificate AcceptedCertificate() {
  TestCertificate certificate = MakeTestCertificate("127.0.0.1");
  GTlsCertificate* tls = g_tls_certificate_new_from_pem(certificate.certificate_pem.c_str(), -1, nullptr);
  if (tls) {
    webkit_web_context_allow_tls_certificate_for_host(webkit_web_view_get_context(WebViewHarness::Get().view()),
                                                      tls, "127.0.0.1");
    g_object_unref(tls);
  }
  return certificate;
}

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
  Text SecureOrigin() override { return "https://127.0.0.1:" + std::to_string(secure_.port()); }

  bool Serve(const Fixture& fixture, const std::vector<ServedFile>& files) override {
    for (const ServedFile& file : files) {
      const std::string type = ContentTypeOf(file.path, fixture.charset);
      first_.AddResponse(file.path, type, file.headers, file.body, file.delay_ms);
      second_.AddResponse(file.path, type, file.headers, file.body, file.delay_ms);
      if (fixture.tls) secure_.AddResponse(file.path, type, file.headers, file.body, file.delay_ms);
      if (file.changes_later) {
        first_.ChangeAfterFirst(file.path, file.later_body);
        second_.ChangeAfterFirst(file.path, file.later_body);
        if (fixture.tls) secure_.ChangeAfterFirst(file.path, file.later_body);
      }
    }
    return true;
  }

  BrowserOperations& Operations() override { return browser_; }
  DocumentBinding& Binding() override { return binding_; }

 private:
  LoopbackServer first_;
  LoopbackServer second_;
  TlsLoopbackServer secure_{AcceptedCertificate()};
  // The program's own browser control over the harness's view.
  WebViewHost& control_ = WebViewHarness::Get().host();
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
