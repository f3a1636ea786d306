// From and Subject of today's mail: encoded words in UTF-8 and the legacy
// charsets, split over folded lines, decoded to readable CP932.
#include <gtest/gtest.h>

#include <string>

#include "checker/mime/header_text.h"
#include "checker/mime/mime_structure.h"
#include "platform/cp932.h"
#include "tests/support/sjis.h"

namespace zvrx::mime {
namespace {

using test::Sjis;

TEST(MimeHeaderText, DecodesEncodedWordsToCp932) {
  struct Case {
    const char* rule;
    std::string value;
    std::string expected;  // CP932
  };
  const Case cases[] = {
      {"a UTF-8 B word", "=?UTF-8?B?44GK6I2354mp44Gu44GK5bGK44GR?=", Sjis("お荷物のお届け")},
      {"a UTF-8 Q word, lower case", "=?utf-8?q?=E3=81=82_x?=", Sjis("あ x")},
      {"adjacent words are joined without the blank between them",
       "=?UTF-8?B?44GK6I2354mp?= =?UTF-8?B?44Gu44GK5bGK44GR?=", Sjis("お荷物のお届け")},
      {"a tab between words too", "=?UTF-8?B?44GC?=\t=?UTF-8?B?44GE?=", Sjis("あい")},
      {"a character split between two words comes out whole",
       "=?UTF-8?B?44GC4w==?= =?UTF-8?B?gYQ=?=", Sjis("あい")},
      {"text around words keeps its blanks", "Re: =?UTF-8?B?44GC?= (2)", Sjis("Re: あ (2)")},
      {"an ISO-2022-JP word", "=?ISO-2022-JP?B?GyRCJDMkcxsoQg==?=", Sjis("こん")},
      {"adjacent words of two charsets are joined too",
       "=?ISO-2022-JP?B?GyRCJDMkcxsoQg==?= =?UTF-8?B?44Gr?=", Sjis("こんに")},
      {"a Shift_JIS word", "=?Shift_JIS?B?gqA=?=", Sjis("あ")},
      {"an emoji in a word becomes a blank", "=?UTF-8?B?8J+YgOW9k+mBuA==?=", Sjis(" 当選")},
      {"a word in a charset we do not know stays as written", "=?GB2312?B?QUJD?= x",
       "=?GB2312?B?QUJD?= x"},
      {"an unclosed word stays as written", "=?UTF-8?B?QUJD", "=?UTF-8?B?QUJD"},
      {"an unknown encoding letter stays as written", "=?UTF-8?X?QUJD?=", "=?UTF-8?X?QUJD?="},
      {"a blank inside a word makes it none", "=?UTF-8?B?QU JD?=", "=?UTF-8?B?QU JD?="},
      {"raw UTF-8 in the header", "お知らせ <info@example.jp>", Sjis("お知らせ <info@example.jp>")},
      {"raw ISO-2022-JP in the header", "\x1b$B$3$s\x1b(B", Sjis("こん")},
      {"raw Shift-JIS stays as it is", "\x82\xA0", "\x82\xA0"},
      {"plain ASCII", "Your account", "Your account"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeHeaderText(c.value), c.expected) << c.rule;
  }
}

TEST(MimeHeaderText, WordsSplitOverFoldedLinesAreJoined) {
  const std::string header =
      "From: =?UTF-8?B?5qW95aSp5biC5aC0?= <notice@rakuichi.example>\r\n"
      "Subject: =?UTF-8?B?44CQ6YeN6KaB44CR44Ki44Kr44Km44Oz44OI44GM?=\r\n"
      " =?UTF-8?B?5YGc5q2i44GV44KM44G+44GX44Gf?=\r\n"
      "\t=?UTF-8?Q?=EF=BC=88=E8=87=B3=E6=80=A5=EF=BC=89?=\r\n"
      "To: user@example.ne.jp\r\n";
  std::string subject;
  ASSERT_TRUE(FindHeaderField(header, "subject", subject));
  EXPECT_EQ(DecodeHeaderText(subject), Sjis("【重要】アカウントが停止されました（至急）"));
  std::string from;
  ASSERT_TRUE(FindHeaderField(header, "From", from));
  EXPECT_EQ(DecodeHeaderText(from), Sjis("楽天市場 <notice@rakuichi.example>"));
}

}  // namespace
}  // namespace zvrx::mime
