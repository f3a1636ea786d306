// The judgment of one fetched message: keep it on the server or delete it,
// by the inspection level the user chose and the judgment conditions.
#pragma once

#include <cstdint>
#include <string_view>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/check_counters.h"
#include "checker/analysis/learned_judgment.h"
#include "checker/analysis/mail_record.h"
#include "shared/dictionary_format.h"

namespace zvrx {

struct MarkerWalk;

inline constexpr int kVerdictKeep = 0;
inline constexpr int kVerdictDelete = 2;

// Inspection levels of BasicSettings.
inline constexpr int16_t kLevelRejectionList = 0;
inline constexpr int16_t kLevelComprehensive = 1;
inline constexpr int16_t kLevelAcceptanceList = 2;

// Language classes.
inline constexpr int kClassJapanese = 0;
inline constexpr int kClassEnglish = 1;
inline constexpr int kClassOther = -1;

// ContentClass results.
inline constexpr int kContentText = 0;
inline constexpr int kContentMultipart = 1;
inline constexpr int kContentOther = -1;

// The two handling choices of JudgmentSettings.
inline constexpr int16_t kHandleKeep = 0;
inline constexpr int16_t kHandleAnalyse = 1;
inline constexpr int16_t kHandleDelete = 2;

// Category texts of the work log (CP932).
inline constexpr char kCategoryAnonymous[] = "\x93\xbd\x96\xbc\x83\x81\x81\x5b\x83\x8b";  // 匿名メール
inline constexpr char kCategoryRejected[] =  // 受信拒否メール
    "\x8e\xf3\x90\x4d\x8b\x91\x94\xdb\x83\x81\x81\x5b\x83\x8b";
inline constexpr char kCategoryNotAccepted[] =  // 非受信容認メール
    "\x94\xf1\x8e\xf3\x90\x4d\x97\x65\x94\x46\x83\x81\x81\x5b\x83\x8b";
inline constexpr char kCategoryDuplicate[] = "\x8f\x64\x95\xa1\x83\x81\x81\x5b\x83\x8b";  // 重複メール
inline constexpr char kCategoryUnclearFormat[] =  // 内容不明メール
    "\x93\xe0\x97\x65\x95\x73\x96\xbe\x83\x81\x81\x5b\x83\x8b";
inline constexpr char kCategoryUnclearCharset[] =  // 文字不明メール
    "\x95\xb6\x8e\x9a\x95\x73\x96\xbe\x83\x81\x81\x5b\x83\x8b";

// What a verdict sets off besides its value. The checker passes its
// counters and marker walk and writes the log; a preview (zvrxctl judge,
// check --dry-run) leaves the marker and the log alone.
struct JudgmentEffects {
  CheckCounters* counters = nullptr;  // kept or deleted goes up by one
  MarkerWalk* marker = nullptr;       // MarkKept on keep
  bool write_log = false;             // WriteLogEntry on delete
};

struct JudgmentResult {
  int verdict = kVerdictKeep;
  char category[kCategoryWorkSize] = {};  // CP932; empty when kept
  // The analysis buffer could not be allocated: the checker must end.
  bool out_of_memory = false;
  // Set when the text analysis ran, with the language class it used.
  bool analysed = false;
  int language_class = kClassOther;
  ScoreDetails details;
  LearnedOutcome learned;  // scored only with the learned judgment on
  // What the brand check found (brand -1 when it was off or named none).
  BrandFinding brand;
  // The guard for quoted warnings kept a message the dictionaries would
  // have deleted as `quoted_category` (CP932); `details` are then those of
  // the text without its quotations.
  bool quoted_warning_kept = false;
  char quoted_category[kCategoryWorkSize] = {};
};

// Judges the message. `body_buffer` and `text_length` are as ParseMessage
// leaves them: the body at the start, NUL-terminated, the rest of the
// decoded text behind it. Returns kVerdictKeep or kVerdictDelete.
int JudgeMail(AnalysisState& state, int16_t inspection_level, const MailRecord& record,
              const char* body_buffer, int32_t text_length, const JudgmentEffects& effects,
              JudgmentResult* result = nullptr);

// True when a non-empty line of the list occurs in the field (case-
// sensitive). Lines end at CR or LF; every line is matched in full, however
// long. A null list matches nothing.
bool ListMatch(const char* list, const char* field);

int ContentClass(const char* content_type);
int CharsetClass(const char* charset, const EuropeanCharsetList& european);
int BodyCharsetClass(const char* body, const EuropeanCharsetList& european);

// True when From, Subject and the first 255 body bytes all equal those of
// the previous message tested; otherwise the message is remembered instead.
bool IsDuplicate(DuplicateMemory& memory, const MailRecord& record, const char* body);

}  // namespace zvrx
