#include "tests/support/ui_control.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/retry.h"

namespace zvrx::test {

bool UiControl::Connect(const std::string& socket_path, int timeout_ms) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socket_path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    platform::UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return false;
    if (connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      fd_ = std::move(fd);
      pending_.clear();
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string UiControl::Request(const std::string& line) {
  if (!fd_) return "error connection";
  const std::string request = line + "\n";
  for (size_t sent = 0; sent < request.size();) {
    const ssize_t put = platform::RetryOnInterrupt([&] {
      return send(fd_.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    });
    if (put <= 0) return "error connection";
    sent += static_cast<size_t>(put);
  }
  size_t end;
  while ((end = pending_.find('\n')) == std::string::npos) {
    char buffer[4096];
    const ssize_t got =
        platform::RetryOnInterrupt([&] { return read(fd_.get(), buffer, sizeof buffer); });
    if (got <= 0) return "error connection";
    pending_.append(buffer, static_cast<size_t>(got));
  }
  std::string reply = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  return reply;
}

}  // namespace zvrx::test
