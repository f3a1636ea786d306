// The accounts' transport choices from the extension settings file, taken
// over at the start of every check.
#pragma once

#include <string>
#include <vector>

#include "checker/core/checker_state.h"

namespace zvrx {

// Reads ZVRXExt.ini into state.transport; a missing file or key is auto.
// Returns the file's problems (a bad value reads as auto, never as plain).
std::vector<std::string> LoadTransportChoices(CheckerState& state);

}  // namespace zvrx
