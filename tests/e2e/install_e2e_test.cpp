// Install as a real process, offscreen, against fresh machines: it is run
// from the build folder (which holds "Installer Resources"), agreed to,
// driven through its control socket and its scripted answers, and what it
// leaves behind is looked at on the host: the installed files, the startup
// copy, the desktop's autostart entry, and the real checker and settings
// program it starts on Exit and stops on removal.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/autostart.h"
#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/process_list.h"
#include "tests/support/control_requests.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/ui_control.h"
#include "tests/support/wait_until.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;
using test::PauseMs;

constexpr char kInstall[] = ZVRX_BINARY_DIR "/Install";
constexpr char kBuildFolder[] = ZVRX_BINARY_DIR;
constexpr int kUpMs = 20000;
constexpr int kSuiteMs = 40000;  // the checker loads its dictionaries first
constexpr char kStartupCopy[] = "drive_c/WINDOWS/ｽﾀｰﾄ ﾒﾆｭｰ/ﾌﾟﾛｸﾞﾗﾑ/ｽﾀｰﾄｱｯﾌﾟ/Zvrx.exe";

// UTF-8 as the control socket answers: status texts of the main dialog.
constexpr char kInstalledText[] = "インストールが完了しました";
constexpr char kRemovedText[] = "の削除が完了しました";
constexpr char kAlreadyText[] = "はすでにインストールされています";

// One run of Install in the machine at `prefix`, started in `folder`.
class InstallRun {
 public:
  InstallRun(const std::string& prefix, const std::string& answers,
             const std::string& folder = kBuildFolder)
      : socket_(prefix + "/install-control"),
        transcript_(prefix + "/transcript"),
        process_(Setup(prefix, answers, folder)) {}

  bool Up() { return control_.Connect(socket_, kUpMs); }
  std::string Control(const std::string& request) { return control_.Request(request); }
  // Asks for the status text until it holds `part`.
  bool WaitForStatus(const std::string& part, int timeout_ms) {
    return test::WaitUntil(
        [&] {
          return Control(test::TextRequest(kMainDialog, kMainStatus)).find(part) !=
                 std::string::npos;
        },
        timeout_ms, 50);
  }
  int Wait(int timeout_ms) { return process_.Wait(timeout_ms); }
  std::string Output() const {
    return process_.Output() + "\ntranscript:\n" + test::ReadHostFile(transcript_);
  }

 private:
  test::ProcessSetup Setup(const std::string& prefix, const std::string& answers,
                           const std::string& folder) {
    std::vector<std::string> env =
        test::OffscreenEnvironment(prefix, prefix + "/xdg-runtime", transcript_, answers);
    env.push_back("ZVRX_UI_CONTROL=" + socket_);
    test::ProcessSetup setup = test::AppendingOutput({kInstall}, env, prefix + "/install.out");
    setup.working_folder = folder;
    return setup;
  }

  std::string socket_;
  std::string transcript_;
  test::Process process_;
  test::UiControl control_;
};

// The suite's programs running in the machine at `prefix`, by module name.
std::vector<std::string> RunningIn(const std::string& prefix) {
  const std::string before = platform::Prefix();
  platform::SetPrefix(prefix);
  std::vector<std::string> names;
  for (const platform::RunningProgram& program : platform::ProgramsOfThisMachine()) {
    names.push_back(program.module_name);
  }
  platform::SetPrefix(before);
  return names;
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& n : names) {
    if (n == name) return true;
  }
  return false;
}

bool WaitForSuite(const std::string& prefix, bool running, int timeout_ms) {
  return test::WaitUntil(
      [&] {
        const std::vector<std::string> names = RunningIn(prefix);
        const bool both = Has(names, "ZVRX.EXE") && Has(names, "MAILZEVROX.EXE");
        return running ? both : names.empty();
      },
      timeout_ms, 100);
}

void StopEverythingIn(const std::string& prefix) {
  const std::string before = platform::Prefix();
  platform::SetPrefix(prefix);
  for (const platform::RunningProgram& program : platform::ProgramsOfThisMachine()) {
    platform::StopProcess(program.pid, 500);
  }
  platform::SetPrefix(before);
}

std::string AutostartEntryOf(const std::string& prefix) {
  const std::string before = platform::Prefix();
  platform::SetPrefix(prefix);
  const std::string path = platform::AutostartEntryPath();
  platform::SetPrefix(before);
  return path;
}

bool Runnable(const std::string& host) {
  struct stat info;
  return stat(host.c_str(), &info) == 0 && (info.st_mode & 0100) != 0;
}

class InstallE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    // Fresh machines: nothing of C: exists before the installer runs.
    fs::remove_all(first_.path() + "/drive_c");
    fs::remove_all(second_.path() + "/drive_c");
    config_ = first_.path() + "/config";
    setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  }
  void TearDown() override {
    StopEverythingIn(first_.path());
    StopEverythingIn(second_.path());
    unsetenv("XDG_CONFIG_HOME");
  }

  std::string Root(const test::TempPrefix& machine) const { return machine.InstallRootHost() + "/"; }

  // Agrees, installs and checks the status; Exit left to the caller.
  void AgreeAndInstall(InstallRun& run, long* install_ms = nullptr) {
    ASSERT_TRUE(run.Up()) << run.Output();
    ASSERT_EQ(run.Control(test::ClickRequest(kLicenceDialog, kLicenceAgree)), "ok");
    ASSERT_TRUE(run.WaitForStatus("Install", kUpMs)) << run.Output();  // message 14
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(run.Control(test::ClickRequest(kMainDialog, kMainInstall)), "ok");
    ASSERT_TRUE(run.WaitForStatus(kInstalledText, kUpMs)) << run.Output();
    if (install_ms != nullptr) {
      *install_ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start)
                                          .count());
    }
    EXPECT_EQ(run.Control(test::EnabledRequest(kMainDialog, kMainInstall)), "ok 0");
    EXPECT_EQ(run.Control(test::EnabledRequest(kMainDialog, kMainRemove)), "ok 1");
  }

  // The second prefix is made first, so that the first is the current one.
  test::TempPrefix second_{false};
  test::TempPrefix first_{false};
  std::string config_;
};

TEST_F(InstallE2e, InstallExitStartsTheSuiteAndRemoveStopsItAndLeavesNothing) {
  const std::string machine = first_.path();
  {
    InstallRun run(machine, "");
    long install_ms = 0;
    AgreeAndInstall(run, &install_ms);
    std::printf("installation took %ld ms\n", install_ms);
    RecordProperty("install_ms", static_cast<int>(install_ms));
    // What the build's distribution folder holds is in place.
    EXPECT_TRUE(Runnable(Root(first_) + "MailZevrox.exe"));
    EXPECT_FALSE(fs::exists(Root(first_) + "Zvrx.exe"));
    EXPECT_TRUE(fs::exists(Root(first_) + "Zvrx Staffs/LICENSE"));
    EXPECT_TRUE(fs::exists(Root(first_) + "Zvrx Staffs/Regist"));
    EXPECT_TRUE(fs::exists(Root(first_) + "Zvrx Staffs/kZVj-128"));
    EXPECT_FALSE(fs::is_empty(Root(first_) + "Method"));
    for (const auto& entry : fs::directory_iterator(std::string(kBuildFolder) + "/Installer Resources")) {
      const std::string name = entry.path().filename().string();
      if (entry.is_regular_file() && name != "Zvrx.exe") {
        EXPECT_TRUE(fs::exists(Root(first_) + name)) << name;  // ZvrxHelp.exe once built
      }
    }
    EXPECT_TRUE(Runnable(machine + "/" + kStartupCopy));
    const std::string entry = test::ReadHostFile(AutostartEntryOf(machine));
    EXPECT_NE(entry.find("ZVRX_PREFIX=" + fs::canonical(machine).string()), std::string::npos)
        << entry;
    EXPECT_NE(entry.find("ｽﾀｰﾄｱｯﾌﾟ/Zvrx.exe\""), std::string::npos) << entry;
    EXPECT_TRUE(RunningIn(machine).empty());

    ASSERT_EQ(run.Control(test::ClickRequest(kMainDialog, kMainExit)), "ok");
    EXPECT_EQ(run.Wait(kSuiteMs), 0) << run.Output();
  }
  ASSERT_TRUE(WaitForSuite(machine, true, kSuiteMs)) << test::ReadHostFile(machine + "/transcript");
  // A fresh installation has no basic settings: the checker says so.
  EXPECT_TRUE(test::WaitForLine(machine + "/transcript",
                                "messagebox\tMailZevrox\tMail Zevrox\\n基本設定が行われていません。",
                                kSuiteMs))
      << test::ReadHostFile(machine + "/transcript");

  {
    // Agree, remove, confirm; then leave.
    InstallRun run(machine, "OK,2,OK");
    ASSERT_TRUE(run.Up()) << run.Output();
    ASSERT_TRUE(run.WaitForStatus(kRemovedText, kSuiteMs)) << run.Output();
    EXPECT_EQ(run.Control(test::EnabledRequest(kMainDialog, kMainInstall)), "ok 1");
    EXPECT_EQ(run.Control(test::EnabledRequest(kMainDialog, kMainRemove)), "ok 0");
    EXPECT_TRUE(RunningIn(machine).empty());
    ASSERT_EQ(run.Control(test::ClickRequest(kMainDialog, kMainExit)), "ok");
    EXPECT_EQ(run.Wait(kUpMs), 0) << run.Output();
  }
  EXPECT_FALSE(fs::exists(Root(first_)));
  EXPECT_FALSE(fs::exists(machine + "/" + kStartupCopy));
  EXPECT_FALSE(fs::exists(AutostartEntryOf(machine)));
  PauseMs(500);
  EXPECT_TRUE(RunningIn(machine).empty());  // nothing was started on leaving
}

TEST_F(InstallE2e, InstalledInAnEarlierRunExitNowStartsNothing) {
  const std::string machine = first_.path();
  {
    InstallRun run(machine, "");
    AgreeAndInstall(run);
    // Ended without Exit, as a power cut would.
  }
  {
    InstallRun run(machine, "OK");
    ASSERT_TRUE(run.Up()) << run.Output();
    ASSERT_TRUE(run.WaitForStatus(kAlreadyText, kUpMs)) << run.Output();
    EXPECT_EQ(run.Control(test::EnabledRequest(kMainDialog, kMainInstall)), "ok 0");
    ASSERT_EQ(run.Control(test::ClickRequest(kMainDialog, kMainExit)), "ok");
    EXPECT_EQ(run.Wait(kUpMs), 0) << run.Output();
  }
  PauseMs(1000);
  EXPECT_TRUE(RunningIn(machine).empty());
  EXPECT_TRUE(fs::exists(Root(first_) + "MailZevrox.exe"));
}

TEST_F(InstallE2e, RemoveThenInstallAgainInOneRunStartsTheSuiteOnExit) {
  const std::string machine = first_.path();
  {
    InstallRun run(machine, "");
    AgreeAndInstall(run);
  }
  {
    InstallRun run(machine, "OK,2,OK");
    ASSERT_TRUE(run.Up()) << run.Output();
    ASSERT_TRUE(run.WaitForStatus(kRemovedText, kSuiteMs)) << run.Output();
    EXPECT_FALSE(fs::exists(Root(first_)));
    ASSERT_EQ(run.Control(test::ClickRequest(kMainDialog, kMainInstall)), "ok");
    ASSERT_TRUE(run.WaitForStatus(kInstalledText, kUpMs)) << run.Output();
    ASSERT_EQ(run.Control(test::ClickRequest(kMainDialog, kMainExit)), "ok");
    EXPECT_EQ(run.Wait(kSuiteMs), 0) << run.Output();
  }
  EXPECT_TRUE(WaitForSuite(machine, true, kSuiteMs)) << test::ReadHostFile(machine + "/transcript");
}

TEST_F(InstallE2e, RemoveLeavesTheCheckerOfAnotherPrefixRunning) {
  // The suite installed and started in the second machine.
  {
    InstallRun run(second_.path(), "OK,1000");
    ASSERT_TRUE(run.Up()) << run.Output();
    ASSERT_TRUE(run.WaitForStatus(kInstalledText, kUpMs)) << run.Output();
    ASSERT_EQ(run.Control(test::ClickRequest(kMainDialog, kMainExit)), "ok");
    EXPECT_EQ(run.Wait(kSuiteMs), 0) << run.Output();
  }
  ASSERT_TRUE(WaitForSuite(second_.path(), true, kSuiteMs));
  // Installed in the first (left without Exit), then removed there.
  {
    InstallRun run(first_.path(), "OK,1000");
    ASSERT_TRUE(run.Up()) << run.Output();
    ASSERT_TRUE(run.WaitForStatus(kInstalledText, kUpMs)) << run.Output();
  }
  {
    InstallRun run(first_.path(), "OK,2,OK");
    ASSERT_TRUE(run.Up()) << run.Output();
    ASSERT_TRUE(run.WaitForStatus(kRemovedText, kSuiteMs)) << run.Output();
    ASSERT_EQ(run.Control(test::ClickRequest(kMainDialog, kMainExit)), "ok");
    EXPECT_EQ(run.Wait(kUpMs), 0) << run.Output();
  }
  const std::vector<std::string> other = RunningIn(second_.path());
  EXPECT_TRUE(Has(other, "ZVRX.EXE"));
  EXPECT_TRUE(Has(other, "MAILZEVROX.EXE"));
  EXPECT_TRUE(fs::exists(Root(second_) + "MailZevrox.exe"));
  EXPECT_FALSE(fs::exists(Root(first_)));
}

// A checker that ends at once never makes its block: the settings program
// is started without waiting out the bound. The medium is the build's
// settings program and a checker that only exits.
TEST_F(InstallE2e, ACheckerThatEndsAtOnceDoesNotHoldUpTheSettingsProgram) {
  const std::string medium = first_.path() + "/medium";
  const std::string resources = medium + "/Installer Resources/";
  fs::create_directories(resources + "Zvrx Staffs");
  fs::copy_file(std::string(kBuildFolder) + "/Installer Resources/MailZevrox.exe",
                resources + "MailZevrox.exe");
  test::WriteHostFile(resources + "Zvrx.exe", "#!/bin/sh\nexit 0\n");
  fs::permissions(resources + "Zvrx.exe", fs::perms(0755));
  test::WriteHostFile(resources + "Zvrx Staffs/LICENSE", "licence");

  InstallRun run(first_.path(), "OK,1000", medium);
  ASSERT_TRUE(run.Up()) << run.Output();
  ASSERT_TRUE(run.WaitForStatus(kInstalledText, kUpMs)) << run.Output();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(run.Control(test::ClickRequest(kMainDialog, kMainExit)), "ok");
  EXPECT_EQ(run.Wait(kSuiteMs), 0) << run.Output();
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  EXPECT_LT(waited.count(), 10000);  // far below the 30 tests of a second
  // The startup copy kept its execute bit, or it would not have run at all.
  EXPECT_TRUE(Runnable(first_.path() + "/" + kStartupCopy));
  EXPECT_TRUE(test::WaitUntil([&] { return Has(RunningIn(first_.path()), "MAILZEVROX.EXE"); },
                              kSuiteMs, 100));
}

}  // namespace
}  // namespace zvrx
