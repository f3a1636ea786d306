// Result codes of the POP3 client. Success is -2, not 0: 0 means the server
// closed the connection during a multi-line reply.
#pragma once

#include <cstdint>

namespace zvrx {

enum class PopResult : int16_t {
  kOk = -2,
  kSocketError = -1,
  kConnectFailed = -101,   // stored as -1
  kNoAtSign = -3,
  kNoHost = -4,
  kBadGreeting = -6,
  kUserRejected = -7,
  kPassRejected = -8,
  kCommandFailed = -9,
  kNoTimestamp = -10,
  kOutOfMemory = -102,     // stored as -1
  kTimedOut = -103,        // a reply missed its deadline; stored as -1
  kBadReply = -104,        // not a POP3 reply (or a status line too long); stored as -1
  kClosed = 0,
  // The secure transport (stored as they are; the written system had none):
  kTlsUntrusted = -11,  // the server's certificate does not verify
  kTlsWrongHost = -12,  // a certificate for another host name
  kTlsFailed = -13,     // no TLS handshake (the server dropped it or spoke no TLS)
  kNoStls = -14,        // STLS needed but not offered, or refused
  kPlainRefused = -15,  // auto: no TLS on offer and the server is not on this machine
};

// The 16-bit value kept in an account result: the failures of the
// connection itself share -1.
constexpr int16_t StoredValue(PopResult result) {
  switch (result) {
    case PopResult::kConnectFailed:
    case PopResult::kOutOfMemory:
    case PopResult::kTimedOut:
    case PopResult::kBadReply:
      return -1;
    default:
      return static_cast<int16_t>(result);
  }
}

inline constexpr PopResult POP_OK = PopResult::kOk;
inline constexpr PopResult POP_SOCKET_ERROR = PopResult::kSocketError;
inline constexpr PopResult POP_CONNECT_FAILED = PopResult::kConnectFailed;
inline constexpr PopResult POP_NO_AT_SIGN = PopResult::kNoAtSign;
inline constexpr PopResult POP_NO_HOST = PopResult::kNoHost;
inline constexpr PopResult POP_BAD_GREETING = PopResult::kBadGreeting;
inline constexpr PopResult POP_USER_REJECTED = PopResult::kUserRejected;
inline constexpr PopResult POP_PASS_REJECTED = PopResult::kPassRejected;
inline constexpr PopResult POP_COMMAND_FAILED = PopResult::kCommandFailed;
inline constexpr PopResult POP_NO_TIMESTAMP = PopResult::kNoTimestamp;
inline constexpr PopResult POP_OUT_OF_MEMORY = PopResult::kOutOfMemory;
inline constexpr PopResult POP_TIMED_OUT = PopResult::kTimedOut;
inline constexpr PopResult POP_BAD_REPLY = PopResult::kBadReply;
inline constexpr PopResult POP_CLOSED = PopResult::kClosed;
inline constexpr PopResult POP_TLS_UNTRUSTED = PopResult::kTlsUntrusted;
inline constexpr PopResult POP_TLS_WRONG_HOST = PopResult::kTlsWrongHost;
inline constexpr PopResult POP_TLS_FAILED = PopResult::kTlsFailed;
inline constexpr PopResult POP_NO_STLS = PopResult::kNoStls;
inline constexpr PopResult POP_PLAIN_REFUSED = PopResult::kPlainRefused;

}  // namespace zvrx
