#include "tests/support/fake_pop3_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace zvrx::test {

namespace {
constexpr int kPollSliceMs = 20;  // how soon a stopping server notices
}

FakePop3Server::FakePop3Server(std::vector<FakePop3Script> connections)
    : scripts_(std::move(connections)) {
  listen_fd_.reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (!listen_fd_ ||
      bind(listen_fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_fd_.get(), 4) != 0 ||
      getsockname(listen_fd_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;  // port() stays 0 and every connect fails
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

FakePop3Server::~FakePop3Server() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::string FakePop3Server::HostAndPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::vector<std::vector<std::string>> FakePop3Server::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

bool FakePop3Server::WaitReadable(int fd) {
  while (!stop_) {
    pollfd entry{fd, POLLIN, 0};
    int ready = poll(&entry, 1, kPollSliceMs);
    if (ready > 0) return true;
    if (ready < 0) return false;
  }
  return false;
}

void FakePop3Server::Run() {
  for (const FakePop3Script& script : scripts_) {
    if (!WaitReadable(listen_fd_.get())) break;
    const platform::UniqueFd fd(accept4(listen_fd_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!fd) break;
    ++accepted_;
    int one = 1;
    setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.emplace_back();
    }
    RunScript(fd.get(), script);
  }
  // Later connections are refused rather than left waiting in the backlog.
  shutdown(listen_fd_.get(), SHUT_RDWR);
}

bool FakePop3Server::RunScript(int fd, const FakePop3Script& script) {
  std::string pending;  // bytes received behind the last line
  for (const FakePop3Step& step : script) {
    switch (step.kind) {
      case FakePop3Step::kSend: {
        size_t sent = 0;
        while (sent < step.bytes.size()) {
          ssize_t n = send(fd, step.bytes.data() + sent, step.bytes.size() - sent, MSG_NOSIGNAL);
          if (n <= 0) return false;
          sent += static_cast<size_t>(n);
        }
        break;
      }
      case FakePop3Step::kExpectLine: {
        size_t lf;
        while ((lf = pending.find('\n')) == std::string::npos) {
          if (!WaitReadable(fd)) return false;
          char buffer[4096];
          ssize_t n = recv(fd, buffer, sizeof buffer, 0);
          if (n <= 0) return false;
          pending.append(buffer, static_cast<size_t>(n));
        }
        std::string line = pending.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pending.erase(0, lf + 1);
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.back().push_back(line);
        break;
      }
      case FakePop3Step::kPause:
        std::this_thread::sleep_for(std::chrono::milliseconds(step.ms));
        break;
      case FakePop3Step::kClose:
        return true;
      case FakePop3Step::kHang:
        while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(kPollSliceMs));
        return true;
    }
  }
  return true;
}

}  // namespace zvrx::test
