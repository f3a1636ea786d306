// Quoted-printable bodies and Q words: escapes, soft line breaks, a cut tail.
#include <gtest/gtest.h>

#include <string>

#include "checker/mime/quoted_printable.h"

namespace zvrx::mime {
namespace {

TEST(MimeQuotedPrintable, DecodesEscapesJoinsSoftBreaksAndDropsACutTail) {
  struct Case {
    const char* rule;
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"an escape is its byte", "caf=C3=A9", "caf\xC3\xA9"},
      {"lower-case hex digits are taken", "=e3=81=82", "\xE3\x81\x82"},
      {"a soft break with CR LF joins the lines", "abc=\r\ndef", "abcdef"},
      {"a soft break with LF alone", "abc=\ndef", "abcdef"},
      {"blanks between the = and the line break", "abc= \t\r\ndef", "abcdef"},
      {"a soft break inside a UTF-8 character",
       "=E3=81=\r\n=82", "\xE3\x81\x82"},
      {"hard line breaks stay", "a\r\nb\nc", "a\r\nb\nc"},
      {"an = that starts no escape is text", "=ZZ x=G1", "=ZZ x=G1"},
      {"an encoded = sign", "1+1=3D2", "1+1=2"},
      {"cut after the =", "abc=", "abc"},
      {"cut after the first hex digit", "abc=E", "abc"},
      {"cut inside a soft break's blanks", "abc=  ", "abc"},
      {"cut inside a character: the whole bytes stay", "=E3=81=8", "\xE3\x81"},
      {"an underscore is itself in a body", "a_b", "a_b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeQuotedPrintable(c.input), c.expected) << c.rule;
  }
}

TEST(MimeQuotedPrintable, QWordsTakeTheUnderscoreAsABlank) {
  EXPECT_EQ(DecodeQEncoding("a_b=5F=E3=81=82"), "a b_\xE3\x81\x82");
}

}  // namespace
}  // namespace zvrx::mime
