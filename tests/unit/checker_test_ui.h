// A CheckerUi and notification actions that record what the checker asked
// for, in order, for the checker's unit tests.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "checker/core/checker_state.h"
#include "platform/cp932.h"

namespace zvrx::test {

class RecordingUi : public CheckerUi {
 public:
  explicit RecordingUi(std::vector<std::string>& events) : events_(events) {}
  void ShowFatalMessage(std::string_view text) override {
    events_.push_back("fatal:" + platform::Cp932ToUtf8(text));
  }
  void ShowReportDialog(std::string_view text) override {
    events_.push_back("dialog:" + platform::Cp932ToUtf8(text));
  }
  std::string PickMailProgram(std::string_view start_folder) override {
    events_.push_back("pick:" + std::string(start_folder));
    return picked;
  }
  void RequestQuit() override { events_.push_back("quit"); }

  std::string picked;  // what the file dialog returns

 private:
  std::vector<std::string>& events_;
};

// Sound and program start as events; each start returns the next of
// `start_results` (a pid, or -1 for a failure), 100 when none is left.
struct RecordingActions {
  explicit RecordingActions(std::vector<std::string>& events) : events_(events) {}

  CheckerActions Make() {
    CheckerActions actions;
    actions.play_sound = [this] { events_.push_back("sound"); };
    actions.start_program = [this](std::string_view line, std::string_view folder) {
      events_.push_back("start:" + std::string(line) + "|" + std::string(folder));
      if (start_results.empty()) return 100;
      int result = start_results.front();
      start_results.pop_front();
      return result;
    };
    return actions;
  }

  std::deque<int> start_results;

 private:
  std::vector<std::string>& events_;
};

}  // namespace zvrx::test
