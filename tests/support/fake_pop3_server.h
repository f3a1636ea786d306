// A scripted POP3 server on 127.0.0.1 in a thread of the test, for what a
// real server never does: split status lines, oversized replies, dropped
// connections, silence.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/unique_fd.h"

namespace zvrx::test {

struct FakePop3Step {
  enum Kind { kSend, kExpectLine, kPause, kClose, kHang };
  Kind kind;
  std::string bytes;  // kSend
  int ms = 0;         // kPause
};
using FakePop3Script = std::vector<FakePop3Step>;

// Sends bytes as one segment (Nagle is off; put a Pause between two sends
// that must arrive apart).
inline FakePop3Step SendBytes(std::string bytes) { return {FakePop3Step::kSend, std::move(bytes)}; }
// Waits for one command line from the client and records it.
inline FakePop3Step ExpectLine() { return {FakePop3Step::kExpectLine, {}}; }
inline FakePop3Step Pause(int ms) { return {FakePop3Step::kPause, {}, ms}; }
// Closes the connection at once.
inline FakePop3Step CloseNow() { return {FakePop3Step::kClose, {}}; }
// Stops answering, keeping the connection open until the server ends.
inline FakePop3Step Hang() { return {FakePop3Step::kHang, {}}; }

class FakePop3Server {
 public:
  // One script per connection, in the order the connections arrive. When a
  // script ends its connection is closed; later connections are refused.
  explicit FakePop3Server(std::vector<FakePop3Script> connections);
  ~FakePop3Server();
  FakePop3Server(const FakePop3Server&) = delete;
  FakePop3Server& operator=(const FakePop3Server&) = delete;

  int port() const { return port_; }
  // "127.0.0.1:<port>", the host part of an account.
  std::string HostAndPort() const;
  // Command lines received, without CR LF, per connection.
  std::vector<std::vector<std::string>> Lines() const;
  int Accepted() const { return accepted_.load(); }

 private:
  void Run();
  bool RunScript(int fd, const FakePop3Script& script);
  bool WaitReadable(int fd);

  std::vector<FakePop3Script> scripts_;
  platform::UniqueFd listen_fd_;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  mutable std::mutex mutex_;
  std::vector<std::vector<std::string>> lines_;
  std::thread thread_;
};

}  // namespace zvrx::test
