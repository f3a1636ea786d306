#include "shared/kept_copies.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/files.h"
#include "shared/extension_settings.h"
#include "shared/locations.h"
#include "shared/work_log_format.h"

namespace zvrx {

namespace {

constexpr int64_t kDaySeconds = 24 * 60 * 60;
constexpr int64_t kMatchWindowSeconds = 2 * 60;

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (*month <= 2));
}

std::string NameOf(const platform::LocalTime& t, int sequence) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d-%03d", t.year % 10000,
                t.month % 100, t.day % 100, t.hour % 100, t.minute % 100, t.second % 100,
                sequence % kKeptNamesPerSecond);
  return text;
}

// A value stays on its line.
std::string OneLine(std::string_view value) {
  std::string line(value);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

std::string IndexText(const KeptCopyInfo& info) {
  std::string text;
  auto add = [&](const char* key, std::string_view value) {
    text += key;
    text += '=';
    text += OneLine(value);
    text += "\r\n";
  };
  add("stamp", info.stamp);
  add("category", info.category);
  add("from", info.from);
  add("subject", info.subject);
  add("account", info.account);
  add("uidl", info.uidl);
  return text;
}

KeptCopyInfo ParseIndex(std::string_view text) {
  KeptCopyInfo info;
  while (!text.empty()) {
    size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view key = line.substr(0, equals);
    std::string value(line.substr(equals + 1));
    if (key == "stamp") info.stamp = value;
    else if (key == "category") info.category = value;
    else if (key == "from") info.from = value;
    else if (key == "subject") info.subject = value;
    else if (key == "account") info.account = value;
    else if (key == "uidl") info.uidl = value;
  }
  return info;
}

// A stamp "yy.mm.dd  hh:mm" as minutes, for nearness; -1 when unreadable.
int64_t StampMinutes(std::string_view stamp) {
  if (stamp.size() < static_cast<size_t>(kKeptStampLength)) return -1;
  auto two = [&](size_t at) {
    char a = stamp[at], b = stamp[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
    return (a - '0') * 10 + (b - '0');
  };
  int y = two(0), mo = two(3), d = two(6), h = two(10), mi = two(13);
  if (y < 0 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || mi < 0) return -1;
  return (DaysFromCivil(2000 + y, mo, d) * 24 + h) * 60 + mi;
}

}  // namespace

KeptOptions KeptOptionsFrom(const ExtensionSettings& settings) {
  KeptOptions options;
  options.enabled = settings.Bool(kKeepDeletedKey);
  options.days = static_cast<int>(settings.Integer(kKeepDaysKey));
  options.max_total_bytes = settings.Integer(kKeepSizeKey) * kMegabyte;
  return options;
}

std::string KeptFolder() { return DataFolder() + kKeptSubfolder; }

int64_t LocalSeconds(const platform::LocalTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * kDaySeconds + t.hour * 3600 + t.minute * 60 +
         t.second;
}

int64_t SecondsOfName(std::string_view name) {
  if (name.size() < 15 || name[8] != '-') return -1;
  int64_t digits[14];
  int k = 0;
  for (size_t i = 0; i < 15; ++i) {
    if (i == 8) continue;
    if (name[i] < '0' || name[i] > '9') return -1;
    digits[k++] = name[i] - '0';
  }
  auto number = [&](int from, int count) {
    int64_t value = 0;
    for (int i = from; i < from + count; ++i) value = value * 10 + digits[i];
    return value;
  };
  platform::LocalTime t;
  t.year = static_cast<int>(number(0, 4));
  t.month = static_cast<int>(number(4, 2));
  t.day = static_cast<int>(number(6, 2));
  t.hour = static_cast<int>(number(8, 2));
  t.minute = static_cast<int>(number(10, 2));
  t.second = static_cast<int>(number(12, 2));
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31) return -1;
  return LocalSeconds(t);
}

std::unique_ptr<PendingCopy> PendingCopy::Begin(const platform::LocalTime& now) {
  const std::string folder = KeptFolder();
  if (!platform::FolderExists(folder)) platform::CreateFolder(folder);
  for (int sequence = 0; sequence < kKeptNamesPerSecond; ++sequence) {
    std::string name = NameOf(now, sequence);
    // A committed copy of the same name would be replaced at commit.
    if (platform::FileExists(folder + name + kKeptCopySuffix)) continue;
    auto writer = platform::FileWriter::CreateNew(folder + name + kKeptPartSuffix);
    if (writer) return std::unique_ptr<PendingCopy>(new PendingCopy(name, std::move(writer)));
    if (!platform::FileExists(folder + name + kKeptPartSuffix)) return nullptr;  // cannot write
  }
  return nullptr;
}

PendingCopy::~PendingCopy() {
  if (writer_ || finished_) Drop();
}

bool PendingCopy::Write(const void* data, size_t size) {
  if (!writer_ || !writer_->Write(data, size)) return false;
  size_ += static_cast<int64_t>(size);
  return true;
}

bool PendingCopy::Finish() {
  if (!writer_) return false;
  finished_ = writer_->Finish();
  if (!finished_) writer_.reset();
  return finished_;
}

void PendingCopy::Drop() {
  if (writer_) writer_->Abandon();
  if (finished_) platform::DeleteFile(KeptFolder() + name_ + kKeptPartSuffix);
  writer_.reset();
  finished_ = false;
}

bool PendingCopy::Commit(const KeptCopyInfo& info) {
  if (!finished_) return false;
  const std::string base = KeptFolder() + name_;
  const std::string index = IndexText(info);
  // The index first, so a copy listed as complete has its entry.
  const bool indexed =
      platform::WritePrivateFileBytes(base + kKeptIndexSuffix, index.data(), index.size());
  if (!platform::RenameFile(base + kKeptPartSuffix, base + kKeptCopySuffix)) {
    if (indexed) platform::DeleteFile(base + kKeptIndexSuffix);
    return false;
  }
  writer_.reset();
  finished_ = false;
  return true;
}

std::vector<KeptCopy> ListKeptCopies() {
  const std::string folder = KeptFolder();
  std::vector<KeptCopy> copies;
  for (const std::string& file : platform::ListFolder(folder + "*" + kKeptCopySuffix)) {
    if (!EndsWith(file, kKeptCopySuffix)) continue;  // the pattern is case-blind
    KeptCopy copy;
    copy.name = file.substr(0, file.size() - (sizeof kKeptCopySuffix - 1));
    copy.seconds = SecondsOfName(copy.name);
    if (copy.seconds < 0) continue;  // not ours
    copy.size = platform::FileSize(folder + file);
    if (copy.size < 0) continue;
    auto index = platform::ReadFileBytes(folder + copy.name + kKeptIndexSuffix, 64 * 1024);
    if (index) {
      copy.indexed = true;
      copy.info = ParseIndex(std::string_view(index->data(), index->size()));
    }
    copies.push_back(std::move(copy));
  }
  std::sort(copies.begin(), copies.end(),
            [](const KeptCopy& a, const KeptCopy& b) { return a.name < b.name; });
  return copies;
}

std::optional<std::vector<char>> ReadKeptCopy(const KeptCopy& copy) {
  return platform::ReadFileBytes(KeptFolder() + copy.name + kKeptCopySuffix);
}

int FindKeptCopy(const std::vector<KeptCopy>& copies, std::string_view stamp,
                 std::string_view category, std::string_view from, std::string_view subject) {
  const int64_t minutes = StampMinutes(stamp);
  int best = -1;
  int64_t best_distance = 0;
  for (size_t i = 0; i < copies.size(); ++i) {
    const KeptCopyInfo& info = copies[i].info;
    if (info.category != category || info.from != OneLine(from) ||
        info.subject != OneLine(subject)) {
      continue;
    }
    const int64_t other = StampMinutes(info.stamp);
    if (minutes < 0 || other < 0) continue;
    const int64_t distance = std::llabs(other - minutes);
    if (distance * 60 > kMatchWindowSeconds) continue;
    // Equal distances: the later copy, as the log's later entry.
    if (best < 0 || distance <= best_distance) {
      best = static_cast<int>(i);
      best_distance = distance;
    }
  }
  return best;
}

bool ParseLogEntry(std::string_view entry, std::string* stamp, std::string* category,
                   std::string* from, std::string* subject) {
  std::vector<std::string_view> lines;
  while (!entry.empty() && lines.size() < 3) {
    size_t lf = entry.find('\n');
    std::string_view line = entry.substr(0, lf);
    entry.remove_prefix(lf == std::string_view::npos ? entry.size() : lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
  }
  if (lines.size() < 3) return false;
  std::string_view first = lines[0];
  if (first.size() < static_cast<size_t>(kLogStampSize) || first[0] < '0' ||
      first[0] > '9' || !EndsWith(first, kLogDeletedText)) {
    return false;
  }
  *stamp = std::string(first.substr(0, kKeptStampLength));
  *category = std::string(first.substr(
      kLogStampSize, first.size() - kLogStampSize - (sizeof kLogDeletedText - 1)));
  auto value = [](std::string_view line, std::string_view label, std::string* out) {
    if (line.size() < kLogValueIndent + label.size() + 1) return false;
    line.remove_prefix(kLogValueIndent);
    if (line.substr(0, label.size()) != label || line.back() != ')') return false;
    *out = std::string(line.substr(label.size(), line.size() - label.size() - 1));
    return true;
  };
  return value(lines[1], kLogFromLabel, from) && value(lines[2], kLogSubjectLabel, subject);
}

void RemoveKeptLeftovers() {
  const std::string folder = KeptFolder();
  std::vector<std::string> names = platform::ListFolder(folder + "*.*");
  auto has = [&](const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  for (const std::string& file : names) {
    bool leftover = false;
    if (EndsWith(file, kKeptPartSuffix)) {
      leftover = SecondsOfName(file) >= 0;
    } else if (EndsWith(file, kKeptIndexSuffix)) {
      const std::string name = file.substr(0, file.size() - (sizeof kKeptIndexSuffix - 1));
      leftover = SecondsOfName(name) >= 0 && !has(name + kKeptCopySuffix);
    } else if (!file.empty() && file[0] == '.' && file.find(".zvrx-") != std::string::npos) {
      leftover = true;  // an index write that a kill cut short
    }
    if (leftover) platform::DeleteFile(folder + file);
  }
}

RetentionResult ApplyRetention(const KeptOptions& options, const platform::LocalTime& now) {
  RemoveKeptLeftovers();
  RetentionResult result;
  const std::string folder = KeptFolder();
  std::vector<KeptCopy> copies = ListKeptCopies();
  int64_t total = 0;
  for (const KeptCopy& copy : copies) total += copy.size;
  const int64_t oldest_kept = LocalSeconds(now) - static_cast<int64_t>(options.days) * kDaySeconds;
  for (const KeptCopy& copy : copies) {
    if (copy.seconds >= oldest_kept && total <= options.max_total_bytes) break;
    // The copy first: an index without its copy is a leftover, never a
    // listed copy without its entry.
    if (!platform::DeleteFile(folder + copy.name + kKeptCopySuffix)) continue;
    platform::DeleteFile(folder + copy.name + kKeptIndexSuffix);
    total -= copy.size;
    ++result.removed;
    result.bytes_removed += copy.size;
  }
  return result;
}

std::string MboxEntry(std::string_view message, int64_t seconds) {
  static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int64_t days = seconds >= 0 ? seconds / kDaySeconds : 0;
  int64_t rest = seconds >= 0 ? seconds % kDaySeconds : 0;
  int year = 1970, month = 1, day = 1;
  CivilFromDays(days, &year, &month, &day);
  char line[80];
  std::snprintf(line, sizeof line, "From MAILER-DAEMON %s %s %2d %02d:%02d:%02d %04d\n",
                kDays[days % 7], kMonths[month - 1], day, static_cast<int>(rest / 3600),
                static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60), year);
  std::string out = line;
  out.reserve(out.size() + message.size() + message.size() / 64 + 2);
  size_t start = 0;
  while (start < message.size()) {
    size_t lf = message.find('\n', start);
    size_t end = lf == std::string_view::npos ? message.size() : lf + 1;
    std::string_view text = message.substr(start, end - start);
    size_t quotes = 0;
    while (quotes < text.size() && text[quotes] == '>') ++quotes;
    if (text.substr(quotes, 5) == "From ") out += '>';
    out.append(text);
    start = end;
  }
  if (!message.empty() && message.back() != '\n') out += '\n';
  out += '\n';
  return out;
}

}  // namespace zvrx
