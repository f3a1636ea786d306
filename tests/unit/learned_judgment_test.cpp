// The learned judgment: a small model of our own written into a prefix with
// small dictionaries, and messages judged through the check's own steps
// (TOP text, ParseTop, JudgeMail). The layer deletes above the threshold of
// the message's language and strictness, names the closest dictionary's
// category, overrules a dictionary only below the veto, is off for a
// damaged or missing model, and with the option off judges as the written
// system does. Model files that are not sound are refused; zvrx_learn gives
// the same bytes for the same corpus and never reads a check row.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/judgment.h"
#include "checker/analysis/learned_judgment.h"
#include "checker/analysis/parse_top.h"
#include "checker/core/message_file.h"
#include "platform/cp932.h"
#include "shared/records.h"
#include "tests/support/dictionary_builder.h"
#include "tests/support/process_runner.h"
#include "tests/support/sjis.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;
using test::WriteHostFile;

using test::Sjis;

// The three tokens every message has: its number of links (0 to 3 or
// more), where they lead, and how far the dictionaries came (`evidence`).
// "http" without "://" counts as a link but leads nowhere.
std::vector<uint64_t> FixedTokens(int links, int64_t evidence, int32_t language) {
  std::string text;
  for (int k = 0; k < links; ++k) text += "http ";
  std::vector<uint64_t> tokens;
  LearnedTokens(text.c_str(), MailRecord{}, language, evidence, tokens);
  EXPECT_EQ(tokens.size(), 3u) << links << " " << evidence;
  return tokens;
}

// The token of `tokens` that `other` lacks.
uint64_t OnlyIn(const std::vector<uint64_t>& tokens, const std::vector<uint64_t>& other) {
  for (uint64_t t : tokens) {
    if (std::find(other.begin(), other.end(), t) == other.end()) return t;
  }
  return 0;
}

// The dictionaries' token: the one a text of another step lacks.
uint64_t EvidenceToken(int64_t evidence, int32_t language) {
  const int64_t other_step = evidence / 1000 == 0 ? 1000 : 0;
  return OnlyIn(FixedTokens(0, evidence, language), FixedTokens(0, other_step, language));
}

uint64_t LinkCountToken(int links, int32_t language) {
  return OnlyIn(FixedTokens(links, 0, language), FixedTokens(links == 0 ? 1 : 0, 0, language));
}

// The link-count tokens (0 to 3) and the dictionaries' step-0 token.
std::vector<uint64_t> CountAndEvidenceTokens(int32_t language) {
  std::vector<uint64_t> tokens = {EvidenceToken(0, language)};
  for (int links = 0; links <= 3; ++links) tokens.push_back(LinkCountToken(links, language));
  return tokens;
}

// `tokens` without those in `drop`.
void EraseAll(std::vector<uint64_t>& tokens, const std::vector<uint64_t>& drop) {
  std::erase_if(tokens, [&drop](uint64_t t) {
    return std::find(drop.begin(), drop.end(), t) != drop.end();
  });
}

// The token for where the links of `text` lead, seen from the address
// `from`; neither may give a word.
uint64_t LinkHostsToken(const char* text, const char* from, int32_t language) {
  MailRecord record{};
  std::strncpy(record.from, from, kMailFieldSize - 1);
  std::vector<uint64_t> tokens;
  LearnedTokens(text, record, language, 0, tokens);
  EraseAll(tokens, CountAndEvidenceTokens(language));
  EXPECT_EQ(tokens.size(), 1u) << text << " " << from;
  return tokens.empty() ? 0 : tokens[0];
}

// The four link-host tokens: no link to a host, all links to the sender's
// own names, none, some.
std::vector<uint64_t> AllLinkHostsTokens(int32_t language) {
  return {LinkHostsToken("", "", language),
          LinkHostsToken("http://a.example/", "x@a.example", language),
          LinkHostsToken("http://a.example/", "x@b.example", language),
          LinkHostsToken("http://a.example/ http://b.example/", "x@a.example", language)};
}

// The tokens of a message but the three every message has.
std::vector<uint64_t> WordTokens(const std::string& cp932, const MailRecord& record,
                                 int32_t language) {
  std::vector<uint64_t> tokens;
  LearnedTokens(cp932.c_str(), record, language, 0, tokens);
  EraseAll(tokens, CountAndEvidenceTokens(language));
  EraseAll(tokens, AllLinkHostsTokens(language));
  return tokens;
}

// The one token a short text gives in the language's class.
uint64_t TokenOf(const std::string& cp932, int32_t language) {
  const std::vector<uint64_t> tokens = WordTokens(cp932, MailRecord{}, language);
  EXPECT_EQ(tokens.size(), 1u) << cp932;
  return tokens.empty() ? 0 : tokens[0];
}

// jackpot +800, winner +500, meeting -900 (English); the bigram 当選 +400
// (Japanese). Standard thresholds: 1000 for English, 300 for Japanese.
LearnedModel SmallModel() {
  LearnedModel model;
  std::vector<std::pair<uint64_t, int16_t>> table = {
      {TokenOf("jackpot", 1), 800},
      {TokenOf("winner", 1), 500},
      {TokenOf("meeting", 1), -900},
      {TokenOf(Sjis("当選"), 0), 400},
  };
  std::sort(table.begin(), table.end());
  for (const auto& [hash, weight] : table) {
    model.hashes.push_back(hash);
    model.weights.push_back(weight);
  }
  model.unwanted_learned = 3;
  model.legitimate_learned = 2;
  const int32_t thresholds[2][3] = {{600, 300, 100}, {1500, 1000, 600}};
  std::memcpy(model.thresholds, thresholds, sizeof thresholds);
  model.loaded = true;
  return model;
}

std::string EnglishMail(const std::string& subject, const std::string& text) {
  return "From: Someone <someone@example.com>\r\nSubject: " + subject +
         "\r\nTo: me@example.jp\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n" + text +
         "\r\n";
}

std::string JapaneseMail(const std::string& text) {
  return "From: someone@example.jp\r\nSubject: " + Sjis("お知らせ") +
         "\r\nTo: me@example.jp\r\nContent-Type: text/plain; charset=Shift_JIS\r\n\r\n" +
         Sjis(text.c_str()) + "\r\n";
}

class LearnedJudgmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // "pills" scores, far below any threshold: a dictionary that saw a
    // little of the message and names the category the layer gives it.
    test::DictionaryContents ja{"ja-spam", kLanguageJapanese, true, "",
                                {{Sjis("副業"), 100, {}, {}}}};
    test::DictionaryContents en{"en-spam", kLanguageEnglish, true, "",
                                {{"viagra", 100, {}, {}}, {"pills", 10, {}, {}}}};
    test::WriteDictionary(prefix_.InstallRootHost(), "1ja", ja);
    test::WriteDictionary(prefix_.InstallRootHost(), "2en", en);
    test::WriteJudgmentFiles(prefix_.DataFolderHost(), {50, 0, 50, 0, 50, 0, 20000, 0},
                             "anon-mailer@\r\n");
  }

  std::string ModelPath() const { return prefix_.DataFolderHost() + "/" + kLearnedModelName; }

  void WriteModel(const LearnedModel& model) {
    const std::vector<uint8_t> bytes = SerializeLearnedModel(model);
    WriteHostFile(ModelPath(), std::string(bytes.begin(), bytes.end()));
  }

  void Load(AnalysisState& state, int16_t strictness, bool learned) {
    JudgmentSettings judgment{};
    judgment.strictness = strictness;
    LoadAnalysisState(state, &judgment);
    ASSERT_EQ(state.scoring.dictionaries.count, 2);
    state.modern_mail = true;
    state.learned_judgment = learned;
  }

  JudgmentResult Judge(AnalysisState& state, const std::string& raw) {
    BodyBuffer body;
    MessageFileToTopText(raw, body);
    MailRecord record{};
    ParseTop(body.data(), body.text_length, record, converter_, state.modern_mail,
             state.european);
    JudgmentResult result;
    JudgeMail(state, kLevelComprehensive, record, body.data(), body.text_length,
              JudgmentEffects{}, &result);
    state.duplicates = DuplicateMemory{};
    return result;
  }

  test::TempPrefix prefix_;
  ShiftJisConverter converter_;
};

// Mail no dictionary deletes: the layer decides by its score against the
// threshold of the language and strictness. A word counts once however
// often it stands; a score equal to the threshold keeps.
TEST_F(LearnedJudgmentTest, DeletesAboveTheThresholdOfLanguageAndStrictness) {
  WriteModel(SmallModel());
  struct Row {
    const char* what;
    std::string mail;
    int64_t score;
    const char* category[3];  // by strictness -1, 0, 1; "" kept
  };
  const Row rows[] = {
      {"two signs", EnglishMail("Hello", "Jackpot! You are our WINNER."), 1300,
       {"", kCategoryLearned, kCategoryLearned}},
      {"one sign", EnglishMail("Hello", "A jackpot for you."), 800, {"", "", kCategoryLearned}},
      {"a word twice counts once", EnglishMail("jackpot", "jackpot jackpot jackpot"), 800,
       {"", "", kCategoryLearned}},
      {"legitimate words weigh against", EnglishMail("Jackpot", "The winner of the meeting."),
       400, {"", "", ""}},
      {"nothing known", EnglishMail("Lunch", "See you at noon."), 0, {"", "", ""}},
      {"the closest dictionary names it", EnglishMail("Jackpot", "Winner of free pills"), 1300,
       {"", "en-spam", "en-spam"}},
      {"Japanese has its own threshold", JapaneseMail("抽選の結果、当選しました"), 400,
       {"", kCategoryLearned, kCategoryLearned}},
  };
  for (int16_t strictness : {int16_t{-1}, int16_t{0}, int16_t{1}}) {
    AnalysisState state;
    Load(state, strictness, true);
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.what) + ", strictness " + std::to_string(strictness));
      const JudgmentResult result = Judge(state, row.mail);
      ASSERT_TRUE(result.analysed);
      ASSERT_TRUE(result.learned.scored);
      EXPECT_EQ(result.learned.score, row.score);
      const std::string expected = row.category[strictness + 1];
      EXPECT_EQ(result.verdict, expected.empty() ? kVerdictKeep : kVerdictDelete);
      EXPECT_EQ(std::string(result.category), expected);
      EXPECT_EQ(result.learned.deleted, !expected.empty());
    }
  }
}

// A header that does not end within what was read stays the text, as the
// written judgment reads it; the layer, which learned from bodies only,
// leaves such a message to the dictionaries.
TEST_F(LearnedJudgmentTest, AHeaderReadAsTheTextIsLeftToTheDictionaries) {
  WriteModel(SmallModel());
  AnalysisState state;
  Load(state, 1, true);
  const std::string words = "Jackpot! You are our WINNER.\r\n";
  const std::string headers[] = {
      "Received: from relay.example by mx.example\r\n",
      "Return-Path: <desk@prize.example>\r\n",
      "X-Scan-Report: rrrr\r\n",
  };
  for (const std::string& first : headers) {
    SCOPED_TRACE(first);
    const JudgmentResult result =
        Judge(state, first + "From: Desk <desk@prize.example>\r\nSubject: Hello\r\n"
                             "Content-Type: text/plain; charset=us-ascii\r\nX-Note: " + words);
    ASSERT_TRUE(result.analysed);
    EXPECT_FALSE(result.learned.scored);
    EXPECT_EQ(result.verdict, kVerdictKeep);
  }
  // The same words as a body are the layer's.
  EXPECT_EQ(Judge(state, EnglishMail("Hello", words)).verdict, kVerdictDelete);
}

// A dictionary verdict stands unless the model has a veto and the text
// scores below it; without a veto the layer never keeps what the
// dictionaries delete.
TEST_F(LearnedJudgmentTest, VetoOverrulesADictionaryOnlyBelowIt) {
  const std::string strongly_legitimate = EnglishMail("Notes", "viagra came up at the meeting");
  const std::string plain = EnglishMail("Notes", "viagra came up");
  LearnedModel model = SmallModel();
  WriteModel(model);
  {
    AnalysisState state;
    Load(state, 0, true);
    const JudgmentResult result = Judge(state, strongly_legitimate);
    EXPECT_EQ(result.verdict, kVerdictDelete) << "no veto in the model";
    EXPECT_STREQ(result.category, "en-spam");
    EXPECT_FALSE(result.learned.vetoed);
  }
  model.veto = -500;
  WriteModel(model);
  AnalysisState state;
  Load(state, 0, true);
  JudgmentResult result = Judge(state, strongly_legitimate);
  EXPECT_EQ(result.learned.score, -900);
  EXPECT_EQ(result.verdict, kVerdictKeep);
  EXPECT_STREQ(result.category, "");
  EXPECT_TRUE(result.learned.vetoed);
  result = Judge(state, plain);
  EXPECT_EQ(result.verdict, kVerdictDelete) << "score 0 is not below the veto";
  EXPECT_STREQ(result.category, "en-spam");
}

// With the option off, or with no model, every verdict, category and score
// is the written judgment's, whatever the model would say.
TEST_F(LearnedJudgmentTest, OffOrWithoutAModelJudgesAsWritten) {
  const std::string mails[] = {
      EnglishMail("Hello", "Jackpot! You are our WINNER."),
      EnglishMail("Notes", "viagra came up at the meeting"),
      EnglishMail("Jackpot", "Winner of free pills"),
      JapaneseMail("抽選の結果、当選しました"),
      JapaneseMail("副業で当選"),
  };
  std::vector<JudgmentResult> written;
  {
    AnalysisState state;  // no model file: the written judgment
    Load(state, 0, false);
    for (const std::string& mail : mails) written.push_back(Judge(state, mail));
  }
  LearnedModel model = SmallModel();
  model.veto = -500;
  WriteModel(model);
  AnalysisState off;
  Load(off, 0, false);
  ASSERT_TRUE(off.learned.loaded);
  fs::remove(ModelPath());
  AnalysisState missing;
  Load(missing, 0, true);
  EXPECT_FALSE(missing.learned.loaded);
  EXPECT_TRUE(DataProblemLines(missing).empty()) << "an installation without the model";
  for (AnalysisState* state : {&off, &missing}) {
    for (size_t k = 0; k < std::size(mails); ++k) {
      SCOPED_TRACE(k);
      const JudgmentResult result = Judge(*state, mails[k]);
      EXPECT_EQ(result.verdict, written[k].verdict);
      EXPECT_EQ(std::memcmp(result.category, written[k].category, sizeof result.category), 0);
      EXPECT_EQ(std::memcmp(result.details.scores, written[k].details.scores,
                            sizeof result.details.scores), 0);
      EXPECT_FALSE(result.learned.scored);
    }
  }
}

// With every dictionary of a language switched off, the layer leaves that
// language's mail alone too; the other language is judged as before.
TEST_F(LearnedJudgmentTest, NothingJudgesALanguageWhoseDictionariesAreAllOff) {
  WriteModel(SmallModel());
  JudgmentSettings judgment{};
  std::strcpy(judgment.disabled_dictionaries[0], "2en");
  AnalysisState state;
  LoadAnalysisState(state, &judgment);
  ASSERT_EQ(state.scoring.dictionaries.count, 1);
  state.modern_mail = true;
  state.learned_judgment = true;
  JudgmentResult result = Judge(state, EnglishMail("Hello", "Jackpot! You are our WINNER."));
  EXPECT_EQ(result.verdict, kVerdictKeep);
  EXPECT_FALSE(result.learned.scored);
  result = Judge(state, JapaneseMail("抽選の結果、当選しました"));
  EXPECT_EQ(result.verdict, kVerdictDelete);
  EXPECT_STREQ(result.category, kCategoryLearned);
}

// Damaged model files are refused with a reason, reported once among the
// data problems, and leave the judgment as written.
TEST_F(LearnedJudgmentTest, RefusesDamagedModelFiles) {
  LearnedModel small = SmallModel();
  small.margin_bias = -120;
  small.margin_weight = 3000;
  small.margin_weights = {7, -8, 9, -10};
  const std::vector<uint8_t> sound = SerializeLearnedModel(small);
  LearnedModel parsed;
  ASSERT_EQ(ParseLearnedModel(sound, parsed), "");
  EXPECT_EQ(parsed.hashes, small.hashes);
  EXPECT_EQ(parsed.weights, small.weights);
  EXPECT_EQ(parsed.margin_weights, small.margin_weights);
  EXPECT_EQ(parsed.margin_bias, -120);
  EXPECT_EQ(parsed.margin_weight, 3000u);
  EXPECT_EQ(parsed.thresholds[1][1], 1000);

  // Rewrites the checksum, so that only the damage named is left.
  auto resealed = [](std::vector<uint8_t> bytes) {
    uint32_t h = 2166136261u;
    for (size_t k = 0; k + 4 < bytes.size(); ++k) h = (h ^ bytes[k]) * 16777619u;
    for (int k = 0; k < 4; ++k) bytes[bytes.size() - 4 + k] = static_cast<uint8_t>(h >> (8 * k));
    return bytes;
  };
  auto with = [&](size_t at, std::vector<uint8_t> value, bool reseal = true) {
    std::vector<uint8_t> bytes = sound;
    std::copy(value.begin(), value.end(), bytes.begin() + static_cast<long>(at));
    return reseal ? resealed(bytes) : bytes;
  };
  const size_t first_token = kLearnedHeaderBytes;
  std::vector<uint8_t> swapped = sound;  // two tokens out of order
  std::swap_ranges(swapped.begin() + first_token,
                   swapped.begin() + first_token + kLearnedTokenBytes,
                   swapped.begin() + first_token + kLearnedTokenBytes);
  std::vector<uint8_t> twice = sound;  // one hash twice
  std::copy(twice.begin() + first_token, twice.begin() + first_token + 8,
            twice.begin() + first_token + kLearnedTokenBytes);
  struct Row {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* reason;
  };
  const Row rows[] = {
      {"empty", {}, "damaged (too short)"},
      {"header only", std::vector<uint8_t>(sound.begin(), sound.begin() + 40), "damaged (too short)"},
      {"another file", with(0, {'M', 'Z'}), "damaged (not a learned model)"},
      {"a later version", with(8, {5, 0}), "damaged (unknown version)"},
      {"a model without the margin (version 3)", with(8, {3, 0}), "damaged (unknown version)"},
      {"a model of pairs alone (version 1)", with(8, {1, 0}), "damaged (unknown version)"},
      {"a model without Subject and link tokens (version 2)", with(8, {2, 0}),
       "damaged (unknown version)"},
      {"another header size", with(10, {64, 0}), "damaged (bad header)"},
      {"reserved bytes set", with(56, {1}), "damaged (bad header)"},
      {"a margin weight no learner chooses", with(64, {0xff, 0xff, 0xff, 0x7f}),
       "damaged (bad margin)"},
      {"a margin bias no learner chooses", with(60, {0, 0, 0, 0x80}), "damaged (bad margin)"},
      {"a huge count", with(12, {0xff, 0xff, 0xff, 0xff}), "damaged (bad token count)"},
      {"count one more", with(12, {5}), "damaged (wrong size)"},
      {"cut short", resealed(std::vector<uint8_t>(sound.begin(), sound.end() - 10)),
       "damaged (wrong size)"},
      {"a byte changed", with(first_token + 8, {0x7f}, false), "damaged (checksum)"},
      {"tokens out of order", resealed(swapped), "damaged (tokens out of order)"},
      {"a token twice", resealed(twice), "damaged (tokens out of order)"},
      {"strict above standard", with(24 + 12 + 8, {0xff, 0xff, 0, 0}),
       "damaged (thresholds out of order)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    LearnedModel model = SmallModel();
    EXPECT_EQ(ParseLearnedModel(row.bytes, model), row.reason);
    EXPECT_FALSE(model.loaded);
    EXPECT_TRUE(model.hashes.empty());
  }

  WriteHostFile(ModelPath(), std::string(sound.begin(), sound.end() - 1));
  AnalysisState state;
  Load(state, 0, true);
  EXPECT_FALSE(state.learned.loaded);
  const std::vector<std::string> lines = DataProblemLines(state);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], std::string(kLearnedModelName) + " damaged (wrong size)");
  const JudgmentResult result = Judge(state, EnglishMail("Hello", "Jackpot! You are our WINNER."));
  EXPECT_EQ(result.verdict, kVerdictKeep);
  EXPECT_FALSE(result.learned.scored);
}

// What the tokens are made of: Japanese pairs and triples of characters
// over kana, kanji and half-width katakana runs (folded to full width;
// full-width letters and digits are folded to ASCII),
// lowered ASCII words with a letter and the pairs of words in a row, the
// From display name but not its address, and none of the labels made-up
// addresses are written with. A trail byte is never read as a letter.
TEST(LearnedTokensTest, TokensOfTheAnalysisTextSubjectAndFrom) {
  struct Row {
    const char* what;
    std::string text;
    std::string subject;
    std::string from;
    int32_t language;
    std::vector<std::string> same_tokens_as;  // texts of the same class
  };
  const Row rows[] = {
      {"pairs and triples", Sjis("当選金額"), "", "", 0, {Sjis("当選金"), Sjis("選金額")}},
      {"half-width katakana is the full-width word", Sjis("ｶｼﾞﾉﾎﾟｲﾝﾄ"), "", "", 0,
       {Sjis("カジノポイント")}},
      {"full-width letters and digits are ASCII", Sjis("ＦＲＥＥ５０ｐｔ"), "", "", 0,
       {"FREE50pt"}},
      {"a symbol ends a run", Sjis("当選！金額"), "", "", 0, {Sjis("当選"), Sjis("金額")}},
      {"trail bytes that look like letters", Sjis("アイ"), "", "", 1, {}},
      {"English words lowered, with the pairs they stand in", "FREE Money, free!", "", "", 1,
       {"free money", "money free"}},
      {"a number or a Japanese character breaks a pair", "free 2026 money" + Sjis("当選") + "now",
       "", "", 0, {"free", "money", "now", Sjis("当選")}},
      {"words in Japanese mail", Sjis("Bitcoinで"), "", "", 0, {"bitcoin"}},
      {"numbers, one letter and long words", "2026 a " + std::string(21, 'x'), "", "", 1, {}},
      {"address labels", "http://www.example.com/ invalid.test", "", "", 1, {}},
      {"the From name", "", "", "Lucky Desk <desk@prize.example>", 1, {"lucky desk"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MailRecord record{};
    std::strncpy(record.subject, row.subject.c_str(), kMailFieldSize - 1);
    std::strncpy(record.from, row.from.c_str(), kMailFieldSize - 1);
    const std::vector<uint64_t> tokens = WordTokens(row.text, record, row.language);
    std::vector<uint64_t> expected;
    for (const std::string& one : row.same_tokens_as) {
      const std::vector<uint64_t> some = WordTokens(one, MailRecord{}, row.language);
      expected.insert(expected.end(), some.begin(), some.end());
    }
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    EXPECT_EQ(tokens, expected);
  }
}

// A Subject's token counts twice, once as any token and once as the
// Subject's own; every message has one token for its number of links.
TEST(LearnedTokensTest, TheSubjectCountsTwiceAndTheLinksOnce) {
  MailRecord with_subject{};
  std::strcpy(with_subject.subject, "Prize");
  const std::vector<uint64_t> in_subject = WordTokens("", with_subject, 1);
  const std::vector<uint64_t> in_text = WordTokens("prize", MailRecord{}, 1);
  ASSERT_EQ(in_text.size(), 1u);
  ASSERT_EQ(in_subject.size(), 2u);
  EXPECT_TRUE(std::find(in_subject.begin(), in_subject.end(), in_text[0]) != in_subject.end());

  struct Row {
    const char* text;
    int links;
  };
  const Row rows[] = {
      {"no link at all", 0},
      {"see https://a.example/x", 1},
      {"http://a.example/ and HTTP://b.example/", 1},  // the scheme as senders write it
      {"http://a.example/ http://b.example/", 2},
      {"http http http http http", 3},  // three or more are one token
  };
  for (const Row& row : rows) {
    std::vector<uint64_t> tokens;
    LearnedTokens(row.text, MailRecord{}, 1, 0, tokens);
    EXPECT_TRUE(std::find(tokens.begin(), tokens.end(), LinkCountToken(row.links, 1)) !=
                tokens.end())
        << row.text;
  }
  EXPECT_NE(LinkCountToken(0, 1), LinkCountToken(1, 1));
  EXPECT_NE(LinkCountToken(2, 1), LinkCountToken(3, 1));
}

// Where the links lead, seen from the sender's domain: a notice links to
// its sender's own site, a lure elsewhere, sometimes behind the sender's
// name. The names every host has (www, mail, the top and second levels,
// made-up domains' labels) say nothing.
TEST(LearnedTokensTest, WhereTheLinksLeadIsOneToken) {
  const std::vector<uint64_t> kinds = AllLinkHostsTokens(1);
  const uint64_t none = kinds[0], own = kinds[1], elsewhere = kinds[2], some = kinds[3];
  std::vector<uint64_t> distinct = kinds;
  std::sort(distinct.begin(), distinct.end());
  EXPECT_EQ(std::unique(distinct.begin(), distinct.end()), distinct.end()) << "four kinds";
  const struct {
    const char* text;
    const char* from;
    uint64_t token;
  } rows[] = {
      {"no link", "info@shop-a.example.jp", none},
      {"log in at https://www.shop-a.example.jp/login", "\"Shop A\" <info@mail.shop-a.example.jp>",
       own},
      {"https://www.shop-a.example.jp/", "INFO@Shop-A.Example.JP", own},  // names in any case
      {"https://shop-a-secure.example/verify", "<info@shop-a.example.jp>", elsewhere},
      {"https://www.example.jp/", "info@mail.example.jp", elsewhere},  // only common names
      {"https://shop-a.example.jp/ https://tracker.example/x", "info@shop-a.example.jp", some},
      {"https://pay.example/", "a bare name, no address", elsewhere},
      {"https://shop-a.example.jp.verify.test/", "info@shop-a.example.jp", elsewhere},
      {"https://login.shop-a.example.jp/", "news@e.shop-a.example.jp", own},
      {"http-equiv and https:example", "info@shop-a.example.jp", none},  // no host
  };
  for (const auto& row : rows) {
    MailRecord record{};
    std::strncpy(record.from, row.from, kMailFieldSize - 1);
    std::vector<uint64_t> tokens;
    LearnedTokens(row.text, record, 1, 0, tokens);
    for (uint64_t kind : kinds) {
      const bool found = std::find(tokens.begin(), tokens.end(), kind) != tokens.end();
      EXPECT_EQ(found, kind == row.token) << row.text << " / " << row.from;
    }
  }
}

// How far the dictionaries came is one token in steps of 1000: below the
// first step (or nothing at all) is step 0, and from 9000 on all is one.
TEST(LearnedTokensTest, TheDictionariesEvidenceInSteps) {
  const struct {
    int64_t evidence;
    int64_t same_as;
  } rows[] = {{-500, 0}, {999, 0}, {1999, 1000}, {8999, 8000}, {9000, 9000}, {250000, 9000}};
  for (const auto& row : rows) {
    EXPECT_EQ(EvidenceToken(row.evidence, 0), EvidenceToken(row.same_as, 0)) << row.evidence;
  }
  std::vector<uint64_t> steps;
  for (int64_t k = 0; k <= 9; ++k) steps.push_back(EvidenceToken(k * 1000, 0));
  std::sort(steps.begin(), steps.end());
  EXPECT_EQ(std::unique(steps.begin(), steps.end()), steps.end()) << "ten distinct steps";
  EXPECT_EQ(std::find(steps.begin(), steps.end(), LinkCountToken(0, 0)), steps.end());
}

// The evidence is the highest score one dictionary of the message's
// language reached by its own words: the recipient and Subject scores,
// which every dictionary gets, are no sign of a kind.
TEST_F(LearnedJudgmentTest, EvidenceIsTheHighestOwnScoreOfTheLanguage) {
  AnalysisState state;
  Load(state, 0, false);
  ScoreDetails details{};
  details.recipient_score = 300;
  details.subject_score = 200;
  details.scores[0] = 2500;  // 1ja, Japanese
  details.scores[1] = 900;   // 2en, English
  int best = -2;
  EXPECT_EQ(DictionaryEvidence(state.scoring, details, kLanguageJapanese, &best), 2000);
  EXPECT_EQ(best, 0);
  EXPECT_EQ(DictionaryEvidence(state.scoring, details, kLanguageEnglish, &best), 400);
  EXPECT_EQ(best, 1);
  details.scores[1] = 500;  // the shared scores alone
  EXPECT_EQ(DictionaryEvidence(state.scoring, details, kLanguageEnglish, &best), 0);
  EXPECT_EQ(best, -1);
}

// Only the N strongest known tokens count when the model says so, by
// their size whatever their sign.
TEST(LearnedScoreTest, TheStrongestTokensWhenTheModelLimitsThem) {
  LearnedModel model = SmallModel();
  std::vector<uint64_t> tokens = {TokenOf("jackpot", 1), TokenOf("winner", 1),
                                  TokenOf("meeting", 1), TokenOf("unknown", 1)};
  std::sort(tokens.begin(), tokens.end());
  EXPECT_EQ(LearnedScore(model, tokens), 400);
  model.top_n = 1;
  EXPECT_EQ(LearnedScore(model, tokens), -900);
  model.top_n = 2;
  EXPECT_EQ(LearnedScore(model, tokens), -100);
}

// A lookup searches only the bucket of a token's top bits: a known token
// is found at either end of a bucket and of the table, and one next to a
// known token is not, with the index as without it.
TEST(LearnedScoreTest, EveryKnownTokenIsFoundThroughTheIndex) {
  std::vector<uint64_t> known = {0, (uint64_t{5} << 48) - 1, uint64_t{5} << 48,
                                 (uint64_t{5} << 48) + 1, UINT64_MAX};
  for (uint64_t k = 1; k < 5000; ++k) known.push_back(k * (UINT64_MAX / 5000));
  std::sort(known.begin(), known.end());
  known.erase(std::unique(known.begin(), known.end()), known.end());
  LearnedModel model;
  model.hashes = known;
  model.weights.assign(known.size(), 1);
  model.margin_weights.assign(known.size(), 0);

  std::vector<uint64_t> tokens;
  for (size_t k = 0; k < known.size(); k += 7) {
    if (known[k] > 0) tokens.push_back(known[k] - 1);
    tokens.push_back(known[k]);
    if (known[k] < UINT64_MAX) tokens.push_back(known[k] + 1);
  }
  tokens.push_back(UINT64_MAX);
  std::sort(tokens.begin(), tokens.end());
  tokens.erase(std::unique(tokens.begin(), tokens.end()), tokens.end());
  int64_t expected = 0;
  for (uint64_t t : tokens) expected += std::binary_search(known.begin(), known.end(), t);

  EXPECT_EQ(LearnedScore(model, tokens), expected);
  IndexLearnedModel(model);
  ASSERT_EQ(model.bucket_starts.back(), known.size());
  EXPECT_EQ(LearnedScore(model, tokens), expected);
}

// The margin adds its weight times bias + (the known tokens' margin
// weights) / sqrt(all the message's tokens): words the model never saw
// thin it out. Without a weight it adds nothing.
TEST(LearnedScoreTest, TheMarginBesideTheWordCounts) {
  LearnedModel model = SmallModel();
  model.margin_weights.assign(model.hashes.size(), 0);
  auto set_margin = [&](const std::string& word, int16_t thousandths) {
    const uint64_t token = TokenOf(word, 1);
    const auto at = std::lower_bound(model.hashes.begin(), model.hashes.end(), token);
    model.margin_weights[static_cast<size_t>(at - model.hashes.begin())] = thousandths;
  };
  set_margin("jackpot", 3000);
  set_margin("meeting", -1000);
  model.margin_bias = -500;
  model.margin_weight = 1000;
  struct Case {
    std::vector<std::string> words;
    int64_t score;
  };
  const Case cases[] = {
      // 800 + 1000 * (-0.5 + 3 / sqrt 1)
      {{"jackpot"}, 800 + 2500},
      // 800 - 900 + 1000 * (-0.5 + 2 / sqrt 2)
      {{"jackpot", "meeting"}, -100 + 914},
      // two unknown words: 800 + 1000 * (-0.5 + 3 / sqrt 4)
      {{"jackpot", "quokka", "zanzibar", "wombat"}, 800 + 1000},
      // nothing known: the bias alone
      {{"quokka"}, -500},
  };
  for (const Case& c : cases) {
    std::vector<uint64_t> tokens;
    for (const std::string& w : c.words) tokens.push_back(TokenOf(w, 1));
    std::sort(tokens.begin(), tokens.end());
    SCOPED_TRACE(c.words[0] + " and " + std::to_string(c.words.size() - 1) + " more");
    EXPECT_EQ(LearnedScore(model, tokens), c.score);
  }
  model.margin_weight = 0;
  std::vector<uint64_t> tokens = {TokenOf("jackpot", 1)};
  EXPECT_EQ(LearnedScore(model, tokens), 800);
}

// zvrx_learn on a small corpus of our own, in an installation with the
// delivered dictionaries: the same rows give the same bytes, a check row is
// never opened (its file does not even exist), and its words never reach
// the model. Unwanted mail the dictionaries delete counts for the words'
// rates but not for the separator, which learns from the rest.
TEST(LearnedTrainingTest, SameCorpusSameBytesAndNoCheckRow) {
  test::TempPrefix scratch;
  ASSERT_TRUE(scratch.InstallDeliveredData()) << "build the delivered data first";
  const std::string folder = scratch.path() + "/corpus";
  fs::create_directories(folder + "/utf8");
  auto mail = [](const std::string& subject, const std::string& text) {
    return "From: Sender <sender@example.com>\r\nSubject: " + subject +
           "\r\nTo: me@example.jp\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n" + text +
           "\r\n";
  };
  WriteHostFile(folder + "/s1.eml", mail("Jackpot", "Claim your jackpot prize today"));
  WriteHostFile(folder + "/s2.eml", mail("Winner", "You are the lucky winner of our prize"));
  WriteHostFile(folder + "/h1.eml", mail("Minutes", "Minutes of the meeting are attached"));
  WriteHostFile(folder + "/utf8/h1.eml", mail("Minutes", "Minutes of the meeting, attached"));
  WriteHostFile(folder + "/h2.eml", mail("Lunch", "Lunch after the meeting on Friday"));
  WriteHostFile(folder + "/s3.eml",
                mail("Your account is suspended",
                     "Your account has been suspended due to unusual activity. Verify your "
                     "account within 24 hours or it will be permanently closed. Click here to "
                     "confirm your identity and update your billing information. Enter your "
                     "password and card number to restore access. Xylophone"));
  WriteHostFile(folder + "/c1.eml", mail("Secret", "zanzibar quokka"));  // a check row
  WriteHostFile(folder + "/labels.tsv",
                "file\tlabel\tkind\tcategory\tset\tencoding\tlanguage\n"
                "s1.eml\tspam\ten-lottery\tx\ttrain\tascii\ten\n"
                "s2.eml\tspam\ten-lottery\tx\ttrain\tascii\ten\n"
                "h1.eml\tham\ten-ham-work\t-\ttrain\tascii\ten\n"
                "utf8/h1.eml\tham\ten-ham-work\t-\ttrain\tutf-8/8bit/plain\ten\n"
                "h2.eml\tham\ten-ham-work\t-\ttrain\tascii\ten\n"
                "s3.eml\tspam\ten-phish\tx\ttrain\tascii\ten\n"
                "c1.eml\tspam\ten-lottery\tx\tcheck\tascii\ten\n"
                "missing.eml\tspam\ten-lottery\tx\tcheck\tascii\ten\n");
  WriteHostFile(folder + "/learned.conf",
                "# ours\nmin_count: 1\nsmoothing: 50\ntop_n: 0\nmargin_c: 1\nmargin_weight: 1000\n"
                "thresholds_ja: 400 300 200\nthresholds_en: 400 300 200\nveto: none\n");
  const std::string learn = ZVRX_BINARY_DIR "/tools/zvrx_learn";
  std::string models[2];
  for (int k = 0; k < 2; ++k) {
    const std::string out = folder + "/model" + std::to_string(k);
    const test::ProgramRun run =
        test::RunProgram(learn, {"train", folder, folder + "/learned.conf", out}, folder, {},
                         {"ZVRX_PREFIX=" + scratch.path()});
    ASSERT_EQ(run.status, 0) << run.err;
    models[k] = test::ReadHostFile(out);
  }
  ASSERT_FALSE(models[0].empty());
  EXPECT_EQ(models[0], models[1]);

  LearnedModel model;
  ASSERT_EQ(ParseLearnedModel(std::span(reinterpret_cast<const uint8_t*>(models[0].data()),
                                        models[0].size()),
                              model),
            "");
  EXPECT_EQ(model.unwanted_learned, 3u);
  EXPECT_EQ(model.legitimate_learned, 2u) << "a message and its twin count once";
  EXPECT_EQ(model.margin_weight, 1000u);
  auto weight = [&](const std::vector<int16_t>& weights, const char* word) -> int {
    const uint64_t token = TokenOf(word, 1);
    auto at = std::lower_bound(model.hashes.begin(), model.hashes.end(), token);
    return at != model.hashes.end() && *at == token ? weights[at - model.hashes.begin()] : 0;
  };
  for (const auto* weights : {&model.weights, &model.margin_weights}) {
    EXPECT_GT(weight(*weights, "prize"), 0);
    EXPECT_LT(weight(*weights, "meeting"), 0);
    EXPECT_EQ(weight(*weights, "zanzibar"), 0) << "a word of a check row";
    EXPECT_EQ(weight(*weights, "quokka"), 0) << "a word of a check row";
  }
  EXPECT_GT(weight(model.weights, "xylophone"), 0);
  EXPECT_EQ(weight(model.margin_weights, "xylophone"), 0) << "mail the dictionaries delete";
}

TEST(LearnedTrainingTest, RefusesAnInstallationWithoutDictionaries) {
  test::TempPrefix scratch;
  const std::string folder = scratch.path() + "/corpus";
  WriteHostFile(folder + "/labels.tsv", "file\tlabel\tkind\tcategory\tset\tencoding\tlanguage\n");
  WriteHostFile(folder + "/learned.conf", "min_count: 1\n");
  const test::ProgramRun run =
      test::RunProgram(ZVRX_BINARY_DIR "/tools/zvrx_learn",
                       {"train", folder, folder + "/learned.conf", folder + "/model"}, folder, {},
                       {"ZVRX_PREFIX=" + scratch.path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no dictionaries"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(folder + "/model"));
}

}  // namespace
}  // namespace zvrx
