// The help viewer as a real program: the settings program's Help command
// starts it from the install root (each time a viewer of its own), a start
// without the viewer installed reports nothing, a broken page leaves the
// viewer running with libjpeg's message on its error output, and SIGTERM
// ends it.
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/parse_integer.h"
#include "tests/support/control_requests.h"
#include "tests/support/process_runner.h"
#include "tests/support/settings_process.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;
using test::PauseMs;

const fs::path kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
constexpr int kStepMs = 50;

// Processes running the program file `exe` (a zombie counts as ended).
std::set<pid_t> ProcessesOf(const fs::path& exe) {
  std::set<pid_t> found;
  std::error_code ec;
  const fs::path wanted = fs::weakly_canonical(exe, ec);
  for (const fs::directory_entry& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code link_error;
    const fs::path target = fs::read_symlink(entry.path() / "exe", link_error);
    if (link_error || target != wanted) continue;
    std::ifstream status(entry.path() / "status");
    std::string line;
    bool zombie = false;
    while (std::getline(status, line)) {
      if (line.rfind("State:", 0) == 0) zombie = line.find('Z') != std::string::npos;
    }
    const std::optional<pid_t> pid = platform::ParseInteger<pid_t>(name);
    if (!zombie && pid) found.insert(*pid);
  }
  return found;
}

std::set<pid_t> WaitForProcesses(const fs::path& exe, size_t count, int timeout_ms) {
  std::set<pid_t> found;
  test::WaitUntil(
      [&] {
        found = ProcessesOf(exe);
        return found.size() >= count;
      },
      timeout_ms, kStepMs);
  return found;
}

class HelpViewerE2eTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // Viewers started by the settings program are not the test's children.
    for (pid_t pid : ProcessesOf(Viewer())) kill(pid, SIGKILL);
  }
  fs::path Viewer() const { return fs::path(prefix_.InstallRootHost()) / "ZvrxHelp.exe"; }
  // What the installer puts in place: the program and its pages.
  void InstallViewer() {
    fs::copy_file(kDistribution / "ZvrxHelp.exe", Viewer(), fs::copy_options::overwrite_existing);
    fs::copy(kDistribution / "Help", fs::path(prefix_.InstallRootHost()) / "Help",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  std::vector<std::string> Environment(const std::string& name) {
    return test::OffscreenEnvironment(prefix_.path(), prefix_.path() + "/run-" + name,
                                      prefix_.path() + "/" + name + ".transcript", "");
  }

  test::TempPrefix prefix_;
};

TEST_F(HelpViewerE2eTest, TheDistributionHoldsTheViewerAndElevenBaselinePictures) {
  ASSERT_TRUE(fs::exists(kDistribution / "ZvrxHelp.exe"));
  const char* names[] = {"Zvrxhelp1", "Zvrxhelp2", "Zvrxhelp3", "Zvrxhelp4",
                         "Zvrxhelp5", "Zvrxhelp6", "Zvrxhelp7", "Zvrxhelp8",
                         "Zvrxhelp9", "Zvrxhelp10", "ZvrxLogo"};
  int grey = 0;
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string bytes = test::ReadHostFile((kDistribution / "Help" / name).string());
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8");
    // Baseline: a SOF0 frame, no progressive (SOF2) or extended one.
    const size_t sof0 = bytes.find("\xFF\xC0");
    ASSERT_NE(sof0, std::string::npos);
    EXPECT_EQ(bytes.find("\xFF\xC2"), std::string::npos);
    // The number of components: 1 for a grey page.
    if (static_cast<unsigned char>(bytes.at(sof0 + 9)) == 1) ++grey;
  }
  EXPECT_GE(grey, 1);
}

TEST_F(HelpViewerE2eTest, TheHelpCommandStartsAViewerFromTheInstallRootEachTime) {
  InstallViewer();
  test::SettingsProcess settings(prefix_.path(), "");
  ASSERT_TRUE(settings.WaitUntilUp(20000)) << settings.Output();
  ASSERT_EQ(settings.Control(test::CommandRequest(kMainFrameClass, kCmdHelp)), "ok");
  std::set<pid_t> viewers = WaitForProcesses(Viewer(), 1, 15000);
  ASSERT_EQ(viewers.size(), 1u) << settings.Output();
  const pid_t first = *viewers.begin();
  // Once up, it has made the install root its current folder (it starts
  // in the settings program's).
  const fs::path root = fs::weakly_canonical(prefix_.InstallRootHost());
  fs::path cwd;
  test::WaitUntil(
      [&] {
        std::error_code ec;
        cwd = fs::read_symlink("/proc/" + std::to_string(first) + "/cwd", ec);
        return cwd == root;
      },
      15000, kStepMs);
  EXPECT_EQ(cwd, root);

  // A second Help command: a second viewer beside the first.
  ASSERT_EQ(settings.Control(test::CommandRequest(kMainFrameClass, kCmdHelp)), "ok");
  viewers = WaitForProcesses(Viewer(), 2, 15000);
  EXPECT_EQ(viewers.size(), 2u);
  PauseMs(1000);
  EXPECT_EQ(ProcessesOf(Viewer()).size(), 2u) << "a viewer ended by itself";
  EXPECT_TRUE(settings.Running());
  for (pid_t pid : viewers) kill(pid, SIGTERM);
  EXPECT_TRUE(test::WaitUntil([&] { return ProcessesOf(Viewer()).empty(); }, 10000, kStepMs))
      << "a viewer outlived its SIGTERM";
  EXPECT_EQ(settings.Terminate(), 0);
}

TEST_F(HelpViewerE2eTest, WithoutTheViewerTheHelpCommandReportsNothing) {
  test::SettingsProcess settings(prefix_.path(), "");
  ASSERT_TRUE(settings.WaitUntilUp(20000)) << settings.Output();
  ASSERT_EQ(settings.Control(test::CommandRequest(kMainFrameClass, kCmdHelp)), "ok");
  PauseMs(500);
  EXPECT_TRUE(settings.Running());
  EXPECT_EQ(settings.Control("frames"), "ok ZvrxDlg");
  for (const std::string& line : settings.Transcript()) {
    EXPECT_EQ(line.rfind("dialog", 0), std::string::npos) << line;
  }
  EXPECT_EQ(settings.Terminate(), 0);
}

TEST_F(HelpViewerE2eTest, ABrokenPageIsReportedOnStandardErrorAndTheViewerStays) {
  InstallViewer();
  test::WriteHostFile(prefix_.InstallRootHost() + "/Help/Zvrxhelp1", "not a picture at all");
  const std::string output = prefix_.path() + "/viewer.out";
  test::Process viewer(test::AppendingOutput({Viewer().string()}, Environment("viewer"), output));
  ASSERT_TRUE(viewer.started());
  ASSERT_TRUE(test::WaitForLine(output, "ZvrxHelp: Zvrxhelp1: Not a JPEG file", 15000))
      << viewer.Output();
  PauseMs(500);
  EXPECT_TRUE(viewer.Running());
  EXPECT_EQ(viewer.Terminate(), 0) << viewer.Output();
}

}  // namespace
}  // namespace zvrx
