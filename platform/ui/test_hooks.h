// The window layer's test hooks, taken from the environment once, when the
// application object is made (or at first use in a program without one):
//   ZVRX_UI_CONTROL     a socket path; tests and tools drive the windows
//                       through it (control_channel.h)
//   ZVRX_UI_TRANSCRIPT  a file; every modal dialog shown appends one line
//   ZVRX_UI_ANSWERS     comma-separated answers pressed in turn instead of
//                       waiting for a person (transcript.h)
//   ZVRX_UI_GRAB_DIR    a folder; a picture of every modal dialog goes there
// A variable that is empty counts as not set. Without them nothing changes.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zvrx::platform::ui {

inline constexpr char kControlVariable[] = "ZVRX_UI_CONTROL";
inline constexpr char kTranscriptVariable[] = "ZVRX_UI_TRANSCRIPT";
inline constexpr char kAnswersVariable[] = "ZVRX_UI_ANSWERS";
inline constexpr char kGrabFolderVariable[] = "ZVRX_UI_GRAB_DIR";

struct TestHooks {
  std::string control_socket;
  std::string transcript;
  std::string answers;
  std::string grab_folder;
};

// Reads the environment again; the application's constructor calls it.
void ReadTestHooks();

// The hooks in force. Safe from any thread once read; changed only on the
// main thread while no dialog is up.
const TestHooks& CurrentTestHooks();

// For tests that show windows in their own process: the transcript and
// grab folder from now on (scripted answers: SetScriptedAnswers).
void SetTestHooks(TestHooks hooks);

// The control socket, the answers and the grab folder belong to the program
// they were given to. A program that starts another one of the suite calls
// this first, so that the child neither takes over the control socket nor
// presses the parent's answers. The transcript is kept: children append to
// it. This program keeps its own hooks.
void KeepTestChannelsFromChildren();

// For a program that goes on after starting a child (the settings program
// starting the help viewer): the channels are out of the environment while
// this object lives and back afterwards. Start the child inside its scope.
class TestChannelsHiddenFromChildren {
 public:
  TestChannelsHiddenFromChildren();
  ~TestChannelsHiddenFromChildren();
  TestChannelsHiddenFromChildren(const TestChannelsHiddenFromChildren&) = delete;
  TestChannelsHiddenFromChildren& operator=(const TestChannelsHiddenFromChildren&) = delete;

 private:
  std::vector<std::optional<std::string>> saved_;  // one per channel, none when unset
};

}  // namespace zvrx::platform::ui
