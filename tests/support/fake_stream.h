// A SocketStream that replays scripted receive results and records what is
// sent, for driving the POP3 reply rules segment by segment.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/socket_stream.h"

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
  };
  std::deque<Segment> segments;
  // What a receive returns once the script is used up: 0 (closed) or -1.
  int after_end = 0;
  // Send calls fail from this one on (0-based count); -1 never.
  int fail_send_from = -1;

  // Filled in by the stream.
  std::string host;
  int port = 0;
  int connects = 0;
  std::vector<std::string> sends;   // one entry per Send call
  std::vector<int> receive_capacities;
  bool closed = false;

  FakeStreamScript& Reply(std::string bytes) {
    segments.push_back({std::move(bytes), false});
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
