#include "checker/core/pop3_client.h"

#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/parse_integer.h"

namespace zvrx {

namespace {

constexpr int kMaxPort = 65535;

// Builds "<parts...>" CR LF in the 128-byte command buffer and sends it in
// one call. A command that would not fit is not sent at all: a cut password
// or name would only be refused by the server, or worse, accepted.
PopResult SendCommand(PopConnection& connection, std::initializer_list<std::string_view> parts) {
  if (!connection.socket || connection.broken) return POP_SOCKET_ERROR;
  char command[kCommandBufferSize];
  size_t length = 0;
  for (std::string_view part : parts) {
    if (length + part.size() + 2 > sizeof command) return POP_SOCKET_ERROR;
    std::memcpy(command + length, part.data(), part.size());
    length += part.size();
  }
  command[length++] = '\r';
  command[length++] = '\n';
  // A partial send is not repeated; the server's silence shows up as a
  // receive time-out.
  if (connection.socket->Send(command, static_cast<int>(length)) < 0) {
    connection.broken = true;
    return POP_SOCKET_ERROR;
  }
  return POP_OK;
}

// A reply that did not arrive whole and well-formed breaks the session.
PopResult Broken(PopConnection& connection, PopResult result) {
  if (result != POP_OK) connection.broken = true;
  return result;
}

PopResult ReadSingle(PopConnection& connection, ReplyLine& reply) {
  if (!connection.socket || connection.broken) return POP_SOCKET_ERROR;
  return Broken(connection, ReadSingleReply(*connection.socket, connection.receive_buffer, reply,
                                            DeadlineFor(connection)));
}

PopResult ReadAccumulating(PopConnection& connection, ReplyLine& reply,
                           ReplyDeadline deadline) {
  if (!connection.socket || connection.broken) return POP_SOCKET_ERROR;
  return Broken(connection, ReadAccumulatingReply(*connection.socket, connection.receive_buffer,
                                                  reply, connection.carried, deadline));
}

// Message numbers go out in decimal without leading zeros.
struct Number {
  explicit Number(int64_t n) {
    length = std::snprintf(text, sizeof text, "%lld", static_cast<long long>(n));
  }
  std::string_view view() const { return {text, static_cast<size_t>(length)}; }
  char text[24];
  int length;
};

PopResult Connect(PopConnection& connection, const AccountParts& parts) {
  connection.socket.reset();
  connection.broken = false;
  connection.secure = false;
  std::unique_ptr<platform::SocketStream> stream =
      connection.make_stream ? connection.make_stream() : platform::NewTcpStream();
  if (!stream) return POP_CONNECT_FAILED;
  switch (stream->Connect(parts.host, parts.port)) {
    case platform::ConnectResult::kOk:
      connection.socket = std::move(stream);
      return POP_OK;
    case platform::ConnectResult::kNoHost:
      return POP_NO_HOST;
    case platform::ConnectResult::kFailed:
      break;
  }
  return POP_CONNECT_FAILED;
}

// A failed login step closes its own connection.
PopResult CloseWith(PopConnection& connection, PopResult result) {
  CloseConnection(connection);
  return result;
}

// A failed send is a socket error; a failed read keeps its own reason.
PopResult SendAndRead(PopConnection& connection, std::initializer_list<std::string_view> parts,
                      ReplyLine& reply) {
  PopResult result = SendCommand(connection, parts);
  if (result != POP_OK) return result;
  return ReadSingle(connection, reply);
}

PopResult TlsFailure(platform::TlsResult result) {
  switch (result) {
    case platform::TlsResult::kUntrusted: return POP_TLS_UNTRUSTED;
    case platform::TlsResult::kWrongHost: return POP_TLS_WRONG_HOST;
    default: return POP_TLS_FAILED;
  }
}

// The handshake over the connected stream. A failed one leaves nothing to
// speak to: the stream is closed without QUIT.
PopResult StartTls(PopConnection& connection, const AccountParts& parts) {
  connection.tls_detail.clear();
  platform::TlsResult tls = connection.socket->StartTls(parts.host, &connection.tls_detail);
  if (tls == platform::TlsResult::kOk) {
    connection.secure = true;
    return POP_OK;
  }
  connection.broken = true;
  return CloseWith(connection, TlsFailure(tls));
}

// CAPA, to learn whether the server offers STLS. A server that does not know
// CAPA offers nothing; a reply that breaks the session is its failure.
PopResult AskCapabilities(PopConnection& connection, bool* stls_offered) {
  *stls_offered = false;
  if (SendCommand(connection, {"CAPA"}) != POP_OK) return POP_SOCKET_ERROR;
  const ReplyDeadline deadline = DeadlineFor(connection);
  ReplyLine reply;
  PopResult result = ReadAccumulating(connection, reply, deadline);
  if (result != POP_OK) return result;
  if (reply.status != '+') {
    connection.carried = CarriedBytes{};
    return POP_OK;
  }
  // The list is read as a TOP text is, through the same buffers.
  BodyBuffer list;
  result = Broken(connection,
                  ReadMultiLineText(*connection.socket, connection.receive_buffer,
                                    connection.chunk_buffer, connection.carried, list, deadline));
  if (result != POP_OK) return result;
  *stls_offered = CapabilitiesOfferStls(
      std::string_view(list.data(), static_cast<size_t>(list.text_length)));
  return POP_OK;
}

// Settles the transport after a plain greeting: STLS, plain, or a refusal.
PopResult SecureAfterGreeting(PopConnection& connection, const AccountParts& parts) {
  bool stls_offered = false;
  if (AsksCapabilities(connection.transport, parts.port)) {
    PopResult result = AskCapabilities(connection, &stls_offered);
    if (result != POP_OK) return CloseWith(connection, result);
  }
  switch (StepAfterGreeting(connection.transport, stls_offered,
                            connection.socket->PeerIsLoopback())) {
    case TransportStep::kStayPlain:
      return POP_OK;
    case TransportStep::kRefusePlain:
      return CloseWith(connection, POP_PLAIN_REFUSED);
    case TransportStep::kRefuseNoStls:
      return CloseWith(connection, POP_NO_STLS);
    case TransportStep::kStartTls:
      break;
  }
  ReplyLine reply;
  // A single read: bytes behind the +OK would be plain text slipped in
  // ahead of TLS, so they make the reply bad and end the session.
  PopResult result = SendAndRead(connection, {"STLS"}, reply);
  if (result != POP_OK) return CloseWith(connection, result);
  if (reply.status != '+') return CloseWith(connection, POP_NO_STLS);
  return StartTls(connection, parts);
}

// Connects and reads the greeting; on failure the connection is closed.
// The greeting is the one read before any STLS (it holds the APOP time
// stamp); TLS is in place when this returns POP_OK, if it is wanted.
PopResult Greet(PopConnection& connection, const AccountParts& parts, ReplyLine& greeting) {
  PopResult result = Connect(connection, parts);
  if (result != POP_OK) return result;
  const bool implicit_tls = StartsWithTls(connection.transport, parts.port);
  if (implicit_tls) {
    result = StartTls(connection, parts);
    if (result != POP_OK) return result;
  }
  result = ReadSingle(connection, greeting);
  if (result == POP_BAD_REPLY) return CloseWith(connection, POP_BAD_GREETING);
  if (result != POP_OK) return CloseWith(connection, result);
  if (greeting.status != '+') return CloseWith(connection, POP_BAD_GREETING);
  if (implicit_tls) return POP_OK;
  return SecureAfterGreeting(connection, parts);
}

PopResult LoginApop(PopConnection& connection, const AccountParts& parts,
                    std::string_view password) {
  ReplyLine reply;
  PopResult result = Greet(connection, parts, reply);
  if (result != POP_OK) return result;
  char digest[33];
  if (!ApopDigest(std::string_view(reply.text, static_cast<size_t>(reply.text_length)), password,
                  digest)) {
    return CloseWith(connection, POP_NO_TIMESTAMP);
  }
  result = SendAndRead(connection, {"APOP ", parts.user, " ", digest}, reply);
  if (result != POP_OK) return CloseWith(connection, result);
  if (reply.status != '+') return CloseWith(connection, POP_USER_REJECTED);
  return POP_OK;
}

PopResult LoginUserPass(PopConnection& connection, const AccountParts& parts,
                        std::string_view password) {
  ReplyLine reply;
  PopResult result = Greet(connection, parts, reply);
  if (result != POP_OK) return result;
  result = SendAndRead(connection, {"USER ", parts.user}, reply);
  if (result != POP_OK) return CloseWith(connection, result);
  if (reply.status != '+') return CloseWith(connection, POP_USER_REJECTED);
  if (SendCommand(connection, {"PASS ", password}) != POP_OK) {
    return CloseWith(connection, POP_SOCKET_ERROR);
  }
  // The reply's deadline starts with the command, so the wait counts in it.
  const ReplyDeadline deadline = DeadlineFor(connection);
  platform::Sleep(kPassReplyWaitMs);
  result = ReadAccumulating(connection, reply, deadline);
  if (result != POP_OK) return CloseWith(connection, result);
  if (reply.status != '+') return CloseWith(connection, POP_PASS_REJECTED);
  return POP_OK;
}

// Sends a command about message n and reads its one-line reply.
PopResult Ask(PopConnection& connection, std::string_view verb, int64_t number,
              ReplyLine& reply) {
  Number n(number);
  return SendAndRead(connection, {verb, n.view()}, reply);
}

}  // namespace

ReplyDeadline DeadlineFor(const PopConnection& connection) {
  ReplyDeadline deadline = ReplyDeadline::FromNow();
  if (connection.account_end_tick != 0 && connection.account_end_tick < deadline.end_tick) {
    deadline.end_tick = connection.account_end_tick;
  }
  return deadline;
}

PopResult SplitAccount(std::string_view account, AccountParts& parts) {
  parts = AccountParts{};
  size_t at = account.find('@');
  if (at == std::string_view::npos) return POP_NO_AT_SIGN;
  std::string_view user = account.substr(0, at);
  std::string_view host = account.substr(at + 1);
  if (user.size() >= sizeof parts.user) return POP_NO_AT_SIGN;
  if (host.size() >= sizeof parts.host) return POP_NO_HOST;

  size_t colon = host.rfind(':');
  if (colon != std::string_view::npos) {
    const std::optional<int> port = platform::ParseInteger<int>(host.substr(colon + 1));
    if (!port || *port < 1 || *port > kMaxPort) return POP_NO_HOST;
    parts.port = *port;
    host = host.substr(0, colon);
  }
  std::memcpy(parts.user, user.data(), user.size());
  std::memcpy(parts.host, host.data(), host.size());
  return POP_OK;
}

PopResult Login(PopConnection& connection, std::string_view account, std::string_view password,
                int16_t& apop_state) {
  AccountParts parts;
  PopResult result = SplitAccount(account, parts);
  if (result != POP_OK) return result;

  if (apop_state == -1) return LoginUserPass(connection, parts, password);
  if (apop_state == 1) return LoginApop(connection, parts, password);

  result = LoginApop(connection, parts, password);
  if (result == POP_OK) {
    apop_state = 1;
    return result;
  }
  if (result == POP_NO_TIMESTAMP) {
    apop_state = -1;
    return LoginUserPass(connection, parts, password);
  }
  if (result == POP_USER_REJECTED) {
    result = LoginUserPass(connection, parts, password);
    if (result == POP_OK) apop_state = -1;
  }
  return result;
}

PopResult Stat(PopConnection& connection, int64_t& message_count) {
  message_count = 0;
  ReplyLine reply;
  PopResult result = SendAndRead(connection, {"STAT"}, reply);
  if (result != POP_OK) return result;
  if (reply.status != '+') return POP_COMMAND_FAILED;
  // The count as the server gives it: the newest message is the one with
  // this number, however large; the walk bounds how many it examines.
  message_count = LeadingNumber(reply.text, kMaxMessageNumber);
  return POP_OK;
}

PopResult List(PopConnection& connection, int64_t number, int32_t& size) {
  size = 0;
  ReplyLine reply;
  PopResult result = Ask(connection, "LIST ", number, reply);
  if (result != POP_OK) return result;
  if (reply.status != '+') return POP_OK;
  int pos = SkipWord(reply.text, reply.text_length);
  size = static_cast<int32_t>(LeadingNumber(reply.text + pos, INT32_MAX));
  return POP_OK;
}

PopResult Uidl(PopConnection& connection, int64_t number, char* uidl, int capacity) {
  if (capacity > 0) uidl[0] = '\0';
  ReplyLine reply;
  PopResult result = Ask(connection, "UIDL ", number, reply);
  if (result != POP_OK) return result;
  if (reply.status != '+' || capacity <= 0) return POP_OK;
  int limit = capacity - 1 < kUidlMaxLength ? capacity - 1 : kUidlMaxLength;
  int pos = SkipWord(reply.text, reply.text_length);
  int length = 0;
  while (length < limit && pos + length < reply.text_length) {
    unsigned char c = static_cast<unsigned char>(reply.text[pos + length]);
    if (c < 0x21 || c > 0x7F) break;
    uidl[length] = static_cast<char>(c);
    ++length;
  }
  uidl[length] = '\0';
  return POP_OK;
}

PopResult Top(PopConnection& connection, int64_t number, BodyBuffer& body) {
  Number n(number);
  ReplyLine reply;
  PopResult result = SendCommand(connection, {"TOP ", n.view(), " 150"});
  if (result != POP_OK) return result;
  // One deadline for the status line and all the data behind it.
  const ReplyDeadline deadline = DeadlineFor(connection);
  result = ReadAccumulating(connection, reply, deadline);
  if (result != POP_OK) return result;
  if (reply.status != '+') {
    connection.carried = CarriedBytes{};
    return POP_COMMAND_FAILED;
  }
  result = ReadMultiLineText(*connection.socket, connection.receive_buffer,
                             connection.chunk_buffer, connection.carried, body, deadline);
  // Out of memory leaves the reply unread: the session cannot go on either.
  return Broken(connection, result);
}

PopResult Dele(PopConnection& connection, int64_t number) {
  ReplyLine reply;
  PopResult result = Ask(connection, "DELE ", number, reply);
  if (result != POP_OK) return result;
  return reply.status == '+' ? POP_OK : POP_COMMAND_FAILED;
}

PopResult Retr(PopConnection& connection, int64_t number, const MessageSink& sink) {
  Number n(number);
  ReplyLine reply;
  PopResult result = SendCommand(connection, {"RETR ", n.view()});
  if (result != POP_OK) return result;
  // One deadline for the status line and the whole message behind it.
  const ReplyDeadline deadline = DeadlineFor(connection);
  result = ReadAccumulating(connection, reply, deadline);
  if (result != POP_OK) return result;
  if (reply.status != '+') {
    // Bytes behind a refusal would be a reply nobody asked for.
    const bool extra = connection.carried.count > 0;
    connection.carried = CarriedBytes{};
    return extra ? Broken(connection, POP_BAD_REPLY) : POP_COMMAND_FAILED;
  }
  result = ReadMultiLineData(*connection.socket, connection.receive_buffer,
                             connection.chunk_buffer, connection.carried, sink, deadline);
  return Broken(connection, result);
}

PopResult Quit(PopConnection& connection) {
  if (!connection.socket) return POP_SOCKET_ERROR;
  PopResult result = POP_SOCKET_ERROR;
  if (!connection.broken) {
    ReplyLine reply;
    result = SendAndRead(connection, {"QUIT"}, reply);
    if (result == POP_OK && reply.status != '+') result = POP_COMMAND_FAILED;
  }
  connection.socket->Close();
  connection.socket.reset();
  connection.broken = false;
  connection.secure = false;
  connection.carried = CarriedBytes{};
  return result;
}

PopResult CloseConnection(PopConnection& connection) {
  Quit(connection);
  return POP_OK;
}

}  // namespace zvrx
