// Numbers out of text: the whole text is the number or there is none.
#include "platform/parse_integer.h"

#include <climits>
#include <cstdint>
#include <optional>

#include <gtest/gtest.h>

namespace zvrx {
namespace {

using platform::ParseInteger;

TEST(ParseInteger, TakesTheWholeTextOrNothing) {
  struct Row {
    const char* rule;
    const char* text;
    int base;
    std::optional<int> expected;
  };
  const Row rows[] = {
      {"digits", "42", 10, 42},
      {"zero", "0", 10, 0},
      {"leading zeros are decimal", "007", 10, 7},
      {"a minus", "-42", 10, -42},
      {"no plus: callers that take one strip it", "+42", 10, std::nullopt},
      {"nothing", "", 10, std::nullopt},
      {"a sign alone", "-", 10, std::nullopt},
      {"a plus alone", "+", 10, std::nullopt},
      {"two signs", "+-4", 10, std::nullopt},
      {"two pluses", "++4", 10, std::nullopt},
      {"a minus and a plus", "-+4", 10, std::nullopt},
      {"a blank before", " 42", 10, std::nullopt},
      {"a blank after", "42 ", 10, std::nullopt},
      {"a tab before", "\t42", 10, std::nullopt},
      {"a blank inside", "4 2", 10, std::nullopt},
      {"trailing letters", "42x", 10, std::nullopt},
      {"a fraction", "12.0", 10, std::nullopt},
      {"an exponent", "1e3", 10, std::nullopt},
      {"the largest int", "2147483647", 10, INT_MAX},
      {"one beyond the largest is none, not clamped", "2147483648", 10, std::nullopt},
      {"the smallest int", "-2147483648", 10, INT_MIN},
      {"one below the smallest", "-2147483649", 10, std::nullopt},
      {"far too many digits", "99999999999999999999", 10, std::nullopt},
      {"hexadecimal digits", "1F", 16, 31},
      {"hexadecimal in small letters", "ff", 16, 255},
      {"no 0x prefix in the digits", "0x1F", 16, std::nullopt},
      {"a negative hexadecimal", "-1F", 16, -31},
      {"a digit beyond the base", "8", 8, std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ParseInteger<int>(row.text, row.base), row.expected) << row.rule;
  }
}

TEST(ParseInteger, UnsignedTypesRefuseAMinusInsteadOfWrapping) {
  EXPECT_EQ(ParseInteger<unsigned>("-1"), std::nullopt);
  EXPECT_EQ(ParseInteger<unsigned>("-0"), std::nullopt);
  EXPECT_EQ(ParseInteger<unsigned>("4294967295"), 4294967295u);
  EXPECT_EQ(ParseInteger<unsigned>("4294967296"), std::nullopt);
  EXPECT_EQ(ParseInteger<uint16_t>("65535"), uint16_t{65535});
  EXPECT_EQ(ParseInteger<uint16_t>("65536"), std::nullopt);
  EXPECT_EQ(ParseInteger<uint16_t>("FFFF", 16), uint16_t{0xFFFF});
}

TEST(ParseInteger, WideTypesReachTheirLimits) {
  EXPECT_EQ(ParseInteger<int64_t>("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(ParseInteger<int64_t>("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(ParseInteger<int64_t>("9223372036854775808"), std::nullopt);
}

}  // namespace
}  // namespace zvrx
