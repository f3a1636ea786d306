#include "platform/socket_stream.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

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
  for (;;) {
    int wait = -1;
    if (timeout_ms > 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
    pollfd entry{fd, POLLOUT, 0};
    int ready = poll(&entry, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    int error = 0;
    socklen_t length = sizeof(error);
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
  }
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

    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return ConnectResult::kFailed;
    bool connected = false;
    if (SetBlocking(fd_, false)) {
      int result;
      do {
        result = connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
      } while (result != 0 && errno == EINTR);
      connected = result == 0 || (errno == EINPROGRESS && WaitConnected(fd_, connect_timeout_ms_));
    }
    timeval receive = ToTimeval(receive_timeout_ms_);
    if (!connected || !SetBlocking(fd_, true) ||
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof(receive)) != 0 ||
        setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &receive, sizeof(receive)) != 0) {
      Close();
      return ConnectResult::kFailed;
    }
    current_timeout_ms_ = receive_timeout_ms_;
    return ConnectResult::kOk;
  }

  int Send(const char* data, int size) override {
    if (fd_ < 0 || size < 0) return -1;
    ssize_t sent;
    do {
      sent = send(fd_, data, static_cast<size_t>(size), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent < 0 ? -1 : static_cast<int>(sent);
  }

  int Receive(char* buffer, int capacity) override {
    // A zero-byte read would look like the peer closing.
    if (fd_ < 0 || capacity <= 0) return -1;
    ssize_t got;
    do {
      got = recv(fd_, buffer, static_cast<size_t>(capacity), 0);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : static_cast<int>(got);
  }

  void Close() override {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  void SetReceiveTimeout(int milliseconds) override {
    if (fd_ < 0) return;
    // The stream's own time-out stays the longest wait.
    int wanted = receive_timeout_ms_;
    if (milliseconds > 0 && (wanted <= 0 || milliseconds < wanted)) wanted = milliseconds;
    if (wanted == current_timeout_ms_) return;
    timeval receive = ToTimeval(wanted);
    if (setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof(receive)) == 0) {
      current_timeout_ms_ = wanted;
    }
  }

 private:
  int connect_timeout_ms_;
  int receive_timeout_ms_;
  int current_timeout_ms_ = 0;  // what SO_RCVTIMEO holds now
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<SocketStream> NewTcpStream(int connect_timeout_ms, int receive_timeout_ms) {
  return std::make_unique<TcpStream>(connect_timeout_ms, receive_timeout_ms);
}

bool NetworkAvailable() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace zvrx::platform
