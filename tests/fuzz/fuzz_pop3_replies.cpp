// Server replies of any shape, split into segments of any size, through the
// reply readers and the client commands. Checks that no read runs past its
// buffer, that a TOP text is always terminated within its limit, and that
// RETR hands on a message in bounded pieces.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <string>

#include "checker/core/pop3_client.h"
#include "checker/core/pop3_replies.h"
#include "platform/clock.h"
#include "tests/support/fake_stream.h"

namespace {

// The fuzz input becomes the fake stream's receive results: byte strings,
// or failures. TLS starts at once and the later segments stand for what it
// delivers, so the login's CAPA, STLS and everything after them go through
// the readers.
using Script = zvrx::test::FakeStreamScript;

std::shared_ptr<Script> ReplayScript(bool loopback) {
  auto script = std::make_shared<Script>();
  script->loopback = loopback;
  script->tls_result = zvrx::platform::TlsResult::kOk;
  return script;
}

// Login waits after PASS; the fuzzer must not.
class NoWaitClock : public zvrx::platform::Clock {
 public:
  zvrx::platform::LocalTime Now() override { return {}; }
  void Sleep(int) override {}
  uint64_t TickCount() override { return 0; }
};

void CheckBody(const zvrx::BodyBuffer& body) {
  if (!body.allocated()) return;
  if (body.text_length < 0 || body.text_length > zvrx::kTopCutLength + 1) __builtin_trap();
  const char* end = static_cast<const char*>(std::memchr(body.bytes.data(), 0, body.bytes.size()));
  if (!end || end - body.bytes.data() > zvrx::kTopCutLength + 2) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NoWaitClock clock;
  zvrx::platform::SetClock(&clock);
  FuzzedDataProvider input(data, size);
  const int mode = input.ConsumeIntegralInRange<int>(0, 3);
  // Login only: the account's transport and whether the server is local.
  const int transport = input.ConsumeIntegralInRange<int>(0, 7);
  const bool loopback = transport >= 4;
  auto script = ReplayScript(mode == 3 && loopback);
  auto& segments = script->segments;
  while (input.remaining_bytes() > 0) {
    size_t length = input.ConsumeIntegralInRange<size_t>(0, 3000);
    std::string segment = input.ConsumeBytesAsString(length);
    if (segment == "\xff\xfe") {
      script->FailReceive();
    } else if (!segment.empty()) {
      script->Reply(std::move(segment));
    }
  }
  // Long texts are only reachable with large segments; repeat the last one.
  if (mode == 1 && !segments.empty() && segments.back().bytes.size() > 100) {
    for (int i = 0; i < 20; ++i) segments.push_back(segments.back());
  }

  zvrx::test::FakeStream stream(script);
  zvrx::ReceiveBuffer receive = {};
  zvrx::ChunkBuffer chunk = {};
  zvrx::ReplyLine reply;
  zvrx::CarriedBytes carried;
  zvrx::BodyBuffer body;

  switch (mode) {
    case 0:
      while (zvrx::ReadSingleReply(stream, receive, reply) == zvrx::POP_OK) {
        if (std::strlen(reply.text) > zvrx::kReplyTextSize) __builtin_trap();
      }
      break;
    case 1:
      while (zvrx::ReadAccumulatingReply(stream, receive, reply, carried) == zvrx::POP_OK) {
        if (carried.count < 0 || carried.position + carried.count > zvrx::kReceiveBufferSize) {
          __builtin_trap();
        }
        zvrx::PopResult result = zvrx::ReadMultiLineText(stream, receive, chunk, carried, body);
        CheckBody(body);
        if (result != zvrx::POP_OK) break;
      }
      break;
    case 2: {
      zvrx::PopConnection connection;
      connection.socket = std::make_unique<zvrx::test::FakeStream>(script);
      int64_t count = 0;
      int32_t message_size = 0;
      char uidl[zvrx::kUidlMaxLength + 1];
      for (int n = 1; n <= 3; ++n) {
        zvrx::Stat(connection, count);
        zvrx::List(connection, n, message_size);
        zvrx::Uidl(connection, n, uidl, sizeof uidl);
        if (std::strlen(uidl) > zvrx::kUidlMaxLength) __builtin_trap();
        zvrx::Top(connection, n, body);
        CheckBody(body);
        // A whole message: handed on in pieces no larger than the out
        // buffer, and the reply read on after the sink stops taking.
        size_t kept = 0;
        zvrx::Retr(connection, n, [&kept](const char*, size_t piece) {
          if (piece == 0 || piece > static_cast<size_t>(zvrx::kMessageOutSize)) __builtin_trap();
          kept += piece;
          return kept < 4096;
        });
        zvrx::Dele(connection, n);
      }
      zvrx::CloseConnection(connection);
      break;
    }
    case 3: {
      zvrx::PopConnection connection;
      // Every connection reads on where the last one stopped.
      connection.make_stream = [script] {
        script->closed = false;
        return std::make_unique<zvrx::test::FakeStream>(script);
      };
      connection.transport = static_cast<zvrx::TransportChoice>(transport % 4);
      int16_t state = 0;
      if (zvrx::Login(connection, "taro@pop.example.jp", "secret", state) == zvrx::POP_OK) {
        int64_t count = 0;
        zvrx::Stat(connection, count);
      }
      zvrx::CloseConnection(connection);
      break;
    }
  }
  zvrx::platform::SetClock(nullptr);
  return 0;
}
