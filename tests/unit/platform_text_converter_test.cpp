// The strict side of the one iconv wrapper: texts that are not UTF-8 are
// found with their place, and an exact conversion never slips in a '?'.
#include "platform/text_converter.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/cp932.h"

namespace zvrx::platform {
namespace {

TEST(InvalidUtf8At, FindsTheFirstIllFormedSequence) {
  struct Row {
    const char* rule;
    std::string text;
    std::optional<size_t> expected;
  };
  const Row rows[] = {
      {"empty", "", std::nullopt},
      {"ASCII", "plain text", std::nullopt},
      {"three-byte characters", "\xe6\xa4\x9c\xe6\x9f\xbb", std::nullopt},  // 検査
      {"a four-byte character", "a\xf0\x9f\x98\x80", std::nullopt},
      {"a noncharacter is still UTF-8", "\xef\xbf\xbe", std::nullopt},
      {"an embedded NUL is a character", std::string("a\0b", 3), std::nullopt},
      {"an overlong NUL", "ab\xc0\x80", 2},
      {"an overlong slash", "\xe0\x80\xaf", 0},
      {"a surrogate", "x\xed\xa0\x80", 1},
      {"beyond U+10FFFF", "\xf4\x90\x80\x80", 0},
      {"a five-byte form", "\xf8\x88\x80\x80\x80", 0},
      {"a lone continuation byte", "a\x80" "b", 1},
      {"a byte that never starts UTF-8", "\xfe", 0},
      {"Shift-JIS bytes", "ok \x8c\x9f\x8d\xb8", 3},
      {"cut off by the end", "\xe6\xa4\x9c\xe6\x9f", 3},
      {"a lead byte followed by ASCII", "\xe6" "a", 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(InvalidUtf8At(row.text), row.expected) << row.rule;
  }
}

TEST(Utf8ToCp932Exactly, ConvertsAllOrNothing) {
  struct Row {
    const char* rule;
    std::string utf8;
    std::optional<std::string> expected;
  };
  const Row rows[] = {
      {"ASCII with backslash and tilde", "C:\\~x", "C:\\~x"},
      {"double-byte", "\xe6\xa4\x9c\xe6\x9f\xbb", "\x8c\x9f\x8d\xb8"},
      {"NEC extension", "\xe2\x91\xa0", "\x87\x40"},
      {"a character CP932 lacks", "ok\xf0\x9f\x98\x80", std::nullopt},
      {"a character CP932 lacks, after many that fit",
       std::string(3000, 'a') + "\xe2\x82\xac", std::nullopt},  // past the first chunk
      {"not UTF-8", "ab\xc0\x80", std::nullopt},
      {"cut off", "\xe6\xa4", std::nullopt},
      {"empty", "", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Utf8ToCp932Exactly(row.utf8), row.expected) << row.rule;
  }
  // The lenient conversion puts '?' where the exact one refuses.
  EXPECT_EQ(Utf8ToCp932("ok\xf0\x9f\x98\x80"), "ok?");
}

TEST(TextConverter, ConvertExactlyTellsWhereItStopped) {
  TextConverter converter("CP932", "UTF-8");
  ASSERT_TRUE(converter.ok());
  size_t bad_at = 99;
  EXPECT_EQ(converter.ConvertExactly("abc\xf0\x9f\x98\x80xyz", &bad_at), std::nullopt);
  EXPECT_EQ(bad_at, 3u);
  // A failure leaves no shift state behind for the next text.
  EXPECT_EQ(converter.ConvertExactly("\xe3\x81\x82"), std::string("\x82\xa0"));
}

}  // namespace
}  // namespace zvrx::platform
