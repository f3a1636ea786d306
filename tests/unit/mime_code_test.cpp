// Code detection and the in-place conversion to Shift-JIS.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "checker/analysis/code_detection.h"
#include "checker/analysis/to_shift_jis.h"

namespace zvrx {
namespace {

const char* CodeName(TextCode code) {
  switch (code) {
    case TextCode::kNone: return "none";
    case TextCode::kJis: return "JIS";
    case TextCode::kEucJp: return "EUC-JP";
    case TextCode::kShiftJis: return "Shift-JIS";
  }
  return "?";
}

TEST(DetectCode, ClassifiesByTheFirstTellingByte) {
  struct Case {
    std::string text;
    TextCode expected;
    const char* rule;
  };
  const Case cases[] = {
      {"Subject: hello\r\n", TextCode::kNone, "7-bit text"},
      {"a\x1b$Bxx", TextCode::kJis, "ESC $ B"},
      {"a\x1b$@xx", TextCode::kJis, "ESC $ @"},
      {"a\x1b(Jxx", TextCode::kJis, "ESC ( J"},
      {"a\x1b(Bxx", TextCode::kJis, "ESC ( B"},
      {"abc\x1b$", TextCode::kJis, "fewer than two bytes after ESC"},
      {"abc\x1b$(", TextCode::kJis, "ESC $ ( at the end"},
      {"a\x1b$(Bxx", TextCode::kJis, "ESC $ ( B"},
      {"a\x1b$(Dxx", TextCode::kNone, "ESC $ ( D is passed over"},
      {"a\x1b$(D\x82\xa0", TextCode::kShiftJis, "the scan goes on after ESC $ ( D"},
      {"a\x1b(I12", TextCode::kNone, "another pair: passed over with its ESC"},
      {"a\x1b)\x82" "A", TextCode::kNone, "the three bytes of another sequence are skipped whole"},
      {"\x82\xa0", TextCode::kShiftJis, "lead 0x80-0x9F"},
      {"\x8e\xb1", TextCode::kEucJp, "0x8E pair is EUC-like"},
      {"\xa0\xa1 \xff\xa1", TextCode::kNone, "0xA0 and 0xFF pairs are skipped"},
      {"\xe0\xa1\xed\xa1", TextCode::kEucJp, "pairs led by 0xE0-0xED are EUC-like"},
      {"\xb1\x41", TextCode::kShiftJis, "0xA1-0xDF before a byte below 0xA0"},
      {"\xb1\xb2", TextCode::kEucJp, "0xA1-0xDF before a byte from 0xA0"},
      {"\xee\xa1\x82\xa0", TextCode::kEucJp, "0xEE-0xFE decide at once"},
      {"\xe0\xa1\x82\xa0", TextCode::kShiftJis, "Shift-JIS found after EUC-like pairs"},
      {"abc\xb1", TextCode::kShiftJis, "0xA1-0xDF as the last byte"},
  };
  for (const Case& c : cases) {
    ShiftJisConverter converter;
    const TextCode code = DetectCode(c.text.data(), static_cast<int>(c.text.size()), converter);
    EXPECT_EQ(code, c.expected) << c.rule << ": got " << CodeName(code);
  }
}

TEST(DetectCode, StopsAtTheLengthAndResetsTheTwoByteModeAtEveryEsc) {
  ShiftJisConverter converter;
  converter.two_byte_mode = true;
  const std::string text = "ab\x1b(Icd\x82\xa0";
  EXPECT_EQ(DetectCode(text.data(), 7, converter), TextCode::kNone);
  EXPECT_FALSE(converter.two_byte_mode);
}

std::string Convert(const std::string& input, TextCode code) {
  std::vector<char> buffer(input.begin(), input.end());
  buffer.push_back('\x7f');  // a guard: only JIS and EUC texts get a new NUL
  ShiftJisConverter converter;
  const int length = ConvertToShiftJis(buffer.data(), static_cast<int>(input.size()), code, converter);
  EXPECT_LE(length, static_cast<int>(input.size()));
  if (code == TextCode::kJis || code == TextCode::kEucJp) {
    EXPECT_EQ(buffer[static_cast<size_t>(length)], '\0');
  } else {
    EXPECT_EQ(buffer.back(), '\x7f');
  }
  return std::string(buffer.data(), static_cast<size_t>(length));
}

TEST(ConvertToShiftJis, JisTextsBecomeShiftJisInPlace) {
  struct Case {
    const char* rule;
    std::string input;
    std::string expected;
  };
  const std::string ko = "\x82\xb1";  // こ
  const Case cases[] = {
      {"the greeting", "\x1b$B$3$s$K$A$O\x1b(B!",
       "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd!"},  // こんにちは!
      {"ESC $ @ switches on too", "\x1b$@$3\x1b(J.", ko + "."},
      {"ESC $ ( B switches on and is removed", "\x1b$(B$3\x1b(B", ko},
      {"ESC $ ( D stays as its four bytes", "\x1b$B$3\x1b(B \x1b$(Dyz", ko + " \x1b$(Dyz"},
      {"another three-byte sequence stays", "\x1b(I123", "\x1b(I123"},
      {"line breaks and blanks inside a two-byte run are copied", "\x1b$B$3\r\n $3\x1b(B",
       ko + "\r\n " + ko},
      {"8-bit katakana inside a two-byte run is copied", "\x1b$B\xb1$3\x1b(B", "\xb1" + ko},
      {"an escape cut off by the end is dropped", "ab\x1b$", "ab"},
      {"ESC $ ( cut off by the end is dropped", "ab\x1b$(", "ab"},
      {"a lone ESC at the end is dropped", "ab\x1b", "ab"},
      {"a first byte without its partner is dropped", "\x1b$B$3$", ko},
  };
  for (const Case& c : cases) EXPECT_EQ(Convert(c.input, TextCode::kJis), c.expected) << c.rule;
}

TEST(ConvertToShiftJis, EucTextsBecomeShiftJisAndOthersStayAsTheyAre) {
  struct Case {
    const char* rule;
    std::string input;
    TextCode code;
    std::string expected;
  };
  const Case cases[] = {
      {"EUC kanji", "\xc6\xfc\xcb\xdc\xb8\xec!", TextCode::kEucJp,
       "\x93\xfa\x96\x7b\x8c\xea!"},  // 日本語!
      {"EUC pairs led by 0xE0-0xED", "\xe0\xa1\xed\xa1", TextCode::kEucJp,
       "\xe0\x9f\xe7\x40"},  // 燹蹇
      {"0x8E is removed before half-width katakana", "\x8e\xb1\x8e\xb2", TextCode::kEucJp,
       "\xb1\xb2"},
      {"a lead byte without its partner is dropped", "\xa4\xb3\xa4", TextCode::kEucJp,
       "\x82\xb1"},
      {"a lone 0x8E at the end is dropped", "a\x8e", TextCode::kEucJp, "a"},
      {"Shift-JIS is left unchanged", "\x82\xb1\x1b$B", TextCode::kShiftJis, "\x82\xb1\x1b$B"},
      {"7-bit text is left unchanged", "plain\r\n", TextCode::kNone, "plain\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Convert(c.input, c.code), c.expected) << c.rule;
}

// The pair arithmetic must agree with the published JIS X 0208 to Shift-JIS
// mapping for every assigned character; glibc's tables serve as that mapping.
TEST(JisPairToShiftJis, AgreesWithTheSystemsCodeTablesForEveryCharacter) {
  iconv_t cd = iconv_open("CP932", "ISO-2022-JP");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int compared = 0;
  for (int j1 = 0x21; j1 <= 0x7e; ++j1) {
    for (int j2 = 0x21; j2 <= 0x7e; ++j2) {
      char in[] = {'\x1b', '$', 'B', static_cast<char>(j1), static_cast<char>(j2), '\x1b', '(', 'B'};
      char out[8];
      char* in_ptr = in;
      char* out_ptr = out;
      size_t in_left = sizeof in;
      size_t out_left = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1)) continue;
      if (out_ptr - out != 2) continue;  // unassigned in one of the tables
      uint8_t s1 = 0, s2 = 0;
      JisPairToShiftJis(static_cast<uint8_t>(j1), static_cast<uint8_t>(j2), s1, s2);
      EXPECT_EQ(s1, static_cast<uint8_t>(out[0])) << std::hex << j1 << " " << j2;
      EXPECT_EQ(s2, static_cast<uint8_t>(out[1])) << std::hex << j1 << " " << j2;
      ++compared;
    }
  }
  iconv_close(cd);
  EXPECT_GT(compared, 6800);  // all of JIS X 0208's 6879 characters, less a few
}

}  // namespace
}  // namespace zvrx
