// Encoded-word decoding and the case-folding search it relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/analysis/encoded_words.h"
#include "checker/analysis/find_no_case.h"

namespace zvrx {
namespace {

TEST(FindNoCase, FoldsAsciiLettersOnlyAndFindsTheFirstMatch) {
  struct Case {
    const char* text;
    const char* pattern;
    int expected;  // offset, -1 for none
  };
  const Case cases[] = {
      {"Reply-To: a\r\nTo: b", "to: ", 6},        // inside a longer name, first match wins
      {"SUBJECT: x", "Subject: ", 0},
      {"xx=?iso-2022-jp?b?", "=?ISO-2022-JP?B?", 2},
      {"abc", "abcd", -1},                           // pattern runs past the text's end
      {"abc", "", 0},
      {"", "a", -1},
      {"\xc1\xe1", "\xe1", 1},                       // bytes from 0x80 are compared as they are
      {"[@", "{`", -1},                              // only A-Z fold, not the bytes around them
      {"ab\0cd", "cd", -1},                          // the text ends at its NUL
  };
  for (const Case& c : cases) {
    const char* found = FindNoCase(c.text, c.pattern);
    const int offset = found ? static_cast<int>(found - c.text) : -1;
    EXPECT_EQ(offset, c.expected) << "text \"" << c.text << "\", pattern \"" << c.pattern << "\"";
  }
}

TEST(StartsWithNoCase, FoldsTheTextsAsciiLettersAndStaysInsideIt) {
  struct Case {
    std::string_view text;
    std::string_view prefix;  // lower case
    bool starts;
  };
  const Case cases[] = {
      {"Received: from", "received:", true},
      {"X-Scan", "x-", true},
      {"wrote:", "wrote:", true},
      {"Rec", "received:", false},                   // the text ends first
      {std::string_view("x\0-", 3), "x-", false},    // a NUL inside is a byte like any other
      {"[@", "{`", false},                           // only A-Z fold
      {"anything", "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StartsWithNoCase(c.text, c.prefix), c.starts) << c.text << " / " << c.prefix;
  }
}

// Runs the decoder over a text that ends with its NUL at its length.
std::string Decode(const std::string& input) {
  std::vector<char> buffer(input.begin(), input.end());
  buffer.push_back('\0');
  int length = static_cast<int>(input.size());
  int end = length;
  DecodeEncodedWords(buffer.data(), length, end);
  EXPECT_EQ(length, end);
  EXPECT_EQ(buffer[static_cast<size_t>(end)], '\0');
  return std::string(buffer.data(), static_cast<size_t>(length));
}

TEST(DecodeEncodedWords, DecodesOnlyValidIso2022JpBase64Words) {
  struct Case {
    const char* rule;
    std::string input;
    std::string expected;
  };
  const std::string greeting_jis = "\x1b$B$3$s$K$A$O\x1b(B";  // こんにちは in ISO-2022-JP
  const Case cases[] = {
      {"the five-character greeting, charset and B in lower case",
       "S: =?iso-2022-jp?b?GyRCJDMkcyRLJEEkTxsoQg==?=!", "S: " + greeting_jis + "!"},
      {"every valid word of the text is decoded",
       "=?ISO-2022-JP?B?QUJD?= =?ISO-2022-JP?B?REVG?=", "ABC DEF"},
      {"a blank inside the Base64 text stops all decoding",
       "=?ISO-2022-JP?B?QU JD?= =?ISO-2022-JP?B?REVG?=",
       "=?ISO-2022-JP?B?QU JD?= =?ISO-2022-JP?B?REVG?="},
      {"a line break inside the Base64 text is invalid too",
       "=?ISO-2022-JP?B?QUJD\r\n REVG?=", "=?ISO-2022-JP?B?QUJD\r\n REVG?="},
      {"an empty word stays and stops decoding",
       "=?ISO-2022-JP?B?" "?= =?ISO-2022-JP?B?QUJD?=", "=?ISO-2022-JP?B?" "?= =?ISO-2022-JP?B?QUJD?="},
      {"a '?' inside ends the word at the first ?= and makes it invalid",
       "=?ISO-2022-JP?B?QU?D?=", "=?ISO-2022-JP?B?QU?D?="},
      {"Q encoding is not decoded, and does not stop the B words after it",
       "=?ISO-2022-JP?Q?abc?= =?ISO-2022-JP?B?QUJD?=", "=?ISO-2022-JP?Q?abc?= ABC"},
      {"other charsets are not decoded",
       "=?UTF-8?B?QUJD?= =?ISO-2022-JP?B?QUJD?=", "=?UTF-8?B?QUJD?= ABC"},
      {"no closing ?= leaves the text as it is", "=?ISO-2022-JP?B?QUJD", "=?ISO-2022-JP?B?QUJD"},
      {"the closing ?= is looked for only behind the opening sequence",
       "=?ISO-2022-JP?B?=QUJD?=", "=?ISO-2022-JP?B?=QUJD?="},
      {"pad in the fourth place: a final group of three", "=?ISO-2022-JP?B?QUI=?=", "AB"},
      {"pad in the third place: a final group of two", "=?ISO-2022-JP?B?QQ==?=", "A"},
      {"pad in the second place: one byte of six bits shifted by two", "=?ISO-2022-JP?B?Q===?=",
       "@"},
      {"unpadded final groups of three, two and one",
       "=?ISO-2022-JP?B?QUJDQUI?=|=?ISO-2022-JP?B?QUJDQQ?=|=?ISO-2022-JP?B?QUJDR?=",
       "ABCAB|ABCA|ABCD"},
      {"a pad ends the decoding; what follows is ignored", "=?ISO-2022-JP?B?QQ==QUJD?=", "A"},
      {"decoded bytes are never searched again",
       "=?ISO-2022-JP?B?PT9JU08tMjAyMi1KUD9CP1FVSkQ/PQ==?=", "=?ISO-2022-JP?B?QUJD?="},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.input), c.expected) << c.rule;
}

TEST(DecodeEncodedWords, KeepsTheTopTextsLastLineFeedBehindTheLength) {
  // The TOP text counts up to its last CR; its LF and NUL lie behind.
  std::string top = "Subject: =?ISO-2022-JP?B?QUJD?=\r\n";
  std::vector<char> buffer(top.begin(), top.end());
  buffer.push_back('\0');
  int length = static_cast<int>(top.size()) - 1;
  int end = static_cast<int>(top.size());
  DecodeEncodedWords(buffer.data(), length, end);
  EXPECT_EQ(std::string(buffer.data()), "Subject: ABC\r\n");
  EXPECT_EQ(length, 13);
  EXPECT_EQ(end, 14);
}

TEST(DecodeEncodedWords, DecodesAWordLongerThanTheScratchAreaInPieces) {
  // 600 decoded bytes, far beyond the 256-byte scratch area, in a buffer
  // exactly as long as the text so that any stray write is caught.
  std::string plain;
  for (int i = 0; i < 600; ++i) plain.push_back(static_cast<char>('a' + i % 26));
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string base64;
  for (size_t i = 0; i < plain.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(plain[i]) << 16) |
                       (static_cast<unsigned char>(plain[i + 1]) << 8) |
                       static_cast<unsigned char>(plain[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) base64.push_back(kAlphabet[(v >> shift) & 63]);
  }
  ASSERT_GT(plain.size(), static_cast<size_t>(kEncodedWordScratchSize));
  const std::string input =
      "<=?ISO-2022-JP?B?" + base64 + "?=><=?ISO-2022-JP?B?QUJD?=>";
  EXPECT_EQ(Decode(input), "<" + plain + "><ABC>");
}

}  // namespace
}  // namespace zvrx
