#include "shared/transfer_checker.h"

#include "platform/clock.h"
#include "shared/records.h"

namespace zvrx {

namespace {

constexpr int kConsumeDelayMs = 151;     // lets the settings side finish writing
constexpr int kPostWaitMs = 307;
constexpr int kPostWaitCount = 5;        // about 1.5 s, then the post overwrites
constexpr int kAskWaitMs = 500;
constexpr int kAskFreeWaitCount = 5;     // 2.5 s for the block to become free
constexpr int kAskAnswerWaitCount = 300; // 150 s for the user to answer

uint8_t HandshakeByte(CheckerTransfer& transfer) {
  return transfer.block->data()[kHandshakeByte];
}

void WriteLocalHeader(CheckerTransfer& transfer) {
  CopyToBlock(transfer.block->data(), 0, &transfer.local, sizeof transfer.local);
}

// Sleeps in steps until block byte 0 is 1; false when the steps ran out.
bool WaitForIdle(CheckerTransfer& transfer, int step_ms, int steps) {
  for (int i = 0; i < steps; ++i) {
    if (HandshakeByte(transfer) == TRAN_IDLE) return true;
    platform::Sleep(step_ms);
  }
  return HandshakeByte(transfer) == TRAN_IDLE;
}

}  // namespace

bool CreateBlock(CheckerTransfer& transfer, int* error) {
  std::lock_guard lock(transfer.status_lock);
  int code = 0;
  transfer.block = platform::SharedMemory::Create(kTransferBlockName, kTransferBlockSize, &code);
  if (!transfer.block) {
    if (error) *error = code;
    return false;
  }
  transfer.local.code = TRAN_IDLE;
  transfer.block->data()[kHandshakeByte] = TRAN_IDLE;
  return true;
}

DeliveryResult ConsumeSettings(CheckerTransfer& transfer) {
  std::lock_guard lock(transfer.status_lock);
  DeliveryResult result;
  if (!transfer.block || HandshakeByte(transfer) != TRAN_SETTINGS) return result;
  platform::Sleep(kConsumeDelayMs);

  volatile uint8_t* block = transfer.block->data();
  SettingsRecords& records = transfer.records;
  CopyFromBlock(block, offsetof(TransferBlock, header), &transfer.local, sizeof transfer.local);
  CopyFromBlock(block, offsetof(TransferBlock, basic), &records.basic, sizeof records.basic);
  CopyFromBlock(block, offsetof(TransferBlock, options), &records.options,
                sizeof records.options);
  CopyFromBlock(block, offsetof(TransferBlock, judgment), &records.judgment,
                sizeof records.judgment);
  CopyFromBlock(block, offsetof(TransferBlock, mailer), &records.mailer,
                kMailerSettingsCheckerPart);
  uint8_t reload_flags = block[kListReloadByte];

  records.basic.launch_flags = DeriveLaunchFlags(records.options.option_bits);
  block[kHandshakeByte] = TRAN_IDLE;

  result.taken = true;
  if (reload_flags & kReloadAcceptanceList) {
    result.list_reload = ListReload::kAcceptance;
  } else if (reload_flags & kReloadRejectionList) {
    result.list_reload = ListReload::kRejection;
  }
  result.languages_changed = records.judgment.languages_changed == 1;
  if (transfer.local.p1 == 0) transfer.local.code = TRAN_IDLE;
  return result;
}

void PostReport(CheckerTransfer& transfer) {
  std::lock_guard lock(transfer.status_lock);
  if (!transfer.block) return;
  uint8_t byte0 = HandshakeByte(transfer);
  // A waiting delivery is never overwritten, in any mode: the settings
  // program believes it was delivered, and the scheduler takes it after the
  // check. In interval modes a waiting question gives way too.
  if (byte0 == TRAN_SETTINGS ||
      (transfer.records.basic.check_mode >= kFirstIntervalMode && byte0 == TRAN_ASK)) {
    return;
  }
  if (byte0 != TRAN_IDLE) {
    for (int i = 0; i < kPostWaitCount && HandshakeByte(transfer) != TRAN_IDLE; ++i) {
      platform::Sleep(kPostWaitMs);
      if (HandshakeByte(transfer) == TRAN_SETTINGS) return;  // a delivery came meanwhile
    }
  }
  WriteLocalHeader(transfer);
}

bool AskQuestion(CheckerTransfer& transfer) {
  std::lock_guard lock(transfer.status_lock);
  if (!transfer.block) return false;
  WaitForIdle(transfer, kAskWaitMs, kAskFreeWaitCount);
  // The user saved settings instead: keep the delivery, the answer is no.
  if (HandshakeByte(transfer) == TRAN_SETTINGS) return false;
  transfer.local.code = TRAN_ASK;
  transfer.local.p2 = 0;
  WriteLocalHeader(transfer);

  volatile uint8_t* block = transfer.block->data();
  bool answered = false;
  for (int i = 0; i < kAskAnswerWaitCount; ++i) {
    platform::Sleep(kAskWaitMs);
    if (block[kAnswerMarkByte] != 0 || block[kHandshakeByte] == TRAN_SETTINGS) {
      answered = true;
      break;
    }
  }
  if (!answered || block[kHandshakeByte] == TRAN_SETTINGS) return false;
  CopyFromBlock(block, 0, &transfer.local, sizeof transfer.local);
  block[kHandshakeByte] = static_cast<uint8_t>(transfer.local.code & 0xFF);
  return transfer.local.p1 != 0;
}

}  // namespace zvrx
