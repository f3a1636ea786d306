#include "tests/support/fake_stream.h"

#include <cstring>

namespace zvrx::test {

platform::ConnectResult FakeStream::Connect(std::string_view host, int port) {
  script_->host = std::string(host);
  script_->port = port;
  ++script_->connects;
  return script_->connect_result;
}

int FakeStream::Send(const char* data, int size) {
  if (script_->closed) return -1;
  int index = static_cast<int>(script_->sends.size());
  script_->sends.emplace_back(data, static_cast<size_t>(size));
  if (script_->fail_send_from >= 0 && index >= script_->fail_send_from) return -1;
  return size;
}

int FakeStream::Receive(char* buffer, int capacity) {
  script_->receive_capacities.push_back(capacity);
  if (script_->closed) return -1;
  if (script_->segments.empty()) return script_->after_end;
  FakeStreamScript::Segment& segment = script_->segments.front();
  if (segment.fails) {
    script_->segments.pop_front();
    return -1;
  }
  int n = static_cast<int>(segment.bytes.size());
  if (n > capacity) n = capacity;
  std::memcpy(buffer, segment.bytes.data(), static_cast<size_t>(n));
  segment.bytes.erase(0, static_cast<size_t>(n));
  if (segment.bytes.empty()) script_->segments.pop_front();
  return n;
}

void FakeStream::Close() { script_->closed = true; }

std::shared_ptr<FakeStreamScript> FakeStreamFactory::Add() {
  scripts_.push_back(std::make_shared<FakeStreamScript>());
  return scripts_.back();
}

std::unique_ptr<platform::SocketStream> FakeStreamFactory::operator()() {
  if (made_ >= static_cast<int>(scripts_.size())) {
    auto refused = std::make_shared<FakeStreamScript>();
    refused->connect_result = platform::ConnectResult::kFailed;
    scripts_.push_back(refused);
  }
  return std::make_unique<FakeStream>(scripts_[static_cast<size_t>(made_++)]);
}

}  // namespace zvrx::test
