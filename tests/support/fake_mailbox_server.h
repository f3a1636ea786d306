// A hostile POP3 server with a real mailbox behind it, on 127.0.0.1 in a
// thread of the test. It keeps what a server keeps: DELE only marks a
// message, QUIT commits the marks, a connection that ends any other way
// undoes them. Its faults are the ones a check must survive: oversized
// tops (just store a large message), status lines split in two, garbage,
// refused deletions, silence, replies that drip a byte at a time, and a
// STAT that claims more than 16 bits can count.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/unique_fd.h"

namespace zvrx::test {

struct FakeMail {
  std::string uidl;
  std::string text;  // header, blank line, body; CR LF line ends
};

struct MailboxFaults {
  bool silent_greeting = false;  // accepts, then never says a word
  // Replies go out a byte at a time, this many real milliseconds apart,
  // from the reply to the command `drip_from` on (empty: from the greeting).
  int drip_ms = 0;
  std::string drip_from;
  // Every reply, the greeting too, goes out whole this many real
  // milliseconds late.
  int reply_delay_ms = 0;
  // Every status line goes out in two segments split at this offset
  // (0: whole), `split_gap_ms` apart.
  int split_at = 0;
  int split_gap_ms = 5;
  // STAT claims this many messages (0: the truth); the mailbox's messages
  // are then the newest ones, numbered up to this count.
  int64_t stat_count = 0;
  // LIST n for these numbers is answered with 700 bytes of garbage and no
  // line end.
  std::set<int64_t> garbage_list;
  bool refuse_dele = false;  // every DELE is answered -ERR
  bool refuse_retr = false;  // every RETR is answered -ERR
  bool close_in_retr = false;  // RETR sends half the message, then closes
};

class FakeMailboxServer {
 public:
  explicit FakeMailboxServer(std::vector<FakeMail> mail, MailboxFaults faults = {});
  ~FakeMailboxServer();
  FakeMailboxServer(const FakeMailboxServer&) = delete;
  FakeMailboxServer& operator=(const FakeMailboxServer&) = delete;

  // "127.0.0.1:<port>", the host part of an account.
  std::string HostAndPort() const;
  // UIDLs of the messages the server holds, oldest first.
  std::vector<std::string> HeldUidls() const;
  // New mail arrives (newest); faults change for the next session.
  void Add(FakeMail mail);
  void SetFaults(const MailboxFaults& faults);
  // Command lines received, without CR LF, one list per session.
  std::vector<std::vector<std::string>> Sessions() const;

 private:
  void Run();
  void Serve(int fd);
  bool ReadLine(int fd, std::string& pending, std::string& line);
  bool Send(int fd, const std::string& reply, bool drip, const MailboxFaults& faults);
  bool Wait(int milliseconds);

  platform::UniqueFd listen_fd_;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<FakeMail> mail_;
  MailboxFaults faults_;
  std::vector<std::vector<std::string>> sessions_;
  std::thread thread_;
};

// The text of a message, CR LF line ends: these header lines (without
// line ends), a blank line, then the body.
std::string MailText(const std::vector<std::string>& header, const std::string& body);

}  // namespace zvrx::test
