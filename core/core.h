// The monitoring core: run control and status line, the monitoring cycle,
// thread detection, reply posting with its record, the settings files and
// the forum login. It reaches the window only through Controls and the page
// only through BrowserOperations, so it runs the same on both shells and on
// the test doubles.
#pragma once

#include <functional>
#include <string>

#include "browser/operations.h"
#include "core/run_state.h"
#include "ui/controls.h"

namespace brevane {

// What the core needs from outside besides controls and browser.
struct CoreEdges {
  // Hands an address to the desktop's default web browser.
  std::function<void(const Text&)> open_in_browser;
  // Directory that holds the two settings files: ProgramDirectory() in the
  // program, a scratch directory in tests.
  std::string settings_directory;
  // The forum's login page.
  Text login_url;
};

class Core {
 public:
  Core(Controls& controls, BrowserOperations& browser, CoreEdges edges);

  RunState& state() { return state_; }
  const CoreEdges& edges() const { return edges_; }

  // Writes the main window's title, the only status display.
  void SetStatus(const Text& text);

  // Routines bound to events of the window's controls.
  void StartMonitoring();  // returns when the run has ended
  void StopMonitoring();
  void PostReply();        // feedback event of the boards label
  void OpenRecordUrl();    // selection change of the record list
  void SaveBoards();       // content change of the boards box
  void SaveReplies();      // content change of the replies box
  void LoadSettings();     // created sequence
  void ForumLogin();       // login button, on the window's thread

  int32_t StopTest();
  void MonitoringCycle();
  void DetectZeroReplyThread(const Text& html);

 private:
  Controls& controls_;
  BrowserOperations& browser_;
  CoreEdges edges_;
  RunState state_;
};

// The forum login on any thread: it touches only the given controls, the
// status line and the browser, never RunState, so the first-activation
// worker can run it with controls and browser that hand every call to the
// window's thread.
void ForumLogin(Controls& controls, BrowserOperations& browser, const Text& login_url);

// Directory of the program's executable, without a trailing separator.
std::string ProgramDirectory();

}  // namespace brevane
