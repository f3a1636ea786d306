// The guard for warnings that quote fraud mail: the words that make a text
// a warning, the blanking of its quotations on hostile Shift-JIS, and the
// judgment with the option on and off. The dictionaries here are our own,
// so that the delivered words cannot move the results.
#include "checker/analysis/quoted_warning.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/judgment.h"
#include "platform/cp932.h"
#include "tests/support/dictionary_builder.h"

namespace zvrx {
namespace {

std::string Sj(const char* utf8) { return platform::Utf8ToCp932(utf8); }

// ---------------------------------------------------------------------------
// The two functions on their own.

TEST(QuotedWarningTextTest, FraudWordsCountOnlyAtACharacterBoundaryBeforeTheEnd) {
  struct Case {
    const char* what;
    std::string text;
    int32_t cut;  // bytes left out of the length at the end
    bool warns;
  };
  const Case cases[] = {
      {"a plain warning", Sj("当行を装った不審なメールにご注意ください"), 0, true},
      {"fraud named at the very start", Sj("詐欺"), 0, true},
      {"impersonation in kana", Sj("担当者のなりすましです"), 0, true},
      {"a notice without any of the words", Sj("口座が凍結されました。至急ご確認ください"), 0,
       false},
      // ｍ ends in 0x8D and ｼ is 0xBC: "ｍｼ欺" holds the bytes of 詐欺 one byte late.
      {"詐欺's bytes behind the trail byte of ｍ and a half-width ｼ", Sj("ｍｼ欺"), 0, false},
      {"the word cut by the length", Sj("これは詐欺"), 1, false},
      {"a word behind the NUL", Sj("お知らせ") + std::string(1, '\0') + Sj("詐欺"), 0, false},
      {"text ending in the lead byte of 詐", "abc\x8d", 0, false},
      {"a word followed by a lone lead byte", Sj("詐欺") + "\x82", 0, true},
      {"empty", "", 0, false},
      {"an English warning word in any case", "BeWaRe of this one", 0, true},
      {"a reply's attribution line", "On Monday, Kim wrote:", 0, true},
      {"an English word only inside another word", "antiphishing", 0, false},
      {"an English word cut by the length", "wrote:", 1, false},
      {"a scam naming itself without the article", "this is no scam", 0, false},
      {"a member asks whether it is real", "Surely not legit?", 0, true},
      {"a sender disowns the mail", "(not from us!) password expiry", 0, true},
      {"a list member reports spam", Sj("スパム報告"), 0, true},
      {"a member retells a mail she got", Sj("未払いがあるというメールが来ました"), 0, true},
      {"a daughter tells her mother not to open it", Sj("リンクは開かないでね"), 0, true},
      {"a member asks whether others got it", Sj("同じ状況の方いますか"), 0, true},
      {"a list member warns in prose", "A word of warning to all members", 0, true},
      {"a member names the lookalike page", "it goes to a lookalike login page", 0, true},
  };
  for (const Case& c : cases) {
    const int32_t length = static_cast<int32_t>(c.text.size()) - c.cut;
    EXPECT_EQ(HasFraudWarningWords(c.text.c_str(), length), c.warns) << c.what;
  }
}

TEST(QuotedWarningTextTest, OnlyClosedQuotationsWithinTheirLimitAreBlanked) {
  const std::string open = Sj("「");
  const std::string close = Sj("」");
  const std::string filler(kMaxQuotedBytes, 'a');
  struct Case {
    const char* what;
    std::string text;
    std::string blanked;  // "" means: unchanged
  };
  const Case cases[] = {
      {"one quotation", Sj("前「凍結」後"), Sj("前「") + "    " + Sj("」後")},
      {"two on one line, the text between kept", Sj("「凍結」と『至急』"),
       Sj("「") + "    " + Sj("」と『") + "    " + Sj("』")},
      {"a line break inside", Sj("「凍結\r\n解除」"), Sj("「") + "          " + Sj("」")},
      {"『』 inside 「」 goes with it", Sj("「a『b』c」"), Sj("「") + "       " + Sj("」")},
      {"ASCII and curly double quotes", Sj("got \"Update card\" and “Act now”"),
       Sj("got \"           \" and “") + "       " + Sj("”")},
      {"an unclosed ASCII quote", "5\" screen", ""},
      {"unclosed", Sj("「口座が凍結されました"), ""},
      {"closed by the other kind", Sj("「凍結』"), ""},
      {"across an empty line", Sj("「凍結\n\n解除」"), ""},
      {"across an empty CR LF line", Sj("「凍結\r\n\r\n解除」"), ""},
      {"a NUL before the close", Sj("「凍") + std::string(1, '\0') + Sj("結」"), ""},
      {"exactly the longest quotation", open + filler + close,
       open + std::string(kMaxQuotedBytes, ' ') + close},
      {"one byte longer than the longest", open + filler + "a" + close, ""},
      // ａ is 0x82 0x81, so "ａu" holds the bytes of 「 one byte late.
      {"「's bytes behind the trail byte of ａ", Sj("ａu凍結」"), ""},
      // 0x81 0x81 is ＝: its trail byte and a following 'u' are not a 「.
      {"「's bytes across two characters", Sj("＝u凍結」"), ""},
      {"text ending in the lead byte of 」", Sj("「凍結") + "\x81", ""},
      {"text ending in the lead byte of 「", "abc\x81", ""},
      {"a close mark whose lead byte is another character's trail", Sj("「ａv"), ""},
  };
  for (const Case& c : cases) {
    const std::string out = BlankQuotations(c.text.data(), static_cast<int32_t>(c.text.size()));
    EXPECT_EQ(out.size(), c.text.size()) << c.what;
    EXPECT_EQ(out, c.blanked.empty() ? c.text : c.blanked) << c.what;
  }
}

// Quoted lines, examples and pasted mail: blanked to their ends, line ends
// kept; a block whose closing rule never comes is left alone.
TEST(QuotedWarningTextTest, QuotedLinesExamplesAndPastedMailAreBlanked) {
  const auto blanks = [](size_t n) { return std::string(n, ' '); };
  struct Case {
    const char* what;
    std::string text;
    std::string blanked;  // "" means: unchanged
  };
  const Case cases[] = {
      {"a quoted line, ASCII and full-width marks",
       Sj("前\n> 凍結\n＞至急\n後"), Sj("前\n") + blanks(6) + "\n" + blanks(6) + Sj("\n後")},
      {"> inside a line is no quotation", Sj("a > 凍結"), ""},
      {"lines set off by two blanks or a tab",
       "Got this\n    Verify now\n\tor lose it\nScam?",
       "Got this\n" + blanks(14) + "\n" + blanks(11) + "\nScam?"},
      {"one blank sets off nothing", "Got this\n Verify now\n", ""},
      {"the paragraph under a line ending in a colon",
       "Came in today:\r\n\r\nDear Customer\r\nVerify now\r\n\r\nDeleted it.",
       "Came in today:\r\n\r\n" + blanks(13) + "\r\n" + blanks(10) + "\r\n\r\nDeleted it."},
      {"the paragraph under the last of the lines that say they paste",
       Sj("以下のようなメールでした。\n貼り付けます。\n\n口座を確認\n\n偽物です"),
       Sj("以下のようなメールでした。\n貼り付けます。\n\n") + blanks(10) + Sj("\n\n偽物です")},
      {"a colon over two empty lines announces nothing", "Note:\n\n\nVerify now", ""},
      {"a colon on the last line", "Verify now:", ""},
      {"an example over its indented line",
       Sj("例：凍結\r\n　至急\r\n後"), Sj("例：") + blanks(4) + "\r\n" + blanks(6) + Sj("\r\n後")},
      {"an example ends at an unindented line", Sj("例:凍結\n後"), Sj("例:") + blanks(4) + Sj("\n後")},
      {"mail pasted between rules",
       Sj("下のメール\n----- 転送 -----\n凍結\n――――\n後"),
       Sj("下のメール\n----- 転送 -----\n") + blanks(4) + Sj("\n――――\n後")},
      {"three marks are no rule", Sj("---\n凍結\n---\n"), ""},
      {"a rule with no second rule", Sj("━━━━\n凍結\n"), ""},
      {"a second rule too far on",
       Sj("====\n") + std::string(kMaxPastedBytes + 2, 'a') + Sj("\n====\n"), ""},
  };
  for (const Case& c : cases) {
    const std::string out = BlankQuotations(c.text.data(), static_cast<int32_t>(c.text.size()));
    EXPECT_EQ(out.size(), c.text.size()) << c.what;
    EXPECT_EQ(out, c.blanked.empty() ? c.text : c.blanked) << c.what;
  }
}

// ---------------------------------------------------------------------------
// The judgment.

bool SameDetails(const ScoreDetails& a, const ScoreDetails& b) {
  return a.length == b.length && a.subject_score == b.subject_score &&
         a.recipient_score == b.recipient_score && a.threshold == b.threshold &&
         a.scored == b.scored && std::memcmp(a.scores, b.scores, sizeof(a.scores)) == 0 &&
         std::memcmp(a.extra, b.extra, sizeof(a.extra)) == 0;
}

struct Mail {
  const char* what;
  const char* body;  // UTF-8
  int32_t extra_recipients = 0;
  const char* subject = "";  // UTF-8
};

class QuotedWarningJudgmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::DictionaryContents contents;
    contents.category = Sj("フィッシング詐欺メール");
    contents.language = kLanguageJapanese;
    contents.entries = {{Sj("凍結されました"), 1500, {}, {}}, {Sj("本人確認"), 1000, {}, {}}};
    const std::string file = test::BuildDictionaryFile(contents);
    MethodDictionary dictionary;
    dictionary.file_name = "11jp_phish";
    ASSERT_TRUE(ParseDictionaryFile(file.data(), file.size(), dictionary));
    ASSERT_TRUE(AddDictionary(state_.scoring.dictionaries, std::move(dictionary)));
    for (int32_t& p : state_.scoring.tables.thresholds) p = 0;
    state_.scoring.tables.thresholds[2] = 2000;  // a flat 2000 at strictness 0
  }

  JudgmentResult Judge(const Mail& mail, bool guard) {
    state_.quoted_warnings = guard;
    MailRecord record{};
    std::strcpy(record.from, "info@bank.example.jp");
    std::strcpy(record.charset, "ISO-2022-JP");
    record.extra_recipients = mail.extra_recipients;
    std::strncpy(record.subject, Sj(mail.subject).c_str(), kMailFieldSize - 1);
    const std::string body = Sj(mail.body);
    state_.duplicates = DuplicateMemory{};
    JudgmentResult result;
    JudgeMail(state_, kLevelComprehensive, record, body.c_str(),
              static_cast<int32_t>(body.size() + 1), JudgmentEffects{}, &result);
    EXPECT_TRUE(result.analysed) << mail.what;
    return result;
  }

  // What the learned judgment would read next: the analysis text.
  std::string AnalysisText() const {
    return std::string(state_.scoring.buffer.bytes.get(), kAnalysisBufferSize);
  }

  AnalysisState state_;
};

TEST_F(QuotedWarningJudgmentTest, AWarningQuotingThreatsIsKeptOnlyWithTheOption) {
  const Mail warning = {"a bank's warning",
                        "当行を装った不審なメールが届いています。「お客様の口座が凍結されました」"
                        "「本人確認をお願いします」といった文面で偽サイトへ誘導します。"};
  const JudgmentResult off = Judge(warning, false);
  EXPECT_EQ(off.verdict, kVerdictDelete);
  EXPECT_EQ(platform::Cp932ToUtf8(off.category), "フィッシング詐欺メール");
  EXPECT_FALSE(off.quoted_warning_kept);
  EXPECT_EQ(off.details.scores[0], 2500);

  const JudgmentResult on = Judge(warning, true);
  EXPECT_EQ(on.verdict, kVerdictKeep);
  EXPECT_EQ(on.category[0], '\0');
  EXPECT_TRUE(on.quoted_warning_kept);
  EXPECT_EQ(platform::Cp932ToUtf8(on.quoted_category), "フィッシング詐欺メール");
  EXPECT_EQ(on.details.scores[0], 0) << "the details are those of the second scan";
  EXPECT_EQ(on.details.threshold, 2000);
  EXPECT_EQ(AnalysisText().find(Sj("凍結")), std::string::npos)
      << "the learned judgment reads the text the guard kept";
}

// A warning may name fraud only in its Subject, and someone who passes on
// a mail to ask about it names no fraud at all: both are guarded.
TEST_F(QuotedWarningJudgmentTest, TheSubjectAndAMailPassedOnAlsoCall) {
  const Mail cases[] = {
      {"fraud named in the Subject alone", "「お客様の口座が凍結されました」「本人確認」というメールです。",
       0, "当行をかたる不審なメールについて"},
      {"a mail pasted between rules to ask about it",
       "下のメールが来た。\n――――――\nお客様の口座が凍結されました。本人確認をしてください。\n――――――\n"
       "押さないでおく。"},
  };
  for (const Mail& mail : cases) {
    SCOPED_TRACE(mail.what);
    EXPECT_EQ(Judge(mail, false).verdict, kVerdictDelete);
    const JudgmentResult on = Judge(mail, true);
    EXPECT_EQ(on.verdict, kVerdictKeep);
    EXPECT_TRUE(on.quoted_warning_kept);
  }
}

// Whenever the guard does not keep a message, the option changes nothing:
// verdict, category, details and the analysis text are those of the
// judgment without it.
TEST_F(QuotedWarningJudgmentTest, WhatTheGuardDoesNotKeepIsJudgedAsWithoutIt) {
  const Mail cases[] = {
      {"a phish that names 詐欺 but quotes nothing",
       "詐欺被害を防ぐため、お客様の口座が凍結されました。本人確認をお願いします。"},
      {"a phish naming 詐欺 whose quotation is harmless",
       "「セキュリティセンター」より: 詐欺対策のため口座が凍結されました。本人確認を。"},
      {"a phish whose threats are all quoted but that names no fraud word",
       "重要なお知らせ「お客様の口座が凍結されました」「本人確認をお願いします」"},
      {"a warning whose quotations leave enough threat outside them",
       "不審なメールにご注意。「至急」とあっても、口座が凍結されました、本人確認、と続きます。"},
      {"a warning to many: the recipient score alone passes the threshold",
       "当行を装った不審なメール「口座が凍結されました」「本人確認」にご注意ください。", 13},
      {"a kept notice that names fraud", "詐欺にご注意ください。ご利用ありがとうございます。"},
  };
  for (const Mail& mail : cases) {
    SCOPED_TRACE(mail.what);
    const JudgmentResult off = Judge(mail, false);
    const std::string off_text = AnalysisText();
    const JudgmentResult on = Judge(mail, true);
    EXPECT_FALSE(on.quoted_warning_kept);
    EXPECT_EQ(on.verdict, off.verdict);
    EXPECT_STREQ(on.category, off.category);
    EXPECT_TRUE(SameDetails(on.details, off.details));
    EXPECT_EQ(AnalysisText(), off_text);
  }
  // Five of them are deleted either way, the last is kept either way.
  for (size_t i = 0; i + 1 < std::size(cases); ++i) {
    EXPECT_EQ(Judge(cases[i], true).verdict, kVerdictDelete) << cases[i].what;
  }
}

// A list post that pastes an English scam with ">" lines or between rules
// is guarded as a Japanese warning is; an English phish that only names a
// scam, or quotes nothing, is judged as without the option.
TEST_F(QuotedWarningJudgmentTest, EnglishPostsQuotingAScamAreGuardedToo) {
  test::DictionaryContents contents;
  contents.category = Sj("英文フィッシングメール");
  contents.language = kLanguageEnglish;
  contents.entries = {{"verify", 2500, {}, {}}};
  const std::string file = test::BuildDictionaryFile(contents);
  MethodDictionary dictionary;
  dictionary.file_name = "20en_phish";
  ASSERT_TRUE(ParseDictionaryFile(file.data(), file.size(), dictionary));
  ASSERT_TRUE(AddDictionary(state_.scoring.dictionaries, std::move(dictionary)));
  struct Case {
    const char* what;
    const char* body;
    bool kept;
  };
  const Case cases[] = {
      {"a reply quoting the phish", "Jim wrote:\r\n> Please verify your account now.\r\nDon't.\r\n",
       true},
      {"a phish pasted between rules, the warning word in capitals",
       "BEWARE, got this today:\n---------- Forwarded message ---------\nverify your account\n"
       "----------------------------\nIgnore it.\n",
       true},
      {"the word inside another word is no warning",
       "Antiphishing team wrote nothing:\n> verify your account\n", false},
      {"a phish that calls itself safe, quoting nothing", "This is not a scam. Verify your account.",
       false},
      {"a warning whose own text says verify", "Heads up: verify the sender.\n> verify now\n",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MailRecord record{};
    std::strcpy(record.from, "member@lists.example.org");
    std::strcpy(record.charset, "us-ascii");
    for (bool guard : {false, true}) {
      state_.quoted_warnings = guard;
      state_.duplicates = DuplicateMemory{};
      JudgmentResult result;
      JudgeMail(state_, kLevelComprehensive, record, c.body,
                static_cast<int32_t>(std::strlen(c.body) + 1), JudgmentEffects{}, &result);
      EXPECT_EQ(result.language_class, kClassEnglish);
      EXPECT_EQ(result.verdict, guard && c.kept ? kVerdictKeep : kVerdictDelete) << guard;
      EXPECT_EQ(result.quoted_warning_kept, guard && c.kept);
    }
  }
}

// The option is read from ZVRXExt.ini with the others; a new installation
// (no key) has it on.
TEST(QuotedWarningOptionTest, TakenFromTheExtensionSettings) {
  struct Case {
    const char* text;
    bool on;
  };
  const Case cases[] = {
      {"", true},
      {"quoted_warnings = off\n", false},
      {"quoted_warnings = on\n", true},
      {"quoted_warnings = maybe\n", true},
  };
  for (const Case& c : cases) {
    ExtensionSettings settings;
    settings.Parse(c.text);
    AnalysisState state;
    state.quoted_warnings = !c.on;
    TakeExtensionChoices(state, settings);
    EXPECT_EQ(state.quoted_warnings, c.on) << c.text;
  }
}

}  // namespace
}  // namespace zvrx
