// Files of the emulated machine are their owner's alone: every record,
// list, log, marker and extension file is 0600 and its folders 0700, new or
// left readable by an earlier version and tightened at the next save.
// Files the programs write outside the machine keep the usual modes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "checker/analysis/lists.h"
#include "checker/analysis/mail_record.h"
#include "checker/analysis/marker.h"
#include "checker/analysis/work_log.h"
#include "platform/cp932.h"
#include "platform/files.h"
#include "shared/extension_settings.h"
#include "shared/locations.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

unsigned ModeOf(const std::string& host) {
  struct stat info;
  return stat(host.c_str(), &info) == 0 ? (info.st_mode & 07777) : 01000000;
}

struct Saver {
  const char* what;
  std::string file;  // in the data folder
  std::function<bool()> save;
};

std::vector<Saver> Savers() {
  return {
      {"password record", "ZVmi128", [] { return SaveBasicSettings(BasicSettings{}); }},
      {"work log", kWorkLogName,
       [] {
         MailRecord record{};
         WriteLogEntry("spam", record);
         return true;
       }},
      {"extension settings", kExtensionSettingsName,
       [] { return ChangeExtensionSettings({{kTransportKeys[0], "tls"}}).empty(); }},
      {"rejection list", kRejectionListName,
       [] {
         const std::string text = "bad@spam-sender.example\r\n";
         return platform::WriteFileBytes(DataFolder() + kRejectionListName, text.data(),
                                         text.size());
       }},
      {"last-seen marker", platform::Cp932ToUtf8(MarkerFileName("taro@pop.example.jp")),
       [] {
         MarkerWalk walk;
         BeginMarkerWalk(walk, "taro@pop.example.jp");
         MailRecord record{};
         std::strcpy(record.uidl, "uidl-0001");
         IsAlreadySeen(walk, record);
         MarkKept(walk);
         EndMarkerWalk(walk, true);
         return true;
       }},
  };
}

TEST(PrivateFiles, NewFilesAreOwnerOnly) {
  for (const Saver& saver : Savers()) {
    SCOPED_TRACE(saver.what);
    test::TempPrefix prefix;
    ASSERT_TRUE(saver.save());
    const std::string file = prefix.DataFolderHost() + "/" + saver.file;
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(ModeOf(file), 0600u);
  }
}

// What an earlier version left: folders 0755 and files 0644 up from the
// prefix. One save takes every bit for others away.
TEST(PrivateFiles, EarlierFilesAndFoldersAreTightenedAtTheNextSave) {
  for (const Saver& saver : Savers()) {
    SCOPED_TRACE(saver.what);
    test::TempPrefix prefix;
    const std::string file = prefix.DataFolderHost() + "/" + saver.file;
    test::WriteHostFile(file, "");
    const std::vector<std::string> folders = {
        prefix.path(), prefix.path() + "/drive_c", prefix.InstallRootHost() + "/..",
        prefix.InstallRootHost(), prefix.DataFolderHost()};
    for (const std::string& folder : folders) fs::permissions(folder, fs::perms(0755));
    fs::permissions(file, fs::perms(0644));
    ASSERT_TRUE(saver.save());
    EXPECT_EQ(ModeOf(file), 0600u);
    for (const std::string& folder : folders) EXPECT_EQ(ModeOf(folder), 0700u) << folder;
  }
}

TEST(PrivateFiles, FoldersMadeInTheMachineAreOwnerOnlyAndOutsideItUsual) {
  test::TempPrefix prefix;
  ASSERT_TRUE(platform::CreateFolder("C:\\Program Files\\ZVRX\\Zvrx Staffs\\Kept"));
  EXPECT_EQ(ModeOf(prefix.DataFolderHost() + "/Kept"), 0700u);

  // A file the user exports to the desktop is no file of the machine.
  const fs::path outside = fs::path(prefix.path()).parent_path() /
                           (fs::path(prefix.path()).filename().string() + "-export");
  fs::create_directories(outside);
  const std::string text = "log\r\n";
  const std::string z_path = "Z:" + platform::Utf8ToCp932(outside.string()) + "\\log.txt";
  std::string windows_path = z_path;
  for (char& c : windows_path) c = c == '/' ? '\\' : c;
  ASSERT_TRUE(platform::WriteFileBytes(windows_path, text.data(), text.size()));
  EXPECT_EQ(ModeOf((outside / "log.txt").string()) & 0044u, 0044u) << "readable as before";
  EXPECT_EQ(ModeOf(outside.string()) & 0055u, 0055u);
  fs::remove_all(outside);
}

TEST(PrivateFiles, InitMakesANewMachineOwnerOnly) {
  const fs::path parent = fs::temp_directory_path() / ("zvrx-modes-" + std::to_string(getpid()));
  fs::create_directories(parent);
  fs::permissions(parent, fs::perms(0755));
  const std::string machine = (parent / "machine").string();
  auto ctl = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--prefix", machine});
    return test::RunProgram(ZVRX_BINARY_DIR "/tools/zvrxctl", args, parent.string());
  };
  test::ProgramRun run = ctl({"init"});
  ASSERT_EQ(run.status, 0) << run.err;
  run = ctl({"account", "1", "taro@pop.example.jp", "secret"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ModeOf(machine), 0700u);
  EXPECT_EQ(ModeOf(machine + "/drive_c"), 0700u);
  EXPECT_EQ(ModeOf(machine + "/drive_c/Program Files/ZVRX/Zvrx Staffs"), 0700u);
  EXPECT_EQ(ModeOf(machine + "/drive_c/Program Files/ZVRX/Zvrx Staffs/ZVmi128"), 0600u);
  EXPECT_EQ(ModeOf(parent.string()), 0755u) << "a folder outside the machine stays as it was";
  fs::remove_all(parent);
}

}  // namespace
}  // namespace zvrx
