#include "checker/core/transport_settings.h"

#include "shared/extension_settings.h"

namespace zvrx {

void TakeTransportChoices(CheckerState& state, const ExtensionSettings& settings) {
  for (int i = 0; i < kAccountCount; ++i) {
    state.transport[i] =
        ParseTransportWord(settings.Value(kTransportKeys[i])).value_or(TransportChoice::kAuto);
  }
}

}  // namespace zvrx
