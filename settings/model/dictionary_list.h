// The judgment page's dictionary list without a window: which names of the
// "Method\" folder it lists, which of them are switched on, how a box click
// changes the switched-off slots of JudgmentSettings, and how the six boxes
// scroll over at most eight names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shared/records.h"

namespace zvrx {

// The page lists at most eight dictionaries and shows six at a time.
inline constexpr int kListedDictionaries = 8;
inline constexpr int kDictionaryBoxes = 6;
// Each listed name is kept in 29 bytes with its terminator.
inline constexpr size_t kListedNameMax = 28;
// A switched-off slot holds at most 19 bytes of a name and its terminator.
inline constexpr size_t kSwitchedOffTextMax = kDictionaryNameSize - 1;

struct DictionaryList {
  std::vector<std::string> names;  // sorted, at most kListedDictionaries
  int first = 1;                   // first visible entry, 1-based
  int step = 1;                    // scroll step
  int position = 0;                // scroll position, 0..names
  uint16_t switch_mask = 0;        // bit a: entry a (0-based) is switched on
  int count() const { return static_cast<int>(names.size()); }
};

// A folder entry is a dictionary when it starts with a digit and contains
// none of "..", "lib" and "LIB".
bool QualifiesAsDictionary(std::string_view name);

// True when a non-empty slot's text begins `name`.
bool SwitchedOffBySlot(const char (&slot)[kDictionaryNameSize], std::string_view name);

// Builds the list from the folder entries in listing order: the first eight
// that qualify, sorted by bytes; the switch mask from the switched-off slots.
DictionaryList BuildDictionaryList(const std::vector<std::string>& entries,
                                   const JudgmentSettings& judgment);

// A click on box `box` (0..5) of a list. Switches the entry on when the box
// was unticked and off when it was ticked, and keeps the switched-off slots
// in step: switching on clears every slot that switched the name off;
// switching off stores the name's first 19 bytes in the first free slot
// (nothing when none is free). Returns the entry index, -1 when the box
// shows no entry.
int ToggleDictionary(DictionaryList& list, int box, bool was_ticked, JudgmentSettings& judgment);

// The two halves of a click, for any list of names (zvrxctl reaches all the
// checker loads, not only the page's eight): switching on clears every slot
// that switches `name` off; switching off stores its first 19 bytes in the
// first free slot, one under five bytes that switches none of `listed` off,
// and is false when there is none.
void SwitchDictionaryOn(JudgmentSettings& judgment, std::string_view name);
bool SwitchDictionaryOff(JudgmentSettings& judgment, const std::vector<std::string>& listed,
                         std::string_view name);

// What box `box` shows for the current first entry: nothing when no entry
// lies there.
struct DictionaryBox {
  bool used = false;
  std::string name;
  bool ticked = false;
};
DictionaryBox BoxContents(const DictionaryList& list, int box);

// The scroll bar only works with more names than boxes.
bool ListScrolls(const DictionaryList& list);

// Scroll position of a first entry, and first entry of a thumb position.
int ScrollPositionOf(int first, int count, int step);
int FirstEntryOf(int position, int count, int step);

// One scroll request (the kSb* codes; `thumb` is the released thumb's
// position). Updates first and position; returns whether the boxes must be
// redrawn. Requests on a list that does not scroll change nothing.
bool ScrollDictionaries(DictionaryList& list, int request, int thumb);

}  // namespace zvrx
