#include "tools/zvrxctl/delivery.h"

#include <cstdio>

#include "platform/clock.h"
#include "platform/shared_memory.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "shared/transfer_block.h"
#include "shared/transfer_settings.h"

namespace zvrx::ctl {

namespace {
constexpr int kTakeOverStepMs = 50;
constexpr int kTakeOverWaitMs = 5000;
}  // namespace

void DeliverToRunningChecker(const DeliveryRequest& request) {
  // Asked first so that no checker means no diagnostic line on standard output.
  int error = 0;
  if (!platform::SharedMemory::Open(kTransferBlockName, kTransferBlockSize, &error)) return;
  SettingsRecords records{};
  LoadBasicSettings(records.basic);
  LoadNotifyOptions(records.options);
  LoadJudgmentSettings(records.judgment);
  LoadMailerSettings(records.mailer);
  records.judgment.languages_changed = request.languages_changed ? 1 : 0;
  records.mailer.list_reload_flags = request.list_reload_flags;
  SettingsTransfer transfer(records);
  SendSettings(transfer, false);
  // A delivery that finds the block busy takes it anyway, so a second
  // command right after this one could overwrite this one's flags: wait
  // until the checker has taken it (it looks about once a second).
  for (int waited = 0; waited < kTakeOverWaitMs; waited += kTakeOverStepMs) {
    if (ReadBlock(transfer) && transfer.local.code != TRAN_SETTINGS) {
      std::printf("delivered to the running checker\n");
      return;
    }
    platform::Sleep(kTakeOverStepMs);
  }
  // A checker in the middle of a check takes it when the check is over.
  std::printf("handed to the running checker, which takes it after its check\n");
}

}  // namespace zvrx::ctl
