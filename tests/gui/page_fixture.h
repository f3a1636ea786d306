// What the offscreen page tests share: the settings resources, a throw-away
// machine, the program's state, the page in a frame of its own with the
// pages' menu, and a record of the modal dialogs it shows.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/window.h"
#include "settings/pages/page_window.h"
#include "settings/settings_state.h"
#include "tests/support/temp_prefix.h"

namespace zvrx::test {

// Makes the offscreen application and loads the settings resources.
::testing::AssertionResult LoadGuiResources(SettingsResources& resources);

class PageFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A frame with the pages' menu, not yet shown; the page's window class and
  // title ("" for none) and its size in pixels.
  platform::ui::Frame& MakeFrame(const char* window_class, const std::string& title, int width,
                                 int height);
  // Builds `page` into the frame and keeps it; its dialog.
  platform::ui::Dialog& CreatePage(std::unique_ptr<Page> page);
  // Asks the page to close with `answers` scripted for what it asks; true
  // when it may go.
  bool CloseAnswering(std::vector<std::string> answers);
  // The text of the last save question; "" when none came.
  std::string LastQuestion() const;

  TempPrefix prefix_;
  SettingsResources resources_;
  SettingsState state_{resources_};
  platform::ui::FrameEvents frame_events_;
  std::unique_ptr<platform::ui::Frame> frame_;
  std::unique_ptr<Page> page_;
  // The template of every modal dialog shown, in turn, and the text of each
  // save question among them.
  std::vector<int> modals_;
  std::vector<std::string> questions_;
  // Sees each modal dialog before its scripted answer is pressed.
  std::function<void(platform::ui::Dialog&)> on_modal_;
};

}  // namespace zvrx::test
