// zvrxctl tells the truth about damaged files: refused delivered data on
// show's data line and on standard error of judge and check, a damaged
// settings record called damaged, and a work log that cannot be read an
// error rather than an empty log.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

const std::string kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
const std::string kPharmacySpam = ZVRX_SOURCE_DIR "/tests/corpus/en-spam-13.eml";

class ZvrxctlDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::is_directory(kDistribution)) << "build the delivered data first";
    ASSERT_EQ(Ctl({"init", "--data", kDistribution}).status, 0);
    ASSERT_EQ(Ctl({"level", "1"}).status, 0);
  }
  test::ProgramRun Ctl(std::vector<std::string> args) {
    return test::RunZvrxctl(prefix_.path(), std::move(args));
  }
  std::string Data(const char* name) { return prefix_.DataFolderHost() + "/" + name; }
  std::string Line(const std::string& out, const std::string& start) {
    const size_t at = out.find("\n" + start);
    if (at == std::string::npos) return "";
    return out.substr(at + 1, out.find('\n', at + 1) - at - 1);
  }

  test::TempPrefix prefix_;
};

TEST_F(ZvrxctlDataTest, RefusedThresholdsAreReportedAndSwitchTheTextAnalysisOff) {
  EXPECT_EQ(Line(Ctl({"show"}).out, "data:").rfind("data: sound; ", 0), 0u);
  test::ProgramRun judged = Ctl({"judge", kPharmacySpam});
  EXPECT_NE(judged.out.find("\tdelete\t"), std::string::npos) << "precondition";
  EXPECT_EQ(judged.err, "");

  test::WriteHostFile(Data("kZVj-128"), std::string(32, '\xff'));
  const std::string data = Line(Ctl({"show"}).out, "data:");
  EXPECT_NE(data.find("kZVj-128 damaged ("), std::string::npos) << data;
  EXPECT_NE(data.find("text analysis off"), std::string::npos) << data;

  judged = Ctl({"judge", kPharmacySpam});
  EXPECT_EQ(judged.status, 0);
  EXPECT_NE(judged.out.find("\tkeep"), std::string::npos) << judged.out;
  EXPECT_EQ(judged.err.rfind("zvrxctl: judge: kZVj-128 damaged (", 0), 0u) << judged.err;
  EXPECT_NE(judged.err.find("text analysis off"), std::string::npos) << judged.err;

  // A check reports it before it starts (the port is closed: it fails).
  ASSERT_EQ(Ctl({"account", "1", "taro@127.0.0.1:1", "pw"}).status, 0);
  const test::ProgramRun checked = Ctl({"check", "--dry-run"});
  EXPECT_NE(checked.err.find("kZVj-128 damaged"), std::string::npos) << checked.err;
}

TEST_F(ZvrxctlDataTest, ADamagedSettingsRecordIsCalledDamaged) {
  ASSERT_EQ(Ctl({"account", "1", "taro@pop.example.jp", "pw"}).status, 0);
  std::string basic = test::ReadHostFile(Data("ZVmi128"));
  ASSERT_EQ(basic.size(), 518u);
  // "check mode 27909" was shown for these bytes.
  basic[0] = 0x05;
  basic[1] = 0x6D;
  test::WriteHostFile(Data("ZVmi128"), basic);
  test::ProgramRun show = Ctl({"show"});
  EXPECT_EQ(show.status, 0);
  EXPECT_NE(show.out.find("files: ZVmi128 damaged,"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("ZVmi128 is damaged (no such check mode)"), std::string::npos);
  EXPECT_EQ(show.out.find("check mode:"), std::string::npos) << show.out;
  EXPECT_EQ(show.out.find("taro@"), std::string::npos) << show.out;

  test::WriteHostFile(Data("ZVmi128"), basic.substr(0, 300));
  show = Ctl({"show"});
  EXPECT_NE(show.out.find("ZVmi128 is damaged (300 bytes, 518 expected)"), std::string::npos)
      << show.out;
}

TEST_F(ZvrxctlDataTest, AWorkLogThatCannotBeReadIsAnError) {
  test::ProgramRun log = Ctl({"log"});
  EXPECT_EQ(log.status, 0) << "no log yet: nothing deleted";
  EXPECT_EQ(log.out + log.err, "");

  fs::create_directories(Data("ZVRXLog"));
  log = Ctl({"log"});
  EXPECT_EQ(log.status, 2);
  EXPECT_EQ(log.out, "");
  EXPECT_EQ(log.err,
            "zvrxctl: log: the work log ZVRXLog cannot be read (a folder stands in its place)\n");
}

}  // namespace
}  // namespace zvrx
