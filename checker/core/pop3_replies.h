// Reading POP3 replies from a stream: the single, the accumulating and the
// multi-line read. Kept apart from the connection so that the rules, which
// depend on how the bytes arrive, can be driven segment by segment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "checker/core/pop_result.h"
#include "platform/socket_stream.h"

namespace zvrx {

inline constexpr int kReceiveBufferSize = 512;   // every reply's first line
inline constexpr int kChunkBufferSize = 1024;    // later parts of a multi-line reply
inline constexpr int kBodyTextSize = 20000;      // TOP text, plus the carried-over bytes
inline constexpr int kTopCutLength = 18900;      // a longer TOP text is cut here
inline constexpr int kReplyTextSize = 512;       // argument text of a reply line
// Every reply, TOP's with all its data included, must arrive whole within
// this time from the first receive; a server that sends nothing, or a byte
// now and then, cannot hold the check longer per reply.
inline constexpr int kReplyDeadlineMs = 120000;

// The moment (on the platform clock's tick count) by which a reply must be
// complete.
struct ReplyDeadline {
  uint64_t end_tick = 0;
  static ReplyDeadline FromNow(int milliseconds = kReplyDeadlineMs);
  int RemainingMs() const;  // 0 once it has passed
};

// The TOP text of the current message, reused from message to message.
struct BodyBuffer {
  std::vector<char> bytes;   // empty until the first TOP
  int16_t text_length = 0;   // the shared text length (16-bit, as the system keeps it)
  char* data() { return bytes.data(); }
  bool allocated() const { return !bytes.empty(); }
  void Release() { bytes.clear(); bytes.shrink_to_fit(); text_length = 0; }
};

// The first line of a reply: its status character ('+' for success) and the
// text behind the first word.
struct ReplyLine {
  char status = 0;
  char text[kReplyTextSize + 1] = {};  // NUL-terminated
  int text_length = 0;
};

// Bytes that arrived behind a status line, kept in the receive buffer for
// the multi-line read.
struct CarriedBytes {
  int16_t count = 0;
  int16_t position = 0;
};

using ReceiveBuffer = char[kReceiveBufferSize];
using ChunkBuffer = char[kChunkBufferSize];

// Status lines are read whole, however the bytes arrive: receive calls ask
// for the free rest of the 512-byte buffer until the line's LF is in. The
// results besides POP_OK: POP_SOCKET_ERROR when a receive fails or the peer
// closes first, POP_TIMED_OUT when the deadline passes first, and
// POP_BAD_REPLY for a line that does not fit the buffer or does not start
// with '+' or '-'. After any of these the session cannot go on.

// A one-line reply. Bytes behind its line are a second reply nobody asked
// for, so they make it POP_BAD_REPLY too.
PopResult ReadSingleReply(platform::SocketStream& stream, ReceiveBuffer& receive_buffer,
                          ReplyLine& reply, ReplyDeadline deadline = ReplyDeadline::FromNow());

// The status line of a reply that may go on (PASS, TOP): the bytes behind
// its LF become the carried-over bytes.
PopResult ReadAccumulatingReply(platform::SocketStream& stream, ReceiveBuffer& receive_buffer,
                                ReplyLine& reply, CarriedBytes& carried,
                                ReplyDeadline deadline = ReplyDeadline::FromNow());

// The data of a TOP reply, after its status line: into `body` up to
// CR LF "." CR LF, cut at 18,900 bytes. On POP_OK the text keeps the CR LF in
// front of the terminating line and body.text_length is the terminator's
// index + 1. A cut text has the rest of the reply read and dropped, however
// long, within the same deadline; if that fails the stream is closed and the
// failure returned, so no later reply is misread.
PopResult ReadMultiLineText(platform::SocketStream& stream, const ReceiveBuffer& receive_buffer,
                            ChunkBuffer& chunk_buffer, CarriedBytes& carried, BodyBuffer& body,
                            ReplyDeadline deadline = ReplyDeadline::FromNow());

// Where the data of a RETR reply goes: the message's bytes in order, in
// pieces. It returns false when it takes no more (a full disk, too large);
// the reply is still read to its end so the session can go on.
using MessageSink = std::function<bool(const char* data, size_t size)>;
inline constexpr int kMessageOutSize = 1024;  // unstuffed bytes handed on at a time

// The data of a multi-line reply after its status line, whole: every line's
// leading stuffed dot removed, up to the terminating "." line, which is not
// handed on (the CR LF before it ends the message's last line and is).
// Reads until the terminator whatever the sink says, within the deadline.
PopResult ReadMultiLineData(platform::SocketStream& stream, const ReceiveBuffer& receive_buffer,
                            ChunkBuffer& chunk_buffer, CarriedBytes& carried,
                            const MessageSink& sink,
                            ReplyDeadline deadline = ReplyDeadline::FromNow());

// Decimal digits at the start of `text`, saturating at `limit`; 0 when none.
int64_t LeadingNumber(const char* text, int64_t limit);

// Position behind the first word of `text` and the blanks after it.
int SkipWord(const char* text, int length);

}  // namespace zvrx
