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
  script_->receive_timeouts.push_back(script_->receive_timeout_ms);
  if (script_->closed) return -1;
  if (script_->segments.empty()) {
    // A server that has gone quiet: the receive waits out its time-out.
    if (script_->after_end < 0 && script_->clock != nullptr && script_->receive_timeout_ms > 0) {
      script_->clock->Advance(static_cast<uint64_t>(script_->receive_timeout_ms));
    }
    return script_->after_end;
  }
  FakeStreamScript::Segment& segment = script_->segments.front();
  if (segment.delay_ms > 0) {
    const int timeout = script_->receive_timeout_ms;
    const bool times_out = timeout > 0 && segment.delay_ms > timeout;
    const int waited = times_out ? timeout : segment.delay_ms;
    if (script_->clock != nullptr) script_->clock->Advance(static_cast<uint64_t>(waited));
    segment.delay_ms -= waited;
    if (times_out) return -1;
  }
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

void FakeStream::SetReceiveTimeout(int milliseconds) { script_->receive_timeout_ms = milliseconds; }

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

platform::TlsResult FakeStream::StartTls(std::string_view host, std::string* detail) {
  script_->tls_host = std::string(host);
  script_->tls_after_sends = static_cast<int>(script_->sends.size());
  if (script_->tls_result != platform::TlsResult::kOk) {
    if (detail != nullptr) *detail = "scripted TLS failure";
    Close();
  }
  return script_->tls_result;
}

}  // namespace zvrx::test
