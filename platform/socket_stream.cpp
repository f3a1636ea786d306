#include "platform/socket_stream.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "platform/retry.h"
#include "platform/unique_fd.h"

namespace zvrx::platform {
namespace {

constexpr int kMaxPort = 65535;

timeval ToTimeval(int milliseconds) {
  timeval value{};
  if (milliseconds > 0) {
    value.tv_sec = milliseconds / 1000;
    value.tv_usec = (milliseconds % 1000) * 1000;
  }
  return value;  // zero: no time-out
}

bool SetBlocking(int fd, bool blocking) {
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return fcntl(fd, F_SETFL, flags) == 0;
}

// Waits for a non-blocking connect to finish; false on time-out or error.
bool WaitConnected(int fd, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  // Each attempt waits only for what is left, however often a signal comes.
  const int ready = RetryOnInterrupt([&] {
    int wait = -1;
    if (timeout_ms > 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
    pollfd entry{fd, POLLOUT, 0};
    return poll(&entry, 1, wait);
  });
  if (ready <= 0) return false;
  int error = 0;
  socklen_t length = sizeof(error);
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

// The last error OpenSSL queued, as one line; the queue is emptied so that
// an old error cannot be blamed on the next connection.
std::string TakeTlsError() {
  std::string text;
  unsigned long code;
  while ((code = ERR_get_error()) != 0) {
    char line[256];
    ERR_error_string_n(code, line, sizeof line);
    text = line;
  }
  return text;
}

// OpenSSL writes to the socket without MSG_NOSIGNAL: a server that has gone
// would end the whole program with SIGPIPE. While one exists, the signal is
// held back on this thread and a SIGPIPE it caused is taken away unseen.
class NoSigpipe {
 public:
  NoSigpipe() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
  }
  ~NoSigpipe() {
    if (!was_pending_) {
      sigset_t pending;
      sigpending(&pending);
      if (sigismember(&pending, SIGPIPE) == 1) {
        const timespec now{0, 0};
        RetryOnInterrupt([&] { return sigtimedwait(&pipe_, nullptr, &now); });
      }
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  NoSigpipe(const NoSigpipe&) = delete;
  NoSigpipe& operator=(const NoSigpipe&) = delete;

 private:
  sigset_t pipe_;
  sigset_t old_;
  bool was_pending_ = false;
};

bool IsIpLiteral(const std::string& host) {
  in_addr v4;
  in6_addr v6;
  return inet_pton(AF_INET, host.c_str(), &v4) == 1 || inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

class TcpStream final : public SocketStream {
 public:
  TcpStream(int connect_timeout_ms, int receive_timeout_ms)
      : connect_timeout_ms_(connect_timeout_ms), receive_timeout_ms_(receive_timeout_ms) {}
  ~TcpStream() override { Close(); }

  ConnectResult Connect(std::string_view host, int port) override {
    Close();
    if (host.empty()) return ConnectResult::kNoHost;
    if (port <= 0 || port > kMaxPort) return ConnectResult::kFailed;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string host_text(host);
    if (getaddrinfo(host_text.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 ||
        found == nullptr) {
      return ConnectResult::kNoHost;
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof(address));
    freeaddrinfo(found);
    loopback_ = (ntohl(address.sin_addr.s_addr) >> 24) == 127;

    fd_.reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd_) return ConnectResult::kFailed;
    bool connected = false;
    if (SetBlocking(fd_.get(), false)) {
      const int result =
          connect(fd_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
      // An interrupted connect goes on in the background, as one in
      // progress does; calling it again would only fail with EALREADY.
      connected = result == 0 || ((errno == EINPROGRESS || errno == EINTR) &&
                                  WaitConnected(fd_.get(), connect_timeout_ms_));
    }
    timeval receive = ToTimeval(receive_timeout_ms_);
    if (!connected || !SetBlocking(fd_.get(), true) ||
        setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof(receive)) != 0 ||
        setsockopt(fd_.get(), SOL_SOCKET, SO_SNDTIMEO, &receive, sizeof(receive)) != 0) {
      Close();
      return ConnectResult::kFailed;
    }
    current_timeout_ms_ = receive_timeout_ms_;
    return ConnectResult::kOk;
  }

  int Send(const char* data, int size) override {
    if (!fd_ || size < 0) return -1;
    if (ssl_ != nullptr) {
      // One record per command: SSL_write returns only when all of it went.
      if (size == 0) return 0;
      ERR_clear_error();
      NoSigpipe no_sigpipe;
      int sent = SSL_write(ssl_, data, size);
      if (sent > 0) return sent;
      tls_broken_ = true;
      return -1;
    }
    const ssize_t sent = RetryOnInterrupt(
        [&] { return send(fd_.get(), data, static_cast<size_t>(size), MSG_NOSIGNAL); });
    return sent < 0 ? -1 : static_cast<int>(sent);
  }

  int Receive(char* buffer, int capacity) override {
    // A zero-byte read would look like the peer closing.
    if (!fd_ || capacity <= 0) return -1;
    if (ssl_ != nullptr) {
      ERR_clear_error();
      // A read may write too (a key update the server asked for).
      NoSigpipe no_sigpipe;
      int got = SSL_read(ssl_, buffer, capacity);
      if (got > 0) return got;
      // A peer that closes, with or without close_notify, is a close as on
      // a plain socket: every POP3 reply carries its own end, so a cut one
      // is still noticed. A time-out or broken record is a failure.
      int error = SSL_get_error(ssl_, got);
      if (error == SSL_ERROR_ZERO_RETURN) return 0;
      tls_broken_ = true;
      return -1;
    }
    const ssize_t got =
        RetryOnInterrupt([&] { return recv(fd_.get(), buffer, static_cast<size_t>(capacity), 0); });
    return got < 0 ? -1 : static_cast<int>(got);
  }

  void Close() override {
    if (ssl_ != nullptr) {
      // Our close_notify, without waiting for the peer's; none after a
      // failure, which leaves the session unusable.
      if (!tls_broken_) {
        NoSigpipe no_sigpipe;
        SSL_shutdown(ssl_);
      }
      SSL_free(ssl_);
      ssl_ = nullptr;
    }
    tls_broken_ = false;
    if (context_ != nullptr) SSL_CTX_free(context_);
    context_ = nullptr;
    fd_.reset();
    ERR_clear_error();
  }

  bool PeerIsLoopback() const override { return fd_.valid() && loopback_; }

  TlsResult StartTls(std::string_view host, std::string* detail) override {
    if (!fd_ || ssl_ != nullptr) return TlsResult::kFailed;
    ERR_clear_error();
    const std::string name(host);
    context_ = SSL_CTX_new(TLS_client_method());
    if (context_ == nullptr) return Fail(TlsResult::kFailed, detail);
    SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
    SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_options(context_, SSL_OP_IGNORE_UNEXPECTED_EOF);
    // The system's store, or SSL_CERT_FILE / SSL_CERT_DIR as OpenSSL reads them.
    if (SSL_CTX_set_default_verify_paths(context_) != 1) return Fail(TlsResult::kFailed, detail);
    ssl_ = SSL_new(context_);
    // The session only borrows the descriptor: SSL_free leaves it open.
    if (ssl_ == nullptr || SSL_set_fd(ssl_, fd_.get()) != 1) {
      return Fail(TlsResult::kFailed, detail);
    }
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    if (IsIpLiteral(name)) {
      // An address is checked against the certificate's IP entries; SNI
      // carries host names only.
      if (X509_VERIFY_PARAM_set1_ip_asc(param, name.c_str()) != 1) {
        return Fail(TlsResult::kFailed, detail);
      }
    } else {
      X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
      if (SSL_set_tlsext_host_name(ssl_, name.c_str()) != 1 ||
          SSL_set1_host(ssl_, name.c_str()) != 1) {
        return Fail(TlsResult::kFailed, detail);
      }
    }
    // Blocking, bounded by the socket's time-outs.
    int connected;
    {
      NoSigpipe no_sigpipe;
      connected = SSL_connect(ssl_);
    }
    if (connected == 1) return TlsResult::kOk;
    const long verify = SSL_get_verify_result(ssl_);
    TlsResult result = TlsResult::kFailed;
    if (verify == X509_V_ERR_HOSTNAME_MISMATCH || verify == X509_V_ERR_IP_ADDRESS_MISMATCH) {
      result = TlsResult::kWrongHost;
    } else if (verify != X509_V_OK) {
      result = TlsResult::kUntrusted;
    }
    return Fail(result, detail,
                verify != X509_V_OK ? X509_verify_cert_error_string(verify) : "");
  }

  void SetReceiveTimeout(int milliseconds) override {
    if (!fd_) return;
    // The stream's own time-out stays the longest wait.
    int wanted = receive_timeout_ms_;
    if (milliseconds > 0 && (wanted <= 0 || milliseconds < wanted)) wanted = milliseconds;
    if (wanted == current_timeout_ms_) return;
    timeval receive = ToTimeval(wanted);
    if (setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof(receive)) == 0) {
      current_timeout_ms_ = wanted;
    }
  }

 private:
  int connect_timeout_ms_;
  int receive_timeout_ms_;
  // Ends a TLS start that failed: the connection cannot be used any more.
  // No close_notify on a handshake that never finished.
  TlsResult Fail(TlsResult result, std::string* detail, std::string why = {}) {
    std::string queued = TakeTlsError();
    if (why.empty()) why = queued;
    if (detail != nullptr) *detail = why.empty() ? "the TLS handshake failed" : why;
    if (ssl_ != nullptr) SSL_free(ssl_);
    ssl_ = nullptr;
    Close();
    return result;
  }

  int current_timeout_ms_ = 0;  // what SO_RCVTIMEO holds now
  UniqueFd fd_;
  bool loopback_ = false;
  SSL_CTX* context_ = nullptr;
  SSL* ssl_ = nullptr;  // set once TLS runs over fd_
  bool tls_broken_ = false;  // a TLS read or write failed
};

}  // namespace

std::unique_ptr<SocketStream> NewTcpStream(int connect_timeout_ms, int receive_timeout_ms) {
  return std::make_unique<TcpStream>(connect_timeout_ms, receive_timeout_ms);
}

bool NetworkAvailable() {
  return UniqueFd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)).valid();
}

}  // namespace zvrx::platform
