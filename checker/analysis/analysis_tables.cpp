#include "checker/analysis/analysis_tables.h"

#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "shared/data_scramble.h"
#include "shared/locations.h"

namespace zvrx {

namespace {

// Generous bounds for delivered tables; anything larger is not ours.
constexpr size_t kMaxTableFileSize = 4 * 1024 * 1024;

bool Refuse(std::string* why, std::string reason) {
  if (why != nullptr) *why = std::move(reason);
  return false;
}

// Reads a delivered file whole; on failure notes why and returns nothing.
std::optional<std::vector<char>> ReadDelivered(const char* name, size_t limit,
                                               std::vector<DataProblem>& problems) {
  const std::string path = DataFolder() + name;
  auto bytes = platform::ReadFileBytes(path, limit + 1);
  if (!bytes) {
    problems.push_back({name, UnreadableReason(path)});
    return std::nullopt;
  }
  if (bytes->empty()) {
    problems.push_back({name, "damaged (empty)"});
    return std::nullopt;
  }
  if (bytes->size() > limit) {
    problems.push_back({name, "damaged (far too large)"});
    return std::nullopt;
  }
  return bytes;
}

bool LoadSubjectTable(const char* name, SubjectTable& table, std::vector<DataProblem>& problems) {
  table = SubjectTable{};
  auto bytes = ReadDelivered(name, kMaxTableFileSize, problems);
  if (!bytes) return false;
  DataScramble(bytes->data(), bytes->size());
  std::string why;
  if (!ParseSubjectTable(bytes->data(), bytes->size(), table, &why)) {
    problems.push_back({name, "damaged (" + why + ")"});
    return false;
  }
  return true;
}

bool LoadThresholds(int32_t (&thresholds)[kThresholdCount], std::vector<DataProblem>& problems) {
  for (int32_t& p : thresholds) p = 0;
  // Only the eight values are read; the rest of a longer file is ignored.
  auto bytes = ReadDelivered(kThresholdFileName, kMaxTableFileSize, problems);
  if (!bytes) return false;
  std::string why;
  if (!ParseThresholds(bytes->data(), bytes->size(), thresholds, &why)) {
    problems.push_back({kThresholdFileName, "damaged (" + why + ")"});
    return false;
  }
  return true;
}

}  // namespace

bool ParseSubjectTable(const char* bytes, size_t size, SubjectTable& out, std::string* why) {
  out = SubjectTable{};
  if (size < static_cast<size_t>(kSubjectHeaderSize)) return Refuse(why, "shorter than its header");
  const int16_t case_flag = ReadBe16(bytes + kSubjectCaseFlagOffset);
  const int16_t lower = ReadBe16(bytes + kSubjectLowerOffset);
  const int16_t upper = ReadBe16(bytes + kSubjectUpperOffset);
  const int16_t count = ReadBe16(bytes + kSubjectCountOffset);
  if (case_flag != 0 && case_flag != 1) return Refuse(why, "bad case flag");
  if (lower < 0 || upper <= lower) return Refuse(why, "bad length bounds");
  if (count < 0 ||
      size != kSubjectHeaderSize + static_cast<size_t>(count) * kSubjectRecordSize) {
    return Refuse(why, "size does not match its record count");
  }
  SubjectTable table;
  table.present = true;
  table.ignore_case = case_flag != 0;
  table.lower = lower;
  table.upper = upper;
  int64_t total = 0;
  for (int i = 0; i < count; ++i) {
    const char* record = bytes + kSubjectHeaderSize + i * kSubjectRecordSize;
    const size_t length = strnlen(record, kSubjectKeywordSize);
    if (length == 0 || length == static_cast<size_t>(kSubjectKeywordSize)) {
      return Refuse(why, "keyword " + std::to_string(i + 1) + " empty or without its end");
    }
    for (size_t k = length; k < static_cast<size_t>(kSubjectKeywordSize); ++k) {
      if (record[k] != '\0') return Refuse(why, "keyword " + std::to_string(i + 1) + " garbled");
    }
    const int32_t weight = ReadBe32(record + kSubjectWeightOffset);
    if (weight < -kMaxSubjectWeight || weight > kMaxSubjectWeight) {
      return Refuse(why, "weight of keyword " + std::to_string(i + 1) + " out of range");
    }
    total += std::llabs(weight);
    table.keywords.push_back({std::string(record, length), weight});
  }
  // The score computes (upper - L) * sum in 32 bits.
  if (total * upper > INT32_MAX) return Refuse(why, "weights too large for the score");
  out = std::move(table);
  return true;
}

bool ParseThresholds(const char* bytes, size_t size, int32_t (&thresholds)[kThresholdCount],
                     std::string* why) {
  for (int32_t& p : thresholds) p = 0;
  if (size < static_cast<size_t>(kThresholdFileSize)) {
    return Refuse(why, std::to_string(kThresholdFileSize) + " bytes expected, " +
                           std::to_string(size) + " found");
  }
  int32_t p[kThresholdCount];
  for (int i = 0; i < kThresholdCount; ++i) p[i] = ReadBe32(bytes + 4 * i);
  for (int i = 0; i < 6; i += 2) {
    if (p[i] < -kMaxThresholdBase || p[i] > kMaxThresholdBase || p[i + 1] < 0 ||
        p[i + 1] > kMaxThresholdSlope) {
      return Refuse(why, "P" + std::to_string(i) + " or P" + std::to_string(i + 1) +
                             " out of range");
    }
  }
  if (p[6] < 0 || p[6] > kMaxThresholdKnee || p[7] < 0 || p[7] > kMaxThresholdSlope) {
    return Refuse(why, "P6 or P7 out of range");
  }
  if (!(p[0] >= p[2] && p[2] >= p[4] && p[1] >= p[3] && p[3] >= p[5])) {
    return Refuse(why, "lenient below standard or standard below strict");
  }
  for (int i = 0; i < kThresholdCount; ++i) thresholds[i] = p[i];
  return true;
}

void LoadAnalysisTables(AnalysisTables& tables, MailLists& lists) {
  tables = AnalysisTables{};
  bool sound = LoadThresholds(tables.thresholds, tables.problems);
  sound = LoadSubjectTable(kSubjectTableJapaneseName, tables.subject[kLanguageJapanese],
                           tables.problems) && sound;
  sound = LoadSubjectTable(kSubjectTableEnglishName, tables.subject[kLanguageEnglish],
                           tables.problems) && sound;
  tables.text_analysis_off = !sound;
  LoadAnonymousLists(lists.anonymous_a, lists.anonymous_b, &tables.problems);
  LoadBrandTable(tables.brands, tables.problems);
}

}  // namespace zvrx
