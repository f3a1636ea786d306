// The checker's start-up load: defaults for the optional records, the
// inspection level without dictionaries, the two start-up failures with
// their posts and fatal texts, and what a later delivery reloads.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "checker/core/checker_state.h"
#include "checker/core/configuration.h"
#include "checker/core/scheduler.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "shared/transfer_checker.h"
#include "tests/support/settings_side_clock.h"
#include "tests/support/temp_prefix.h"
#include "tests/unit/checker_test_ui.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;


class ConfigurationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateBlock(state_.transfer));
    state_.ui = &ui_;
    basic_.check_mode = 2;
    basic_.inspection_level = 1;
    basic_.account_mask = 1;
    std::strcpy(basic_.accounts[0], "taro@pop.example.jp");
    std::strcpy(basic_.passwords[0], "secret");
  }

  // The dictionaries with the thresholds and Subject tables they need:
  // without those the text analysis is off and the level falls back.
  void InstallDictionaries() {
    ASSERT_TRUE(prefix_.InstallDeliveredData()) << "build the delivered data first";
  }

  test::TempPrefix prefix_;
  test::SettingsSideClock clock_;
  test::ScopedClock scoped_clock_{clock_};
  std::vector<std::string> events_;
  test::RecordingUi ui_{events_};
  CheckerState state_;
  BasicSettings basic_{};
};

// Only "ZVmi128": option word 2 (a dialog after an automatic check that
// finds mail), no launch flags, and level 0 because no dictionary loaded.
TEST_F(ConfigurationTest, BasicSettingsAloneTakeTheDefaults) {
  ASSERT_TRUE(SaveBasicSettings(basic_));
  state_.apop_state[0] = 1;
  ASSERT_TRUE(LoadConfiguration(state_));
  const SettingsRecords& records = state_.transfer.records;
  EXPECT_EQ(records.options.option_bits, kOptAutoDialog);
  EXPECT_EQ(records.basic.launch_flags, 0);
  EXPECT_EQ(records.basic.inspection_level, 0);
  EXPECT_EQ(records.basic.check_mode, 2);
  EXPECT_STREQ(records.basic.passwords[0], "secret");  // unscrambled
  EXPECT_EQ(state_.apop_state[0], 0);
  EXPECT_FALSE(state_.have_judgment_settings);
  EXPECT_TRUE(events_.empty());
}

// Every record present, dictionaries installed: the stored level stands,
// the options give the launch flags, and the mail program comes from the
// first 224 bytes of "ZVad128" only (its reload flags belong to the block).
TEST_F(ConfigurationTest, AllRecordsAndDictionaries) {
  InstallDictionaries();
  ASSERT_TRUE(SaveBasicSettings(basic_));
  NotifyOptions options{};
  options.option_bits = kOptAutoStartMailer | kOptManualReport | kOptManualStartMailer;
  ASSERT_TRUE(SaveNotifyOptions(options));
  JudgmentSettings judgment{};
  judgment.strictness = 1;
  judgment.foreign_handling = 2;
  ASSERT_TRUE(SaveJudgmentSettings(judgment));
  MailerSettings mailer{};
  std::strcpy(mailer.mailer_path, "Z:\\usr\\bin\\mailer");
  mailer.list_reload_flags = kReloadAcceptanceList;
  ASSERT_TRUE(SaveMailerSettings(mailer));

  ASSERT_TRUE(LoadConfiguration(state_));
  const SettingsRecords& records = state_.transfer.records;
  EXPECT_EQ(records.basic.inspection_level, 1);
  EXPECT_EQ(records.options.option_bits, options.option_bits);
  EXPECT_EQ(records.basic.launch_flags, 3);
  EXPECT_STREQ(records.mailer.mailer_path, "Z:\\usr\\bin\\mailer");
  EXPECT_EQ(records.mailer.list_reload_flags, 0);
  EXPECT_TRUE(state_.have_judgment_settings);
  EXPECT_EQ(state_.analysis.scoring.strictness, 1);
  EXPECT_EQ(state_.analysis.foreign_handling, 2);
  EXPECT_GT(state_.analysis.scoring.dictionaries.count, 0);
}

// The two failures of the load: the code is posted for a running settings
// program, then the fatal text is shown and the program asked to quit.
TEST_F(ConfigurationTest, StartUpFailuresPostThenShowTheFatalText) {
  struct Case {
    const char* what;
    bool remove_data_folder;
    bool empty_basic_file;
    std::string post;
    int fatal;
    std::string text_start;
  } cases[] = {
      {"no ZVmi128", false, false, "129 0 0 0 0", 5, "fatal:Mail Zevrox\n基本設定が"},
      {"empty ZVmi128", false, true, "129 0 0 0 0", 5, "fatal:Mail Zevrox\n基本設定が"},
      {"no data folder", true, false, "128 4 0 0 0", 4, "fatal:Mail Zevrox\n「ZVRX」フォルダ"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    events_.clear();
    clock_.ClearPosts();
    state_.stop = false;
    state_.fatal_error = 0;
    state_.transfer.local = TransferHeader{TRAN_IDLE, 0, 0, 0, 0};
    state_.transfer.block->data()[0] = TRAN_IDLE;
    fs::remove_all(prefix_.DataFolderHost());
    if (!c.remove_data_folder) fs::create_directories(prefix_.DataFolderHost());
    if (c.empty_basic_file) test::WriteHostFile(prefix_.DataFolderHost() + "/ZVmi128", "");

    EXPECT_FALSE(LoadConfiguration(state_));
    EXPECT_EQ(clock_.Collect(), std::vector<std::string>{c.post});
    ASSERT_EQ(events_.size(), 2u);
    EXPECT_EQ(events_[0].rfind(c.text_start, 0), 0u) << events_[0];
    EXPECT_EQ(events_[1], "quit");
    EXPECT_EQ(state_.fatal_error.load(), c.fatal);
    EXPECT_TRUE(state_.stop);
  }
}

TEST_F(ConfigurationTest, StartWorkerMarksTheStartUpCheck) {
  ASSERT_TRUE(SaveBasicSettings(basic_));
  ASSERT_TRUE(StartWorker(state_));
  EXPECT_TRUE(state_.startup_check_pending);
  EXPECT_EQ(state_.last_check_time, PackedMinutesNow());
}

// A delivery that reports a saved list rereads that list alone; the
// acceptance list wins when both are reported.
TEST_F(ConfigurationTest, DeliveryReloadsTheListItNames) {
  ASSERT_TRUE(SaveBasicSettings(basic_));
  ASSERT_TRUE(LoadConfiguration(state_));
  const std::string folder = prefix_.DataFolderHost();
  test::WriteHostFile(folder + "/ZVRXWhiteList", "friend@example.jp\r\n");
  test::WriteHostFile(folder + "/ZVRXBlackList", "spam@example.com\r\n");

  DeliveryResult delivery;
  delivery.taken = true;
  delivery.list_reload = ListReload::kAcceptance;
  ApplyDelivery(state_, delivery);
  EXPECT_STREQ(state_.analysis.lists.acceptance.text(), "friend@example.jp\r\n");
  EXPECT_FALSE(state_.analysis.lists.rejection.present());

  delivery.list_reload = ListReload::kRejection;
  ApplyDelivery(state_, delivery);
  EXPECT_STREQ(state_.analysis.lists.rejection.text(), "spam@example.com\r\n");
}

}  // namespace
}  // namespace zvrx
