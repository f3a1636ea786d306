// The settings program's side of the transfer block. It never creates the
// block and opens it for every operation; while no checker runs, each
// operation fails quietly (but for a diagnostic line on standard output) and
// the handshake byte copy stays 0. All of it runs on the GUI thread.
#pragma once

#include <cstdint>
#include <functional>

#include "shared/records.h"
#include "shared/transfer_block.h"

namespace zvrx {

struct SettingsTransfer {
  explicit SettingsTransfer(SettingsRecords& program_records) : records(program_records) {}

  // Overwritten by every successful ReadBlock.
  TransferHeader local{TRAN_IDLE, 0, 0, 0, 0};
  // Block byte 0 as last seen; 0 while no checker runs.
  uint8_t handshake_copy = 0;
  // The settings program's own records, delivered by Publish.
  SettingsRecords& records;
};

// Copies the block header into the local header and notes the handshake
// byte. False when no checker runs.
bool ReadBlock(SettingsTransfer& transfer);

// Writes the local header and the four records into a free block, or, when
// the block holds a checker message, acknowledges it by writing the
// handshake byte copy and a zero over the code's two bytes. A delivery
// (local code TRAN_SETTINGS) first waits up to 5 x 100 ms for the block to
// be free and then takes it anyway.
void Publish(SettingsTransfer& transfer);

// The report display of the basic page: shows the message of the header's
// code, or nothing for a code it has no entry for.
using ReportDisplay = std::function<void(const TransferHeader&)>;

// One tick of the 100 ms poll timer: a new checker message is acknowledged
// 291 ms after it was seen and then handed to `display`.
void PollBlock(SettingsTransfer& transfer, const ReportDisplay& display);

// Delivers the records, with a request to check now or settings only.
void SendSettings(SettingsTransfer& transfer, bool check_now);

// Answers the checker's question. The caller stops the poll timer before and
// restarts it after. The answer is dropped (local code back to TRAN_IDLE)
// when no unanswered question showed up within 5 x 500 ms.
void SendAnswer(SettingsTransfer& transfer, bool yes);

}  // namespace zvrx
