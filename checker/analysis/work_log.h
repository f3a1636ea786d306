// The work log "ZVRXLog": one four-line entry per deleted message, CP932,
// lines ending in CR LF. The work-log page counts a line that starts with a
// digit as an entry and reads its date and time from the first 20 bytes.
#pragma once

#include <string>
#include <string_view>

#include "checker/analysis/mail_record.h"
#include "platform/clock.h"
#include "shared/work_log_format.h"

namespace zvrx {

// How much of the log's end is read to find the date of its last entry;
// one entry is well under 1 KB.
inline constexpr int kLogTailSize = 4096;

// The entry's bytes: stamp, category, "を削除しました", From and Subject lines,
// an empty line. CR and LF inside From or Subject become blanks, so a
// header value can never start a line of its own.
std::string LogEntry(std::string_view category, const MailRecord& record,
                     const platform::LocalTime& time);

// The line written before the first entry of a new day: a blank, an
// ideographic space and 61 hyphens. It starts with a blank, so the page
// neither counts it nor takes it for part of a stamp.
std::string DaySeparator();

// True when the log's last entry is dated another day than `time`. A log
// without any entry needs no separator, so the first line of a log is
// always an entry. `tail` is the end of the log; `from_start` tells whether
// it begins at the start of the file.
bool NeedsDaySeparator(std::string_view tail, bool from_start,
                       const platform::LocalTime& time);

// Appends one entry (after a day separator when the day changed) to the work
// log in the data folder, with the current local time, in one write so a
// reader never sees half an entry. A log that cannot be written is silent.
void WriteLogEntry(std::string_view category, const MailRecord& record);

// Mail the judgment chose to delete but the checker left on the server,
// because its copy could not be kept first: the stamp and the category as in
// an entry, then "を削除せずサーバに残しました" and the reason in brackets, the
// From and Subject lines and an empty line. The note starts with a blank, so
// the work-log page counts it as no deletion and dates nothing by it.
std::string LogNote(std::string_view category, std::string_view reason, const MailRecord& record,
                    const platform::LocalTime& time);
// Appends one note with the current local time; silent when the log cannot
// be written.
void WriteLogNote(std::string_view category, std::string_view reason, const MailRecord& record);

}  // namespace zvrx
