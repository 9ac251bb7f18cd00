// The life of the program around its window: what runs at program start,
// when the window has been created, when it first becomes active and when
// it is about to be destroyed. The shells create the window and deliver the
// events; this class fixes the order of the steps. Each step is a hook the
// composition fills; a hook left empty does nothing.
#pragma once

#include <functional>

namespace brevane {

class Startup {
 public:
  // Before the window exists: map the skin library into memory.
  std::function<void()> prepare_skin_library;
  // Create the main window with its event bindings (its created event runs
  // Created()), then run the window's event loop until the program ends.
  std::function<void()> create_window;
  std::function<void()> run_event_loop;
  // The created sequence, in this order.
  std::function<void()> apply_skin;
  std::function<void()> show_announcement;
  std::function<void()> load_settings;
  // First activation: start the forum login on a worker thread that nobody
  // waits for.
  std::function<void()> start_login_worker;
  // Window about to be destroyed: end the process with exit code 0.
  std::function<void()> end_program;

  // Program entry: skin library, window, event loop. Returns the exit code,
  // always 0.
  int ProgramStart();
  // Created event of the main window (before it is shown).
  void Created();
  // Every activation of the main window; only the first one starts the
  // login worker.
  void Activated();
  // About-to-be-destroyed event of the main window.
  void AboutToBeDestroyed();

  bool login_worker_started() const { return login_worker_started_; }

 private:
  bool login_worker_started_ = false;
  bool ended_ = false;
};

}  // namespace brevane
