// The analysis tables loaded once at start-up: the threshold parameters
// P0..P7, the Subject keyword tables and the anonymous-sign lists. Each is
// checked against what the data compiler can write; a damaged file is
// refused rather than trusted, and every refusal is kept for the report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "checker/analysis/brand_check.h"
#include "checker/analysis/data_problem.h"
#include "checker/analysis/lists.h"
#include "shared/dictionary_format.h"

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
  // Zero thresholds would delete on any positive score and a garbled
  // Subject table gives absurd scores, so without a sound "kZVj-128" and
  // both Subject tables the text analysis is not used at all.
  bool text_analysis_off = false;
  // The brand check's table; absent without "ZVRXBrand.txt".
  BrandTable brands;
  // The tables' and the anonymous-sign lists' refusals, in loading order.
  std::vector<DataProblem> problems;
};

// The ranges the data compiler writes for P0..P7: bases within
// +-kMaxThresholdBase, slopes 0..kMaxThresholdSlope, the knee 0..
// kMaxThresholdKnee; lenient never below standard, standard never below
// strict.
inline constexpr int32_t kMaxThresholdBase = 100000;
inline constexpr int32_t kMaxThresholdSlope = 10000;
inline constexpr int32_t kMaxThresholdKnee = 20000;
// Subject keyword weights, as for dictionary words.
inline constexpr int32_t kMaxSubjectWeight = 10000;

// Parses an unscrambled Subject keyword table. False (table left absent,
// the reason in `why`) unless its size matches its record count and every
// flag, bound, keyword and weight is one the data compiler writes.
bool ParseSubjectTable(const char* bytes, size_t size, SubjectTable& out,
                       std::string* why = nullptr);

// Parses "kZVj-128" (bytes after the eight values are not read). False
// (parameters left 0, the reason in `why`) when it holds fewer than eight
// values or they lie outside the compiler's ranges.
bool ParseThresholds(const char* bytes, size_t size, int32_t (&thresholds)[kThresholdCount],
                     std::string* why = nullptr);

// Reads "kZVj-128", "ZVRd-128", "ZVRd-129", the anonymous-sign lists and the
// brand table from the data folder. A missing or damaged file leaves its table empty and is
// noted in `tables.problems`; for the thresholds and the Subject tables it
// also switches the text analysis off.
void LoadAnalysisTables(AnalysisTables& tables, MailLists& lists);

}  // namespace zvrx
