// zvrxctl's settings commands, run as the real program on a temporary
// prefix: what they save, what show prints, and input they refuse.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/record_files.h"
#include "shared/records.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"


namespace zvrx {
namespace {

namespace fs = std::filesystem;


using CtlResult = test::ProgramRun;

class ZvrxctlSettingsTest : public ::testing::Test {
 protected:
  // The prefix starts empty: init has to make everything.
  ZvrxctlSettingsTest() : prefix_(false) {}

  CtlResult Ctl(std::vector<std::string> args) {
    return test::RunZvrxctl(prefix_.path(), std::move(args), {});
  }

  void Ok(std::vector<std::string> args) {
    CtlResult run = Ctl(args);
    ASSERT_EQ(run.status, 0) << args[0] << ": " << run.err;
    ASSERT_EQ(run.err, "");
  }

  // Every file under drive_c with its bytes.
  std::map<std::string, std::string> Machine() {
    std::map<std::string, std::string> files;
    std::error_code ec;
    fs::path root = fs::path(prefix_.path()) / "drive_c";
    for (auto it = fs::recursive_directory_iterator(root, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_regular_file()) files[it->path().string()] = test::ReadHostFile(it->path());
    }
    return files;
  }

  std::string DataFile(const char* name) { return prefix_.DataFolderHost() + "/" + name; }

  test::TempPrefix prefix_;
};

TEST_F(ZvrxctlSettingsTest, SettingsRoundTripThroughShow) {
  std::string long_account = std::string(54, 'u') + "@h.jp";  // 59, the edit limit
  ASSERT_EQ(long_account.size(), kAccountEditMax);
  Ok({"init"});
  EXPECT_TRUE(fs::is_directory(prefix_.path() + "/drive_c/WINDOWS"));
  EXPECT_TRUE(fs::is_directory(prefix_.InstallRootHost() + "/Method"));
  Ok({"account", "1", "taro@127.0.0.1", "secret"});
  Ok({"account", "3", long_account, std::string(59, 'p')});
  Ok({"options", "0x104"});
  Ok({"mode", "4"});
  Ok({"level", "2"});
  Ok({"strictness", "-1"});

  std::string file = test::ReadHostFile(DataFile("ZVmi128"));
  EXPECT_EQ(file.size(), 518u);
  EXPECT_EQ(file.find("secret"), std::string::npos);
  EXPECT_EQ(test::ReadHostFile(DataFile("ZVoi128")), std::string("\x04\x01\0\0\0\0\0\0", 8));

  BasicSettings basic{};
  ASSERT_TRUE(LoadBasicSettings(basic));
  EXPECT_EQ(basic.check_mode, 4);
  EXPECT_EQ(basic.inspection_level, 2);
  EXPECT_EQ(basic.account_mask, 0x0005);
  EXPECT_EQ(basic.launch_flags, 0x0003);
  EXPECT_STREQ(basic.passwords[0], "secret");
  EXPECT_EQ(std::string(basic.passwords[2]), std::string(59, 'p'));

  CtlResult show = Ctl({"show"});
  ASSERT_EQ(show.status, 0);
  for (const std::string& line :
       {std::string("check mode: 4 (every 30 minutes)\n"),
        std::string("inspection level: 2 (judge by the acceptance list)\n"),
        std::string("account 1: taro@127.0.0.1, password ********, enabled\n"),
        std::string("account 2: (none), password (none), disabled\n"),
        "account 3: " + long_account + ", password ********, enabled\n",
        std::string("options: 0x0104\n"), std::string("strictness: -1 (slightly lenient)\n"),
        std::string("data folder: C:\\Program Files\\ZVRX\\Zvrx Staffs\\\n")}) {
    EXPECT_NE(show.out.find(line), std::string::npos) << line << "in:\n" << show.out;
  }
  EXPECT_EQ(show.out.find("secret"), std::string::npos);

  Ok({"account", "1", "--clear"});
  ASSERT_TRUE(LoadBasicSettings(basic));
  EXPECT_EQ(basic.account_mask, 0x0004);
  EXPECT_EQ(std::string(basic.accounts[0], kAccountFieldSize), std::string(85, '\0'));
  EXPECT_EQ(std::string(basic.passwords[0], kAccountFieldSize), std::string(85, '\0'));
}

// The judgment page's choices and both lists, as the pages save them.
TEST_F(ZvrxctlSettingsTest, JudgmentChoicesAndListsRoundTripThroughShow) {
  const std::string dist = prefix_.path() + "/dist";
  for (const char* name : {"10jp_one", "20en_two", "w10jp_one", "3lib_skipped"}) {
    test::WriteHostFile(dist + "/Method/" + name, "dictionary");
  }
  Ok({"init", "--data", dist});
  Ok({"handling", "foreign", "1"});
  Ok({"handling", "unclear", "2"});
  Ok({"european", "1", "on", "11", "on", "2", "off"});
  Ok({"dictionaries", "20en_two", "off"});
  Ok({"accept", "add", "friend@example.jp", "\xe5\xb1\xb1\xe7\x94\xb0", "@club.example"});  // 山田
  Ok({"accept", "add", "friend@example.jp"});  // already listed: stays once
  Ok({"accept", "remove", "\xe5\xb1\xb1\xe7\x94\xb0"});
  Ok({"reject", "add", "spam@bad.example"});

  JudgmentSettings judgment{};
  ASSERT_TRUE(LoadJudgmentSettings(judgment));
  EXPECT_EQ(judgment.foreign_handling, 1);
  EXPECT_EQ(judgment.unknown_format_handling, 2);
  EXPECT_STREQ(judgment.disabled_dictionaries[0], "20en_two");
  EXPECT_EQ(judgment.languages_changed, 0);
  // The dialog's Nordic box: 10, 11 and 12 together.
  for (int n = 1; n < kEuropeanCharsets; ++n) {
    EXPECT_EQ(judgment.european_charsets[n][0], (n == 1 || (n >= 10 && n <= 12)) ? 1 : 0) << n;
  }
  EXPECT_EQ(test::ReadHostFile(DataFile("ZVRXWhiteList")),
            "friend@example.jp\r\n@club.example\r\n");
  EXPECT_EQ(test::ReadHostFile(DataFile("ZVRXBlackList")), "spam@bad.example\r\n");

  CtlResult show = Ctl({"show"});
  for (const std::string& line :
       {"mail neither Japanese nor English: 1 (analyse as English)\n",
        "mail of unrecognised format: 2 (delete without analysing)\n",
        "dictionaries switched off: 20en_two\n",
        "European character sets read as English: ISO-8859-1, ISO-8859-10, ISO-8859-11, "
        "ISO-8859-12\n",
        "acceptance list: 2 entries\n", "rejection list: 1 entry\n"}) {
    EXPECT_NE(show.out.find(line), std::string::npos) << line << "in:\n" << show.out;
  }
  EXPECT_EQ(Ctl({"dictionaries"}).out, "10jp_one: on\n20en_two: off\n");
  EXPECT_EQ(Ctl({"accept", "list"}).out, "friend@example.jp\n@club.example\n");
  EXPECT_NE(Ctl({"european"}).out.find("ISO-8859-10, ISO-8859-11, ISO-8859-12 (Nordic): on\n"),
            std::string::npos);

  Ok({"dictionaries", "20en_two", "on"});
  Ok({"reject", "remove", "spam@bad.example"});
  ASSERT_TRUE(LoadJudgmentSettings(judgment));
  EXPECT_EQ(std::string(judgment.disabled_dictionaries[0], kDictionaryNameSize),
            std::string(kDictionaryNameSize, '\0'));
  EXPECT_EQ(test::ReadHostFile(DataFile("ZVRXBlackList")), "");
}

TEST_F(ZvrxctlSettingsTest, BadInputIsRefusedAndWritesNothing) {
  Ok({"init"});
  Ok({"account", "2", "jiro@example.jp", "pw"});
  Ok({"options", "2"});
  const std::vector<std::vector<std::string>> bad = {
      {"account", "0", "a@b", "p"},
      {"account", "4", "a@b", "p"},
      {"account", "1"},
      {"account", "1", "a@b"},
      {"account", "1", "a@b", "p", "extra"},
      {"account", "1", "nohost", "p"},
      {"account", "1", "@host", "p"},
      {"account", "1", "user@", "p"},
      {"account", "1", std::string(55, 'u') + "@h.jp", "p"},  // 60 characters
      {"account", "1", "a@b", std::string(60, 'p')},
      {"account", "1", "a@b", ""},
      {"account", "1", "a\tb@c", "p"},
      {"account", "1", "\xe5\xa4\xaa\xe9\x83\x8e@b", "p"},  // not ASCII
      {"account", "1", "a@b", "p\x7f"},
      {"mode", "7"},
      {"mode", "-1"},
      {"mode", "1x"},
      {"mode", ""},
      {"mode"},
      {"mode", "1", "2"},
      {"level", "3"},
      {"options", "0x8"},
      {"options", "0x10000"},
      {"options", "0x"},
      {"options", "-1"},
      {"strictness", "2"},
      {"strictness", "--1"},
      {"init", "--data", prefix_.path() + "/no-such-folder"},
      {"init", "--bogus"},
      {"show", "extra"},
      {"handling", "foreign", "3"},
      {"handling", "unclear"},
      {"handling", "other", "1"},
      {"european", "5", "on"},  // no box of the dialog stands for it
      {"european", "1", "yes"},
      {"european", "1"},
      {"european", "16", "on"},
      {"dictionaries", "9none", "off"},
      {"dictionaries", "1jp", "maybe"},
      {"accept", "add"},
      {"accept", "add", ""},
      {"accept", "add", "a..b@example.jp"},
      {"accept", "add", "tab\there@example.jp"},
      {"accept", "add", "\xf0\x9f\x98\x80@example.jp"},  // no Shift-JIS form
      {"accept", "add", std::string(256, 'a')},
      {"reject", "add", std::string(60, 'a')},  // the rejection page takes 59
      {"reject", "remove", "not-listed@example.jp"},
      {"reject", "list", "extra"},
      {"accept", "clear"},
      {"modern"},
      {"modern", "yes"},
      {"modern", "ON"},
      {"modern", ""},
      {"modern", "on", "off"},
      {"learned"},
      {"learned", "maybe"},
      {"learned", "on", "off"},
      {"brands"},
      {"brands", "yes"},
      {"brands", "on", "off"},
      {"warnings"},
      {"warnings", "no"},
      {"warnings", "off", "on"},
  };
  auto before = Machine();
  for (const auto& args : bad) {
    std::string shown;
    for (const auto& arg : args) shown += arg + " ";
    SCOPED_TRACE(shown);
    CtlResult run = Ctl(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("zvrxctl: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    EXPECT_EQ(Machine(), before);
  }
}

// modern keeps its choice in ZVRXExt.ini, which show reads back together
// with whatever is wrong in the file; a missing key means on.
TEST_F(ZvrxctlSettingsTest, ModernMailRoundTripThroughShow) {
  const std::string on = "modern mail (UTF-8, Base64, HTML): on\n";
  const std::string off = "modern mail (UTF-8, Base64, HTML): off\n";
  CtlResult before_init = Ctl({"modern", "off"});
  EXPECT_EQ(before_init.status, 2);
  EXPECT_EQ(before_init.err, "zvrxctl: modern: no data folder (run init first)\n");
  EXPECT_FALSE(fs::exists(prefix_.DataFolderHost()));

  Ok({"init"});
  EXPECT_NE(Ctl({"show"}).out.find(on), std::string::npos) << "a new installation";
  CtlResult run = Ctl({"modern", "off"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "") << "nothing is handed to a running checker, so nothing says so";
  EXPECT_EQ(test::ReadHostFile(DataFile("ZVRXExt.ini")),
            "# UTF-8 \xe3\x81\xa8 Base64 \xe3\x81\xae\xe3\x83\xa1\xe3\x83\xbc\xe3\x83\xab"
            "\xe3\x82\x82\xe8\xa7\xa3\xe6\x9e\x90\xe3\x81\x99\xe3\x82\x8b (on|off)\n"
            "modern_mail = off\n");  // UTF-8 と Base64 のメールも解析する
  CtlResult show = Ctl({"show"});
  EXPECT_NE(show.out.find(off), std::string::npos) << show.out;
  EXPECT_EQ(show.out.find("ZVRXExt.ini"), std::string::npos) << "no problem to report";
  Ok({"modern", "on"});
  EXPECT_NE(Ctl({"show"}).out.find(on), std::string::npos);

  // A hand-edited value that means nothing: show says so, and the default
  // holds; a later modern replaces it.
  test::WriteHostFile(DataFile("ZVRXExt.ini"), "# mine\nmodern_mail = of\n");
  show = Ctl({"show"});
  EXPECT_EQ(show.status, 0);
  EXPECT_NE(show.out.find(on + "ZVRXExt.ini line 2: modern_mail must be on or off; the default "
                               "on is used\n"),
            std::string::npos)
      << show.out;
  Ok({"modern", "off"});
  EXPECT_EQ(test::ReadHostFile(DataFile("ZVRXExt.ini")), "# mine\nmodern_mail = off\n");
}

// learned keeps its choice in ZVRXExt.ini beside the others; a new
// installation has the learned judgment on, and show says which.
TEST_F(ZvrxctlSettingsTest, LearnedJudgmentRoundTripThroughShow) {
  const std::string on = "learned judgment (after the dictionaries): on\n";
  const std::string off = "learned judgment (after the dictionaries): off\n";
  EXPECT_EQ(Ctl({"learned", "off"}).status, 2) << "no data folder yet";
  Ok({"init"});
  EXPECT_NE(Ctl({"show"}).out.find(on), std::string::npos) << "a new installation";
  Ok({"modern", "off"});
  Ok({"learned", "off"});
  const std::string ini = test::ReadHostFile(DataFile("ZVRXExt.ini"));
  EXPECT_NE(ini.find("\nlearned_judgment = off\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("\nmodern_mail = off\n"), std::string::npos) << "the other key stays";
  CtlResult show = Ctl({"show"});
  EXPECT_NE(show.out.find(off), std::string::npos) << show.out;
  Ok({"learned", "on"});
  EXPECT_NE(Ctl({"show"}).out.find(on), std::string::npos);
}

// brands and warnings keep the brand check's and the quoted-warnings
// guard's choices in ZVRXExt.ini beside the other extension keys; show
// reads them back, a new installation has them on, and one switch leaves
// the other's line alone.
TEST_F(ZvrxctlSettingsTest, BrandCheckAndQuotedWarningsRoundTripThroughShow) {
  struct Switch {
    const char* command;
    const char* key;
    const char* shown;  // show's line without ": on" or ": off"
  };
  const Switch switches[] = {
      {"brands", "brand_check", "brand check (a brand named off its own domains)"},
      {"warnings", "quoted_warnings", "quoted warnings (judged without their quotations)"},
  };
  for (const Switch& s : switches) {
    SCOPED_TRACE(s.command);
    const std::string on = std::string(s.shown) + ": on\n";
    const std::string off = std::string(s.shown) + ": off\n";
    // Each switch starts from an empty prefix, before init.
    for (const auto& entry : fs::directory_iterator(prefix_.path())) fs::remove_all(entry.path());
    EXPECT_EQ(Ctl({s.command, "off"}).err,
              std::string("zvrxctl: ") + s.command + ": no data folder (run init first)\n");
    Ok({"init"});
    EXPECT_NE(Ctl({"show"}).out.find(on), std::string::npos) << "a new installation";
    test::WriteHostFile(DataFile("ZVRXExt.ini"), "# mine\nmodern_mail = off\n");
    Ok({s.command, "off"});
    const std::string saved = test::ReadHostFile(DataFile("ZVRXExt.ini"));
    EXPECT_EQ(saved.rfind("# mine\nmodern_mail = off\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("\n" + std::string(s.key) + " = off\n"), std::string::npos) << saved;
    CtlResult show = Ctl({"show"});
    EXPECT_NE(show.out.find(off), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("modern mail (UTF-8, Base64, HTML): off\n"), std::string::npos);
    for (const Switch& other : switches) {
      if (&other == &s) continue;
      EXPECT_NE(show.out.find(std::string(other.shown) + ": on\n"), std::string::npos) << show.out;
      EXPECT_EQ(saved.find(other.key), std::string::npos) << saved;
    }
    Ok({s.command, "on"});
    EXPECT_NE(Ctl({"show"}).out.find(on), std::string::npos);
  }
}

// The transport of each account: kept in ZVRXExt.ini for the checker to
// read at its next check, shown by show, and refused when it means nothing.
TEST_F(ZvrxctlSettingsTest, TransportChoiceRoundTripThroughShow) {
  const std::string line = "transport of accounts 1-3 (auto|tls|starttls|plain): ";
  EXPECT_EQ(Ctl({"tls", "1", "tls"}).status, 2) << "no data folder yet";
  Ok({"init"});
  EXPECT_NE(Ctl({"show"}).out.find(line + "auto, auto, auto\n"), std::string::npos);

  CtlResult run = Ctl({"tls", "2", "STARTTLS"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "account 2 connects with starttls from the next check on\n");
  Ok({"tls", "3", "plain"});
  const std::string saved = test::ReadHostFile(DataFile("ZVRXExt.ini"));
  EXPECT_NE(saved.find("tls2 = starttls\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("tls3 = plain\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("tls1 ="), std::string::npos) << "an unset key keeps its default";
  EXPECT_NE(Ctl({"show"}).out.find(line + "auto, starttls, plain\n"), std::string::npos);

  const std::vector<std::vector<std::string>> refused = {
      {"tls"}, {"tls", "1"}, {"tls", "0", "tls"}, {"tls", "4", "tls"}, {"tls", "1", "ssl"},
      {"tls", "1", "tls", "extra"}, {"tls", "x", "auto"}};
  for (const auto& args : refused) {
    CtlResult bad = Ctl(args);
    EXPECT_EQ(bad.status, 2) << bad.out;
    EXPECT_EQ(bad.err.rfind("zvrxctl: tls: ", 0), 0u) << bad.err;
  }
  EXPECT_EQ(test::ReadHostFile(DataFile("ZVRXExt.ini")), saved) << "nothing changed";

  // A hand-edited word that means nothing reads as auto, never as plain.
  test::WriteHostFile(DataFile("ZVRXExt.ini"), "tls1 = none\n");
  const CtlResult show = Ctl({"show"});
  EXPECT_NE(show.out.find(line + "auto, auto, auto\n"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("ZVRXExt.ini line 1: tls1"), std::string::npos) << show.out;
}

TEST_F(ZvrxctlSettingsTest, CommandsBeforeInitWriteNothing) {
  CtlResult run = Ctl({"mode", "1"});
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(fs::exists(prefix_.DataFolderHost()));
}

// Delivered data is copied (and refreshed); the user's own files are kept.
TEST_F(ZvrxctlSettingsTest, InitCopiesDeliveredDataButKeepsUserFiles) {
  std::string dist = prefix_.path() + "/dist";
  test::WriteHostFile(dist + "/Zvrx Staffs/ZVRk-128", "anonymous signs v2");
  test::WriteHostFile(dist + "/Zvrx Staffs/ZVRXWhiteList", "delivered list");
  test::WriteHostFile(dist + "/Zvrx Staffs/ISO501", "latin-1");
  test::WriteHostFile(dist + "/Method/\xe8\xbe\x9e\xe6\x9b\xb8-1", "dictionary");  // 辞書-1
  fs::create_directories(dist + "/Method/sub");
  Ok({"init"});
  test::WriteHostFile(DataFile("ZVRk-128"), "anonymous signs v1");
  test::WriteHostFile(DataFile("ZVRXWhiteList"), "my own list");

  Ok({"init", "--data", dist});
  EXPECT_EQ(test::ReadHostFile(DataFile("ZVRk-128")), "anonymous signs v2");
  EXPECT_EQ(test::ReadHostFile(DataFile("ISO501")), "latin-1");
  EXPECT_EQ(test::ReadHostFile(DataFile("ZVRXWhiteList")), "my own list");
  EXPECT_EQ(test::ReadHostFile(prefix_.InstallRootHost() + "/Method/\xe8\xbe\x9e\xe6\x9b\xb8-1"),
            "dictionary");
  EXPECT_FALSE(fs::exists(prefix_.InstallRootHost() + "/Method/sub"));
}

}  // namespace
}  // namespace zvrx
