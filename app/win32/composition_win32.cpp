// The program put together on Windows: the Win32 main window, the hosted
// WebBrowser control with the MSHTML engine under the browser operations,
// the monitoring core, announcements, contact link and our skin, wired to
// the window's events through the binding table, and the start-up order of
// the program's life.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <memory>

#include "app/composition.h"
#include "app/program.h"
#include "app/routines.h"
#include "browser/document_browser.h"
#include "browser/mshtml/mshtml_engine.h"
#include "ui/names.h"
#include "app/win32/main_window.h"
#include "app/win32/pause_win32.h"
#include "browser/mshtml/web_browser_host.h"
#include "app/win32/window_thread.h"

namespace brevane::app {
namespace {

// Everything that lives as long as the window.
struct Parts {
  win32::Pause pause;
  std::unique_ptr<win32::MainWindow> window;
  std::unique_ptr<win32::WebBrowserHost> browser_control;
  std::unique_ptr<mshtml::MshtmlEngine> engine;
  std::unique_ptr<DocumentBrowser> browser;
};

// Ends the process at once with exit code 0. Settings are written on every
// change, so nothing is pending; a login worker still inside its login and
// the COM objects of the browser are simply dropped with the process, so no
// destructor can wait for the worker or call into an unloaded browser.
[[noreturn]] void EndProgram() {
  std::fflush(nullptr);
  TerminateProcess(GetCurrentProcess(), 0);
  ExitProcess(0);
}

}  // namespace

int RunProgram(const Endpoints& endpoints) {
  // The WebBrowser control and drag and drop need OLE on the window thread.
  OleInitialize(nullptr);
  win32::MarkWindowThread();
  static Parts p;  // lives until the process ends
  static Program program(endpoints);
  PlatformParts parts;
  parts.create_window = [] {
    p.window = std::make_unique<win32::MainWindow>();
    p.browser_control = std::make_unique<win32::WebBrowserHost>();
    p.engine = std::make_unique<mshtml::MshtmlEngine>();
    p.browser = std::make_unique<DocumentBrowser>(*p.browser_control, *p.engine, p.pause);
    program.Assemble(*p.window, *p.browser);
    p.window->SetPictureDecoder(DecodeForBanner);
    p.window->SetBrowserHostHook([](HWND container) { p.browser_control->Create(container); });
    p.window->SetBrowserKeyHandler([](MSG& msg) { return p.browser_control->TranslateKey(msg); });
    p.window->SetRoutineRunner(program.Runner());
    // Every loop of the window thread, the pauses included, closes the
    // window on Esc and moves the focus on Tab.
    win32::SetMessageFilter([](MSG& msg) { return p.window && p.window->PreTranslate(msg); });
    if (!p.window->CreateAndShow()) EndProgram();
  };
  parts.run_event_loop = [] { p.window->RunMessageLoop(); };
  parts.main_window = [] { return p.window->Handle(names::kMainWindow); };
  parts.end_program = [] { EndProgram(); };
  program.Start(std::move(parts));
  return 0;
}

}  // namespace brevane::app
