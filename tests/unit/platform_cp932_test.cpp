#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/cp932.h"

namespace zvrx::platform {
namespace {

struct RoundTrip {
  const char* what;
  std::string cp932;
  std::string utf8;
};

// Characters that must survive both ways unchanged.
TEST(PlatformCp932, ConvertsBothWays) {
  const RoundTrip cases[] = {
      {"ASCII", "ZVmi128 abc", "ZVmi128 abc"},
      {"0x5C is a backslash, not a yen sign", "C:\\WINDOWS", "C:\\WINDOWS"},
      {"0x7E is a tilde, not an overline", "~user", "~user"},
      {"double-byte", "\x8c\x9f\x8d\xb8", "\xe6\xa4\x9c\xe6\x9f\xbb"},  // 検査
      {"0x5C as a trail byte", "\x83\x5c\x95\x5c", "\xe3\x82\xbd\xe8\xa1\xa8"},  // ソ表
      {"half-width katakana", "\xbd\xc0\xb0\xc4", "\xef\xbd\xbd\xef\xbe\x80\xef\xbd\xb0\xef\xbe\x84"},  // ｽﾀｰﾄ
      {"NEC extension", "\x87\x40", "\xe2\x91\xa0"},  // ①
      {"IBM extension", "\xfa\x40", "\xe2\x85\xb0"},  // ⅰ
      {"wave dash maps to the full-width tilde", "\x81\x60", "\xef\xbd\x9e"},  // ～
      {"embedded NUL kept", std::string("a\0b", 3), std::string("a\0b", 3)},
      {"empty", "", ""},
  };
  for (const RoundTrip& c : cases) {
    EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8) << c.what;
    EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932) << c.what;
  }
}

// What CP932 cannot decode is shown, never dropped.
TEST(PlatformCp932, UndecodableBytesBecomeReplacementCharacters) {
  const std::string kFffd = "\xef\xbf\xbd";
  const RoundTrip cases[] = {
      {"lone lead byte at the end", "a\x82", "a" + kFffd},
      {"lead byte before a line feed keeps the line feed", "\x82\n", kFffd + "\n"},
      {"byte that is never valid", "\xff", kFffd},
      {"unassigned pair is one character", "\x85\x40z", kFffd + "z"},
      {"conversion goes on after the bad byte", "\xff\x82\xa0", kFffd + "\xe3\x81\x82"},  // あ
  };
  for (const RoundTrip& c : cases) EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8) << c.what;
}

TEST(PlatformCp932, UnencodableCharactersBecomeQuestionMarks) {
  const RoundTrip cases[] = {
      {"euro sign", "a?b", "a\xe2\x82\xac" "b"},
      {"emoji (4-byte UTF-8)", "?", "\xf0\x9f\x98\x80"},
      {"broken UTF-8 byte", "x?y", "x\xffy"},
      {"cut-off UTF-8 sequence at the end", "x?", "x\xe3\x81"},
  };
  for (const RoundTrip& c : cases) EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932) << c.what;
}

// Conversions run on the worker thread and the GUI thread at once.
TEST(PlatformCp932, ConvertsOnManyThreadsAtOnce) {
  const std::string cp932 = "\x8c\x9f\x8d\xb8\xff\x83\x5c";
  const std::string expected = Cp932ToUtf8(cp932);
  const std::string back = Utf8ToCp932(expected);
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        if (Cp932ToUtf8(cp932) != expected || Utf8ToCp932(expected) != back) {
          ++failures[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
}  // namespace zvrx::platform
