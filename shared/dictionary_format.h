// Byte layouts of the delivered analysis data: Method dictionaries (header,
// entries, follow-up slots), their companion word files, the Subject keyword
// tables and the threshold parameters. The data compiler writes with these
// constants and the checker reads with them, so both sides stay in step;
// what only the reader needs is in checker/analysis/dictionary_view.h.
//
// Every multi-byte integer in these files is big-endian; text is CP932.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shared/scramble_keys.h"

namespace zvrx {

// ---------------------------------------------------------------------------
// File names.

// Threshold parameters P0..P7, in the data folder, not scrambled.
inline constexpr char kThresholdFileName[] = "kZVj-128";
// Subject keyword tables in the data folder, data-scrambled as a whole.
inline constexpr char kSubjectTableJapaneseName[] = "ZVRd-128";
inline constexpr char kSubjectTableEnglishName[] = "ZVRd-129";

// ---------------------------------------------------------------------------
// Method dictionary file: a 208-byte header, then n entries of 208 bytes.

inline constexpr int kDictReservedOffset = 0;
inline constexpr int kDictReservedSize = 64;
inline constexpr int kDictCategoryOffset = 64;        // NUL-terminated name
inline constexpr int kDictCategorySize = 64;
inline constexpr int kDictCompanionNameOffset = 128;  // relative to Method folder
inline constexpr int kDictCompanionNameSize = 64;
// Bytes 0..191 are text and never byte-swapped.
inline constexpr int kDictTextAreaSize = 192;
inline constexpr int kDictCompanionTextOffset = 192;  // zero in the file
inline constexpr int kDictLanguageOffset = 196;       // 0 Japanese, 1 English
inline constexpr int kDictFlagsOffset = 200;
inline constexpr int kDictEntryCountOffset = 204;
inline constexpr int kDictHeaderSize = 208;

inline constexpr int32_t kLanguageJapanese = 0;
inline constexpr int32_t kLanguageEnglish = 1;

// Flags bit 31: the entry words are scrambled with kWordScrambleBase.
inline constexpr uint32_t kDictFlagScrambled = 0x80000000u;

// Entry, offsets relative to the entry's start.
inline constexpr int kEntryWordOffset = 0;
inline constexpr int kEntryWordSize = 56;  // NUL-terminated, or length byte + bytes
// Longest word either way: 55 bytes + NUL, or a length byte + 55 bytes.
inline constexpr int kMaxWordLength = kEntryWordSize - 1;
inline constexpr int kEntryWeightOffset = 56;
inline constexpr int kEntryReserved1Offset = 60;
inline constexpr int kEntryHitCountOffset = 64;         // zero in the file
inline constexpr int kEntryCompanionLineOffset = 68;    // negative: no line
inline constexpr int kEntryReserved2Offset = 72;        // 8 bytes
inline constexpr int kEntryFirstSlotOffset = 80;
inline constexpr int kFollowUpSlotCount = 4;
inline constexpr int kFollowUpSlotSize = 32;
inline constexpr int kEntrySize = 208;
static_assert(kEntryFirstSlotOffset + kFollowUpSlotCount * kFollowUpSlotSize ==
              kEntrySize);
// Entry bytes 56..207 are 38 big-endian 32-bit integers.
inline constexpr int kEntryIntegerCount = (kEntrySize - kEntryWeightOffset) / 4;
static_assert(kEntryIntegerCount == 38);

// Follow-up slot, offsets relative to the slot's start.
inline constexpr int kSlotRelatedOffset = 0;  // 1-based entry number; <= 0 empty
inline constexpr int kSlotReserved1Offset = 4;
inline constexpr int kSlotWeightAOffset = 8;
inline constexpr int kSlotReserved2Offset = 12;
inline constexpr int kSlotCountAOffset = 16;  // zero in the file
inline constexpr int kSlotWeightBOffset = 20;
inline constexpr int kSlotReserved3Offset = 24;
inline constexpr int kSlotCountBOffset = 28;  // zero in the file

// Companion word file: CR LF lines of comma-separated forms, data-scrambled.

// The judgment copies category names into a 31-byte area (30 bytes + NUL).
inline constexpr int kCategoryWorkSize = 31;
inline constexpr int kMaxCategoryLength = kCategoryWorkSize - 1;

// At most this many dictionaries: one bit each in a 16-bit prefilter mask.
inline constexpr int kMaxDictionaries = 16;

// ---------------------------------------------------------------------------
// Subject keyword table (after unscrambling): 8-byte header, m records.

inline constexpr int kSubjectCaseFlagOffset = 0;  // 0: case-sensitive
inline constexpr int kSubjectLowerOffset = 2;
inline constexpr int kSubjectUpperOffset = 4;
inline constexpr int kSubjectCountOffset = 6;
inline constexpr int kSubjectHeaderSize = 8;
inline constexpr int kSubjectKeywordSize = 36;  // NUL-terminated
inline constexpr int kSubjectWeightOffset = 36;
inline constexpr int kSubjectRecordSize = 40;

// ---------------------------------------------------------------------------
// Threshold parameters: P0..P7, big-endian 32-bit signed.

inline constexpr int kThresholdCount = 8;
inline constexpr int kThresholdFileSize = kThresholdCount * 4;

// ---------------------------------------------------------------------------
// Big-endian helpers.

inline uint32_t ReadBeU32(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) |
         (uint32_t{b[2]} << 8) | uint32_t{b[3]};
}
inline int32_t ReadBe32(const void* p) {
  return static_cast<int32_t>(ReadBeU32(p));
}
inline int16_t ReadBe16(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return static_cast<int16_t>((uint16_t{b[0]} << 8) | uint16_t{b[1]});
}
inline void WriteBe32(void* p, uint32_t v) {
  auto* b = static_cast<uint8_t*>(p);
  b[0] = static_cast<uint8_t>(v >> 24);
  b[1] = static_cast<uint8_t>(v >> 16);
  b[2] = static_cast<uint8_t>(v >> 8);
  b[3] = static_cast<uint8_t>(v);
}
inline void WriteBe16(void* p, uint16_t v) {
  auto* b = static_cast<uint8_t*>(p);
  b[0] = static_cast<uint8_t>(v >> 8);
  b[1] = static_cast<uint8_t>(v);
}

// ---------------------------------------------------------------------------
// Word scrambling: `bytes` are the L bytes after the length byte; byte k
// (1-based) is XORed with (kWordScrambleBase + k) mod 256. The same call
// scrambles and unscrambles.
inline void ScrambleWordBytes(uint8_t* bytes, int length) {
  for (int k = 1; k <= length; ++k) {
    bytes[k - 1] ^= static_cast<uint8_t>(kWordScrambleBase + k);
  }
}

}  // namespace zvrx
