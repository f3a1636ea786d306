// The POP3 client: one connection at a time, blocking, with the system's
// fixed receive buffers.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "checker/core/pop_result.h"
#include "platform/socket_stream.h"

namespace zvrx {

inline constexpr int kReceiveBufferSize = 512;   // every reply's first line
inline constexpr int kChunkBufferSize = 1024;    // later parts of a multi-line reply
inline constexpr int kBodyTextSize = 20000;      // TOP text, plus the carried-over bytes
inline constexpr int kTopCutLength = 18900;      // a longer TOP text is cut here
inline constexpr int kUidlMaxLength = 70;
inline constexpr int kDefaultPopPort = 110;

// Makes a new, unconnected stream for each connection. Tests put in a
// factory of fake streams; the checker uses platform::NewTcpStream.
using StreamFactory = std::unique_ptr<platform::SocketStream> (*)();

// The TOP text of the current message, reused from message to message.
struct BodyBuffer {
  std::vector<char> bytes;   // empty until the first TOP
  int16_t text_length = 0;   // the shared text length (16-bit, as the system keeps it)
  char* data() { return bytes.data(); }
  bool allocated() const { return !bytes.empty(); }
  void Release() { bytes.clear(); bytes.shrink_to_fit(); text_length = 0; }
};

// Process-wide connection state (one per checker; tests make their own).
struct PopConnection {
  StreamFactory make_stream = nullptr;       // nullptr: real TCP
  std::unique_ptr<platform::SocketStream> socket;  // null = "socket 0"
  char receive_buffer[kReceiveBufferSize] = {};
  char chunk_buffer[kChunkBufferSize] = {};
  int16_t carried_count = 0;  // bytes behind a TOP status line
  int16_t carried_pos = 0;
};

// account: "user@host" or "user@host:port" (our extension; default 110).
// apop_state: 0 undetermined, 1 APOP works, -1 use USER/PASS (in/out).
PopResult Login(PopConnection& connection, std::string_view account,
                std::string_view password, int16_t& apop_state);
PopResult Stat(PopConnection& connection, int16_t& message_count);
PopResult List(PopConnection& connection, int number, int32_t& size);
// uidl receives at most 70 bytes plus NUL (capacity >= 71).
PopResult Uidl(PopConnection& connection, int number, char* uidl, int capacity);
PopResult Top(PopConnection& connection, int number, BodyBuffer& body);
PopResult Dele(PopConnection& connection, int number);
PopResult CloseConnection(PopConnection& connection);

// The APOP digest: 32 lower-case hex digits of MD5(time stamp + password)
// into digest[33]. False when the greeting text holds no "<...>" time stamp.
bool ApopDigest(std::string_view greeting_text, std::string_view password, char digest[33]);

}  // namespace zvrx
