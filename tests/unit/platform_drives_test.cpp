#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/cp932.h"
#include "platform/drives.h"
#include "tests/support/temp_prefix.h"

namespace zvrx::platform {
namespace {

struct PathCase {
  const char* what;
  std::string windows;
  std::string host;   // after the prefix when under_prefix
  bool under_prefix;
};

TEST(PlatformDrives, MapsWindowsPathsToHostPaths) {
  test::TempPrefix prefix;
  const std::string p = prefix.path();
  const PathCase cases[] = {
      {"Windows directory", "C:\\WINDOWS", "/drive_c/WINDOWS", true},
      {"lower-case drive letter", "c:\\WINDOWS", "/drive_c/WINDOWS", true},
      {"drive root", "C:\\", "/drive_c", true},
      {"trailing backslash dropped", "C:\\Program Files\\ZVRX\\", "/drive_c/Program Files/ZVRX", true},
      {"forward slashes", "C:/a/b", "/drive_c/a/b", true},
      {"doubled separators", "C:\\a\\\\b", "/drive_c/a/b", true},
      {"other drive letters", "D:\\x", "/drive_d/x", true},
      {"Z: is the host root", "Z:\\home\\user", "/home/user", false},
      {"Z: root", "Z:\\", "/", false},
      {"names keep their case", "C:\\Zvrx Staffs\\ZVmi128", "/drive_c/Zvrx Staffs/ZVmi128", true},
      {"0x5C trail bytes are not separators", "C:\\\x83\x5c\\\x95\x5c.txt",
       "/drive_c/\xe3\x82\xbd/\xe8\xa1\xa8.txt", true},  // ソ, 表.txt
      {"0x5C trail byte right before a separator", "C:\\\x83\x5c\\x", "/drive_c/\xe3\x82\xbd/x", true},
      {"half-width katakana with a blank", "C:\\\xbd\xc0\xb0\xc4 \xd2\xc6\xad\xb0",
       "/drive_c/\xef\xbd\xbd\xef\xbe\x80\xef\xbd\xb0\xef\xbe\x84 "
       "\xef\xbe\x92\xef\xbe\x86\xef\xbd\xad\xef\xbd\xb0",
       true},  // ｽﾀｰﾄ ﾒﾆｭｰ
      {"'..' stops at the drive root", "C:\\a\\..\\..\\..\\etc", "/drive_c/etc", true},
      {"'.' dropped", "C:\\.\\a\\.\\b", "/drive_c/a/b", true},
  };
  for (const PathCase& c : cases) {
    std::string expected = (c.under_prefix ? p : "") + c.host;
    EXPECT_EQ(HostPath(c.windows), expected) << c.what;
  }
}

TEST(PlatformDrives, RelativeAndDriveRelativePaths) {
  test::TempPrefix prefix;
  EXPECT_EQ(HostPath("a\\b"), "a/b");
  EXPECT_EQ(HostPath("..\\x"), "../x");
  EXPECT_EQ(HostPath(""), "");
  ASSERT_TRUE(SetCurrentDirectory("C:\\WINDOWS"));
  EXPECT_EQ(HostPath("\\x"), prefix.path() + "/drive_c/x");       // current drive's root
  EXPECT_EQ(HostPath("C:x"), prefix.path() + "/drive_c/WINDOWS/x");  // current folder of C:
  EXPECT_EQ(HostPath("D:x"), prefix.path() + "/drive_d/x");
}

TEST(PlatformDrives, HostPathsMapBackToWindowsPaths) {
  test::TempPrefix prefix;
  const char* round_trips[] = {
      "C:\\WINDOWS",
      "C:\\",
      "C:\\Program Files\\ZVRX\\Zvrx Staffs\\ZVmi128",
      "C:\\\x83\x5c\\\x95\x5c",
      "C:\\\xbd\xc0\xb0\xc4 \xd2\xc6\xad\xb0\\x.lnk",
      "D:\\data",
      "Z:\\",
      "Z:\\home\\user\\Desktop\\list.txt",
  };
  for (const char* windows : round_trips) {
    EXPECT_EQ(WindowsPath(HostPath(windows)), windows) << Cp932ToUtf8(windows);
  }
  // A folder merely starting like the drive folder is not on that drive.
  std::string outside = prefix.path() + "/drive_cx/a";
  std::string expected = "Z:" + outside;
  for (char& c : expected) {
    if (c == '/') c = '\\';
  }
  EXPECT_EQ(WindowsPath(outside), expected);
}

TEST(PlatformDrives, LongNamesPassThroughWhole) {
  test::TempPrefix prefix;
  std::string name(200, 'n');
  std::string japanese;
  for (int i = 0; i < 80; ++i) japanese += "\x83\x5c";  // 160 bytes of ソ
  std::string windows = "C:\\" + name + "\\" + japanese;
  std::string host = HostPath(windows);
  EXPECT_EQ(host.size(), prefix.path().size() + 9 + 200 + 1 + 80 * 3);
  EXPECT_EQ(WindowsPath(host), windows);
}

TEST(PlatformDrives, WindowsDirectory) { EXPECT_EQ(GetWindowsDirectory(), "C:\\WINDOWS"); }

TEST(PlatformDrives, CurrentFolderComesBackAsWindowsPath) {
  test::TempPrefix prefix;
  std::filesystem::create_directories(prefix.path() + "/drive_c/\xe3\x82\xbd\xe8\xa1\xa8");
  ASSERT_TRUE(SetCurrentDirectory("C:\\\x83\x5c\x95\x5c"));
  EXPECT_EQ(GetCurrentDirectory(), "C:\\\x83\x5c\x95\x5c");
  ASSERT_TRUE(SetCurrentDirectory("C:\\"));
  EXPECT_EQ(GetCurrentDirectory(), "C:\\");
  ASSERT_TRUE(SetCurrentDirectory("Z:\\"));
  EXPECT_EQ(GetCurrentDirectory(), "Z:\\");
  EXPECT_FALSE(SetCurrentDirectory("C:\\missing"));
  EXPECT_EQ(GetCurrentDirectory(), "Z:\\");
  EXPECT_FALSE(SetCurrentDirectory(""));
}

TEST(PlatformDrives, DefaultPrefixFromTheEnvironment) {
  const char* old_prefix = std::getenv("ZVRX_PREFIX");
  const std::string saved = old_prefix ? old_prefix : "";
  setenv("ZVRX_PREFIX", "/srv/machine", 1);
  EXPECT_EQ(DefaultPrefix(), "/srv/machine");
  setenv("ZVRX_PREFIX", "", 1);  // empty is unset
  EXPECT_EQ(DefaultPrefix(), std::string(std::getenv("HOME")) + "/.zvrx");
  if (old_prefix) {
    setenv("ZVRX_PREFIX", saved.c_str(), 1);
  } else {
    unsetenv("ZVRX_PREFIX");
  }
}

TEST(PlatformDrives, PrefixIsNormalised) {
  test::TempPrefix prefix;
  SetPrefix(prefix.path() + "//");
  EXPECT_EQ(Prefix(), prefix.path());
  EXPECT_EQ(HostPath("C:\\x"), prefix.path() + "/drive_c/x");
  ASSERT_TRUE(SetCurrentDirectory("C:\\"));
  SetPrefix("machine");  // relative: taken from the current folder
  EXPECT_EQ(Prefix(), prefix.path() + "/drive_c/machine");
}

}  // namespace
}  // namespace zvrx::platform
