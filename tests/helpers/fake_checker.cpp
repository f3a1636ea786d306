// A stand-in for the resident checker that answers one check request with a
// chosen report, for tests and screenshots of the settings program.
//
//   fake_checker PREFIX SECONDS CODE P1 P2 P3 P4 [CODE P1 P2 P3 P4]...
//
// Creates the block and prints "ready"; each delivery asking for a check is
// answered with the next report ("posted CODE"); after code 210 it also asks
// the question and prints "answer yes" or "answer no". Ends after SECONDS.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/parse_integer.h"
#include "shared/transfer_checker.h"

using namespace zvrx;

namespace {

// A number of the command line; anything else ends the program, so that a
// test's typo is not taken for a zero.
template <class T>
T Number(const char* text) {
  const std::optional<T> value = platform::ParseInteger<T>(text);
  if (!value) {
    std::fprintf(stderr, "fake_checker: not a number: %s\n", text);
    std::exit(2);
  }
  return *value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 8 || (argc - 3) % 5 != 0) {
    std::fprintf(stderr, "fake_checker: bad arguments\n");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  platform::SetPrefix(argv[1]);
  const uint64_t end = platform::TickCount() + Number<uint64_t>(argv[2]) * 1000;
  std::vector<TransferHeader> reports;
  for (int i = 3; i + 4 < argc; i += 5) {
    auto arg = [&](int k) { return Number<int16_t>(argv[i + k]); };
    reports.push_back(TransferHeader{arg(0), arg(1), arg(2), arg(3), arg(4)});
  }

  CheckerTransfer checker;
  if (!CreateBlock(checker)) return 1;
  std::printf("ready\n");
  size_t posted = 0;
  while (platform::TickCount() < end) {
    // A few times a second, as the checker's scheduler takes deliveries.
    platform::SystemClock().Sleep(250);
    if (posted == reports.size()) continue;
    const DeliveryResult delivery = ConsumeSettings(checker);
    if (!delivery.taken || checker.local.code != TRAN_SETTINGS) continue;
    checker.local = reports[posted++];
    PostReport(checker);
    std::printf("posted %d\n", checker.local.code);
    if (checker.local.code == kTranManualNewMail) {
      std::printf("answer %s\n", AskQuestion(checker) ? "yes" : "no");
    }
  }
  return posted == reports.size() ? 0 : 3;
}
