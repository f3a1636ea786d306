// Real network waits in fast motion: a clock whose tick count runs `factor`
// times faster than real time, and TCP streams whose time-outs are that
// clock's. A check against a real socket then meets its 120 s deadlines in
// 1.2 s of real time at factor 100, and the times it measures read as
// the real program would see them.
#pragma once

#include <chrono>
#include <memory>

#include "platform/clock.h"
#include "platform/socket_stream.h"

namespace zvrx::test {

class TimeLapseClock : public platform::Clock {
 public:
  explicit TimeLapseClock(int factor);
  // A fixed local time (2000-01-03 09:00), so log stamps are known.
  platform::LocalTime Now() override;
  // Sleeps the real fraction of the time.
  void Sleep(int milliseconds) override;
  uint64_t TickCount() override;
  int factor() const { return factor_; }

 private:
  int factor_;
  std::chrono::steady_clock::time_point start_;
};

// A TCP stream whose connect and receive time-outs, and every time-out a
// reader sets, are divided by `factor` (rounded up) in real time.
std::unique_ptr<platform::SocketStream> NewTimeLapseStream(int factor);

}  // namespace zvrx::test
