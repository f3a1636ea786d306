// One side of the transfer block in its own process, for the handshake tests.
//
//   transfer_peer PREFIX hold SECONDS                  create the block (checker), print "ready", wait
//   transfer_peer PREFIX send-settings CHECK_NOW MODE RELOAD_FLAGS
//   transfer_peer PREFIX poll COUNT TIMEOUT_MS         print "report CODE P1 P2 P3 P4" per message shown
//   transfer_peer PREFIX question yes|no TIMEOUT_MS    poll until code 210 is shown, then answer
//   transfer_peer PREFIX send-answer yes|no
//
// Settings-side commands end with "sleeps=N slept=MS": the waits they made.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/parse_integer.h"
#include "shared/records.h"
#include "shared/transfer_checker.h"
#include "shared/transfer_settings.h"

using namespace zvrx;

namespace {

// The real clock, counting the sleeps it makes.
class CountingClock : public platform::Clock {
 public:
  platform::LocalTime Now() override { return platform::SystemClock().Now(); }
  void Sleep(int milliseconds) override {
    ++calls;
    total += milliseconds;
    platform::SystemClock().Sleep(milliseconds);
  }
  uint64_t TickCount() override { return platform::SystemClock().TickCount(); }
  int calls = 0;
  long total = 0;
};

// The records this peer delivers; the tests expect exactly these.
void FillPeerRecords(SettingsRecords& records, int mode, int reload_flags) {
  records.basic.check_mode = static_cast<int16_t>(mode);
  records.basic.inspection_level = 1;
  records.basic.account_mask = 1;
  std::strcpy(records.basic.accounts[0], "peer@127.0.0.1");
  std::strcpy(records.basic.passwords[0], "pw-from-peer");
  records.options.option_bits = kOptAutoStartMailer | kOptManualStartMailer;
  records.judgment.strictness = 1;
  records.judgment.languages_changed = 1;
  std::strcpy(records.mailer.mailer_path, "Z:\\usr\\bin\\true");
  records.mailer.list_reload_flags = static_cast<uint8_t>(reload_flags);
}

void PrintSleeps(const CountingClock& clock) {
  std::printf("sleeps=%d slept=%ld\n", clock.calls, clock.total);
}

int Usage() {
  std::fprintf(stderr, "transfer_peer: bad arguments\n");
  return 2;
}

// A number of the command line; anything else ends the program, so that a
// test's typo is not taken for a zero.
int Number(const char* text) {
  const std::optional<int> value = platform::ParseInteger<int>(text);
  if (!value) std::exit(Usage());
  return *value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  platform::SetPrefix(argv[1]);
  std::string command = argv[2];
  CountingClock clock;
  platform::SetClock(&clock);

  SettingsRecords records;
  SettingsTransfer settings(records);

  if (command == "hold" && argc == 4) {
    CheckerTransfer checker;
    if (!CreateBlock(checker)) return 1;
    std::printf("ready\n");
    platform::SystemClock().Sleep(Number(argv[3]) * 1000);
    return 0;
  }
  if (command == "send-settings" && argc == 6) {
    FillPeerRecords(records, Number(argv[4]), Number(argv[5]));
    SendSettings(settings, Number(argv[3]) != 0);
    PrintSleeps(clock);
    return 0;
  }
  if (command == "poll" && argc == 5) {
    int wanted = Number(argv[3]);
    int shown = 0;
    uint64_t end = platform::TickCount() + static_cast<uint64_t>(Number(argv[4]));
    auto display = [&shown](const TransferHeader& h) {
      std::printf("report %d %d %d %d %d\n", h.code, h.p1, h.p2, h.p3, h.p4);
      ++shown;
    };
    while (shown < wanted && platform::TickCount() < end) {
      PollBlock(settings, display);
      platform::SystemClock().Sleep(100);  // the poll timer's period
    }
    PrintSleeps(clock);
    return shown == wanted ? 0 : 1;
  }
  if (command == "question" && argc == 5) {
    bool yes = std::strcmp(argv[3], "yes") == 0;
    bool asked = false;
    uint64_t end = platform::TickCount() + static_cast<uint64_t>(Number(argv[4]));
    auto display = [&asked](const TransferHeader& h) {
      if (h.code == kTranManualNewMail) asked = true;
    };
    while (!asked && platform::TickCount() < end) {
      PollBlock(settings, display);
      platform::SystemClock().Sleep(100);
    }
    if (!asked) return 1;
    SendAnswer(settings, yes);
    std::printf("answered local=%d\n", settings.local.code);
    PrintSleeps(clock);
    return 0;
  }
  if (command == "send-answer" && argc == 4) {
    SendAnswer(settings, std::strcmp(argv[3], "yes") == 0);
    std::printf("local=%d\n", settings.local.code);
    PrintSleeps(clock);
    return 0;
  }
  return Usage();
}
