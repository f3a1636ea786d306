// The work-log page's view of the log: eight lines of a file that may be
// far larger than what the page keeps in memory. The log is indexed once
// (lines counted, the offset of every 400th line kept); afterwards one
// block of 400 lines sits in a fixed buffer with a table of line starts,
// and moving the view into another block reads just that block through the
// held file.
//
// A "line" ends after its LF, or at the end of the log. A line longer than
// kLogLineMaxBytes is taken in pieces of that many bytes, each a line of
// its own: the view could never show more of it, and no line can then
// outgrow the block buffer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zvrx {

inline constexpr int kLogBlockLines = 400;  // lines per block read at a time
// Entries of the block index: the page shows at most 100 blocks (40000
// lines); lines after them are counted in the summary but not shown.
inline constexpr int kLogBlockCount = 100;
inline constexpr int kLogBufferSize = 50000;    // the one block buffer, a zero after its text
inline constexpr int kLogLineTableSize = 410;   // a block, carried-over lines and the end entry
inline constexpr int kLogViewLines = 8;         // lines of the view control
inline constexpr int kLogViewMaxBytes = 1000;   // the view control's text
inline constexpr int kLogLineMaxBytes = 1000;   // longer lines are shown in pieces

// What the page learns from one pass over the whole log at opening.
struct LogIndex {
  // File offset of the first line of each block; 0 after entry 0 means
  // there is no such block.
  std::array<int64_t, kLogBlockCount> block_offsets{};
  int block_count = 0;
  int line_count = 0;    // N, a last line without LF included
  int64_t data_end = 0;  // where the shown lines end (the file size at opening,
                         // or the end of the last indexed block)
};

LogIndex IndexLog(std::string_view log);

// Reads exactly `size` bytes at `offset` of the held log; false when they
// cannot all be read.
using LogReader = std::function<bool(int64_t offset, char* out, size_t size)>;

// The scroll bar's requests the view acts on (the Windows codes).
enum class LogScroll {
  kLineUp = 0,
  kLineDown = 1,
  kPageUp = 2,
  kPageDown = 3,
  kThumbPosition = 4,  // thumb released
  kThumbTrack = 5,     // thumb dragged: nothing happens until release
  kTop = 6,
  kBottom = 7,
  kEndScroll = 8,
};

// The scroll factor R from the first block's line count L: L / (L - 8),
// 1 for a block of 8 lines or fewer (the scroll bar is off then anyway).
int LogScaleFactor(int first_block_lines);

// The scroll bar position of a view whose top line is `top`.
int LogScrollPosition(int top, int line_count, int scale);

class LogView {
 public:
  explicit LogView(LogReader reader);
  ~LogView();
  LogView(const LogView&) = delete;
  LogView& operator=(const LogView&) = delete;

  // Takes the index of the opening pass and reads the first block. False
  // when the log is empty or the block cannot be read: the view stays empty.
  bool Open(const LogIndex& index);
  // Releases the block buffer; the view is empty afterwards.
  void Close();

  // One request of the scroll bar (`position` for a released thumb). True
  // when the view and the position are to be shown again; false when
  // nothing happens (or the block needed could not be read: the view stays).
  bool Scroll(LogScroll request, int position = 0);

  // The eight lines from the top line, without the last line's LF, cut to
  // at most kLogViewMaxBytes bytes between whole characters.
  const std::string& text() const { return text_; }
  int top() const { return top_; }
  int position() const { return position_; }
  int line_count() const { return index_.line_count; }
  int scale() const { return scale_; }
  // The scroll bar is on when the first block holds 9 lines or more.
  bool scroll_enabled() const { return scroll_enabled_; }
  bool is_open() const { return buffer_ != nullptr; }

  // What the buffer holds: lines [first_line, first_line + lines), text bytes.
  int buffered_first_line() const { return first_line_; }
  int buffered_lines() const { return lines_; }
  int buffered_bytes() const { return size_; }

 private:
  bool ShowFrom(int top);
  bool EnsureLines(int top);
  enum class CarryUp { kDone, kNotPossible, kFailed };
  CarryUp CarryUpwards(int top, int end);
  bool Append(int max_line);
  void StartAtBlockOf(int line);
  void DropBefore(int line);
  void Invalidate();
  // Adds the lines of buffer bytes [size_, text_end); `boundary` tells that
  // text_end is the start of a line (or the end of the shown data).
  void SplitLines(int text_end, bool boundary, int max_line);
  int BlockOf(int line) const;
  int BlockEndLine(int line) const;
  int64_t BlockEndOffset(int line) const;

  LogReader reader_;
  LogIndex index_;
  std::unique_ptr<char[]> buffer_;
  std::array<int32_t, kLogLineTableSize> line_starts_{};
  int first_line_ = 0;       // absolute number of the buffer's first line
  int64_t buffer_offset_ = 0;  // its file offset
  int lines_ = 0;            // L
  int size_ = 0;             // text bytes in the buffer
  int top_ = 0;
  int position_ = 0;
  int scale_ = 1;
  bool scroll_enabled_ = false;
  std::string text_;
};

}  // namespace zvrx
