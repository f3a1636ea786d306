#include "checker/core/transport_settings.h"

#include "shared/extension_settings.h"

namespace zvrx {

std::vector<std::string> LoadTransportChoices(CheckerState& state) {
  const ExtensionSettings settings = LoadExtensionSettings();
  for (int i = 0; i < kAccountCount; ++i) {
    state.transport[i] =
        ParseTransportWord(settings.Value(kTransportKeys[i])).value_or(TransportChoice::kAuto);
  }
  return settings.problems();
}

}  // namespace zvrx
