// The checker's fixed texts: exact CP932 bytes of the texts the user sees,
// the paths built from the install root, and empty texts for unknown ids.
#include <gtest/gtest.h>

#include <string>

#include "checker/core/text_table.h"

namespace zvrx {
namespace {

const TextTable kTable("C:\\Program Files\\ZVRX\\");

TEST(TextTableTest, TextsAreTheExactBytes) {
  struct Row {
    int group, id;
    std::string bytes;
  } rows[] = {
      // 通のメールがサーバに届いています。
      {129, 2, "\x92\xca\x82\xcc\x83\x81\x81[\x83\x8b\x82\xaa\x83T\x81[\x83o\x82\xc9\x93\xcd\x82"
               "\xa2\x82\xc4\x82\xa2\x82\xdc\x82\xb7\x81" "B"},
      // 新しいメールは届いていません。
      {129, 3, "\x90V\x82\xb5\x82\xa2\x83\x81\x81[\x83\x8b\x82\xcd\x93\xcd\x82\xa2\x82\xc4\x82\xa2"
               "\x82\xdc\x82\xb9\x82\xf1\x81" "B"},
      // Mail Zevrox / 「ZVRX」フォルダが見つかりません。/ 正しくインストールして下さい。
      {128, 4, "Mail Zevrox\n\x81uZVRX\x81v\x83t\x83H\x83\x8b\x83_\x82\xaa\x8c\xa9\x82\xc2\x82\xa9"
               "\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x81" "B\n\x90\xb3\x82\xb5\x82\xad\x83" "C\x83\x93"
               "\x83X\x83g\x81[\x83\x8b\x82\xb5\x82\xc4\x89\xba\x82\xb3\x82\xa2\x81" "B\n"},
      // 匿名メール, the first deletion category
      {130, 1, "\x93\xbd\x96\xbc\x83\x81\x81\x5b\x83\x8b"},
      {200, 0, "C:\\Program Files\\ZVRX\\Zvrx Staffs\\"},
      {200, 3, "C:\\Program Files\\ZVRX\\Zvrx Staffs\\ZVRXWhiteList"},
      {200, 4, "C:\\Program Files\\ZVRX\\Zvrx Staffs\\ZVRXBlackList"},
      {200, 5, "C:\\Program Files\\ZVRX\\Zvrx Staffs\\ZVRXLog"},
      {500, 1, "C:\\Program Files\\ZVRX\\Zvrx Staffs\\ISO501"},
      {500, 15, "C:\\Program Files\\ZVRX\\Zvrx Staffs\\ISO515"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.group) + "/" + std::to_string(row.id));
    EXPECT_EQ(kTable.Text(row.group, row.id), row.bytes);
  }
}

// Every fatal message starts with the product line; each is different.
TEST(TextTableTest, FatalMessagesOneToFive) {
  for (int id = 1; id <= 5; ++id) {
    std::string text = kTable.Text(128, id);
    EXPECT_EQ(text.rfind("Mail Zevrox\n", 0), 0u) << id;
    for (int other = 1; other < id; ++other) EXPECT_NE(text, kTable.Text(128, other));
  }
}

TEST(TextTableTest, IdsAGroupDoesNotHoldAreEmpty) {
  const int missing[][2] = {{128, 0}, {128, 6}, {129, 1}, {129, 4}, {130, 0}, {130, 7},
                            {200, 1}, {200, 2}, {200, 6}, {500, 0}, {500, 16}, {127, 1},
                            {999, 1}};
  for (const auto& m : missing) EXPECT_EQ(kTable.Text(m[0], m[1]), "") << m[0] << "/" << m[1];
}

}  // namespace
}  // namespace zvrx
