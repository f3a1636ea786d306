// MailZevrox as a real process in a test's emulated machine, offscreen,
// driven through its control socket; its files sit in the prefix beside
// the checker's, so both can run at once.
#pragma once

#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/ui_control.h"

namespace zvrx::test {

inline constexpr char kSettingsProgram[] = ZVRX_BINARY_DIR "/settings/app/MailZevrox";

class SettingsProcess {
 public:
  // Starts MailZevrox in `prefix` (a host folder) with `answers` as its
  // scripted answers ("" for none); its output goes to "<name>.out" in the
  // prefix, so that a second copy keeps its own. Ended by SIGTERM, then
  // SIGKILL, if it still runs at the end.
  SettingsProcess(const std::string& prefix, const std::string& answers,
                  const std::string& name = "settings");

  bool started() const { return process_.started(); }
  // The exit status, or -1 while it still runs after `timeout_ms`.
  int Wait(int timeout_ms) { return process_.Wait(timeout_ms); }
  bool Running() { return process_.Running(); }
  void Signal(int number) { process_.Signal(number); }
  // SIGTERM, then Wait.
  int Terminate(int timeout_ms = 10000) { return process_.Terminate(timeout_ms); }

  // Up once its control socket takes a connection and answers "frames".
  bool WaitUntilUp(int timeout_ms);
  // One request over the connection WaitUntilUp made, its reply without the
  // line feed; "error connection" when there is none.
  std::string Control(const std::string& request) { return control_.Request(request); }
  // Asks `request` again until the reply contains `part`.
  bool WaitForReply(const std::string& request, const std::string& part, int timeout_ms);

  const std::string& socket() const { return socket_; }
  const std::string& transcript_path() const { return transcript_; }
  std::vector<std::string> Transcript() const { return ReadLines(transcript_); }
  // Waits for a transcript line that starts with `start`; the whole line
  // into `line` when given.
  bool WaitForTranscript(const std::string& start, int timeout_ms,
                         std::string* line = nullptr) const;
  // Its output and transcript, for failure messages.
  std::string Output() const;

 private:
  std::string transcript_;
  std::string socket_;
  Process process_;
  UiControl control_;
};

}  // namespace zvrx::test
