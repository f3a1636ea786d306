// The test support's process runner: what every end-to-end test relies on.
// A program sees only the environment the test made, its output lands where
// asked, Wait tells a running program from an ended one, and a runner that
// goes out of scope leaves no process behind.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

class ProcessRunnerTest : public ::testing::Test {
 protected:
  test::ProcessSetup Shell(const std::string& script) {
    return test::AppendingOutput({"/bin/sh", "-c", script}, {"EXTRA=given"}, Out());
  }
  std::string Out() const { return prefix_.path() + "/out"; }

  test::TempPrefix prefix_{false};
};

TEST_F(ProcessRunnerTest, TheEnvironmentIsTheTestsOwnWithoutWhatTheProgramsRead) {
  setenv("ZVRX_PREFIX", "/from/the/shell", 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("UNRELATED_SETTING", "kept", 1);
  {
    test::Process process(
        Shell("echo \"[$ZVRX_PREFIX][$QT_QPA_PLATFORM][$UNRELATED_SETTING][$EXTRA]\""));
    EXPECT_EQ(process.Wait(10000), 0);
  }
  EXPECT_EQ(test::ReadHostFile(Out()), "[][][kept][given]\n");

  // RunProgram passes the whole environment on, as a shell would.
  const test::ProgramRun run =
      test::RunProgram("/bin/sh", {"-c", "echo \"[$ZVRX_PREFIX]\"; echo oops >&2; exit 3"},
                       prefix_.path());
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out, "[/from/the/shell]\n");
  EXPECT_EQ(run.err, "oops\n");
  unsetenv("ZVRX_PREFIX");
  unsetenv("QT_QPA_PLATFORM");
  unsetenv("UNRELATED_SETTING");
}

TEST_F(ProcessRunnerTest, WaitTellsRunningFromEndedAndKilled) {
  test::Process sleeper(Shell("exec sleep 30"));
  ASSERT_TRUE(sleeper.started());
  EXPECT_EQ(sleeper.Wait(100), -1);
  EXPECT_TRUE(sleeper.Running());
  sleeper.Kill();
  EXPECT_FALSE(sleeper.Running());
  EXPECT_TRUE(sleeper.Signalled());
  EXPECT_EQ(sleeper.Wait(0), -1);

  test::Process quick(Shell("exit 7"));
  EXPECT_EQ(quick.Wait(10000), 7);
  EXPECT_FALSE(quick.Signalled());

  test::Process missing(test::AppendingOutput({"/no/such/program"}, {}, Out()));
  EXPECT_EQ(missing.Wait(10000), missing.started() ? 127 : -1);
}

TEST_F(ProcessRunnerTest, ARunnerOutOfScopeLeavesNoProcess) {
  pid_t plain = -1;
  pid_t stubborn = -1;
  {
    test::Process process(Shell("exec sleep 30"));
    plain = process.pid();
    // One that ignores SIGTERM is killed after the grace time.
    test::Process deaf(Shell("trap '' TERM; echo ready; while :; do sleep 1; done"));
    stubborn = deaf.pid();
    ASSERT_TRUE(test::WaitUntil(
        [&] { return test::ReadHostFile(Out()).find("ready") != std::string::npos; }, 10000));
  }
  EXPECT_FALSE(fs::exists("/proc/" + std::to_string(plain)));
  EXPECT_FALSE(fs::exists("/proc/" + std::to_string(stubborn)));
}

TEST_F(ProcessRunnerTest, WaitUntilLooksOnceMoreAtTheDeadline) {
  int asked = 0;
  EXPECT_FALSE(test::WaitUntil([&] { return ++asked < 0; }, 0));
  EXPECT_EQ(asked, 2);  // at the start and at the deadline
  asked = 0;
  EXPECT_TRUE(test::WaitUntil([&] { return ++asked == 3; }, 10000, 1));
  EXPECT_EQ(asked, 3);
}

}  // namespace
}  // namespace zvrx
