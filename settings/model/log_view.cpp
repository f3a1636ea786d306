#include "settings/model/log_view.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/cp932.h"

namespace zvrx {

namespace {

// The byte length of the line starting at `text`, of which `remaining`
// bytes are at hand; 0 when the line may go on past them. `boundary` says
// that a line ends where the bytes at hand end. Opening and block reading
// both cut lines here, so a block read anywhere splits as the index did.
size_t LineLength(const char* text, size_t remaining, bool boundary) {
  const size_t window = std::min(remaining, static_cast<size_t>(kLogLineMaxBytes) + 1);
  if (const void* lf = std::memchr(text, '\n', window)) {
    return static_cast<size_t>(static_cast<const char*>(lf) - text) + 1;
  }
  if (remaining > static_cast<size_t>(kLogLineMaxBytes)) return kLogLineMaxBytes;
  return boundary ? remaining : 0;
}

constexpr int kTextCapacity = kLogBufferSize - 1;
constexpr int kMaxBufferedLines = kLogLineTableSize - 1;

}  // namespace

LogIndex IndexLog(std::string_view log) {
  LogIndex index;
  size_t pos = 0;
  int lines = 0;
  while (pos < log.size()) {
    if (lines % kLogBlockLines == 0) {
      const int block = lines / kLogBlockLines;
      if (block == kLogBlockCount) break;
      index.block_offsets[block] = static_cast<int64_t>(pos);
      index.block_count = block + 1;
    }
    pos += LineLength(log.data() + pos, log.size() - pos, true);
    ++lines;
  }
  index.line_count = lines;
  index.data_end = static_cast<int64_t>(pos);
  return index;
}

int LogScaleFactor(int first_block_lines) {
  if (first_block_lines <= kLogViewLines) return 1;
  return first_block_lines / (first_block_lines - kLogViewLines);
}

int LogScrollPosition(int top, int line_count, int scale) {
  if (top + 1 > (line_count - kLogViewLines) / 2) {
    return line_count + (top + kLogViewLines - line_count) * scale;
  }
  return top * scale;
}

LogView::LogView(LogReader reader) : reader_(std::move(reader)) {}

LogView::~LogView() = default;

bool LogView::Open(const LogIndex& index) {
  Close();
  if (index.line_count <= 0 || index.block_count <= 0) return false;
  index_ = index;
  buffer_ = std::make_unique<char[]>(kLogBufferSize);  // zero-filled
  StartAtBlockOf(0);
  const int first_block_lines = std::min(index_.line_count, kLogBlockLines);
  scale_ = LogScaleFactor(first_block_lines);
  if (!ShowFrom(0)) {
    Close();
    return false;
  }
  position_ = 0;
  scroll_enabled_ = first_block_lines > kLogViewLines;
  return true;
}

void LogView::Close() {
  buffer_.reset();
  index_ = LogIndex{};
  first_line_ = 0;
  buffer_offset_ = 0;
  lines_ = 0;
  size_ = 0;
  line_starts_[0] = 0;
  top_ = 0;
  position_ = 0;
  scale_ = 1;
  scroll_enabled_ = false;
  text_.clear();
}

bool LogView::Scroll(LogScroll request, int position) {
  if (!is_open()) return false;
  const int count = index_.line_count;
  const int last_top = std::max(0, count - kLogViewLines);
  int target = top_;
  switch (request) {
    case LogScroll::kLineUp:
      if (top_ == 0) return false;
      target = top_ - 1;
      break;
    case LogScroll::kLineDown:
      if (top_ + kLogViewLines >= count) return false;  // the last line is in view
      target = top_ + 1;
      break;
    case LogScroll::kPageUp:
      if (top_ == 0) return false;
      target = std::max(0, top_ - kLogViewLines);
      break;
    case LogScroll::kPageDown:
      if (top_ >= last_top) return false;
      target = std::min(top_ + kLogViewLines, last_top);
      break;
    case LogScroll::kTop:
      if (top_ == 0) return false;
      target = 0;
      break;
    case LogScroll::kBottom:
      if (top_ == last_top) return false;
      target = last_top;
      break;
    case LogScroll::kThumbPosition: {
      // The bar's range is 0..N; anything else is taken at its nearer end.
      const int p = std::clamp(position, 0, count);
      if (count <= kLogBlockLines) {
        target = p < count / 2 ? p / scale_ : count + (p - count) / scale_ - kLogViewLines;
      } else {
        // A long log's bar counts lines one to one: the top line is p.
        target = p;
      }
      target = std::clamp(target, 0, last_top);
      break;
    }
    default:
      return false;  // dragging and the end of a scroll move nothing
  }
  if (!ShowFrom(target)) return false;
  position_ = LogScrollPosition(top_, count, scale_);
  if ((request == LogScroll::kLineDown || request == LogScroll::kPageDown) && position_ > count) {
    position_ = count - 1;
  }
  if (request == LogScroll::kTop) position_ = 0;
  return true;
}

bool LogView::ShowFrom(int top) {
  if (!EnsureLines(top)) return false;
  top_ = top;
  const int end = std::min(top + kLogViewLines, index_.line_count);
  const char* text = buffer_.get() + line_starts_[top - first_line_];
  size_t size = static_cast<size_t>(line_starts_[end - first_line_] - line_starts_[top - first_line_]);
  // The last line's line end is not part of the view.
  if (size > 0 && text[size - 1] == '\n') --size;
  if (size > 0 && text[size - 1] == '\r') --size;
  text_.assign(platform::Cp932Prefix(std::string_view(text, size), kLogViewMaxBytes));
  return true;
}

// Brings lines [top, top + 8) (or to the end of the log) into the buffer.
// Moving within the buffer reads nothing. A step past the buffer's end
// keeps the lines still in view and reads on to the end of the next block;
// a step above its start reads the block above and keeps the lines still
// in view after it. Any other jump reads the block of the new top line
// (and, when the view runs over its end, just the lines it needs of the
// next one).
bool LogView::EnsureLines(int top) {
  const int end = std::min(top + kLogViewLines, index_.line_count);
  const int buffered_end = first_line_ + lines_;
  if (lines_ > 0 && top >= first_line_ && end <= buffered_end) return true;
  if (lines_ > 0 && top < first_line_ && end > first_line_ && end <= buffered_end) {
    switch (CarryUpwards(top, end)) {
      case CarryUp::kDone: return true;
      case CarryUp::kFailed: return false;
      case CarryUp::kNotPossible: break;
    }
  }
  if (lines_ > 0 && top >= first_line_ && top < buffered_end) {
    DropBefore(top);
  } else {
    StartAtBlockOf(top);
  }
  while (first_line_ + lines_ < end) {
    const int reached = first_line_ + lines_;
    // Room for at least one more whole line: a block larger than the
    // buffer is read on in parts, keeping only what is in view.
    if (kTextCapacity - size_ < kLogLineMaxBytes + 1 || lines_ >= kMaxBufferedLines) {
      DropBefore(std::min(top, reached));
    }
    const bool carrying = first_line_ == top || BlockOf(reached) == BlockOf(top);
    if (!Append(carrying ? BlockEndLine(reached) : end) || first_line_ + lines_ == reached) {
      Invalidate();
      return false;
    }
  }
  return true;
}

// Reads the lines above the buffer, up to the start of the top line's block
// or as many as fit beside the lines still in view, which are kept after
// them. One read; kNotPossible sends the caller to read forward instead.
LogView::CarryUp LogView::CarryUpwards(int top, int end) {
  const int block = BlockOf(top);
  const int64_t block_offset = index_.block_offsets[block];
  if (block * kLogBlockLines >= first_line_ || block_offset >= buffer_offset_) {
    return CarryUp::kNotPossible;
  }
  const int keep_lines = end - first_line_;  // fewer than eight: top is above the buffer
  const int keep = line_starts_[keep_lines];
  const int64_t front_offset = std::max(block_offset, buffer_offset_ - (kTextCapacity - keep));
  const int front = static_cast<int>(buffer_offset_ - front_offset);
  if (front <= 0) return CarryUp::kNotPossible;

  std::array<int32_t, kLogViewLines + 1> kept{};
  std::copy_n(line_starts_.begin(), keep_lines + 1, kept.begin());
  const int old_first = first_line_;
  char* buffer = buffer_.get();
  std::memmove(buffer + front, buffer, static_cast<size_t>(keep));
  if (size_ > front + keep) {
    std::memset(buffer + front + keep, 0, static_cast<size_t>(size_ - front - keep));
  }
  size_ = front + keep;
  if (!reader_(front_offset, buffer, static_cast<size_t>(front))) {
    Invalidate();
    return CarryUp::kFailed;
  }
  // Read from inside the block: the first whole line starts after an LF.
  int start = 0;
  if (front_offset > block_offset) {
    const void* lf = std::memchr(buffer, '\n', static_cast<size_t>(front));
    if (lf == nullptr) {
      Invalidate();
      return CarryUp::kNotPossible;
    }
    start = static_cast<int>(static_cast<const char*>(lf) - buffer) + 1;
    std::memmove(buffer, buffer + start, static_cast<size_t>(front - start + keep));
    std::memset(buffer + front - start + keep, 0, static_cast<size_t>(start));
  }
  const int region = front - start;
  first_line_ = 0;
  lines_ = 0;
  size_ = 0;
  line_starts_[0] = 0;
  SplitLines(region, true, index_.line_count);
  const int new_first = old_first - lines_;
  // The lines read must end where the kept ones begin and reach the top line.
  if (size_ != region || lines_ + keep_lines > kMaxBufferedLines || new_first > top ||
      new_first < block * kLogBlockLines) {
    Invalidate();
    return CarryUp::kNotPossible;
  }
  first_line_ = new_first;
  buffer_offset_ = front_offset + start;
  for (int i = 1; i <= keep_lines; ++i) line_starts_[lines_ + i] = region + kept[i];
  lines_ += keep_lines;
  size_ = region + keep;
  return CarryUp::kDone;
}

// Reads on from the end of the buffer's text, at most to the end of the
// block that the next line belongs to, and keeps whole lines before
// `max_line`.
bool LogView::Append(int max_line) {
  max_line = std::min(max_line, index_.line_count);
  const int64_t offset = buffer_offset_ + size_;
  const int64_t limit = std::min(index_.data_end, BlockEndOffset(first_line_ + lines_));
  const int64_t want = std::min<int64_t>(kTextCapacity - size_, limit - offset);
  if (want <= 0) return false;
  if (!reader_(offset, buffer_.get() + size_, static_cast<size_t>(want))) return false;
  SplitLines(size_ + static_cast<int>(want), offset + want == limit, max_line);
  return true;
}

void LogView::SplitLines(int text_end, bool boundary, int max_line) {
  char* buffer = buffer_.get();
  int pos = size_;
  while (first_line_ + lines_ < max_line && lines_ < kMaxBufferedLines && pos < text_end) {
    const size_t length =
        LineLength(buffer + pos, static_cast<size_t>(text_end - pos), boundary);
    if (length == 0) break;
    pos += static_cast<int>(length);
    line_starts_[++lines_] = pos;
  }
  // Bytes after the last whole line kept are not held.
  std::memset(buffer + pos, 0, static_cast<size_t>(text_end - pos));
  size_ = pos;
}

void LogView::StartAtBlockOf(int line) {
  const int block = BlockOf(line);
  std::memset(buffer_.get(), 0, static_cast<size_t>(size_));
  first_line_ = block * kLogBlockLines;
  buffer_offset_ = index_.block_offsets[block];
  lines_ = 0;
  size_ = 0;
  line_starts_[0] = 0;
}

void LogView::DropBefore(int line) {
  const int dropped = line - first_line_;  // 0..lines_
  const int bytes = line_starts_[dropped];
  char* buffer = buffer_.get();
  std::memmove(buffer, buffer + bytes, static_cast<size_t>(size_ - bytes));
  std::memset(buffer + size_ - bytes, 0, static_cast<size_t>(bytes));
  for (int i = 0; i <= lines_ - dropped; ++i) line_starts_[i] = line_starts_[i + dropped] - bytes;
  lines_ -= dropped;
  size_ -= bytes;
  first_line_ = line;
  buffer_offset_ += bytes;
}

void LogView::Invalidate() {
  std::memset(buffer_.get(), 0, kLogBufferSize);
  lines_ = 0;
  size_ = 0;
  line_starts_[0] = 0;
}

int LogView::BlockOf(int line) const {
  return std::min(line / kLogBlockLines, index_.block_count - 1);
}

int LogView::BlockEndLine(int line) const {
  return std::min(index_.line_count, (BlockOf(line) + 1) * kLogBlockLines);
}

int64_t LogView::BlockEndOffset(int line) const {
  const int next = BlockOf(line) + 1;
  return next < index_.block_count ? index_.block_offsets[next] : index_.data_end;
}

}  // namespace zvrx
