// The brand check: a message whose From display name or bracketed Subject
// names a brand of the table, and that is not wholly on the brand's
// domains, gets the table's score on the brand's dictionary. The brands,
// names and domains of these tests are invented; the delivered table is
// only checked for its form.
#include "checker/analysis/brand_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/judgment.h"
#include "platform/cp932.h"
#include "tests/support/dictionary_builder.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

std::string Sj(const char* utf8) { return platform::Utf8ToCp932(utf8); }

// ---------------------------------------------------------------------------
// Reading the parts of a message.

TEST(BrandPartsTest, SenderDomainIsTheAddressDomainInLowerCase) {
  struct Case {
    const char* from;
    const char* domain;
  };
  const Case cases[] = {
      {"Tsubasa <Info@Mail.Tsubasa-Card.Example.JP>", "mail.tsubasa-card.example.jp"},
      {"\"a@b.example\" <real@sender.example>", "sender.example"},  // the address, not the name
      {"bare@host.example", "host.example"},
      {"bare@host.example (Tsubasa Card)", "host.example"},
      {"Tsubasa Card", ""},
      {"Name <broken", ""},
      {"<x@trailing-dot.example.>", "trailing-dot.example"},
  };
  for (const Case& c : cases) EXPECT_EQ(SenderDomain(c.from), c.domain) << c.from;
}

TEST(BrandPartsTest, DisplayNameIsTheTextBeforeTheAddressOrTheComment) {
  EXPECT_EQ(DisplayName("Tsubasa Card <x@y.example>"), "Tsubasa Card ");
  EXPECT_EQ(DisplayName("x@y.example (Tsubasa Card)"), "Tsubasa Card");
  EXPECT_EQ(DisplayName("x@y.example"), "");
}

TEST(BrandPartsTest, OnlyBracketedSubjectTextsCount) {
  const std::string subject =
      Sj("【つばさカード】ご確認［ひばり運輸］と [Kestrel Pay] と 《月光》 ほか（括弧）");
  const std::vector<BracketedText> texts = BracketedTexts(subject);
  const std::vector<BracketedText> expected = {
      {Sj("つばさカード"), false}, {Sj("ひばり運輸"), false}, {"Kestrel Pay", true}, {Sj("月光"), false}};
  EXPECT_EQ(texts, expected);
  // An unclosed bracket holds nothing; the text after it is not taken.
  EXPECT_TRUE(BracketedTexts(Sj("【つばさカード ご確認")).empty());
}

TEST(BrandPartsTest, LinkHostsDropUserNamesPortsAndCase) {
  const std::string body =
      "Log in: https://www.tsubasa-card.example.jp@login.phish.example/acct\r\n"
      "HTTP://Mixed.Case.Example:8443/x and hxxps://defanged.example/y\r\n"
      "www.bare-form.example/path, and again https://login.phish.example/other\r\n"
      "not a link: mailto:someone@mail.example, swww.not-a-start.example\r\n" +
      Sj("日本語の後ろhttps://after-kana.example/です");
  const std::vector<std::string> expected = {"login.phish.example", "mixed.case.example",
                                             "defanged.example", "www.bare-form.example",
                                             "after-kana.example"};
  EXPECT_EQ(LinkDomains(body), expected);
}

TEST(BrandPartsTest, ADomainOwnsItsSubdomainsOnly) {
  EXPECT_TRUE(DomainWithin("tsubasa-card.example.jp", "tsubasa-card.example.jp"));
  EXPECT_TRUE(DomainWithin("mail.tsubasa-card.example.jp", "tsubasa-card.example.jp"));
  // Look-alikes phishers register.
  EXPECT_FALSE(DomainWithin("evil-tsubasa-card.example.jp", "tsubasa-card.example.jp"));
  EXPECT_FALSE(DomainWithin("tsubasa-card.example.jp.phish.example", "tsubasa-card.example.jp"));
  EXPECT_FALSE(DomainWithin("", "tsubasa-card.example.jp"));
}

TEST(BrandPartsTest, FoldingMeetsFullWidthHalfWidthAndCase) {
  EXPECT_EQ(FoldBrandText(Sj("ＫＥＳＴＲＥＬ　Ｐａｙ")), "kestrel pay");
  EXPECT_EQ(FoldBrandText(Sj("ﾂﾊﾞｻｶｰﾄﾞ")), FoldBrandText(Sj("ツバサカード")));
  // The second byte of a double-byte character may be an ASCII letter
  // (ア is 0x83 0x41): it is never lowered.
  EXPECT_EQ(FoldBrandText(Sj("アイ")), Sj("アイ"));
}

// ---------------------------------------------------------------------------
// The table.

const char kTestTable[] =
    "ZVRXBrand\t1\t1500\r\n"
    "*\t*\tw3.example\r\n"
    "つばさ,ツバサ\t11jp_phish\ttsubasa-group.example.jp\r\n"
    "ツバサカード,つばさカード,Tsubasa Card\t11jp_phish,20en_phish\ttsubasa-card.example.jp\r\n"
    "ひばり運輸\t10jp_delivery\thibari.example.jp,hibari-hd.example.jp\r\n"
    "Kestrel Pay,KP\t20en_phish\tkestrelpay.example.com\r\n"
    "月光銀行\t11jp_phish\t\r\n";

BrandTable TestTable() {
  BrandTable table;
  std::string why;
  EXPECT_TRUE(ParseBrandTable(Sj(kTestTable), table, &why)) << why;
  return table;
}

TEST(BrandTableTest, ReadsBrandsAndSharedDomains) {
  const BrandTable table = TestTable();
  ASSERT_TRUE(table.present);
  EXPECT_EQ(table.score, 1500);
  ASSERT_EQ(table.brands.size(), 5u);
  EXPECT_EQ(table.shared_domains, std::vector<std::string>{"w3.example"});
  EXPECT_EQ(table.brands[3].names, (std::vector<std::string>{"kestrel pay", "kp"}));
  EXPECT_EQ(table.brands[2].domains.size(), 2u);
  EXPECT_TRUE(table.brands[4].domains.empty());
}

TEST(BrandTableTest, RefusesWhatTheCompilerNeverWrites) {
  struct Case {
    const char* what;
    std::string text;
  };
  const std::string head = "ZVRXBrand\t1\t1500\r\n";
  const Case cases[] = {
      {"no header", "Brand\t11jp_phish\tx.example\r\n"},
      {"score beyond a word weight", "ZVRXBrand\t1\t10001\r\n"},
      {"score that is no number", "ZVRXBrand\t1\t15x0\r\n"},
      {"brand without a kind", head + "Name\t\tx.example\r\n"},
      {"kind that is no dictionary name", head + "Name\tjp phish\tx.example\r\n"},
      {"domain in upper case", head + "Name\t11jp_phish\tX.Example\r\n"},
      {"domain of one label", head + "Name\t11jp_phish\tlocalhost\r\n"},
      {"domain with an empty label", head + "Name\t11jp_phish\tx..example\r\n"},
      {"one-letter name", head + "Q\t11jp_phish\tx.example\r\n"},
      {"two fields", head + "Name\t11jp_phish\r\n"},
      {"empty file", ""},
  };
  for (const Case& c : cases) {
    BrandTable table;
    table.present = true;
    std::string why;
    EXPECT_FALSE(ParseBrandTable(c.text, table, &why)) << c.what;
    EXPECT_FALSE(table.present) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
  }
}

// The delivered table as the build compiled it: it reads, every brand has a
// name and a kind that is a delivered dictionary of data/method, and its
// score stays within a word's weight.
TEST(BrandTableTest, TheDeliveredTableIsWellFormed) {
  const fs::path file = fs::path(ZVRX_BINARY_DIR) / "Installer Resources/Zvrx Staffs" /
                        kBrandTableName;
  std::ifstream in(file, std::ios::binary);
  ASSERT_TRUE(in) << "build the zvrx_data target first";
  std::stringstream bytes;
  bytes << in.rdbuf();
  BrandTable table;
  std::string why;
  ASSERT_TRUE(ParseBrandTable(bytes.str(), table, &why)) << why;
  EXPECT_GT(table.score, 0);
  EXPECT_GE(table.brands.size(), 50u);

  std::set<std::string> dictionaries;
  for (const auto& item : fs::directory_iterator(fs::path(ZVRX_SOURCE_DIR) / "data/method")) {
    dictionaries.insert(item.path().stem().string());
  }
  std::set<std::string> names;
  for (const Brand& brand : table.brands) {
    const std::string label = platform::Cp932ToUtf8(brand.names.front());
    EXPECT_FALSE(brand.kinds.empty()) << label;
    for (const std::string& kind : brand.kinds) {
      EXPECT_TRUE(dictionaries.count(kind)) << label << ": " << kind;
    }
    for (const std::string& name : brand.names) {
      // A name listed twice would only ever find the first brand.
      EXPECT_TRUE(names.insert(name).second) << platform::Cp932ToUtf8(name);
    }
  }
}

// ---------------------------------------------------------------------------
// The judgment with the check. Dictionaries are named like the delivered
// ones: 10jp_delivery and 11jp_phish for Japanese mail, 20en_phish for
// English mail, each weighing one word 1000 against a threshold of 2000,
// so a message with one word is kept unless the brand's 1500 is added.

struct Mail {
  const char* what;
  const char* from;     // UTF-8
  const char* subject;  // UTF-8
  const char* body;     // UTF-8
  bool english = false;
};

class BrandJudgmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Add("10jp_delivery", "不在通知詐欺メール", 0, "不在連絡");
    Add("11jp_phish", "フィッシング詐欺メール", 0, "至急ご確認");
    Add("20en_phish", "英文フィッシングメール", 1, "verify now");
    for (int32_t& p : state_.scoring.tables.thresholds) p = 0;
    state_.scoring.tables.thresholds[2] = 2000;
    state_.scoring.tables.brands = TestTable();
    state_.brand_check = true;
  }

  void Add(const char* name, const char* category, int32_t language, const char* word) {
    test::DictionaryContents contents;
    contents.category = Sj(category);
    contents.language = language;
    contents.entries = {{Sj(word), 1000, {}, {}}};
    const std::string file = test::BuildDictionaryFile(contents);
    MethodDictionary dictionary;
    dictionary.file_name = name;
    ASSERT_TRUE(ParseDictionaryFile(file.data(), file.size(), dictionary));
    ASSERT_TRUE(AddDictionary(state_.scoring.dictionaries, std::move(dictionary)));
  }

  // The judged category in UTF-8, "" when kept.
  std::string Judge(const Mail& mail, JudgmentResult* out = nullptr) {
    MailRecord record{};
    std::strncpy(record.from, Sj(mail.from).c_str(), kMailFieldSize - 1);
    std::strncpy(record.subject, Sj(mail.subject).c_str(), kMailFieldSize - 1);
    std::strcpy(record.charset, mail.english ? "us-ascii" : "ISO-2022-JP");
    const std::string body = Sj(mail.body);
    // No two messages in a row are duplicates.
    state_.duplicates = DuplicateMemory{};
    JudgmentResult result;
    JudgeMail(state_, kLevelComprehensive, record, body.c_str(),
              static_cast<int32_t>(body.size() + 1), JudgmentEffects{}, &result);
    EXPECT_TRUE(result.analysed) << mail.what;
    if (out != nullptr) *out = result;
    return platform::Cp932ToUtf8(result.category);
  }

  AnalysisState state_;
};

TEST_F(BrandJudgmentTest, ABrandNamedOffItsDomainsScoresAsItsKind) {
  struct Case {
    Mail mail;
    const char* category;  // "" kept
  };
  const Case cases[] = {
      {{"real notice: From and every link on the brand's domains",
        "つばさカード <info@mail.tsubasa-card.example.jp>", "ご利用のお知らせ",
        "至急ご確認ください https://www.tsubasa-card.example.jp/login "
        "https://members.tsubasa-card.example.jp/"},
       ""},
      {{"the group's shorter name inside the card's: the longer name decides",
        "ﾂﾊﾞｻｶｰﾄﾞ <info@tsubasa-card.example.jp>", "ご案内",
        "至急ご確認 https://www.tsubasa-card.example.jp/"},
       ""},
      {{"the group's own name off its domain", "つばさ <info@card-desk.example.org>", "ご案内",
        "至急ご確認ください"},
       "フィッシング詐欺メール"},
      {{"real notice with markup and social links", "Tsubasa Card <info@tsubasa-card.example.jp>",
        "ご案内", "至急ご確認 http://www.w3.example/TR/xhtml1 https://tsubasa-card.example.jp/"},
       ""},
      {{"spoofed From on the brand's domain, link elsewhere",
        "つばさカード <info@tsubasa-card.example.jp>", "ご利用確認",
        "至急ご確認ください https://tsubasa-card.secure-check.example.net/login"},
       "フィッシング詐欺メール"},
      {{"the brand's host as a user name before the real host",
        "つばさカード <info@tsubasa-card.example.jp>", "ご利用確認",
        "至急ご確認 https://www.tsubasa-card.example.jp@login.phish.example/"},
       "フィッシング詐欺メール"},
      {{"foreign From, no link (asks for a call)", "つばさカード <notice@card-desk.example.org>",
        "お支払い", "至急ご確認のうえお電話ください"},
       "フィッシング詐欺メール"},
      {{"foreign From, foreign link", "つばさカード <notice@card-desk.example.org>", "お支払い",
        "至急ご確認 hxxps://card-desk.example.org/pay"},
       "フィッシング詐欺メール"},
      {{"foreign From whose every link is the brand's (a mailing service)",
        "つばさカード <news@mailer.example.net>", "今月のお知らせ",
        "至急ご確認 https://www.tsubasa-card.example.jp/campaign"},
       ""},
      {{"look-alike sender domain", "つばさカード <info@tsubasa-card.example.jp.phish.example>",
        "ご利用確認", "至急ご確認ください"},
       "フィッシング詐欺メール"},
      {{"brand named only in the body", "Info <info@card-desk.example.org>", "お知らせ",
        "つばさカードより至急ご確認 https://card-desk.example.org/"},
       ""},
      {{"brand in a bracketed Subject", "Support <x@card-desk.example.org>",
        "【つばさカード】ご利用確認", "至急ご確認ください"},
       "フィッシング詐欺メール"},
      {{"brand alone in ASCII brackets", "Support <x@kp-desk.example>", "[Kestrel Pay] Notice",
        "Please verify now", true},
       "英文フィッシングメール"},
      {{"a mailing list's tag that holds a brand name", "Member <m@list-member.example>",
        "[kestrel pay-users:1234] Re: fees", "Please verify now", true},
       ""},
      {{"brand in a Subject without brackets", "Support <x@card-desk.example.org>",
        "つばさカードご利用確認", "至急ご確認ください"},
       ""},
      {{"half-width katakana display name", "ﾂﾊﾞｻｶｰﾄﾞ <x@card-desk.example.org>", "確認",
        "至急ご確認ください"},
       "フィッシング詐欺メール"},
      {{"full-width letters in the display name", "ＴＳＵＢＡＳＡ　ＣＡＲＤ <x@card-desk.example.org>",
        "確認", "至急ご確認ください"},
       "フィッシング詐欺メール"},
      {{"brand without a known domain", "月光銀行 <x@moonlight-bank.example.jp>", "確認",
        "至急ご確認ください"},
       "フィッシング詐欺メール"},
      {{"no word of the dictionary: the brand alone stays below", "つばさカード <x@card-desk.example.org>",
        "確認", "お手続きください"},
       ""},
      {{"delivery brand raises the delivery dictionary", "ひばり運輸 <x@parcel-desk.example.org>",
        "お荷物", "不在連絡です https://parcel-desk.example.org/"},
       "不在通知詐欺メール"},
      {{"English brand", "Kestrel Pay <service@kestrelpay-secure.example>", "Notice",
        "Please verify now at https://kestrelpay-secure.example/", true},
       "英文フィッシングメール"},
      {{"English real notice", "Kestrel Pay <service@kestrelpay.example.com>", "Notice",
        "Please verify now at https://www.kestrelpay.example.com/", true},
       ""},
      {{"a short English name only as a whole word", "KPMG-like Audit <a@audit.example>",
        "Notice", "Please verify now", true},
       ""},
      {{"a Japanese-only brand in English mail", "ひばり運輸 <x@parcel-desk.example.org>", "Parcel",
        "Please verify now", true},
       ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Judge(c.mail), c.category) << c.mail.what;
  }
}

TEST_F(BrandJudgmentTest, TheScoreGoesToTheBrandsDictionaryOnlyAndTheOptionSwitchesItOff) {
  const Mail mail = {"delivery", "ひばり運輸 <x@parcel-desk.example.org>", "お荷物",
                     "不在連絡です。至急ご確認ください"};
  JudgmentResult result;
  EXPECT_EQ(Judge(mail, &result), "不在通知詐欺メール");
  EXPECT_TRUE(result.brand.scored);
  EXPECT_EQ(result.details.extra[0], 1500);  // 10jp_delivery
  EXPECT_EQ(result.details.scores[0], 2500);

  // The phishing dictionary is scored too when the first one stays below.
  const Mail phish = {"phish", "つばさカード <x@card-desk.example.org>", "", "至急ご確認"};
  EXPECT_EQ(Judge(phish, &result), "フィッシング詐欺メール");
  EXPECT_EQ(result.details.extra[0], 0);
  EXPECT_EQ(result.details.extra[1], 1500);

  state_.brand_check = false;
  EXPECT_EQ(Judge(mail, &result), "");
  EXPECT_EQ(result.brand.brand, -1);
  EXPECT_EQ(result.details.extra[0], 0);
}

}  // namespace
}  // namespace zvrx
