// Settings records in their files: byte layouts against golden files, the
// rules for short, long, empty and missing files, and password scrambling.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/drives.h"
#include "platform/files.h"
#include "shared/locations.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "shared/scramble_keys.h"
#include "shared/scramble_text.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

constexpr char kGoldenDir[] = ZVRX_SOURCE_DIR "/tests/golden/";

std::string Golden(const char* name) { return test::ReadHostFile(std::string(kGoldenDir) + name); }

std::string Bytes(const void* record, size_t size) {
  return std::string(static_cast<const char*>(record), size);
}

// The records the golden files hold (see tests/golden/README.md).
SettingsRecords GoldenRecords() {
  SettingsRecords r;
  r.basic.check_mode = 5;
  r.basic.inspection_level = 1;
  r.basic.launch_flags = 0x0002;
  r.basic.account_mask = 0x0005;
  std::strcpy(r.basic.accounts[0], "taro@pop.example.jp");
  std::strcpy(r.basic.accounts[2], "hanako@127.0.0.1");
  std::strcpy(r.basic.passwords[0], "secret");
  std::strcpy(r.basic.passwords[2], "Long-Password_0123456789abcdefghijkl!");
  r.options.option_bits = 0x0113;
  r.options.mailer_marker = 0x00C0FFEE;
  r.judgment.strictness = -1;
  r.judgment.foreign_handling = 1;
  r.judgment.unknown_format_handling = 2;
  std::strcpy(r.judgment.disabled_dictionaries[0], "ZVj-dic-201");
  std::strcpy(r.judgment.disabled_dictionaries[15], "abcd");
  r.judgment.european_charsets[1][0] = 1;
  r.judgment.european_charsets[15][0] = 1;
  // "C:\Program Files\メール\mail.exe"
  std::strcpy(r.mailer.mailer_path, "C:\\Program Files\\\x83\x81\x81\x5b\x83\x8b\\mail.exe");
  std::strcpy(r.mailer.mailer_arguments, "/check %1");
  return r;
}

class RecordFilesTest : public ::testing::Test {
 protected:
  std::string DataFile(const char* name) const { return prefix_.DataFolderHost() + "/" + name; }
  test::TempPrefix prefix_;
};

TEST_F(RecordFilesTest, SavesEachRecordAsItsGoldenFile) {
  SettingsRecords r = GoldenRecords();
  SettingsRecords before = r;
  ASSERT_TRUE(SaveBasicSettings(r.basic));
  ASSERT_TRUE(SaveNotifyOptions(r.options));
  ASSERT_TRUE(SaveJudgmentSettings(r.judgment));
  ASSERT_TRUE(SaveMailerSettings(r.mailer));
  for (const char* name : {"ZVmi128", "ZVoi128", "ZVdi128", "ZVad128"}) {
    SCOPED_TRACE(name);
    std::string golden = Golden(name);
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(test::ReadHostFile(DataFile(name)), golden);
  }
  // Saving scrambles a copy: memory keeps the plain passwords.
  EXPECT_EQ(Bytes(&r.basic, sizeof r.basic), Bytes(&before.basic, sizeof before.basic));
}

TEST_F(RecordFilesTest, LoadsEachGoldenFile) {
  // The current folder is the user's (a file dialog starts there) and holds
  // files of the same names: records are found by their full path and the
  // current folder stays where it was.
  ASSERT_TRUE(platform::SetCurrentDirectory("C:\\WINDOWS"));
  for (const char* name : {"ZVmi128", "ZVoi128", "ZVdi128", "ZVad128"}) {
    test::WriteHostFile(DataFile(name), Golden(name));
    test::WriteHostFile(prefix_.path() + "/drive_c/WINDOWS/" + name, "decoy");
  }
  SettingsRecords loaded;
  std::memset(static_cast<void*>(&loaded), 0x33, sizeof loaded);  // garbage the loads must overwrite
  EXPECT_TRUE(LoadBasicSettings(loaded.basic));
  EXPECT_TRUE(LoadNotifyOptions(loaded.options));
  EXPECT_TRUE(LoadJudgmentSettings(loaded.judgment));
  EXPECT_TRUE(LoadMailerSettings(loaded.mailer));
  SettingsRecords want = GoldenRecords();
  EXPECT_EQ(Bytes(&loaded.basic, sizeof loaded.basic), Bytes(&want.basic, sizeof want.basic));
  EXPECT_EQ(Bytes(&loaded.options, 8), Bytes(&want.options, 8));
  EXPECT_EQ(Bytes(&loaded.judgment, 456), Bytes(&want.judgment, 456));
  EXPECT_EQ(Bytes(&loaded.mailer, 228), Bytes(&want.mailer, 228));
  EXPECT_EQ(platform::GetCurrentDirectory(), "C:\\WINDOWS");
  ASSERT_TRUE(SaveNotifyOptions(loaded.options));
  EXPECT_EQ(test::ReadHostFile(prefix_.path() + "/drive_c/WINDOWS/ZVoi128"), "decoy");
  EXPECT_EQ(platform::GetCurrentDirectory(), "C:\\WINDOWS");
}

// A short file leaves zeros, a long one is cut, an empty or missing one
// counts as missing and gives an all-zero record.
TEST_F(RecordFilesTest, FileSizeRules) {
  struct Case {
    const char* what;
    bool exists;
    std::string content;
    bool found;
    std::string record;  // expected 8 bytes of NotifyOptions
  } cases[] = {
      {"missing", false, "", false, std::string(8, '\0')},
      {"empty", true, "", false, std::string(8, '\0')},
      {"short", true, "\x17\x01\x00", true, std::string("\x17\x01\x00\x00\x00\x00\x00\x00", 8)},
      {"exact", true, "ABCDEFGH", true, "ABCDEFGH"},
      {"long", true, "ABCDEFGHIJKLMNOP", true, "ABCDEFGH"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(DataFile("ZVoi128").c_str());
    if (c.exists) test::WriteHostFile(DataFile("ZVoi128"), c.content);
    NotifyOptions options;
    std::memset(&options, 0x77, sizeof options);
    EXPECT_EQ(LoadRecord(DataFolder(), kNotifyOptionsName, &options, sizeof options), c.found);
    EXPECT_EQ(Bytes(&options, sizeof options), c.record);
  }
}

TEST(RecordFilesNoDataFolder, LoadCountsAsMissingAndSaveWritesNothing) {
  test::TempPrefix prefix(false);
  BasicSettings basic;
  std::memset(&basic, 0x41, sizeof basic);
  EXPECT_FALSE(LoadBasicSettings(basic));
  EXPECT_EQ(Bytes(&basic, sizeof basic), std::string(sizeof basic, '\0'));
  EXPECT_FALSE(SaveBasicSettings(basic));
  EXPECT_FALSE(platform::FolderExists(DataFolder()));
}

TEST_F(RecordFilesTest, SavedBasicSettingsHideThePasswords) {
  BasicSettings basic{};
  std::strcpy(basic.accounts[0], "taro@127.0.0.1");
  std::strcpy(basic.passwords[0], "secret");
  ASSERT_TRUE(SaveBasicSettings(basic));
  std::string file = test::ReadHostFile(DataFile("ZVmi128"));
  EXPECT_EQ(file.size(), 518u);
  EXPECT_EQ(file.find("secret"), std::string::npos);
  BasicSettings loaded{};
  ASSERT_TRUE(LoadBasicSettings(loaded));
  EXPECT_STREQ(loaded.passwords[0], "secret");
}

// The changed flag reaches the checker only in the block copy.
TEST_F(RecordFilesTest, JudgmentFileNeverHoldsTheChangedFlag) {
  JudgmentSettings judgment{};
  judgment.strictness = 1;
  judgment.languages_changed = 1;
  ASSERT_TRUE(SaveJudgmentSettings(judgment));
  EXPECT_EQ(judgment.languages_changed, 1);
  JudgmentSettings loaded{};
  ASSERT_TRUE(LoadJudgmentSettings(loaded));
  EXPECT_EQ(loaded.languages_changed, 0);
  EXPECT_EQ(loaded.strictness, 1);
}

TEST(ScrambleText, IsItsOwnInverseAtEveryLength) {
  for (size_t length : {1u, 31u, 32u, 33u, 59u, 84u}) {
    SCOPED_TRACE(length);
    char field[kAccountFieldSize] = {};
    for (size_t i = 0; i < length; ++i) field[i] = static_cast<char>('!' + i % 94);
    std::string plain(field, sizeof field);
    ScrambleText(field);
    EXPECT_NE(std::string(field, sizeof field), plain);
    EXPECT_EQ(strnlen(field, sizeof field), length);  // no byte became zero
    ScrambleText(field);
    EXPECT_EQ(std::string(field, sizeof field), plain);
  }
}

TEST(ScrambleText, KeyRepeatsEvery32Bytes) {
  char field[kAccountFieldSize] = {};
  std::memset(field, 'a', 40);
  ScrambleText(field);
  for (size_t i = 0; i < 40; ++i) {
    uint8_t key = static_cast<uint8_t>(kPasswordScrambleByte + i % 32);
    EXPECT_EQ(static_cast<uint8_t>(field[i]), 'a' ^ key) << i;
  }
}

// Only a byte equal to its position's key scrambles to zero, and every such
// byte lies above 0x7F: an ASCII password always survives.
TEST(ScrambleText, OnlyNonAsciiBytesCanScrambleToZero) {
  for (int position = 0; position < 59; ++position) {
    for (int byte = 1; byte < 0x80; ++byte) {
      char field[kAccountFieldSize] = {};
      std::memset(field, 'x', static_cast<size_t>(position) + 1);
      field[position] = static_cast<char>(byte);
      ScrambleText(field);
      ASSERT_NE(field[position], 0) << "byte " << byte << " at " << position;
    }
  }
}

// The known weakness of the scheme: a byte equal to its key cuts the loaded
// password there. Saving must still leave the password in memory whole.
TEST_F(RecordFilesTest, PasswordByteEqualToItsKeyCutsTheLoadedPassword) {
  BasicSettings basic{};
  std::strcpy(basic.accounts[0], "taro@127.0.0.1");
  basic.passwords[0][0] = 'p';
  basic.passwords[0][1] = static_cast<char>(kPasswordScrambleByte + 1);
  basic.passwords[0][2] = 'q';
  BasicSettings before = basic;
  ASSERT_TRUE(SaveBasicSettings(basic));
  EXPECT_EQ(Bytes(&basic, sizeof basic), Bytes(&before, sizeof before));
  BasicSettings loaded{};
  ASSERT_TRUE(LoadBasicSettings(loaded));
  EXPECT_STREQ(loaded.passwords[0], "p");
}

// A field without a terminator is scrambled within its 85 bytes only.
TEST(ScrambleText, UnterminatedFieldStaysInItsBounds) {
  BasicSettings basic{};
  std::memset(basic.passwords[1], 'z', kAccountFieldSize);
  std::string third(basic.passwords[2], kAccountFieldSize);
  ScramblePasswords(basic);
  EXPECT_EQ(std::string(basic.passwords[2], kAccountFieldSize), third);
  ScramblePasswords(basic);
  EXPECT_EQ(std::string(basic.passwords[1], kAccountFieldSize), std::string(85, 'z'));
}

TEST(SettingsRules, LaunchFlagsFollowOptionBits2And8) {
  struct Case {
    uint16_t option_bits;
    uint16_t flags;
  } cases[] = {{0x0000, 0}, {0x0004, 1}, {0x0100, 2}, {0x0104, 3}, {0x00FB, 0}, {0xFEFB, 0}};
  for (const Case& c : cases) EXPECT_EQ(DeriveLaunchFlags(c.option_bits), c.flags) << c.option_bits;
}

TEST(SettingsRules, AccountMasks) {
  struct Case {
    const char* accounts[3];
    const char* passwords[3];
    uint16_t old_mask;
    uint16_t on_close;
    uint16_t for_check;
  } cases[] = {
      {{"", "", ""}, {"", "", ""}, 0x0007, 0x0000, 0x0000},
      {{"a@b", "", "c@d"}, {"x", "", "y"}, 0x0000, 0x0005, 0x0005},
      // An account without a password: enabled on close, kept as it was for a check.
      {{"a@b", "c@d", ""}, {"", "", ""}, 0x0002, 0x0003, 0x0002},
      {{"", "c@d", ""}, {"x", "y", "z"}, 0x0001, 0x0002, 0x0002},
  };
  for (const Case& c : cases) {
    BasicSettings basic{};
    basic.account_mask = c.old_mask;
    for (int n = 0; n < 3; ++n) {
      std::strcpy(basic.accounts[n], c.accounts[n]);
      std::strcpy(basic.passwords[n], c.passwords[n]);
    }
    EXPECT_EQ(AccountMaskOnClose(basic), c.on_close);
    EXPECT_EQ(AccountMaskForCheck(basic), c.for_check);
  }
}

TEST(Locations, InstallRootIsTheWindowsDrivePlusProgramFiles) {
  struct Case {
    const char* windows_directory;
    const char* install_root;
  } cases[] = {
      {"C:\\WINDOWS", "C:\\Program Files\\ZVRX\\"},
      {"D:\\WIN98\\SYSTEM", "D:\\Program Files\\ZVRX\\"},
      {"C:\\", "C:\\Program Files\\ZVRX\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(InstallRootOf(c.windows_directory), c.install_root);
  test::TempPrefix prefix;
  EXPECT_EQ(DataFolder(), "C:\\Program Files\\ZVRX\\Zvrx Staffs\\");
  EXPECT_EQ(platform::HostPath(DataFolder() + "ZVmi128"),
            prefix.DataFolderHost() + "/ZVmi128");
}

}  // namespace
}  // namespace zvrx
