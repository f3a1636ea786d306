#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/desktop.h"
#include "platform/drives.h"
#include "tests/support/temp_prefix.h"

namespace zvrx::platform {
namespace {

// HOME and XDG_CONFIG_HOME pointed into the test's own folder.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(PlatformDesktop, XdgDesktopFolderAsAZPath) {
  test::TempPrefix prefix;
  const std::string home = prefix.path() + "/home";
  ScopedEnvironment home_env("HOME", home);
  ScopedEnvironment config_env("XDG_CONFIG_HOME", home + "/config");
  const std::string z_home = WindowsPath(home);
  ASSERT_EQ(z_home.substr(0, 3), "Z:\\");

  EXPECT_EQ(DesktopFolder(), z_home + "\\Desktop") << "no user-dirs.dirs";

  struct DesktopCase {
    const char* line;
    std::string expected;
  };
  const DesktopCase cases[] = {
      {"XDG_DESKTOP_DIR=\"$HOME/\xe3\x83\x87\xe3\x82\xb9\xe3\x82\xaf\xe3\x83\x88\xe3\x83\x83\xe3\x83\x97\"",
       z_home + "\\\x83\x66\x83\x58\x83\x4e\x83\x67\x83\x62\x83\x76"},  // デスクトップ
      {"  XDG_DESKTOP_DIR=\"/srv/desk\"\r", "Z:\\srv\\desk"},
      {"XDG_DESKTOP_DIR=\"relative\"", z_home + "\\Desktop"},
      {"XDG_DOWNLOAD_DIR=\"$HOME/dl\"", z_home + "\\Desktop"},
  };
  for (const DesktopCase& c : cases) {
    test::WriteHostFile(home + "/config/user-dirs.dirs",
                        std::string("# written by xdg-user-dirs-update\n") + c.line + "\n");
    EXPECT_EQ(DesktopFolder(), c.expected) << c.line;
  }
}

}  // namespace
}  // namespace zvrx::platform
