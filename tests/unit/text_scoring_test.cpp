// The text analysis: score arithmetic, the analysis copy of the text, word
// starts and sentence ends, the scan with follow-up words, and the choice
// of the dictionary that decides.
#include "checker/analysis/text_scoring.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/cp932.h"
#include "shared/locations.h"
#include "tests/support/dictionary_builder.h"
#include "tests/support/sjis.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

using test::DictionaryContents;
using test::EntryContents;

using test::Sjis;

void AddDictionary(ScoringState& state, const DictionaryContents& contents, const std::string& name = "1") {
  const std::string file = test::BuildDictionaryFile(contents);
  MethodDictionary dictionary;
  dictionary.file_name = name;
  ASSERT_TRUE(ParseDictionaryFile(file.data(), file.size(), dictionary));
  if (!contents.companion_name.empty()) {
    const std::string companion = test::BuildCompanionFile(contents);
    ASSERT_TRUE(AttachCompanion(companion.data(), companion.size(), dictionary));
  }
  ASSERT_TRUE(AddDictionary(state.dictionaries, std::move(dictionary)));
}

// Standard strictness with a flat threshold T = base.
void SetFlatThreshold(ScoringState& state, int32_t base) {
  for (int32_t& p : state.tables.thresholds) p = 0;
  state.tables.thresholds[2] = base;
}

struct Outcome {
  TextVerdict verdict;
  std::string category;
  ScoreDetails details;
};

// The body buffer as ParseMessage leaves it: the body, its NUL, the rest.
Outcome Analyse(ScoringState& state, const std::string& body, int32_t language,
                const std::string& rest = "", int32_t extra_recipients = 0,
                const std::string& subject = "") {
  const std::string buffer = body + std::string(1, '\0') + rest;
  MailRecord record{};
  std::strncpy(record.subject, subject.c_str(), kMailFieldSize - 1);
  record.extra_recipients = extra_recipients;
  char category[kCategoryWorkSize] = "untouched";
  Outcome outcome;
  outcome.verdict = AnalyseText(state, buffer.data(), static_cast<int32_t>(buffer.size()), record,
                                language, category, &outcome.details);
  outcome.category = category;
  return outcome;
}

// ---------------------------------------------------------------------------
// Score arithmetic.

TEST(ScoreArithmeticTest, SubjectScoreFallsLinearlyBetweenTheBounds) {
  SubjectTable table;
  table.present = true;
  table.lower = 100;
  table.upper = 300;
  table.keywords = {{"SALE", 50}};
  struct Case {
    int32_t length;
    int64_t expected;
  };
  // At or below the lower bound the whole sum; at or past the upper, 0;
  // between them (upper - L) * sum / (upper - lower), truncated.
  const Case cases[] = {{0, 50}, {100, 50}, {101, 49}, {200, 25}, {299, 0}, {300, 0}, {5000, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(SubjectScore(table, "Big SALE today", c.length), c.expected) << "L=" << c.length;
  }

  EXPECT_EQ(SubjectScore(table, "big sale today", 0), 0) << "case-sensitive table";
  table.ignore_case = true;
  EXPECT_EQ(SubjectScore(table, "big sale today", 0), 50) << "case-insensitive table";
  table.keywords.push_back({"today", -20});
  EXPECT_EQ(SubjectScore(table, "big sale today", 200), 15) << "weights are summed first";
  table.keywords = {{"a", 30}, {"b", -30}};
  EXPECT_EQ(SubjectScore(table, "ab", 0), 0) << "a zero sum scores 0";
  EXPECT_EQ(SubjectScore(SubjectTable{}, "SALE", 0), 0) << "no table";
}

TEST(ScoreArithmeticTest, RecipientScoreIsFactorTimesCubeOver100) {
  struct Case {
    int32_t strictness;
    int32_t recipients;
    int64_t expected;
  };
  const Case cases[] = {
      {0, 5, 125},  {0, 1, 1},    {1, 1, 1},    {-1, 1, 0},  {0, 0, 0},
      {-1, 5, 100}, {1, 5, 150},  {7, 5, 125},  // other values count as standard
      // 120 * 2000^3 / 100 does not fit 32 bits; it must stay a huge
      // positive score instead of wrapping round.
      {1, 2000, 9600000000LL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RecipientScore(c.strictness, c.recipients), c.expected)
        << "strictness " << c.strictness << ", " << c.recipients << " recipients";
  }
}

TEST(ScoreArithmeticTest, ThresholdGrowsWithLengthAndBendsAtTheKnee) {
  const int32_t p[kThresholdCount] = {100, 10, 200, 20, 300, 30, 1000, 5};
  struct Case {
    int32_t strictness;
    int32_t length;
    int64_t expected;
  };
  const Case cases[] = {
      {0, 0, 200},     {0, 999, 200 + 999 * 20 / 100},  // below the knee
      {0, 1000, 400},  {0, 3000, 200 + 2000 * 5 / 100 + 200},  // at and beyond
      {-1, 500, 150},  {1, 500, 450},   {3, 500, 300},  // strictness picks base and slope
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Threshold(p, c.strictness, c.length), c.expected)
        << "strictness " << c.strictness << ", L=" << c.length;
  }
  const int32_t negative[kThresholdCount] = {0, 0, 0, -150, 0, 0, 100, 0};
  EXPECT_EQ(Threshold(negative, 0, 1), -1) << "division truncates towards zero";
  const int32_t none[kThresholdCount] = {};
  EXPECT_EQ(Threshold(none, 0, 19999), 0) << "no parameters: T = 0";
}

// ---------------------------------------------------------------------------
// The analysis copy of the text.

TEST(AnalysisTextTest, JapaneseDropsLineBreaksEnglishFoldsThemAndLowersCase) {
  std::vector<char> out(kAnalysisBufferSize);
  const std::string buffer = std::string("\r\nAb\r\nCD  E\r\n") + '\0' + "Rest\r\n";
  const int32_t size = static_cast<int32_t>(buffer.size());

  EXPECT_EQ(PrepareAnalysisText(buffer.data(), size, kLanguageJapanese, out.data()), 12);
  EXPECT_EQ(std::string(out.data(), 12), std::string("AbCD  E") + '\0' + "Rest");

  // A break becomes a blank only after a copied byte that is not a blank;
  // the bytes after the body's NUL are copied (and counted) too.
  EXPECT_EQ(PrepareAnalysisText(buffer.data(), size, kLanguageEnglish, out.data()), 15);
  EXPECT_EQ(std::string(out.data(), 15), std::string("ab cd  e ") + '\0' + "rest ");
}

TEST(AnalysisTextTest, LongTextIsCutSoTheBufferStaysTerminated) {
  std::vector<char> out(kAnalysisBufferSize, 'z');
  const std::string buffer(kAnalysisBufferSize + 50, 'a');
  EXPECT_EQ(PrepareAnalysisText(buffer.data(), static_cast<int32_t>(buffer.size()),
                                kLanguageJapanese, out.data()),
            kAnalysisBufferSize - 1);
  EXPECT_EQ(out[kAnalysisBufferSize - 1], '\0');
}

TEST(WordStartTest, NextWordStart) {
  struct Case {
    const char* why;
    std::string text;
    int32_t q;
    int32_t expected;
  };
  const Case cases[] = {
      {"a letter right at q is no start", "abc def", 0, 4},
      {"inside a word the next one starts after the blank", "cheaper now", 1, 8},
      {"punctuation separates", "a,b", 0, 2},
      {"digits, % and $ start words", "x 9 ", 1, 2},
      {"$ after a separator starts a word", "x $5", 0, 2},
      {"no word after q", "abc   ", 1, -1},
      {"hiragana starts a word at q", Sjis("あい"), 0, 0},
      {"so does every kanji in a run", Sjis("出会い"), 2, 2},
      {"full-width digits and letters start words", Sjis("１Ａ"), 0, 0},
      {"a double-byte symbol is a separator", Sjis("・") + "ab", 0, 2},
      {"double-byte characters are stepped as two bytes", Sjis("、") + "a",
       1,  // from the trail byte 0x41 'A': no separator yet, then 'a'
       -1},
      {"after a kanji a letter needs a separator", Sjis("無料") + "viagra", 4, -1},
      {"a half-width katakana starts a word", Sjis("ｴｯﾁ"), 1, 1},
      {"and is one byte: the kanji behind an odd run starts at its lead byte",
       "a " + Sjis("ｽﾏﾎ動画"), 5, 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NextWordStart(c.text.c_str(), c.q), c.expected) << c.why;
  }
}

TEST(WordStartTest, SentenceEnd) {
  struct Case {
    std::string text;
    int32_t p;
    int32_t expected;
  };
  const Case cases[] = {
      {"no end here", 0, -1},
      {"one. two?", 0, 3},
      {"one. two?", 4, 8},
      {Sjis("です。"), 0, 4},
      {Sjis("１．２"), 0, 2},
      {Sjis("何？"), 0, 2},
      {"x" + Sjis("！"), 0, -1},
      // Every byte offset is checked: 0x81 0x42 across two characters counts.
      {"\x82\x81\x42", 0, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SentenceEnd(c.text.c_str(), c.p), c.expected) << platform::Cp932ToUtf8(c.text);
  }
}

TEST(CategoryTest, NamesAreCutOnCharacterBoundaries) {
  struct Case {
    std::string name;
    std::string expected;
  };
  const std::string kanji15 = Sjis("一二三四五六七八九十百千万億兆");
  const Case cases[] = {
      {Sjis("出会い系"), Sjis("出会い系")},
      {std::string(30, 'x'), std::string(30, 'x')},
      {std::string(31, 'x'), std::string(30, 'x')},
      {kanji15 + Sjis("京"), kanji15},               // 32 bytes: 30 kept
      {"a" + kanji15, "a" + kanji15.substr(0, 28)},  // the 15th kanji would end at 31
  };
  for (const Case& c : cases) {
    char category[kCategoryWorkSize];
    std::memset(category, '#', sizeof(category));
    CopyCategory(c.name.c_str(), category);
    EXPECT_EQ(std::string(category), c.expected) << platform::Cp932ToUtf8(c.name);
  }
}

// ---------------------------------------------------------------------------
// The scan.

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFlatThreshold(state_, 1000000); }
  // The dictionary score D of the only dictionary (no recipients, no Subject).
  int64_t Score(const std::string& body, int32_t language) {
    const Outcome outcome = Analyse(state_, body, language);
    EXPECT_EQ(outcome.details.scored, 1);
    return outcome.details.scores[0];
  }
  ScoringState state_;
};

TEST_F(ScanTest, EnglishWordsMatchOnlyAtWordStarts) {
  DictionaryContents contents;
  contents.language = kLanguageEnglish;
  contents.entries = {{"aper", 1, {}, {}}};
  AddDictionary(state_, contents);
  struct Case {
    const char* text;
    int64_t expected;
  };
  const Case cases[] = {
      {"the scraper works", 0},  // the last four letters of a longer word
      {"an aper here", 1},
      {"aper at the start", 1},
      {"see (aper) and APER and x-aper", 3},  // the English copy is lower case
      {"aperaper", 1},  // a match moves on to the next word start
  };
  for (const Case& c : cases) EXPECT_EQ(Score(c.text, kLanguageEnglish), c.expected) << c.text;
}

TEST_F(ScanTest, JapaneseWordsMatchAnywhereInAKanaOrKanjiRun) {
  DictionaryContents contents;
  contents.entries = {{Sjis("出会い"), 1, {}, {}}, {Sjis("副業"), 100, {}, {}}};
  AddDictionary(state_, contents);
  struct Case {
    std::string text;
    int64_t expected;
  };
  const Case cases[] = {
      {Sjis("素敵な出会いを探す"), 1},
      {Sjis("運命出会い"), 1},
      {Sjis("出会い出会いで副業"), 102},
      {Sjis("であい"), 0},
      // Line breaks vanish from the Japanese copy, so a word broken over
      // two lines still matches.
      {Sjis("出会") + "\r\n" + Sjis("い"), 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Score(c.text, kLanguageJapanese), c.expected) << platform::Cp932ToUtf8(c.text);
  }
}

TEST_F(ScanTest, HalfWidthKatakanaKeepTheTextInStep) {
  DictionaryContents contents;
  contents.companion_name = "c";
  contents.entries = {{Sjis("エッチ動画"), 10, {Sjis("ｴｯﾁ動画")}, {}}, {Sjis("見れる"), 1, {}, {}}};
  AddDictionary(state_, contents);
  struct Case {
    std::string text;
    int64_t expected;
  };
  const Case cases[] = {
      {Sjis("ｽﾏﾎでｻｸｻｸ見れるｴｯﾁ動画"), 11},
      {Sjis("ﾎ見れる"), 1},    // one half-width character before a kanji
      {Sjis("ｽﾏﾎ見れる"), 1},  // an odd run of them
      {Sjis("今すぐｴｯﾁ動画を"), 10},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Score(c.text, kLanguageJapanese), c.expected) << platform::Cp932ToUtf8(c.text);
  }
}

TEST_F(ScanTest, CompanionFormsMatchForTheirEntry) {
  DictionaryContents contents;
  contents.language = kLanguageEnglish;
  contents.companion_name = "c";
  contents.entries = {{"viagra", 10, {"v1agra", "vi@gra"}, {}}, {"cialis", 3, {}, {}}};
  AddDictionary(state_, contents);
  EXPECT_EQ(Score("cheap v1agra, vi@gra and viagra", kLanguageEnglish), 30);
  EXPECT_EQ(Score("cheap v1agr", kLanguageEnglish), 0);
}

TEST_F(ScanTest, FollowUpWordsCountAAndBeforeASentenceEndAlsoB) {
  DictionaryContents contents;
  contents.companion_name = "c";
  contents.entries = {
      {Sjis("副業"), 10, {}, {{2, 3, 100}}},
      {Sjis("稼げる"), 0, {Sjis("かせげる")}, {}},
  };
  AddDictionary(state_, contents);
  struct Case {
    const char* why;
    std::string text;
    int64_t expected;
  };
  const Case cases[] = {
      {"follow-up in the same sentence: A and B", Sjis("副業で簡単に稼げる。"), 10 + 3 + 100},
      {"no sentence end at all: A only", Sjis("副業で簡単に稼げる"), 10 + 3},
      {"follow-up after 。: A only", Sjis("副業です。簡単に稼げる"), 10 + 3},
      {"after a full stop: A only", Sjis("副業で") + ". " + Sjis("稼げる"), 10 + 3},
      {"found through a form of the related entry", Sjis("副業でかせげる。"), 10 + 3 + 100},
      {"a follow-up before the word does not count", Sjis("稼げる副業"), 10},
      {"each hit searches again", Sjis("副業と副業で稼げる。"), 2 * (10 + 3 + 100)},
      {"no follow-up", Sjis("副業です"), 10},
  };
  for (const Case& c : cases) EXPECT_EQ(Score(c.text, kLanguageJapanese), c.expected) << c.why;
}

TEST_F(ScanTest, TheFirstMatchingEntryWinsAndOnlyTheBodyIsScanned) {
  DictionaryContents contents;
  contents.language = kLanguageEnglish;
  contents.entries = {{"free", 1, {}, {}}, {"free money", 50, {}, {}}, {"", 1000, {}, {}}};
  AddDictionary(state_, contents);
  EXPECT_EQ(Score("free money", kLanguageEnglish), 1) << "entry order decides, not length";
  const Outcome outcome = Analyse(state_, "hello", kLanguageEnglish, "free free free");
  EXPECT_EQ(outcome.details.scores[0], 0) << "the rest after the body's NUL is not scanned";
  EXPECT_EQ(outcome.details.length, 20) << "but it counts in L";
}

TEST_F(ScanTest, PrefilterOnlySkipsPositionsThatCannotMatch) {
  DictionaryContents contents;
  contents.companion_name = "c";
  contents.entries = {{Sjis("出会い"), 7, {Sjis("であい")}, {{2, 5, 11}}},
                      {Sjis("無料"), 3, {}, {}},
                      {"abc", 2, {}, {}}};
  AddDictionary(state_, contents);
  const std::string text = Sjis("完全無料の出会い。であいで無料！abc出会い無料");
  const int64_t with = Score(text, kLanguageJapanese);
  state_.dictionaries.use_prefilter = false;
  EXPECT_EQ(Score(text, kLanguageJapanese), with);
  EXPECT_GT(with, 0);
}

// ---------------------------------------------------------------------------
// Which dictionary decides.

TEST(AnalyseTextTest, TheFirstDictionaryInLoadOrderOverTheThresholdGivesTheCategory) {
  test::TempPrefix prefix;
  DictionaryContents money;
  money.category = Sjis("副業・金融");
  money.entries = {{Sjis("副業"), 50, {}, {}}};
  DictionaryContents dating = money;
  dating.category = Sjis("出会い系");
  // Written in the other order: the file names decide.
  test::WriteDictionary(prefix.InstallRootHost(), "20money", money);
  test::WriteDictionary(prefix.InstallRootHost(), "10dating", dating);
  ScoringState state;
  LoadMethodDictionaries(state.dictionaries, nullptr, MethodFolder());
  ASSERT_EQ(state.dictionaries.count, 2);
  SetFlatThreshold(state, 49);

  Outcome outcome = Analyse(state, Sjis("副業の案内"), kLanguageJapanese);
  EXPECT_EQ(outcome.verdict, TextVerdict::kUnwanted);
  EXPECT_EQ(outcome.category, Sjis("出会い系"));
  EXPECT_EQ(outcome.details.scored, 1) << "the scan stops at the first one over T";

  SetFlatThreshold(state, 50);  // the score must be greater than T
  outcome = Analyse(state, Sjis("副業の案内"), kLanguageJapanese);
  EXPECT_EQ(outcome.verdict, TextVerdict::kNotUnwanted);
  EXPECT_EQ(outcome.category, "untouched");
  EXPECT_EQ(outcome.details.scored, 2);
}

TEST(AnalyseTextTest, OnlyDictionariesOfTheMessagesLanguageAreUsed) {
  ScoringState state;
  DictionaryContents english;
  english.category = "English";
  english.language = kLanguageEnglish;
  english.entries = {{"viagra", 100, {}, {}}};
  AddDictionary(state, english);
  SetFlatThreshold(state, 0);
  state.tables.subject[kLanguageJapanese].present = true;
  state.tables.subject[kLanguageJapanese].upper = 30000;
  state.tables.subject[kLanguageJapanese].keywords = {{"viagra", 100}};

  Outcome outcome = Analyse(state, "viagra viagra", kLanguageJapanese, "", 5, "viagra");
  EXPECT_EQ(outcome.verdict, TextVerdict::kNotUnwanted)
      << "no Japanese dictionary: not unwanted, whatever S and R are";
  EXPECT_EQ(outcome.details.scored, 0);

  outcome = Analyse(state, "viagra", kLanguageEnglish);
  EXPECT_EQ(outcome.verdict, TextVerdict::kUnwanted);
  EXPECT_EQ(outcome.category, "English");
}

TEST(AnalyseTextTest, ScoreAddsSubjectAndRecipientScoresWithLengthFromTheCopiedText) {
  ScoringState state;
  DictionaryContents contents;
  contents.language = kLanguageEnglish;
  contents.entries = {{"offer", 7, {}, {}}};
  AddDictionary(state, contents);
  state.tables.thresholds[2] = 1000;  // base
  state.tables.thresholds[3] = 50;    // slope per 100 bytes
  state.tables.thresholds[6] = 30000;
  state.tables.subject[kLanguageEnglish] = SubjectTable{true, true, 100, 300, {{"win", 50}}};

  // Each line break folds into one blank; the body's NUL and the rest after
  // it count in L as well.
  const std::string body = "offer\r\n" + std::string(145, 'x') + "\r\n";
  const Outcome outcome = Analyse(state, body, kLanguageEnglish, std::string(49, 'y'), 5, "WIN!");
  EXPECT_EQ(outcome.details.length, 5 + 1 + 145 + 1 + 1 + 49);
  const int32_t length = outcome.details.length;
  EXPECT_EQ(outcome.details.subject_score, (300 - length) * 50 / 200);
  EXPECT_EQ(outcome.details.recipient_score, 125);
  EXPECT_EQ(outcome.details.threshold, 1000 + length * 50 / 100);
  EXPECT_EQ(outcome.details.scores[0], 7 + 125 + (300 - length) * 50 / 200);
}

TEST(AnalyseTextTest, HugeWeightsAndRecipientCountsDoNotWrapRound) {
  ScoringState state;
  DictionaryContents contents;
  contents.language = kLanguageEnglish;
  contents.entries = {{"jackpot", INT32_MAX, {}, {}}};
  AddDictionary(state, contents);
  SetFlatThreshold(state, INT32_MAX - 1);
  // Two hits: 2 * (2^31 - 1) would be -2 in 32 bits and keep the message.
  EXPECT_EQ(Analyse(state, "jackpot jackpot", kLanguageEnglish).verdict, TextVerdict::kUnwanted);
  // 2000 recipients: R = 8 * 10^9, far beyond T, not a wrapped value.
  const Outcome outcome = Analyse(state, "hello", kLanguageEnglish, "", 2000);
  EXPECT_EQ(outcome.details.recipient_score, 8000000000LL);
  EXPECT_EQ(outcome.verdict, TextVerdict::kUnwanted);
}

TEST(AnalyseTextTest, BufferIsReusedAndCanBeReleased) {
  ScoringState state;
  SetFlatThreshold(state, 0);
  Analyse(state, "one", kLanguageJapanese);
  const char* first = state.buffer.bytes.get();
  ASSERT_NE(first, nullptr);
  Analyse(state, "two", kLanguageJapanese);
  EXPECT_EQ(state.buffer.bytes.get(), first);
  ReleaseAnalysisBuffer(state.buffer);
  EXPECT_EQ(state.buffer.bytes, nullptr);
  EXPECT_EQ(Analyse(state, "three", kLanguageJapanese).verdict, TextVerdict::kNotUnwanted);
}

}  // namespace
}  // namespace zvrx
