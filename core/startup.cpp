#include "core/startup.h"

namespace brevane {
namespace {

void Run(const std::function<void()>& hook) {
  if (hook) hook();
}

}  // namespace

int Startup::ProgramStart() {
  Run(prepare_skin_library);
  Run(create_window);
  Run(run_event_loop);
  return 0;
}

void Startup::Created() {
  if (ended_) return;
  Run(apply_skin);
  Run(show_announcement);  // completes its fetches before the settings load
  Run(load_settings);
}

void Startup::Activated() {
  if (ended_ || login_worker_started_) return;
  login_worker_started_ = true;
  Run(start_login_worker);
}

void Startup::AboutToBeDestroyed() {
  if (ended_) return;
  ended_ = true;
  Run(end_program);
}

}  // namespace brevane
