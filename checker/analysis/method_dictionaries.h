// The Method dictionaries of the text analysis: loading them from the
// "Method\" folder, checking them, and building the prefilter index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "checker/analysis/data_problem.h"
#include "checker/analysis/dictionary_view.h"
#include "checker/analysis/prefilter.h"

namespace zvrx {

struct JudgmentSettings;

// One alternative form in a companion line: bytes of the companion text.
struct CompanionItem {
  int32_t offset;
  int32_t length;  // 1..kMaxCompanionItemLength
};

// A spelling of an entry in its bucket: the entry, where its bytes lie and
// its first two bytes, so most spellings are ruled out without a pointer.
struct BucketSpelling {
  int32_t entry;
  int32_t item;    // index into items, or -1 for the entry's word
  uint8_t first;   // the spelling's first byte
  uint8_t second;  // its second byte; with a one-byte spelling, any
  uint8_t length;  // 1..kMaxWordLength
  bool one_byte;
};

struct MethodDictionary {
  std::string file_name;
  DictionaryHeader header{};              // host byte order
  std::vector<DictionaryEntry> entries;   // host byte order, words in plain text
  // Unscrambled companion text with CR turned into TAB, NUL-terminated;
  // empty when the dictionary has none.
  std::vector<char> companion;
  // Per entry: the word's length (it ends at NUL, comma or TAB).
  std::vector<uint8_t> word_lengths;
  // Items of every entry's companion line, entry by entry; entry i owns
  // items[item_begin[i] .. item_begin[i + 1]).
  std::vector<CompanionItem> items;
  std::vector<int32_t> item_begin;
  uint16_t bit = 0;  // its bit in the prefilter masks
  // Every spelling (word and forms) by its first two bytes, each bucket in
  // the order the scan tries them (entry by entry; the word, then the
  // forms), so a candidate position tries only spellings that can match
  // there: bucket b owns bucket_spellings[bucket_begin[b] ..
  // bucket_begin[b + 1]). Built by AddDictionary.
  std::vector<uint32_t> bucket_begin;
  std::vector<BucketSpelling> bucket_spellings;

  int32_t language() const { return header.language; }
  // The category name, NUL-terminated inside the header field.
  const char* category() const { return header.category; }
};

inline constexpr int kEntryBuckets = 4096;

// The bucket of a text or word that starts with bytes b0 b1.
inline int EntryBucket(uint8_t b0, uint8_t b1) { return ((b0 << 4) ^ b1) & (kEntryBuckets - 1); }

struct DictionarySet {
  int16_t count = 0;                        // dictionaries loaded
  std::vector<MethodDictionary> dictionaries;  // in load order, bit j = j-th
  PrefilterIndex prefilter = PrefilterIndex(kPrefilterSize, 0);
  // Benchmarks switch the prefilter off to measure what it saves; with it off
  // every position is a candidate.
  bool use_prefilter = true;
  // Dictionaries and companion files refused by the last load.
  std::vector<DataProblem> problems;
};

// Collects the qualifying names of a folder listing (a digit first, no
// "..", "lib" or "LIB"), the first kMaxDictionaries in listing order, and
// sorts them in ascending byte order.
std::vector<std::string> CollectDictionaryNames(const std::vector<std::string>& listing);

// True when `name` begins with the text of a non-empty switched-off slot.
bool IsSwitchedOff(const JudgmentSettings* settings, const std::string& name);

// Parses a dictionary file's bytes: converts the byte order, unscrambles the
// words and checks the file against what the data compiler writes: its size
// is that of its entries, the language is 0 or 1, no flag but the scramble
// bit, and the entries and their follow-up numbers lie inside the file.
// False for a corrupt file, the reason in `why`.
bool ParseDictionaryFile(const char* bytes, size_t size, MethodDictionary& out,
                         std::string* why = nullptr);

// Attaches a companion file's raw (scrambled) bytes: unscrambles them, turns
// CR into TAB and splits every entry's line into its items. False when an
// entry's line lies outside the text or lacks its end.
bool AttachCompanion(const char* raw, size_t size, MethodDictionary& dictionary);

// Without a companion file no entry has alternative forms.
void AttachNoCompanion(MethodDictionary& dictionary);

// Gives the dictionary the next bit, registers its words and items in the
// prefilter index, and adds it to the set. False (set unchanged) when the
// set already holds kMaxDictionaries.
bool AddDictionary(DictionarySet& set, MethodDictionary&& dictionary);

// The set as today's mail text is read: every word and form passed through
// the folding that decoded text gets (full-width and half-width letters,
// half-width katakana), so that a word matches whichever form the sender
// used. A spelling that would outgrow its field keeps its written form.
// Legacy text is never folded and keeps meeting the set as written.
void FoldDictionarySet(const DictionarySet& written, DictionarySet& folded);

// Releases every dictionary and clears the index and the count.
void ClearDictionaries(DictionarySet& set);

// Reloads the set from `folder` (the Method folder, a Windows path ending in
// a backslash), leaving out switched-off names (`settings` may be null).
// Unreadable or corrupt files take no bit and are noted in `set.problems`.
void LoadMethodDictionaries(DictionarySet& set, const JudgmentSettings* settings,
                            const std::string& folder);

}  // namespace zvrx
