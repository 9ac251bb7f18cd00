// The order of the program's life events and the once-only login start.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/startup.h"

namespace brevane {
namespace {

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() {
    startup.prepare_skin_library = Note("skin library");
    startup.create_window = [this] {
      steps.push_back("window");
      startup.Created();  // the window's created event
    };
    startup.run_event_loop = [this] {
      steps.push_back("loop");
      startup.Activated();
      startup.Activated();
      startup.AboutToBeDestroyed();
    };
    startup.apply_skin = Note("skin");
    startup.show_announcement = Note("announcement");
    startup.load_settings = Note("settings");
    startup.start_login_worker = Note("login");
    startup.end_program = Note("end");
  }
  std::function<void()> Note(std::string step) {
    return [this, step] { steps.push_back(step); };
  }
  Startup startup;
  std::vector<std::string> steps;
};

TEST_F(StartupTest, StepsRunInOrderAndTheLoginStartsOnce) {
  EXPECT_EQ(startup.ProgramStart(), 0);
  EXPECT_EQ(steps, (std::vector<std::string>{"skin library", "window", "skin", "announcement",
                                             "settings", "loop", "login", "end"}));
  EXPECT_TRUE(startup.login_worker_started());
  // After the end nothing more runs.
  startup.Activated();
  startup.Created();
  startup.AboutToBeDestroyed();
  EXPECT_EQ(steps.size(), 8u);
}

TEST(Startup, HooksLeftEmptyDoNothing) {
  Startup startup;
  std::vector<std::string> steps;
  startup.load_settings = [&] { steps.push_back("settings"); };
  EXPECT_EQ(startup.ProgramStart(), 0);
  startup.Created();
  startup.Activated();
  startup.AboutToBeDestroyed();
  EXPECT_EQ(steps, (std::vector<std::string>{"settings"}));
  EXPECT_TRUE(startup.login_worker_started());
}

}  // namespace
}  // namespace brevane
