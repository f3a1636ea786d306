// The whole decoding of a top of today's mail: readable From and Subject,
// the text to analyse in CP932, its class, and the bounds it keeps.
#include <gtest/gtest.h>

#include <string>

#include "checker/analysis/mail_record.h"
#include "checker/core/pop3_replies.h"
#include "checker/mime/base64.h"
#include "checker/mime/modern_mail.h"
#include "platform/cp932.h"
#include "tests/support/sjis.h"

namespace zvrx::mime {
namespace {

static_assert(kMaxTopSize == static_cast<size_t>(kBodyTextSize));
static_assert(kMaxHeaderTextSize == static_cast<size_t>(kMailFieldSize - 1));

using test::Sjis;

// A Japanese phishing notice in UTF-8 Base64, its Subject split over folded lines.
const std::string kJapaneseBase64 =
    "Return-Path: <notice@secure-check.example>\r\n"
    "From: =?UTF-8?B?5qCq5byP5Lya56S+44K144Oz44OX44Or5ZWG5LqL?= <notice@secure-check.example>\r\n"
    "To: user@example.ne.jp\r\n"
    "Subject: =?UTF-8?B?44CQ6YeN6KaB44CR44Ki44Kr44Km44Oz44OI44GM?=\r\n"
    " =?UTF-8?B?5YGc5q2i44GV44KM44G+44GX44Gf?=\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: text/plain; charset=\"UTF-8\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "44GK5a6i5qeY44Gu44Ki44Kr44Km44Oz44OI44GM5LiA5pmC55qE44Gr5YGc5q2i44GV44KM44G+\r\n"
    "44GX44Gf44CCDQoyNOaZgumWk+S7peWGheOBq+OBlOeiuuiqjeOBj+OBoOOBleOBhOOAgg0KaHR0\r\n"
    "cHM6Ly9zZWN1cmUtY2hlY2suZXhhbXBsZS9sb2dpbg0K\r\n";

// An English delivery scam, HTML only, quoted-printable, in a multipart.
const std::string kEnglishHtml =
    "From: \"Parcel Service\" <track@parcel-fee.example>\r\n"
    "Subject: Your parcel is on hold\r\n"
    "Content-Type: multipart/alternative; boundary=\"=_alt_01\"\r\n"
    "\r\n"
    "--=_alt_01\r\n"
    "Content-Type: text/html; charset=utf-8\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n"
    "\r\n"
    "<html><head><style>p{margin:0}</style></head><body><p>Dear customer,</p><p>=\r\n"
    "Your parcel is on hold. Pay the &pound;1.99 fee:<br><a href=3D\"https://parc=\r\n"
    "el-fee.example/pay?id=3D7\">Pay now</a></p><!-- ref 8812 --></body></html>\r\n"
    "--=_alt_01--\r\n";

TEST(MimeModernMail, JapaneseBase64MailIsMadeReadableAndFolded) {
  const ModernMail mail = DecodeModernTop(kJapaneseBase64);
  EXPECT_EQ(mail.from, Sjis("株式会社サンプル商事 <notice@secure-check.example>"));
  EXPECT_EQ(mail.subject, Sjis("【重要】アカウントが停止されました"));
  EXPECT_TRUE(mail.text_found);
  EXPECT_FALSE(mail.html);
  EXPECT_TRUE(mail.charset_known);
  EXPECT_EQ(mail.language, LanguageClass::kJapanese);
  EXPECT_EQ(mail.body, Sjis("お客様のアカウントが一時的に停止されました。\r\n"
                            "２４時間以内にご確認ください。\r\n"
                            "https://secure-check.example/login\r\n"));
}

TEST(MimeModernMail, EnglishHtmlMailBecomesTextWithItsLinkTarget) {
  const ModernMail mail = DecodeModernTop(kEnglishHtml);
  EXPECT_EQ(mail.from, "\"Parcel Service\" <track@parcel-fee.example>");
  EXPECT_EQ(mail.subject, "Your parcel is on hold");
  EXPECT_TRUE(mail.html);
  EXPECT_EQ(mail.language, LanguageClass::kEnglish);
  EXPECT_EQ(mail.body, Sjis("Dear customer,\r\nYour parcel is on hold. Pay the £1.99 fee:\r\n"
                            "Pay now https://parcel-fee.example/pay?id=7\r\n"));
}

TEST(MimeModernMail, OtherCharsetsOfTheChosenPart) {
  struct Case {
    const char* rule;
    std::string top;
    bool charset_known;
    LanguageClass language;
    std::string body;
  };
  const Case cases[] = {
      {"UTF-16 with its mark, Base64, half-width katakana folded",
       "Content-Type: text/plain; charset=UTF-16\r\nContent-Transfer-Encoding: base64\r\n\r\n"
       "//5+/3D/mf+LlaxQLU4=",
       true, LanguageClass::kJapanese, Sjis("セール開催中")},
      {"declared ISO-2022-JP", "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n\x1b$B$*CN$i$;\x1b(B\r\n",
       true, LanguageClass::kJapanese, Sjis("お知らせ\r\n")},
      {"English text with full-width letters", "Content-Type: text/plain; charset=utf-8\r\n\r\nＦＲＥＥ ｇｉｆｔ",
       true, LanguageClass::kEnglish, "FREE gift"},
      {"undeclared legacy Shift-JIS is left for the written judgment",
       "Subject: x\r\n\r\n\x82\xA8\x92\x6D\x82\xE7\x82\xB9\xB1", false, LanguageClass::kEnglish,
       "\x82\xA8\x92\x6D\x82\xE7\x82\xB9\xB1"},
      {"HTML in a charset we do not know: tags go, bytes stay",
       "Content-Type: text/html; charset=GB2312\r\n\r\n<p>\xC4\xE3\xBA\xC3</p>", false,
       LanguageClass::kEnglish, "\xC4\xE3\xBA\xC3\r\n"},
      {"no text part at all", "Content-Type: image/png\r\n\r\niVBORw0KGgo=", true,
       LanguageClass::kEnglish, ""},
  };
  for (const Case& c : cases) {
    const ModernMail mail = DecodeModernTop(c.top);
    EXPECT_EQ(mail.charset_known, c.charset_known) << c.rule;
    if (c.charset_known) {
      EXPECT_EQ(mail.language, c.language) << c.rule;
    }
    EXPECT_EQ(mail.body, c.body) << c.rule;
  }
}

TEST(MimeModernMail, AJapaneseSubjectMakesTheMailJapanese) {
  const ModernMail mail = DecodeModernTop(
      "Subject: =?UTF-8?B?44GK55+l44KJ44Gb?=\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n"
      "See ID 24\r\n");
  EXPECT_EQ(mail.language, LanguageClass::kJapanese);
}

TEST(MimeModernMail, ATopCutInsideBase64GivesWhatIsComplete) {
  const std::string header =
      "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n";
  const std::string encoded =
      "44GK6I2354mp44Gu44GK5bGK44GR44Gr44GC44GM44KK44G+44GX44Gf44GM5LiN5Zyo44Gu44Gf\r\n"
      "44KB5oyB44Gh5biw44KK44G+44GX44Gf44CC44GU56K66KqN44KS44GK6aGY44GE44GX44G+44GZ\r\n"
      "44CC\r\n";
  const std::string full = DecodeModernTop(header + encoded).body;
  ASSERT_EQ(full, Sjis("お荷物のお届けにあがりましたが不在のため持ち帰りました。ご確認をお願いします。"));
  size_t previous = 0;
  for (size_t cut = 0; cut <= encoded.size(); ++cut) {
    const std::string body = DecodeModernTop(header + encoded.substr(0, cut)).body;
    EXPECT_TRUE(full.starts_with(body)) << "cut at " << cut;
    EXPECT_GE(body.size(), previous) << "cut at " << cut;
    // Never more than one character (three Base64 groups) behind what is there.
    const size_t complete_bytes = DecodeBase64(encoded.substr(0, cut)).size();
    EXPECT_GE(body.size() * 3 / 2 + 3, complete_bytes) << "cut at " << cut;
    previous = body.size();
  }
}

TEST(MimeModernMail, OutputStaysWithinItsBounds) {
  // Folding and Latin-1 turn one byte into two; the body still never
  // outgrows the top, and ends on a whole character.
  const std::string kana_top = "Content-Type: text/plain; charset=Shift_JIS\r\n\r\n" +
                               std::string(6000, '\xB1');
  const std::string latin_top = "Content-Type: text/plain; charset=ISO-8859-1\r\n\r\n" +
                                std::string(6001, '\xD7');
  for (const std::string& top : {kana_top, latin_top}) {
    const ModernMail mail = DecodeModernTop(top);
    EXPECT_LE(mail.body.size(), top.size());
    EXPECT_GT(mail.body.size(), top.size() - 2);
    EXPECT_EQ(platform::Cp932Prefix(mail.body, mail.body.size()).size(), mail.body.size());
  }

  // Only the first 20,000 bytes of a top are read.
  const std::string long_top = "Content-Type: text/plain\r\n\r\n" + std::string(30000, 'a');
  EXPECT_EQ(DecodeModernTop(long_top).body.size(), kMaxTopSize - 28);

  // Header texts fit a record field, cut before a character that would not fit.
  std::string subject = "a";
  for (int i = 0; i < 200; ++i) subject += "あ";
  const ModernMail mail = DecodeModernTop("Subject: " + subject + "\r\nFrom: " + subject + "\r\n\r\n");
  EXPECT_EQ(mail.subject.size(), 253u);  // "a" and 126 characters of two bytes
  EXPECT_EQ(mail.from.size(), 253u);
  EXPECT_EQ(mail.subject.substr(0, 3), Sjis("aあ"));
}

TEST(MimeModernMail, HostileTopsStayBounded) {
  const std::string tops[] = {
      "",
      "\r\n",
      "Content-Type: multipart/mixed; boundary=\"\"\r\n\r\n--\r\n\r\nx",
      "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n--b\r\n--b",
      "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n=",
      "Content-Type: text/html\r\n\r\n<a href=\"" + std::string(5000, 'x'),
      "Subject: " + std::string(3000, '=') + "?\r\n\r\n",
      "Subject: =?UTF-8?B?" + std::string(5000, 'A') + "\r\n\r\n",
  };
  for (const std::string& top : tops) {
    const ModernMail mail = DecodeModernTop(top);
    EXPECT_LE(mail.body.size(), top.size());
    EXPECT_LE(mail.subject.size(), kMaxHeaderTextSize);
  }
}

}  // namespace
}  // namespace zvrx::mime
