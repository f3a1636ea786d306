#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>
#include <memory>

#include "platform/socket_stream.h"
#include "platform/unique_fd.h"

namespace zvrx::platform {
namespace {

// A listening socket on 127.0.0.1 with a port of the kernel's choosing.
class Listener {
 public:
  explicit Listener(int backlog = 4) {
    fd_.reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (bind(fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(fd_.get(), backlog) != 0 ||
        getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      port_ = -1;
    } else {
      port_ = ntohs(address.sin_port);
    }
  }
  int port() const { return port_; }
  UniqueFd Accept() { return UniqueFd(accept(fd_.get(), nullptr, nullptr)); }
  void Close() { fd_.reset(); }

 private:
  UniqueFd fd_;
  int port_ = -1;
};

std::string ReceiveAll(int fd, size_t want) {
  std::string got;
  char buffer[64];
  while (got.size() < want) {
    ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

TEST(PlatformSocket, TalksToALoopbackServerUntilItCloses) {
  Listener listener;
  ASSERT_GT(listener.port(), 0);
  std::string server_got;
  std::thread server([&] {
    const UniqueFd peer = listener.Accept();
    send(peer.get(), "+OK ready\r\n", 11, 0);
    server_got = ReceiveAll(peer.get(), 6);
  });
  auto stream = NewTcpStream();
  ASSERT_EQ(stream->Connect("127.0.0.1", listener.port()), ConnectResult::kOk);
  char buffer[512];
  std::string received;
  while (received.size() < 11) {
    int n = stream->Receive(buffer, sizeof(buffer));
    ASSERT_GT(n, 0);
    received.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_EQ(received, "+OK ready\r\n");
  EXPECT_EQ(stream->Send("QUIT\r\n", 6), 6);
  server.join();
  EXPECT_EQ(server_got, "QUIT\r\n");
  EXPECT_EQ(stream->Receive(buffer, sizeof(buffer)), 0) << "peer closed";
  stream->Close();
  stream->Close();
  EXPECT_EQ(stream->Send("x", 1), -1);
  EXPECT_EQ(stream->Receive(buffer, sizeof(buffer)), -1);
}

TEST(PlatformSocket, SilentServerEndsTheReceiveWithAFailure) {
  Listener listener;
  auto stream = NewTcpStream(kConnectTimeoutMs, 150);
  ASSERT_EQ(stream->Connect("localhost", listener.port()), ConnectResult::kOk);
  const UniqueFd peer = listener.Accept();
  char buffer[16];
  EXPECT_EQ(stream->Receive(buffer, sizeof(buffer)), -1);
  EXPECT_EQ(stream->Receive(buffer, 0), -1) << "an empty read is no close";
}

TEST(PlatformSocket, ConnectFailures) {
  int closed_port;
  {
    Listener gone;
    closed_port = gone.port();
  }
  auto stream = NewTcpStream(1000, 1000);
  EXPECT_EQ(stream->Connect("127.0.0.1", closed_port), ConnectResult::kFailed);
  EXPECT_EQ(stream->Connect("no-such-host.invalid", 110), ConnectResult::kNoHost);
  EXPECT_EQ(stream->Connect("", 110), ConnectResult::kNoHost);
  EXPECT_EQ(stream->Connect("127.0.0.1", 0), ConnectResult::kFailed);
  EXPECT_EQ(stream->Connect("127.0.0.1", 70000), ConnectResult::kFailed);
  char buffer[4];
  EXPECT_EQ(stream->Receive(buffer, sizeof(buffer)), -1) << "not connected";
}

// A server whose queue is full drops the handshake: the connect gives up
// after its time-out instead of waiting for ever.
TEST(PlatformSocket, ConnectGivesUpAfterItsTimeOut) {
  Listener listener(0);
  std::vector<std::unique_ptr<SocketStream>> queued;
  ConnectResult result = ConnectResult::kOk;
  // Fill the accept queue; the first connect that finds it full times out.
  for (int i = 0; i < 8 && result == ConnectResult::kOk; ++i) {
    queued.push_back(NewTcpStream(200, 200));
    result = queued.back()->Connect("127.0.0.1", listener.port());
  }
  EXPECT_EQ(result, ConnectResult::kFailed);
}

TEST(PlatformSocket, NetworkIsAvailable) { EXPECT_TRUE(NetworkAvailable()); }

}  // namespace
}  // namespace zvrx::platform
