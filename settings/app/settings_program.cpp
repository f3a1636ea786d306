#include "settings/app/settings_program.h"

#include <utility>

#include "settings/pages/page_window.h"

namespace zvrx {

SettingsProgram::SettingsProgram(const SettingsResources& resources,
                                 std::function<void(int)> quit)
    : state_(resources), main_frame_(state_, std::move(quit)) {}

SettingsProgram::~SettingsProgram() {
  // Pages before the main frame: a closing page hands the accelerators back to it.
  for (auto& page : state_.pages) page.reset();
}

void SettingsProgram::Start() {
  state_.snapshots = SettingsRecords{};
  main_frame_.Create();
  state_.snapshots.basic = state_.records.basic;
  main_frame_.Show();
}

}  // namespace zvrx
