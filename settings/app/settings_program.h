// The settings program from start-up to its end, without the single-
// instance test and the message loop, so that tests can build the whole
// program in their own process.
#pragma once

#include <functional>
#include <memory>

#include "settings/app/main_frame.h"
#include "settings/pages/page_window.h"  // SettingsState holds the page windows
#include "settings/settings_state.h"

namespace zvrx {

class SettingsProgram {
 public:
  // `quit` ends the message loop; the program passes PostQuit.
  SettingsProgram(const SettingsResources& resources, std::function<void(int)> quit);
  // Destroys the page windows, the basic page and the main frame.
  ~SettingsProgram();
  SettingsProgram(const SettingsProgram&) = delete;
  SettingsProgram& operator=(const SettingsProgram&) = delete;

  // Snapshots cleared, the main frame with the basic page, the snapshot of
  // the basic settings, the accelerators, and the frame shown.
  void Start();

  SettingsState& state() { return state_; }
  MainFrame& main_frame() { return main_frame_; }

 private:
  SettingsState state_;
  MainFrame main_frame_;
};

}  // namespace zvrx
