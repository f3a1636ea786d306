#include "settings/model/list_entries.h"

#include <algorithm>
#include <utility>

#include "platform/cp932.h"
#include "settings/model/address_reader.h"

namespace zvrx {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kEllipsis[] = "...";
constexpr size_t kEllipsisBytes = 3;

}  // namespace

LongEntryStore::LongEntryStore() { Clear(); }

void LongEntryStore::Clear() {
  text_.clear();
  records_.clear();
  text_.reserve(kLongTextInitialBytes);
  records_.reserve(kLongRecordsInitial);
}

void LongEntryStore::Set(int32_t position, std::string_view full_text) {
  const size_t offset = text_.size();
  text_.append(full_text);
  text_.append(kLineEnd);
  for (Record& record : records_) {
    if (record.position == position) {
      record.offset = offset;
      record.length = full_text.size();
      return;
    }
  }
  records_.push_back({position, offset, full_text.size()});
}

void LongEntryStore::Remove(int32_t position) {
  std::erase_if(records_, [position](const Record& record) { return record.position == position; });
}

void LongEntryStore::RemoveAndClose(int32_t position) {
  Remove(position);
  for (Record& record : records_) {
    if (record.position > position) --record.position;
  }
}

const LongEntryStore::Record* LongEntryStore::Find(int32_t position) const {
  for (const Record& record : records_) {
    if (record.position == position) return &record;
  }
  return nullptr;
}

std::string_view LongEntryStore::TextOf(const Record& record) const {
  return std::string_view(text_).substr(record.offset, record.length);
}

std::string CutAtDoubleStop(std::string_view text) {
  return std::string(text.substr(0, text.find("..")));
}

std::string CutTyped(std::string_view text, size_t max_bytes) {
  return std::string(platform::Cp932Prefix(text, max_bytes));
}

ListEntries::ListEntries(ListKind kind, TextMeasure measure, int width_limit)
    : kind_(kind), measure_(std::move(measure)), width_limit_(width_limit) {}

std::string ListEntries::FullText(int position) const {
  const LongEntryStore::Record* record = store_.Find(position);
  return CutAtDoubleStop(record != nullptr ? store_.TextOf(*record)
                                           : std::string_view(display_[position]));
}

bool ListEntries::StoreConsistent() const {
  std::vector<int> seen(display_.size(), 0);
  for (const LongEntryStore::Record& record : store_.records()) {
    if (record.position < 0 || record.position >= count()) return false;
    if (++seen[record.position] > 1) return false;
    if (record.offset + record.length + 2 > store_.text().size()) return false;
    if (store_.text().compare(record.offset + record.length, 2, kLineEnd) != 0) return false;
  }
  return true;
}

void ListEntries::Clear() {
  display_.clear();
  store_.Clear();
  editing_ = false;
  edited_position_ = 0;
}

void ListEntries::Load(std::string_view file_text) {
  Clear();
  if (file_text.size() < 2) return;
  size_t start = 0;
  while (start < file_text.size()) {
    size_t end = file_text.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last) end = file_text.size();
    std::string_view line = file_text.substr(start, end - start);
    // Only a CR is a line-end byte: a file with bare LF keeps every character.
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // The list box holds NUL-terminated texts, as the checker reads the file.
    line = line.substr(0, line.find('\0'));
    AppendEntry(line);
    start = end + 1;
  }
}

void ListEntries::AppendEntry(std::string_view text) {
  display_.push_back(MakeDisplayText(text, count()));
}

std::string ListEntries::MakeDisplayText(std::string_view text, int position) {
  if (text.size() < kLongEntryBytes) return CutAtDoubleStop(text);
  store_.Set(position, text);
  return Shorten(text);
}

std::string ListEntries::Shorten(std::string_view text) const {
  const int whole = measure_(text);
  if (whole < 0 || whole <= width_limit_) return std::string(text);
  // The largest prefix that fits. Prefix widths only grow with the length,
  // so halving finds the same prefix as stepping down one byte at a time.
  size_t fits = 0, fails = text.size();
  while (fails - fits > 1) {
    const size_t middle = fits + (fails - fits) / 2;
    const int width = measure_(text.substr(0, middle));
    if (width < 0) return std::string(text);
    if (width <= width_limit_) {
      fits = middle;
    } else {
      fails = middle;
    }
  }
  // The dots take the place of the last three bytes; a double-byte
  // character is never split by them.
  const size_t keep = fits >= kEllipsisBytes ? fits - kEllipsisBytes : 0;
  return CutTyped(text, keep) + kEllipsis;
}

bool ListEntries::Add(std::string_view typed) {
  const size_t limit = kind_ == ListKind::kAcceptance ? kEntryMaxBytes : kRejectionAddMaxBytes;
  const std::string text = CutTyped(typed, limit);
  if (text.empty()) return false;
  AppendEntry(text);
  return true;
}

std::optional<std::string> ListEntries::StartChange(int selected) {
  if (editing_ || selected < 0 || selected >= count()) return std::nullopt;
  editing_ = true;
  edited_position_ = selected;
  return FullText(selected);
}

bool ListEntries::FinishChange(bool modified, std::string_view edit_text) {
  if (!editing_) return false;
  const int position = edited_position_;
  editing_ = false;
  edited_position_ = 0;
  const std::string text = CutTyped(edit_text, kEntryMaxBytes);
  if (!modified || text.empty() || position >= count()) return false;
  if (text.size() < kLongEntryBytes) store_.Remove(position);
  display_[position] = MakeDisplayText(text, position);
  return true;
}

std::vector<int> ListEntries::Delete(int position) {
  if (position < 0 || position >= count()) return {};
  store_.RemoveAndClose(position);
  display_.erase(display_.begin() + position);
  const int left = count();
  if (left == 0) return {};
  // Seven left: the list is first brought back to its top.
  if (left == 7) return {0, position == 0 ? 0 : position - 1};
  return {position < left ? position : left - 1};
}

ListEntries::ReadOutcome ListEntries::ReadAddresses(
    const std::optional<std::string_view>& file_bytes) {
  ReadOutcome outcome;
  if (!file_bytes || file_bytes->empty()) return outcome;
  if (count() >= kReadEntryLimit) {
    outcome.limit_reached = true;
    return outcome;
  }
  if (file_bytes->size() > kReadFileMaxBytes) return outcome;
  AddressReader reader(*file_bytes);
  std::string_view address;
  while (reader.Next(address)) {
    if (count() >= kReadEntryLimit) {
      outcome.limit_reached = true;
      break;
    }
    if (address.size() >= kReadLongAddressBytes) {
      AppendEntry(address);
    } else {
      display_.emplace_back(address);
    }
    ++outcome.added;
  }
  return outcome;
}

std::string ListEntries::FileText() const {
  std::string text;
  text.reserve(kFileTextInitialBytes);
  for (int position = 0; position < count(); ++position) {
    text += FullText(position);
    text += kLineEnd;
  }
  return text;
}

bool ListHasChanged(bool dirty, std::string_view file_text, size_t baseline_length,
                    std::string_view current_file) {
  if (!dirty) return false;
  if (file_text.size() != baseline_length) return true;
  return current_file.substr(0, file_text.size()) != file_text;
}

}  // namespace zvrx
