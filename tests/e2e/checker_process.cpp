#include "tests/e2e/checker_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "platform/clock.h"
#include "shared/record_files.h"
#include "tests/support/temp_prefix.h"

extern char** environ;

namespace zvrx::test {

namespace {

constexpr int kPollMs = 100;  // the settings program's poll timer

bool Overridden(const char* entry) {
  for (const char* name : {"ZVRX_PREFIX=", "QT_QPA_PLATFORM=", "XDG_RUNTIME_DIR=",
                           "ZVRX_UI_TRANSCRIPT=", "ZVRX_UI_ANSWERS="}) {
    if (std::strncmp(entry, name, std::strlen(name)) == 0) return true;
  }
  return false;
}

void Pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace

CheckerProcess::CheckerProcess(const std::string& prefix, const std::string& answers)
    : prefix_(prefix) {
  const std::string runtime = prefix + "/xdg";
  mkdir(runtime.c_str(), 0700);
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!Overridden(*entry)) env.emplace_back(*entry);
  }
  env.push_back("ZVRX_PREFIX=" + prefix);
  env.push_back("QT_QPA_PLATFORM=offscreen");
  env.push_back("XDG_RUNTIME_DIR=" + runtime);
  env.push_back("ZVRX_UI_TRANSCRIPT=" + prefix + "/transcript");
  if (!answers.empty()) env.push_back("ZVRX_UI_ANSWERS=" + answers);
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);

  const std::string output = prefix + "/zvrx.out";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  char* argv[] = {const_cast<char*>(kZvrxProgram), nullptr};
  if (posix_spawn(&pid_, kZvrxProgram, &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
}

CheckerProcess::~CheckerProcess() {
  if (pid_ > 0 && Wait(0) == -1 && status_ == -1) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

int CheckerProcess::Wait(int timeout_ms) {
  if (pid_ <= 0) return -1;
  if (status_ != -1) return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
  for (int waited = 0;; waited += 20) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = status;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (waited >= timeout_ms) return -1;
    Pause(20);
  }
}

int CheckerProcess::Terminate(int timeout_ms) {
  if (pid_ > 0 && status_ == -1) kill(pid_, SIGTERM);
  return Wait(timeout_ms);
}

std::vector<std::string> CheckerProcess::Transcript() const {
  std::vector<std::string> lines;
  std::istringstream text(ReadHostFile(prefix_ + "/transcript"));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

bool CheckerProcess::WaitForTranscript(const std::string& start, int timeout_ms) const {
  for (int waited = 0; waited <= timeout_ms; waited += kPollMs) {
    for (const std::string& line : Transcript()) {
      if (line.rfind(start, 0) == 0) return true;
    }
    Pause(kPollMs);
  }
  return false;
}

std::string CheckerProcess::Output() const { return ReadHostFile(prefix_ + "/zvrx.out"); }

SettingsSide::SettingsSide() : transfer_(records_) {}

void SettingsSide::LoadRecordsFromFiles() {
  LoadBasicSettings(records_.basic);
  LoadNotifyOptions(records_.options);
  LoadJudgmentSettings(records_.judgment);
  LoadMailerSettings(records_.mailer);
}

bool SettingsSide::WaitForBlock(int timeout_ms) {
  for (int waited = 0; waited <= timeout_ms; waited += kPollMs) {
    if (ReadBlock(transfer_)) return true;
    Pause(kPollMs);
  }
  return false;
}

void SettingsSide::Deliver(bool check_now) { SendSettings(transfer_, check_now); }

bool SettingsSide::CollectUntil(const std::string& stop, int timeout_ms) {
  bool seen = false;
  auto display = [&](const TransferHeader& h) {
    std::string post = std::to_string(h.code) + " " + std::to_string(h.p1) + " " +
                       std::to_string(h.p2) + " " + std::to_string(h.p3) + " " +
                       std::to_string(h.p4);
    posts_.push_back(post);
    if (post.rfind(stop, 0) == 0) seen = true;
  };
  const uint64_t end = platform::TickCount() + static_cast<uint64_t>(timeout_ms);
  while (!seen && platform::TickCount() < end) {
    PollBlock(transfer_, display);
    Pause(kPollMs);
  }
  return seen;
}

void SettingsSide::Answer(bool yes) { SendAnswer(transfer_, yes); }

}  // namespace zvrx::test
