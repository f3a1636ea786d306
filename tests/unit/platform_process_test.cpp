#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/process.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx::platform {
namespace {

namespace fs = std::filesystem;

// Writes its current folder and then each argument on a line of its own
// into "report" in that folder, by rename so the file appears whole.
constexpr char kReporter[] =
    "#!/bin/sh\n"
    "{ pwd; for a in \"$@\"; do echo \"$a\"; done; } > report.tmp\n"
    "mv report.tmp report\n";

class PlatformProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Host("work"));
    fs::create_directories(Host("Program Files/ZVRX"));
  }

  std::string Host(const std::string& under_c) const {
    return prefix_.path() + "/drive_c/" + under_c;
  }

  void Script(const std::string& under_c) {
    test::WriteHostFile(Host(under_c), kReporter);
    fs::permissions(Host(under_c), fs::perms::owner_all);
  }

  // The report of a started program, waiting up to five seconds for it.
  std::string Report(const std::string& folder_under_c) {
    std::string path = Host(folder_under_c) + "/report";
    test::WaitUntil([&] { return fs::exists(path); }, 5000, 10);
    return test::ReadHostFile(path);
  }

  test::TempPrefix prefix_;
};

TEST_F(PlatformProcess, StartsProgramsByWindowsCommandLines) {
  Script("Program Files/ZVRX/Zvrx");         // our programs carry no extension
  Script("Program Files/ZVRX/mailer.exe");    // a program named with one
  Script("\xe3\x82\xbd\xe8\xa1\xa8");         // ソ表: 0x5C trail bytes in the name
  const std::string work = fs::canonical(Host("work")).string();
  struct StartCase {
    const char* what;
    std::string command_line;
    std::string report;  // after the working folder's line
  };
  const StartCase cases[] = {
      {"unquoted path with a blank, \".exe\" dropped",
       "C:\\Program Files\\ZVRX\\Zvrx.exe one two", "one\ntwo\n"},
      {"\".exe\" added to a name without extension", "C:\\Program Files\\ZVRX\\mailer", ""},
      {"quoted program, quoted argument keeps its blanks",
       "\"C:\\Program Files\\ZVRX\\Zvrx\" \"a  b\" c\\d", "a  b\nc\\d\n"},
      {"leading and doubled blanks", "  C:\\Program Files\\ZVRX\\Zvrx   x  ", "x\n"},
      {"Japanese program and argument", "C:\\\x83\x5c\x95\x5c \x8c\x9f\x8d\xb8",
       "\xe6\xa4\x9c\xe6\x9f\xbb\n"},  // 検査
  };
  for (const StartCase& c : cases) {
    fs::remove(Host("work/report"));
    EXPECT_GT(StartProgram(c.command_line, "C:\\work"), 0) << c.what;
    EXPECT_EQ(Report("work"), work + "\n" + c.report) << c.what;
  }
}

TEST_F(PlatformProcess, RefusesWhatItCannotStart) {
  Script("Program Files/ZVRX/Zvrx");
  test::WriteHostFile(Host("not_executable"), "#!/bin/sh\n");
  fs::permissions(Host("not_executable"), fs::perms::owner_read | fs::perms::owner_write);
  const char* refused[] = {
      "",
      "   ",
      "C:\\missing.exe",
      "C:\\Program Files\\ZVRX",           // a folder
      "C:\\Program Files\\ZVRX\\Zvrx.ex",  // only ".exe" is special
      "\"C:\\Program Files\\ZVRX\\Zvrx x\"",
  };
  for (const char* command_line : refused) {
    EXPECT_EQ(StartProgram(command_line), -1) << command_line;
  }
  EXPECT_EQ(StartProgram("C:\\Program Files\\ZVRX\\Zvrx", "C:\\missing"), -1);
  EXPECT_EQ(StartProgram("C:\\not_executable"), -1);  // no execute bit, even for root
}

TEST_F(PlatformProcess, RelativeProgramIsFoundFromOurFolderAndChildIsReaped) {
  Script("Program Files/ZVRX/Zvrx");
  fs::path old = fs::current_path();
  fs::current_path(Host("Program Files"));
  int pid = StartProgram("ZVRX\\Zvrx", "C:\\work");
  fs::current_path(old);
  ASSERT_GT(pid, 0);
  EXPECT_NE(Report("work"), "");
  // Reaped in the background: no zombie stays behind.
  std::string proc = "/proc/" + std::to_string(pid);
  EXPECT_TRUE(test::WaitUntil([&] { return !fs::exists(proc); }, 5000, 10)) << "a zombie stays";
}

}  // namespace
}  // namespace zvrx::platform
