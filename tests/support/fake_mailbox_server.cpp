#include "tests/support/fake_mailbox_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>

#include "platform/parse_integer.h"

namespace zvrx::test {

namespace {

constexpr int kPollSliceMs = 20;      // how soon a stopping server notices
constexpr int kTopBodyLines = 150;    // the client always asks TOP n 150
constexpr int kGarbageLength = 700;

// "TOP n 150": the header, the blank line and the first 150 body lines,
// dot-stuffed, with the terminating line.
std::string TopReply(const std::string& text) {
  std::string reply = "+OK\r\n";
  bool in_body = false;
  int body_lines = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 2;
    if (in_body && body_lines++ == kTopBodyLines) break;
    if (!line.empty() && line[0] == '.') reply += '.';
    reply += line + "\r\n";
    if (line.empty()) in_body = true;
  }
  return reply + ".\r\n";
}

// The whole message, dot-stuffed, as RETR sends it.
std::string RetrReply(const std::string& text) {
  std::string reply = "+OK " + std::to_string(text.size()) + " octets\r\n";
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 2;
    if (!line.empty() && line[0] == '.') reply += '.';
    reply += line + "\r\n";
  }
  return reply + ".\r\n";
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace

std::string MailText(const std::vector<std::string>& header, const std::string& body) {
  std::string text;
  for (const std::string& line : header) text += line + "\r\n";
  return text + "\r\n" + body;
}

FakeMailboxServer::FakeMailboxServer(std::vector<FakeMail> mail, MailboxFaults faults)
    : mail_(std::move(mail)), faults_(std::move(faults)) {
  listen_fd_.reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (!listen_fd_ ||
      bind(listen_fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_fd_.get(), 4) != 0 ||
      getsockname(listen_fd_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;  // port 0: every connect fails
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

FakeMailboxServer::~FakeMailboxServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::string FakeMailboxServer::HostAndPort() const {
  return "127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> FakeMailboxServer::HeldUidls() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> uidls;
  for (const FakeMail& mail : mail_) uidls.push_back(mail.uidl);
  return uidls;
}

void FakeMailboxServer::Add(FakeMail mail) {
  std::lock_guard lock(mutex_);
  mail_.push_back(std::move(mail));
}

void FakeMailboxServer::SetFaults(const MailboxFaults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

std::vector<std::vector<std::string>> FakeMailboxServer::Sessions() const {
  std::lock_guard lock(mutex_);
  return sessions_;
}

bool FakeMailboxServer::Wait(int milliseconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!stop_ && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds < 5 ? milliseconds : 5));
  }
  return !stop_;
}

void FakeMailboxServer::Run() {
  while (!stop_) {
    pollfd entry{listen_fd_.get(), POLLIN, 0};
    if (poll(&entry, 1, kPollSliceMs) <= 0) continue;
    const platform::UniqueFd fd(accept4(listen_fd_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!fd) continue;
    int one = 1;
    setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Serve(fd.get());
  }
}

bool FakeMailboxServer::ReadLine(int fd, std::string& pending, std::string& line) {
  size_t lf;
  while ((lf = pending.find('\n')) == std::string::npos) {
    pollfd entry{fd, POLLIN, 0};
    int ready = poll(&entry, 1, kPollSliceMs);
    if (stop_) return false;
    if (ready == 0) continue;
    if (ready < 0) return false;
    char buffer[4096];
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;  // the client went away
    pending.append(buffer, static_cast<size_t>(n));
  }
  line = pending.substr(0, lf);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  pending.erase(0, lf + 1);
  return true;
}

bool FakeMailboxServer::Send(int fd, const std::string& reply, bool drip,
                             const MailboxFaults& faults) {
  auto send_all = [&](const char* data, size_t size) {
    size_t sent = 0;
    while (sent < size) {
      if (stop_) return false;
      ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  };
  if (faults.reply_delay_ms > 0 && !Wait(faults.reply_delay_ms)) return false;
  if (drip) {
    for (char c : reply) {
      if (!Wait(faults.drip_ms) || !send_all(&c, 1)) return false;
    }
    return true;
  }
  const size_t line_end = reply.find('\n') + 1;
  const size_t split = static_cast<size_t>(faults.split_at);
  if (split > 0 && split < line_end) {
    return send_all(reply.data(), split) && Wait(faults.split_gap_ms) &&
           send_all(reply.data() + split, reply.size() - split);
  }
  return send_all(reply.data(), reply.size());
}

void FakeMailboxServer::Serve(int fd) {
  std::vector<FakeMail> mail;
  MailboxFaults faults;
  {
    std::lock_guard lock(mutex_);
    mail = mail_;
    faults = faults_;
    sessions_.emplace_back();
  }
  const int64_t size = static_cast<int64_t>(mail.size());
  const int64_t count = faults.stat_count > size ? faults.stat_count : size;
  const int64_t first = count - size + 1;  // the number of mail[0]
  std::vector<bool> marked(mail.size(), false);
  bool dripping = faults.drip_ms > 0 && faults.drip_from.empty();

  if (faults.silent_greeting) {
    std::string pending, line;
    while (ReadLine(fd, pending, line)) {
    }
    return;
  }
  if (!Send(fd, "+OK POP3 fake server ready <1.2@fake.example>\r\n", dripping, faults)) return;

  std::string pending, line;
  while (ReadLine(fd, pending, line)) {
    {
      std::lock_guard lock(mutex_);
      sessions_.back().push_back(line);
    }
    if (!dripping && faults.drip_ms > 0 && line == faults.drip_from) dripping = true;
    const std::vector<std::string> words = Words(line);
    const std::string verb = words.empty() ? "" : words[0];
    const int64_t n =
        words.size() > 1 ? platform::ParseInteger<int64_t>(words[1]).value_or(0) : 0;
    const bool exists = n >= first && n <= count && !marked[static_cast<size_t>(n - first)];
    const FakeMail* message = exists ? &mail[static_cast<size_t>(n - first)] : nullptr;
    std::string reply;
    if (verb == "USER" || verb == "PASS" || verb == "APOP") {
      reply = "+OK\r\n";
    } else if (verb == "STAT") {
      reply = "+OK " + std::to_string(count) + " 0\r\n";
    } else if (verb == "LIST" && faults.garbage_list.count(n)) {
      reply = std::string(kGarbageLength, 'g');
    } else if (!message && (verb == "LIST" || verb == "UIDL" || verb == "TOP" || verb == "DELE" ||
                            verb == "RETR")) {
      reply = "-ERR no such message\r\n";
    } else if (verb == "LIST") {
      reply = "+OK " + words[1] + " " + std::to_string(message->text.size()) + "\r\n";
    } else if (verb == "UIDL") {
      reply = "+OK " + words[1] + " " + message->uidl + "\r\n";
    } else if (verb == "TOP") {
      reply = TopReply(message->text);
    } else if (verb == "RETR") {
      if (faults.refuse_retr) {
        reply = "-ERR [SYS/TEMP] cannot read the message now\r\n";
      } else if (faults.close_in_retr) {
        // Half the message, then the connection drops.
        const std::string whole = RetrReply(message->text);
        Send(fd, whole.substr(0, whole.size() / 2), dripping, faults);
        return;
      } else {
        reply = RetrReply(message->text);
      }
    } else if (verb == "DELE") {
      if (faults.refuse_dele) {
        reply = "-ERR [IN-USE] message locked\r\n";
      } else {
        marked[static_cast<size_t>(n - first)] = true;
        reply = "+OK Marked to be deleted.\r\n";
      }
    } else if (verb == "QUIT") {
      {
        // Committed before the reply goes out, as real servers do; mail
        // that arrived meanwhile stays.
        std::lock_guard lock(mutex_);
        std::vector<FakeMail> kept;
        for (size_t i = 0; i < mail_.size(); ++i) {
          if (i >= marked.size() || !marked[i]) kept.push_back(mail_[i]);
        }
        mail_ = std::move(kept);
      }
      Send(fd, "+OK Logging out.\r\n", dripping, faults);
      return;
    } else {
      reply = "-ERR unknown command\r\n";
    }
    if (!Send(fd, reply, dripping, faults)) return;
  }
  // The client went away without QUIT: every mark is undone.
}

}  // namespace zvrx::test
