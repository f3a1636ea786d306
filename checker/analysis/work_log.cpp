#include "checker/analysis/work_log.h"

#include <cstring>

#include "platform/drives.h"
#include "platform/files.h"
#include "shared/locations.h"

namespace zvrx {

namespace {

// を削除せずサーバに残しました
constexpr char kLeftOnServerText[] =
    "\x82\xf0\x8d\xed\x8f\x9c\x82\xb9\x82\xb8\x83\x54\x81\x5b\x83\x6f\x82\xc9\x8e\x63"
    "\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
constexpr char kOpenBracket[] = "\x81\x69";   // （
constexpr char kCloseBracket[] = "\x81\x6a";  // ）
constexpr char kIdeographicSpace[] = "\x81\x40";  // 　
constexpr int kSeparatorHyphens = 61;

void AppendValue(std::string& out, const char* field) {
  size_t length = strnlen(field, kMailFieldSize);
  for (size_t i = 0; i < length; ++i) {
    char c = field[i];
    // CP932 trail bytes are never CR or LF, so this cannot split a character.
    out.push_back(c == '\r' || c == '\n' ? ' ' : c);
  }
}

// The last part of the log file, or nothing when it is missing or empty.
std::string ReadLogTail(const std::string& path, bool& from_start) {
  from_start = true;
  int64_t size = platform::FileSize(path);
  if (size <= 0) return {};
  int64_t offset = size > kLogTailSize ? size - kLogTailSize : 0;
  auto tail = platform::ReadFileBytes(path, static_cast<size_t>(size - offset), offset);
  if (!tail) return {};
  from_start = offset == 0;
  return std::string(tail->begin(), tail->end());
}

}  // namespace

std::string LogEntry(std::string_view category, const MailRecord& record,
                     const platform::LocalTime& time) {
  std::string entry = LogStamp(time);
  entry.append(category);
  entry += kLogDeletedText;
  entry += "\r\n";
  entry.append(kLogValueIndent, ' ');
  entry += kLogFromLabel;
  AppendValue(entry, record.from);
  entry += ")\r\n";
  entry.append(kLogValueIndent, ' ');
  entry += kLogSubjectLabel;
  AppendValue(entry, record.subject);
  entry += ")\r\n\r\n";
  return entry;
}

std::string DaySeparator() {
  std::string line = " ";
  line += kIdeographicSpace;
  line.append(kSeparatorHyphens, '-');
  line += "\r\n";
  return line;
}

bool NeedsDaySeparator(std::string_view tail, bool from_start,
                       const platform::LocalTime& time) {
  // The last line that starts with a digit is the last entry's stamp line.
  size_t last_stamp = std::string_view::npos;
  for (size_t i = 0; i < tail.size(); ++i) {
    bool line_start = (i == 0) ? from_start : tail[i - 1] == '\n';
    if (line_start && tail[i] >= '0' && tail[i] <= '9') last_stamp = i;
  }
  if (last_stamp == std::string_view::npos) return false;
  std::string_view last_date = tail.substr(last_stamp, kLogStampDateLength);
  std::string today = LogStamp(time).substr(0, kLogStampDateLength);
  return last_date != today;
}

void WriteLogEntry(std::string_view category, const MailRecord& record) {
  platform::LocalTime now = platform::Now();
  std::string path = DataFolder() + kWorkLogName;
  bool from_start = true;
  std::string tail = ReadLogTail(path, from_start);
  std::string bytes;
  if (NeedsDaySeparator(tail, from_start, now)) bytes = DaySeparator();
  bytes += LogEntry(category, record, now);
  platform::AppendFileBytes(path, bytes.data(), bytes.size());
}

std::string LogNote(std::string_view category, std::string_view reason, const MailRecord& record,
                    const platform::LocalTime& time) {
  std::string note = " " + LogStamp(time);
  note.append(category);
  note += kLeftOnServerText;
  note += kOpenBracket;
  note.append(reason);
  note += kCloseBracket;
  // The From and Subject lines as an entry's.
  std::string entry = LogEntry(category, record, time);
  note += entry.substr(entry.find("\r\n"));
  return note;
}

void WriteLogNote(std::string_view category, std::string_view reason, const MailRecord& record) {
  std::string bytes = LogNote(category, reason, record, platform::Now());
  platform::AppendFileBytes(DataFolder() + kWorkLogName, bytes.data(), bytes.size());
}

}  // namespace zvrx
