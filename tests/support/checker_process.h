// ZVRX as a real process in a test's emulated machine, and the settings
// program's side of the transfer block played from the test itself.
#pragma once

#include <string>
#include <vector>

#include "shared/records.h"
#include "shared/transfer_settings.h"
#include "tests/support/process_runner.h"

namespace zvrx::test {

inline constexpr char kZvrxProgram[] = ZVRX_BINARY_DIR "/checker/app/ZVRX";

class CheckerProcess {
 public:
  // Starts ZVRX offscreen in `prefix` (a host folder) with a transcript in
  // the prefix and `answers` as its scripted answers ("" for none).
  // Ended by SIGTERM, then SIGKILL, if it still runs at the end.
  CheckerProcess(const std::string& prefix, const std::string& answers);

  bool started() const { return process_.started(); }
  // Waits for the end; the exit status, or -1 when it still runs after
  // `timeout_ms` (or ended by a signal).
  int Wait(int timeout_ms) { return process_.Wait(timeout_ms); }
  // SIGTERM, then Wait.
  int Terminate(int timeout_ms = 10000) { return process_.Terminate(timeout_ms); }

  // The transcript lines so far, and waiting for one that starts with `start`.
  std::vector<std::string> Transcript() const;
  bool WaitForTranscript(const std::string& start, int timeout_ms) const;
  // stdout and stderr, for failure messages
  std::string Output() const { return process_.Output(); }

 private:
  std::string transcript_;
  Process process_;
};

// The settings program's side: its records as the files hold them, and
// every post of the checker it saw, as "CODE P1 P2 P3 P4".
class SettingsSide {
 public:
  SettingsSide();
  // The four records from the data folder, passwords in plain text.
  void LoadRecordsFromFiles();
  SettingsRecords& records() { return records_; }

  // True once the checker's block can be opened.
  bool WaitForBlock(int timeout_ms);
  // Delivers the records, with or without the request to check now.
  void Deliver(bool check_now);
  // Polls every 100 ms until a post whose text starts with `stop` has been
  // seen (true) or the time ran out (false).
  bool CollectUntil(const std::string& stop, int timeout_ms);
  // Answers the question that follows code 210.
  void Answer(bool yes);

  std::vector<std::string>& posts() { return posts_; }

 private:
  SettingsRecords records_;
  SettingsTransfer transfer_;
  std::vector<std::string> posts_;
};

}  // namespace zvrx::test
