// A stand-in for the resident checker that answers one check request with a
// chosen report, for tests and screenshots of the settings program.
//
//   fake_checker PREFIX CODE P1 P2 P3 P4 SECONDS
//
// Creates the block and prints "ready"; when a delivery asking for a check
// arrives, posts the report and prints "posted"; after code 210 it also asks
// the question and prints "answer yes" or "answer no". Ends after SECONDS.
#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/drives.h"
#include "shared/transfer_checker.h"

using namespace zvrx;

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "fake_checker: bad arguments\n");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  platform::SetPrefix(argv[1]);
  const TransferHeader report{static_cast<int16_t>(std::atoi(argv[2])),
                              static_cast<int16_t>(std::atoi(argv[3])),
                              static_cast<int16_t>(std::atoi(argv[4])),
                              static_cast<int16_t>(std::atoi(argv[5])),
                              static_cast<int16_t>(std::atoi(argv[6]))};
  const uint64_t end = platform::TickCount() + static_cast<uint64_t>(std::atoi(argv[7])) * 1000;

  CheckerTransfer checker;
  if (!CreateBlock(checker)) return 1;
  std::printf("ready\n");
  bool posted = false;
  while (platform::TickCount() < end) {
    // About once a second, as the checker's scheduler takes deliveries.
    platform::SystemClock().Sleep(250);
    if (posted) continue;
    const DeliveryResult delivery = ConsumeSettings(checker);
    if (!delivery.taken || checker.local.code != TRAN_SETTINGS) continue;
    checker.local = report;
    PostReport(checker);
    std::printf("posted\n");
    posted = true;
    if (report.code == kTranManualNewMail) {
      std::printf("answer %s\n", AskQuestion(checker) ? "yes" : "no");
    }
  }
  return posted ? 0 : 3;
}
