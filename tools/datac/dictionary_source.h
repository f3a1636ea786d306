// A Method dictionary as written in data/method/<name>.dic:
//
//   category: 出会い系メール
//   language: ja            (ja or en)
//   scramble: yes           (yes or no; default yes)
//   word | weight [| forms: alt1, alt2 ...] [| then: word:A:B, ...]
//
// Parsing checks everything the checker relies on without checking it
// itself: field widths, follow-up words that exist, names that qualify.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/datac/diagnostics.h"
#include "tools/datac/source_text.h"

namespace zvrx::datac {

struct FollowUpSource {
  std::string word;  // CP932; the word of another entry of the dictionary
  int32_t weight_a = 0;
  int32_t weight_b = 0;
  int related = 0;  // 1-based entry number, resolved after parsing
};

struct EntrySource {
  int line = 0;
  std::string word;                // CP932
  int32_t weight = 0;
  std::vector<std::string> forms;  // CP932 companion forms
  std::vector<FollowUpSource> follow_ups;
};

struct DictionarySource {
  std::string name;      // file name in the Method folder
  std::string category;  // CP932
  int32_t language = 0;
  bool scrambled = true;
  std::vector<EntrySource> entries;
};

// Longest dictionary file name: the judgment conditions page lists names in
// 29-byte slots, and the Method folder path (29 bytes on drive C) plus the
// name must stay within the 59-byte working area.
inline constexpr int kMaxDictionaryNameLength = 28;
// Switched-off slots hold names cut to this many bytes.
inline constexpr int kSwitchedOffNameLength = 19;
// Bounds on weights keep every score sum far inside 32-bit arithmetic.
inline constexpr int64_t kMaxWeight = 10000;
// Shorter words have no prefilter key the scan could ever meet.
inline constexpr int kMinWordLength = 3;

// Checks a dictionary file name: it must qualify for loading, fit the
// working areas and be plain ASCII. Empty result: fine; else the reason.
std::string CheckDictionaryName(const std::string& name);

// The companion word file's name for a dictionary: a letter first, so that
// it never qualifies as a dictionary itself.
std::string CompanionFileName(const std::string& dictionary_name);

std::optional<DictionarySource> ParseDictionary(const SourceFile& file,
                                                const std::string& name,
                                                Diagnostics& diag);

}  // namespace zvrx::datac
