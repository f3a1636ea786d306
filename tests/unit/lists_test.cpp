// The sender lists: whole-file reading, the data-file scrambling, and the
// loaders replacing what is held.
#include "checker/analysis/lists.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "checker/analysis/read_whole_file.h"
#include "shared/data_scramble.h"
#include "shared/locations.h"
#include "shared/scramble_keys.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

std::string Scrambled(std::string bytes) {
  DataScramble(bytes.data(), bytes.size());
  return bytes;
}

TEST(DataScrambleTest, XorsWithBasePlusPositionModulo256) {
  std::string bytes(600, '\0');
  DataScramble(bytes.data(), bytes.size());
  for (size_t i : {size_t{0}, size_t{1}, size_t{255 - kDataScrambleBase},
                   size_t{256 - kDataScrambleBase}, size_t{599}}) {
    EXPECT_EQ(static_cast<uint8_t>(bytes[i]), static_cast<uint8_t>((kDataScrambleBase + i) % 256))
        << i;
  }
  std::string text = "spam@example.com\r\n\x83\x81\x81\x5b\r\n";
  EXPECT_NE(Scrambled(text), text);
  EXPECT_EQ(Scrambled(Scrambled(text)), text);
}

class ListsTest : public ::testing::Test {
 protected:
  void Put(const std::string& name, const std::string& bytes) {
    test::WriteHostFile(prefix_.DataFolderHost() + "/" + name, bytes);
  }
  void Remove(const std::string& name) {
    std::remove((prefix_.DataFolderHost() + "/" + name).c_str());
  }
  test::TempPrefix prefix_;
};

TEST_F(ListsTest, ReadWholeFileAppendsOneZeroByte) {
  Put("present", std::string("a\0b\r\n", 5));
  Put("empty", "");
  EXPECT_EQ(ReadWholeFile(DataFolder() + "present"), std::vector<char>({'a', 0, 'b', '\r', '\n', 0}));
  EXPECT_TRUE(ReadWholeFile(DataFolder() + "empty").empty());
  EXPECT_TRUE(ReadWholeFile(DataFolder() + "missing").empty());
}

TEST_F(ListsTest, UserListsAreReplacedByEachLoad) {
  ListText acceptance;
  ListText rejection;
  EXPECT_FALSE(acceptance.present());
  EXPECT_STREQ(acceptance.text(), "");

  Put(kAcceptanceListName, "friend@example.jp\r\nexample.org\r\n");
  Put(kRejectionListName, "spam.example\r\n");
  LoadAcceptanceList(acceptance);
  LoadRejectionList(rejection);
  EXPECT_STREQ(acceptance.text(), "friend@example.jp\r\nexample.org\r\n");
  EXPECT_STREQ(rejection.text(), "spam.example\r\n");

  Put(kAcceptanceListName, "x@y\r\n");
  LoadAcceptanceList(acceptance);
  EXPECT_STREQ(acceptance.text(), "x@y\r\n");

  // A list removed or emptied since is absent, not the old one.
  Remove(kAcceptanceListName);
  Put(kRejectionListName, "");
  LoadAcceptanceList(acceptance);
  LoadRejectionList(rejection);
  EXPECT_FALSE(acceptance.present());
  EXPECT_FALSE(rejection.present());
}

TEST_F(ListsTest, AnonymousListsAreUnscrambledInMemory) {
  std::string list_a = "nobody@\r\n\x93\xbd\x96\xbc\r\n";  // 匿名
  std::string list_b = "@anonymous.example\r\n";
  Put(kAnonymousListAName, Scrambled(list_a));
  Put(kAnonymousListBName, Scrambled(list_b));
  ListText a;
  ListText b;
  LoadAnonymousLists(a, b);
  EXPECT_EQ(std::string(a.text()), list_a);
  EXPECT_EQ(a.bytes.size(), list_a.size() + 1);
  EXPECT_EQ(std::string(b.text()), list_b);

  Remove(kAnonymousListBName);
  LoadAnonymousLists(a, b);
  EXPECT_EQ(std::string(a.text()), list_a);
  EXPECT_FALSE(b.present());
}

}  // namespace
}  // namespace zvrx
