// The entries of a list page without a window: long entries and their
// store, the ".." rule, Add/Change/Delete, Read from a text file, the file
// text and the has-changed test.
#include "settings/model/list_entries.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zvrx {
namespace {

// Every byte is 10 pixels wide; 20 bytes fit the 200-pixel limit.
constexpr int kPixelsPerByte = 10;
constexpr int kLimit = 200;
int Measure(std::string_view text) { return static_cast<int>(text.size()) * kPixelsPerByte; }

ListEntries MakeList(ListKind kind = ListKind::kAcceptance) {
  return ListEntries(kind, Measure, kLimit);
}

// An address-shaped entry of exactly `bytes` bytes.
std::string Entry(size_t bytes, char fill = 'a') {
  const std::string domain = "@x.jp";
  return std::string(bytes - domain.size(), fill) + domain;
}

std::vector<std::string> Displays(const ListEntries& list) {
  std::vector<std::string> texts;
  for (int i = 0; i < list.count(); ++i) texts.push_back(list.DisplayText(i));
  return texts;
}

std::string Lines(const std::vector<std::string>& entries) {
  std::string text;
  for (const auto& entry : entries) text += entry + "\r\n";
  return text;
}

// 28 bytes are short, 29 are long when typed or loaded; from a text file
// only 30 bytes and more are long.
TEST(ListEntries, LongEntriesByHowTheyCameIn) {
  struct Case {
    const char* how;
    size_t bytes;
    bool long_entry;
  };
  const Case cases[] = {{"typed", 28, false},  {"typed", 29, true},  {"loaded", 28, false},
                        {"loaded", 29, true},  {"read", 29, false},  {"read", 30, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.how) + " " + std::to_string(c.bytes));
    ListEntries list = MakeList();
    const std::string text = Entry(c.bytes);
    if (std::string(c.how) == "typed") {
      ASSERT_TRUE(list.Add(text));
    } else if (std::string(c.how) == "loaded") {
      list.Load(text + "\r\n");
    } else {
      EXPECT_EQ(list.ReadAddresses(std::string_view(" " + text + " ")).added, 1);
    }
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.HasRecord(0), c.long_entry);
    // A long entry is shortened to the width limit; anything else is shown whole.
    EXPECT_EQ(list.DisplayText(0), c.long_entry ? text.substr(0, 17) + "..." : text);
    EXPECT_EQ(list.FullText(0), text);
    EXPECT_EQ(list.FileText(), text + "\r\n");
    EXPECT_TRUE(list.StoreConsistent());
  }
}

TEST(ListEntries, DoubleStopCutsWhatIsStored) {
  ListEntries list = MakeList();
  ASSERT_TRUE(list.Add("ab..cd@x.jp"));
  ASSERT_TRUE(list.Add("..leading@x.jp"));  // stored empty
  const std::string long_text = "first.." + std::string(30, 'b');
  ASSERT_TRUE(list.Add(long_text));
  EXPECT_EQ(Displays(list)[0], "ab");
  EXPECT_EQ(Displays(list)[1], "");
  EXPECT_EQ(list.FullText(2), "first");
  // From a text file a short address is shown as it was found.
  EXPECT_EQ(list.ReadAddresses(std::string_view("r..s@x.jp")).added, 1);
  EXPECT_EQ(list.DisplayText(3), "r..s@x.jp");
  EXPECT_EQ(list.FileText(), "ab\r\n\r\nfirst\r\nr\r\n");
}

TEST(ListEntries, ShortenedTextNeverSplitsADoubleByteCharacter) {
  ListEntries list = MakeList();
  // 20 bytes fit and the dots take three: the cut at 17 would fall inside
  // a double-byte character and backs off to 16. With 15 ASCII bytes the
  // cut falls between two characters.
  const std::string text =
      std::string(16, 'a') + "\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0";
  ASSERT_TRUE(list.Add(text));
  EXPECT_EQ(list.DisplayText(0), std::string(16, 'a') + "...");
  list.Clear();
  ASSERT_TRUE(list.Add(std::string(15, 'a') + "\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0"));
  EXPECT_EQ(list.DisplayText(0), std::string(15, 'a') + "\x82\xa0...");
}

TEST(ListEntries, FailedMeasurementShowsTheEntryWhole) {
  ListEntries list(ListKind::kAcceptance, [](std::string_view) { return -1; }, kLimit);
  const std::string text = Entry(60);
  ASSERT_TRUE(list.Add(text));
  EXPECT_EQ(list.DisplayText(0), text);
  EXPECT_TRUE(list.HasRecord(0));
}

// Selection after Delete in a list of eight: seven left means the top first.
TEST(ListEntries, DeleteSelectsByTheRules) {
  struct Case {
    int entries, position;
    std::vector<int> selections;
  };
  const Case cases[] = {
      {8, 3, {0, 2}}, {8, 0, {0, 0}}, {8, 7, {0, 6}},  // seven left
      {9, 3, {3}},    {9, 8, {7}},    {3, 0, {0}},    {3, 2, {1}},  {1, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.entries) + " entries, delete " + std::to_string(c.position));
    ListEntries list = MakeList();
    for (int i = 0; i < c.entries; ++i) ASSERT_TRUE(list.Add("e" + std::to_string(i) + "@x.jp"));
    EXPECT_EQ(list.Delete(c.position), c.selections);
    EXPECT_EQ(list.count(), c.entries - 1);
  }
  ListEntries list = MakeList();
  EXPECT_TRUE(list.Delete(0).empty());  // nothing to delete
}

TEST(ListEntries, DeleteKeepsLongTextsWithTheirEntries) {
  ListEntries list = MakeList();
  const std::string first = Entry(40, 'f'), second = "second@x.jp", third = Entry(50, 't');
  list.Load(Lines({first, second, third}));
  ASSERT_TRUE(list.HasRecord(0) && list.HasRecord(2));
  EXPECT_EQ(list.Delete(0), std::vector<int>{0});
  EXPECT_TRUE(list.StoreConsistent());
  EXPECT_FALSE(list.HasRecord(0));
  EXPECT_TRUE(list.HasRecord(1));
  EXPECT_EQ(list.FileText(), second + "\r\n" + third + "\r\n");
}

TEST(ListEntries, ChangeReplacesOnlyAModifiedNonEmptyText) {
  ListEntries list = MakeList();
  const std::string long_text = Entry(40);
  list.Load(Lines({"keep@x.jp", long_text}));

  // Untouched or emptied: the entry stays and editing ends.
  for (auto [modified, text] : {std::pair{false, "other@x.jp"}, std::pair{true, ""}}) {
    ASSERT_EQ(list.StartChange(1), long_text);  // the full text, not the display
    EXPECT_TRUE(list.editing());
    EXPECT_FALSE(list.FinishChange(modified, text));
    EXPECT_FALSE(list.editing());
    EXPECT_EQ(list.FullText(1), long_text);
  }

  // Long to short drops the record; short to long adds one.
  ASSERT_TRUE(list.StartChange(1));
  EXPECT_TRUE(list.FinishChange(true, "short@x.jp"));
  EXPECT_FALSE(list.HasRecord(1));
  ASSERT_TRUE(list.StartChange(0));
  EXPECT_TRUE(list.FinishChange(true, Entry(35, 'n')));
  EXPECT_TRUE(list.HasRecord(0));
  EXPECT_TRUE(list.StoreConsistent());
  EXPECT_EQ(list.FileText(), Lines({Entry(35, 'n'), "short@x.jp"}));

  EXPECT_FALSE(list.StartChange(-1));  // no selection
}

TEST(ListEntries, AddAndChangeLimitsByKind) {
  const std::string typed(300, 'q');
  ListEntries rejection = MakeList(ListKind::kRejection);
  ASSERT_TRUE(rejection.Add(typed));
  EXPECT_EQ(rejection.FullText(0), typed.substr(0, 59));
  ASSERT_TRUE(rejection.StartChange(0));
  ASSERT_TRUE(rejection.FinishChange(true, typed));
  EXPECT_EQ(rejection.FullText(0), typed.substr(0, 255));

  ListEntries acceptance = MakeList(ListKind::kAcceptance);
  ASSERT_TRUE(acceptance.Add(typed));
  EXPECT_EQ(acceptance.FullText(0), typed.substr(0, 255));

  // A double-byte character that would straddle the limit is left out whole.
  ASSERT_TRUE(rejection.Add(std::string(58, 'a') + "\x82\xa0"));
  EXPECT_EQ(rejection.FullText(1), std::string(58, 'a'));
  EXPECT_FALSE(rejection.Add(""));
}

TEST(ListEntries, ReadStopsAtFifteenHundredEntries) {
  ListEntries list = MakeList();
  std::string file;
  for (int i = 0; i < 1499; ++i) file += "u" + std::to_string(i) + "@x.jp\r\n";
  list.Load(file);
  ASSERT_EQ(list.count(), 1499);
  const std::string three = "a@x.jp b@x.jp c@x.jp";
  ListEntries::ReadOutcome outcome = list.ReadAddresses(std::string_view(three));
  EXPECT_EQ(outcome.added, 1);
  EXPECT_TRUE(outcome.limit_reached);
  EXPECT_EQ(list.DisplayText(1499), "a@x.jp");

  // A full list says so before looking at the file.
  outcome = list.ReadAddresses(std::string_view(three));
  EXPECT_EQ(outcome.added, 0);
  EXPECT_TRUE(outcome.limit_reached);
}

TEST(ListEntries, ReadIgnoresMissingEmptyAndOversizedFiles) {
  ListEntries list = MakeList();
  std::string big(kReadFileMaxBytes + 1, ' ');
  big.replace(0, 6, "a@x.jp");
  std::string fits = big.substr(0, kReadFileMaxBytes);
  const std::optional<std::string_view> files[] = {std::nullopt, std::string_view(),
                                                   std::string_view(big)};
  for (const auto& file : files) {
    const ListEntries::ReadOutcome outcome = list.ReadAddresses(file);
    EXPECT_EQ(outcome.added, 0);
    EXPECT_FALSE(outcome.limit_reached);
  }
  EXPECT_EQ(list.ReadAddresses(std::string_view(fits)).added, 1);
  // Duplicates are added all the same.
  EXPECT_EQ(list.ReadAddresses(std::string_view(fits)).added, 1);
  EXPECT_EQ(list.count(), 2);
}

TEST(ListEntries, LoadCutsLines) {
  struct Case {
    const char* why;
    std::string file;
    std::vector<std::string> entries;
  };
  const std::string long_line(300, 'L');
  const Case cases[] = {
      {"CR LF lines, an empty one among them", "a@x\r\n\r\nb@y\r\n", {"a@x", "", "b@y"}},
      {"bare LF keeps the last character", "a@x\nb@y\n", {"a@x", "b@y"}},
      {"a last line without LF is kept", "a@x\r\nb@y", {"a@x", "b@y"}},
      {"a text under two bytes is empty", "a", {}},
      {"a line longer than 255 bytes is kept whole", long_line + "\r\n", {long_line}},
      {"a NUL ends the entry", std::string("a@x\0junk\r\nb@y\r\n", 15), {"a@x", "b@y"}},
  };
  for (const Case& c : cases) {
    ListEntries list = MakeList();
    list.Load(c.file);
    std::vector<std::string> full;
    for (int i = 0; i < list.count(); ++i) full.push_back(list.FullText(i));
    EXPECT_EQ(full, c.entries) << c.why;
  }
}

// The store and the file text grow past their first room: a list of many
// long entries saves whole.
TEST(ListEntries, LongListsAreNeverCut) {
  std::vector<std::string> entries;
  for (int i = 0; i < 600; ++i) entries.push_back(std::to_string(i) + Entry(250));
  const std::string file = Lines(entries);
  ASSERT_GT(file.size(), kFileTextInitialBytes);
  ListEntries list = MakeList();
  list.Load(file);
  EXPECT_GT(list.store().records().size(), kLongRecordsInitial);
  EXPECT_GT(list.store().text().size(), kLongTextInitialBytes);
  EXPECT_TRUE(list.StoreConsistent());
  EXPECT_EQ(list.FileText(), file);
}

TEST(ListEntries, HasChanged) {
  struct Case {
    const char* why;
    bool dirty;
    std::string text;
    size_t baseline;
    std::string current;
    bool changed;
  };
  const Case cases[] = {
      {"clean dirty bit", false, "a\r\n", 0, "", false},
      {"length differs from the opening", true, "a\r\n", 6, "a\r\nb\r\n", true},
      {"same bytes as the file", true, "a\r\n", 3, "a\r\n", false},
      {"same length, other bytes", true, "b\r\n", 3, "a\r\n", true},
      {"empty list, no file", true, "", 0, "", false},
      {"file shrank since opening", true, "a\r\n", 3, "a", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ListHasChanged(c.dirty, c.text, c.baseline, c.current), c.changed) << c.why;
  }
}

}  // namespace
}  // namespace zvrx
