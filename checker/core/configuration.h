// The worker's start-up: the network test, the configuration in its fixed
// order, and the fatal messages when something essential is missing.
#pragma once

#include "checker/core/checker_state.h"

namespace zvrx {

// Loads and derives everything the checks need. False after a fatal error
// (the data folder is missing, "ZVmi128" is missing or empty): the
// error was posted in the block and shown, and the program is ending.
bool LoadConfiguration(CheckerState& state);

// The worker thread's steps before the scheduler: start time, network
// test, start-up check pending, LoadConfiguration. False after a fatal error.
bool StartWorker(CheckerState& state);

// The whole worker thread: StartWorker, then the scheduler loop until the
// program stops it.
void WorkerMain(CheckerState& state);

// What a delivery asks for besides the records it brought: the choices of
// the judgment, a reloaded list, reloaded language tables.
void ApplyDelivery(CheckerState& state, const DeliveryResult& delivery);

}  // namespace zvrx
