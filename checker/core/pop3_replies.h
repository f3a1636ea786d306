// Reading POP3 replies from a stream: the single, the accumulating and the
// multi-line read. Kept apart from the connection so that the rules, which
// depend on how the bytes arrive, can be driven segment by segment.
#pragma once

#include <cstdint>
#include <vector>

#include "checker/core/pop_result.h"
#include "platform/socket_stream.h"

namespace zvrx {

inline constexpr int kReceiveBufferSize = 512;   // every reply's first line
inline constexpr int kChunkBufferSize = 1024;    // later parts of a multi-line reply
inline constexpr int kBodyTextSize = 20000;      // TOP text, plus the carried-over bytes
inline constexpr int kTopCutLength = 18900;      // a longer TOP text is cut here
inline constexpr int kReplyTextSize = 512;       // argument text of a reply line
// After a cut TOP text the rest of the reply is read and dropped, up to this
// many bytes; a longer rest closes the connection instead.
inline constexpr int kDrainLimit = 1 << 20;

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

// One receive call; the line ends at the first LF. Anything behind it is lost.
PopResult ReadSingleReply(platform::SocketStream& stream, ReceiveBuffer& receive_buffer,
                          ReplyLine& reply);

// Receives until an LF has arrived or the buffer is full; the bytes behind
// the LF become the carried-over bytes.
PopResult ReadAccumulatingReply(platform::SocketStream& stream, ReceiveBuffer& receive_buffer,
                                ReplyLine& reply, CarriedBytes& carried);

// The data of a TOP reply, after its status line: into `body` up to
// CR LF "." CR LF, cut at 18,900 bytes. On POP_OK the text keeps the CR LF in
// front of the terminating line and body.text_length is the terminator's
// index + 1. A cut text has the rest of the reply drained; if that fails the
// stream is closed and the failure returned, so no later reply is misread.
PopResult ReadMultiLineText(platform::SocketStream& stream, const ReceiveBuffer& receive_buffer,
                            ChunkBuffer& chunk_buffer, CarriedBytes& carried, BodyBuffer& body);

// Decimal digits at the start of `text`, saturating at `limit`; 0 when none.
int64_t LeadingNumber(const char* text, int64_t limit);

// Position behind the first word of `text` and the blanks after it.
int SkipWord(const char* text, int length);

}  // namespace zvrx
