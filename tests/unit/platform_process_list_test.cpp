// The running programs of a machine and stopping them: only this user's
// processes whose program lies under this prefix, matched by module name;
// a polite end first, the hard one when it is ignored; an ended process
// that nobody has reaped yet counts as ended.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/drives.h"
#include "platform/process_list.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx::platform {
namespace {

namespace fs = std::filesystem;

// A copy of sleep(1) at `host`, run for a minute; SIGTERM ignored when asked.
pid_t StartSleeper(const std::string& host, bool ignore_term) {
  fs::create_directories(fs::path(host).parent_path());
  fs::copy_file("/bin/sleep", host, fs::copy_options::overwrite_existing);
  const pid_t pid = fork();
  if (pid == 0) {
    if (ignore_term) signal(SIGTERM, SIG_IGN);
    execl(host.c_str(), "sleeper", "60", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Until the exec is done, the child is still a copy of this test.
  test::WaitUntil(
      [&] {
        char target[4096];
        const ssize_t n =
            readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), target, sizeof target - 1);
        return n > 0 && std::string(target, n) == fs::canonical(host).string();
      },
      2000, 10);
  return pid;
}

bool Listed(int pid, const char* module_name) {
  for (const RunningProgram& program : ProgramsOfThisMachine()) {
    if (program.pid == pid) return program.module_name == module_name;
  }
  return false;
}

long ElapsedMs(std::chrono::steady_clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - since)
                               .count());
}

TEST(PlatformProcessList, OnlyProgramsOfThisMachineAndTheirStop) {
  test::TempPrefix other(false);
  const pid_t elsewhere = StartSleeper(other.path() + "/drive_c/WINDOWS/Zvrx.exe", false);
  test::TempPrefix machine(false);  // the prefix now
  const pid_t polite = StartSleeper(machine.path() + "/drive_c/Program Files/ZVRX/MailZevrox.exe",
                                    false);
  const pid_t stubborn = StartSleeper(machine.path() + "/drive_c/WINDOWS/Zvrx.exe", true);

  EXPECT_TRUE(Listed(polite, "MAILZEVROX.EXE"));
  EXPECT_TRUE(Listed(stubborn, "ZVRX.EXE"));
  EXPECT_FALSE(Listed(elsewhere, "ZVRX.EXE"));
  EXPECT_FALSE(Listed(getpid(), ""));

  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(StopProcess(polite, 500));
  EXPECT_LT(ElapsedMs(start), 450);

  start = std::chrono::steady_clock::now();
  EXPECT_TRUE(StopProcess(stubborn, 500));
  const long took = ElapsedMs(start);
  EXPECT_GE(took, 500);
  EXPECT_LT(took, 1500);

  // Both ended and are not reaped yet: zombies count as ended, and are not listed.
  EXPECT_FALSE(ProcessRunning(polite));
  EXPECT_FALSE(ProcessRunning(stubborn));
  EXPECT_FALSE(Listed(stubborn, "ZVRX.EXE"));
  EXPECT_TRUE(ProcessRunning(elsewhere));
  waitpid(polite, nullptr, 0);
  waitpid(stubborn, nullptr, 0);
  EXPECT_FALSE(ProcessRunning(polite));
  EXPECT_TRUE(StopProcess(polite, 500));  // already gone

  kill(elsewhere, SIGKILL);
  waitpid(elsewhere, nullptr, 0);
}

}  // namespace
}  // namespace zvrx::platform
