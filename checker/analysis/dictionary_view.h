// The checker's side of the Method dictionaries: the header and entries as
// the loader holds them, and the working areas of the reader and the matcher.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shared/dictionary_format.h"

namespace zvrx {

// Words and forms shorter than this are keyed with the zero bytes past their
// end, so the prefilter offers them almost only at the very end of a text:
// a one-kanji word is of no use.
inline constexpr int kMinUsefulWordLength = 3;

// Companion forms longer than this do not fit the matcher's working area.
inline constexpr int kMaxCompanionItemLength = 55;

// "Method folder path + file name" working area, NUL included.
inline constexpr int kMethodPathWorkSize = 59;

// The header and entries after byte-order conversion (same offsets as the
// file).
#pragma pack(push, 1)
struct FollowUpSlot {
  int32_t related;
  int32_t reserved1;
  int32_t weight_a;
  int32_t reserved2;
  int32_t count_a;
  int32_t weight_b;
  int32_t reserved3;
  int32_t count_b;
};

struct DictionaryEntry {
  char word[kEntryWordSize];
  int32_t weight;
  int32_t reserved1;
  int32_t hit_count;
  int32_t companion_line;
  int32_t reserved2[2];
  FollowUpSlot slots[kFollowUpSlotCount];
};

struct DictionaryHeader {
  char reserved[kDictReservedSize];
  char category[kDictCategorySize];
  char companion_name[kDictCompanionNameSize];
  int32_t companion_text;
  int32_t language;
  uint32_t flags;
  int32_t entry_count;
};
#pragma pack(pop)

static_assert(sizeof(FollowUpSlot) == kFollowUpSlotSize);
static_assert(offsetof(FollowUpSlot, related) == kSlotRelatedOffset);
static_assert(offsetof(FollowUpSlot, weight_a) == kSlotWeightAOffset);
static_assert(offsetof(FollowUpSlot, count_a) == kSlotCountAOffset);
static_assert(offsetof(FollowUpSlot, weight_b) == kSlotWeightBOffset);
static_assert(offsetof(FollowUpSlot, count_b) == kSlotCountBOffset);
static_assert(sizeof(DictionaryEntry) == kEntrySize);
static_assert(offsetof(DictionaryEntry, weight) == kEntryWeightOffset);
static_assert(offsetof(DictionaryEntry, hit_count) == kEntryHitCountOffset);
static_assert(offsetof(DictionaryEntry, companion_line) ==
              kEntryCompanionLineOffset);
static_assert(offsetof(DictionaryEntry, reserved2) == kEntryReserved2Offset);
static_assert(offsetof(DictionaryEntry, slots) == kEntryFirstSlotOffset);
static_assert(sizeof(DictionaryHeader) == kDictHeaderSize);
static_assert(offsetof(DictionaryHeader, category) == kDictCategoryOffset);
static_assert(offsetof(DictionaryHeader, companion_name) ==
              kDictCompanionNameOffset);
static_assert(offsetof(DictionaryHeader, companion_text) ==
              kDictCompanionTextOffset);
static_assert(offsetof(DictionaryHeader, language) == kDictLanguageOffset);
static_assert(offsetof(DictionaryHeader, flags) == kDictFlagsOffset);
static_assert(offsetof(DictionaryHeader, entry_count) == kDictEntryCountOffset);

}  // namespace zvrx
