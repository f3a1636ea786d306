// A call interrupted by a signal is made again; any other result or error
// comes back as it is. Waits with a time-out keep their end where it was.
#include "platform/retry.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/unique_fd.h"

namespace zvrx {
namespace {

using platform::RetryOnInterrupt;

TEST(RetryOnInterrupt, RepeatsOnlyInterruptedCalls) {
  struct Row {
    const char* rule;
    int interrupted;  // failures with EINTR before the last result
    long last;
    int last_errno;
    long expected;
    int expected_calls;
  };
  const Row rows[] = {
      {"a success at once is returned at once", 0, 5, 0, 5, 1},
      {"interrupted three times, then a result", 3, 7, 0, 7, 4},
      {"interrupted, then the end of a file", 2, 0, 0, 0, 3},
      {"another error is returned with its errno", 1, -1, EAGAIN, -1, 2},
  };
  for (const Row& row : rows) {
    int calls = 0;
    const long result = RetryOnInterrupt([&]() -> long {
      ++calls;
      if (calls <= row.interrupted) {
        errno = EINTR;
        return -1;
      }
      errno = row.last_errno;
      return row.last;
    });
    EXPECT_EQ(result, row.expected) << row.rule;
    EXPECT_EQ(calls, row.expected_calls) << row.rule;
    if (row.last_errno != 0) {
      EXPECT_EQ(errno, row.last_errno) << row.rule;
    }
  }
}

// A signal handler installed without SA_RESTART, so that blocking calls of
// this process fail with EINTR while the test runs.
class Interrupting : public ::testing::Test {
 protected:
  void SetUp() override {
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    ASSERT_EQ(sigaction(SIGUSR1, &action, &old_), 0);
  }
  void TearDown() override { sigaction(SIGUSR1, &old_, nullptr); }
  struct sigaction old_ {};
};

TEST_F(Interrupting, ABlockedReadGoesOnAfterASignal) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const platform::UniqueFd read_end(ends[0]), write_end(ends[1]);
  const pthread_t reader = pthread_self();
  std::atomic<int> attempts{0};
  std::thread other([&] {
    // Signals until the read has been made twice, that is, interrupted.
    while (attempts.load() < 2) {
      pthread_kill(reader, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const char byte = 'x';
    EXPECT_EQ(write(write_end.get(), &byte, 1), 1);
  });
  char got = 0;
  const ssize_t read_bytes = RetryOnInterrupt([&] {
    ++attempts;
    return read(read_end.get(), &got, 1);
  });
  other.join();
  EXPECT_EQ(read_bytes, 1);
  EXPECT_EQ(got, 'x');
  EXPECT_GE(attempts.load(), 2);
}

TEST_F(Interrupting, SignalsNeitherCutASleepShortNorStretchIt) {
  using Clock = std::chrono::steady_clock;
  const pthread_t sleeper = pthread_self();
  std::atomic<bool> done{false};
  // Signals every 10 ms for 600 ms: a sleep that started over after each one
  // would end only some 200 ms after the last.
  std::thread other([&] {
    const auto until = Clock::now() + std::chrono::milliseconds(600);
    while (!done.load() && Clock::now() < until) {
      pthread_kill(sleeper, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  const auto start = Clock::now();
  platform::SystemClock().Sleep(200);
  const auto slept =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  done = true;
  other.join();
  EXPECT_GE(slept, 200);
  EXPECT_LT(slept, 600);
}

}  // namespace
}  // namespace zvrx
