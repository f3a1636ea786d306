// The last-seen marker of a mailbox: the newest message kept during the
// last walk that kept anything, so the next walk stops when it meets it.
//
// One file per account in the data folder, named after the account string.
// Bytes a file name cannot hold are written as "%XX" (two upper-case hex
// digits): control bytes, the blank, \ / : * ? " < > |, '%' itself, every
// byte from 0x7F, and a '.' at the end of the name (Windows drops trailing
// dots, and "." or ".." would name a folder). So "taro@127.0.0.1:11110" is
// kept in "taro@127.0.0.1%3A11110"; the mapping is one-to-one and the same
// on every run, and a name never contains a path separator.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "checker/analysis/mail_record.h"

namespace zvrx {

inline constexpr int kMarkerSlotSize = 255;  // one MailRecord text field
inline constexpr int kAccountTextMax = 84;   // 85-byte account field less its NUL

// The 1275-byte record of a marker file; each slot NUL-terminated, zero-padded.
struct MarkerRecord {
  char uidl[kMarkerSlotSize];
  char message_id[kMarkerSlotSize];
  char from[kMarkerSlotSize];
  char date[kMarkerSlotSize];
  char subject[kMarkerSlotSize];
};
static_assert(sizeof(MarkerRecord) == 1275);
static_assert(offsetof(MarkerRecord, uidl) == 0);
static_assert(offsetof(MarkerRecord, message_id) == 255);
static_assert(offsetof(MarkerRecord, from) == 510);
static_assert(offsetof(MarkerRecord, date) == 765);
static_assert(offsetof(MarkerRecord, subject) == 1020);

// State of one mailbox walk (newest message first).
struct MarkerWalk {
  MarkerRecord old_marker = {};  // as read from the file; all zero without one
  MarkerRecord new_marker = {};  // newest message met while nothing was kept yet
  bool kept = false;
  std::string path;  // marker file (Windows path); empty: no file for this walk
};

// The marker file's name for an account string (escaped as above); empty
// for an empty account. At most the first kAccountTextMax bytes count.
std::string MarkerFileName(std::string_view account);

// Reads the account's marker into old_marker, clears new_marker and kept.
void BeginMarkerWalk(MarkerWalk& walk, std::string_view account);

// True when the message is the marked one, which ends the walk. While
// nothing was kept yet, a message not seen becomes the new marker's candidate.
bool IsAlreadySeen(MarkerWalk& walk, const MailRecord& record);

// The judgment kept the message whose candidate was taken last.
void MarkKept(MarkerWalk& walk);

// The message just judged is still on the server although the walk meant
// to delete it (the server refused): the marker must not pass it, so the
// next walk judges it again. Only a message kept further down may still
// become the new marker.
void HoldMarkerBelow(MarkerWalk& walk);

// Writes the new marker if anything was kept and `move_marker` allows it (a
// failed write leaves the old file in force), then clears the walk. The
// check cycle forbids it when the walk ended before the old marker, or the
// server did not commit the session, so no unexamined mail is hidden.
void EndMarkerWalk(MarkerWalk& walk, bool move_marker = true);

}  // namespace zvrx
