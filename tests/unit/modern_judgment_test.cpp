// Today's mail at the judgment: messages in UTF-8, Base64, quoted-printable
// and HTML go through the check's own steps (TOP text, ParseTop, JudgeMail)
// with the option modern_mail on and off, against a prefix with small
// dictionaries, lists that name senders in Japanese, and a work log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/judgment.h"
#include "checker/analysis/parse_top.h"
#include "checker/analysis/work_log.h"
#include "checker/core/message_file.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "shared/extension_settings.h"
#include "shared/records.h"
#include "tests/support/dictionary_builder.h"
#include "tests/support/mail_encoding.h"
#include "tests/support/sjis.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

using test::WriteHostFile;

using test::Sjis;

std::string Base64(const std::string& bytes, size_t line = 76) {
  return test::Base64Encode(bytes, line);
}

std::string Word(const std::string& utf8) { return test::Utf8Word(utf8); }

// Everything but the body's own headers and text.
std::string Mail(const std::string& from, const std::string& subject, const std::string& rest) {
  return "From: " + from + "\r\nSubject: " + subject +
         "\r\nDate: Tue, 8 Dec 2026 09:00:00 +0900\r\nTo: me@example.jp\r\nMIME-Version: 1.0\r\n" +
         rest;
}

std::string Part(const std::string& type, const std::string& encoding, const std::string& text) {
  return "Content-Type: " + type + "\r\nContent-Transfer-Encoding: " + encoding + "\r\n\r\n" +
         text;
}

enum Outcome { kKeep, kJa, kEn, kRejected, kCharset };

const char* CategoryOf(Outcome outcome) {
  switch (outcome) {
    case kKeep: return "";
    case kJa: return "ja-spam";
    case kEn: return "en-spam";
    case kRejected: return kCategoryRejected;
    case kCharset: return kCategoryUnclearCharset;
  }
  return "?";
}

class ModernJudgmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Japanese words as the dictionaries write them: full width, and one
    // written only in half-width katakana.
    test::DictionaryContents ja{"ja-spam", kLanguageJapanese, true, "",
                                {{Sjis("副業"), 100, {}, {}},
                                 {Sjis("クレジット現金化"), 100, {}, {}},
                                 {Sjis("ｶｼﾞﾉ"), 100, {}, {}}}};
    test::DictionaryContents en{"en-spam", kLanguageEnglish, true, "",
                                {{"viagra", 100, {}, {}}, {"bitcoin doubler", 100, {}, {}}}};
    test::WriteDictionary(prefix_.InstallRootHost(), "1ja", ja);
    test::WriteDictionary(prefix_.InstallRootHost(), "2en", en);
    test::WriteJudgmentFiles(prefix_.DataFolderHost(), {50, 0, 50, 0, 50, 0, 20000, 0},
                             "anon-mailer@\r\n");
    const std::string data = prefix_.DataFolderHost() + "/";
    // Lists name a sender by the display name as a reader sees it.
    WriteHostFile(data + "ZVRXWhiteList", Sjis("山田花子") + "\r\n");
    WriteHostFile(data + "ZVRXBlackList", Sjis("迷惑商会") + "\r\n@junk.example\r\n");
    WriteHostFile(data + "ISO501", "ISO-8859-1\r\n");
    JudgmentSettings judgment{};
    judgment.european_charsets[1][0] = 1;
    LoadAnalysisState(state_, &judgment);
    ASSERT_EQ(state_.scoring.dictionaries.count, 2);
  }

  JudgmentResult Judge(const std::string& raw, bool modern, MailRecord& record,
                       const JudgmentEffects& effects = {}) {
    BodyBuffer body;
    MessageFileToTopText(raw, body);
    record = MailRecord{};
    ParseTop(body.data(), body.text_length, record, converter_, modern, state_.european);
    JudgmentResult result;
    JudgeMail(state_, kLevelComprehensive, record, body.data(), body.text_length, effects,
              &result);
    // Every row is a new message: none is a duplicate of the one before.
    state_.duplicates = DuplicateMemory{};
    return result;
  }

  test::TempPrefix prefix_;
  AnalysisState state_;
  ShiftJisConverter converter_;
};

struct Row {
  const char* what;
  std::string message;
  Outcome outcome;
  int32_t read_as;
  std::string from;     // CP932 as the record (and the log) holds it; "" not checked
  std::string subject;  // the same
};

TEST_F(ModernJudgmentTest, TodaysMailIsJudgedOnItsDecodedText) {
  const std::string spam_ja = "在宅でできる副業のご案内です。\r\n今すぐ登録してください。\r\n";
  const std::string html_ja =
      "<html><body><!-- 副業 in a comment counts for nothing -->"
      "<p>在宅で&#21103;&#26989;&nbsp;始めませんか</p><a href=\"https://x.example/\">登録</a>"
      "</body></html>\r\n";
  // The text part first: its words decide, not the HTML behind it.
  const std::string alternative =
      "Content-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n--b1\r\n" +
      Part("text/plain; charset=UTF-8", "base64", Base64("クレジット現金化なら即日対応。\r\n")) +
      "\r\n--b1\r\n" + Part("text/html; charset=UTF-8", "base64", Base64("<p>hello</p>")) +
      "\r\n--b1--\r\n";
  const std::string plain_alternative =
      "Content-Type: multipart/alternative; boundary=\"b2\"\r\n\r\n--b2\r\n" +
      Part("text/plain; charset=UTF-8", "quoted-printable", "=E4=BC=9A=E8=AD=B0=E3=81=AE=E4=BB=B6\r\n") +
      "\r\n--b2\r\n" +
      Part("text/html; charset=UTF-8", "8bit", "<p>副業</p>\r\n") + "\r\n--b2--\r\n";
  // "副業" with a soft line break inside the second character's bytes.
  const std::string soft_break = "=E5=9C=A8=E5=AE=85=E3=81=A7=E5=89=AF=E6=A5=\r\n=AD=E3=82=92\r\n";
  // The Subject in two encoded words on folded lines, "案" split between them.
  const std::string subject_utf8 = "副業のご案内";
  const std::string split_subject =
      Word(subject_utf8.substr(0, 13)) + "\r\n " + Word(subject_utf8.substr(13));
  // A top cut in the middle of its Base64 text: what is whole is read.
  std::string cut = Base64("この副業で月収百万円。" + std::string(300, ' ') + "ご連絡ください。");
  cut.resize(cut.size() - 7);

  const std::vector<Row> rows = {
      {"Base64 HTML only, From and Subject in encoded words",
       Mail(Word("副業サポート") + " <info@side.example>", Word("【副業】在宅で月30万円"),
            Part("text/html; charset=UTF-8", "base64", Base64(html_ja))),
       kJa, kReadDecodedJapanese, Sjis("副業サポート <info@side.example>"),
       Sjis("【副業】在宅で月30万円")},
      {"quoted-printable with a soft break inside a character",
       Mail("info@side.example", "=?utf-8?q?=E3=81=94=E6=A1=88=E5=86=85?=",
            Part("text/plain; charset=utf-8", "quoted-printable", soft_break)),
       kJa, kReadDecodedJapanese, "info@side.example", Sjis("ご案内")},
      {"8-bit UTF-8 plain text",
       Mail("info@side.example", "hello", Part("text/plain; charset=\"utf-8\"", "8bit", spam_ja)),
       kJa, kReadDecodedJapanese, "", ""},
      {"multipart alternative: the text part is read",
       Mail("cash@loan.example", Word("即日"), alternative), kJa,
       kReadDecodedJapanese, "", Sjis("即日")},
      {"multipart alternative: a harmless text part keeps the mail",
       Mail("colleague@office.example", "meeting", plain_alternative), kKeep,
       kReadDecodedJapanese, "", ""},
      {"encoded words split over folded lines",
       Mail("info@side.example", split_subject,
            Part("text/plain; charset=UTF-8", "base64", Base64("ご確認ください。\r\n"))),
       kKeep, kReadDecodedJapanese, "", Sjis("副業のご案内")},
      {"characters without a CP932 form become blanks",
       Mail(Word("🎁副業🎁") + " <gift@side.example>", Word("🎉当選🎉"),
            Part("text/plain; charset=UTF-8", "base64", Base64("🎁在宅副業🎁で稼ごう\r\n"))),
       kJa, kReadDecodedJapanese, Sjis(" 副業  <gift@side.example>"), Sjis(" 当選 ")},
      {"half-width katakana in the text meet a full-width word",
       Mail("cash@loan.example", "info",
            Part("text/plain; charset=UTF-8", "base64", Base64("ｸﾚｼﾞｯﾄ現金化 即日\r\n"))),
       kJa, kReadDecodedJapanese, "", ""},
      {"a word written in half-width katakana meets full-width text",
       Mail("play@casino.example", "info",
            Part("text/html; charset=UTF-8", "quoted-printable",
                 "<b>=E3=82=AA=E3=83=B3=E3=83=A9=E3=82=A4=E3=83=B3=E3=82=AB=E3=82=B8=E3=83=8E</b>\r\n")),
       kJa, kReadDecodedJapanese, "", ""},
      {"full-width letters in English text",
       Mail("shop@pills.example", "Discount",
            Part("text/plain; charset=UTF-8", "base64", Base64("Buy ｖｉａｇｒａ now\r\n"))),
       kEn, kReadDecodedEnglish, "", ""},
      {"English UTF-8 legitimate mail is analysed as English and kept",
       Mail("Team <team@club.example>", "Practice on Sunday",
            Part("text/plain; charset=UTF-8", "quoted-printable",
                 "See you at the court =E2=80=94 bring water.\r\n")),
       kKeep, kReadDecodedEnglish, "Team <team@club.example>", ""},
      {"a Base64 top cut mid-way",
       Mail("info@side.example", "hi", Part("text/plain; charset=UTF-8", "base64", cut)), kJa,
       kReadDecodedJapanese, "", ""},
      {"UTF-16 with its byte-order mark",
       Mail("info@side.example", "hi",
            Part("text/plain; charset=UTF-16", "base64",
                 Base64(std::string("\xFF\xFE\x28\x57\x85\x5B\x6F\x52\x6D\x69", 10)))),
       kJa, kReadDecodedJapanese, "", ""},
      {"the rejection list meets a decoded display name",
       Mail(Word("迷惑商会") + " <sales@shop.example>", "hi",
            Part("text/plain; charset=UTF-8", "base64", Base64("ごあいさつ\r\n"))),
       kRejected, kReadDecodedJapanese, Sjis("迷惑商会 <sales@shop.example>"), ""},
      {"the acceptance list meets a decoded display name",
       Mail(Word("山田花子") + " <hanako@example.jp>", "hi",
            Part("text/plain; charset=UTF-8", "base64", Base64("副業の話ではありません\r\n"))),
       kKeep, kReadDecodedJapanese, "", ""},
      // A charset the written classes do not know, read by its own codec.
      {"windows-1252 that the written classes call neither",
       Mail("seller@pills.example", "offer",
            Part("text/plain; charset=windows-1252", "7bit", "Cheap viagra \x96 today\r\n")),
       kEn, kReadDecodedEnglish, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MailRecord record;
    const JudgmentResult result = Judge(row.message, true, record);
    EXPECT_STREQ(result.category, CategoryOf(row.outcome));
    EXPECT_EQ(record.read_as, row.read_as);
    if (row.outcome == kJa || row.outcome == kEn || row.outcome == kKeep) {
      if (row.outcome != kKeep || result.analysed) {
        EXPECT_EQ(result.language_class,
                  row.read_as == kReadDecodedJapanese ? kClassJapanese : kClassEnglish);
      }
    }
    if (!row.from.empty()) EXPECT_EQ(std::string(record.from), row.from);
    if (!row.subject.empty()) EXPECT_EQ(std::string(record.subject), row.subject);
  }
}

// Legacy mail keeps its written path with the option on: the same record,
// the same body bytes and the same verdict as with it off.
TEST_F(ModernJudgmentTest, LegacyMailIsReadTheWrittenWay) {
  const std::vector<std::string> messages = {
      Mail("=?ISO-2022-JP?B?GyRCO1RMMhsoQg==?= <a@b.example>", "=?iso-2022-jp?b?GyRCSX47SBsoQg==?=",
           "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n\x1b$BI{6H\x1b(B\r\n"),
      Mail("a@b.example", "x", "Content-Type: text/plain; charset=Shift_JIS\r\n\r\n" +
                                   Sjis("副業の案内") + "\r\n"),
      Mail("a@b.example", "x", "Content-Type: text/plain; charset=us-ascii\r\n\r\nCheap viagra\r\n"),
      Mail("a@b.example", "x", "\r\nno content type at all, plain ASCII\r\n"),
      Mail("a@b.example", "x",
           "Content-Type: text/plain; charset=ISO-8859-1\r\n\r\nCaf\xe9 au lait\r\n"),
  };
  for (const std::string& message : messages) {
    SCOPED_TRACE(message);
    MailRecord on;
    MailRecord off;
    BodyBuffer on_body;
    BodyBuffer off_body;
    MessageFileToTopText(message, on_body);
    MessageFileToTopText(message, off_body);
    on = MailRecord{};
    off = MailRecord{};
    ParseTop(on_body.data(), on_body.text_length, on, converter_, true, state_.european);
    ParseTop(off_body.data(), off_body.text_length, off, converter_, false, state_.european);
    EXPECT_EQ(on.read_as, kReadWritten);
    EXPECT_EQ(std::string(on.from), std::string(off.from));
    EXPECT_EQ(std::string(on.subject), std::string(off.subject));
    ASSERT_EQ(on_body.text_length, off_body.text_length);
    EXPECT_EQ(std::string(on_body.data(), on_body.text_length),
              std::string(off_body.data(), off_body.text_length));
  }
}

// Off, a UTF-8 message is judged the written way: raw encoded words in the
// record, neither Japanese nor English, and the handling of such mail.
TEST_F(ModernJudgmentTest, SwitchedOffUtf8MailIsJudgedTheWrittenWay) {
  const std::string message =
      Mail(Word("副業サポート") + " <info@side.example>", Word("副業"),
           Part("text/html; charset=UTF-8", "base64", Base64("<p>在宅で副業</p>\r\n")));
  MailRecord record;
  JudgmentResult result = Judge(message, false, record);
  EXPECT_EQ(record.read_as, kReadWritten);
  EXPECT_EQ(std::string(record.subject), Word("副業"));
  EXPECT_STREQ(result.category, "");
  EXPECT_FALSE(result.analysed);

  state_.foreign_handling = kHandleDelete;
  result = Judge(message, false, record);
  EXPECT_STREQ(result.category, kCategoryUnclearCharset);
  result = Judge(message, true, record);
  EXPECT_STREQ(result.category, "ja-spam");
}

// The work log holds the decoded From and Subject in its usual lines.
TEST_F(ModernJudgmentTest, TheWorkLogShowsReadableSenderAndSubject) {
  platform::SetClock(nullptr);
  const std::string log_path = prefix_.DataFolderHost() + "/" + kWorkLogName;
  CheckCounters counters;
  const JudgmentEffects effects{&counters, nullptr, true};
  MailRecord record;
  Judge(Mail(Word("副業サポート") + " <info@side.example>", Word("在宅ワーク"),
             Part("text/plain; charset=UTF-8", "base64", Base64("副業のご案内\r\n"))),
        true, record, effects);
  const std::string log = test::ReadHostFile(log_path);
  EXPECT_NE(log.find("(From :" + Sjis("副業サポート <info@side.example>") + ")\r\n"),
            std::string::npos)
      << platform::Cp932ToUtf8(log);
  EXPECT_NE(log.find("(Subject :" + Sjis("在宅ワーク") + ")\r\n"), std::string::npos);
  EXPECT_EQ(log.find("=?"), std::string::npos);
}

// The checker and zvrxctl read the option from ZVRXExt.ini: on when nobody
// set it, and a change is seen at the next read.
TEST_F(ModernJudgmentTest, TheOptionIsReadFromTheExtensionSettingsFile) {
  const auto modern_mail = [] {
    AnalysisState state;
    TakeExtensionChoices(state, LoadExtensionSettings());
    return state.modern_mail;
  };
  EXPECT_TRUE(modern_mail());
  ASSERT_EQ(ChangeExtensionSettings({{kModernMailKey, "off"}}), "");
  EXPECT_FALSE(modern_mail());
  ASSERT_EQ(ChangeExtensionSettings({{kModernMailKey, "on"}}), "");
  EXPECT_TRUE(modern_mail());
}

// The delivered dictionaries fold into a set of the same dictionaries and
// entries, whose half-width katakana are all gone, and the written set is
// left as it was.
TEST(ModernDictionaries, TheDeliveredDataFoldsWhole) {
  test::TempPrefix prefix;
  ASSERT_TRUE(prefix.InstallDeliveredData()) << "build the delivered data first";
  JudgmentSettings judgment{};
  AnalysisState state;
  LoadAnalysisState(state, &judgment);
  const DictionarySet& written = state.scoring.dictionaries;
  const DictionarySet& folded = state.scoring.folded_dictionaries;
  ASSERT_GT(written.count, 0);
  ASSERT_EQ(folded.count, written.count);
  int half_width_written = 0;
  for (int j = 0; j < written.count; ++j) {
    const MethodDictionary& w = written.dictionaries[j];
    const MethodDictionary& f = folded.dictionaries[j];
    ASSERT_EQ(f.entries.size(), w.entries.size());
    ASSERT_EQ(f.items.size(), w.items.size());
    auto half_width = [](const char* bytes, size_t length) {
      for (size_t i = 0; i < length; ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        if (platform::IsCp932LeadByte(b)) {
          ++i;
        } else if (b >= 0xA6 && b <= 0xDF) {
          return true;
        }
      }
      return false;
    };
    for (size_t i = 0; i < w.entries.size(); ++i) {
      if (half_width(w.entries[i].word, w.word_lengths[i])) ++half_width_written;
      EXPECT_FALSE(half_width(f.entries[i].word, f.word_lengths[i]))
          << w.file_name << " " << platform::Cp932ToUtf8(f.entries[i].word);
    }
    for (size_t k = 0; k < w.items.size(); ++k) {
      if (half_width(w.companion.data() + w.items[k].offset, w.items[k].length)) {
        ++half_width_written;
      }
      EXPECT_FALSE(half_width(f.companion.data() + f.items[k].offset, f.items[k].length))
          << w.file_name;
    }
  }
  // The written words still hold the forms legacy text is matched with.
  EXPECT_GT(half_width_written, 0);
}

}  // namespace
}  // namespace zvrx
