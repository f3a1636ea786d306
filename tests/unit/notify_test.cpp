// Notifications after a check: the decisions over the sound, report and
// launch modes and the option bits, the manual result codes with the
// question, the mail program's start, and the arrival sound's bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "checker/core/arrival_sound.h"
#include "platform/sound.h"
#include "checker/core/check_cycle.h"
#include "checker/core/checker_state.h"
#include "checker/core/notify.h"
#include "platform/cp932.h"
#include "platform/desktop.h"
#include "shared/records.h"
#include "shared/transfer_checker.h"
#include "tests/support/settings_side_clock.h"
#include "tests/support/temp_prefix.h"
#include "tests/unit/checker_test_ui.h"

namespace zvrx {
namespace {

constexpr char kMailer[] = "C:\\Mail\\mailer.exe";
constexpr char kStarted[] = "start:C:\\Mail\\mailer.exe -check|C:\\Mail";

std::string Join(const std::vector<std::string>& items) {
  std::string joined;
  for (const auto& item : items) joined += (joined.empty() ? "" : ";") + item;
  return joined;
}

class NotifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateBlock(state_.transfer));
    state_.ui = &ui_;
    state_.actions = actions_.Make();
    std::strcpy(state_.transfer.records.mailer.mailer_path, kMailer);
    std::strcpy(state_.transfer.records.mailer.mailer_arguments, "-check");
  }

  void SetOptions(uint16_t options) {
    state_.transfer.records.options.option_bits = options;
    state_.transfer.records.basic.launch_flags = DeriveLaunchFlags(options);
  }

  void SetCounts(int examined, int kept, int deleted) {
    state_.counters.examined = examined;
    state_.counters.kept = kept;
    state_.counters.deleted = deleted;
  }

  test::TempPrefix prefix_;  // first: the state's paths come from it
  test::SettingsSideClock clock_;
  test::ScopedClock scoped_clock_{clock_};
  std::vector<std::string> events_;
  test::RecordingUi ui_{events_};
  test::RecordingActions actions_{events_};
  CheckerState state_;
};

// One table over the modes a check passes and the option bits. An automatic
// check passes 2, 2, 2; a manual one the three groups of the option word.
TEST_F(NotifyTest, DecisionsAfterAutomaticAndManualChecks) {
  struct Row {
    const char* rule;
    int16_t check_mode;
    uint16_t options;
    int examined, kept, deleted;
    int16_t results[3];
    int configured;  // account texts filled in
    std::optional<bool> answer;
    std::string events;
    std::string posts;
  };
  const std::string three = "dialog:3通のメールがサーバに届いています。\n";
  const std::string two = "dialog:2通のメールがサーバに届いています。\n";
  const Row rows[] = {
      {"automatic, 3 kept, sound and dialog: the sound plays first, then one line",
       2, 0x003, 3, 3, 0, {-2, 1, 1}, 1, {}, "sound;" + three, ""},
      {"automatic, nothing kept: no sound and no dialog", 2, 0x003, 2, 0, 2, {-2, 1, 1}, 1, {}, "",
       ""},
      {"automatic, mail kept, all three options: sound, dialog, then the mail program",
       3, 0x007, 4, 2, 2, {-2, 1, 1}, 1, {}, "sound;" + two + ";" + kStarted, ""},
      {"automatic, every examined message deleted: the mail program stays closed",
       2, 0x004, 2, 0, 2, {-2, 1, 1}, 1, {}, "", ""},
      {"automatic at start-up, start the mail program only", 1, 0x004, 1, 1, 0, {1, 1, 1}, 1, {},
       kStarted, ""},
      {"manual, one of two accounts failed: the result code, then the question; yes starts",
       0, 0x110, 3, 1, 2, {-2, -8, 1}, 2, true, kStarted, "210 0 1 3 2;ask"},
      {"manual, new mail, the user answers no", 0, 0x110, 3, 1, 2, {-2, 1, 1}, 1, false, "",
       "210 0 1 3 2;ask"},
      {"manual, the only account failed: its error code was the whole report",
       0, 0x110, 0, 0, 0, {-8, 1, 1}, 1, {}, "", ""},
      {"manual, both configured accounts failed", 0, 0x110, 0, 0, 0, {-8, -4, 1}, 2, {}, "", ""},
      {"manual, every examined message deleted: 221 and no mail program whatever bit 8 says",
       0, 0x110, 2, 0, 2, {-2, 1, 1}, 1, true, "", "221 0 0 2 2"},
      {"manual, nothing examined: 220", 0, 0x110, 0, 0, 0, {1, 1, 1}, 1, true, "",
       "220 0 0 0 0"},
      {"manual without bit 8: 222 and no question", 0, 0x010, 3, 2, 1, {-2, 1, 1}, 1, true, "",
       "222 0 2 3 1"},
      {"manual, bit 8 without a report: the mail program starts at once",
       0, 0x100, 3, 2, 1, {-2, 1, 1}, 1, {}, kStarted, ""},
      {"manual, no account text at all: no result code; bit 8 still starts the mail program",
       0, 0x110, 1, 1, 0, {1, 1, 1}, 0, {}, kStarted, ""},
      {"manual never sounds, whatever the automatic bits say", 0, 0x113, 3, 3, 0, {-2, 1, 1}, 1,
       false, "", "210 0 3 3 0;ask"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.rule);
    events_.clear();
    clock_.ClearPosts();
    state_.transfer.block->data()[0] = TRAN_IDLE;
    state_.transfer.local = TransferHeader{TRAN_STATUS, kStatusChecking, 3, 3, 1};
    BasicSettings& basic = state_.transfer.records.basic;
    basic.check_mode = row.check_mode;
    for (int i = 0; i < kAccountCount; ++i) {
      std::strcpy(basic.accounts[i], i < row.configured ? "user@example.jp" : "");
      state_.counters.account_results[i] = row.results[i];
    }
    SetOptions(row.options);
    SetCounts(row.examined, row.kept, row.deleted);
    clock_.SetAnswer(row.answer);

    const uint16_t o = row.options;
    if (row.check_mode == 0) {
      Notify(state_, row.kept, o & 7, (o >> 4) & 7, (o >> 8) & 7);
    } else {
      Notify(state_, row.kept, kAutomaticNotifyMode, kAutomaticNotifyMode, kAutomaticNotifyMode);
    }
    EXPECT_EQ(Join(events_), row.events);
    EXPECT_EQ(Join(clock_.Collect()), row.posts);
  }
}

// With every account switched off the check posts 130 and clears the
// counts, so the report that follows cannot announce the previous check's
// mail again.
TEST_F(NotifyTest, NoAccountEnabledReportsNoOldMail) {
  state_.transfer.records.basic.check_mode = 2;
  state_.transfer.records.basic.account_mask = 0;
  SetOptions(0x007);
  SetCounts(3, 3, 0);
  state_.transfer.local = TransferHeader{TRAN_IDLE, 0, 0, 0, 0};
  RunCheck(state_);
  Notify(state_, state_.counters.kept, kAutomaticNotifyMode, kAutomaticNotifyMode,
         kAutomaticNotifyMode);
  EXPECT_EQ(Join(events_), "");
  EXPECT_EQ(Join(clock_.Collect()), "130 0 0 0 0");
  EXPECT_EQ(state_.counters.examined, 0);
  EXPECT_EQ(state_.counters.kept, 0);
  EXPECT_EQ(state_.counters.deleted, 0);
}

// Without a mail program the user picks one, starting in the desktop
// folder; the choice is used at once and kept in memory only.
TEST_F(NotifyTest, MailProgramPickedWhenNoneIsSet) {
  const std::string desktop = platform::DesktopFolder();
  const std::string long_path = "Z:\\" + std::string(kMailerPathSize, 'x');
  struct Case {
    std::string picked;
    std::string events;
    std::string kept_path;
  } cases[] = {
      {"", "pick:" + desktop, ""},
      {"Z:\\usr\\bin\\mailer", "pick:" + desktop + ";start:Z:\\usr\\bin\\mailer|Z:\\usr\\bin",
       "Z:\\usr\\bin\\mailer"},
      // A path the field cannot hold would start a different, cut program.
      {long_path, "pick:" + desktop, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.picked);
    events_.clear();
    MailerSettings& mailer = state_.transfer.records.mailer;
    std::memset(mailer.mailer_path, 0, sizeof mailer.mailer_path);
    std::memset(mailer.mailer_arguments, 0, sizeof mailer.mailer_arguments);
    ui_.picked = c.picked;
    LaunchMailProgram(state_);
    EXPECT_EQ(Join(events_), c.events);
    EXPECT_EQ(std::string(mailer.mailer_path), c.kept_path);
  }
}

TEST_F(NotifyTest, OldDesktopFolderIsPreferredWhenItExists) {
  const std::string old_desktop = platform::Utf8ToCp932("C:\\WINDOWS\\ﾃﾞｽｸﾄｯﾌﾟ\\");
  std::filesystem::create_directories(prefix_.path() + "/drive_c/WINDOWS/ﾃﾞｽｸﾄｯﾌﾟ");
  std::memset(state_.transfer.records.mailer.mailer_path, 0, kMailerPathSize);
  LaunchMailProgram(state_);
  EXPECT_EQ(Join(events_), "pick:" + old_desktop);
}

// A failed start is tried again, three times in all, and never reported.
TEST_F(NotifyTest, MailProgramStartIsTriedThreeTimes) {
  struct Case {
    std::deque<int> results;
    size_t starts;
  } cases[] = {{{-1, -1, -1, -1}, 3}, {{-1, 4711}, 2}, {{4711}, 1}};
  for (const Case& c : cases) {
    events_.clear();
    actions_.start_results = c.results;
    LaunchMailProgram(state_);
    EXPECT_EQ(events_.size(), c.starts);
    for (const auto& event : events_) EXPECT_EQ(event, kStarted);
  }
}

TEST(ArrivalSoundTest, ImageIsEightBitMonoPcmOfTheFixedLength) {
  const std::vector<uint8_t> image = ArrivalSoundImage();
  ASSERT_EQ(image.size(), static_cast<size_t>(platform::kWaveHeaderSize + kArrivalSoundSampleBytes));
  const uint8_t header[platform::kWaveHeaderSize] = {
      'R', 'I', 'F', 'F', 0x24, 0xBE, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
      16, 0, 0, 0, 1, 0, 1, 0, 0xEE, 0x56, 0, 0, 0xEE, 0x56, 0, 0, 1, 0, 8, 0,
      'd', 'a', 't', 'a', 0x00, 0xBE, 0, 0};
  EXPECT_EQ(std::memcmp(image.data(), header, sizeof header), 0);
  // Starts and ends in silence (no click), and is audible in between.
  EXPECT_EQ(image[platform::kWaveHeaderSize], 128);
  EXPECT_EQ(image.back(), 128);
  int loudest = 0;
  for (size_t i = platform::kWaveHeaderSize; i < image.size(); ++i) {
    loudest = std::max(loudest, std::abs(image[i] - 128));
  }
  EXPECT_GT(loudest, 64);
  EXPECT_LT(loudest, 128);
}

// Played through a file device, the bytes that reach it are the samples.
// Images that are no 8- or 16-bit PCM, or whose chunks run past their end,
// play nothing.
TEST(ArrivalSoundTest, PlaysTheSamplesAndRefusesBrokenImages) {
  test::TempPrefix prefix;
  const std::string out = prefix.path() + "/played.raw";
  const std::string config = prefix.path() + "/asound.conf";
  test::WriteHostFile(config, "pcm.!default { type file slave.pcm { type null } file \"" + out +
                                  "\" format \"raw\" }\n");
  const char* old_config = std::getenv("ALSA_CONFIG_PATH");
  const std::string saved = old_config ? old_config : "";
  setenv("ALSA_CONFIG_PATH", config.c_str(), 1);

  const std::vector<uint8_t> image = ArrivalSoundImage();
  EXPECT_TRUE(platform::PlayWaveImage(image.data(), image.size()));
  const std::string played = test::ReadHostFile(out);
  EXPECT_EQ(played, std::string(image.begin() + platform::kWaveHeaderSize, image.end()));

  std::vector<uint8_t> not_pcm = image;
  not_pcm[20] = 3;  // IEEE float
  std::vector<uint8_t> long_fmt = image;
  long_fmt[16] = 0xFF;  // fmt chunk longer than the image
  std::vector<uint8_t> no_data(image.begin(), image.begin() + 36);
  for (const auto* broken : {&not_pcm, &long_fmt, &no_data}) {
    EXPECT_FALSE(platform::PlayWaveImage(broken->data(), broken->size()));
  }
  EXPECT_FALSE(platform::PlayWaveImage(nullptr, 0));

  if (old_config) {
    setenv("ALSA_CONFIG_PATH", saved.c_str(), 1);
  } else {
    unsetenv("ALSA_CONFIG_PATH");
  }
}

}  // namespace
}  // namespace zvrx
