// The installer without its windows: paths, the copy and delete filters,
// installing into a fresh machine (free space, parents, programs that
// cannot be copied, folders of any size), removing, and the wait for the
// checker's block after an installation.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install/completion_sound.h"
#include "install/installer.h"
#include "install/messages.h"
#include "platform/autostart.h"
#include "platform/cp932.h"
#include "platform/drives.h"
#include "tests/support/sjis.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

using test::Sjis;

TEST(InstallerFilters, CopyAndDeleteByName) {
  struct Case {
    const char* name;
    bool copied;
    bool deleted;
  };
  const Case cases[] = {
      // The programs of the root; the checker goes only to the startup copy.
      {"MailZevrox.exe", true, true},
      {"Zvrx.exe", false, false},
      {"ZVRXHELP.EXE", true, true},
      {"ZvrxHelp.exe", true, true},
      // "Help" is left out unless it is part of "ZvrxHelp" (case-sensitive).
      {"ZvrxHelpIndex", true, true},
      {"Help.txt", false, true},
      {"OldHelp", false, true},
      {"ZVRXHelp", false, true},
      {"help", true, true},
      // Names that are never copied.
      {"..", false, false},
      {"a..b", false, false},
      {"FINDER.DAT", false, true},
      {"Method", false, false},
      {"MethodBackup", false, false},
      {"ZVRX Staffs", false, false},
      {"Zvrx Staffs", true, true},  // the filters compare case-sensitively
      // Ordinary data files.
      {"ZVmi128", true, true},
      {"kZVj-128", true, true},
      {"Regist", true, true},
      {"LICENSE", true, true},
      {"MyZvrx.exe.bak", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PassesCopyFilter(c.name), c.copied) << c.name;
    EXPECT_EQ(PassesDeleteFilter(c.name), c.deleted) << c.name;
  }
}

TEST(InstallerPaths, FromTheWindowsFolderAndTheCurrentFolder) {
  const InstallerPaths paths = BuildInstallerPaths("C:\\WINDOWS", "Z:\\media\\cd");
  EXPECT_EQ(paths.windows_folder, "C:\\WINDOWS\\");
  EXPECT_EQ(paths.drive_root, "C:\\");
  EXPECT_EQ(paths.install_root, "C:\\Program Files\\ZVRX\\");
  EXPECT_EQ(paths.source_folder, "Z:\\media\\cd\\Installer Resources\\");
  EXPECT_EQ(paths.startup_copy,
            Sjis("C:\\WINDOWS\\ｽﾀｰﾄ ﾒﾆｭｰ\\ﾌﾟﾛｸﾞﾗﾑ\\ｽﾀｰﾄｱｯﾌﾟ\\Zvrx.exe"));
  EXPECT_EQ(paths.licence_text, "Z:\\media\\cd\\Installer Resources\\Zvrx Staffs\\LICENSE");
  EXPECT_EQ(paths.completion_sound, "C:\\Program Files\\ZVRX\\Zvrx Staffs\\Regist");
  // Run from a drive root, the folder is found directly under that root.
  EXPECT_EQ(BuildInstallerPaths("C:\\WINDOWS", "Z:\\").source_folder,
            "Z:\\Installer Resources\\");
  // The startup folder's name is single-byte katakana in CP932.
  EXPECT_EQ(paths.startup_copy.substr(11, 5), "\xBD\xC0\xB0\xC4\x20");
}

TEST(InstallerMessages, TextsAsTheProgramShowsThem) {
  // Message 9 has a full-width blank after the name, 14 half-width brackets
  // around Install, 16 the name misspelt as it always was.
  EXPECT_EQ(InstallerMessage(kMsgInstalled).substr(0, 13), "Mail Zevrox\x81\x40");
  EXPECT_NE(InstallerMessage(kMsgPressInstall).find("\xA2Install\xA3"), std::string::npos);
  EXPECT_EQ(InstallerMessage(kMsgRemoving).substr(0, 15), "\n\n\nMali Zevrox ");
  EXPECT_EQ(InstallerMessage(kMsgNoSpace),
            Sjis("Mail Zevrox のインストールに必要な、メインデイスクに\n２メガバイトの容量がありません。\n"
                 "メインデイスクに、十分な容量を確保してください。\n\n"));
  EXPECT_EQ(InstallerMessage(kMsgConfirmRemove), Sjis("Mail Zevrox を削除して良いのですね。\n"));
  EXPECT_EQ(InstallerMessage(kMsgAlreadyInstalled),
            Sjis("\n\nMail Zevrox  はすでにインストールされています。"));
  for (int id : {9, 11, 12, 13, 14, 15, 16, 17, kMsgProgramNotCopied}) {
    const std::string& text = InstallerMessage(id);
    EXPECT_FALSE(text.empty()) << id;
    EXPECT_EQ(text.find('?'), std::string::npos) << id << ": a character CP932 lacks";
  }
}

TEST(CompletionSound, IsAPlayableWave) {
  const std::vector<uint8_t> image = CompletionSoundImage();
  ASSERT_EQ(image.size(), 44u + kCompletionNoteSamples * kCompletionNotes);
  EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(image.begin() + 8, image.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(image[22], 1);   // mono
  EXPECT_EQ(image[34], 8);   // 8-bit
  // Starts and ends in silence (no click), and is not silent between.
  EXPECT_EQ(image[44], 128);
  EXPECT_EQ(image.back(), 128);
  int loud = 0;
  for (size_t i = 44; i < image.size(); ++i) loud += (image[i] > 200 || image[i] < 56);
  EXPECT_GT(loud, 1000);
}

// The build's distribution folder holds the licence and the sound.
TEST(CompletionSound, TheBuildShipsItWithTheLicence) {
  const std::string staffs = std::string(ZVRX_BINARY_DIR) + "/Installer Resources/Zvrx Staffs/";
  const std::string sound = test::ReadHostFile(staffs + "Regist");
  const std::vector<uint8_t> image = CompletionSoundImage();
  EXPECT_EQ(sound, std::string(image.begin(), image.end()));
  const std::string licence = test::ReadHostFile(staffs + "LICENSE");
  EXPECT_EQ(licence.rfind(Sjis("Mail Zevrox 使用許諾書\r\n"), 0), 0u);
  EXPECT_NE(licence.find(Sjis("「同意」")), std::string::npos);
  // CR LF throughout, and only CP932.
  for (size_t at = licence.find('\n'); at != std::string::npos; at = licence.find('\n', at + 1)) {
    ASSERT_GT(at, 0u);
    ASSERT_EQ(licence[at - 1], '\r') << at;
  }
  EXPECT_EQ(platform::Utf8ToCp932(platform::Cp932ToUtf8(licence)), licence);
}

// A fresh machine with a distribution medium at C:\medium, and actions
// that record what would touch the rest of the system.
class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Not even C:\ exists on a machine nobody used.
    fs::remove_all(prefix_.path() + "/drive_c");
    medium_ = prefix_.path() + "/medium/Installer Resources/";
    paths_ = BuildInstallerPaths("C:\\WINDOWS", platform::WindowsPath(prefix_.path() + "/medium"));
    actions_.free_space = [this](const std::string& folder) {
      measured_ = folder;
      return free_;
    };
    actions_.stop_programs = [this](std::string_view name) { stopped_.emplace_back(name); };
    actions_.play_sound = [](const std::vector<uint8_t>&) {};
    actions_.write_autostart = [this](const std::string& program) {
      autostart_ = program;
      return true;
    };
    actions_.remove_autostart = [this] {
      autostart_.clear();
      return true;
    };
    Put("MailZevrox.exe", "settings program", true);
    Put("Zvrx.exe", "checker", true);
    Put("ZVRXHELP.EXE", "help viewer", true);
    Put("Help.txt", "not shipped");
    Put("Empty", "");
    Put("Method/ZVRm-128", "dictionary");
    Put("Zvrx Staffs/LICENSE", "licence");
    Put("Zvrx Staffs/kZVj-128", "thresholds");
    Put("Help/ZvrxHelp01", "picture");
    fs::create_directories(medium_ + "Nested");
  }

  void Put(const std::string& name, const std::string& bytes, bool program = false) {
    test::WriteHostFile(medium_ + name, bytes);
    fs::permissions(medium_ + name, program ? fs::perms(0755) : fs::perms(0644));
  }
  std::string Root() const { return prefix_.InstallRootHost() + "/"; }
  std::string StartupCopy() const { return platform::HostPath(paths_.startup_copy); }
  static bool Runnable(const std::string& host) {
    struct stat info;
    return stat(host.c_str(), &info) == 0 && (info.st_mode & 0111) == 0111;
  }

  test::TempPrefix prefix_{false};
  std::string medium_;
  InstallerPaths paths_;
  InstallerActions actions_;
  int64_t free_ = kRequiredFreeSpace;
  std::string measured_;
  std::vector<std::string> stopped_;
  std::string autostart_;
};

TEST_F(InstallerTest, InstallsIntoAFreshMachine) {
  const InstallReport report = InstallSuite(paths_, actions_);
  ASSERT_EQ(report.outcome, InstallOutcome::kInstalled) << report.failed_program;
  EXPECT_EQ(measured_, "C:\\");
  // The filters decide: the checker only as the startup copy, no "Help"
  // file but the help viewer's, no empty file, no folder.
  EXPECT_EQ(test::ReadHostFile(Root() + "MailZevrox.exe"), "settings program");
  EXPECT_EQ(test::ReadHostFile(Root() + "ZVRXHELP.EXE"), "help viewer");
  EXPECT_FALSE(fs::exists(Root() + "Zvrx.exe"));
  EXPECT_FALSE(fs::exists(Root() + "Help.txt"));
  EXPECT_FALSE(fs::exists(Root() + "Empty"));
  EXPECT_FALSE(fs::exists(Root() + "Nested"));
  EXPECT_EQ(test::ReadHostFile(Root() + "Method/ZVRm-128"), "dictionary");
  EXPECT_EQ(test::ReadHostFile(Root() + "Zvrx Staffs/kZVj-128"), "thresholds");
  EXPECT_EQ(test::ReadHostFile(Root() + "Help/ZvrxHelp01"), "picture");
  EXPECT_EQ(report.files_copied, 6);
  // Programs stay runnable, data does not become so.
  EXPECT_TRUE(Runnable(Root() + "MailZevrox.exe"));
  EXPECT_FALSE(Runnable(Root() + "Method/ZVRm-128"));
  EXPECT_EQ(test::ReadHostFile(StartupCopy()), "checker");
  EXPECT_TRUE(Runnable(StartupCopy()));
  EXPECT_EQ(autostart_, paths_.startup_copy);
  EXPECT_TRUE(SuiteInstalled(paths_));
}

TEST_F(InstallerTest, FreeSpaceBoundary) {
  struct Case {
    int64_t free;
    InstallOutcome outcome;
  };
  const Case cases[] = {
      {kRequiredFreeSpace, InstallOutcome::kInstalled},
      {kRequiredFreeSpace - 1, InstallOutcome::kNoSpace},
      {0, InstallOutcome::kNoSpace},
      {-1, InstallOutcome::kNoSpace},  // not measurable
      // Beyond 32 bits: 4 GiB plus a little would wrap to almost nothing.
      {(int64_t{1} << 32) + 1000, InstallOutcome::kInstalled},
  };
  for (const Case& c : cases) {
    fs::remove_all(prefix_.path() + "/drive_c");
    free_ = c.free;
    const InstallReport report = InstallSuite(paths_, actions_);
    EXPECT_EQ(report.outcome, c.outcome) << c.free;
    EXPECT_EQ(fs::exists(Root() + "MailZevrox.exe"), c.outcome == InstallOutcome::kInstalled)
        << c.free;
    EXPECT_EQ(fs::exists(StartupCopy()), c.outcome == InstallOutcome::kInstalled) << c.free;
  }
}

TEST_F(InstallerTest, AFolderOfManyLongNamesIsCopiedWhole) {
  // The table of names once held 100 names of at most 29 bytes.
  for (int i = 0; i < 250; ++i) {
    Put("Method/dictionary-with-a-rather-long-name-" + std::to_string(i), "d" + std::to_string(i));
  }
  ASSERT_EQ(InstallSuite(paths_, actions_).outcome, InstallOutcome::kInstalled);
  for (int i = 0; i < 250; ++i) {
    EXPECT_EQ(test::ReadHostFile(Root() + "Method/dictionary-with-a-rather-long-name-" +
                                 std::to_string(i)),
              "d" + std::to_string(i));
  }
}

TEST_F(InstallerTest, AProgramThatCannotBeCopiedIsNamed) {
  struct Case {
    const char* what;
    std::function<void()> spoil;
    std::string failed;  // Windows path, CP932
  };
  const std::string root = "C:\\Program Files\\ZVRX\\";
  const Case cases[] = {
      {"the target is a folder",
       [this] { fs::create_directories(Root() + "MailZevrox.exe/x"); },
       root + "MailZevrox.exe"},
      {"no checker on the medium", [this] { fs::remove(medium_ + "Zvrx.exe"); },
       paths_.startup_copy},
      {"no settings program on the medium", [this] { fs::remove(medium_ + "MailZevrox.exe"); },
       root + "MailZevrox.exe"},
      {"no medium at all", [this] { fs::remove_all(medium_); }, root + "MailZevrox.exe"},
  };
  for (const Case& c : cases) {
    fs::remove_all(prefix_.path() + "/drive_c");
    fs::remove_all(prefix_.path() + "/medium");
    SetUp();
    c.spoil();
    const InstallReport report = InstallSuite(paths_, actions_);
    EXPECT_EQ(report.outcome, InstallOutcome::kProgramNotCopied) << c.what;
    EXPECT_EQ(report.failed_program, c.failed) << c.what;
  }
}

TEST_F(InstallerTest, RemoveStopsTheProgramsAndLeavesNothingInstalled) {
  ASSERT_EQ(InstallSuite(paths_, actions_).outcome, InstallOutcome::kInstalled);
  // What the programs wrote after the installation goes too.
  test::WriteHostFile(Root() + "Zvrx Staffs/ZVmi128", "settings");
  test::WriteHostFile(Root() + "Zvrx Staffs/ZVRXLog", "log");
  RemoveSuite(paths_, actions_);
  EXPECT_EQ(stopped_, (std::vector<std::string>{"ZVRX.EXE", "MAILZEVROX.EXE", "ZVRXHELP.EXE"}));
  EXPECT_FALSE(fs::exists(Root()));
  EXPECT_FALSE(fs::exists(StartupCopy()));
  EXPECT_TRUE(autostart_.empty());
  EXPECT_FALSE(SuiteInstalled(paths_));
}

TEST_F(InstallerTest, RemoveKeepsWhatTheDeleteFilterKeeps) {
  ASSERT_EQ(InstallSuite(paths_, actions_).outcome, InstallOutcome::kInstalled);
  test::WriteHostFile(Root() + "Method/Method notes", "kept");
  test::WriteHostFile(Root() + "Zvrx.exe", "kept");
  RemoveSuite(paths_, actions_);
  EXPECT_EQ(test::ReadHostFile(Root() + "Method/Method notes"), "kept");
  EXPECT_EQ(test::ReadHostFile(Root() + "Zvrx.exe"), "kept");
  EXPECT_FALSE(fs::exists(Root() + "MailZevrox.exe"));
  EXPECT_FALSE(fs::exists(Root() + "Zvrx Staffs"));
  EXPECT_FALSE(fs::exists(StartupCopy()));
}

TEST(InstallerStart, TheWaitForTheBlockIsBounded) {
  struct Case {
    const char* what;
    int checker_pid;
    int block_at;   // the test at which the block is there; 0: never
    int ends_at;    // the test after which the checker has ended; 0: never
    bool seen;
    int tests;
  };
  const Case cases[] = {
      {"block at once", 100, 1, 0, true, 1},
      {"block on the third test", 100, 3, 0, true, 3},
      {"checker ended without a block", 100, 0, 2, false, 2},
      {"checker never makes its block", 100, 0, 0, false, kBlockWaitLimit},
      {"checker did not start", -1, 1, 0, false, 0},
  };
  for (const Case& c : cases) {
    InstallerActions actions;
    std::vector<std::string> started;
    int tests = 0;
    int slept = 0;
    actions.start_program = [&](const std::string& line) {
      started.push_back(line);
      return started.size() == 1 ? c.checker_pid : 200;
    };
    actions.checker_block_exists = [&] { return ++tests == c.block_at; };
    actions.process_running = [&](int pid) {
      EXPECT_EQ(pid, c.checker_pid);
      return c.ends_at == 0 || tests < c.ends_at;
    };
    actions.sleep = [&](int ms) {
      EXPECT_EQ(ms, kBlockWaitMs);
      ++slept;
    };
    const InstallerPaths paths = BuildInstallerPaths("C:\\WINDOWS", "Z:\\cd");
    const StartReport report = StartSuite(paths, actions);
    EXPECT_EQ(report.block_seen, c.seen) << c.what;
    EXPECT_EQ(report.block_tests, c.tests) << c.what;
    EXPECT_LE(slept, c.tests) << c.what;
    // The checker first, then the settings program, whatever the wait found.
    ASSERT_EQ(started.size(), 2u) << c.what;
    EXPECT_EQ(started[0], "\"" + paths.startup_copy + "\"");
    EXPECT_EQ(started[1], "\"C:\\Program Files\\ZVRX\\MailZevrox.exe\"");
    EXPECT_EQ(report.settings_pid, 200) << c.what;
  }
}

TEST(Autostart, AnEntryPerPrefixThatStartsTheCheckerThere) {
  test::TempPrefix first(false);
  const std::string config = first.path() + "/config";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  const std::string program = Sjis("C:\\WINDOWS\\ｽﾀｰﾄ ﾒﾆｭｰ\\ﾌﾟﾛｸﾞﾗﾑ\\ｽﾀｰﾄｱｯﾌﾟ\\Zvrx.exe");
  ASSERT_TRUE(platform::WriteAutostartEntry(program));
  const std::string path = platform::AutostartEntryPath();
  EXPECT_EQ(path.rfind(config + "/autostart/mail-zevrox-", 0), 0u) << path;
  const std::string entry = test::ReadHostFile(path);
  EXPECT_NE(entry.find("[Desktop Entry]\nType=Application\n"), std::string::npos) << entry;
  const std::string real_prefix = fs::canonical(first.path()).string();
  EXPECT_NE(entry.find("Exec=env \"ZVRX_PREFIX=" + real_prefix + "\" \"" + real_prefix +
                       "/drive_c/WINDOWS/ｽﾀｰﾄ ﾒﾆｭｰ/ﾌﾟﾛｸﾞﾗﾑ/ｽﾀｰﾄｱｯﾌﾟ/Zvrx.exe\"\n"),
            std::string::npos)
      << entry;
  {
    // Another machine on the same desktop has an entry of its own.
    test::TempPrefix second(false);
    EXPECT_NE(platform::AutostartEntryPath(), path);
  }
  EXPECT_EQ(platform::AutostartEntryPath(), path);
  EXPECT_TRUE(platform::RemoveAutostartEntry());
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(platform::RemoveAutostartEntry());  // already gone is fine
  unsetenv("XDG_CONFIG_HOME");
}

TEST(Autostart, ExecArgumentsAreQuoted) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"/home/a b/x", "\"/home/a b/x\""},
      {"100%", "\"100%%\""},
      {"a\"b", "\"a\\\\\"b\""},
      {"$HOME`x`", "\"\\\\$HOME\\\\`x\\\\`\""},
      {"a\\b", "\"a\\\\\\\\b\""},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::ExecArgument(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace zvrx
