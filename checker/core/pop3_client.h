// The POP3 client: one connection at a time, blocking, with the system's
// fixed receive buffers.
#pragma once

#include <cstdint>
#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "checker/core/pop3_replies.h"
#include "checker/core/pop_result.h"
#include "checker/core/transport_policy.h"
#include "platform/socket_stream.h"

namespace zvrx {

inline constexpr int kUidlMaxLength = 70;
inline constexpr int kDefaultPopPort = 110;
inline constexpr int kAccountPartSize = 67;   // user or host name + NUL
inline constexpr int kCommandBufferSize = 128;  // a command with its CR LF
inline constexpr int kPassReplyWaitMs = 1000;   // servers answer PASS slowly

// Makes a new, unconnected stream for each connection. Tests put in a
// factory of fake streams or streams with short time-outs.
using StreamFactory = std::function<std::unique_ptr<platform::SocketStream>()>;

// Process-wide connection state (one per checker; tests make their own).
struct PopConnection {
  StreamFactory make_stream;  // empty: platform::NewTcpStream()
  std::unique_ptr<platform::SocketStream> socket;  // null = "socket 0"
  ReceiveBuffer receive_buffer = {};
  ChunkBuffer chunk_buffer = {};
  CarriedBytes carried;  // bytes behind a TOP status line
  // A send or a reply failed, timed out or was no POP3 reply: client and
  // server may disagree about what comes next, so nothing more is sent, not
  // even QUIT, and the server undoes the session's deletions.
  bool broken = false;
  // When set (a tick count), no reply is awaited past it, whatever is left
  // of the reply's own deadline: the check cycle bounds a whole account.
  uint64_t account_end_tick = 0;
  // The transport of the next logins (the check cycle sets it per account).
  // Plain is the written system's POP3.
  TransportChoice transport = TransportChoice::kPlain;
  bool secure = false;     // the session runs over TLS
  std::string tls_detail;  // why the last TLS start failed, for a console
};

// A reply's deadline on this connection: its own, or the account's end if
// that comes first.
ReplyDeadline DeadlineFor(const PopConnection& connection);

// Messages are numbered as the server counts them (STAT may claim more than
// 16 bits hold); numbers up to this bound are read, larger ones saturate.
inline constexpr int64_t kMaxMessageNumber = INT64_MAX / 10;

// An account text split at its first '@'; the host part may end in
// ":PORT" (our extension), otherwise the port is 110.
struct AccountParts {
  char user[kAccountPartSize] = {};
  char host[kAccountPartSize] = {};
  int port = kDefaultPopPort;
};

// POP_NO_AT_SIGN without '@' or when the user name does not fit its 67
// bytes; POP_NO_HOST when the host part does not fit or its port is not
// 1..65535. Nothing is sent in either case.
PopResult SplitAccount(std::string_view account, AccountParts& parts);

// account: "user@host" or "user@host:port". The connection's transport
// decides TLS (see transport_policy.h); a TLS start that fails gives
// POP_TLS_UNTRUSTED, POP_TLS_WRONG_HOST or POP_TLS_FAILED, a missing STLS
// POP_NO_STLS and plain text refused POP_PLAIN_REFUSED, each before anything
// of the login is sent. Nothing ever falls back to plain text.
// apop_state: 0 undetermined, 1 APOP works, -1 use USER/PASS (in/out).
PopResult Login(PopConnection& connection, std::string_view account,
                std::string_view password, int16_t& apop_state);
// Besides the results named for each command, a reply that fails, times
// out or is no POP3 reply gives POP_SOCKET_ERROR, POP_TIMED_OUT or
// POP_BAD_REPLY and leaves the connection broken.
PopResult Stat(PopConnection& connection, int64_t& message_count);
PopResult List(PopConnection& connection, int64_t number, int32_t& size);
// uidl receives at most 70 bytes plus NUL (capacity >= 71).
PopResult Uidl(PopConnection& connection, int64_t number, char* uidl, int capacity);
PopResult Top(PopConnection& connection, int64_t number, BodyBuffer& body);
PopResult Dele(PopConnection& connection, int64_t number);
// RETR: the whole message into `sink` (see ReadMultiLineData).
// POP_COMMAND_FAILED when the server refuses it; the session goes on.
PopResult Retr(PopConnection& connection, int64_t number, const MessageSink& sink);
// Ends the session and closes the socket. QUIT goes out only on a connection
// that is not broken, and only its +OK commits the session's deletions:
// POP_OK then. Anything else (broken, refused, no reply) means the server
// keeps every message of the session.
PopResult Quit(PopConnection& connection);
// Quit, for callers that have nothing to commit: always POP_OK.
PopResult CloseConnection(PopConnection& connection);

// The APOP digest: 32 lower-case hex digits of MD5(time stamp + password)
// into digest[33]. False when the greeting text holds no "<...>" time stamp.
bool ApopDigest(std::string_view greeting_text, std::string_view password, char digest[33]);

}  // namespace zvrx
