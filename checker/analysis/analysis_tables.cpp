#include "checker/analysis/analysis_tables.h"

#include <cstring>

#include "platform/files.h"
#include "shared/data_scramble.h"
#include "shared/locations.h"

namespace zvrx {

namespace {

// Generous bounds for delivered tables; anything larger is not ours.
constexpr size_t kMaxTableFileSize = 4 * 1024 * 1024;

void LoadSubjectTable(const char* name, SubjectTable& table) {
  table = SubjectTable{};
  auto bytes = platform::ReadFileBytes(DataFolder() + name, kMaxTableFileSize);
  if (!bytes || bytes->empty()) return;
  DataScramble(bytes->data(), bytes->size());
  ParseSubjectTable(bytes->data(), bytes->size(), table);
}

}  // namespace

bool ParseSubjectTable(const char* bytes, size_t size, SubjectTable& out) {
  out = SubjectTable{};
  if (size < static_cast<size_t>(kSubjectHeaderSize)) return false;
  const int16_t count = ReadBe16(bytes + kSubjectCountOffset);
  if (count < 0 || static_cast<size_t>(count) > (size - kSubjectHeaderSize) / kSubjectRecordSize) {
    return false;
  }
  SubjectTable table;
  table.present = true;
  table.ignore_case = ReadBe16(bytes + kSubjectCaseFlagOffset) != 0;
  table.lower = ReadBe16(bytes + kSubjectLowerOffset);
  table.upper = ReadBe16(bytes + kSubjectUpperOffset);
  for (int i = 0; i < count; ++i) {
    const char* record = bytes + kSubjectHeaderSize + i * kSubjectRecordSize;
    // A keyword that fills its field is cut so it stays inside it.
    const size_t length = strnlen(record, kSubjectKeywordSize - 1);
    // An empty keyword would occur in every Subject; it is not a keyword.
    if (length == 0) continue;
    table.keywords.push_back({std::string(record, length), ReadBe32(record + kSubjectWeightOffset)});
  }
  out = std::move(table);
  return true;
}

bool ParseThresholds(const char* bytes, size_t size, int32_t (&thresholds)[kThresholdCount]) {
  for (int32_t& p : thresholds) p = 0;
  if (size < static_cast<size_t>(kThresholdFileSize)) return false;
  for (int i = 0; i < kThresholdCount; ++i) thresholds[i] = ReadBe32(bytes + 4 * i);
  return true;
}

void LoadAnalysisTables(AnalysisTables& tables, MailLists& lists) {
  tables = AnalysisTables{};
  if (auto bytes = platform::ReadFileBytes(DataFolder() + kThresholdFileName, kThresholdFileSize)) {
    ParseThresholds(bytes->data(), bytes->size(), tables.thresholds);
  }
  LoadSubjectTable(kSubjectTableJapaneseName, tables.subject[kLanguageJapanese]);
  LoadSubjectTable(kSubjectTableEnglishName, tables.subject[kLanguageEnglish]);
  LoadAnonymousLists(lists.anonymous_a, lists.anonymous_b);
}

}  // namespace zvrx
