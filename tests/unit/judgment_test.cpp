// The judgment of a message: the three inspection procedures, list matching,
// the content and charset classes and the duplicate memory. Messages go
// through the same steps as in a check (TOP text, ParseMessage, JudgeMail).
#include "checker/analysis/judgment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/marker.h"
#include "checker/analysis/parse_message.h"
#include "checker/analysis/work_log.h"
#include "checker/core/message_file.h"
#include "platform/cp932.h"
#include "shared/data_scramble.h"
#include "shared/records.h"
#include "tests/support/dictionary_builder.h"
#include "tests/support/sjis.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

using test::TempPrefix;
using test::WriteHostFile;

using test::Sjis;

std::string Scrambled(std::string text) {
  DataScramble(text.data(), text.size());
  return text;
}

// What a row expects of one judgment.
enum Outcome { kKeep, kAnon, kRejected, kNotAccepted, kDuplicate, kFormat, kCharset, kJa, kEn };

const char* CategoryOf(Outcome outcome) {
  switch (outcome) {
    case kKeep: return "";
    case kAnon: return kCategoryAnonymous;
    case kRejected: return kCategoryRejected;
    case kNotAccepted: return kCategoryNotAccepted;
    case kDuplicate: return kCategoryDuplicate;
    case kFormat: return kCategoryUnclearFormat;
    case kCharset: return kCategoryUnclearCharset;
    case kJa: return "ja-spam";
    case kEn: return "en-spam";
  }
  return "?";
}

// A prefix with one Japanese and one English dictionary (one word each,
// well over a threshold of 50), the four lists and three European files.
class JudgmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::DictionaryContents ja{"ja-spam", kLanguageJapanese, true, "", {{Sjis("副業"), 100, {}, {}}}};
    test::DictionaryContents en{"en-spam", kLanguageEnglish, true, "", {{"viagra", 100, {}, {}}}};
    test::WriteDictionary(prefix_.InstallRootHost(), "1ja", ja);
    test::WriteDictionary(prefix_.InstallRootHost(), "2en", en);
    const std::string data = prefix_.DataFolderHost() + "/";
    WriteHostFile(data + "kZVj-128", test::BuildThresholds({50, 0, 50, 0, 50, 0, 20000, 0}));
    // Without both Subject tables the text analysis would be off.
    WriteHostFile(data + "ZVRd-128", test::BuildSubjectTable(false, 1500, 6000, {}));
    WriteHostFile(data + "ZVRd-129", test::BuildSubjectTable(true, 1500, 6000, {}));
    WriteHostFile(data + "ZVRXWhiteList", "friend@example.jp\r\nboss@corp.example\r\n");
    WriteHostFile(data + "ZVRXBlackList", "boss@corp.example\r\n@junk.example\r\n");
    WriteHostFile(data + "ZVRk-128", Scrambled("anon-mailer@\r\n"));
    WriteHostFile(data + "ZVRk-129", Scrambled("@bulk.example\r\n"));
    WriteHostFile(data + "ISO501", "ISO-8859-1\r\n");
    WriteHostFile(data + "ISO502", "ISO-8859-2\r\n");
    // The last file switched on lacks its final CR LF.
    WriteHostFile(data + "ISO515", "ISO-8859-15");
    JudgmentSettings judgment{};
    judgment.european_charsets[1][0] = 1;
    judgment.european_charsets[15][0] = 1;
    judgment.european_charsets[2][0] = 1;
    LoadAnalysisState(state_, &judgment);
    ASSERT_EQ(state_.scoring.dictionaries.count, 2);
  }

  JudgmentResult Judge(int16_t level, const std::string& raw, const JudgmentEffects& effects = {}) {
    BodyBuffer body;
    MessageFileToTopText(raw, body);
    MailRecord record{};
    ParseMessage(body.data(), body.text_length, record, converter_);
    JudgmentResult result;
    int verdict = JudgeMail(state_, level, record, body.data(), body.text_length, effects, &result);
    EXPECT_EQ(verdict, result.verdict);
    return result;
  }

  TempPrefix prefix_;
  AnalysisState state_;
  ShiftJisConverter converter_;
};

std::string Message(const std::string& headers, const std::string& body) {
  return headers + "Date: Mon, 3 Mar 2025 10:00:00 +0900\r\nTo: me@example.jp\r\n\r\n" + body;
}

struct Case {
  const char* rule;
  int16_t level;
  int16_t unknown_format_handling;
  int16_t foreign_handling;
  std::string message;
  std::vector<Outcome> outcomes;  // one judgment of the same message each
};

TEST_F(JudgmentTest, ProceduresByLevel) {
  const std::string spam_en = "Cheap viagra here.\r\n";
  const std::string plain_en = "See you at noon.\r\n";
  const std::string spam_ja = Sjis("在宅で副業しませんか。\r\n");
  const std::string text_ascii = "Content-Type: text/plain; charset=us-ascii\r\n";
  const std::vector<Case> cases = {
      // Level 0 never consults the acceptance list; list B is tested
      // against the Message-Id there.
      {"level 0: list B in Message-Id beats acceptance", 0, 0, 0,
       Message("From: friend@example.jp\r\nMessage-Id: <1@bulk.example>\r\nSubject: hi\r\n",
               plain_en),
       {kAnon}},
      {"level 0: list A in From", 0, 0, 0,
       Message("From: anon-mailer@x.example\r\nSubject: hi\r\n", plain_en), {kAnon}},
      {"level 0: rejection list", 0, 0, 0,
       Message("From: seller@junk.example\r\nSubject: hi\r\n", plain_en), {kRejected}},
      {"level 0: no list matches, spam text is not analysed", 0, 0, 0,
       Message("From: someone@else.example\r\nSubject: hi\r\n" + text_ascii, spam_en), {kKeep}},
      // Level 2 keeps only the acceptance list's senders.
      {"level 2: on the acceptance list", 2, 0, 0,
       Message("From: Friend <friend@example.jp>\r\nSubject: hi\r\n", spam_en), {kKeep}},
      {"level 2: not on it", 2, 0, 0,
       Message("From: someone@else.example\r\nSubject: hi\r\n", plain_en), {kNotAccepted}},
      // Level 1, rule by rule.
      {"level 1: acceptance beats rejection", 1, 0, 0,
       Message("From: boss@corp.example\r\nSubject: hi\r\n" + text_ascii, spam_en), {kKeep}},
      {"level 1: the duplicate chain", 1, 0, 0,
       Message("From: a@b.example\r\nSubject: same\r\n" + text_ascii, plain_en),
       {kKeep, kDuplicate, kDuplicate}},
      {"level 1: empty From", 1, 0, 0, Message("Subject: no sender\r\n", plain_en), {kAnon}},
      {"level 1: list B is tested against From", 1, 0, 0,
       Message("From: news@bulk.example\r\nSubject: hi\r\n", plain_en), {kAnon}},
      {"level 1: list B in the Message-Id alone does nothing", 1, 0, 0,
       Message("From: a@b.example\r\nMessage-Id: <1@bulk.example>\r\nSubject: hi\r\n",
               plain_en),
       {kKeep}},
      {"level 1: rejection list", 1, 0, 0,
       Message("From: seller@junk.example\r\nSubject: hi\r\n", plain_en), {kRejected}},
      {"level 1: English text analysed", 1, 0, 0,
       Message("From: a@b.example\r\nSubject: hi\r\n" + text_ascii, spam_en), {kEn}},
      {"level 1: an English dictionary never judges Japanese mail", 1, 0, 0,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: text/plain; charset=iso-2022-jp\r\n",
               spam_en),
       {kKeep}},
      {"application/octet-stream, unclear format deleted", 1, 2, 0,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: application/octet-stream\r\n",
               spam_en),
       {kFormat}},
      {"application/octet-stream, unclear format kept", 1, 0, 0,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: application/octet-stream\r\n",
               spam_en),
       {kKeep}},
      {"application/octet-stream analysed as text by its charset", 1, 1, 0,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: application/octet-stream; charset=us-ascii\r\n",
               spam_en),
       {kEn}},
      {"KOI8-R analysed as English", 1, 0, 1,
       Message("From: a@b.example\r\nSubject: hi\r\nContent-Type: text/plain; charset=KOI8-R\r\n",
               spam_en),
       {kEn}},
      {"KOI8-R deleted as unclear characters", 1, 0, 2,
       Message("From: a@b.example\r\nSubject: hi\r\nContent-Type: text/plain; charset=KOI8-R\r\n",
               plain_en),
       {kCharset}},
      {"KOI8-R kept unread", 1, 0, 0,
       Message("From: a@b.example\r\nSubject: hi\r\nContent-Type: text/plain; charset=KOI8-R\r\n",
               spam_en),
       {kKeep}},
      {"multipart without any charset is English", 1, 0, 2,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: multipart/alternative; boundary=\"b1\"\r\n",
               "--b1\r\n\r\n" + spam_en + "--b1--\r\n"),
       {kEn}},
      {"multipart takes a quoted Japanese charset from its part", 1, 0, 2,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: multipart/mixed; boundary=\"b1\"\r\n",
               "--b1\r\nContent-Type: text/plain; charset=\"ISO-2022-JP\"\r\n\r\n" + spam_ja +
                   "--b1--\r\n"),
       {kJa}},
      {"multipart whose part declares another charset", 1, 0, 2,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: multipart/mixed; boundary=\"b1\"\r\n",
               "--b1\r\nContent-Type: text/plain; charset=KOI8-R\r\n\r\n" + plain_en +
                   "--b1--\r\n"),
       {kCharset}},
      {"multipart part in a European charset", 1, 0, 2,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: multipart/mixed; boundary=\"b1\"\r\n",
               "--b1\r\nContent-Type: text/plain; charset=iso-8859-2\r\n\r\n" + spam_en +
                   "--b1--\r\n"),
       {kEn}},
      {"ISO-8859-1 from the European list", 1, 0, 2,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: text/plain; charset=ISO-8859-1\r\n",
               spam_en),
       {kEn}},
      {"8859-1, the tail of a listed name, matches too", 1, 0, 2,
       Message("From: a@b.example\r\nSubject: hi\r\nContent-Type: text/plain; charset=8859-1\r\n",
               spam_en),
       {kEn}},
      {"a European file without its final CR LF cannot match its last name", 1, 0, 2,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: text/plain; charset=ISO-8859-15\r\n",
               spam_en),
       {kCharset}},
      // The unquoted value runs to the end of the line; the name before
      // the next parameter still says Japanese.
      {"unquoted Japanese charset followed by a parameter", 1, 0, 2,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: text/plain; charset=ISO-2022-JP; format=flowed\r\n",
               spam_ja),
       {kJa}},
      {"Shift_JIS mail is Japanese", 1, 0, 2,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: text/plain; charset=\"Shift_JIS\"\r\n",
               spam_ja),
       {kJa}},
      {"EUC-JP mail is Japanese", 1, 0, 2,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type: text/plain; charset=euc-jp\r\n",
               spam_ja),
       {kJa}},
      // Without the blank the header is not found: text, and the charset
      // comes from any charset= in the header.
      {"Content-Type without a blank", 1, 2, 2,
       Message("From: a@b.example\r\nSubject: hi\r\n"
               "Content-Type:application/octet-stream; charset=us-ascii\r\n",
               spam_en),
       {kEn}},
      {"a level the page cannot set keeps the mail", 7, 0, 0,
       Message("From: seller@junk.example\r\nSubject: hi\r\n", spam_en), {kKeep}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    state_.duplicates = DuplicateMemory{};
    state_.unknown_format_handling = c.unknown_format_handling;
    state_.foreign_handling = c.foreign_handling;
    for (Outcome expected : c.outcomes) {
      JudgmentResult result = Judge(c.level, c.message);
      EXPECT_EQ(result.verdict, expected == kKeep ? kVerdictKeep : kVerdictDelete);
      EXPECT_STREQ(result.category, CategoryOf(expected));
    }
  }
}

TEST_F(JudgmentTest, EveryVerdictIsCountedAndOnlyDeletionsLogged) {
  platform::SetClock(nullptr);
  CheckCounters counters;
  MarkerWalk walk;
  BeginMarkerWalk(walk, "me@pop.example");
  const JudgmentEffects effects{&counters, &walk, true};
  const std::string log_path = prefix_.DataFolderHost() + "/" + kWorkLogName;

  JudgmentResult kept = Judge(1, Message("From: friend@example.jp\r\nSubject: hi\r\n", "x\r\n"),
                              effects);
  EXPECT_EQ(kept.verdict, kVerdictKeep);
  EXPECT_EQ(counters.kept, 1);
  EXPECT_TRUE(walk.kept);
  EXPECT_EQ(test::ReadHostFile(log_path), "");

  JudgmentResult deleted = Judge(
      1, Message("From: seller@x.example\r\nSubject: offer\r\n", "Cheap viagra.\r\n"), effects);
  EXPECT_EQ(deleted.verdict, kVerdictDelete);
  EXPECT_EQ(counters.deleted, 1);
  EXPECT_EQ(counters.kept, 1);
  std::string log = test::ReadHostFile(log_path);
  EXPECT_NE(log.find(std::string("en-spam") + "\x82\xf0\x8d\xed\x8f\x9c\x82\xb5\x82\xdc\x82\xb5\x82\xbd\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("(From :seller@x.example)\r\n"), std::string::npos);

  // A preview: the same verdicts, nothing counted, marked or logged.
  MarkerWalk untouched;
  JudgmentResult preview = Judge(
      0, Message("From: seller@junk.example\r\nSubject: offer\r\n", "x\r\n"), JudgmentEffects{});
  EXPECT_STREQ(preview.category, kCategoryRejected);
  Judge(0, Message("From: friend@example.jp\r\nSubject: hi\r\n", "x\r\n"), JudgmentEffects{});
  EXPECT_EQ(test::ReadHostFile(log_path), log);
  EXPECT_FALSE(untouched.kept);
}

TEST_F(JudgmentTest, WithoutDictionariesTheLevelFallsBackToZero) {
  EXPECT_EQ(LevelAfterLoading(1, state_), 1);
  EXPECT_EQ(LevelAfterLoading(2, state_), 2);
  std::filesystem::remove_all(prefix_.InstallRootHost() + "/Method");
  AnalysisState empty;
  LoadAnalysisState(empty, nullptr);
  EXPECT_EQ(empty.scoring.dictionaries.count, 0);
  EXPECT_EQ(LevelAfterLoading(1, empty), 0);
  EXPECT_EQ(LevelAfterLoading(2, empty), 0);
  // Settings delivered later are taken as they come: level 1 then finds
  // no dictionary and keeps what passes the list tests.
  JudgmentResult result;
  MailRecord record{};
  std::strcpy(record.from, "a@b.example");
  JudgeMail(empty, 1, record, "Cheap viagra.", 13, JudgmentEffects{}, &result);
  EXPECT_EQ(result.verdict, kVerdictKeep);
}

TEST(ListMatchTest, LinesAreMatchedWholeAnywhereInTheField) {
  const std::string long_entry = std::string(80, 'x') + "@x";
  const std::string long_list = long_entry + "\r\n";
  struct Row {
    const char* rule;
    const char* list;
    std::string field;
    bool match;
  } rows[] = {
      {"a domain matches any address around it", "example.jp\r\n", "Taro <taro@example.jp>", true},
      {"case-sensitive", "Example.JP\r\n", "taro@example.jp", false},
      {"any line may match", "a@x\r\nb@y\r\n", "b@y", true},
      {"empty lines match nothing", "\r\n\r\n", "anything", false},
      {"last line without CR LF still counts", "a@x\r\nb@y", "b@y", true},
      {"a null list matches nothing", nullptr, "a@x", false},
      {"an empty field matches no line", "a@x\r\n", "", false},
      // Entries of up to 255 bytes are never cut to a shorter prefix.
      {"a long line matches in full", long_list.c_str(), "<" + long_entry + ">", true},
      {"a long line does not match its prefix", long_list.c_str(), std::string(70, 'x'), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.rule);
    EXPECT_EQ(ListMatch(row.list, row.field.c_str()), row.match);
  }
}

TEST(ContentClassTest, OnlyTextAndMultipartAreKnown) {
  EXPECT_EQ(ContentClass(""), kContentText);
  EXPECT_EQ(ContentClass("TEXT"), kContentText);
  EXPECT_EQ(ContentClass("Multipart"), kContentMultipart);
  EXPECT_EQ(ContentClass(" text"), kContentOther);
  EXPECT_EQ(ContentClass("application"), kContentOther);
  EXPECT_EQ(ContentClass("texts"), kContentOther);
}

TEST(CharsetClassTest, HeaderAndBodyDeclarations) {
  EuropeanCharsetList european;
  const char names[] = "ISO-8859-1\r\nISO-8859-15\r\n\r\n\r\nISO-8859-7\r\n";
  std::memcpy(european.text, names, sizeof names);
  european.length = static_cast<int>(sizeof names - 1);

  EXPECT_EQ(CharsetClass("", european), kClassEnglish);
  EXPECT_EQ(CharsetClass("Iso-2022-Jp", european), kClassJapanese);
  EXPECT_EQ(CharsetClass("US-ASCII", european), kClassEnglish);
  EXPECT_EQ(CharsetClass("ISO-8859-15", european), kClassEnglish);
  EXPECT_EQ(CharsetClass("iso-8859-15", european), kClassOther);  // the list is case-sensitive
  EXPECT_EQ(CharsetClass("ISO-8859-9", european), kClassOther);
  EXPECT_EQ(CharsetClass("utf-8", european), kClassOther);
  EXPECT_EQ(CharsetClass(";", european), kClassOther);

  struct Row {
    const char* body;
    int expected;
  } rows[] = {
      {"no declaration at all", kClassEnglish},
      {"Content-Type: text/plain; charset=iso-2022-jp\r\n", kClassJapanese},
      {"charset=\"ISO-2022-JP\"", kClassJapanese},
      {"charset=us-ascii", kClassEnglish},
      {"charset=\"US-ASCII\"", kClassEnglish},
      {"charset=utf-8", kClassOther},
      // A listed name followed by a digit is another charset.
      {"charset=ISO-8859-12", kClassOther},
      {"charset=\"iso-8859-1\"", kClassEnglish},
      {"charset=ISO-8859-12 and later charset=ISO-8859-1;", kClassEnglish},
      // Two empty lines end the list: ISO-8859-7 is never tried.
      {"charset=ISO-8859-7", kClassOther},
      {"charset=utf-8 then charset=ISO-2022-JP", kClassJapanese},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.body);
    EXPECT_EQ(BodyCharsetClass(row.body, european), row.expected);
  }
}

TEST(DuplicateTest, ComparesFromSubjectAndFirst255BodyBytes) {
  DuplicateMemory memory;
  MailRecord a{};
  std::strcpy(a.from, "a@x");
  std::strcpy(a.subject, "s");
  std::string body(300, 'b');
  EXPECT_FALSE(IsDuplicate(memory, a, body.c_str()));  // first call only remembers
  std::string same_start = std::string(255, 'b') + "different tail";
  EXPECT_TRUE(IsDuplicate(memory, a, same_start.c_str()));
  std::string changed = body;
  changed[254] = 'c';
  EXPECT_FALSE(IsDuplicate(memory, a, changed.c_str()));
  EXPECT_TRUE(IsDuplicate(memory, a, changed.c_str()));  // now the remembered one
  MailRecord b = a;
  b.subject[0] = 'S';
  EXPECT_FALSE(IsDuplicate(memory, b, changed.c_str()));
  EXPECT_FALSE(IsDuplicate(memory, a, changed.c_str()));
}

TEST(EuropeanCharsetListTest, JoinsSwitchedOnFilesInEntryOrderWithinTheLimit) {
  TempPrefix prefix;
  const std::string data = prefix.DataFolderHost() + "/";
  WriteHostFile(data + "ISO503", "ISO-8859-3\r\n");
  WriteHostFile(data + "ISO501", "ISO-8859-1\r\nlatin1\r\n");
  WriteHostFile(data + "ISO502", "ISO-8859-2\r\n");  // switched off
  uint8_t table[kEuropeanTableSize] = {};
  table[1 * kEuropeanEntryBytes] = 1;
  table[3 * kEuropeanEntryBytes] = 1;
  table[4 * kEuropeanEntryBytes] = 1;  // no file: adds nothing
  EuropeanCharsetList list;
  BuildEuropeanCharsetList(list, table);
  EXPECT_EQ(list.view(), "ISO-8859-1\r\nlatin1\r\nISO-8859-3\r\n");

  BuildEuropeanCharsetList(list, nullptr);
  EXPECT_EQ(list.length, 0);

  // After 2990 bytes of names a 2-byte file still fits whole; of the next
  // file only the first line fits, and its second line is left out whole.
  WriteHostFile(data + "ISO501", std::string(2988, 'A') + "\r\n");
  WriteHostFile(data + "ISO503", "\r\n");
  WriteHostFile(data + "ISO505", "ABCDEF\r\nG\r\n");
  table[4 * kEuropeanEntryBytes] = 0;
  table[5 * kEuropeanEntryBytes] = 1;
  BuildEuropeanCharsetList(list, table);
  EXPECT_EQ(list.length, 3000);
  EXPECT_EQ(list.view().substr(2988), "\r\n\r\nABCDEF\r\n");
  EXPECT_EQ(list.text[3000], '\0');
}

TEST(MessageFileTest, RawFileBecomesTopText) {
  BodyBuffer body;
  MessageFileToTopText("Subject: a\nFrom: b\n\nline1\r\nline2\n", body);
  const std::string expected = "Subject: a\r\nFrom: b\r\n\r\nline1\r\nline2\r\n";
  EXPECT_EQ(std::string(body.data()), expected);
  // The last LF lies behind the length, as in a TOP reply.
  EXPECT_EQ(body.text_length, static_cast<int>(expected.size()) - 1);

  std::string raw = "Subject: long\n\n";
  for (int i = 1; i <= 200; ++i) raw += "body line " + std::to_string(i) + "\n";
  MessageFileToTopText(raw, body);
  std::string text = body.data();
  EXPECT_NE(text.find("body line 150\r\n"), std::string::npos);
  EXPECT_EQ(text.find("body line 151"), std::string::npos);

  std::string huge = "Subject: big\n\n" + std::string(30000, 'z');
  MessageFileToTopText(huge, body);
  EXPECT_EQ(body.text_length, kTopCutLength + 1);
  EXPECT_EQ(std::strlen(body.data()), static_cast<size_t>(kTopCutLength + 2));
}

}  // namespace
}  // namespace zvrx
