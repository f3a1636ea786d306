// The checker's side of the transfer block. Every operation holds the
// checker's StatusLock for its whole run, including its sleeps.
#pragma once

#include <memory>
#include <mutex>

#include "platform/shared_memory.h"
#include "shared/records.h"
#include "shared/transfer_block.h"

namespace zvrx {

struct CheckerTransfer {
  std::unique_ptr<platform::SharedMemory> block;
  // The message a post or question writes; after a delivery with check now
  // its code stays TRAN_SETTINGS, which the scheduler takes as its request.
  TransferHeader local{};
  SettingsRecords records;
  std::recursive_mutex status_lock;  // StatusLock
};

// Creates the block and marks it idle. False (with *error set) when it could
// not be created: the caller ends the program with its fatal message.
bool CreateBlock(CheckerTransfer& transfer, int* error = nullptr);

enum class ListReload { kNone, kAcceptance, kRejection };

// What a delivery asks of the checker; the caller reloads what it names.
struct DeliveryResult {
  bool taken = false;
  ListReload list_reload = ListReload::kNone;  // acceptance wins when both are set
  bool languages_changed = false;
};

// Takes a pending delivery (block byte 0 is 2) into the records and the local
// header, and acknowledges it.
DeliveryResult ConsumeSettings(CheckerTransfer& transfer);

// Posts the local header. In interval modes a post is dropped while a
// delivery or a question waits; otherwise it waits up to 5 x 307 ms for the
// block to be free and writes anyway.
void PostReport(CheckerTransfer& transfer);

// Asks the settings program the one yes/no question. No when the user saved
// settings instead or nobody answered within 150 s.
bool AskQuestion(CheckerTransfer& transfer);

}  // namespace zvrx
