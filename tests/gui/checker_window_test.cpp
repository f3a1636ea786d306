// The notification icon's double-click: without Ctrl it starts the settings
// program from the install root, every time; with Ctrl the checker ends.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "checker/app/checker_window.h"
#include "checker/app/shutdown_clock.h"
#include "checker/core/checker_state.h"
#include "platform/clock.h"
#include "tests/gui/gui_application.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

TEST(CheckerWindowTest, DoubleClickStartsTheSettingsProgramAndCtrlEndsTheChecker) {
  platform::ui::Application& app = test::GuiApplication();
  test::TempPrefix prefix;
  const std::string started = prefix.path() + "/settings-started";
  const std::string program = prefix.InstallRootHost() + "/MailZevrox";
  test::WriteHostFile(program, "#!/bin/sh\necho x >> '" + started + "'\n");
  chmod(program.c_str(), 0755);

  CheckerState state;
  ShutdownClock clock;
  CheckerWindow window(state, clock);
  window.OnIconDoubleClick(false);
  window.OnIconDoubleClick(false);
  test::WaitUntil([&] { return test::ReadHostFile(started).size() >= 4; }, 5000, 50);
  EXPECT_EQ(test::ReadHostFile(started), "x\nx\n") << "one start per double-click";
  EXPECT_FALSE(state.stop);

  window.OnIconDoubleClick(true);
  EXPECT_TRUE(state.stop);
  // The end interrupts the worker's sleeps at once.
  const auto before = std::chrono::steady_clock::now();
  clock.Sleep(5000);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
  EXPECT_EQ(app.Run(), 0) << "the message loop ends";
  EXPECT_EQ(window.Finish(0), 0);
}

}  // namespace
}  // namespace zvrx
