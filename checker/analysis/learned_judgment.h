// The learned judgment: an extension (key learned_judgment of ZVRXExt.ini)
// that weighs the words of the analysis text by how often they occurred in
// unwanted and in legitimate mail of the labelled corpus. The dictionaries
// know phrases; this layer knows the many small signs no dictionary lists.
//
// The model is the delivered file "Zvrx Staffs\ZVRXLearn.dat", written by
// zvrx_learn (tools/learn) at build time, little-endian:
//   magic "ZVRXLRN1", u16 version (4), u16 header bytes (68),
//   u32 token count, u32 unwanted and u32 legitimate messages learned,
//   i32 thresholds for strictness -1, 0 and 1 of Japanese mail, then of
//   English mail, i32 veto (INT32_MIN: none),
//   u32 N (0: every token counts), u32 reserved (0),
//   i32 the margin's bias (thousandths), u32 the margin's weight in the
//   score (hundredths per unit; 0: the margin is not used),
//   then per token u64 hash (strictly rising), i16 weight and i16 margin
//   weight (thousandths),
//   then u32 FNV-1a of every byte before it.
// A message's score is the sum of its tokens' weights (log-odds in
// hundredths, only the N strongest when N is set) plus the margin's weight
// times its margin: bias + (sum of its tokens' margin weights) / sqrt(number
// of its tokens), a linear separator learned on the same tokens. The two
// err on different mail: the word counts overrate a rare word, the
// separator a long text of ordinary words.
// The version names the tokens and the score (2: Japanese character pairs
// and triples of width-folded text; 3: the Subject's tokens twice, once as
// its own, and the number of links; 4: the margin), so a model learned
// otherwise is refused rather than misread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "checker/analysis/data_problem.h"
#include "shared/dictionary_format.h"
#include "checker/analysis/mail_record.h"

namespace zvrx {

struct ScoringState;
struct ScoreDetails;

inline constexpr char kLearnedModelName[] = "ZVRXLearn.dat";
inline constexpr char kLearnedMagic[8] = {'Z', 'V', 'R', 'X', 'L', 'R', 'N', '1'};
inline constexpr uint16_t kLearnedVersion = 4;
inline constexpr uint16_t kLearnedHeaderBytes = 68;
inline constexpr int kLearnedTokenBytes = 12;
inline constexpr int32_t kLearnedNoVeto = INT32_MIN;
// Far more than a model of any corpus we could write needs; a count beyond
// it is damage, not a model.
inline constexpr uint32_t kLearnedMaxTokens = 4000000;
// Likewise for the margin: its weight (a hundred thousand log-odds per
// unit) and its bias (a hundred units, in thousandths).
inline constexpr uint32_t kLearnedMaxMarginWeight = 10000000;
inline constexpr int32_t kLearnedMaxMarginBias = 100000;

// The category of mail the layer alone deletes when no dictionary of the
// language scored above zero: 学習判定メール (CP932).
inline constexpr char kCategoryLearned[] =
    "\x8a\x77\x8f\x4b\x94\xbb\x92\xe8\x83\x81\x81\x5b\x83\x8b";

struct LearnedModel {
  bool loaded = false;
  uint32_t unwanted_learned = 0;
  uint32_t legitimate_learned = 0;
  // By language class (Japanese, English), then strictness -1, 0, 1.
  int32_t thresholds[2][3] = {};
  int32_t veto = kLearnedNoVeto;
  uint32_t top_n = 0;
  int32_t margin_bias = 0;     // thousandths
  uint32_t margin_weight = 0;  // hundredths of score per unit of margin
  std::vector<uint64_t> hashes;  // rising
  std::vector<int16_t> weights;
  std::vector<int16_t> margin_weights;  // thousandths
  // Not in the file: per value of a hash's top bits, where its tokens start
  // (and behind the last, the token count), so a lookup searches the few
  // tokens of one bucket. Empty: the whole table is searched.
  std::vector<uint32_t> bucket_starts;

  int32_t Threshold(int32_t language, int32_t strictness) const;
};

// "" and the model when the bytes are a sound model, else why not (and the
// model is left unloaded).
std::string ParseLearnedModel(std::span<const uint8_t> bytes, LearnedModel& model);
std::vector<uint8_t> SerializeLearnedModel(const LearnedModel& model);
// Fills `bucket_starts` from `hashes` (rising); ParseLearnedModel does.
void IndexLearnedModel(LearnedModel& model);

// Loads "Zvrx Staffs\ZVRXLearn.dat". A damaged file is noted in `problems`
// and leaves the layer off; a missing one leaves it off quietly (an
// installation from before the layer).
void LoadLearnedModel(LearnedModel& model, std::vector<DataProblem>& problems);

// The distinct tokens of a message, sorted: from the analysis text as
// PrepareAnalysisText left it in the scoring buffer (`text`, NUL-ended),
// and from Subject and the From display text, with half-width katakana
// folded to full width and full-width letters and digits to ASCII. Japanese
// (class 0): pairs and triples of characters over runs of kana and kanji,
// and ASCII words; English (class 1): ASCII words. Words are
// lowered, 2 to 20 bytes of letters, digits, $ % and ', with a letter among
// them; two words in a row (only blanks or punctuation between) also give
// their pair. Three tokens say what the words cannot: how many links the
// text holds, whether they lead to the From address's own domain, and
// `dictionary_evidence` (DictionaryEvidence) in steps.
void LearnedTokens(const char* text, const MailRecord& record, int32_t language,
                   int64_t dictionary_evidence, std::vector<uint64_t>& tokens);

// How far the language's dictionaries came: the highest own score of one
// of them (without the recipient and Subject scores, which every one gets),
// 0 when none scored above zero. `best` gets that dictionary's index, or -1.
int64_t DictionaryEvidence(const ScoringState& scoring, const ScoreDetails& details,
                           int32_t language, int* best = nullptr);

// The sum of the weights of the tokens the model knows (only the N
// strongest when the model says so), in hundredths of log-odds, plus the
// margin's part. `tokens` rise, as LearnedTokens leaves them.
int64_t LearnedScore(const LearnedModel& model, const std::vector<uint64_t>& tokens);

// What the layer did to one verdict.
struct LearnedOutcome {
  bool scored = false;
  int64_t score = 0;
  int64_t threshold = 0;
  bool deleted = false;  // the dictionaries found nothing, the layer deletes
  bool vetoed = false;   // a dictionary verdict the layer overrules
};

// The layer's step after the dictionaries, when at least one dictionary of
// the language was scored: `unwanted` is their verdict,
// `category` their category. Returns the new verdict and, when the layer
// alone deletes, puts a category into `category`: the language's
// dictionary with the highest score when that score is above zero.
bool ApplyLearnedJudgment(const LearnedModel& model, const ScoringState& scoring,
                          const MailRecord& record, int32_t language, const ScoreDetails& details,
                          bool unwanted, char (&category)[kCategoryWorkSize],
                          LearnedOutcome* outcome);

}  // namespace zvrx
