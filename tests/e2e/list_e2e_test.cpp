// A rejection list saved on its page in MailZevrox (a real process, driven
// through its control socket) reaches a running ZVRX, which judges the next
// check by it: the sender it names is deleted on a real Dovecot.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "checker/analysis/lists.h"
#include "shared/transfer_settings.h"
#include "tests/e2e/checker_process.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_prefix.h"

extern char** environ;

namespace zvrx {
namespace {

constexpr char kProgram[] = ZVRX_BINARY_DIR "/settings/app/MailZevrox";
const std::string kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
constexpr int kStepMs = 50;
constexpr int kStartMs = 20000;
constexpr int kCheckMs = 60000;  // one check of two messages, on a loaded machine

void Pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string Mail(const std::string& from, const std::string& subject, int n) {
  return "From: " + from + "\r\nTo: taro@example.jp\r\nSubject: " + subject +
         "\r\nDate: Mon, 1 Jan 2024 09:0" + std::to_string(n) +
         ":00 +0900\r\nMessage-ID: <" + std::to_string(n) + "@list.test>\r\n\r\nHello.\r\n";
}

bool Overridden(const char* entry) {
  for (const char* name : {"ZVRX_PREFIX=", "QT_QPA_PLATFORM=", "XDG_RUNTIME_DIR=",
                           "ZVRX_UI_TRANSCRIPT=", "ZVRX_UI_ANSWERS=", "ZVRX_UI_CONTROL="}) {
    if (std::strncmp(entry, name, std::strlen(name)) == 0) return true;
  }
  return false;
}

// MailZevrox offscreen in the test's machine, with its transcript, scripted
// answers and control socket in the prefix; killed if still running.
class SettingsProgram {
 public:
  SettingsProgram(const std::string& prefix, const std::string& answers) : prefix_(prefix) {
    const std::string runtime = prefix + "/xdg-settings";
    mkdir(runtime.c_str(), 0700);
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (!Overridden(*entry)) env.emplace_back(*entry);
    }
    env.push_back("ZVRX_PREFIX=" + prefix);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("XDG_RUNTIME_DIR=" + runtime);
    env.push_back("ZVRX_UI_TRANSCRIPT=" + Transcript());
    env.push_back("ZVRX_UI_ANSWERS=" + answers);
    env.push_back("ZVRX_UI_CONTROL=" + Socket());
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const std::string output = prefix + "/settings.out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    char* argv[] = {const_cast<char*>(kProgram), nullptr};
    if (posix_spawn(&pid_, kProgram, &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~SettingsProgram() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int waited = 0; waited < 5000; waited += kStepMs) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      Pause(kStepMs);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  SettingsProgram(const SettingsProgram&) = delete;
  SettingsProgram& operator=(const SettingsProgram&) = delete;

  std::string Transcript() const { return prefix_ + "/settings-transcript"; }
  std::string Socket() const { return prefix_ + "/control"; }
  std::string Output() const {
    return test::ReadHostFile(prefix_ + "/settings.out") + "\ntranscript:\n" +
           test::ReadHostFile(Transcript());
  }

  // One request line, one reply line; "" when the socket does not answer.
  std::string Control(const std::string& request) const {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, Socket().c_str(), sizeof address.sun_path - 1);
    std::string reply;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      const std::string line = request + "\n";
      if (write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size())) {
        char c;
        while (read(fd, &c, 1) == 1 && c != '\n') reply += c;
      }
    }
    close(fd);
    return reply;
  }

  // Waits until the reply to `request` contains `part`.
  bool WaitForReply(const std::string& request, const std::string& part, int timeout_ms) const {
    for (int waited = 0; waited <= timeout_ms; waited += kStepMs) {
      if (Control(request).find(part) != std::string::npos) return true;
      Pause(kStepMs);
    }
    return false;
  }

  bool WaitForTranscript(const std::string& start, int timeout_ms) const {
    for (int waited = 0; waited <= timeout_ms; waited += kStepMs) {
      std::istringstream text(test::ReadHostFile(Transcript()));
      for (std::string line; std::getline(text, line);) {
        if (line.rfind(start, 0) == 0) return true;
      }
      Pause(kStepMs);
    }
    return false;
  }

 private:
  std::string prefix_;
  pid_t pid_ = -1;
};

TEST(ListE2eTest, RejectionListSavedOnItsPageJudgesTheRunningCheckersNextCheck) {
  ASSERT_TRUE(std::filesystem::is_directory(kDistribution)) << "build the delivered data first";
  test::TempPrefix prefix;
  test::DovecotServer server;
  const std::string spam = Mail("Offers <offers@bad.test>", "offer", 1);
  const std::string friendly = Mail("Hanako <hanako@good.test>", "lunch", 2);
  ASSERT_TRUE(server.Start({{"taro", "taro-pw", {spam, friendly}}})) << server.error();

  // Manual checks only, judged by the rejection list, and no list yet.
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"init", "--data", kDistribution},
                                             {"level", "0"},
                                             {"mode", "0"},
                                             {"account", "1", server.Account("taro"), "taro-pw"}}) {
    ASSERT_EQ(test::RunZvrxctl(prefix.path(), args).status, 0);
  }
  const std::string list_file = prefix.DataFolderHost() + "/" + kRejectionListName;
  std::filesystem::remove(list_file);

  test::CheckerProcess checker(prefix.path(), "");
  ASSERT_TRUE(checker.started());
  test::SettingsSide side;
  ASSERT_TRUE(side.WaitForBlock(kStartMs)) << checker.Output();

  {
    SettingsProgram program(prefix.path(), "YES");
    ASSERT_TRUE(program.WaitForReply("frames", "ok", kStartMs)) << program.Output();
    ASSERT_EQ(program.Control("command ZvrxDlg 40005"), "ok");
    ASSERT_TRUE(program.WaitForReply("frames", "KyohiList", 5000)) << program.Output();
    EXPECT_EQ(program.Control("type 109 1032 bad.test"), "ok");
    EXPECT_EQ(program.Control("click 109 1040"), "ok");
    EXPECT_EQ(program.Control("close KyohiList"), "ok");
    ASSERT_TRUE(program.WaitForTranscript("dialog 142\t", 5000)) << program.Output();
    ASSERT_TRUE(program.WaitForReply("frames", "ok ZvrxDlg", 5000)) << program.Output();
    EXPECT_EQ(program.Control("frames"), "ok ZvrxDlg");
  }
  EXPECT_EQ(test::ReadHostFile(list_file), "bad.test\r\n");

  // The checker takes the delivery within about a second; only then is the
  // block free for the request to check.
  SettingsRecords records;
  SettingsTransfer probe(records);
  for (int waited = 0; waited < 10000; waited += kStepMs) {
    if (ReadBlock(probe) && probe.handshake_copy == TRAN_IDLE) break;
    Pause(kStepMs);
  }
  ASSERT_EQ(probe.handshake_copy, TRAN_IDLE);
  side.LoadRecordsFromFiles();
  side.Deliver(true);
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs)) << checker.Output();
  EXPECT_EQ(server.RemainingMessages("taro"), std::vector<std::string>{friendly});
  EXPECT_EQ(checker.Terminate(), 0);
}

}  // namespace
}  // namespace zvrx
