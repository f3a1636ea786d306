// The extension settings file "ZVRXExt.ini": what a file text gives and what
// it keeps on save, values refused when set, and the file on disk (missing,
// a folder in its place, a failed save, its mode, the settings lock).
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/named_lock.h"
#include "shared/extension_settings.h"
#include "shared/record_files.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

// One key of each type, as the next features will add them.
constexpr ExtensionKey kTestKeys[] = {
    BoolKey("modern_mail", "on", "UTF-8 と Base64 のメールも解析する"),
    IntegerKey("kept_copies", 0, 500, "50", "削除したメールの控えの数"),
    WordsKey("account1_transport", "auto|tls|starttls|plain", "auto", "アカウント1 の接続"),
    TextKey("kept_folder", 16, "", "控えのフォルダ"),
};

struct Values {
  bool modern = true;
  long kept = 50;
  std::string transport = "auto";
  std::string folder;
};

ExtensionSettings Parsed(const std::string& text) {
  ExtensionSettings settings(kTestKeys);
  settings.Parse(text);
  return settings;
}

std::string Problems(const ExtensionSettings& settings) {
  std::string all;
  for (const std::string& problem : settings.problems()) all += problem + "\n";
  return all;
}

struct ReadCase {
  const char* rule;
  std::string text;
  Values values;
  std::vector<std::string> problems;  // each a part of one problem, in order
};

TEST(ExtensionSettings, FileTextsGiveTheirValuesAndSaveBackByteForByte) {
  const std::vector<ReadCase> cases = {
      {"an empty file is every default", "", {}, {}},
      {"every key set, LF",
       "# mine\nmodern_mail = off\nkept_copies = 7\naccount1_transport = tls\n"
       "kept_folder = 控え\n",
       {false, 7, "tls", "控え"},
       {}},
      {"every key set, CR LF",
       "# mine\r\nmodern_mail = off\r\nkept_copies = 7\r\naccount1_transport = tls\r\n"
       "kept_folder = 控え\r\n",
       {false, 7, "tls", "控え"},
       {}},
      {"blanks around '=' are no part of key or value",
       "modern_mail=off\n\t kept_copies \t=\t 12 \t\naccount1_transport   =plain\n",
       {false, 12, "plain", ""},
       {}},
      {"the last line needs no line ending", "kept_copies = 500", {true, 500, "auto", ""}, {}},
      {"a byte-order mark before the first key",
       "\xEF\xBB\xBFmodern_mail = off\r\n",
       {false, 50, "auto", ""},
       {}},
      {"on and off in the other spellings a person may write",
       "modern_mail = No\naccount1_transport = STARTTLS\n",
       {false, 50, "starttls", ""},
       {}},
      {"a value may hold '=' and '#'; only a line starting with '#' is a comment",
       "kept_folder = a=b#c\n  # modern_mail = off\n",
       {true, 50, "auto", "a=b#c"},
       {}},
      {"unknown keys are someone else's: kept, no problem (keys are exact)",
       "future_key = anything\nModern_Mail = off\n",
       {},
       {}},
      {"a key given twice: the last line counts",
       "modern_mail = off\nkept_copies = 1\nmodern_mail = on\n",
       {true, 1, "auto", ""},
       {"ZVRXExt.ini line 3: modern_mail is given again (also on line 1); the last line counts"}},
      {"the last line counts even when its value is bad: the default, not the earlier value",
       "modern_mail = off\nmodern_mail = maybe\n",
       {},
       {"line 2: modern_mail is given again",
        "line 2: modern_mail must be on or off; the default on is used"}},
      {"bad values are reported and their defaults used",
       "modern_mail = off # no\nkept_copies = 501\naccount1_transport = ssl\n"
       "kept_folder = 12345678901234567\n",
       {},
       {"line 1: modern_mail must be on or off; the default on is used",
        "line 2: kept_copies must be a whole number from 0 to 500; the default 50 is used",
        "line 3: account1_transport must be one of auto, tls, starttls, plain; the default auto is "
        "used",
        "line 4: kept_folder must be at most 16 bytes; the default (empty) is used"}},
      {"numbers are plain decimals in range",
       "kept_copies = -1\nkept_copies = +5\nkept_copies = 1e3\nkept_copies = "
       "99999999999999999999\nkept_copies =\n",
       {},
       {"line 1: kept_copies must be a whole", "line 2: kept_copies is given again",
        "line 2: kept_copies must be a whole", "line 3: kept_copies is given again",
        "line 3: kept_copies must be a whole", "line 4: kept_copies is given again",
        "line 4: kept_copies must be a whole", "line 5: kept_copies is given again",
        "line 5: kept_copies must be a whole"}},
      {"text must be clean UTF-8",
       "kept_folder = \xff\xfe\nkept_copies = 3\r\r\n",
       {true, 50, "auto", ""},
       {"line 1: kept_folder must be UTF-8 text without control characters",
        "line 2: kept_copies must be a whole"}},
      {"lines that are no key = value are reported and kept",
       "just words\n= on\n\n   \n",
       {},
       {"line 1: no key = value; the line is kept as it is",
        "line 2: no key = value; the line is kept as it is"}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.rule);
    ExtensionSettings settings = Parsed(c.text);
    EXPECT_EQ(settings.Bool("modern_mail"), c.values.modern);
    EXPECT_EQ(settings.Integer("kept_copies"), c.values.kept);
    EXPECT_EQ(settings.Value("account1_transport"), c.values.transport);
    EXPECT_EQ(settings.Value("kept_folder"), c.values.folder);
    ASSERT_EQ(settings.problems().size(), c.problems.size()) << Problems(settings);
    for (size_t i = 0; i < c.problems.size(); ++i) {
      EXPECT_NE(settings.problems()[i].find(c.problems[i]), std::string::npos)
          << settings.problems()[i];
    }
    EXPECT_EQ(settings.Text(), c.text) << "saved without a change, the file must stay as it was";
    EXPECT_TRUE(settings.unreadable().empty());
  }
}

struct SetCase {
  const char* rule;
  std::string before;
  const char* key;
  std::string value;
  std::string after;
};

TEST(ExtensionSettings, SetChangesOnlyTheValueOrAddsOneLine) {
  const std::vector<SetCase> cases = {
      {"a new file gets the key under a comment saying what it means", "", "modern_mail", "off",
       "# UTF-8 と Base64 のメールも解析する (on|off)\nmodern_mail = off\n"},
      {"a new line follows the file's CR LF, after what is there", "# mine\r\nfuture = 1\r\n",
       "kept_copies", "9",
       "# mine\r\nfuture = 1\r\n# 削除したメールの控えの数 (0..500)\r\nkept_copies = 9\r\n"},
      {"a last line without ending is ended first", "future = 1", "account1_transport", "TLS",
       "future = 1\n# アカウント1 の接続 (auto|tls|starttls|plain)\naccount1_transport = tls\n"},
      {"only the value's bytes change: blanks, comments and endings stay",
       "# c\r\n  modern_mail\t=\ton  \r\nfuture=x\n", "modern_mail", "false",
       "# c\r\n  modern_mail\t=\toff  \r\nfuture=x\n"},
      {"of a key given twice, the line that counts changes",
       "modern_mail = off\nmodern_mail = off\n", "modern_mail", "on",
       "modern_mail = off\nmodern_mail = on\n"},
      {"a bad value is replaced", "kept_copies = lots\n", "kept_copies", "3", "kept_copies = 3\n"},
      {"an empty value is filled in", "kept_copies =\n", "kept_copies", "0", "kept_copies =0\n"},
      {"the byte-order mark stays", "\xEF\xBB\xBFkept_folder = a\n", "kept_folder", "控えの箱",
       "\xEF\xBB\xBFkept_folder = 控えの箱\n"},
      {"text of exactly the limit", "", "kept_folder", std::string(16, 'f'),
       "# 控えのフォルダ (text, at most 16 bytes)\nkept_folder = ffffffffffffffff\n"},
  };
  for (const SetCase& c : cases) {
    SCOPED_TRACE(c.rule);
    ExtensionSettings settings = Parsed(c.before);
    EXPECT_EQ(settings.Set(c.key, c.value), "");
    EXPECT_EQ(settings.Text(), c.after);
    // What was saved reads back as what was set, without a problem.
    ExtensionSettings again = Parsed(settings.Text());
    EXPECT_EQ(again.Value(c.key), settings.Value(c.key));
    const bool duplicate = c.before.find("modern_mail = off\nmodern_mail") != std::string::npos;
    EXPECT_EQ(again.problems().size(), duplicate ? 1u : 0u) << Problems(again);
  }
}

TEST(ExtensionSettings, BadValuesAreRefusedWhenSetAndChangeNothing) {
  const std::string before = "# mine\nkept_folder = box\n";
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"modern_mail", "maybe"},
      {"modern_mail", ""},
      {"modern_mail", " on"},
      {"kept_copies", "501"},
      {"kept_copies", "-1"},
      {"kept_copies", "1e3"},
      {"kept_copies", " 5"},
      {"kept_copies", "0x10"},
      {"account1_transport", "ssl"},
      {"account1_transport", "tls|plain"},
      {"kept_folder", std::string(17, 'f')},  // one byte over
      {"kept_folder", "控え控え控え"},        // six characters of three bytes: 18
      // A line break would smuggle a second key into the file.
      {"kept_folder", "x\nmodern_mail = off"},
      {"kept_folder", "x\r"},
      {"kept_folder", "tab\there"},
      {"kept_folder", " lead"},
      {"kept_folder", "trail "},
      {"kept_folder", "\xc3\x28"},      // broken UTF-8
      {"kept_folder", "\xc0\xaf"},      // overlong '/'
      {"kept_folder", "\xed\xa0\x80"},  // a surrogate
      {"kept_folder", "del\x7f"},
      {"kept_folder", "c1\xc2\x85"},  // NEL, a control character
      {"no_such_key", "on"},
  };
  for (const auto& [key, value] : refused) {
    SCOPED_TRACE(key + " = " + value);
    ExtensionSettings settings = Parsed(before);
    const std::string error = settings.Set(key, value);
    EXPECT_NE(error, "");
    EXPECT_NE(error.find(key), std::string::npos) << "the refusal names the key: " << error;
    EXPECT_EQ(settings.Text(), before);
    EXPECT_EQ(settings.Value("kept_folder"), "box");
  }
  ExtensionSettings settings = Parsed(before);
  EXPECT_EQ(settings.Set("kept_folder", std::string(15, 'f')), "");
  EXPECT_EQ(settings.Set("kept_folder", "控え"), "");
}

// The delivered table: every default is a value its key accepts, and a key
// nobody set leaves the modern mail analysis on.
TEST(ExtensionSettings, TheTableOfKeysIsSound) {
  for (const ExtensionKey& key : kExtensionKeys) {
    SCOPED_TRACE(key.name);
    std::string canonical;
    EXPECT_EQ(CheckExtensionValue(key, key.default_value, &canonical), "");
    EXPECT_EQ(canonical, key.default_value) << "a default is written as the file would hold it";
    EXPECT_NE(std::string(key.meaning), "");
    int same_name = 0;
    for (const ExtensionKey& other : kExtensionKeys) {
      same_name += std::string(other.name) == key.name;
    }
    EXPECT_EQ(same_name, 1);
  }
  ExtensionSettings none;
  EXPECT_TRUE(none.Bool(kModernMailKey));
  EXPECT_EQ(none.Text(), "");
  EXPECT_EQ(none.Set(kModernMailKey, "off"), "");
  EXPECT_EQ(none.Text(), "# UTF-8 と Base64 のメールも解析する (on|off)\nmodern_mail = off\n");
}

using zvrx::test::FileSizeLimit;

class ExtensionSettingsFileTest : public ::testing::Test {
 protected:
  std::string File() const { return prefix_.DataFolderHost() + "/ZVRXExt.ini"; }
  unsigned Mode() const {
    struct stat info;
    return stat(File().c_str(), &info) == 0 ? info.st_mode & 07777 : 0u;
  }
  size_t EntriesInDataFolder() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(prefix_.DataFolderHost()), {}));
  }
  test::TempPrefix prefix_;
};

TEST_F(ExtensionSettingsFileTest, MissingFileIsTheDefaultsAndASaveMakesItOwnerOnly) {
  ExtensionSettings missing = LoadExtensionSettings();
  EXPECT_TRUE(missing.Bool(kModernMailKey));
  EXPECT_TRUE(missing.problems().empty());

  ASSERT_EQ(ChangeExtensionSettings({{kModernMailKey, "off"}}), "");
  EXPECT_EQ(Mode(), 0600u);
  EXPECT_FALSE(LoadExtensionSettings().Bool(kModernMailKey));
  EXPECT_EQ(EntriesInDataFolder(), 1u) << "a temporary file was left behind";
}

// Comments and keys of others survive a save byte for byte, and a file
// someone made readable for all is owner-only again after it.
TEST_F(ExtensionSettingsFileTest, SaveKeepsWhatItDoesNotOwnAndNarrowsTheMode) {
  const std::string text = "# 自分のメモ\r\nfuture_key = 1\r\nmodern_mail = off\r\n\r\n# end\r\n";
  test::WriteHostFile(File(), text);
  ASSERT_EQ(chmod(File().c_str(), 0644), 0);
  ASSERT_EQ(ChangeExtensionSettings({{"modern_mail", "on"}}), "");
  EXPECT_EQ(test::ReadHostFile(File()),
            "# 自分のメモ\r\nfuture_key = 1\r\nmodern_mail = on\r\n\r\n# end\r\n");
  EXPECT_EQ(Mode(), 0600u);
}

TEST_F(ExtensionSettingsFileTest, BadChangeWritesNothing) {
  test::WriteHostFile(File(), "modern_mail = off\n");
  const std::string error =
      ChangeExtensionSettings({{"modern_mail", "on"}, {"modern_mail", "maybe"}});
  EXPECT_EQ(error, "modern_mail must be on or off");
  EXPECT_EQ(test::ReadHostFile(File()), "modern_mail = off\n");
}

TEST_F(ExtensionSettingsFileTest, FailedSaveKeepsTheOldFile) {
  const std::string old_text = "# " + std::string(200, 'x') + "\nmodern_mail = off\n";
  test::WriteHostFile(File(), old_text);
  {
    FileSizeLimit limit(64);
    EXPECT_EQ(ChangeExtensionSettings({{"modern_mail", "on"}}), "cannot write ZVRXExt.ini");
  }
  EXPECT_EQ(test::ReadHostFile(File()), old_text);
  EXPECT_EQ(EntriesInDataFolder(), 1u) << "a temporary file was left behind";
}

// A file that cannot be read is reported, its defaults used, and never
// replaced: a save would lose whatever it holds.
TEST_F(ExtensionSettingsFileTest, UnreadableFileIsReportedAndNotReplaced) {
  fs::create_directories(File() + "/inner");
  ExtensionSettings folder = LoadExtensionSettings();
  EXPECT_TRUE(folder.Bool(kModernMailKey));
  ASSERT_EQ(folder.problems().size(), 1u);
  EXPECT_EQ(folder.problems()[0],
            "ZVRXExt.ini: a folder stands in its place; the defaults are used");
  EXPECT_EQ(ChangeExtensionSettings({{"modern_mail", "off"}}),
            "ZVRXExt.ini: a folder stands in its place; nothing was written");
  EXPECT_TRUE(fs::is_directory(File() + "/inner"));
  fs::remove_all(File());

  const std::string huge = "modern_mail = off\n# " + std::string(kExtensionSettingsMaxBytes, 'x');
  test::WriteHostFile(File(), huge);
  ExtensionSettings large = LoadExtensionSettings();
  EXPECT_TRUE(large.Bool(kModernMailKey));
  EXPECT_NE(large.unreadable(), "");
  EXPECT_NE(ChangeExtensionSettings({{"modern_mail", "on"}}), "");
  EXPECT_EQ(test::ReadHostFile(File()), huge);
}

TEST(ExtensionSettingsFile, MissingDataFolderIsTheDefaultsAndIsNotCreated) {
  test::TempPrefix prefix(false);
  ExtensionSettings settings = LoadExtensionSettings();
  EXPECT_TRUE(settings.Bool(kModernMailKey));
  EXPECT_TRUE(settings.problems().empty());
  EXPECT_EQ(ChangeExtensionSettings({{"modern_mail", "off"}}), "no data folder");
  EXPECT_FALSE(fs::exists(prefix.DataFolderHost()));
}

// A change waits while another process holds the settings lock, as the
// record saves do, and is made once it lets go.
TEST_F(ExtensionSettingsFileTest, ChangeWaitsForTheSettingsLock) {
  test::ChildProcess holder([](const test::ChildProcess::Side& side) {
    auto lock = LockSettings(0);
    side.Ready(lock ? 'r' : 'f');
    side.Wait();
    return 0;
  });
  ASSERT_EQ(holder.WaitReady(), 'r');
  std::string result = "not yet";
  std::thread change([&] { result = ChangeExtensionSettings({{"modern_mail", "off"}}); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(fs::exists(File())) << "written while another program held the lock";
  EXPECT_EQ(holder.Finish(), 0);
  change.join();
  EXPECT_EQ(result, "");
  EXPECT_FALSE(LoadExtensionSettings().Bool(kModernMailKey));
}

}  // namespace
}  // namespace zvrx
