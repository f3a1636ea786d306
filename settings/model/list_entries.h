// The entries of an acceptance or rejection list page: what the list box
// shows, the full texts behind shortened long entries, the edits of the
// page and the file text they make. No window here: the page mirrors every
// change into its list box, and widths come from an injected measure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zvrx {

// The number also keys the long-entry store and the shortening rule.
enum class ListKind : int { kAcceptance = 1, kRejection = 2 };

// An entry of this many bytes or more is long: its full text is kept in the
// store and the list box may show it shortened.
inline constexpr size_t kLongEntryBytes = 29;
// What Add takes of the typed text; Change always takes up to 255.
inline constexpr size_t kEntryMaxBytes = 255;
inline constexpr size_t kRejectionAddMaxBytes = 59;
// Read stops at this many entries (the lists have no other count limit).
inline constexpr int kReadEntryLimit = 1500;
// A text file larger than this is not read at all.
inline constexpr size_t kReadFileMaxBytes = 200000;
// Address read from a text file: from this length on it is shortened and
// stored like a long entry; a 29-byte address is shown whole.
inline constexpr size_t kReadLongAddressBytes = 30;
// The list box shows at most this many horizontal dialog base units.
inline constexpr int kDisplayWidthBaseUnits = 30;
// Initial room of the store and of the file text; both grow beyond it, so a
// long list is never cut or refused.
inline constexpr size_t kLongTextInitialBytes = 20000;
inline constexpr size_t kLongRecordsInitial = 500;
inline constexpr size_t kFileTextInitialBytes = 50000;

// Width in pixels of a CP932 text in the list box's font; negative when it
// could not be measured.
using TextMeasure = std::function<int(std::string_view)>;

// The full texts of long entries: appended to one text, each followed by
// CR LF and never removed, and one record per long entry naming its list
// position. Invariant: every long entry has exactly one record, at its
// current position, referring to its current full text.
class LongEntryStore {
 public:
  struct Record {
    int32_t position;
    size_t offset;  // into text()
    size_t length;  // without the CR LF
  };

  LongEntryStore();
  void Clear();
  // Appends the text; the record of `position` is added or made to refer to it.
  void Set(int32_t position, std::string_view full_text);
  // Removes the record of `position`, if there is one.
  void Remove(int32_t position);
  // Removes the record of `position` and moves every later record up by one.
  void RemoveAndClose(int32_t position);
  const Record* Find(int32_t position) const;
  std::string_view TextOf(const Record& record) const;

  const std::vector<Record>& records() const { return records_; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::vector<Record> records_;
};

// The display text of an entry that stands in the list box unshortened:
// cut before its first "..".
std::string CutAtDoubleStop(std::string_view text);

// Cuts a typed text to at most `max_bytes` without leaving the lead byte of
// a double-byte character alone at the end.
std::string CutTyped(std::string_view text, size_t max_bytes);

class ListEntries {
 public:
  ListEntries(ListKind kind, TextMeasure measure, int width_limit);

  ListKind kind() const { return kind_; }
  int count() const { return static_cast<int>(display_.size()); }
  const std::string& DisplayText(int position) const { return display_[position]; }
  // The entry as the file holds it: the stored text for a long entry, else
  // the display text; either cut before its first "..".
  std::string FullText(int position) const;
  bool HasRecord(int position) const { return store_.Find(position) != nullptr; }
  const LongEntryStore& store() const { return store_; }
  // The invariant of the store against the entries; for tests and fuzzers.
  bool StoreConsistent() const;

  // Empties the entries and the store.
  void Clear();
  // The entries of a list file's text: one per line ending in LF, a CR
  // before the LF dropped; a last line without LF is taken too. A text
  // shorter than 2 bytes is an empty list.
  void Load(std::string_view file_text);

  // Add: the typed text cut to the kind's limit. False when it is empty.
  bool Add(std::string_view typed);

  // Change, first press: the selected position starts editing; the text to
  // put into the edit box, or nothing with no selection.
  std::optional<std::string> StartChange(int selected);
  // Change, second press: replaces the edited entry when the user modified
  // the edit box and left text in it. True when the entry was replaced.
  // Editing ends either way.
  bool FinishChange(bool modified, std::string_view edit_text);
  bool editing() const { return editing_; }
  int edited_position() const { return edited_position_; }

  // Delete of the entry at `position`; returns the list box selections to
  // make, in order (none, one, or two for a list left with seven entries).
  std::vector<int> Delete(int position);

  // Read from a text file: the file's bytes, nothing when missing.
  struct ReadOutcome {
    int added = 0;
    bool limit_reached = false;  // the user is told the list is full
  };
  ReadOutcome ReadAddresses(const std::optional<std::string_view>& file_bytes);

  // The list file's text: every entry's full text with CR LF, in list order.
  std::string FileText() const;

 private:
  // Step shared by load, add, change and read: the display text of entry
  // `text` at `position`, storing its full text when it is long.
  std::string MakeDisplayText(std::string_view text, int position);
  void AppendEntry(std::string_view text);
  std::string Shorten(std::string_view text) const;

  ListKind kind_;
  TextMeasure measure_;
  int width_limit_;
  std::vector<std::string> display_;
  LongEntryStore store_;
  bool editing_ = false;
  int edited_position_ = 0;
};

// Has the list changed? Never while the dirty bit is clear; else when the
// file text's length differs from the length the file had when the page
// opened, or, with equal lengths, when the file's current bytes differ over
// that length (a missing file is an empty one).
bool ListHasChanged(bool dirty, std::string_view file_text, size_t baseline_length,
                    std::string_view current_file);

}  // namespace zvrx
