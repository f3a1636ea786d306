#include "checker/core/pop3_replies.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "platform/clock.h"

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

// One receive call that may wait only for what is left of the deadline.
// Returns the stream's answer; on -1, `failure` tells a time-out from a
// failed call.
int ReceiveBefore(platform::SocketStream& stream, char* buffer, int capacity,
                  const ReplyDeadline& deadline, PopResult& failure) {
  const int left = deadline.RemainingMs();
  if (left <= 0) {
    failure = POP_TIMED_OUT;
    return -1;
  }
  stream.SetReceiveTimeout(left);
  const int n = stream.Receive(buffer, capacity);
  if (n < 0) failure = deadline.RemainingMs() <= 0 ? POP_TIMED_OUT : POP_SOCKET_ERROR;
  return n;
}

// Receives a status line whole into the buffer and parses it. `total` is
// how many bytes arrived, `lf_index` where its LF stands.
PopResult ReadStatusLine(platform::SocketStream& stream, ReceiveBuffer& buffer, ReplyLine& reply,
                         const ReplyDeadline& deadline, int& total, int& lf_index) {
  total = 0;
  for (;;) {
    // A line that fills the buffer without its LF is no reply we can read;
    // taking its start as the reply would leave the rest for the next one.
    if (total == kReceiveBufferSize) return POP_BAD_REPLY;
    PopResult failure = POP_SOCKET_ERROR;
    const int n = ReceiveBefore(stream, buffer + total, kReceiveBufferSize - total, deadline,
                                failure);
    // No bytes is no reply: the buffer would still hold the last one's status.
    if (n == 0) return POP_SOCKET_ERROR;
    if (n < 0) return failure;
    const bool has_lf = std::memchr(buffer + total, '\n', static_cast<size_t>(n)) != nullptr;
    total += n;
    if (has_lf) break;
  }
  lf_index = ParseLine(buffer, total, reply);
  if (reply.status != '+' && reply.status != '-') return POP_BAD_REPLY;
  return POP_OK;
}

// Reads and drops the rest of a cut reply up to its terminating line, so
// that the next command's reply is not taken from it. `tail` holds the last
// bytes already received, in which the terminator may have begun. Only the
// deadline bounds it: an oversized message is read past, not given up on.
PopResult DrainReply(platform::SocketStream& stream, ChunkBuffer& chunk_buffer, const char* tail,
                     int tail_length, const ReplyDeadline& deadline) {
  constexpr int kKeep = kTerminatorLength - 1;
  char window[kKeep + kChunkBufferSize];
  int kept = tail_length < kKeep ? tail_length : kKeep;
  std::memcpy(window, tail + tail_length - kept, static_cast<size_t>(kept));
  for (;;) {
    PopResult failure = POP_SOCKET_ERROR;
    int n = ReceiveBefore(stream, chunk_buffer, kChunkBufferSize, deadline, failure);
    if (n <= 0) {
      stream.Close();
      return n == 0 ? POP_CLOSED : failure;
    }
    std::memcpy(window + kept, chunk_buffer, static_cast<size_t>(n));
    int window_length = kept + n;
    if (Find(window, 0, window_length) >= 0) return POP_OK;
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

ReplyDeadline ReplyDeadline::FromNow(int milliseconds) {
  return {platform::TickCount() + static_cast<uint64_t>(milliseconds > 0 ? milliseconds : 0)};
}

int ReplyDeadline::RemainingMs() const {
  const uint64_t now = platform::TickCount();
  if (now >= end_tick) return 0;
  const uint64_t left = end_tick - now;
  return left > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(left);
}

PopResult ReadSingleReply(platform::SocketStream& stream, ReceiveBuffer& receive_buffer,
                          ReplyLine& reply, ReplyDeadline deadline) {
  int total = 0;
  int lf_index = -1;
  PopResult result = ReadStatusLine(stream, receive_buffer, reply, deadline, total, lf_index);
  if (result != POP_OK) return result;
  // The server answered more than was asked: client and server no longer
  // agree on which reply is which.
  if (total > lf_index + 1) return POP_BAD_REPLY;
  return POP_OK;
}

PopResult ReadAccumulatingReply(platform::SocketStream& stream, ReceiveBuffer& receive_buffer,
                                ReplyLine& reply, CarriedBytes& carried, ReplyDeadline deadline) {
  carried = CarriedBytes{};
  int total = 0;
  int lf_index = -1;
  PopResult result = ReadStatusLine(stream, receive_buffer, reply, deadline, total, lf_index);
  if (result != POP_OK) return result;
  carried.position = static_cast<int16_t>(lf_index + 1);
  carried.count = static_cast<int16_t>(total - lf_index - 1);
  return POP_OK;
}

PopResult ReadMultiLineText(platform::SocketStream& stream, const ReceiveBuffer& receive_buffer,
                            ChunkBuffer& chunk_buffer, CarriedBytes& carried, BodyBuffer& body,
                            ReplyDeadline deadline) {
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
      return DrainReply(stream, chunk_buffer, tail, sizeof tail, deadline);
    }
    search = length - kTerminatorLength > 0 ? length - kTerminatorLength : 0;
    int room = capacity - 1 - length;  // keep the final NUL
    int want = room < kChunkBufferSize ? room : kChunkBufferSize;
    PopResult failure = POP_SOCKET_ERROR;
    int n = ReceiveBefore(stream, chunk_buffer, want, deadline, failure);
    if (n == 0) return POP_CLOSED;
    if (n < 0) return failure;
    std::memcpy(text + length, chunk_buffer, static_cast<size_t>(n));
    length += n;
  }
}

PopResult ReadMultiLineData(platform::SocketStream& stream, const ReceiveBuffer& receive_buffer,
                            ChunkBuffer& chunk_buffer, CarriedBytes& carried,
                            const MessageSink& sink, ReplyDeadline deadline) {
  // Where the reader stands in the line structure; a dot at a line's start
  // is either stuffing or the start of the terminating line.
  enum { kLineStart, kInLine, kDot, kDotCr } state = kLineStart;
  char out[kMessageOutSize];
  size_t out_length = 0;
  bool taking = true;
  auto flush = [&] {
    if (taking && out_length > 0) taking = sink(out, out_length);
    out_length = 0;
  };
  auto emit = [&](char c) {
    if (out_length == sizeof out) flush();
    out[out_length++] = c;
  };
  // Feeds received bytes; true once the terminating line is complete (bytes
  // behind it are no part of this reply and are dropped).
  auto feed = [&](const char* bytes, int count) {
    for (int i = 0; i < count; ++i) {
      const char c = bytes[i];
      switch (state) {
        case kLineStart:
          if (c == '.') {
            state = kDot;
            break;
          }
          emit(c);
          state = c == '\n' ? kLineStart : kInLine;
          break;
        case kInLine:
          emit(c);
          if (c == '\n') state = kLineStart;
          break;
        case kDot:
          if (c == '\r') {
            state = kDotCr;
          } else if (c == '\n') {
            return true;  // a bare LF after the dot: the end all the same
          } else {
            emit(c);  // the stuffed dot goes, the line goes on
            state = kInLine;
          }
          break;
        case kDotCr:
          if (c == '\n') return true;
          emit('\r');
          emit(c);
          state = kInLine;
          break;
      }
    }
    return false;
  };

  const int first = carried.count;
  const int position = carried.position;
  carried = CarriedBytes{};
  if (feed(receive_buffer + position, first)) {
    flush();
    return POP_OK;
  }
  for (;;) {
    PopResult failure = POP_SOCKET_ERROR;
    const int n = ReceiveBefore(stream, chunk_buffer, kChunkBufferSize, deadline, failure);
    if (n == 0) return POP_CLOSED;
    if (n < 0) return failure;
    if (feed(chunk_buffer, n)) {
      flush();
      return POP_OK;
    }
  }
}

}  // namespace zvrx
