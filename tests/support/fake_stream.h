// A SocketStream that replays scripted receive results and records what is
// sent, for driving the POP3 reply rules segment by segment.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/socket_stream.h"
#include "tests/support/fake_clock.h"

namespace zvrx::test {

// What one connection will do. Shared between the test and its streams, so
// the test can read the sends after the client has dropped the stream.
struct FakeStreamScript {
  platform::ConnectResult connect_result = platform::ConnectResult::kOk;
  // One entry per receive call: bytes (delivered at most `capacity` at a
  // time; the rest stays for the next call), or a failure.
  struct Segment {
    std::string bytes;
    bool fails = false;
    int delay_ms = 0;  // how long after the receive call the bytes arrive
  };
  std::deque<Segment> segments;
  // What a receive returns once the script is used up: 0 (closed) or -1
  // (silence: with a clock, the receive waits out its time-out first).
  int after_end = 0;
  // Send calls fail from this one on (0-based count); -1 never.
  int fail_send_from = -1;
  // Delays pass on this clock; a receive whose time-out comes first fails
  // (-1) after the time-out, and the segment's delay shrinks by it.
  FakeClock* clock = nullptr;

  // The peer's address is on this machine (127.0.0.0/8, ::1).
  bool loopback = true;
  // What StartTls gives; on kOk the later segments stand for the bytes TLS
  // delivers, so a session goes on as before.
  platform::TlsResult tls_result = platform::TlsResult::kUnsupported;

  // Filled in by the stream.
  std::string host;
  std::string tls_host;   // the name handed to StartTls
  int tls_after_sends = -1;  // how many sends had gone out in plain text when TLS started
  int port = 0;
  int connects = 0;
  std::vector<std::string> sends;   // one entry per Send call
  std::vector<int> receive_capacities;
  std::vector<int> receive_timeouts;  // the time-out in force at each receive call
  int receive_timeout_ms = 0;         // from SetReceiveTimeout; 0: none
  bool closed = false;

  FakeStreamScript& Reply(std::string bytes) {
    segments.push_back({std::move(bytes), false});
    return *this;
  }
  // Bytes that arrive `delay_ms` after the receive call that gets them.
  FakeStreamScript& After(int delay_ms, std::string bytes) {
    segments.push_back({std::move(bytes), false, delay_ms});
    return *this;
  }
  FakeStreamScript& FailReceive() {
    segments.push_back({{}, true});
    return *this;
  }
};

class FakeStream : public platform::SocketStream {
 public:
  explicit FakeStream(std::shared_ptr<FakeStreamScript> script) : script_(std::move(script)) {}
  platform::ConnectResult Connect(std::string_view host, int port) override;
  int Send(const char* data, int size) override;
  int Receive(char* buffer, int capacity) override;
  void Close() override;
  void SetReceiveTimeout(int milliseconds) override;
  platform::TlsResult StartTls(std::string_view host, std::string* detail) override;
  bool PeerIsLoopback() const override { return script_->loopback; }

 private:
  std::shared_ptr<FakeStreamScript> script_;
};

// A factory for PopConnection::make_stream that hands out one stream per
// script, in order; a connection beyond the last script fails to connect.
class FakeStreamFactory {
 public:
  std::shared_ptr<FakeStreamScript> Add();
  std::unique_ptr<platform::SocketStream> operator()();
  int made() const { return made_; }

 private:
  std::vector<std::shared_ptr<FakeStreamScript>> scripts_;
  int made_ = 0;
};

}  // namespace zvrx::test
