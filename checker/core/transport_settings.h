// The accounts' transport choices from the extension settings file, taken
// over at the start of every check.
#pragma once

#include "checker/core/checker_state.h"

namespace zvrx {

class ExtensionSettings;

// Takes the choices of this check's reading of ZVRXExt.ini into
// state.transport; a missing key is auto, and so is a bad value (reported
// among the reading's problems), never plain.
void TakeTransportChoices(CheckerState& state, const ExtensionSettings& settings);

}  // namespace zvrx
