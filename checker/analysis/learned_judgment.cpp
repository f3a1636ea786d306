#include "checker/analysis/learned_judgment.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "checker/analysis/brand_check.h"
#include "checker/analysis/find_no_case.h"
#include "checker/analysis/read_whole_file.h"
#include "checker/analysis/text_scoring.h"
#include "checker/mime/folding.h"
#include "platform/cp932.h"
#include "shared/locations.h"

namespace zvrx {

namespace {

constexpr uint64_t kFnvOffset = 1469598103934665603ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;
constexpr uint32_t kLearnedBuckets = 1u << 16;
constexpr int kLearnedBucketShift = 64 - 16;
constexpr int kMinWordBytes = 2;
constexpr int kMaxWordBytes = 20;

// Token kinds, hashed ahead of the bytes so that a pair and a word of the
// same bytes stay apart.
constexpr char kTagWord = 'w';
constexpr char kTagBigram = 'b';
constexpr char kTagTrigram = 't';
constexpr char kTagPair = 'p';
constexpr char kTagLinks = 'l';
constexpr char kTagEvidence = 'd';
constexpr char kTagLinkHosts = 'h';
constexpr int64_t kEvidenceStep = 1000;
// Marks a token of the Subject, which is counted once as any token and once
// as the Subject's own: a lure weighs more in the Subject that shows it
// than in the text below.
constexpr char kSubjectField = 0x40;

uint64_t Hash(char tag, std::string_view bytes) {
  uint64_t h = kFnvOffset;
  h = (h ^ static_cast<uint8_t>(tag)) * kFnvPrime;
  for (char c : bytes) h = (h ^ static_cast<uint8_t>(c)) * kFnvPrime;
  return h;
}

uint32_t Fnv32(std::span<const uint8_t> bytes) {
  uint32_t h = 2166136261u;
  for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

// The labels of addresses and links that say nothing of the mail: the
// reserved names that made-up mail is written with, and the parts every
// address has. Learned, they would only tell how a message was written.
constexpr std::string_view kAddressWords[] = {
    "example", "invalid", "test", "localhost", "www", "http", "https",
    "com",     "net",     "org",  "jp",        "co",  "ne",
};

bool IsAddressWord(std::string_view word) {
  for (std::string_view w : kAddressWords) {
    if (word == w) return true;
  }
  return false;
}

inline bool IsAsciiWordByte(uint8_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '$' || c == '%' || c == '\'';
}

inline bool IsHalfWidthKatakana(uint8_t c) { return c >= 0xA6 && c <= 0xDF; }

// Kanji, full-width digits, letters, hiragana and katakana as the scan
// counts them, and the long-vowel and repeat marks inside katakana and
// kanji words.
inline bool IsJapaneseWordCode(int code) {
  return code >= 0x8890 || (code >= 0x824F && code <= 0x8396) || code == 0x815B ||
         code == 0x8158;
}

class Tokenizer {
 public:
  Tokenizer(int32_t language, std::vector<uint64_t>& out) : japanese_(language == 0), out_(out) {}

  // `field` 0 for the text and the From name, kSubjectField for the Subject.
  void Add(std::string_view text, char field = 0) {
    field_ = field;
    previous_word_.clear();
    size_t i = 0;
    while (i < text.size()) {
      const uint8_t c = static_cast<uint8_t>(text[i]);
      if (IsAsciiWordByte(c)) {
        EndRun();
        size_t end = i;
        while (end < text.size() && IsAsciiWordByte(static_cast<uint8_t>(text[end]))) ++end;
        Word(text.substr(i, end - i));
        i = end;
        continue;
      }
      if (platform::IsCp932LeadByte(c) && i + 1 < text.size()) {
        const int code = c * 256 + static_cast<uint8_t>(text[i + 1]);
        if (japanese_ && IsJapaneseWordCode(code)) {
          Character(text.substr(i, 2));
        } else {
          EndRun();
        }
        i += 2;
        continue;
      }
      if (japanese_ && IsHalfWidthKatakana(c)) {
        Character(text.substr(i, 1));
      } else {
        EndRun();
      }
      ++i;
    }
    EndRun();
  }

 private:
  void Word(std::string_view word) {
    if (word.size() < kMinWordBytes || word.size() > kMaxWordBytes) return;
    char lower[kMaxWordBytes];
    bool letter = false;
    for (size_t k = 0; k < word.size(); ++k) {
      char ch = word[k];
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
      if (ch >= 'a' && ch <= 'z') letter = true;
      lower[k] = ch;
    }
    const std::string_view lowered(lower, word.size());
    if (!letter || IsAddressWord(lowered)) {
      previous_word_.clear();
      return;
    }
    Push(kTagWord, lowered);
    // Two words in a row ("verify your", "wire transfer") say more than
    // either alone.
    if (!previous_word_.empty()) {
      Push(kTagPair, previous_word_ + ' ' + std::string(lowered));
    }
    previous_word_.assign(lowered);
  }

  // Pairs and triples of characters: Japanese writes without blanks, and a
  // triple ("再配達", "未払い") is often the word a pair only half names.
  void Character(std::string_view ch) {
    previous_word_.clear();
    if (!previous_.empty()) {
      char gram[6];
      std::memcpy(gram, previous_.data(), previous_.size());
      std::memcpy(gram + previous_.size(), ch.data(), ch.size());
      Push(kTagBigram, std::string_view(gram, previous_.size() + ch.size()));
      if (!before_.empty()) {
        std::memcpy(gram, before_.data(), before_.size());
        std::memcpy(gram + before_.size(), previous_.data(), previous_.size());
        std::memcpy(gram + before_.size() + previous_.size(), ch.data(), ch.size());
        Push(kTagTrigram, std::string_view(gram, before_.size() + previous_.size() + ch.size()));
      }
    }
    before_ = previous_;
    previous_ = ch;
  }

  void Push(char tag, std::string_view bytes) {
    out_.push_back(Hash(tag, bytes));
    if (field_ != 0) out_.push_back(Hash(static_cast<char>(tag ^ field_), bytes));
  }

  void EndRun() {
    before_ = {};
    previous_ = {};
  }

  bool japanese_;
  char field_ = 0;
  std::string previous_word_;
  std::vector<uint64_t>& out_;
  std::string_view before_;  // the character before previous_ in the run
  std::string_view previous_;
};

// Half-width katakana to full width and full-width letters and digits to
// ASCII: the same word whatever widths its writer chose.
std::string FoldWidths(std::string_view cp932) {
  return mime::FoldForMatching(cp932, mime::LanguageClass::kEnglish);
}

// Whether the text starts with a header field that every message's header
// opens or carries (and a body hardly starts with).
bool StartsAsHeader(std::string_view text) {
  constexpr std::string_view kFields[] = {"return-path:", "received:", "delivered-to:",
                                          "dkim-signature:", "authentication-results:", "arc-",
                                          "x-", "message-id:", "mime-version:"};
  for (std::string_view field : kFields) {
    if (StartsWithNoCase(text, field)) return true;
  }
  return false;
}

// The From text without its address in angle brackets: the display name
// (a bare address still gives its words).
std::string FromText(const char* from) {
  std::string text;
  bool inside = false;
  for (const char* p = from; *p != '\0'; ++p) {
    if (*p == '<') inside = true;
    if (!inside) text += *p;
    if (*p == '>') inside = false;
  }
  return text;
}

// The name that tells one sender from another: the rightmost label of the
// host that is not a part every name has (top-level and second-level
// names, "www", "mail"). "bank-a" for "www.bank-a.example.co.jp", and
// "check" for "bank-a.example.jp.check.test", the lure that wears another
// name in front of its own ("" when there is none).
std::string_view OwnName(std::string_view host) {
  constexpr std::string_view kCommon[] = {"mail", "mx", "smtp", "e", "m", "ac", "or", "go", "ad",
                                          "ed", "gr", "lg", "uk", "info", "biz"};
  size_t end = host.size();
  while (end > 0) {
    const size_t dot = host.rfind('.', end - 1);
    const size_t start = dot == std::string_view::npos ? 0 : dot + 1;
    const std::string_view label = host.substr(start, end - start);
    const bool common =
        label.empty() || IsAddressWord(label) ||
        std::find(std::begin(kCommon), std::end(kCommon), label) != std::end(kCommon);
    if (!common) return label;
    if (dot == std::string_view::npos) break;
    end = dot;
  }
  return {};
}

// Whether the links go to the sender's own name: 'n' no link, 's' every
// link's host has the From address's domain's name, 'o' none has, 'm'
// some have. A notice links to its sender's site; a lure to someone else's.
char LinkHostsToken(std::string_view body, std::string_view from) {
  const std::string sender = SenderDomain(from);
  const std::string_view own = OwnName(sender);
  int shared = 0;
  int other = 0;
  for (const std::string& host : LinkDomains(body)) {
    ++(!own.empty() && OwnName(host) == own ? shared : other);
  }
  if (shared + other == 0) return 'n';
  if (other == 0) return 's';
  return shared == 0 ? 'o' : 'm';
}

template <typename T>
void Put(std::vector<uint8_t>& out, T value) {
  for (size_t k = 0; k < sizeof(T); ++k) {
    out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * k)));
  }
}

template <typename T>
T Get(const uint8_t* at) {
  uint64_t value = 0;
  for (size_t k = 0; k < sizeof(T); ++k) value |= uint64_t{at[k]} << (8 * k);
  return static_cast<T>(value);
}

}  // namespace

int32_t LearnedModel::Threshold(int32_t language, int32_t strictness) const {
  const int32_t(&row)[3] = thresholds[language == 0 ? 0 : 1];
  if (strictness < 0) return row[0];
  if (strictness > 0) return row[2];
  return row[1];
}

std::string ParseLearnedModel(std::span<const uint8_t> bytes, LearnedModel& model) {
  model = LearnedModel{};
  if (bytes.size() < kLearnedHeaderBytes + 4u) return "damaged (too short)";
  if (std::memcmp(bytes.data(), kLearnedMagic, sizeof kLearnedMagic) != 0) {
    return "damaged (not a learned model)";
  }
  const uint8_t* p = bytes.data();
  if (Get<uint16_t>(p + 8) != kLearnedVersion) return "damaged (unknown version)";
  if (Get<uint16_t>(p + 10) != kLearnedHeaderBytes) return "damaged (bad header)";
  const uint32_t count = Get<uint32_t>(p + 12);
  if (count > kLearnedMaxTokens) return "damaged (bad token count)";
  const size_t expected = kLearnedHeaderBytes + size_t{count} * kLearnedTokenBytes + 4;
  if (bytes.size() != expected) return "damaged (wrong size)";
  if (Fnv32(bytes.first(expected - 4)) != Get<uint32_t>(p + expected - 4)) {
    return "damaged (checksum)";
  }
  LearnedModel parsed;
  parsed.unwanted_learned = Get<uint32_t>(p + 16);
  parsed.legitimate_learned = Get<uint32_t>(p + 20);
  for (int c = 0; c < 2; ++c) {
    int32_t(&row)[3] = parsed.thresholds[c];
    for (int k = 0; k < 3; ++k) row[k] = Get<int32_t>(p + 24 + 12 * c + 4 * k);
    // Lenient must not delete what the standard level keeps, nor standard
    // what strict keeps.
    if (row[0] < row[1] || row[1] < row[2]) return "damaged (thresholds out of order)";
  }
  parsed.veto = Get<int32_t>(p + 48);
  parsed.top_n = Get<uint32_t>(p + 52);
  if (Get<uint32_t>(p + 56) != 0) return "damaged (bad header)";
  parsed.margin_bias = Get<int32_t>(p + 60);
  parsed.margin_weight = Get<uint32_t>(p + 64);
  // Far beyond any the learner chooses: more would let the margin alone
  // outweigh every threshold.
  if (parsed.margin_weight > kLearnedMaxMarginWeight ||
      parsed.margin_bias > kLearnedMaxMarginBias || parsed.margin_bias < -kLearnedMaxMarginBias) {
    return "damaged (bad margin)";
  }
  parsed.hashes.resize(count);
  parsed.weights.resize(count);
  parsed.margin_weights.resize(count);
  for (uint32_t k = 0; k < count; ++k) {
    const uint8_t* at = p + kLearnedHeaderBytes + size_t{k} * kLearnedTokenBytes;
    parsed.hashes[k] = Get<uint64_t>(at);
    parsed.weights[k] = Get<int16_t>(at + 8);
    parsed.margin_weights[k] = Get<int16_t>(at + 10);
    // The lookup is a binary search: the order is part of the format.
    if (k > 0 && parsed.hashes[k] <= parsed.hashes[k - 1]) return "damaged (tokens out of order)";
  }
  IndexLearnedModel(parsed);
  parsed.loaded = true;
  model = std::move(parsed);
  return "";
}

std::vector<uint8_t> SerializeLearnedModel(const LearnedModel& model) {
  std::vector<uint8_t> out;
  out.reserve(kLearnedHeaderBytes + model.hashes.size() * kLearnedTokenBytes + 4);
  for (char c : kLearnedMagic) out.push_back(static_cast<uint8_t>(c));
  Put<uint16_t>(out, kLearnedVersion);
  Put<uint16_t>(out, kLearnedHeaderBytes);
  Put<uint32_t>(out, static_cast<uint32_t>(model.hashes.size()));
  Put<uint32_t>(out, model.unwanted_learned);
  Put<uint32_t>(out, model.legitimate_learned);
  for (const auto& row : model.thresholds) {
    for (int32_t t : row) Put<int32_t>(out, t);
  }
  Put<int32_t>(out, model.veto);
  Put<uint32_t>(out, model.top_n);
  Put<uint32_t>(out, 0);
  Put<int32_t>(out, model.margin_bias);
  Put<uint32_t>(out, model.margin_weight);
  for (size_t k = 0; k < model.hashes.size(); ++k) {
    Put<uint64_t>(out, model.hashes[k]);
    Put<int16_t>(out, model.weights[k]);
    Put<int16_t>(out, k < model.margin_weights.size() ? model.margin_weights[k] : int16_t{0});
  }
  Put<uint32_t>(out, Fnv32(out));
  return out;
}

void IndexLearnedModel(LearnedModel& model) {
  // The hashes are FNV-1a, spread evenly over their range: 2^16 buckets
  // hold a few tokens each for a model of a few hundred thousand.
  model.bucket_starts.assign(kLearnedBuckets + 1, 0);
  size_t k = 0;
  for (uint32_t bucket = 0; bucket < kLearnedBuckets; ++bucket) {
    model.bucket_starts[bucket] = static_cast<uint32_t>(k);
    while (k < model.hashes.size() && (model.hashes[k] >> kLearnedBucketShift) == bucket) ++k;
  }
  model.bucket_starts[kLearnedBuckets] = static_cast<uint32_t>(model.hashes.size());
}

void LoadLearnedModel(LearnedModel& model, std::vector<DataProblem>& problems) {
  model = LearnedModel{};
  const std::string path = DataFolder() + kLearnedModelName;
  const std::vector<char> bytes = ReadWholeFile(path);
  if (bytes.empty()) {
    const std::string reason = UnreadableReason(path);
    // Missing: an installation from before the layer, which simply lacks it.
    if (reason != "missing") problems.push_back({kLearnedModelName, reason});
    return;
  }
  // ReadWholeFile adds one zero byte behind the file.
  const std::span<const uint8_t> file(reinterpret_cast<const uint8_t*>(bytes.data()),
                                      bytes.size() - 1);
  const std::string why = ParseLearnedModel(file, model);
  if (!why.empty()) problems.push_back({kLearnedModelName, why});
}

int64_t DictionaryEvidence(const ScoringState& scoring, const ScoreDetails& details,
                           int32_t language, int* best_out) {
  const auto& dictionaries = scoring.dictionaries.dictionaries;
  int best = -1;
  int64_t evidence = 0;
  for (size_t j = 0; j < dictionaries.size() && j < static_cast<size_t>(kMaxDictionaries); ++j) {
    if (dictionaries[j].language() != language) continue;
    const int64_t own = details.scores[j] - details.recipient_score - details.subject_score;
    if (own > 0 && (best < 0 || details.scores[j] > details.scores[best])) best = static_cast<int>(j);
    if (own > evidence) evidence = own;
  }
  if (best_out != nullptr) *best_out = best;
  return evidence;
}

void LearnedTokens(const char* text, const MailRecord& record, int32_t language,
                   int64_t dictionary_evidence, std::vector<uint64_t>& tokens) {
  tokens.clear();
  Tokenizer tokenizer(language, tokens);
  // A word is the same word in either width: folded, "ﾎﾟｲﾝﾄ" weighs as
  // "ポイント" and "５０ｐｔ" as "50pt" do, and an old system's notice in
  // half-width kana or a sender who types full-width digits is not taken
  // for spam's disguise (the dictionaries still see that).
  const std::string body = FoldWidths(text != nullptr ? std::string_view(text) : std::string_view());
  tokenizer.Add(body);
  tokenizer.Add(FoldWidths(std::string_view(record.subject, strnlen(record.subject, kMailFieldSize))),
                kSubjectField);
  char from[kMailFieldSize + 1];
  std::memcpy(from, record.from, kMailFieldSize);
  from[kMailFieldSize] = '\0';
  tokenizer.Add(FoldWidths(FromText(from)));
  // How many links the text holds (0, 1, 2, 3 or more): most unwanted mail
  // exists to bring the reader to one, and a word's weight cannot say so.
  int links = 0;
  for (size_t at = body.find("http"); at != std::string::npos && links < 3;
       at = body.find("http", at + 4)) {
    ++links;
  }
  tokens.push_back(Hash(kTagLinks, std::string(1, static_cast<char>('0' + links))));
  tokens.push_back(Hash(kTagLinkHosts, std::string(1, LinkHostsToken(body, from))));
  // How far the dictionaries came, in steps of 1000 (0 to 9): a quiet
  // letter halfway to a dictionary's threshold is a sign its words alone
  // do not give, and one they found nothing in is a sign as well.
  const int64_t evidence = std::clamp<int64_t>(dictionary_evidence / kEvidenceStep, 0, 9);
  tokens.push_back(Hash(kTagEvidence, std::string(1, static_cast<char>('0' + evidence))));
  std::sort(tokens.begin(), tokens.end());
  tokens.erase(std::unique(tokens.begin(), tokens.end()), tokens.end());
}

int64_t LearnedScore(const LearnedModel& model, const std::vector<uint64_t>& tokens) {
  std::vector<int16_t> found;
  found.reserve(tokens.size());
  int64_t margin_sum = 0;
  const bool with_margin =
      model.margin_weight != 0 && model.margin_weights.size() == model.hashes.size();
  const bool indexed = model.bucket_starts.size() == kLearnedBuckets + 1 &&
                       model.bucket_starts.back() == model.hashes.size();
  for (uint64_t token : tokens) {
    auto first = model.hashes.begin();
    auto last = model.hashes.end();
    if (indexed) {
      const size_t bucket = static_cast<size_t>(token >> kLearnedBucketShift);
      first = model.hashes.begin() + model.bucket_starts[bucket];
      last = model.hashes.begin() + model.bucket_starts[bucket + 1];
    }
    auto at = std::lower_bound(first, last, token);
    if (at != last && *at == token) {
      const size_t k = static_cast<size_t>(at - model.hashes.begin());
      found.push_back(model.weights[k]);
      if (with_margin) margin_sum += model.margin_weights[k];
    }
  }
  int64_t score = 0;
  if (with_margin && !tokens.empty()) {
    // Over the square root of the token count: a long text of ordinary
    // words must not add up to a verdict.
    const double spread = std::sqrt(static_cast<double>(tokens.size()));
    const double margin = (model.margin_bias + static_cast<double>(margin_sum) / spread) / 1000.0;
    score += std::llround(margin * model.margin_weight);
  }
  if (model.top_n > 0 && found.size() > model.top_n) {
    // The strongest first; ties by value, so the sum never depends on the
    // order the tokens came in.
    auto stronger = [](int16_t a, int16_t b) {
      const int abs_a = a < 0 ? -a : a;
      const int abs_b = b < 0 ? -b : b;
      return abs_a != abs_b ? abs_a > abs_b : a > b;
    };
    std::nth_element(found.begin(), found.begin() + model.top_n, found.end(), stronger);
    found.resize(model.top_n);
  }
  for (int16_t w : found) score += w;
  return score;
}

bool ApplyLearnedJudgment(const LearnedModel& model, const ScoringState& scoring,
                          const MailRecord& record, int32_t language, const ScoreDetails& details,
                          bool unwanted, char (&category)[kCategoryWorkSize],
                          LearnedOutcome* outcome) {
  LearnedOutcome local;
  LearnedOutcome& out = outcome != nullptr ? *outcome : local;
  out = LearnedOutcome{};
  // The layer works beside the dictionaries of the language: with every
  // one of them switched off, the user has the language's text judged by
  // nothing.
  if (!model.loaded || !scoring.buffer.bytes || details.scored == 0) return unwanted;
  // Nor does it judge a header: when the header of a message does not end
  // within what was read, the text is the header itself, which the layer
  // never learned from.
  if (StartsAsHeader(std::string_view(scoring.buffer.bytes.get(),
                                      strnlen(scoring.buffer.bytes.get(), kAnalysisBufferSize)))) {
    return unwanted;
  }
  std::vector<uint64_t> tokens;
  int best = -1;
  const int64_t evidence = DictionaryEvidence(scoring, details, language, &best);
  LearnedTokens(scoring.buffer.bytes.get(), record, language, evidence, tokens);
  out.scored = true;
  out.score = LearnedScore(model, tokens);
  out.threshold = model.Threshold(language, scoring.strictness);
  if (unwanted) {
    if (model.veto != kLearnedNoVeto && out.score < model.veto) {
      out.vetoed = true;
      category[0] = '\0';
      return false;
    }
    return true;
  }
  if (out.score <= out.threshold) return false;
  out.deleted = true;
  // The closest kind the dictionaries saw, or the layer's own category.
  CopyCategory(best >= 0 ? scoring.dictionaries.dictionaries[best].category() : kCategoryLearned,
               category);
  return true;
}

}  // namespace zvrx
