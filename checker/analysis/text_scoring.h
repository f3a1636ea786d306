// The text analysis of the comprehensive inspection level: scores the body
// with every Method dictionary of the message's language and reports the
// first one whose score passes the length-dependent threshold.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "checker/analysis/analysis_tables.h"
#include "checker/analysis/mail_record.h"
#include "checker/analysis/method_dictionaries.h"
#include "shared/dictionary_format.h"

namespace zvrx {

// The analysis copy of the text; longer texts are cut to fit with a NUL.
inline constexpr int kAnalysisBufferSize = 20000;
// Zero bytes behind the buffer, so a word compare that starts near the end
// never leaves the allocation.
inline constexpr int kAnalysisBufferPadding = kEntryWordSize + 8;

// Recipient score f * e^3 / 100, f by strictness -1, 0 and 1.
inline constexpr int32_t kRecipientFactorLenient = 80;
inline constexpr int32_t kRecipientFactorStandard = 100;
inline constexpr int32_t kRecipientFactorStrict = 120;
inline constexpr int kRecipientExponent = 3;

// Working memory of the scan: allocated on first use, released at the end
// of each check.
struct AnalysisBuffer {
  std::unique_ptr<char[]> bytes;        // kAnalysisBufferSize + padding
  // Per spelling of the scanned dictionary (its entries' words, then its
  // companion items): where a follow-up search last found it, -1 when it
  // does not occur from there on, kUnknownSpelling before any search.
  std::vector<int32_t> spelling_at;
  // Per text position, shared by the scans of every dictionary of one
  // message: the prefilter's candidate mask (with bit 16 set once known)
  // and the position the scan moves to when nothing matches there
  // (kUnknownStep until computed, -1 for the end).
  std::vector<uint32_t> position_mask;
  std::vector<int32_t> position_step;
};

// Everything the text analysis reads, owned by the checker's state.
struct ScoringState {
  AnalysisTables tables;       // loaded once at start-up
  DictionarySet dictionaries;  // reloaded with the settings
  // The same dictionaries folded for decoded text (FoldDictionarySet),
  // rebuilt with them; the scan of today's mail uses it when it matches.
  DictionarySet folded_dictionaries;
  int16_t strictness = 0;      // word 0 of JudgmentSettings: -1, 0 or 1
  AnalysisBuffer buffer;
};

enum class TextVerdict : int16_t {
  kNotUnwanted = 0,
  kUnwanted = 1,
  kNoMemory = -1,  // the analysis buffer could not be allocated
};

// What the last AnalyseText computed, for tests and the command-line tool.
struct ScoreDetails {
  int32_t length = 0;  // L, bytes copied into the analysis text
  int64_t subject_score = 0;
  int64_t recipient_score = 0;
  int64_t threshold = 0;
  int scored = 0;  // dictionaries of the language that were scored
  int64_t scores[kMaxDictionaries] = {};  // by load order; 0 if not scored
  int64_t extra[kMaxDictionaries] = {};   // the part of each score from extra_scores
};

// Scores the body. `body_buffer` holds the body, its NUL and the rest of
// the decoded text up to `text_length` bytes (as ParseMessage leaves it).
// On kUnwanted `category` holds the dictionary's category name, cut on a
// character boundary to fit. `extra_scores`, when given, holds a score per
// dictionary (by load order) that signals outside the text found (the
// brand check); it is added to that dictionary's D + R + S.
TextVerdict AnalyseText(ScoringState& state, const char* body_buffer, int32_t text_length,
                        const MailRecord& record, int32_t language,
                        char (&category)[kCategoryWorkSize], ScoreDetails* details = nullptr,
                        const int64_t* extra_scores = nullptr);

// Frees the analysis buffer (end of a check).
void ReleaseAnalysisBuffer(AnalysisBuffer& buffer);

// The pieces of the score. Each is computed exactly like 32-bit signed
// arithmetic with truncating division wherever that does not overflow;
// they are 64-bit so that a huge recipient count or weight cannot wrap
// round to a small or negative value.
int64_t SubjectScore(const SubjectTable& table, const char* subject, int32_t length);
int64_t RecipientScore(int32_t strictness, int32_t extra_recipients);
int64_t Threshold(const int32_t (&p)[kThresholdCount], int32_t strictness, int32_t length);

// Copies `text_length` bytes of the body buffer into `out` (which holds
// kAnalysisBufferSize bytes, cleared here) as the language class asks;
// returns L.
int32_t PrepareAnalysisText(const char* body_buffer, int32_t text_length, int32_t language,
                            char* out);

// The first position at or after q that starts a word, or -1 at the NUL.
int32_t NextWordStart(const char* text, int32_t q);

// The first sentence end at or after p, or -1 when the NUL comes first.
int32_t SentenceEnd(const char* text, int32_t p);

// Cuts a category name into the judgment's working area without splitting
// a double-byte character.
void CopyCategory(const char* name, char (&category)[kCategoryWorkSize]);

}  // namespace zvrx
