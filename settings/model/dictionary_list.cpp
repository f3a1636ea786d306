#include "settings/model/dictionary_list.h"

#include <algorithm>
#include <cstring>

#include "platform/window_metrics.h"
#include "settings/model/option_bits.h"

namespace zvrx {

namespace {

namespace ui = platform::ui;

size_t SlotLength(const char (&slot)[kDictionaryNameSize]) {
  return strnlen(slot, kSwitchedOffTextMax);
}

// A slot shorter than five bytes counts as free, unless it still switches
// off a listed name: overwriting it would switch that one on unasked.
bool SlotFree(const char (&slot)[kDictionaryNameSize], const std::vector<std::string>& listed) {
  if (SlotLength(slot) >= kDictionarySlotFreeBelow) return false;
  for (const std::string& name : listed) {
    if (SwitchedOffBySlot(slot, name)) return false;
  }
  return true;
}

int Clamp(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace

bool QualifiesAsDictionary(std::string_view name) {
  if (name.empty() || name[0] < '0' || name[0] > '9') return false;
  return name.find("..") == std::string_view::npos && name.find("lib") == std::string_view::npos &&
         name.find("LIB") == std::string_view::npos;
}

bool SwitchedOffBySlot(const char (&slot)[kDictionaryNameSize], std::string_view name) {
  const size_t length = SlotLength(slot);
  return length > 0 && name.size() >= length && std::memcmp(name.data(), slot, length) == 0;
}

DictionaryList BuildDictionaryList(const std::vector<std::string>& entries,
                                   const JudgmentSettings& judgment) {
  DictionaryList list;
  for (const std::string& entry : entries) {
    if (list.count() == kListedDictionaries) break;
    if (!QualifiesAsDictionary(entry)) continue;
    // A longer name keeps what its 29-byte field holds; the switched-off
    // slots take only 19 bytes of it anyway.
    list.names.emplace_back(CutCp932(entry, kListedNameMax));
  }
  // std::string orders its bytes as unsigned char: plain byte order.
  std::sort(list.names.begin(), list.names.end());

  const int n = list.count();
  list.step = n > kDictionaryBoxes ? n / (n - kDictionaryBoxes) : 1;
  for (int a = 0; a < n; ++a) {
    bool off = false;
    for (const auto& slot : judgment.disabled_dictionaries) {
      off = off || SwitchedOffBySlot(slot, list.names[a]);
    }
    if (!off) list.switch_mask |= static_cast<uint16_t>(1u << a);
  }
  return list;
}

int ToggleDictionary(DictionaryList& list, int box, bool was_ticked, JudgmentSettings& judgment) {
  if (box < 0 || box >= kDictionaryBoxes) return -1;
  const int a = list.first - 1 + box;
  if (a < 0 || a >= list.count()) return -1;
  const uint16_t bit = static_cast<uint16_t>(1u << a);
  const std::string& name = list.names[a];

  if (!was_ticked) {
    list.switch_mask |= bit;
    SwitchDictionaryOn(judgment, name);
    return a;
  }
  list.switch_mask &= static_cast<uint16_t>(~bit);
  SwitchDictionaryOff(judgment, list.names, name);
  return a;
}

void SwitchDictionaryOn(JudgmentSettings& judgment, std::string_view name) {
  for (auto& slot : judgment.disabled_dictionaries) {
    if (SwitchedOffBySlot(slot, name)) std::memset(slot, 0, sizeof slot);
  }
}

bool SwitchDictionaryOff(JudgmentSettings& judgment, const std::vector<std::string>& listed,
                         std::string_view name) {
  for (auto& slot : judgment.disabled_dictionaries) {
    if (!SlotFree(slot, listed)) continue;
    const size_t length = std::min(name.size(), kSwitchedOffTextMax);
    std::memset(slot, 0, sizeof slot);
    std::memcpy(slot, name.data(), length);
    return true;
  }
  return false;
}

DictionaryBox BoxContents(const DictionaryList& list, int box) {
  DictionaryBox contents;
  const int a = list.first - 1 + box;
  if (box < 0 || box >= kDictionaryBoxes || a < 0 || a >= list.count()) return contents;
  contents.used = true;
  contents.name = list.names[a];
  contents.ticked = (list.switch_mask >> a) & 1u;
  return contents;
}

bool ListScrolls(const DictionaryList& list) { return list.count() > kDictionaryBoxes; }

int ScrollPositionOf(int first, int count, int step) {
  const int e = first - 1;
  if ((count - kDictionaryBoxes) / 2 < e + 1) return count + (e + kDictionaryBoxes - count) * step;
  return step * e;
}

int FirstEntryOf(int position, int count, int step) {
  // C++ division truncates towards zero, as the formula wants.
  if (position < count / 2) return (position - 1) / step + 1;
  const int at_middle = position == count / 2 ? 1 : 0;
  return count + (position + at_middle - count) / step - (kDictionaryBoxes - 1);
}

bool ScrollDictionaries(DictionaryList& list, int request, int thumb) {
  if (!ListScrolls(list)) return false;
  const int n = list.count();
  const int s = list.step;
  const int last_first = n - (kDictionaryBoxes - 1);
  int& f = list.first;
  int& p = list.position;
  bool redraw = false;
  switch (request) {
    case ui::kSbLineUp:
      if (f > 1) {
        --f;
        redraw = true;
        p = std::max(0, ScrollPositionOf(f, n, s));
      } else {
        p = 0;
      }
      break;
    case ui::kSbLineDown:
      if (n - f < kDictionaryBoxes) {
        p = n;
      } else {
        ++f;
        redraw = true;
        p = std::min(n, ScrollPositionOf(f, n, s));
      }
      break;
    case ui::kSbPageUp:
      if (f > kDictionaryBoxes) {
        p -= kDictionaryBoxes;
        f -= kDictionaryBoxes;
      } else {
        p = 0;
        f = 1;
      }
      redraw = true;
      break;
    case ui::kSbPageDown:
      if (n - f < 13 || n < f + kDictionaryBoxes) {
        p = n;
        f = last_first;
      } else {
        p = std::min(p + kDictionaryBoxes, n);
        f += kDictionaryBoxes;
      }
      redraw = true;
      break;
    case ui::kSbThumbPosition:
      // The bar's range is 0..n; a position outside it is taken as its end.
      p = Clamp(thumb, 0, n);
      f = Clamp(FirstEntryOf(p, n, s), 1, last_first);
      redraw = true;
      p = ScrollPositionOf(f, n, s);
      break;
    case ui::kSbTop:
      f = 1;
      redraw = true;
      p = 0;
      break;
    case ui::kSbBottom:
      if (n - f > kDictionaryBoxes - 1) {
        f = last_first;
        redraw = true;
        p = n;
      }
      break;
    default:
      break;
  }
  return redraw;
}

}  // namespace zvrx
