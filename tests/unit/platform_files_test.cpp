#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/drives.h"
#include "platform/files.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_prefix.h"

namespace zvrx::platform {
namespace {

namespace fs = std::filesystem;

bool Write(std::string_view path, const std::string& bytes) {
  return WriteFileBytes(path, bytes.data(), bytes.size());
}

std::string Read(std::string_view path) {
  auto bytes = ReadFileBytes(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : "<missing>";
}

size_t EntriesIn(const std::string& host_folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(host_folder), {}));
}

using zvrx::test::FileSizeLimit;

TEST(PlatformFiles, WriteReplacesWholeFileAndLeavesNoTemporaryFile) {
  test::TempPrefix prefix;
  const std::string file = "C:\\WINDOWS\\ZVmi128";
  ASSERT_TRUE(Write(file, std::string(1000, 'a')));
  ASSERT_TRUE(Write(file, "short"));
  EXPECT_EQ(Read(file), "short");
  ASSERT_TRUE(Write(file, ""));
  EXPECT_EQ(FileSize(file), 0);
  EXPECT_EQ(EntriesIn(prefix.path() + "/drive_c/WINDOWS"), 1u);
  struct stat info;
  ASSERT_EQ(stat(HostPath(file).c_str(), &info), 0);
  // A file of the machine is its owner's alone (private_files_test.cpp).
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// A name too long for a temporary name beside it is still written whole.
TEST(PlatformFiles, WritesNamesOfTheLongestHostLength) {
  test::TempPrefix prefix;
  const std::string file = "C:\\WINDOWS\\" + std::string(255, 'n');
  ASSERT_TRUE(Write(file, "long"));
  EXPECT_EQ(Read(file), "long");
  EXPECT_EQ(EntriesIn(prefix.path() + "/drive_c/WINDOWS"), 1u);
}

TEST(PlatformFiles, FailedWriteKeepsTheOldFile) {
  test::TempPrefix prefix;
  const std::string file = "C:\\WINDOWS\\ZVRXLog";
  ASSERT_TRUE(Write(file, "old contents"));
  {
    FileSizeLimit limit(64);
    EXPECT_FALSE(Write(file, std::string(4096, 'x')));
  }
  EXPECT_EQ(Read(file), "old contents");
  EXPECT_EQ(EntriesIn(prefix.path() + "/drive_c/WINDOWS"), 1u) << "temporary file left behind";

  EXPECT_FALSE(Write("C:\\missing\\file", "x"));
  // A folder in the file's place stays a folder.
  ASSERT_TRUE(CreateFolder("C:\\WINDOWS\\sub"));
  EXPECT_FALSE(Write("C:\\WINDOWS\\sub", "x"));
  EXPECT_TRUE(FolderExists("C:\\WINDOWS\\sub"));
}

TEST(PlatformFiles, FailedWriteInReadOnlyFolder) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  test::TempPrefix prefix;
  const std::string file = "C:\\WINDOWS\\ZVoi128";
  ASSERT_TRUE(Write(file, "old"));
  chmod((prefix.path() + "/drive_c/WINDOWS").c_str(), 0555);
  EXPECT_FALSE(Write(file, "new"));
  chmod((prefix.path() + "/drive_c/WINDOWS").c_str(), 0755);
  EXPECT_EQ(Read(file), "old");
}

TEST(PlatformFiles, AppendCreatesAndAddsWholeRecordsOnly) {
  test::TempPrefix prefix;
  const std::string file = "C:\\WINDOWS\\ZVRXLog";
  ASSERT_TRUE(AppendFileBytes(file, "one\n", 4));
  ASSERT_TRUE(AppendFileBytes(file, "two\n", 4));
  EXPECT_EQ(Read(file), "one\ntwo\n");
  {
    FileSizeLimit limit(16);
    std::string record(100, 'r');
    EXPECT_FALSE(AppendFileBytes(file, record.data(), record.size()));
  }
  EXPECT_EQ(Read(file), "one\ntwo\n") << "a cut-off record was left in the file";
  EXPECT_FALSE(AppendFileBytes("C:\\missing\\log", "x", 1));
}

TEST(PlatformFiles, ReadHonoursTheLimitAndReportsMissingFiles) {
  test::TempPrefix prefix;
  ASSERT_TRUE(Write("C:\\WINDOWS\\f", "0123456789"));
  EXPECT_EQ(ReadFileBytes("C:\\WINDOWS\\f", 4)->size(), 4u);
  EXPECT_EQ(ReadFileBytes("C:\\WINDOWS\\f", 0)->size(), 0u);
  EXPECT_EQ(ReadFileBytes("C:\\WINDOWS\\f", 100)->size(), 10u);
  EXPECT_FALSE(ReadFileBytes("C:\\WINDOWS\\missing"));
  EXPECT_FALSE(ReadFileBytes("C:\\WINDOWS"));
}

TEST(PlatformFiles, ExistenceSizeDeleteAndFolders) {
  test::TempPrefix prefix;
  const std::string folder = "C:\\\x83\x5c\x95\x5c";  // ソ表: 0x5C trail bytes
  const std::string file = folder + "\\\x83\x5c.txt";
  EXPECT_TRUE(CreateFolder(folder));
  EXPECT_FALSE(CreateFolder(folder));
  EXPECT_TRUE(fs::is_directory(prefix.path() + "/drive_c/\xe3\x82\xbd\xe8\xa1\xa8"));
  ASSERT_TRUE(Write(file, "abc"));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FolderExists(file));
  EXPECT_TRUE(FolderExists(folder));
  EXPECT_FALSE(FileExists(folder));
  EXPECT_EQ(FileSize(file), 3);
  EXPECT_EQ(FileSize(folder), -1);
  EXPECT_FALSE(RemoveFolder(folder)) << "folder is not empty";
  EXPECT_FALSE(DeleteFile(folder));
  EXPECT_TRUE(DeleteFile(file));
  EXPECT_FALSE(DeleteFile(file));
  EXPECT_EQ(FileSize(file), -1);
  EXPECT_TRUE(RemoveFolder(folder));
  EXPECT_FALSE(FolderExists(folder));
  EXPECT_FALSE(CreateFolder("C:\\a\\b")) << "one level only";
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PlatformFiles, ListFolderMatchesFindFirstFilePatterns) {
  test::TempPrefix prefix;
  const std::string dir = prefix.path() + "/drive_c/WINDOWS/";
  for (const char* name : {"ZVmi128", "ZVoi128", "a.txt", "B.TXT", "\xe3\x82\xbd\xe8\xa1\xa8.dat",
                           "\xef\xbd\xbd\xef\xbe\x80"}) {
    test::WriteHostFile(dir + name, "x");
  }
  fs::create_directory(dir + "sub");
  const std::string kSo = "\x83\x5c", kHyo = "\x95\x5c", kSuTa = "\xbd\xc0";
  struct ListCase {
    const char* pattern;
    std::vector<std::string> names;
  };
  const ListCase cases[] = {
      {"C:\\WINDOWS\\*.*",
       {"B.TXT", "ZVmi128", "ZVoi128", "a.txt", "sub", kSo + kHyo + ".dat", kSuTa}},
      {"C:\\WINDOWS\\*", {"B.TXT", "ZVmi128", "ZVoi128", "a.txt", "sub", kSo + kHyo + ".dat", kSuTa}},
      {"C:\\WINDOWS\\*.txt", {"B.TXT", "a.txt"}},  // letters match without regard to case
      {"C:\\WINDOWS\\ZV?i128", {"ZVmi128", "ZVoi128"}},
      {"C:\\WINDOWS\\ZVm*.*", {"ZVmi128"}},      // ".*" also matches no extension
      {"C:\\WINDOWS\\?\x95\x5c.dat", {kSo + kHyo + ".dat"}},  // '?' is one double-byte char
      {"C:\\WINDOWS\\??", {kSuTa}},
      {"C:/WINDOWS/a.txt", {"a.txt"}},
      {"C:\\WINDOWS\\none*", {}},
      {"C:\\missing\\*.*", {}},
  };
  for (const ListCase& c : cases) {
    EXPECT_EQ(Sorted(ListFolder(c.pattern)), Sorted(c.names)) << c.pattern;
  }
  ASSERT_TRUE(SetCurrentDirectory("C:\\WINDOWS"));
  EXPECT_EQ(Sorted(ListFolder("ZV*")), Sorted({"ZVmi128", "ZVoi128"}));
  EXPECT_EQ(ListFolder("*.*").size(), 7u);
}

TEST(PlatformFiles, FreeDiskSpaceOfTheDriveFolder) {
  test::TempPrefix prefix;
  struct statvfs info;
  ASSERT_EQ(statvfs(prefix.path().c_str(), &info), 0);
  int64_t expected = static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize);
  int64_t free_bytes = FreeDiskSpace("C:\\");
  EXPECT_GT(free_bytes, 0);
  // Other programs write meanwhile: near, not equal.
  EXPECT_NEAR(static_cast<double>(free_bytes), static_cast<double>(expected), 64.0 * 1024 * 1024);
  EXPECT_GT(FreeDiskSpace("C:\\not\\made\\yet"), 0);
}

}  // namespace
}  // namespace zvrx::platform
