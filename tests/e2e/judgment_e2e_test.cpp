// A dictionary switched off on the judgment page of the real MailZevrox is
// dropped by a ZVRX that is already running: the page's delivery carries
// the language-options changed flag, and the next check keeps the mail only
// that dictionary caught.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "shared/records.h"
#include "shared/transfer_settings.h"
#include "tests/e2e/checker_process.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/ui_control.h"

extern char** environ;

namespace zvrx {
namespace {

namespace fs = std::filesystem;

constexpr char kSettingsProgram[] = ZVRX_BINARY_DIR "/settings/app/MailZevrox";
const std::string kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
const std::string kPharmacySpam = ZVRX_SOURCE_DIR "/tests/corpus/en-spam-13.eml";
constexpr int kStepMs = 50;
constexpr int kStartMs = 20000;
constexpr int kCheckMs = 60000;

void Pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool Overridden(const char* entry) {
  for (const char* name : {"ZVRX_PREFIX=", "QT_QPA_PLATFORM=", "XDG_RUNTIME_DIR=",
                           "ZVRX_UI_TRANSCRIPT=", "ZVRX_UI_ANSWERS=", "ZVRX_UI_CONTROL="}) {
    if (std::strncmp(entry, name, std::strlen(name)) == 0) return true;
  }
  return false;
}

// MailZevrox offscreen in the test's machine, driven through its control
// socket, with its own transcript and scripted answers.
class SettingsProgram {
 public:
  SettingsProgram(const std::string& prefix, const std::string& answers)
      : socket_(prefix + "/control"), transcript_(prefix + "/settings-transcript"),
        output_(prefix + "/settings.out") {
    const std::string runtime = prefix + "/xdg-settings";
    mkdir(runtime.c_str(), 0700);
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (!Overridden(*entry)) env.emplace_back(*entry);
    }
    for (std::string entry : {"ZVRX_PREFIX=" + prefix, std::string("QT_QPA_PLATFORM=offscreen"),
                              "XDG_RUNTIME_DIR=" + runtime, "ZVRX_UI_TRANSCRIPT=" + transcript_,
                              "ZVRX_UI_ANSWERS=" + answers, "ZVRX_UI_CONTROL=" + socket_}) {
      env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output_.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    char* argv[] = {const_cast<char*>(kSettingsProgram), nullptr};
    if (posix_spawn(&pid_, kSettingsProgram, &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~SettingsProgram() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // Connects to the control socket once the program listens.
  bool WaitUntilUp(int timeout_ms) { return control_.Connect(socket_, timeout_ms); }
  std::string Control(const std::string& request) { return control_.Request(request); }

  bool WaitForTranscript(const std::string& start, int timeout_ms) const {
    for (int waited = 0; waited <= timeout_ms; waited += kStepMs) {
      std::istringstream text(test::ReadHostFile(transcript_));
      for (std::string line; std::getline(text, line);) {
        if (line.rfind(start, 0) == 0) return true;
      }
      Pause(kStepMs);
    }
    return false;
  }

  // SIGTERM; the exit code, -1 when it did not end in time.
  int Terminate(int timeout_ms) {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    for (int waited = 0; waited <= timeout_ms; waited += kStepMs) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      Pause(kStepMs);
    }
    return -1;
  }

  std::string Output() const { return test::ReadHostFile(output_); }

 private:
  std::string socket_, transcript_, output_;
  pid_t pid_ = -1;
  test::UiControl control_;
};

// The block is free again once the checker took the last delivery.
bool WaitForIdleBlock(int timeout_ms) {
  SettingsRecords records;
  SettingsTransfer transfer(records);
  for (int waited = 0; waited <= timeout_ms; waited += kStepMs) {
    if (ReadBlock(transfer) && transfer.local.code == TRAN_IDLE) return true;
    Pause(kStepMs);
  }
  return false;
}

TEST(JudgmentE2eTest, DictionarySwitchedOffOnThePageIsDroppedByTheRunningChecker) {
  ASSERT_TRUE(fs::is_directory(kDistribution)) << "build the delivered data first";
  test::TempPrefix prefix;
  test::DovecotServer server;
  ASSERT_TRUE(server.Start({{"taro", "taro-pw", {test::ReadHostFile(kPharmacySpam)}}}))
      << server.error();

  const std::string& root = prefix.path();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"init", "--data", kDistribution}, {"level", "1"}, {"mode", "0"},
        {"options", "0x0000"}, {"account", "1", server.Account("taro"), "taro-pw"}}) {
    ASSERT_EQ(test::RunZvrxctl(root, args).status, 0) << args[0];
  }
  // Two dictionaries, so that both stand in the page's first boxes: the
  // Japanese phishing one and the English pharmacy one that catches the mail.
  const fs::path method = prefix.InstallRootHost() + "/Method";
  for (const auto& entry : fs::directory_iterator(method)) {
    const std::string name = entry.path().filename().string();
    const bool kept = name.find("1jp_phish") != std::string::npos ||
                      name.find("7en_pharm") != std::string::npos;
    if (!kept) fs::remove(entry.path());
  }
  const test::ProgramRun judged = test::RunZvrxctl(root, {"judge", kPharmacySpam});
  ASSERT_NE(judged.out.find("\tdelete\t"), std::string::npos) << "precondition: " << judged.out;

  test::CheckerProcess checker(root, "");
  ASSERT_TRUE(checker.started());
  ASSERT_TRUE(WaitForIdleBlock(kStartMs)) << checker.Output();

  {
    SettingsProgram settings(root, "YES");
    ASSERT_TRUE(settings.WaitUntilUp(kStartMs)) << settings.Output();
    ASSERT_EQ(settings.Control("command ZvrxDlg 40002"), "ok");
    ASSERT_EQ(settings.Control("text 106 1049"), "ok 7en_pharm");
    ASSERT_EQ(settings.Control("click 106 1049"), "ok");
    ASSERT_EQ(settings.Control("close HanteiJoken"), "ok");
    ASSERT_TRUE(settings.WaitForTranscript("dialog 142\t", 10000)) << settings.Output();
    EXPECT_EQ(settings.Control("frames"), "ok ZvrxDlg");
    // The checker takes the delivery between checks, about once a second.
    ASSERT_TRUE(WaitForIdleBlock(10000));
    EXPECT_EQ(settings.Terminate(10000), 0) << settings.Output();
  }

  // A check request carrying the saved records, whose flag is 0: only the
  // page's own delivery can have told the checker to reload.
  test::SettingsSide side;
  side.LoadRecordsFromFiles();
  EXPECT_STREQ(side.records().judgment.disabled_dictionaries[0], "7en_pharm");
  EXPECT_EQ(side.records().judgment.languages_changed, 0);
  side.Deliver(true);
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs)) << checker.Output();
  EXPECT_EQ(server.RemainingMessages("taro"),
            std::vector<std::string>{test::ReadHostFile(kPharmacySpam)})
      << ::testing::PrintToString(side.posts());
  EXPECT_EQ(checker.Terminate(), 0);
}

}  // namespace
}  // namespace zvrx
