// The suite's host for the real MSHTML engine under Wine: the fixture pages
// are built by the in-memory engine and served as COM objects by the
// document double behind a real "Internet Explorer_Server" window, so every
// operation runs the engine's whole route (WM_HTML_GETOBJECT,
// ObjectFromLresult, IDispatch calls, frames through their windows'
// browser service). The double runs no scripts, so the host leaves the marks
// observe.js leaves in a browser: the clicked element's id and the sent
// form's id on the root element of their document.
#include "browser/conformance/conformance.h"
#include "browser/document_browser.h"
#include "browser/memory/memory_engine.h"
#include "browser/mshtml/mshtml_engine.h"
#include "browser/mshtml/tests/document_double.h"
#include "core/text/charset.h"
#include "testing/virtual_clock.h"

namespace brevane::conformance {
namespace {

class MshtmlHost : public ConformanceHost {
 public:
  MshtmlHost() {
    pages_.OnClick([this](memory::Element& clicked) {
      memory::ElementPtr root = clicked.shared_from_this();
      while (root->parent()) root = root->parent();
      root->SetAttribute("data-clicked", clicked.Attribute("id").value_or(""));
      if (pages_.submissions().size() > submissions_seen_) {
        const memory::ElementPtr& form = pages_.submissions().back();
        root->SetAttribute("data-sent", form->Attribute("id").value_or(""));
      }
      submissions_seen_ = pages_.submissions().size();
    });
  }

  std::string EngineName() const override { return "mshtml"; }
  Text Origin() override { return "http://bbs.example"; }
  Text Other() override { return "http://ads.example"; }

  bool Serve(const Fixture& fixture, const std::vector<ServedFile>& files) override {
    // The double's texts are GBK (code page 936 on the COM side), as a GBK
    // page's bytes already are.
    const bool gbk = fixture.charset == "gbk";
    for (const ServedFile& file : files) {
      Text body = gbk ? Text(file.body) : Utf8ToGbk(file.body);
      pages_.Serve(Origin() + file.path, body);
      pages_.Serve(Other() + file.path, body);
    }
    return true;
  }

  BrowserOperations& Operations() override { return browser_; }
  DocumentBinding& Binding() override { return binding_; }

 private:
  memory::MemoryEngine pages_;
  memory::MemoryBrowser navigator_{pages_};
  mshtml::testing::DocumentDouble double_{pages_};
  mshtml::testing::DoubleBrowserControl control_{navigator_, double_};
  mshtml::MshtmlEngine engine_;
  testing::VirtualClock clock_;
  DocumentBinding binding_;
  DocumentBrowser browser_{control_, engine_, clock_, binding_};
  std::size_t submissions_seen_ = 0;
};

}  // namespace

ConformanceHost& SuiteHost() {
  static MshtmlHost host;
  return host;
}

}  // namespace brevane::conformance
