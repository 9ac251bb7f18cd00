// The monitoring core: run control and status line, the monitoring cycle,
// thread detection, reply posting with its record, the settings files and
// the forum login. It reaches the window only through Controls and the page
// only through BrowserOperations, so it runs the same on both shells and on
// the test doubles.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "browser/operations.h"
#include "core/run_state.h"
#include "ui/controls.h"

namespace brevane {

// What the core needs from outside besides controls and browser.
struct CoreEdges {
  // Hands an address to the desktop's default web browser.
  std::function<void(const Text&)> open_in_browser;
  // Directory that holds the two settings files: SettingsDirectory() in the
  // program, a scratch directory in tests.
  std::string settings_directory;
  // The forum's login page.
  Text login_url;
};

class Core {
 public:
  // A settings box and whether its content is still what LoadSettings put
  // there: that content is not saved again, so a file the box cannot hold
  // byte for byte keeps its bytes until the user changes the box.
  struct LoadedBox {
    bool loading = false;
    std::optional<Text> unedited;
  };
  Core(Controls& controls, BrowserOperations& browser, CoreEdges edges);

  RunState& state() { return state_; }

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
  LoadedBox loaded_boards_;
  LoadedBox loaded_replies_;
};

// The forum login on any thread: it touches only the given controls, the
// status line and the browser, never RunState, so the first-activation
// worker can run it with controls and browser that hand every call to the
// window's thread.
void ForumLogin(Controls& controls, BrowserOperations& browser, const Text& login_url);

// Directory of the program's executable, without a trailing separator.
std::string ProgramDirectory();

// Where the settings files live: beside the executable when new files can
// be made there (a copy run from a folder of the user's, as always);
// otherwise, for an installed copy in a folder the user cannot write, the
// user's settings folder (files::UserSettingsDirectory(), created when
// missing). When that cannot be made either, the program's directory,
// where saves then fail silently.
std::string ChooseSettingsDirectory(const std::string& program_directory,
                                    const std::string& user_directory);
// ChooseSettingsDirectory for this executable and this user.
std::string SettingsDirectory();

// The text a settings file's bytes give its box. A file that starts with a
// byte-order mark (UTF-8, UTF-16 LE or BE, as text editors save) is
// converted to GBK with CR LF line breaks; any other file is taken as GBK
// bytes up to the first zero byte.
Text SettingsFileText(std::string_view bytes);

}  // namespace brevane
