// Kept copies of deleted mail in "Zvrx Staffs\Kept\": one file per message,
// the message as the server held it (the transfer's dot-stuffing and its
// terminating line removed), named yyyymmdd-hhmmss-nnn.eml after the local
// time it was fetched, so names sort by time and never collide. Beside each
// one a small index file (.idx, CP932 "key=value" lines) holds what its
// work-log entry says, so the entry finds its copy without the log changing.
//
// A copy is written as .part and made durable before the message is
// deleted; it becomes .eml only when the server committed the deletion at
// QUIT. A .part left by a killed checker is never listed and is removed by
// the next check.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/file_writer.h"
#include "shared/work_log_format.h"

namespace zvrx {

class ExtensionSettings;

inline constexpr char kKeptSubfolder[] = "Kept\\";
inline constexpr char kKeptCopySuffix[] = ".eml";
inline constexpr char kKeptIndexSuffix[] = ".idx";
inline constexpr char kKeptPartSuffix[] = ".part";
inline constexpr size_t kKeptStampLength = kLogStampTimeLength;  // of the log entry
inline constexpr int64_t kMegabyte = 1024 * 1024;
// One message larger than this is not kept (and so not deleted): a copy
// must be readable whole by the restore and by the work-log page.
inline constexpr int64_t kKeptMessageMaxBytes = 64 * kMegabyte;
// At most this many copies are fetched in one second before names run out.
inline constexpr int kKeptNamesPerSecond = 1000;

struct KeptOptions {
  bool enabled = true;
  int days = 30;
  int64_t max_total_bytes = 200 * kMegabyte;
  // The largest single message kept: the smaller of the fixed bound and the
  // total, since a copy above the total would be removed at once.
  int64_t MaxMessageBytes() const {
    return max_total_bytes < kKeptMessageMaxBytes ? max_total_bytes : kKeptMessageMaxBytes;
  }
};
KeptOptions KeptOptionsFrom(const ExtensionSettings& settings);

// "C:\Program Files\ZVRX\Zvrx Staffs\Kept\".
std::string KeptFolder();

// What the work-log entry of a kept copy says, CP932 as in the log.
struct KeptCopyInfo {
  std::string stamp;     // "yy.mm.dd  hh:mm"
  std::string category;  // without "を削除しました"
  std::string from;
  std::string subject;
  std::string account;
  std::string uidl;
};

// A copy being written, or written and waiting for the server's QUIT.
class PendingCopy {
 public:
  // Creates "<name>.part" under the first free name for this time (and the
  // Kept folder when missing); null when none can be made.
  static std::unique_ptr<PendingCopy> Begin(const platform::LocalTime& now);
  ~PendingCopy();  // an uncommitted copy is dropped
  PendingCopy(const PendingCopy&) = delete;
  PendingCopy& operator=(const PendingCopy&) = delete;

  bool Write(const void* data, size_t size);
  // Writes out to the disk; false on any failed write.
  bool Finish();
  // Removes the file: its deletion did not happen.
  void Drop();
  // The deletion was committed: writes the index, then renames the copy to
  // "<name>.eml". A copy whose index cannot be written is still renamed (a
  // copy without its entry beats none); false when the rename fails.
  bool Commit(const KeptCopyInfo& info);

  const std::string& name() const { return name_; }  // "yyyymmdd-hhmmss-nnn"
  int64_t size() const { return size_; }

 private:
  PendingCopy(std::string name, std::unique_ptr<platform::FileWriter> writer)
      : name_(std::move(name)), writer_(std::move(writer)) {}
  std::string name_;
  std::unique_ptr<platform::FileWriter> writer_;
  int64_t size_ = 0;
  bool finished_ = false;
};

struct KeptCopy {
  std::string name;  // without suffix
  int64_t size = 0;
  int64_t seconds = 0;  // local seconds since 1970 from the name
  bool indexed = false;  // an index file was found
  KeptCopyInfo info;
};

// Every complete copy, oldest first.
std::vector<KeptCopy> ListKeptCopies();
// The copy's bytes; nullopt when it has gone.
std::optional<std::vector<char>> ReadKeptCopy(const KeptCopy& copy);

// The copy that belongs to a work-log entry: the same category, From and
// Subject, with the stamp equal or the nearest one within two minutes (the
// log takes its own reading of the clock). -1 when none.
int FindKeptCopy(const std::vector<KeptCopy>& copies, std::string_view stamp,
                 std::string_view category, std::string_view from, std::string_view subject);

// Splits a work-log entry (its four lines, or more) into what FindKeptCopy
// takes: false when its first line is no deletion entry.
bool ParseLogEntry(std::string_view entry, std::string* stamp, std::string* category,
                   std::string* from, std::string* subject);

struct RetentionResult {
  int removed = 0;
  int64_t bytes_removed = 0;
};
// Removes copies older than the days limit, then the oldest until the rest
// fit the total size, and every leftover of a killed check (.part files,
// index files without their copy). Run when no check is writing copies.
RetentionResult ApplyRetention(const KeptOptions& options, const platform::LocalTime& now);
// Removes leftovers only (.part files, lone index files).
void RemoveKeptLeftovers();

// Local seconds since 1970 for a calendar time (no time zone involved:
// the names and the clock are both local).
int64_t LocalSeconds(const platform::LocalTime& time);
// "yyyymmdd-hhmmss" of a copy name back to seconds; -1 when not a name.
int64_t SecondsOfName(std::string_view name);

// One mbox entry: a "From " line with the copy's time, the message with
// every line that starts with ">*From " quoted by one more '>', ending in a
// line end and an empty line. Bytes are otherwise untouched.
std::string MboxEntry(std::string_view message, int64_t seconds);

}  // namespace zvrx
