// The analysis tables loaded once at start-up: the threshold parameters
// P0..P7, the Subject keyword tables and the anonymous-sign lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "checker/analysis/dictionary_format.h"
#include "checker/analysis/lists.h"

namespace zvrx {

struct SubjectKeyword {
  std::string keyword;  // never empty, at most kSubjectKeywordSize - 1 bytes
  int32_t weight = 0;
};

struct SubjectTable {
  bool present = false;  // a missing table gives no Subject keywords
  bool ignore_case = false;
  int16_t lower = 0;
  int16_t upper = 0;
  std::vector<SubjectKeyword> keywords;
};

struct AnalysisTables {
  // P0/P1, P2/P3, P4/P5: base and slope for strictness -1, 0 and 1;
  // P6 the knee length, P7 the slope beyond it. All 0 without "kZVj-128".
  int32_t thresholds[kThresholdCount] = {};
  SubjectTable subject[2];  // by language class: "ZVRd-128", "ZVRd-129"
};

// Parses an unscrambled Subject keyword table. False (table left absent)
// when the file is shorter than its header or its record count reaches
// past its end.
bool ParseSubjectTable(const char* bytes, size_t size, SubjectTable& out);

// Parses "kZVj-128". False (parameters left 0) when it holds fewer than
// eight values.
bool ParseThresholds(const char* bytes, size_t size, int32_t (&thresholds)[kThresholdCount]);

// Reads "kZVj-128", "ZVRd-128", "ZVRd-129" and the anonymous-sign lists from
// the data folder. Missing files are silent and leave their table empty.
void LoadAnalysisTables(AnalysisTables& tables, MailLists& lists);

}  // namespace zvrx
