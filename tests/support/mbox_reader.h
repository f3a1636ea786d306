// Reading an mbox file back as mail programs do, to check what restore
// appends.
#pragma once

#include <string>
#include <vector>

namespace zvrx::test {

// An mbox reader as mail programs read "mboxrd": messages start at "From "
// lines, the empty line before the next "From " line belongs to none, and
// one '>' is taken off every line that reads ">...>From ".
inline std::vector<std::string> ReadMbox(const std::string& mbox) {
  std::vector<std::string> messages;
  std::vector<std::string> lines;
  for (size_t at = 0; at < mbox.size();) {
    size_t lf = mbox.find('\n', at);
    size_t end = lf == std::string::npos ? mbox.size() : lf + 1;
    lines.push_back(mbox.substr(at, end - at));
    at = end;
  }
  std::string* current = nullptr;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.rfind("From ", 0) == 0 && (i == 0 || lines[i - 1] == "\n")) {
      if (current != nullptr && !current->empty()) current->pop_back();  // the empty line
      messages.emplace_back();
      current = &messages.back();
      continue;
    }
    if (current == nullptr) continue;
    size_t quotes = 0;
    while (quotes < line.size() && line[quotes] == '>') ++quotes;
    if (quotes > 0 && line.compare(quotes, 5, "From ") == 0) {
      current->append(line.substr(1));
    } else {
      current->append(line);
    }
  }
  if (current != nullptr && !current->empty()) current->pop_back();
  return messages;
}

}  // namespace zvrx::test
