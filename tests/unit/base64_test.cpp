// Base64 bodies as the top holds them: broken into lines, sometimes with
// blanks, often cut off by the top's end.
#include <gtest/gtest.h>

#include <string>

#include "checker/mime/base64.h"

namespace zvrx::mime {
namespace {

TEST(MimeBase64, DecodesWhatIsCompleteAndDropsABrokenTail) {
  struct Case {
    const char* rule;
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"plain groups", "QUJDREVG", "ABCDEF"},
      {"UTF-8 text", "44GT44KT44Gr44Gh44Gv", "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF"},
      {"CR LF line breaks between and inside groups", "QUJD\r\nREVG\r\nR0g=\r\n", "ABCDEFGH"},
      {"a line break inside a group", "QU\r\nJD", "ABC"},
      {"LF alone, blanks and tabs are skipped", "QU JD\n\tRE VG", "ABCDEF"},
      {"cut after two characters of a group: its whole byte", "QUJDRA", "ABCD"},
      {"cut after three characters: its two whole bytes", "QUJDREU", "ABCDE"},
      {"cut after one character: a broken tail, dropped", "QUJDR", "ABC"},
      {"one pad finishes a group of three", "QUI=", "AB"},
      {"two pads finish a group of two", "QQ==", "A"},
      {"nothing after a pad is data", "QQ==QUJD", "A"},
      {"a delimiter line ends the data", "QUJD\r\n--b1--\r\n", "ABC"},
      {"any other character ends the data", "QUJD*REVG", "ABC"},
      {"empty", "", ""},
      {"only line breaks", "\r\n\r\n", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeBase64(c.input), c.expected) << c.rule;
  }
}

TEST(MimeBase64, NeverLongerThanThreeQuartersOfTheText) {
  // Every length from 0 to 16, with and without line breaks.
  std::string text;
  for (int n = 0; n <= 16; ++n) {
    const std::string decoded = DecodeBase64(text);
    EXPECT_LE(decoded.size(), text.size() * 3 / 4) << n;
    text += n % 5 == 4 ? "\r\n" : "w";
  }
}

}  // namespace
}  // namespace zvrx::mime
