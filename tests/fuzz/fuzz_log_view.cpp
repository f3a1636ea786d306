// Log bytes of any shape (repeated, so blocks larger than the buffer and
// logs of many blocks are reached) and a sequence of scroll requests, some
// with the held file refusing to read. After every request the view must
// show exactly the lines from its top line, never past the end of the log,
// and the buffer must hold no more than one block and the carried lines.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settings/model/log_view.h"

namespace {

using zvrx::LogScroll;

// The lines as the page counts them, found the plain way: a line ends after
// its LF, after kLogLineMaxBytes bytes without one, or at the end.
std::vector<std::string> SplitLines(const std::string& log) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < log.size() && lines.size() < zvrx::kLogBlockCount * zvrx::kLogBlockLines) {
    size_t end = pos;
    while (end < log.size() && end - pos < static_cast<size_t>(zvrx::kLogLineMaxBytes) &&
           log[end] != '\n') {
      ++end;
    }
    if (end < log.size() && log[end] == '\n') ++end;
    lines.push_back(log.substr(pos, end - pos));
    pos = end;
  }
  return lines;
}

std::string ExpectedView(const std::vector<std::string>& lines, int top) {
  std::string text;
  const int end = std::min<int>(top + zvrx::kLogViewLines, static_cast<int>(lines.size()));
  for (int i = top; i < end; ++i) text += lines[i];
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const int repeat = input.ConsumeIntegralInRange(1, 64);
  struct Request {
    LogScroll request;
    int position;
    bool failing;
  };
  std::vector<Request> requests(input.ConsumeIntegralInRange(0, 200));
  for (Request& r : requests) {
    r.request = static_cast<LogScroll>(input.ConsumeIntegralInRange(0, 9));
    r.position = input.ConsumeIntegralInRange(-100, 45000);
    r.failing = input.ConsumeIntegralInRange(0, 15) == 0;
  }
  const std::string piece = input.ConsumeRemainingBytesAsString();
  std::string log;
  for (int i = 0; i < repeat; ++i) log += piece;

  bool failing = false;
  zvrx::LogView view([&](int64_t offset, char* out, size_t count) {
    Check(offset >= 0 && count > 0 && static_cast<size_t>(offset) + count <= log.size());
    Check(count < static_cast<size_t>(zvrx::kLogBufferSize));
    if (failing) return false;
    std::memcpy(out, log.data() + offset, count);
    return true;
  });
  const zvrx::LogIndex index = zvrx::IndexLog(log);
  const std::vector<std::string> lines = SplitLines(log);
  Check(index.line_count == static_cast<int>(lines.size()));
  if (!view.Open(index)) {
    Check(log.empty());
    return 0;
  }
  const int last_top = std::max(0, index.line_count - zvrx::kLogViewLines);
  for (const Request& r : requests) {
    failing = r.failing;
    const int old_top = view.top();
    const std::string old_text = view.text();
    const bool moved = view.Scroll(r.request, r.position);
    if (!moved) {
      Check(view.top() == old_top && view.text() == old_text);
    } else if (r.request == LogScroll::kLineDown) {
      Check(view.top() == old_top + 1);
    } else if (r.request == LogScroll::kLineUp) {
      Check(view.top() == old_top - 1);
    }
    Check(view.top() >= 0 && view.top() <= last_top);
    const std::string expected = ExpectedView(lines, view.top());
    const std::string& text = view.text();
    Check(text.size() <= static_cast<size_t>(zvrx::kLogViewMaxBytes));
    Check(expected.compare(0, text.size(), text) == 0);
    Check(text.size() == expected.size() || text.size() + 1 >= zvrx::kLogViewMaxBytes);
    Check(view.buffered_bytes() < zvrx::kLogBufferSize);
    Check(view.buffered_lines() <= zvrx::kLogBlockLines + zvrx::kLogViewLines);
  }
  return 0;
}
