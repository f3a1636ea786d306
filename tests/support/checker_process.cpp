#include "tests/support/checker_process.h"

#include "platform/clock.h"
#include "shared/record_files.h"
#include "tests/support/wait_until.h"

namespace zvrx::test {

namespace {

constexpr int kPollMs = 100;  // the settings program's poll timer

}  // namespace

CheckerProcess::CheckerProcess(const std::string& prefix, const std::string& answers)
    : transcript_(prefix + "/transcript"),
      process_(AppendingOutput({kZvrxProgram},
                               OffscreenEnvironment(prefix, prefix + "/xdg", transcript_, answers),
                               prefix + "/zvrx.out")) {}

std::vector<std::string> CheckerProcess::Transcript() const { return ReadLines(transcript_); }

bool CheckerProcess::WaitForTranscript(const std::string& start, int timeout_ms) const {
  return WaitForLine(transcript_, start, timeout_ms).has_value();
}

SettingsSide::SettingsSide() : transfer_(records_) {}

void SettingsSide::LoadRecordsFromFiles() {
  LoadBasicSettings(records_.basic);
  LoadNotifyOptions(records_.options);
  LoadJudgmentSettings(records_.judgment);
  LoadMailerSettings(records_.mailer);
}

bool SettingsSide::WaitForBlock(int timeout_ms) {
  return WaitUntil([&] { return ReadBlock(transfer_); }, timeout_ms, kPollMs);
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
  return WaitUntil(
      [&] {
        PollBlock(transfer_, display);
        return seen;
      },
      timeout_ms, kPollMs);
}

void SettingsSide::Answer(bool yes) { SendAnswer(transfer_, yes); }

}  // namespace zvrx::test
