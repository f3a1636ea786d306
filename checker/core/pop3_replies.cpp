#include "checker/core/pop3_replies.h"

#include <cstring>
#include <new>

namespace zvrx {

namespace {

constexpr char kTerminator[] = "\r\n.\r\n";
constexpr int kTerminatorLength = 5;
// A text whose first line is the terminating "." line: the status line's
// CR LF stands in front of it.
constexpr char kEmptyText[] = ".\r\n";
constexpr int kEmptyTextLength = 3;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits the first `received` bytes of the buffer into status and text.
// Returns the index of the line's LF, or -1 when none arrived.
int ParseLine(ReceiveBuffer& buffer, int received, ReplyLine& reply) {
  const void* lf = std::memchr(buffer, '\n', received);
  int lf_index = lf ? static_cast<int>(static_cast<const char*>(lf) - buffer) : -1;
  int line_end = lf ? lf_index : received;
  if (lf) buffer[lf_index] = '\0';
  reply.status = buffer[0];
  int start = SkipWord(buffer, line_end);
  int length = line_end - start;
  if (length > kReplyTextSize) length = kReplyTextSize;
  if (length < 0) length = 0;
  std::memcpy(reply.text, buffer + start, static_cast<size_t>(length));
  reply.text[length] = '\0';
  reply.text_length = length;
  return lf_index;
}

int Find(const char* text, int from, int length) {
  for (int i = from; i + kTerminatorLength <= length; ++i) {
    if (std::memcmp(text + i, kTerminator, kTerminatorLength) == 0) return i;
  }
  return -1;
}

// Reads and drops the rest of a cut reply up to its terminating line, so
// that the next command's reply is not taken from it. `tail` holds the last
// bytes already received, in which the terminator may have begun.
PopResult DrainReply(platform::SocketStream& stream, ChunkBuffer& chunk_buffer, const char* tail,
                     int tail_length) {
  constexpr int kKeep = kTerminatorLength - 1;
  char window[kKeep + kChunkBufferSize];
  int kept = tail_length < kKeep ? tail_length : kKeep;
  std::memcpy(window, tail + tail_length - kept, static_cast<size_t>(kept));
  int drained = 0;
  for (;;) {
    int n = stream.Receive(chunk_buffer, kChunkBufferSize);
    if (n <= 0) {
      stream.Close();
      return n == 0 ? POP_CLOSED : POP_SOCKET_ERROR;
    }
    std::memcpy(window + kept, chunk_buffer, static_cast<size_t>(n));
    int window_length = kept + n;
    if (Find(window, 0, window_length) >= 0) return POP_OK;
    drained += n;
    if (drained > kDrainLimit) {
      stream.Close();
      return POP_SOCKET_ERROR;
    }
    kept = window_length < kKeep ? window_length : kKeep;
    std::memmove(window, window + window_length - kept, static_cast<size_t>(kept));
  }
}

}  // namespace

int SkipWord(const char* text, int length) {
  int pos = 0;
  while (pos < length && !IsBlank(text[pos])) ++pos;
  while (pos < length && IsBlank(text[pos])) ++pos;
  return pos;
}

int64_t LeadingNumber(const char* text, int64_t limit) {
  int64_t value = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value >= limit) return limit;
  }
  return value;
}

PopResult ReadSingleReply(platform::SocketStream& stream, ReceiveBuffer& receive_buffer,
                          ReplyLine& reply) {
  int n = stream.Receive(receive_buffer, kReceiveBufferSize);
  // No bytes is no reply: the buffer would still hold the last one's status.
  if (n <= 0) return POP_SOCKET_ERROR;
  ParseLine(receive_buffer, n, reply);
  return POP_OK;
}

PopResult ReadAccumulatingReply(platform::SocketStream& stream, ReceiveBuffer& receive_buffer,
                                ReplyLine& reply, CarriedBytes& carried) {
  carried = CarriedBytes{};
  int total = 0;
  for (;;) {
    int n = stream.Receive(receive_buffer + total, kReceiveBufferSize - total);
    if (n <= 0) return POP_SOCKET_ERROR;
    bool lf = std::memchr(receive_buffer + total, '\n', static_cast<size_t>(n)) != nullptr;
    total += n;
    if (lf || total == kReceiveBufferSize) break;
  }
  int lf_index = ParseLine(receive_buffer, total, reply);
  if (lf_index >= 0) {
    carried.position = static_cast<int16_t>(lf_index + 1);
    carried.count = static_cast<int16_t>(total - lf_index - 1);
  }
  return POP_OK;
}

PopResult ReadMultiLineText(platform::SocketStream& stream, const ReceiveBuffer& receive_buffer,
                            ChunkBuffer& chunk_buffer, CarriedBytes& carried, BodyBuffer& body) {
  const int capacity = kBodyTextSize + carried.count;
  if (body.bytes.size() < static_cast<size_t>(capacity)) {
    try {
      body.bytes.resize(static_cast<size_t>(capacity));
    } catch (const std::bad_alloc&) {
      return POP_OUT_OF_MEMORY;
    }
  }
  char* text = body.data();
  std::memset(text, 0, static_cast<size_t>(capacity));
  body.text_length = 0;

  std::memcpy(text, receive_buffer + carried.position, static_cast<size_t>(carried.count));
  int length = carried.count;
  carried = CarriedBytes{};
  int search = 0;

  for (;;) {
    if (length >= kEmptyTextLength && std::memcmp(text, kEmptyText, kEmptyTextLength) == 0) {
      text[0] = '\0';
      return POP_OK;
    }
    int i = Find(text, search, length);
    if (i >= 0) {
      text[i + 2] = '\0';
      body.text_length = static_cast<int16_t>(i + 1);
      return POP_OK;
    }
    if (length > kTopCutLength) {
      // The last bytes may hold the start of the terminator; take them
      // before the cut's NUL can overwrite one of them.
      char tail[kTerminatorLength - 1];
      std::memcpy(tail, text + length - sizeof tail, sizeof tail);
      text[kTopCutLength + 2] = '\0';
      body.text_length = static_cast<int16_t>(kTopCutLength + 1);
      return DrainReply(stream, chunk_buffer, tail, sizeof tail);
    }
    search = length - kTerminatorLength > 0 ? length - kTerminatorLength : 0;
    int room = capacity - 1 - length;  // keep the final NUL
    int want = room < kChunkBufferSize ? room : kChunkBufferSize;
    int n = stream.Receive(chunk_buffer, want);
    if (n == 0) return POP_CLOSED;
    if (n < 0) return POP_SOCKET_ERROR;
    std::memcpy(text + length, chunk_buffer, static_cast<size_t>(n));
    length += n;
  }
}

}  // namespace zvrx
