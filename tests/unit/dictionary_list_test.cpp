// The judgment page's dictionary list: which names it lists, the switch
// mask and the switched-off slots, and the scrolling of six boxes over
// seven or eight names.
#include "settings/model/dictionary_list.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/window_metrics.h"

namespace zvrx {
namespace {

namespace ui = platform::ui;

std::vector<std::string> Names(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back(std::to_string(i + 1) + "dict.dat");
  return names;
}

void SwitchOff(JudgmentSettings& judgment, int slot, const char* text) {
  std::memset(judgment.disabled_dictionaries[slot], 0, kDictionaryNameSize);
  std::strncpy(judgment.disabled_dictionaries[slot], text, kDictionaryNameSize);
}

TEST(DictionaryListTest, ListsOnlyNamesStartingWithADigitWithoutDotsOrLib) {
  const std::vector<std::string> entries = {
      "3lib.dat", "2english", "Japanese.dat", "1Japanese.dat", "4..dat", "5LIB",
      "6a.dat",   "0x",       "9b",           "8c",            "7d",     "5e",
      "4f",       "3g"};
  const DictionaryList list = BuildDictionaryList(entries, JudgmentSettings{});
  // The first eight qualifying names in listing order, then sorted.
  EXPECT_EQ(list.names, (std::vector<std::string>{"0x", "1Japanese.dat", "2english", "5e",
                                                  "6a.dat", "7d", "8c", "9b"}));
  EXPECT_EQ(list.switch_mask, 0xFF);
  EXPECT_EQ(list.first, 1);
  EXPECT_EQ(list.position, 0);

  const DictionaryList three =
      BuildDictionaryList({"1Japanese.dat", "2english", "3lib.dat"}, JudgmentSettings{});
  EXPECT_EQ(three.names, (std::vector<std::string>{"1Japanese.dat", "2english"}));
  EXPECT_FALSE(ListScrolls(three));
}

TEST(DictionaryListTest, StepDependsOnHowManyNamesDoNotFit) {
  struct Case {
    int names, step;
  } cases[] = {{0, 1}, {5, 1}, {6, 1}, {7, 7}, {8, 4}};
  for (const Case& c : cases) {
    EXPECT_EQ(BuildDictionaryList(Names(c.names), JudgmentSettings{}).step, c.step) << c.names;
  }
}

TEST(DictionaryListTest, SlotsSwitchOffTheNamesTheyBegin) {
  JudgmentSettings judgment{};
  SwitchOff(judgment, 3, "2dict");
  SwitchOff(judgment, 15, "7dict.dat");
  // Twenty bytes without a terminator: only 19 of them count.
  std::memset(judgment.disabled_dictionaries[8], '9', kDictionaryNameSize);
  const DictionaryList list = BuildDictionaryList(Names(8), judgment);
  EXPECT_EQ(list.switch_mask, 0xFF & ~(1u << 1) & ~(1u << 6));
}

TEST(DictionaryListTest, TogglingKeepsMaskAndSlotsInStep) {
  JudgmentSettings judgment{};
  DictionaryList list = BuildDictionaryList(Names(8), judgment);
  list.first = 3;  // box 1 shows entry index 3

  EXPECT_EQ(ToggleDictionary(list, 1, /*was_ticked=*/true, judgment), 3);
  EXPECT_EQ(list.switch_mask, 0xFF & ~(1u << 3));
  EXPECT_STREQ(judgment.disabled_dictionaries[0], "4dict.dat");
  EXPECT_FALSE(BoxContents(list, 1).ticked);
  EXPECT_EQ(BoxContents(list, 1).name, "4dict.dat");

  EXPECT_EQ(ToggleDictionary(list, 1, /*was_ticked=*/false, judgment), 3);
  EXPECT_EQ(list.switch_mask, 0xFF);
  EXPECT_EQ(judgment.disabled_dictionaries[0][0], '\0');

  // A box past the end of the list shows nothing and does nothing.
  DictionaryList two = BuildDictionaryList(Names(2), judgment);
  EXPECT_EQ(ToggleDictionary(two, 2, true, judgment), -1);
  EXPECT_FALSE(BoxContents(two, 2).used);
  EXPECT_EQ(two.switch_mask, 0x3);
}

TEST(DictionaryListTest, SwitchingOnClearsEverySlotThatSwitchedTheNameOff) {
  JudgmentSettings judgment{};
  // A shorter slot written elsewhere also switches "1dict.dat" off.
  SwitchOff(judgment, 2, "1dict.dat");
  SwitchOff(judgment, 5, "1dic");
  SwitchOff(judgment, 6, "2dict.dat");
  DictionaryList list = BuildDictionaryList(Names(3), judgment);
  ASSERT_EQ(list.switch_mask, 0x4);
  ToggleDictionary(list, 0, false, judgment);
  EXPECT_EQ(judgment.disabled_dictionaries[2][0], '\0');
  EXPECT_EQ(judgment.disabled_dictionaries[5][0], '\0');
  EXPECT_STREQ(judgment.disabled_dictionaries[6], "2dict.dat");
  // Built again from the record, the name stays switched on.
  EXPECT_EQ(BuildDictionaryList(Names(3), judgment).switch_mask, 0x5);
}

TEST(DictionaryListTest, SwitchingOffUsesTheFirstFreeSlotAndKeepsShortNamesSwitchedOff) {
  JudgmentSettings judgment{};
  const std::string long_name = "1" + std::string(27, 'n');  // 28 bytes
  DictionaryList list = BuildDictionaryList({long_name, "2ab", "3cd.dat"}, judgment);

  // A short name lies in a slot that counts as free by its length alone.
  ToggleDictionary(list, 1, true, judgment);
  EXPECT_STREQ(judgment.disabled_dictionaries[0], "2ab");
  // The next name must not take that slot over: "2ab" would come back on.
  ToggleDictionary(list, 0, true, judgment);
  EXPECT_STREQ(judgment.disabled_dictionaries[0], "2ab");
  EXPECT_EQ(std::string(judgment.disabled_dictionaries[1]), long_name.substr(0, 19));
  EXPECT_EQ(judgment.disabled_dictionaries[1][19], '\0');
  EXPECT_EQ(BuildDictionaryList({long_name, "2ab", "3cd.dat"}, judgment).switch_mask, 0x4);

  // With every slot taken, a further switch-off is not stored.
  for (int s = 2; s < kDictionarySlots; ++s) SwitchOff(judgment, s, "0taken.dat");
  ToggleDictionary(list, 2, true, judgment);
  EXPECT_EQ(list.switch_mask, 0x0);
  for (const auto& slot : judgment.disabled_dictionaries) EXPECT_STRNE(slot, "3cd.dat");
}

TEST(DictionaryListTest, ScrollFormulasForEightNames) {
  // Step 4: first entries 1, 2, 3 sit at positions 0, 4, 8.
  EXPECT_EQ(ScrollPositionOf(1, 8, 4), 0);
  EXPECT_EQ(ScrollPositionOf(2, 8, 4), 4);
  EXPECT_EQ(ScrollPositionOf(3, 8, 4), 8);
  struct Case {
    int thumb, first;
  } cases[] = {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 3}, {5, 3}, {6, 3}, {8, 3}};
  for (const Case& c : cases) EXPECT_EQ(FirstEntryOf(c.thumb, 8, 4), c.first) << c.thumb;
  // Seven names: step 7, positions 0 and 7.
  EXPECT_EQ(ScrollPositionOf(1, 7, 7), 0);
  EXPECT_EQ(ScrollPositionOf(2, 7, 7), 7);
}

TEST(DictionaryListTest, ThumbReleasedShowsTheEntriesOfItsPosition) {
  DictionaryList list = BuildDictionaryList(Names(8), JudgmentSettings{});
  EXPECT_TRUE(ScrollDictionaries(list, ui::kSbThumbPosition, 2));
  EXPECT_EQ(list.first, 1);
  EXPECT_EQ(BoxContents(list, 5).name, "6dict.dat");
  EXPECT_EQ(list.position, 0);
  EXPECT_TRUE(ScrollDictionaries(list, ui::kSbThumbPosition, 4));
  EXPECT_EQ(list.first, 3);
  EXPECT_EQ(BoxContents(list, 0).name, "3dict.dat");
  EXPECT_EQ(BoxContents(list, 5).name, "8dict.dat");
  EXPECT_EQ(list.position, 8);
}

TEST(DictionaryListTest, RequestsMoveFirstEntryAndPosition) {
  struct Case {
    const char* rule;
    int names, first, position, request, thumb;
    int new_first, new_position;
    bool redraw;
  } cases[] = {
      {"line down moves one entry", 8, 1, 0, ui::kSbLineDown, 0, 2, 4, true},
      {"line down at the end only moves the bar to the end", 8, 3, 8, ui::kSbLineDown, 0, 3, 8,
       false},
      {"line up moves one entry", 8, 3, 8, ui::kSbLineUp, 0, 2, 4, true},
      {"line up at the top puts the bar to 0", 8, 1, 3, ui::kSbLineUp, 0, 1, 0, false},
      {"page down goes to the last six", 8, 1, 0, ui::kSbPageDown, 0, 3, 8, true},
      {"page up goes to the top", 8, 3, 8, ui::kSbPageUp, 0, 1, 0, true},
      {"bottom", 7, 1, 0, ui::kSbBottom, 0, 2, 7, true},
      {"bottom when already there does nothing", 7, 2, 5, ui::kSbBottom, 0, 2, 5, false},
      {"top", 7, 2, 7, ui::kSbTop, 0, 1, 0, true},
      {"thumb dragging does nothing", 8, 1, 0, ui::kSbThumbTrack, 6, 1, 0, false},
      {"a thumb past the range is taken as its end", 8, 1, 0, ui::kSbThumbPosition, 99, 3, 8,
       true},
      {"six names never scroll", 6, 1, 0, ui::kSbLineDown, 0, 1, 0, false},
  };
  for (const Case& c : cases) {
    DictionaryList list = BuildDictionaryList(Names(c.names), JudgmentSettings{});
    list.first = c.first;
    list.position = c.position;
    EXPECT_EQ(ScrollDictionaries(list, c.request, c.thumb), c.redraw) << c.rule;
    EXPECT_EQ(list.first, c.new_first) << c.rule;
    EXPECT_EQ(list.position, c.new_position) << c.rule;
  }
}

// Every sequence of requests keeps the six boxes on the list: the first
// entry stays within 1..n-5 and the position within 0..n.
TEST(DictionaryListTest, NoRequestSequenceLeavesTheList) {
  const int requests[] = {ui::kSbLineUp,        ui::kSbLineDown, ui::kSbPageUp,
                          ui::kSbPageDown,      ui::kSbTop,      ui::kSbBottom,
                          ui::kSbThumbPosition, ui::kSbThumbTrack, ui::kSbEndScroll};
  for (int n : {7, 8}) {
    for (int first = 1; first <= n - 5; ++first) {
      for (int a : requests) {
        for (int b : requests) {
          for (int thumb = -1; thumb <= n + 1; ++thumb) {
            DictionaryList list = BuildDictionaryList(Names(n), JudgmentSettings{});
            list.first = first;
            list.position = ScrollPositionOf(first, n, list.step);
            ScrollDictionaries(list, a, thumb);
            ScrollDictionaries(list, b, n - thumb);
            ASSERT_GE(list.first, 1) << n << " " << a << " " << b << " " << thumb;
            ASSERT_LE(list.first, n - 5) << n << " " << a << " " << b << " " << thumb;
            ASSERT_GE(list.position, 0);
            ASSERT_LE(list.position, n);
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace zvrx
