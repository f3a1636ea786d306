#include "checker/analysis/marker.h"

#include <cstring>

#include "platform/files.h"
#include "shared/locations.h"

namespace zvrx {

namespace {

bool NeedsEscape(unsigned char c, bool last) {
  if (c <= 0x20 || c >= 0x7F) return true;
  if (c == '.' && last) return true;
  return std::strchr("\\/:*?\"<>|%", c) != nullptr;
}

// Copies a record field into a marker slot, always NUL-terminated.
void CopySlot(char (&slot)[kMarkerSlotSize], const char* field) {
  size_t length = strnlen(field, kMailFieldSize - 1);
  std::memset(slot, 0, sizeof slot);
  std::memcpy(slot, field, length);
}

bool SameText(const char* field, const char (&slot)[kMarkerSlotSize]) {
  return std::strncmp(field, slot, kMarkerSlotSize) == 0;
}

bool IsEmptyMarker(const MarkerRecord& marker) {
  return marker.uidl[0] == 0 && marker.message_id[0] == 0 && marker.from[0] == 0 &&
         marker.date[0] == 0 && marker.subject[0] == 0;
}

}  // namespace

std::string MarkerFileName(std::string_view account) {
  account = account.substr(0, kAccountTextMax);
  account = account.substr(0, account.find('\0'));
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string name;
  for (size_t i = 0; i < account.size(); ++i) {
    auto c = static_cast<unsigned char>(account[i]);
    if (NeedsEscape(c, i + 1 == account.size())) {
      name += '%';
      name += kHex[c >> 4];
      name += kHex[c & 0xF];
    } else {
      name += static_cast<char>(c);
    }
  }
  return name;
}

void BeginMarkerWalk(MarkerWalk& walk, std::string_view account) {
  walk.old_marker = {};
  walk.new_marker = {};
  walk.kept = false;
  std::string name = MarkerFileName(account);
  walk.path = name.empty() ? std::string() : DataFolder() + name;
  if (walk.path.empty()) return;
  // A longer file is fine: only the record's bytes count, and a short one
  // leaves the rest zero.
  auto bytes = platform::ReadFileBytes(walk.path, sizeof(MarkerRecord));
  // An empty file (cut short by a crash) is no marker; its data() may be null.
  if (!bytes || bytes->empty()) return;
  std::memcpy(&walk.old_marker, bytes->data(), bytes->size());
  // A damaged file must not let a comparison run past its slot.
  walk.old_marker.uidl[kMarkerSlotSize - 1] = 0;
  walk.old_marker.message_id[kMarkerSlotSize - 1] = 0;
  walk.old_marker.from[kMarkerSlotSize - 1] = 0;
  walk.old_marker.date[kMarkerSlotSize - 1] = 0;
  walk.old_marker.subject[kMarkerSlotSize - 1] = 0;
}

bool IsAlreadySeen(MarkerWalk& walk, const MailRecord& record) {
  const MarkerRecord& old_marker = walk.old_marker;
  bool seen;
  if (old_marker.uidl[0] != 0) {
    seen = SameText(record.uidl, old_marker.uidl);
  } else if (old_marker.message_id[0] != 0) {
    seen = SameText(record.message_id, old_marker.message_id);
  } else if (IsEmptyMarker(old_marker)) {
    // No marker: every message is examined, even one without Date, From and
    // Subject, which would otherwise match the empty record and end the walk.
    seen = false;
  } else {
    seen = SameText(record.date, old_marker.date) && SameText(record.from, old_marker.from) &&
           SameText(record.subject, old_marker.subject);
  }
  if (!seen && !walk.kept) {
    CopySlot(walk.new_marker.uidl, record.uidl);
    CopySlot(walk.new_marker.message_id, record.message_id);
    CopySlot(walk.new_marker.from, record.from);
    CopySlot(walk.new_marker.date, record.date);
    CopySlot(walk.new_marker.subject, record.subject);
  }
  return seen;
}

void MarkKept(MarkerWalk& walk) { walk.kept = true; }

void HoldMarkerBelow(MarkerWalk& walk) {
  // The next message met takes the candidate again.
  walk.kept = false;
  walk.new_marker = {};
}

void EndMarkerWalk(MarkerWalk& walk, bool move_marker) {
  if (move_marker && walk.kept && !walk.path.empty()) {
    platform::WriteFileBytes(walk.path, &walk.new_marker, sizeof walk.new_marker);
  }
  walk.old_marker = {};
  walk.new_marker = {};
  walk.kept = false;
  walk.path.clear();
}

}  // namespace zvrx
