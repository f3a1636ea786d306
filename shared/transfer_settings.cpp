#include "shared/transfer_settings.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/clock.h"
#include "platform/shared_memory.h"

namespace zvrx {

namespace {

constexpr int kPublishWaitMs = 100;
constexpr int kPublishWaitCount = 5;     // 500 ms, then a delivery overwrites
constexpr int kAcknowledgeDelayMs = 291; // the checker may still be writing its post
constexpr int kAnswerWaitMs = 500;
constexpr int kAnswerWaitCount = 5;      // 2.5 s for the question to appear
constexpr int kAnswerSettleMs = 100;

// The errors by which mapping an opened block fails; any other failure
// happened while opening it.
bool IsMappingError(int error) {
  return error == ENOMEM || error == EAGAIN || error == ENODEV || error == EOVERFLOW;
}

// Opens and maps the checker's block in one call; on failure writes the
// diagnostic line of the step that failed. No checker running is the
// settings program's everyday state, not a failure worth a line on a
// terminal at every poll.
std::unique_ptr<platform::SharedMemory> OpenBlock() {
  int error = 0;
  auto block = platform::SharedMemory::Open(kTransferBlockName, kTransferBlockSize, &error);
  if (!block && error != ENOENT) {
    std::printf(IsMappingError(error) ? "CreateFileMapping failed, error=%d\n"
                                      : "OpenFileMapping failed, error=%d\n",
                error);
    std::fflush(stdout);
  }
  return block;
}

}  // namespace

bool ReadBlock(SettingsTransfer& transfer) {
  auto block = OpenBlock();
  if (!block) {
    transfer.handshake_copy = 0;
    return false;
  }
  volatile uint8_t* bytes = block->data();
  transfer.handshake_copy = bytes[kHandshakeByte];
  CopyFromBlock(bytes, 0, &transfer.local, sizeof transfer.local);
  return true;
}

void Publish(SettingsTransfer& transfer) {
  auto block = OpenBlock();
  if (!block) {
    transfer.handshake_copy = 0;
    return;
  }
  volatile uint8_t* bytes = block->data();
  if (transfer.local.code == TRAN_SETTINGS) {
    for (int i = 0; i < kPublishWaitCount && bytes[kHandshakeByte] != TRAN_IDLE; ++i) {
      platform::Sleep(kPublishWaitMs);
    }
    bytes[kHandshakeByte] = TRAN_IDLE;
  }
  if (bytes[kHandshakeByte] == TRAN_IDLE) {
    const SettingsRecords& records = transfer.records;
    CopyToBlock(bytes, offsetof(TransferBlock, header), &transfer.local, sizeof transfer.local);
    CopyToBlock(bytes, offsetof(TransferBlock, basic), &records.basic, sizeof records.basic);
    CopyToBlock(bytes, offsetof(TransferBlock, options), &records.options,
                sizeof records.options);
    CopyToBlock(bytes, offsetof(TransferBlock, judgment), &records.judgment,
                sizeof records.judgment);
    CopyToBlock(bytes, offsetof(TransferBlock, mailer), &records.mailer,
                sizeof records.mailer);
  } else {
    bytes[kHandshakeByte] = transfer.handshake_copy;
    bytes[kHandshakeByte + 1] = 0;
  }
}

void PollBlock(SettingsTransfer& transfer, const ReportDisplay& display) {
  if (!ReadBlock(transfer)) return;
  int16_t code = transfer.local.code;
  if (code == TRAN_IDLE || code == TRAN_SETTINGS || code == TRAN_ASK) return;
  platform::Sleep(kAcknowledgeDelayMs);
  transfer.handshake_copy = TRAN_IDLE;
  Publish(transfer);
  if (display) display(transfer.local);
}

void SendSettings(SettingsTransfer& transfer, bool check_now) {
  transfer.local.code = TRAN_SETTINGS;
  transfer.local.p1 = check_now ? 1 : 0;
  Publish(transfer);
}

void SendAnswer(SettingsTransfer& transfer, bool yes) {
  auto block = OpenBlock();
  if (!block) return;
  volatile uint8_t* bytes = block->data();
  int sleeps = 0;
  while (sleeps < kAnswerWaitCount && bytes[kAnswerMarkByte] != 0) {
    platform::Sleep(kAnswerWaitMs);
    ++sleeps;
  }
  platform::Sleep(kAnswerSettleMs);
  if (sleeps == kAnswerWaitCount) {
    transfer.local.code = TRAN_IDLE;
    return;
  }
  transfer.local.code = TRAN_ANSWER;
  transfer.local.p1 = yes ? 1 : 0;
  transfer.local.p2 = 1;
  CopyToBlock(bytes, 0, &transfer.local, sizeof transfer.local);
}

}  // namespace zvrx
