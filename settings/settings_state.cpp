#include "settings/settings_state.h"

#include "settings/pages/page_window.h"

namespace zvrx {

SettingsState::SettingsState(const SettingsResources& program_resources)
    : resources(program_resources) {}

SettingsState::~SettingsState() = default;

}  // namespace zvrx
