// A connected byte stream to a server. The POP3 client speaks through this
// interface so that tests can feed replies segment by segment and a TLS
// stream can slot in later.
#pragma once

#include <memory>
#include <string_view>

namespace zvrx::platform {

enum class ConnectResult { kOk, kNoHost, kFailed };

// How a TLS handshake ended. A certificate that does not verify is told
// apart from one issued for another name, so the user can be told which.
enum class TlsResult {
  kOk,
  kUntrusted,    // the chain does not lead to a trusted authority (or expired, ...)
  kWrongHost,    // a good certificate, but not for the host that was asked for
  kFailed,       // no handshake: the peer closed, spoke no TLS, or too old a version
  kUnsupported,  // this stream cannot carry TLS
};

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
  // Turns the connected stream into TLS (1.2 or newer) to `host`: sends the
  // host name (SNI), verifies the chain against the trust store and checks
  // the name. Afterwards Send and Receive carry the same bytes through TLS,
  // with the same time-outs. `detail` gets the library's reason on failure.
  virtual TlsResult StartTls(std::string_view /*host*/, std::string* /*detail*/) {
    return TlsResult::kUnsupported;
  }
  // The connected peer is a loopback address (127.0.0.0/8, ::1).
  virtual bool PeerIsLoopback() const { return false; }
};

// The trust store is OpenSSL's default: the system's certificates, or the
// file and folder named by SSL_CERT_FILE and SSL_CERT_DIR when set.

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
