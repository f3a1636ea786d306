#include "tests/support/time_lapse.h"

#include <thread>

namespace zvrx::test {

namespace {

constexpr uint64_t kStartTick = 1000000;

int Scaled(int milliseconds, int factor) {
  if (milliseconds <= 0) return milliseconds;
  return (milliseconds + factor - 1) / factor;  // never shorter than asked
}

class TimeLapseStream final : public platform::SocketStream {
 public:
  explicit TimeLapseStream(int factor)
      : factor_(factor),
        inner_(platform::NewTcpStream(Scaled(platform::kConnectTimeoutMs, factor),
                                      Scaled(platform::kReceiveTimeoutMs, factor))) {}
  platform::ConnectResult Connect(std::string_view host, int port) override {
    return inner_->Connect(host, port);
  }
  int Send(const char* data, int size) override { return inner_->Send(data, size); }
  int Receive(char* buffer, int capacity) override { return inner_->Receive(buffer, capacity); }
  void Close() override { inner_->Close(); }
  void SetReceiveTimeout(int milliseconds) override {
    inner_->SetReceiveTimeout(Scaled(milliseconds, factor_));
  }

 private:
  int factor_;
  std::unique_ptr<platform::SocketStream> inner_;
};

}  // namespace

TimeLapseClock::TimeLapseClock(int factor)
    : factor_(factor > 0 ? factor : 1), start_(std::chrono::steady_clock::now()) {}

platform::LocalTime TimeLapseClock::Now() {
  platform::LocalTime time;
  time.year = 2000;
  time.month = 1;
  time.day = 3;
  time.hour = 9;
  time.day_of_week = 1;
  return time;
}

void TimeLapseClock::Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  std::this_thread::sleep_for(
      std::chrono::microseconds(static_cast<int64_t>(milliseconds) * 1000 / factor_));
}

uint64_t TimeLapseClock::TickCount() {
  auto real = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start_);
  return kStartTick + static_cast<uint64_t>(real.count()) * factor_ / 1000;
}

std::unique_ptr<platform::SocketStream> NewTimeLapseStream(int factor) {
  return std::make_unique<TimeLapseStream>(factor);
}

}  // namespace zvrx::test
