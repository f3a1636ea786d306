// The window layer's test channels (ZVRX_UI_CONTROL, ZVRX_UI_ANSWERS,
// ZVRX_UI_GRAB_DIR) belong to the program they were given to. A program
// that starts another one of the suite keeps them from the child, so that
// the child neither takes over the control socket nor presses the parent's
// answers. The transcript (ZVRX_UI_TRANSCRIPT) is kept: children append to it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zvrx::platform::ui {

// For a program that starts the others on its way out (the installer):
// the channels leave its environment for good.
void KeepTestChannelsFromChildren();

// For a program that goes on after starting a child: the channels are out
// of the environment while this object lives, and back afterwards for the
// program's own later use. Start the child inside its scope.
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
