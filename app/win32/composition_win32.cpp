// The program put together on Windows: the Win32 main window, the hosted
// WebBrowser control with the MSHTML engine under the browser operations,
// the monitoring core, announcements, contact link and our skin, wired to
// the window's events through the binding table, and the start-up order of
// the program's life.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <memory>
#include <thread>

#include "app/composition.h"
#include "app/routines.h"
#include "browser/document_browser.h"
#include "browser/mshtml/mshtml_engine.h"
#include "core/core.h"
#include "core/startup.h"
#include "extras/announcement.h"
#include "extras/http.h"
#include "extras/open_in_browser.h"
#include "extras/skin.h"
#include "ui/names.h"
#include "app/worker_proxies.h"
#include "ui/win32/main_window.h"
#include "ui/win32/pause_win32.h"
#include "browser/mshtml/web_browser_host.h"
#include "ui/win32/window_thread.h"

namespace brevane::app {
namespace {

// Everything that lives as long as the window.
struct Program {
  win32::Win32Pause pause;
  std::unique_ptr<win32::MainWindow> window;
  std::unique_ptr<win32::WebBrowserHost> browser_control;
  std::unique_ptr<mshtml::MshtmlEngine> engine;
  std::unique_ptr<DocumentBrowser> browser;
  std::unique_ptr<Core> core;
  std::unique_ptr<HttpFetcher> http;
  std::unique_ptr<Announcements> announcements;
  Text login_url;
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
  static Program p;  // lives until the process ends
  p.login_url = endpoints.login_url;
  Startup startup;

  startup.prepare_skin_library = [] { PrepareSkinLibrary(); };
  startup.create_window = [&] {
    p.window = std::make_unique<win32::MainWindow>();
    p.browser_control = std::make_unique<win32::WebBrowserHost>();
    p.engine = std::make_unique<mshtml::MshtmlEngine>();
    p.browser = std::make_unique<DocumentBrowser>(*p.browser_control, *p.engine, p.pause);
    CoreEdges edges;
    edges.open_in_browser = [](const Text& address) { OpenInBrowser(address); };
    edges.settings_directory = SettingsDirectory();
    edges.login_url = endpoints.login_url;
    p.core = std::make_unique<Core>(*p.window, *p.browser, std::move(edges));
    p.http = MakeHttpFetcher();
    p.announcements = std::make_unique<Announcements>(
        *p.window, *p.http, [](const Text& address) { OpenInBrowser(address); }, endpoints.announcement_url);
    p.window->SetPictureDecoder(DecodeForBanner);
    p.window->SetBrowserHostHook([](HWND container) { p.browser_control->Create(container); });
    p.window->SetBrowserKeyHandler([](MSG& msg) { return p.browser_control->TranslateKey(msg); });
    p.window->SetRoutineRunner([&startup](Routine routine, const win32::EventArgs&) {
      return RunRoutine(routine, {&startup, p.core.get(), p.announcements.get()});
    });
    // Every loop of the window thread, the pauses included, closes the
    // window on Esc and moves the focus on Tab.
    win32::SetMessageFilter([](MSG& msg) { return p.window && p.window->PreTranslate(msg); });
    if (!p.window->CreateAndShow()) EndProgram();
  };
  startup.run_event_loop = [] { p.window->RunMessageLoop(); };
  startup.apply_skin = [] { ApplySkin(p.window->Handle(names::kMainWindow)); };
  startup.show_announcement = [] { p.announcements->ShowAnnouncement(); };
  startup.load_settings = [] { p.core->LoadSettings(); };
  startup.start_login_worker = [] {
    // The login runs once on its own thread; every control and browser call
    // it makes is handed to the window thread. Nobody waits for it.
    std::thread([] {
      WorkerControls controls(*p.window, win32::HandOverToWindowThread);
      WorkerBrowser browser(*p.browser, win32::HandOverToWindowThread);
      ForumLogin(controls, browser, p.login_url);
    }).detach();
  };
  startup.end_program = [] { EndProgram(); };
  startup.ProgramStart();
  EndProgram();
}

}  // namespace brevane::app
