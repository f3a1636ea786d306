#include "checker/analysis/text_scoring.h"

#include <cstring>
#include <new>

#include "checker/analysis/find_no_case.h"
#include "platform/cp932.h"

namespace zvrx {

namespace {

constexpr int32_t kStrictLenient = -1;
constexpr int32_t kStrictStrict = 1;

// Past this many recipients every factor already gives a score beyond any
// 32-bit threshold; the cap keeps e^3 inside 64 bits.
constexpr int64_t kRecipientCap = 100000;

inline uint8_t Byte(const char* text, int32_t i) { return static_cast<uint8_t>(text[i]); }

// Half-width katakana are single bytes in Shift-JIS (0xA1-0xDF). Taking
// them for lead bytes would step over a following character's first byte
// and read the rest of the text out of step, so that no word after an odd
// run of them could match.
inline bool IsHalfWidthKatakana(uint8_t c) { return c >= 0xA1 && c <= 0xDF; }

// The scan's notion of a double-byte character.
inline bool StartsDoubleByte(const char* text, int32_t i) {
  const uint8_t first = Byte(text, i);
  return first >= 0x81 && first <= 0xEF && !IsHalfWidthKatakana(first) && first != 0xA0 &&
         Byte(text, i + 1) > 0x39;
}

inline bool IsWordByte(uint8_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '%' ||
         c == '$';
}

// Blanks (and the other control bytes) and ASCII punctuation.
inline bool IsSeparatorByte(uint8_t c) {
  return (c >= 0x01 && c <= 0x20) || (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) ||
         (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

// CP932 lead bytes, for cutting names on a character boundary.

int32_t NormalStrictness(int32_t strictness) {
  return (strictness == kStrictLenient || strictness == kStrictStrict) ? strictness : 0;
}

// Sentence ends are looked up with rising p, so one answer serves every p
// up to the end it found.
struct SentenceEndCache {
  int32_t from = -1;
  int32_t at = -1;
  int32_t Find(const char* text, int32_t p) {
    if (from >= 0 && p >= from && (at < 0 || p <= at)) return at;
    from = p;
    at = SentenceEnd(text, p);
    return at;
  }
};

constexpr uint32_t kMaskKnown = 1u << 16;
constexpr int32_t kUnknownSpelling = -2;
constexpr int32_t kUnknownStep = -2;

// What every scan of one message computes alike: the prefilter's mask at a
// position and the next word start behind a position without a match. The
// scans of a message's dictionaries share it, so each dictionary's walk
// costs two lookups per position.
class PositionCache {
 public:
  PositionCache(const DictionarySet& set, const char* text, int32_t text_end,
                AnalysisBuffer& buffer)
      : set_(set), text_(text), mask_(buffer.position_mask), step_(buffer.position_step) {
    mask_.assign(static_cast<size_t>(text_end) + 1, 0);
    step_.assign(static_cast<size_t>(text_end) + 1, kUnknownStep);
  }

  uint16_t Mask(int32_t p) {
    uint32_t& mask = mask_[p];
    if (mask == 0) mask = kMaskKnown | PrefilterCandidatesPadded(set_.prefilter, text_ + p);
    return static_cast<uint16_t>(mask);
  }

  int32_t StepFrom(int32_t p) {
    int32_t& step = step_[p];
    if (step == kUnknownStep) step = NextWordStart(text_, p + (StartsDoubleByte(text_, p) ? 2 : 1));
    return step;
  }

 private:
  const DictionarySet& set_;
  const char* text_;
  std::vector<uint32_t>& mask_;
  std::vector<int32_t>& step_;
};

class DictionaryScan {
 public:
  DictionaryScan(MethodDictionary& dictionary, const DictionarySet& set, const char* text,
                 int32_t text_end, AnalysisBuffer& buffer, PositionCache& positions)
      : dictionary_(dictionary),
        set_(set),
        text_(text),
        text_end_(text_end),
        positions_(positions),
        spelling_at_(buffer.spelling_at) {
    spelling_at_.assign(dictionary.entries.size() + dictionary.items.size(), kUnknownSpelling);
  }

  void Run() {
    for (DictionaryEntry& entry : dictionary_.entries) {
      entry.hit_count = 0;
      for (FollowUpSlot& slot : entry.slots) {
        slot.count_a = 0;
        slot.count_b = 0;
      }
    }
    int32_t p = 0;
    while (p < text_end_) {
      int32_t length = 0;
      const int winner = IsCandidate(p) ? FirstMatch(p, length) : -1;
      if (winner < 0) {
        p = positions_.StepFrom(p);
        if (p < 0) return;
        continue;
      }
      DictionaryEntry& entry = dictionary_.entries[winner];
      ++entry.hit_count;
      p = NextWordStart(text_, p + length);
      if (p < 0) return;
      const int32_t end = sentence_end_.Find(text_, p);
      for (FollowUpSlot& slot : entry.slots) {
        const int16_t related = static_cast<int16_t>(static_cast<uint32_t>(slot.related) & 0xFFFFu);
        if (related < 1) continue;
        const int32_t at = FindFollowUp(related - 1, p);
        if (at < 0) continue;
        ++slot.count_a;
        if (end >= 0 && at < end) ++slot.count_b;
      }
    }
  }

 private:
  bool IsCandidate(int32_t p) {
    if (!set_.use_prefilter) return true;
    return (positions_.Mask(p) & dictionary_.bit) != 0;
  }

  // The text is padded with zeros, so comparing a spelling's bytes never
  // leaves the buffer, and a spelling (which holds no NUL) never matches
  // across the NUL.
  // The first entry in entry order whose word or one of whose forms begins
  // the text at p (the word before the forms, the forms in order). Only the
  // spellings of p's bucket can, and only those with p's first two bytes.
  int FirstMatch(int32_t p, int32_t& length) const {
    const uint8_t b0 = static_cast<uint8_t>(text_[p]);
    const uint8_t b1 = static_cast<uint8_t>(text_[p + 1]);
    const int bucket = EntryBucket(b0, b1);
    const uint32_t end = dictionary_.bucket_begin[bucket + 1];
    for (uint32_t b = dictionary_.bucket_begin[bucket]; b < end; ++b) {
      const BucketSpelling& s = dictionary_.bucket_spellings[b];
      if (s.first != b0) continue;
      if (s.one_byte) {
        length = 1;
        return s.entry;
      }
      if (s.second != b1) continue;
      const char* bytes = s.item < 0
                              ? dictionary_.entries[s.entry].word
                              : dictionary_.companion.data() + dictionary_.items[s.item].offset;
      if (std::memcmp(text_ + p + 2, bytes + 2, s.length - 2) == 0) {
        length = s.length;
        return s.entry;
      }
    }
    return -1;
  }

  int32_t Find(int32_t p, const char* word, int32_t length) const {
    if (length <= 0 || p >= text_end_) return -1;
    const void* at = memmem(text_ + p, text_end_ - p, word, length);
    return at == nullptr ? -1 : static_cast<int32_t>(static_cast<const char*>(at) - text_);
  }

  // The related entry's word from p on, or else its first form that occurs.
  int32_t FindFollowUp(int related, int32_t p) {
    int32_t at = FindSpelling(related, p, dictionary_.entries[related].word,
                              dictionary_.word_lengths[related]);
    const size_t first_item = dictionary_.entries.size();
    for (int32_t k = dictionary_.item_begin[related];
         at < 0 && k < dictionary_.item_begin[related + 1]; ++k) {
      const CompanionItem& item = dictionary_.items[k];
      at = FindSpelling(first_item + k, p, dictionary_.companion.data() + item.offset, item.length);
    }
    return at;
  }

  // p only rises during a scan, so a spelling found at or after p is the
  // answer for every p up to there, and one missing from some p is
  // missing from every later p.
  int32_t FindSpelling(size_t spelling, int32_t p, const char* bytes, int32_t length) {
    int32_t& at = spelling_at_[spelling];
    if (at == -1 || at >= p) return at;
    at = Find(p, bytes, length);
    return at;
  }

  MethodDictionary& dictionary_;
  const DictionarySet& set_;
  const char* text_;
  int32_t text_end_;
  PositionCache& positions_;
  std::vector<int32_t>& spelling_at_;
  SentenceEndCache sentence_end_;
};

int64_t DictionaryScore(const MethodDictionary& dictionary) {
  int64_t score = 0;
  for (const DictionaryEntry& entry : dictionary.entries) {
    if (entry.hit_count <= 0) continue;
    score += int64_t{entry.hit_count} * entry.weight;
    for (const FollowUpSlot& slot : entry.slots) {
      if (static_cast<int16_t>(static_cast<uint32_t>(slot.related) & 0xFFFFu) < 1) continue;
      score += int64_t{slot.count_a} * slot.weight_a + int64_t{slot.count_b} * slot.weight_b;
    }
  }
  return score;
}

bool AllocateBuffer(AnalysisBuffer& buffer) {
  if (buffer.bytes) return true;
  buffer.bytes.reset(new (std::nothrow) char[kAnalysisBufferSize + kAnalysisBufferPadding]);
  return buffer.bytes != nullptr;
}

}  // namespace

int32_t PrepareAnalysisText(const char* body_buffer, int32_t text_length, int32_t language,
                            char* out) {
  std::memset(out, 0, kAnalysisBufferSize);
  // One byte always stays zero so the text ends inside the buffer.
  const int32_t room = kAnalysisBufferSize - 1;
  int32_t copied = 0;
  for (int32_t i = 0; i < text_length && copied < room; ++i) {
    const char c = body_buffer[i];
    if (c == '\r' || c == '\n') {
      if (language == kLanguageEnglish && copied > 0 && out[copied - 1] != ' ') out[copied++] = ' ';
      continue;
    }
    out[copied++] = (language == kLanguageEnglish && c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
  }
  return copied;
}

int32_t NextWordStart(const char* text, int32_t q) {
  bool separated = false;
  for (;;) {
    const uint8_t c = Byte(text, q);
    if (c == 0) return -1;
    // Like full-width katakana, each one starts a word.
    if (IsHalfWidthKatakana(c)) return q;
    if (StartsDoubleByte(text, q)) {
      const int code = c * 256 + Byte(text, q + 1);
      // Kanji, and full-width digits, letters, hiragana and katakana.
      if (code >= 0x8890 || (code >= 0x824F && code <= 0x8396)) return q;
      separated = true;  // symbols and punctuation
      q += 2;
      continue;
    }
    if (separated && IsWordByte(c)) return q;
    if (IsSeparatorByte(c)) separated = true;
    ++q;
  }
}

int32_t SentenceEnd(const char* text, int32_t p) {
  for (int32_t i = p; text[i] != '\0'; ++i) {
    const uint8_t c = Byte(text, i);
    if (c == '.' || c == '?') return i;
    // 。 ． ？ (checked at every offset, not only on character boundaries)
    if (c == 0x81) {
      const uint8_t next = Byte(text, i + 1);
      if (next == 0x42 || next == 0x44 || next == 0x48) return i;
    }
  }
  return -1;
}

int64_t SubjectScore(const SubjectTable& table, const char* subject, int32_t length) {
  if (!table.present) return 0;
  int64_t sum = 0;
  for (const SubjectKeyword& keyword : table.keywords) {
    const char* at = table.ignore_case ? FindNoCase(subject, keyword.keyword.c_str())
                                       : std::strstr(subject, keyword.keyword.c_str());
    if (at != nullptr) sum += keyword.weight;
  }
  if (sum == 0) return 0;
  if (length <= table.lower) return sum;
  if (length >= table.upper) return 0;
  // lower < length < upper, so the divisor is positive.
  return (int64_t{table.upper} - length) * sum / (int64_t{table.upper} - table.lower);
}

int64_t RecipientScore(int32_t strictness, int32_t extra_recipients) {
  int64_t factor = kRecipientFactorStandard;
  switch (NormalStrictness(strictness)) {
    case kStrictLenient: factor = kRecipientFactorLenient; break;
    case kStrictStrict: factor = kRecipientFactorStrict; break;
    default: break;
  }
  int64_t e = extra_recipients;
  if (e > kRecipientCap) e = kRecipientCap;
  if (e < -kRecipientCap) e = -kRecipientCap;
  int64_t power = 1;
  for (int i = 0; i < kRecipientExponent; ++i) power *= e;
  return factor * power / 100;
}

int64_t Threshold(const int32_t (&p)[kThresholdCount], int32_t strictness, int32_t length) {
  int index = 2;  // P2, P3: standard
  switch (NormalStrictness(strictness)) {
    case kStrictLenient: index = 0; break;
    case kStrictStrict: index = 4; break;
    default: break;
  }
  const int64_t base = p[index];
  const int64_t slope = p[index + 1];
  const int64_t knee = p[6];
  if (length < knee) return base + length * slope / 100;
  return base + (length - knee) * p[7] / 100 + knee * slope / 100;
}

void CopyCategory(const char* name, char (&category)[kCategoryWorkSize]) {
  int i = 0;
  while (name[i] != '\0') {
    const int width = (platform::IsCp932LeadByte(static_cast<uint8_t>(name[i])) && name[i + 1] != '\0') ? 2 : 1;
    if (i + width > kMaxCategoryLength) break;
    for (int k = 0; k < width; ++k) category[i + k] = name[i + k];
    i += width;
  }
  category[i] = '\0';
}

TextVerdict AnalyseText(ScoringState& state, const char* body_buffer, int32_t text_length,
                        const MailRecord& record, int32_t language,
                        char (&category)[kCategoryWorkSize], ScoreDetails* details,
                        const int64_t* extra_scores) {
  if (!AllocateBuffer(state.buffer)) return TextVerdict::kNoMemory;
  char* text = state.buffer.bytes.get();
  std::memset(text + kAnalysisBufferSize, 0, kAnalysisBufferPadding);
  const int32_t length = PrepareAnalysisText(body_buffer, text_length, language, text);
  const int32_t text_end = static_cast<int32_t>(strnlen(text, kAnalysisBufferSize));
  // Only the body is scanned; zeros behind it let the scan read ahead freely.
  std::memset(text + text_end, 0, length - text_end);

  // The record's fields are strings by contract; a copy makes sure of it.
  char subject[kMailFieldSize + 1];
  std::memcpy(subject, record.subject, kMailFieldSize);
  subject[kMailFieldSize] = '\0';

  const bool known_language = language == kLanguageJapanese || language == kLanguageEnglish;
  const int64_t subject_score =
      known_language ? SubjectScore(state.tables.subject[language], subject, length) : 0;
  const int64_t recipient_score = RecipientScore(state.strictness, record.extra_recipients);
  const int64_t threshold = Threshold(state.tables.thresholds, state.strictness, length);
  if (details != nullptr) {
    *details = ScoreDetails{};
    details->length = length;
    details->subject_score = subject_score;
    details->recipient_score = recipient_score;
    details->threshold = threshold;
  }

  // Decoded text is folded; its words meet the folded dictionaries, built
  // from the same load (a set added by hand has none and is used as it is).
  const bool decoded = record.read_as == kReadDecodedJapanese ||
                       record.read_as == kReadDecodedEnglish;
  DictionarySet& set = decoded && state.folded_dictionaries.count == state.dictionaries.count
                           ? state.folded_dictionaries
                           : state.dictionaries;
  PositionCache positions(set, text, text_end, state.buffer);
  for (size_t j = 0; j < set.dictionaries.size(); ++j) {
    MethodDictionary& dictionary = set.dictionaries[j];
    if (dictionary.language() != language) continue;
    DictionaryScan(dictionary, set, text, text_end, state.buffer, positions).Run();
    const int64_t extra =
        extra_scores != nullptr && j < static_cast<size_t>(kMaxDictionaries) ? extra_scores[j] : 0;
    const int64_t score = DictionaryScore(dictionary) + recipient_score + subject_score + extra;
    if (details != nullptr) {
      details->scores[j] = score;
      details->extra[j] = extra;
      ++details->scored;
    }
    if (score > threshold) {
      CopyCategory(dictionary.category(), category);
      return TextVerdict::kUnwanted;
    }
  }
  return TextVerdict::kNotUnwanted;
}

void ReleaseAnalysisBuffer(AnalysisBuffer& buffer) {
  buffer.bytes.reset();
  buffer.spelling_at = {};
  buffer.position_mask = {};
  buffer.position_step = {};
}

}  // namespace zvrx
