// MailZevrox as a real process in a throw-away machine: one copy at a time,
// SIGTERM, and the message dialogs as the transcript records them, driven
// through the program's control socket.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/instance_lock.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/ui_control.h"

extern char** environ;

namespace zvrx {
namespace {

constexpr char kProgram[] = ZVRX_BINARY_DIR "/settings/app/MailZevrox";
constexpr char kFakeChecker[] = ZVRX_BINARY_DIR "/tests/fake_checker";
constexpr int kStepMs = 50;

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

// A child process with its output in a file; killed if still running at the end.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env,
        const std::string& output) : output_(output) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (!Overridden(*entry)) env.emplace_back(*entry);
    }
    env.insert(env.end(), extra_env.begin(), extra_env.end());
    std::vector<char*> envp, args;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> argv_copy = argv;
    for (std::string& arg : argv_copy) args.push_back(arg.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // The exit code, or -1 while it runs after `timeout_ms` (or after a signal).
  int Wait(int timeout_ms) {
    for (int waited = 0; pid_ > 0; waited += kStepMs) {
      if (ended_) return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
      if (waitpid(pid_, &status_, WNOHANG) == pid_) {
        ended_ = true;
        continue;
      }
      if (waited >= timeout_ms) return -1;
      Pause(kStepMs);
    }
    return -1;
  }
  bool Running() { return Wait(0) == -1 && !ended_; }
  void Signal(int number) { kill(pid_, number); }
  std::string Output() const { return test::ReadHostFile(output_); }

 private:
  std::string output_;
  pid_t pid_ = -1;
  int status_ = 0;
  bool ended_ = false;
};

class SettingsProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { NewMachine(); }

  // A fresh machine; the old one goes first, as it restores the prefix it replaced.
  void NewMachine() {
    prefix_.reset();
    prefix_ = std::make_unique<test::TempPrefix>();
    runtime_ = Path() + "/xdg";
    mkdir(runtime_.c_str(), 0700);
  }
  const std::string& Path() const { return prefix_->path(); }

  std::unique_ptr<Child> Start(const std::string& answers, const std::string& name = "program") {
    return std::make_unique<Child>(
        std::vector<std::string>{kProgram},
        std::vector<std::string>{"ZVRX_PREFIX=" + Path(), "QT_QPA_PLATFORM=offscreen",
                                 "XDG_RUNTIME_DIR=" + runtime_,
                                 "ZVRX_UI_TRANSCRIPT=" + Transcript(),
                                 "ZVRX_UI_ANSWERS=" + answers, "ZVRX_UI_CONTROL=" + Socket()},
        Path() + "/" + name + ".out");
  }
  std::string Transcript() const { return Path() + "/transcript"; }
  std::string Socket() const { return Path() + "/control"; }

  // Up once its control socket answers; a new connection for each program.
  bool WaitUntilUp(int timeout_ms) {
    control_ = std::make_unique<test::UiControl>();
    return control_->Connect(Socket(), timeout_ms) && Control("frames").rfind("ok", 0) == 0;
  }
  std::string Control(const std::string& request) { return control_->Request(request); }

  bool WaitForTranscript(const std::string& start, int timeout_ms) {
    for (int waited = 0; waited <= timeout_ms; waited += kStepMs) {
      std::istringstream text(test::ReadHostFile(Transcript()));
      for (std::string line; std::getline(text, line);) {
        if (line.rfind(start, 0) == 0) {
          found_ = line;
          return true;
        }
      }
      Pause(kStepMs);
    }
    return false;
  }

  std::unique_ptr<test::TempPrefix> prefix_;
  std::string runtime_;
  std::string found_;
  std::unique_ptr<test::UiControl> control_;
};

TEST_F(SettingsProgramTest, ASecondCopyEndsAtOnceAndSigtermEndsTheFirst) {
  auto first = Start("");
  ASSERT_TRUE(WaitUntilUp(20000)) << first->Output();
  EXPECT_TRUE(platform::InstanceLock::IsHeld("ZvrxDlg", "Mail Zevrox"));

  auto second = Start("", "second");
  EXPECT_EQ(second->Wait(5000), 0) << second->Output();
  EXPECT_TRUE(first->Running());
  EXPECT_EQ(Control("frames"), "ok ZvrxDlg");

  first->Signal(SIGTERM);
  EXPECT_EQ(first->Wait(10000), 0) << first->Output();
  EXPECT_FALSE(platform::InstanceLock::IsHeld("ZvrxDlg", "Mail Zevrox"));
}

TEST_F(SettingsProgramTest, FirstTypingIntoAnEmptyMachineShowsTheNotice) {
  auto program = Start("OK");
  ASSERT_TRUE(WaitUntilUp(20000)) << program->Output();
  EXPECT_EQ(Control("type 101 1002 x"), "ok");
  ASSERT_TRUE(WaitForTranscript("dialog 116\t", 5000));
  // Empty line fields may follow; what shows is the two sentences.
  EXPECT_EQ(found_.rfind("dialog 116\t  Mail Zevrox\t有効なアカウントが設定されていません。\\n"
                         "少なくとも一つは設定して下さい。", 0),
            0u)
      << found_;
  // Only once per run.
  EXPECT_EQ(Control("type 101 1002 xy"), "ok");
  EXPECT_EQ(Control("text 101 1002"), "ok xy");
  program->Signal(SIGTERM);
  EXPECT_EQ(program->Wait(10000), 0);
  EXPECT_EQ(test::ReadHostFile(Transcript()).find("dialog 116", found_.size()), std::string::npos);
}

TEST_F(SettingsProgramTest, SigtermEndsItWhileADialogWaitsForAnAnswer) {
  auto program = Start("");  // nobody answers the notice
  ASSERT_TRUE(WaitUntilUp(20000)) << program->Output();
  // The request's reply comes only when the dialog has gone: do not wait for it.
  std::thread typing([this] {
    test::UiControl own;
    if (own.Connect(Socket(), 5000)) own.Request("type 101 1002 x");
  });
  const bool shown = WaitForTranscript("dialog 116\t", 5000);
  program->Signal(SIGTERM);
  EXPECT_EQ(program->Wait(10000), 0) << program->Output();
  typing.join();
  EXPECT_TRUE(shown);
}

// "検査" with a stored account; a stand-in checker answers with a report.
TEST_F(SettingsProgramTest, CheckerReportsShowInTheirDialogs) {
  struct {
    const char* rule;
    std::vector<std::string> report;  // code p1 p2 p3 p4
    const char* answers;
    const char* dialog;
    const char* shown;        // part of the transcript line
    const char* checker_says; // "" when the checker waits for nothing
  } cases[] = {
      {"no usable account: string 130 in the one-button dialog", {"130", "0", "0", "0", "0"}, "OK",
       "dialog 140\t", "\t有効なアカウントが設定されていません。\\n少なくとも１つは設定して下さい。",
       ""},
      {"new mail after a manual check: examined 5, deleted 2, three new; yes starts the mailer",
       {"210", "0", "3", "5", "2"}, "YES", "dialog 141\t",
       "検査したメール数 ： 5\\n削除したメール数 ： 2\\n3通の新しいメール", "answer yes"},
      {"the same answered no", {"210", "0", "3", "5", "2"}, "NO", "dialog 141\t",
       "メールソフトを起動しますか？", "answer no"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    NewMachine();
    ASSERT_EQ(test::RunZvrxctl(Path(), {"account", "1", "demo@127.0.0.1", "pw"}).status, 0);
    std::vector<std::string> args{kFakeChecker, Path(), "60"};
    args.insert(args.end(), c.report.begin(), c.report.end());
    Child checker(args, {}, Path() + "/checker.out");
    for (int waited = 0; waited < 5000 && checker.Output().find("ready") == std::string::npos;
         waited += kStepMs) {
      Pause(kStepMs);
    }
    auto program = Start(c.answers);
    ASSERT_TRUE(WaitUntilUp(20000)) << program->Output();
    EXPECT_EQ(Control("click 101 1030"), "ok");
    ASSERT_TRUE(WaitForTranscript(c.dialog, 15000)) << checker.Output();
    EXPECT_NE(found_.find(c.shown), std::string::npos) << found_;
    if (*c.checker_says != '\0') {
      for (int waited = 0; waited < 10000 && checker.Output().find("answer") == std::string::npos;
           waited += kStepMs) {
        Pause(kStepMs);
      }
      EXPECT_NE(checker.Output().find(c.checker_says), std::string::npos) << checker.Output();
    }
    program->Signal(SIGTERM);
    EXPECT_EQ(program->Wait(10000), 0);
  }
}

}  // namespace
}  // namespace zvrx
