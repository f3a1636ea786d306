// A fake clock that also plays the settings program on the transfer block:
// at every sleep of the checker it acknowledges the message the checker
// posted (recording it), answers a pending question as scripted, and makes
// a delivery when one is due. All of it happens on the checker's own
// thread, inside its waits, so the order of posts is exact and no test
// depends on timing. The block is opened by name, as the other program
// would open it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/shared_memory.h"
#include "shared/records.h"
#include "shared/transfer_block.h"
#include "tests/support/fake_clock.h"

namespace zvrx::test {

class SettingsSideClock : public FakeClock {
 public:
  using FakeClock::FakeClock;

  void Sleep(int milliseconds) override;

  // The answer to the checker's question; without one it stays unanswered.
  void SetAnswer(std::optional<bool> yes) { answer_ = yes; }

  // Delivers the records (as Publish does into a free block) at the first
  // sleep of `milliseconds` from now on, after serving that sleep.
  void DeliverOnSleepOf(int milliseconds, const SettingsRecords& records, bool check_now);

  // Delivers now, from the test's own thread.
  void DeliverNow(const SettingsRecords& records, bool check_now);

  // Every message the checker posted and the settings side saw, as
  // "CODE P1 P2 P3 P4", plus "ask" for a question. Collect() first takes a
  // message still lying unacknowledged in the block.
  const std::vector<std::string>& Posts() const { return posts_; }
  std::vector<std::string> Collect();
  void ClearPosts() { posts_.clear(); }

  // Block byte 0 as it stands (0 when there is no block).
  uint8_t HandshakeByte();

 private:
  bool OpenBlock();
  void Serve();

  std::unique_ptr<platform::SharedMemory> block_;
  std::optional<bool> answer_;
  std::vector<std::string> posts_;
  int delivery_on_sleep_ms_ = 0;  // 0: no delivery due
  SettingsRecords delivery_{};
  bool delivery_check_now_ = false;
};

std::string HeaderText(const TransferHeader& header);

}  // namespace zvrx::test
