#include "app/program.h"

#include <thread>

#include "app/routines.h"
#include "app/worker_proxies.h"
#include "core/core.h"
#include "extras/announcement.h"
#include "extras/http.h"
#include "extras/open_in_browser.h"
#include "extras/skin.h"

namespace brevane::app {

Program::Program(const Endpoints& endpoints) : endpoints_(endpoints) {}
Program::~Program() = default;

void Program::Assemble(WindowModel& window, BrowserOperations& browser) {
  window_ = &window;
  browser_ = &browser;
  window.SetBoardHost(endpoints_.board_host);
  CoreEdges edges;
  edges.open_in_browser = OpenInBrowser;
  edges.settings_directory = SettingsDirectory();
  edges.login_url = endpoints_.login_url;
  core_ = std::make_unique<Core>(window, browser, std::move(edges));
  http_ = MakeHttpFetcher();
  announcements_ = std::make_unique<Announcements>(
      window, *http_, OpenInBrowser, endpoints_.announcement_url);
}

shell::RoutineRunner Program::Runner() {
  return [this](Routine routine, const shell::EventArgs&) {
    return RunRoutine(routine, {&startup_, core_.get(), announcements_.get(), &endpoints_.contact_url});
  };
}

void Program::Start(PlatformParts parts) {
  parts_ = std::move(parts);
  startup_.prepare_skin_library = [] { PrepareSkinLibrary(); };
  startup_.create_window = parts_.create_window;
  startup_.run_event_loop = parts_.run_event_loop;
  startup_.apply_skin = [this] { ApplySkin(parts_.main_window()); };
  startup_.show_announcement = [this] { announcements_->ShowAnnouncement(); };
  startup_.load_settings = [this] { core_->LoadSettings(); };
  startup_.start_login_worker = [this] {
    // The login runs once on its own thread; every control and browser call
    // it makes is handed to the window thread. Nobody waits for it.
    std::thread([this] {
      WorkerControls controls(*window_, HandOverToWindowThread);
      WorkerBrowser browser(*browser_, HandOverToWindowThread);
      ForumLogin(controls, browser, endpoints_.login_url);
    }).detach();
  };
  startup_.end_program = parts_.end_program;
  startup_.ProgramStart();
  parts_.end_program();
}

}  // namespace brevane::app
