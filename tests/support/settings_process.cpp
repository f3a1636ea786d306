#include "tests/support/settings_process.h"

#include <optional>

#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx::test {

namespace {

constexpr int kReplyStepMs = 50;

std::vector<std::string> SettingsEnvironment(const std::string& prefix, const std::string& answers,
                                             const std::string& transcript,
                                             const std::string& socket) {
  std::vector<std::string> env =
      OffscreenEnvironment(prefix, prefix + "/xdg-settings", transcript, answers);
  env.push_back("ZVRX_UI_CONTROL=" + socket);
  return env;
}

}  // namespace

SettingsProcess::SettingsProcess(const std::string& prefix, const std::string& answers,
                                 const std::string& name)
    : transcript_(prefix + "/settings-transcript"),
      socket_(prefix + "/settings-control"),
      process_(AppendingOutput({kSettingsProgram},
                               SettingsEnvironment(prefix, answers, transcript_, socket_),
                               prefix + "/" + name + ".out")) {}

bool SettingsProcess::WaitUntilUp(int timeout_ms) {
  return control_.Connect(socket_, timeout_ms) && Control("frames").rfind("ok", 0) == 0;
}

bool SettingsProcess::WaitForReply(const std::string& request, const std::string& part,
                                   int timeout_ms) {
  return WaitUntil([&] { return Control(request).find(part) != std::string::npos; }, timeout_ms,
                   kReplyStepMs);
}

bool SettingsProcess::WaitForTranscript(const std::string& start, int timeout_ms,
                                        std::string* line) const {
  const std::optional<std::string> found = WaitForLine(transcript_, start, timeout_ms);
  if (found && line != nullptr) *line = *found;
  return found.has_value();
}

std::string SettingsProcess::Output() const {
  return process_.Output() + "\ntranscript:\n" + ReadHostFile(transcript_);
}

}  // namespace zvrx::test
