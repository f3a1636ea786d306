// The work-log view: line counting and the block index, the eight-line view
// and every scroll request with its position, over logs far larger than the
// one block the view may hold.
#include "settings/model/log_view.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp932.h"

namespace zvrx {
namespace {

// A log held in memory that counts the reads made of it and can refuse them.
struct FakeLogFile {
  std::string bytes;
  int reads = 0;
  bool failing = false;
};

LogReader ReaderOf(const std::shared_ptr<FakeLogFile>& file) {
  return [file](int64_t offset, char* out, size_t size) {
    ++file->reads;
    if (file->failing || offset < 0 || static_cast<size_t>(offset) + size > file->bytes.size()) {
      return false;
    }
    std::memcpy(out, file->bytes.data() + offset, size);
    return true;
  };
}

// Line i of a test log: its number, then `padding` bytes, so every line
// is told apart in the view.
std::string Line(int i, int padding = 0) {
  char number[16];
  std::snprintf(number, sizeof number, "line %05d", i);
  return number + std::string(static_cast<size_t>(padding), '.');
}

std::string MakeLog(int lines, int padding = 0) {
  std::string log;
  for (int i = 0; i < lines; ++i) log += Line(i, padding) + "\r\n";
  return log;
}

// What the view must show with `top` as its top line: eight lines, no more
// than the view holds.
std::string Expected(int top, int lines, int padding = 0) {
  std::string text;
  for (int i = top; i < std::min(top + kLogViewLines, lines); ++i) {
    if (i > top) text += "\r\n";
    text += Line(i, padding);
  }
  return text.substr(0, kLogViewMaxBytes);  // single-byte lines: cut anywhere
}

class LogViewTest : public ::testing::Test {
 protected:
  void OpenLog(std::string bytes) {
    file_->bytes = std::move(bytes);
    view_ = std::make_unique<LogView>(ReaderOf(file_));
    ASSERT_TRUE(view_->Open(IndexLog(file_->bytes)));
  }
  // The view holds at most one block and the lines carried over with it.
  void ExpectWithinBuffer() const {
    EXPECT_LE(view_->buffered_lines(), kLogBlockLines + kLogViewLines);
    EXPECT_LT(view_->buffered_bytes(), kLogBufferSize);
    EXPECT_LE(view_->text().size(), static_cast<size_t>(kLogViewMaxBytes));
  }
  std::shared_ptr<FakeLogFile> file_ = std::make_shared<FakeLogFile>();
  std::unique_ptr<LogView> view_;
};

TEST(IndexLog, CountsEveryLineAndIndexesEach400th) {
  const std::string log = MakeLog(801) + "tail without line end";
  const LogIndex index = IndexLog(log);
  EXPECT_EQ(index.line_count, 802);
  EXPECT_EQ(index.block_count, 3);
  const int64_t line_bytes = static_cast<int64_t>(Line(0).size()) + 2;
  EXPECT_EQ(index.block_offsets[0], 0);
  EXPECT_EQ(index.block_offsets[1], 400 * line_bytes);
  EXPECT_EQ(index.block_offsets[2], 800 * line_bytes);
  EXPECT_EQ(index.block_offsets[3], 0);  // no such block
  EXPECT_EQ(index.data_end, static_cast<int64_t>(log.size()));

  EXPECT_EQ(IndexLog("").line_count, 0);
  EXPECT_EQ(IndexLog("\n").line_count, 1);
  EXPECT_EQ(IndexLog("a\nb").line_count, 2);
  // A line longer than the view can show counts once per 1000-byte piece.
  EXPECT_EQ(IndexLog(std::string(kLogLineMaxBytes, 'x') + "\n").line_count, 1);
  EXPECT_EQ(IndexLog(std::string(kLogLineMaxBytes + 1, 'x') + "\n").line_count, 2);
  EXPECT_EQ(IndexLog(std::string(2500, 'x')).line_count, 3);
}

TEST(IndexLog, StopsAtTheLastBlockOfTheIndex) {
  const std::string log = MakeLog(kLogBlockCount * kLogBlockLines + 123);
  const LogIndex index = IndexLog(log);
  EXPECT_EQ(index.block_count, kLogBlockCount);
  EXPECT_EQ(index.line_count, kLogBlockCount * kLogBlockLines);
  EXPECT_EQ(index.data_end,
            static_cast<int64_t>(kLogBlockCount * kLogBlockLines * (Line(0).size() + 2)));
}

TEST(LogScale, FromTheFirstBlocksLineCount) {
  const struct {
    int lines, scale;
  } cases[] = {{1, 1}, {8, 1}, {9, 9}, {12, 3}, {16, 2}, {17, 1}, {400, 1}};
  for (const auto& c : cases) EXPECT_EQ(LogScaleFactor(c.lines), c.scale) << c.lines;
}

// One request and where it must leave the view.
struct Step {
  LogScroll request;
  int position;  // for a released thumb
  int top;
  int scroll_position;
};

struct ScrollCase {
  const char* rule;
  int lines;
  bool enabled;
  int scale;
  std::vector<Step> steps;
};

TEST_F(LogViewTest, ScrollRequestsMoveTheViewAndThePosition) {
  using S = LogScroll;
  const ScrollCase cases[] = {
      {"eight lines are all shown and the bar is off", 8, false, 1,
       {{S::kLineDown, 0, 0, 0}}},
      {"nine lines: one step down puts the position at 9", 9, true, 9,
       {{S::kLineDown, 0, 1, 9}, {S::kLineDown, 0, 1, 9}, {S::kLineUp, 0, 0, 0}}},
      {"twelve lines: the five top lines give positions 0, 3, 6, 9, 12", 12, true, 3,
       {{S::kLineDown, 0, 1, 3},
        {S::kLineDown, 0, 2, 6},
        {S::kLineDown, 0, 3, 9},
        {S::kLineDown, 0, 4, 12},
        {S::kLineDown, 0, 4, 12},
        {S::kTop, 0, 0, 0}}},
      {"twelve lines: a thumb at 5 shows lines 1-8, at 6 lines 2-9", 12, true, 3,
       {{S::kThumbPosition, 5, 1, 3},
        {S::kThumbPosition, 6, 2, 6},
        {S::kThumbPosition, 12, 4, 12},
        {S::kThumbPosition, 0, 0, 0}}},
      {"twelve lines: page moves stop at the first and the last page", 12, true, 3,
       {{S::kPageDown, 0, 4, 12}, {S::kPageUp, 0, 0, 0}, {S::kBottom, 0, 4, 12}}},
      {"1000 lines: one line step gives 1, a top line of 600 gives 608", 1000, true, 1,
       {{S::kLineDown, 0, 1, 1},
        {S::kThumbPosition, 600, 600, 608},
        {S::kLineUp, 0, 599, 607},
        {S::kPageDown, 0, 607, 615},
        {S::kBottom, 0, 992, 1000},
        {S::kPageDown, 0, 992, 1000},
        {S::kThumbTrack, 10, 992, 1000},
        {S::kPageUp, 0, 984, 992},
        {S::kTop, 0, 0, 0}}},
      {"1000 lines: a thumb past either end of the range stays within the log", 1000, true, 1,
       {{S::kThumbPosition, 5000, 992, 1000}, {S::kThumbPosition, -7, 0, 0}}},
  };
  for (const ScrollCase& c : cases) {
    SCOPED_TRACE(c.rule);
    OpenLog(MakeLog(c.lines));
    EXPECT_EQ(view_->scroll_enabled(), c.enabled);
    EXPECT_EQ(view_->scale(), c.scale);
    EXPECT_EQ(view_->line_count(), c.lines);
    EXPECT_EQ(view_->position(), 0);
    EXPECT_EQ(view_->text(), Expected(0, c.lines));
    for (const Step& step : c.steps) {
      view_->Scroll(step.request, step.position);
      EXPECT_EQ(view_->top(), step.top);
      EXPECT_EQ(view_->position(), step.scroll_position);
      EXPECT_EQ(view_->text(), Expected(step.top, c.lines));
    }
  }
}

TEST_F(LogViewTest, ShortLogShowsWhatThereIs) {
  OpenLog("only line");
  EXPECT_EQ(view_->text(), "only line");
  EXPECT_FALSE(view_->scroll_enabled());
  EXPECT_FALSE(view_->Scroll(LogScroll::kLineDown));
  EXPECT_FALSE(view_->Scroll(LogScroll::kBottom));

  LogView empty(ReaderOf(file_));
  EXPECT_FALSE(empty.Open(IndexLog("")));
  EXPECT_EQ(empty.text(), "");
}

// Line by line to the end and back: every view is the next one, each block
// is read once per crossing, and nothing more than a block stays held.
TEST_F(LogViewTest, LineStepsCrossBlocksWithoutSkippingOrRepeating) {
  const struct {
    const char* rule;
    int lines;
    int padding;
  } cases[] = {
      {"short lines: each block fits the buffer", 3210, 0},
      {"lines of 200 bytes: a block is larger than the buffer", 1290, 190},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    OpenLog(MakeLog(c.lines, c.padding));
    const int last_top = c.lines - kLogViewLines;
    int reads = file_->reads;
    for (int top = 1; top <= last_top; ++top) {
      ASSERT_TRUE(view_->Scroll(LogScroll::kLineDown)) << top;
      ASSERT_EQ(view_->top(), top);
      ASSERT_EQ(view_->text(), Expected(top, c.lines, c.padding)) << top;
      ASSERT_LE(file_->reads - reads, 1) << "one read at most per step, at " << top;
      reads = file_->reads;
      ExpectWithinBuffer();
    }
    EXPECT_FALSE(view_->Scroll(LogScroll::kLineDown));
    for (int top = last_top - 1; top >= 0; --top) {
      ASSERT_TRUE(view_->Scroll(LogScroll::kLineUp)) << top;
      ASSERT_EQ(view_->text(), Expected(top, c.lines, c.padding)) << top;
      ASSERT_LE(file_->reads - reads, 1) << "one read at most per step, at " << top;
      reads = file_->reads;
      ExpectWithinBuffer();
    }
    EXPECT_FALSE(view_->Scroll(LogScroll::kLineUp));
  }
}

TEST_F(LogViewTest, EachBlockIsReadOncePerCrossing) {
  const int lines = 3210;  // eight full blocks and a part
  OpenLog(MakeLog(lines));
  EXPECT_EQ(file_->reads, 1);  // the first block
  while (view_->Scroll(LogScroll::kLineDown)) {}
  EXPECT_EQ(file_->reads, 1 + 8);  // each later block once on the way down
  while (view_->Scroll(LogScroll::kLineUp)) {}
  EXPECT_EQ(file_->reads, 1 + 8 + 8);  // and each earlier one once on the way up

  // Moving within the block in memory reads nothing.
  const int before = file_->reads;
  view_->Scroll(LogScroll::kPageDown);
  view_->Scroll(LogScroll::kThumbPosition, 300);
  view_->Scroll(LogScroll::kTop);
  EXPECT_EQ(file_->reads, before);
}

TEST_F(LogViewTest, JumpsShowTheLinesOfAnyBlock) {
  const int lines = 2005;
  OpenLog(MakeLog(lines));
  using S = LogScroll;
  const Step steps[] = {
      {S::kThumbPosition, 395, 395, 395},    // the view runs into the next block
      {S::kThumbPosition, 1600, 1600, 1608},  // a block start
      {S::kThumbPosition, 1999, 1997, 2005},  // past the last page
      {S::kPageUp, 0, 1989, 1997},
      {S::kThumbPosition, 799, 799, 799},
      {S::kLineUp, 0, 798, 798},
      {S::kPageDown, 0, 806, 806},
      {S::kBottom, 0, 1997, 2005},
      {S::kTop, 0, 0, 0},
  };
  for (const Step& step : steps) {
    ASSERT_TRUE(view_->Scroll(step.request, step.position));
    EXPECT_EQ(view_->top(), step.top);
    EXPECT_EQ(view_->position(), step.scroll_position);
    EXPECT_EQ(view_->text(), Expected(step.top, lines));
    ExpectWithinBuffer();
  }
}

TEST_F(LogViewTest, ALogPastTheIndexEndsWithItsLastIndexedBlock) {
  const int shown = kLogBlockCount * kLogBlockLines;
  OpenLog(MakeLog(shown + 50));
  EXPECT_EQ(view_->line_count(), shown);
  ASSERT_TRUE(view_->Scroll(LogScroll::kBottom));
  EXPECT_EQ(view_->text(), Expected(shown - kLogViewLines, shown));
  EXPECT_FALSE(view_->Scroll(LogScroll::kLineDown));
}

TEST_F(LogViewTest, TheViewNeverHoldsMoreThan1000Bytes) {
  // Lines of 150 double-byte characters: eight of them are far more than
  // the view holds. After the short first line, every other line's
  // characters start on odd offsets, so byte 1000 would split one.
  std::string wide;
  for (int i = 0; i < 150; ++i) wide += platform::Utf8ToCp932("漢");
  std::string log = "y\r\n";
  for (int i = 0; i < 20; ++i) log += "x" + wide + "\r\n";
  OpenLog(log);
  EXPECT_EQ(view_->text(), log.substr(0, 999));  // not the first byte of a character

  // Such a view does not stop line steps: the arrow always moves on.
  ASSERT_TRUE(view_->Scroll(LogScroll::kLineDown));
  EXPECT_EQ(view_->top(), 1);
  EXPECT_EQ(view_->text(), log.substr(3, 1000));
}

TEST_F(LogViewTest, AnOverlongLineIsShownInPieces) {
  const std::string long_line(2 * kLogLineMaxBytes + 5, 'y');
  std::string log = MakeLog(3) + long_line + "\r\n" + MakeLog(10);
  OpenLog(log);
  EXPECT_EQ(view_->line_count(), 3 + 3 + 10);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(view_->Scroll(LogScroll::kLineDown));
  // The first piece, as much as the view holds.
  EXPECT_EQ(view_->text(), std::string(kLogViewMaxBytes, 'y'));
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(view_->Scroll(LogScroll::kLineDown));
  // The last piece, then the lines after it.
  EXPECT_EQ(view_->text().substr(0, 19), "yyyyy\r\nline 00000\r\n");
}

TEST_F(LogViewTest, AFailedReadLeavesTheViewAsItWas) {
  OpenLog(MakeLog(1000));
  ASSERT_TRUE(view_->Scroll(LogScroll::kThumbPosition, 392));  // lines 392-399, block 0
  file_->failing = true;
  EXPECT_FALSE(view_->Scroll(LogScroll::kLineDown));  // needs the next block
  EXPECT_FALSE(view_->Scroll(LogScroll::kBottom));
  EXPECT_EQ(view_->top(), 392);
  EXPECT_EQ(view_->position(), 392);
  EXPECT_EQ(view_->text(), Expected(392, 1000));
  file_->failing = false;
  ASSERT_TRUE(view_->Scroll(LogScroll::kLineDown));
  EXPECT_EQ(view_->text(), Expected(393, 1000));
  ASSERT_TRUE(view_->Scroll(LogScroll::kLineUp));
  EXPECT_EQ(view_->text(), Expected(392, 1000));

  LogView unreadable(ReaderOf(file_));
  file_->failing = true;
  EXPECT_FALSE(unreadable.Open(IndexLog(file_->bytes)));
  EXPECT_FALSE(unreadable.is_open());
}

TEST_F(LogViewTest, LinesAppendedAfterOpeningAreNotShown) {
  OpenLog(MakeLog(20));
  file_->bytes += MakeLog(30).substr(MakeLog(20).size());
  ASSERT_TRUE(view_->Scroll(LogScroll::kBottom));
  EXPECT_EQ(view_->text(), Expected(12, 20));
  EXPECT_FALSE(view_->Scroll(LogScroll::kLineDown));
}

}  // namespace
}  // namespace zvrx
