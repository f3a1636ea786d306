// A connected byte stream to a server. The POP3 client speaks through this
// interface so that tests can feed replies segment by segment and a TLS
// stream can slot in later.
#pragma once

#include <memory>
#include <string_view>

namespace zvrx::platform {

enum class ConnectResult { kOk, kNoHost, kFailed };

class SocketStream {
 public:
  virtual ~SocketStream() = default;
  // Resolves the host (IPv4, first address) and connects.
  virtual ConnectResult Connect(std::string_view host, int port) = 0;
  // One send call: bytes sent, or -1 on failure.
  virtual int Send(const char* data, int size) = 0;
  // One receive call of at most `capacity` bytes: > 0 bytes received,
  // 0 when the peer closed, -1 on failure or time-out.
  virtual int Receive(char* buffer, int capacity) = 0;
  virtual void Close() = 0;
  // How long the next receive calls may wait before they fail (0 or less:
  // the stream's own time-out). A reader that owes a whole reply by a
  // deadline hands each call what is left of it.
  virtual void SetReceiveTimeout(int /*milliseconds*/) {}
};

// Time-outs the system never had: a server that stops answering ends that
// mailbox's walk with a socket error instead of holding the checker.
inline constexpr int kConnectTimeoutMs = 30000;
inline constexpr int kReceiveTimeoutMs = 120000;

// A blocking TCP stream over IPv4 with the time-outs above; a send that
// cannot go on for the receive time-out fails as well. A time-out of 0 or
// less means none.
std::unique_ptr<SocketStream> NewTcpStream(int connect_timeout_ms = kConnectTimeoutMs,
                                           int receive_timeout_ms = kReceiveTimeoutMs);

// The Winsock presence test: can an AF_INET stream socket be created?
bool NetworkAvailable();

}  // namespace zvrx::platform
