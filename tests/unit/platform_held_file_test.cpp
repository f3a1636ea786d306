// A held file reads at any offset and blocks no one: others append to it
// and delete it while it is held.
#include "platform/held_file.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

TEST(HeldFile, ReadsWhileOthersAppendAndDelete) {
  test::TempPrefix prefix;
  const std::string path = "C:\\held.txt";
  platform::HeldFile held;
  EXPECT_FALSE(held.Open(path));  // missing
  test::WriteHostFile(prefix.path() + "/drive_c/held.txt", "0123456789");
  ASSERT_TRUE(held.Open(path));

  char out[4] = {};
  ASSERT_TRUE(held.ReadAt(3, out, 4));
  EXPECT_EQ(std::string(out, 4), "3456");
  EXPECT_FALSE(held.ReadAt(8, out, 4));  // runs past the end
  EXPECT_FALSE(held.ReadAt(-1, out, 1));

  ASSERT_TRUE(platform::AppendFileBytes(path, "abc", 3));
  ASSERT_TRUE(held.ReadAt(9, out, 4));
  EXPECT_EQ(std::string(out, 4), "9abc");

  ASSERT_TRUE(platform::DeleteFile(path));
  EXPECT_TRUE(held.ReadAt(0, out, 2));  // the open file outlives its name
  held.Close();
  EXPECT_FALSE(held.ReadAt(0, out, 1));
}

}  // namespace
}  // namespace zvrx
