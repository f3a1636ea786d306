#include "checker/analysis/judgment.h"

#include <cstring>
#include <string>
#include <string_view>

#include "checker/analysis/find_no_case.h"
#include "checker/analysis/learned_judgment.h"
#include "checker/analysis/marker.h"
#include "checker/analysis/quoted_warning.h"
#include "checker/analysis/work_log.h"

namespace zvrx {

namespace {

// Charset names whose text the decoder turns into Shift-JIS. Mail declared
// in Shift_JIS or EUC-JP is Japanese as surely as ISO-2022-JP mail is; left
// out, it would be kept unread or deleted as "unclear characters".
constexpr const char* kJapaneseCharsets[] = {
    "iso-2022-jp", "shift_jis", "shift-jis", "x-sjis",   "sjis",
    "windows-31j", "cp932",     "euc-jp",    "x-euc-jp",
};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool IsJapaneseCharset(std::string_view name) {
  for (const char* japanese : kJapaneseCharsets) {
    if (EqualNoCase(name, japanese)) return true;
  }
  return false;
}

// The charset value runs to the end of its header line when it is not
// quoted, so a following parameter ("; format=flowed") belongs to it; only
// the name before it tells the character set.
std::string_view CharsetName(const char* charset) {
  std::string_view value = charset;
  size_t end = value.find_first_of("; \t");
  return value.substr(0, end);
}

// "charset=NAME" or "charset=\"NAME\"" anywhere in the body.
bool BodyDeclares(const char* body, std::string_view name) {
  std::string plain = "charset=" + std::string(name);
  std::string quoted = "charset=\"" + std::string(name) + "\"";
  return FindNoCase(body, plain.c_str()) != nullptr ||
         FindNoCase(body, quoted.c_str()) != nullptr;
}

// "charset=" + prefix + name, not followed by a digit, at any occurrence
// (ISO-8859-1 must not be taken from ISO-8859-15).
bool BodyDeclaresExactly(const char* body, const std::string& pattern) {
  for (const char* at = FindNoCase(body, pattern.c_str()); at != nullptr;
       at = FindNoCase(at + 1, pattern.c_str())) {
    char next = at[pattern.size()];
    if (next < '0' || next > '9') return true;
  }
  return false;
}

void CopyText(char (&area)[kCategoryWorkSize], const char* text) {
  CopyCategory(text, area);
}

int Keep(const MailRecord&, const JudgmentEffects& effects, JudgmentResult& result) {
  result.verdict = kVerdictKeep;
  result.category[0] = '\0';
  if (effects.counters != nullptr) ++effects.counters->kept;
  if (effects.marker != nullptr) MarkKept(*effects.marker);
  return kVerdictKeep;
}

int Delete(const MailRecord& record, const char* category, const JudgmentEffects& effects,
           JudgmentResult& result) {
  result.verdict = kVerdictDelete;
  if (category != result.category) CopyText(result.category, category);
  if (effects.counters != nullptr) ++effects.counters->deleted;
  if (effects.write_log) WriteLogEntry(result.category, record);
  return kVerdictDelete;
}

int RejectionListProcedure(AnalysisState& state, const MailRecord& record,
                           const JudgmentEffects& effects, JudgmentResult& result) {
  const MailLists& lists = state.lists;
  if (ListMatch(lists.anonymous_b.text(), record.message_id) ||
      ListMatch(lists.anonymous_a.text(), record.from)) {
    return Delete(record, kCategoryAnonymous, effects, result);
  }
  if (ListMatch(lists.rejection.text(), record.from)) {
    return Delete(record, kCategoryRejected, effects, result);
  }
  return Keep(record, effects, result);
}

int AcceptanceListProcedure(AnalysisState& state, const MailRecord& record,
                            const JudgmentEffects& effects, JudgmentResult& result) {
  if (ListMatch(state.lists.acceptance.text(), record.from)) {
    return Keep(record, effects, result);
  }
  return Delete(record, kCategoryNotAccepted, effects, result);
}

// The guard for quoted warnings: the text the dictionaries would delete is
// scored again with its quotations blanked, with the same record, language
// and extra scores. Returns true, with that scan's details, when it keeps
// the message. Otherwise the analysis text of the first scan is put back,
// so the learned judgment reads what it would read without the guard.
bool KeptAsQuotedWarning(AnalysisState& state, const MailRecord& record, const char* body,
                         int32_t text_length, int language, const int64_t* extra,
                         JudgmentResult& result) {
  const std::string blanked = BlankQuotations(body, text_length);
  // Nothing quoted: the same text gets the same verdict.
  if (blanked.compare(0, blanked.size(), body, static_cast<size_t>(text_length)) == 0) {
    return false;
  }
  char* analysis_text = state.scoring.buffer.bytes.get();
  const std::string first_text(analysis_text, kAnalysisBufferSize);
  char category[kCategoryWorkSize] = {};
  ScoreDetails details;
  const TextVerdict verdict = AnalyseText(state.scoring, blanked.c_str(), text_length, record,
                                          language, category, &details, extra);
  if (verdict != TextVerdict::kNotUnwanted) {
    std::memcpy(analysis_text, first_text.data(), first_text.size());
    return false;
  }
  result.details = details;
  result.quoted_warning_kept = true;
  std::memcpy(result.quoted_category, result.category, sizeof(result.category));
  result.category[0] = '\0';
  return true;
}

int ComprehensiveProcedure(AnalysisState& state, const MailRecord& record,
                           const char* body_buffer, int32_t text_length,
                           const JudgmentEffects& effects, JudgmentResult& result) {
  const MailLists& lists = state.lists;
  const char* body = body_buffer != nullptr ? body_buffer : "";
  if (ListMatch(lists.acceptance.text(), record.from)) return Keep(record, effects, result);
  if (IsDuplicate(state.duplicates, record, body)) {
    return Delete(record, kCategoryDuplicate, effects, result);
  }
  // Here list B is tested against the sender, not the Message-Id.
  if (record.from[0] == '\0' || ListMatch(lists.anonymous_b.text(), record.from) ||
      ListMatch(lists.anonymous_a.text(), record.from)) {
    return Delete(record, kCategoryAnonymous, effects, result);
  }
  if (ListMatch(lists.rejection.text(), record.from)) {
    return Delete(record, kCategoryRejected, effects, result);
  }

  int language = kClassOther;
  if (record.read_as == kReadDecodedJapanese || record.read_as == kReadDecodedEnglish) {
    // Today's mail, decoded: its text showed its class.
    language = record.read_as == kReadDecodedJapanese ? kClassJapanese : kClassEnglish;
  } else {
    switch (ContentClass(record.content_type)) {
      case kContentText:
        language = CharsetClass(record.charset, state.european);
        break;
      case kContentMultipart:
        language = record.charset[0] != '\0' ? CharsetClass(record.charset, state.european)
                                             : BodyCharsetClass(body, state.european);
        break;
      default:
        // Any handling value the page cannot set counts as "keep".
        if (state.unknown_format_handling == kHandleDelete) {
          return Delete(record, kCategoryUnclearFormat, effects, result);
        }
        if (state.unknown_format_handling != kHandleAnalyse) return Keep(record, effects, result);
        language = CharsetClass(record.charset, state.european);
        break;
    }
  }
  if (language == kClassOther) {
    if (state.foreign_handling == kHandleDelete) {
      return Delete(record, kCategoryUnclearCharset, effects, result);
    }
    if (state.foreign_handling != kHandleAnalyse) return Keep(record, effects, result);
    language = kClassEnglish;
  }

  result.analysed = true;
  result.language_class = language;
  int64_t extra[kMaxDictionaries] = {};
  if (state.brand_check) {
    result.brand = AddBrandScores(state.scoring.tables.brands, state.scoring.dictionaries, record,
                                  body, language, extra);
  }
  TextVerdict verdict = AnalyseText(state.scoring, body, text_length, record, language,
                                    result.category, &result.details, extra);
  if (state.quoted_warnings && verdict == TextVerdict::kUnwanted &&
      (HasFraudWarningWords(body, text_length) ||
       HasFraudWarningWords(record.subject,
                            static_cast<int32_t>(strnlen(record.subject, kMailFieldSize)))) &&
      KeptAsQuotedWarning(state, record, body, text_length, language, extra, result)) {
    verdict = TextVerdict::kNotUnwanted;
  }
  if (state.learned_judgment && verdict != TextVerdict::kNoMemory) {
    const bool unwanted =
        ApplyLearnedJudgment(state.learned, state.scoring, record, language, result.details,
                             verdict == TextVerdict::kUnwanted, result.category, &result.learned);
    verdict = unwanted ? TextVerdict::kUnwanted : TextVerdict::kNotUnwanted;
  }
  if (verdict == TextVerdict::kUnwanted) {
    return Delete(record, result.category, effects, result);
  }
  if (verdict == TextVerdict::kNoMemory) {
    // The checker ends on this; nothing is counted or marked.
    result.out_of_memory = true;
    result.verdict = kVerdictKeep;
    return kVerdictKeep;
  }
  return Keep(record, effects, result);
}

}  // namespace

bool ListMatch(const char* list, const char* field) {
  if (list == nullptr || field == nullptr) return false;
  const std::string_view haystack = field;
  const char* p = list;
  while (*p != '\0') {
    const char* end = p;
    while (*end != '\0' && *end != '\r' && *end != '\n') ++end;
    if (end != p && haystack.find(std::string_view(p, static_cast<size_t>(end - p))) !=
                        std::string_view::npos) {
      return true;
    }
    p = end;
    while (*p == '\r' || *p == '\n') ++p;
  }
  return false;
}

int ContentClass(const char* content_type) {
  std::string_view type = content_type != nullptr ? content_type : "";
  if (type.empty() || EqualNoCase(type, "text")) return kContentText;
  if (EqualNoCase(type, "multipart")) return kContentMultipart;
  return kContentOther;
}

int CharsetClass(const char* charset, const EuropeanCharsetList& european) {
  if (charset == nullptr || charset[0] == '\0') return kClassEnglish;
  const std::string_view name = CharsetName(charset);
  if (name.empty()) return kClassOther;
  if (IsJapaneseCharset(name)) return kClassJapanese;
  const std::string_view list = european.view();
  for (size_t at = list.find(name); at != std::string_view::npos; at = list.find(name, at + 1)) {
    if (at + name.size() < list.size() && list[at + name.size()] == '\r') return kClassEnglish;
  }
  if (EqualNoCase(name, "us-ascii")) return kClassEnglish;
  return kClassOther;
}

int BodyCharsetClass(const char* body, const EuropeanCharsetList& european) {
  if (body == nullptr) body = "";
  for (const char* japanese : kJapaneseCharsets) {
    if (BodyDeclares(body, japanese)) return kClassJapanese;
  }
  if (BodyDeclares(body, "us-ascii")) return kClassEnglish;

  // One name per line; empty lines are skipped, two in a row end the list.
  const std::string_view list = european.view();
  size_t pos = 0;
  int empty_run = 0;
  while (pos < list.size()) {
    size_t end = list.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = list.size();
    std::string_view name = list.substr(pos, end - pos);
    pos = end;
    if (pos < list.size() && list[pos] == '\r') ++pos;
    if (pos < list.size() && list[pos] == '\n') ++pos;
    if (name.empty()) {
      if (++empty_run == 2) break;
      continue;
    }
    empty_run = 0;
    if (BodyDeclaresExactly(body, "charset=" + std::string(name)) ||
        BodyDeclaresExactly(body, "charset=\"" + std::string(name))) {
      return kClassEnglish;
    }
  }
  if (FindNoCase(body, "charset=") == nullptr) return kClassEnglish;
  return kClassOther;
}

bool IsDuplicate(DuplicateMemory& memory, const MailRecord& record, const char* body) {
  if (body == nullptr) body = "";
  if (memory.filled && std::strncmp(memory.from, record.from, kDuplicateBodyBytes) == 0 &&
      std::strncmp(memory.subject, record.subject, kDuplicateBodyBytes) == 0 &&
      std::strncmp(memory.body, body, kDuplicateBodyBytes) == 0) {
    return true;
  }
  // Remember this message instead; the fields hold at most 254 bytes.
  std::strncpy(memory.from, record.from, kDuplicateBodyBytes);
  std::strncpy(memory.subject, record.subject, kDuplicateBodyBytes);
  std::strncpy(memory.body, body, kDuplicateBodyBytes);
  memory.from[kDuplicateBodyBytes] = '\0';
  memory.subject[kDuplicateBodyBytes] = '\0';
  memory.body[kDuplicateBodyBytes] = '\0';
  memory.filled = true;
  return false;
}

int JudgeMail(AnalysisState& state, int16_t inspection_level, const MailRecord& record,
              const char* body_buffer, int32_t text_length, const JudgmentEffects& effects,
              JudgmentResult* result) {
  JudgmentResult local;
  JudgmentResult& out = result != nullptr ? *result : local;
  out = JudgmentResult{};
  switch (inspection_level) {
    case kLevelRejectionList:
      return RejectionListProcedure(state, record, effects, out);
    case kLevelComprehensive:
      return ComprehensiveProcedure(state, record, body_buffer, text_length, effects, out);
    case kLevelAcceptanceList:
      return AcceptanceListProcedure(state, record, effects, out);
    default:
      // A level the settings page cannot set deletes nothing.
      return Keep(record, effects, out);
  }
}

}  // namespace zvrx
