// Charsets of today's and yesterday's mail brought to CP932: characters
// without a CP932 form become blanks, cut sequences are dropped.
#include <gtest/gtest.h>

#include <string>

#include "checker/mime/charset_conversion.h"
#include "platform/cp932.h"
#include "tests/support/sjis.h"

namespace zvrx::mime {
namespace {

// Expected texts are written in UTF-8 here and compared in CP932.
using test::Sjis;

TEST(MimeCharsetConversion, Utf8ToCp932TurnsWhatHasNoFormIntoABlank) {
  struct Case {
    const char* rule;
    std::string utf8;
    std::string expected;  // CP932
  };
  const Case cases[] = {
      {"kana and kanji", "お荷物", Sjis("お荷物")},
      {"an emoji has no CP932 form: one blank, never '?'", "今すぐ😀確認", Sjis("今すぐ 確認")},
      {"a Latin letter with an accent has none either", "café", "caf "},
      {"NEC extension (circled digit) and IBM extension (kanji) are kept", "①髙", "\x87\x40\xFB\xFC"},
      {"the wave dash of Mac senders", "10時〜18時", Sjis("10時～18時")},
      {"zero-width characters inside a word are dropped", "ア\u200bカ\u200cウ\u200dン\u2060ト\ufeff",
       Sjis("アカウント")},
      {"a soft hyphen is dropped", "pay\u00adpal", "paypal"},
      {"a byte that starts no sequence is a blank", "a\xFF" "b", "a b"},
      {"a sequence broken in the middle is a blank", "a\xE3\x81" "b", "a b"},
      {"a sequence cut off by the end is dropped", "あ\xE3\x81", Sjis("あ")},
      {"'?' in an address stays", "https://example.test/?id=1", "https://example.test/?id=1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToCp932Blank(c.utf8), c.expected) << c.rule;
  }
}

TEST(MimeCharsetConversion, CharsetNamesAsMailWritesThem) {
  struct Case {
    const char* name;
    Charset expected;
  };
  const Case cases[] = {
      {"UTF-8", Charset::kUtf8},          {"\"utf-8\"", Charset::kUtf8},
      {"utf-8*ja", Charset::kUtf8},       {"UTF-16", Charset::kUtf16},
      {"utf-16le", Charset::kUtf16Le},    {"UTF-16BE", Charset::kUtf16Be},
      {"ISO-2022-JP", Charset::kIso2022Jp}, {"Shift_JIS", Charset::kShiftJis},
      {"windows-31j", Charset::kShiftJis}, {"EUC-JP", Charset::kEucJp},
      {"us-ascii", Charset::kUndeclared}, {"", Charset::kUndeclared},
      {"ISO-8859-1", Charset::kLatin1},   {"windows-1252", Charset::kWindows1252},
      {"GB2312", Charset::kUnknown},      {"koi8-r", Charset::kUnknown},
      {"utf-8xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", Charset::kUnknown},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CharsetFromName(c.name), c.expected) << c.name;
  }
}

TEST(MimeCharsetConversion, UndeclaredBytesShowWhatTheyAre) {
  EXPECT_EQ(SniffCharset("plain text"), Charset::kUtf8);
  EXPECT_EQ(SniffCharset("\xE3\x81\x82"), Charset::kUtf8);
  EXPECT_EQ(SniffCharset("\x1b$B$3$s\x1b(B"), Charset::kIso2022Jp);
  EXPECT_EQ(SniffCharset("\x82\xA0\x82\xA2"), Charset::kUnknown);  // Shift-JIS
  EXPECT_EQ(SniffCharset("\xA4\xA2\xA4\xA4"), Charset::kUnknown);  // EUC-JP
}

TEST(MimeCharsetConversion, EveryCharsetReachesCp932) {
  struct Case {
    const char* rule;
    std::string bytes;
    Charset charset;
    std::string expected;  // CP932
  };
  const Case cases[] = {
      {"UTF-16 with a little-endian mark", std::string("\xFF\xFE\x42\x30\x44\x30", 6),
       Charset::kUtf16, Sjis("あい")},
      {"UTF-16 with a big-endian mark", std::string("\xFE\xFF\x30\x42\x30\x44", 6), Charset::kUtf16,
       Sjis("あい")},
      {"UTF-16 without a mark is big-endian", std::string("\x30\x42\x00\x41", 4), Charset::kUtf16,
       Sjis("あA")},
      {"UTF-16LE declared, its mark dropped", std::string("\xFF\xFE\x41\x00", 4),
       Charset::kUtf16Le, "A"},
      {"UTF-16 surrogate pair (an emoji): a blank",
       std::string("\xD8\x3D\xDE\x00\x00\x41", 6), Charset::kUtf16Be, " A"},
      {"UTF-16 lone surrogate: a blank", std::string("\xDC\x00\x00\x41", 4), Charset::kUtf16Be,
       " A"},
      {"UTF-16 cut in a unit or a pair: dropped", std::string("\x00\x41\xD8\x3D\xDE", 5),
       Charset::kUtf16Be, "A"},
      {"ISO-2022-JP", "\x1b$B$3$s\x1b(B!", Charset::kIso2022Jp, Sjis("こん!")},
      {"ISO-2022-JP with NEC row 13 (circled one)", "\x1b$B-!\x1b(B", Charset::kIso2022Jp,
       "\x87\x40"},
      {"ISO-2022-JP katakana set", "\x1b(I1\x1b(B", Charset::kIso2022Jp, "\xB1"},
      {"ISO-2022-JP pair cut off", "\x1b$B$3$", Charset::kIso2022Jp, Sjis("こ")},
      {"ISO-2022-JP escape cut off", "ab\x1b$", Charset::kIso2022Jp, "ab"},
      {"Shift-JIS is CP932 already", "\x82\xA0\x87\x40", Charset::kShiftJis, "\x82\xA0\x87\x40"},
      {"EUC-JP", "\xA4\xA2\xA4\xA4", Charset::kEucJp, Sjis("あい")},
      {"Latin-1: a letter without a CP932 form is a blank", "caf\xE9", Charset::kLatin1, "caf "},
      {"Latin-1: the multiplication sign has one", "2\xD7" "3", Charset::kLatin1, Sjis("2×3")},
      {"Windows-1252 quotes", "\x93Hi\x94", Charset::kWindows1252, Sjis("“Hi”")},
      {"undeclared UTF-8", "\xE3\x81\x82", Charset::kUndeclared, Sjis("あ")},
      {"undeclared ISO-2022-JP", "\x1b$B$3\x1b(B", Charset::kUndeclared, Sjis("こ")},
      {"a charset we do not know is left as it is", "\xB0\xA1", Charset::kUnknown, "\xB0\xA1"},
      {"undeclared legacy bytes are left as they are", "\x82\xA0", Charset::kUndeclared,
       "\x82\xA0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToCp932(c.bytes, c.charset), c.expected) << c.rule;
  }
}

TEST(MimeCharsetConversion, ToUtf8RefusesWhatItDoesNotKnow) {
  std::string out = "old";
  EXPECT_FALSE(ToUtf8("\xB0\xA1", Charset::kUnknown, out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(ToUtf8("\x82\xA0", Charset::kUndeclared, out));
  EXPECT_TRUE(ToUtf8("a\xFF" "b", Charset::kUtf8, out));
  EXPECT_EQ(out, "a b");  // malformed UTF-8 is cleaned before anything reads it
}

}  // namespace
}  // namespace zvrx::mime
