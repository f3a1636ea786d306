#include "checker/core/pop3_client.h"

#include <cstdio>
#include <cstring>

#include "platform/clock.h"

namespace zvrx {

namespace {

constexpr int kMaxPort = 65535;

// Builds "<parts...>" CR LF in the 128-byte command buffer and sends it in
// one call. A command that would not fit is not sent at all: a cut password
// or name would only be refused by the server, or worse, accepted.
PopResult SendCommand(PopConnection& connection, std::initializer_list<std::string_view> parts) {
  if (!connection.socket) return POP_SOCKET_ERROR;
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
  if (connection.socket->Send(command, static_cast<int>(length)) < 0) return POP_SOCKET_ERROR;
  return POP_OK;
}

PopResult ReadSingle(PopConnection& connection, ReplyLine& reply) {
  if (!connection.socket) return POP_SOCKET_ERROR;
  return ReadSingleReply(*connection.socket, connection.receive_buffer, reply);
}

PopResult ReadAccumulating(PopConnection& connection, ReplyLine& reply) {
  if (!connection.socket) return POP_SOCKET_ERROR;
  return ReadAccumulatingReply(*connection.socket, connection.receive_buffer, reply,
                               connection.carried);
}

// Message numbers go out in decimal without leading zeros.
struct Number {
  explicit Number(int n) { length = std::snprintf(text, sizeof text, "%d", n); }
  std::string_view view() const { return {text, static_cast<size_t>(length)}; }
  char text[12];
  int length;
};

PopResult Connect(PopConnection& connection, const AccountParts& parts) {
  connection.socket.reset();
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

// Connects and reads the greeting; on failure the connection is closed.
PopResult Greet(PopConnection& connection, const AccountParts& parts, ReplyLine& greeting) {
  PopResult result = Connect(connection, parts);
  if (result != POP_OK) return result;
  if (ReadSingle(connection, greeting) != POP_OK) return CloseWith(connection, POP_SOCKET_ERROR);
  if (greeting.status != '+') return CloseWith(connection, POP_BAD_GREETING);
  return POP_OK;
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
  if (SendCommand(connection, {"APOP ", parts.user, " ", digest}) != POP_OK ||
      ReadSingle(connection, reply) != POP_OK) {
    return CloseWith(connection, POP_SOCKET_ERROR);
  }
  if (reply.status != '+') return CloseWith(connection, POP_USER_REJECTED);
  return POP_OK;
}

PopResult LoginUserPass(PopConnection& connection, const AccountParts& parts,
                        std::string_view password) {
  ReplyLine reply;
  PopResult result = Greet(connection, parts, reply);
  if (result != POP_OK) return result;
  if (SendCommand(connection, {"USER ", parts.user}) != POP_OK ||
      ReadSingle(connection, reply) != POP_OK) {
    return CloseWith(connection, POP_SOCKET_ERROR);
  }
  if (reply.status != '+') return CloseWith(connection, POP_USER_REJECTED);
  if (SendCommand(connection, {"PASS ", password}) != POP_OK) {
    return CloseWith(connection, POP_SOCKET_ERROR);
  }
  platform::Sleep(kPassReplyWaitMs);
  if (ReadAccumulating(connection, reply) != POP_OK) return CloseWith(connection, POP_SOCKET_ERROR);
  if (reply.status != '+') return CloseWith(connection, POP_PASS_REJECTED);
  return POP_OK;
}

// Sends a command about message n and reads its one-line reply.
PopResult Ask(PopConnection& connection, std::string_view verb, int number, ReplyLine& reply) {
  Number n(number);
  if (SendCommand(connection, {verb, n.view()}) != POP_OK) return POP_SOCKET_ERROR;
  return ReadSingle(connection, reply);
}

}  // namespace

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
    std::string_view digits = host.substr(colon + 1);
    long port = 0;
    for (char c : digits) {
      if (c < '0' || c > '9' || port > kMaxPort) return POP_NO_HOST;
      port = port * 10 + (c - '0');
    }
    if (digits.empty() || port < 1 || port > kMaxPort) return POP_NO_HOST;
    parts.port = static_cast<int>(port);
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

PopResult Stat(PopConnection& connection, int16_t& message_count) {
  message_count = 0;
  ReplyLine reply;
  if (SendCommand(connection, {"STAT"}) != POP_OK || ReadSingle(connection, reply) != POP_OK) {
    return POP_SOCKET_ERROR;
  }
  if (reply.status != '+') return POP_COMMAND_FAILED;
  // Counts are 16-bit; a larger mailbox is walked from its newest 32767.
  message_count = static_cast<int16_t>(LeadingNumber(reply.text, INT16_MAX));
  return POP_OK;
}

PopResult List(PopConnection& connection, int number, int32_t& size) {
  size = 0;
  ReplyLine reply;
  if (Ask(connection, "LIST ", number, reply) != POP_OK) return POP_SOCKET_ERROR;
  if (reply.status != '+') return POP_OK;
  int pos = SkipWord(reply.text, reply.text_length);
  size = static_cast<int32_t>(LeadingNumber(reply.text + pos, INT32_MAX));
  return POP_OK;
}

PopResult Uidl(PopConnection& connection, int number, char* uidl, int capacity) {
  if (capacity > 0) uidl[0] = '\0';
  ReplyLine reply;
  if (Ask(connection, "UIDL ", number, reply) != POP_OK) return POP_SOCKET_ERROR;
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

PopResult Top(PopConnection& connection, int number, BodyBuffer& body) {
  Number n(number);
  ReplyLine reply;
  if (SendCommand(connection, {"TOP ", n.view(), " 150"}) != POP_OK ||
      ReadAccumulating(connection, reply) != POP_OK) {
    return POP_SOCKET_ERROR;
  }
  if (reply.status != '+') {
    connection.carried = CarriedBytes{};
    return POP_COMMAND_FAILED;
  }
  return ReadMultiLineText(*connection.socket, connection.receive_buffer,
                           connection.chunk_buffer, connection.carried, body);
}

PopResult Dele(PopConnection& connection, int number) {
  ReplyLine reply;
  if (Ask(connection, "DELE ", number, reply) != POP_OK) return POP_SOCKET_ERROR;
  return reply.status == '+' ? POP_OK : POP_COMMAND_FAILED;
}

PopResult CloseConnection(PopConnection& connection) {
  if (!connection.socket) return POP_OK;
  ReplyLine reply;
  // The QUIT reply is read only to let the server finish; nobody uses it.
  if (SendCommand(connection, {"QUIT"}) == POP_OK) ReadSingle(connection, reply);
  connection.socket->Close();
  connection.socket.reset();
  return POP_OK;
}

}  // namespace zvrx
