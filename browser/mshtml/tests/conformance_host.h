// The conformance suite's host on the real WebBrowser control, and the
// choice between it and the document double (conformance_host.cpp).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/win32/pause_win32.h"
#include "browser/document_browser.h"
#include "browser/mshtml/mshtml_engine.h"
#include "browser/mshtml/web_browser_host.h"
#include "testing/conformance/conformance.h"
#include "testing/loopback_server.h"

namespace brevane::conformance {

ConformanceHost& SuiteHost();

class RealControlHost : public ConformanceHost {
 public:
  RealControlHost() = default;
  ~RealControlHost() override;

  // Opens the window, creates the control in it and shows a blank page
  // through the engine; false, with the reason, when this system cannot
  // (no control, no HTML engine, no loopback socket).
  bool Start(std::string* why);

  std::string EngineName() const override { return "ie"; }
  Text Origin() override { return "http://127.0.0.1:" + std::to_string(first_.port()); }
  Text Other() override { return "http://127.0.0.1:" + std::to_string(second_.port()); }
  bool Serve(const Fixture& fixture, const std::vector<ServedFile>& files) override;
  BrowserOperations& Operations() override { return browser_; }
  DocumentBinding& Binding() override { return binding_; }

  win32::WebBrowserHost& control() { return control_; }
  testing::LoopbackServer& first_server() { return first_; }

 private:
  HWND window_ = nullptr;
  testing::LoopbackServer first_;
  testing::LoopbackServer second_;
  win32::WebBrowserHost control_;
  win32::Pause pause_;
  mshtml::MshtmlEngine engine_;
  DocumentBinding binding_;
  DocumentBrowser browser_{control_, engine_, pause_, binding_};
  bool ole_ = false;
};

// The suite's host when it is the real control, else null.
RealControlHost* SuiteRealControl();

}  // namespace brevane::conformance
