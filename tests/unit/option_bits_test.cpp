// The options page's check-box rules, the mail program's name part and the
// cut of what the page stores into MailerSettings.
#include "settings/model/option_bits.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace zvrx {
namespace {

TEST(OptionBitsTest, BoxClicksSetAndClearTheirBitsAndLaunchFlags) {
  struct Case {
    const char* rule;
    int box;
    bool ticked;
    OptionWords before;
    OptionWords after;
  } cases[] = {
      {"a ticked box sets its bit", kIdAutoSoundBox, true, {0x0000, 0}, {0x0001, 0}},
      {"a ticked dialog box sets bit 1", kIdAutoDialogBox, true, {0x0010, 0}, {0x0012, 0}},
      {"a ticked report box sets bit 4", kIdManualReportBox, true, {0x0000, 0}, {0x0010, 0}},
      {"an unticked box clears its bit and every meaningless bit", kIdAutoSoundBox, false,
       {0xFFFF, 3}, {0x0116, 3}},
      {"unticking the report box keeps the other meaningful bits", kIdManualReportBox, false,
       {0x0117, 0}, {0x0107, 0}},
      {"the automatic mail-program box sets bit 2 and launch bit 0", kIdAutoStartMailerBox, true,
       {0x0000, 2}, {0x0004, 3}},
      {"unticking it clears bit 2 and launch bit 0", kIdAutoStartMailerBox, false,
       {0x0105, 3}, {0x0101, 2}},
      {"an out-of-step launch bit is not set by unticking", kIdAutoStartMailerBox, false,
       {0x0000, 0}, {0x0000, 0}},
      {"the manual mail-program box sets bit 8 and launch bit 1", kIdManualStartMailerBox, true,
       {0x0001, 0}, {0x0101, 2}},
      {"unticking it keeps only bits 0, 1, 2 and 4", kIdManualStartMailerBox, false,
       {0xFFFF, 3}, {0x0017, 1}},
      {"an unticked manual box never raises launch bit 1", kIdManualStartMailerBox, false,
       {0x0000, 1}, {0x0000, 1}},
      {"an id that is no option box changes nothing", 1045, true, {0x0003, 1}, {0x0003, 1}},
  };
  for (const Case& c : cases) {
    const OptionWords after = ApplyOptionBox(c.box, c.ticked, c.before);
    EXPECT_EQ(after.option_bits, c.after.option_bits) << c.rule;
    EXPECT_EQ(after.launch_flags, c.after.launch_flags) << c.rule;
  }
}

TEST(OptionBitsTest, OpeningOnlyAddsLaunchFlags) {
  EXPECT_EQ(LaunchFlagsOnOpen(0x0004, 0), 1);
  EXPECT_EQ(LaunchFlagsOnOpen(0x0100, 0), 2);
  EXPECT_EQ(LaunchFlagsOnOpen(0x0104, 0), 3);
  // A flag whose option bit is off stays as it was.
  EXPECT_EQ(LaunchFlagsOnOpen(0x0000, 3), 3);
}

TEST(OptionBitsTest, FileNamePartFollowsTheLastRealBackslash) {
  struct Case {
    std::string path, name;
  } cases[] = {
      {"C:\\Program Files\\Mailer\\mailer.exe", "mailer.exe"},
      {"mailer.exe", "mailer.exe"},
      {"Z:\\home\\", ""},
      {"", ""},
      // "ソ" is 0x83 0x5C: its second byte is no separator.
      {"Z:\\tools\\\x83\x5C\x83t\x83g.exe", "\x83\x5C\x83t\x83g.exe"},
      {"Z:\\\x83\x5C\\a.exe", "a.exe"},
  };
  for (const Case& c : cases) EXPECT_EQ(FileNamePart(c.path), c.name) << c.path;
}

TEST(OptionBitsTest, MailerPathOfMoreThan119BytesIsRefusedAndLeavesTheFieldAlone) {
  MailerSettings mailer{};
  std::memset(mailer.mailer_path, 'x', 10);
  const std::string fits = "Z:\\" + std::string(kMailerPathMax - 3, 'a');
  const std::string too_long = fits + "b";

  EXPECT_FALSE(StoreMailerPath(mailer, too_long));
  EXPECT_EQ(std::string(mailer.mailer_path), std::string(10, 'x'));

  ASSERT_TRUE(StoreMailerPath(mailer, fits));
  EXPECT_EQ(std::string(mailer.mailer_path), fits);
  EXPECT_EQ(mailer.mailer_path[kMailerPathSize - 1], '\0');
  EXPECT_EQ(mailer.mailer_arguments[0], '\0') << "the field next to it is untouched";

  ASSERT_TRUE(StoreMailerPath(mailer, "Z:\\a.exe"));
  EXPECT_EQ(mailer.mailer_path[9], '\0') << "an older, longer path leaves nothing behind";
}

TEST(OptionBitsTest, ArgumentsAreCutAt59BytesNeverInsideACharacter) {
  struct Case {
    std::string text;
    size_t stored;
  } cases[] = {
      {std::string(58, 'a'), 58},
      {std::string(59, 'a'), 59},
      {std::string(60, 'a'), 59},
      // A two-byte character at bytes 58-59 does not fit and is left out.
      {std::string(58, 'a') + "\x83\x41", 58},
      {std::string(57, 'a') + "\x83\x41", 59},
      // A lone lead byte at the end is no character.
      {"ab\x83", 2},
  };
  for (const Case& c : cases) {
    MailerSettings mailer{};
    mailer.list_reload_flags = 0xAA;
    StoreMailerArguments(mailer, c.text);
    EXPECT_EQ(strnlen(mailer.mailer_arguments, kMailerArgumentsSize), c.stored) << c.text.size();
    EXPECT_EQ(std::memcmp(mailer.mailer_arguments, c.text.data(), c.stored), 0);
    EXPECT_EQ(mailer.list_reload_flags, 0xAA);
  }
}

}  // namespace
}  // namespace zvrx
