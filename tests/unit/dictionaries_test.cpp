// Loading the Method dictionaries (names, order, switched-off slots, byte
// order, scrambled words, companion files, corrupt files), the prefilter
// index, and the analysis tables.
#include "checker/analysis/method_dictionaries.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "checker/analysis/analysis_tables.h"
#include "checker/analysis/prefilter.h"
#include "platform/cp932.h"
#include "platform/drives.h"
#include "shared/dictionary_format.h"
#include "shared/locations.h"
#include "shared/records.h"
#include "tests/support/dictionary_builder.h"
#include "tests/support/sjis.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

using test::DictionaryContents;
using test::EntryContents;

using test::Sjis;

DictionaryContents SmallDictionary(const std::string& category) {
  DictionaryContents contents;
  contents.category = category;
  contents.entries = {{"free money", 10, {}, {}}, {"winner", 5, {}, {}}};
  return contents;
}

std::vector<std::string> LoadedNames(const DictionarySet& set) {
  std::vector<std::string> names;
  for (const MethodDictionary& d : set.dictionaries) names.push_back(d.file_name);
  return names;
}

JudgmentSettings SwitchedOff(const std::vector<std::string>& names) {
  JudgmentSettings settings{};
  for (size_t i = 0; i < names.size(); ++i) {
    std::strncpy(settings.disabled_dictionaries[i], names[i].c_str(), kDictionaryNameSize - 1);
  }
  return settings;
}

// ---------------------------------------------------------------------------
// Which names are collected, and in which order they load.

TEST(DictionaryNamesTest, QualifyingNamesAreCollectedThenSorted) {
  struct Case {
    const char* why;
    std::vector<std::string> listing;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"a digit first; letters first, '..', lib and LIB are ignored; other cases of Lib are not",
       {"9zz", "abc", "1a..b", "2lib", "3LIB", "4Lib", "0first", "_x"},
       {"0first", "4Lib", "9zz"}},
      {"sorted by bytes, not by number", {"10b", "9a", "100c"}, {"100c", "10b", "9a"}},
      {"only the first 16 qualifying names in listing order are kept, then sorted",
       {"99", "98", "97", "96", "95", "94", "93", "92", "91", "90", "89", "88", "87", "86",
        "x", "85", "84", "00", "01"},
       {"84", "85", "86", "87", "88", "89", "90", "91", "92", "93", "94", "95", "96", "97", "98",
        "99"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CollectDictionaryNames(c.listing), c.expected) << c.why;
  }
}

TEST(DictionaryNamesTest, SwitchedOffSlotsMatchNamePrefixes) {
  JudgmentSettings settings = SwitchedOff({"20money", "", "3"});
  // A slot holding 20 bytes without a NUL is read as its first 19.
  std::memset(settings.disabled_dictionaries[5], 'z', kDictionaryNameSize);
  EXPECT_TRUE(IsSwitchedOff(&settings, "20money"));
  EXPECT_TRUE(IsSwitchedOff(&settings, "20money_v2"));  // begins with the slot's text
  EXPECT_TRUE(IsSwitchedOff(&settings, "3anything"));
  EXPECT_FALSE(IsSwitchedOff(&settings, "20mon"));
  EXPECT_FALSE(IsSwitchedOff(&settings, "10adult"));  // the empty slot matches nothing
  EXPECT_TRUE(IsSwitchedOff(&settings, std::string(19, 'z')));
  EXPECT_FALSE(IsSwitchedOff(nullptr, "20money"));
}

class MethodFolderTest : public ::testing::Test {
 protected:
  void Write(const std::string& name, const DictionaryContents& contents) {
    test::WriteDictionary(prefix_.InstallRootHost(), name, contents);
  }
  void WriteRaw(const std::string& name, const std::string& bytes) {
    test::WriteHostFile(prefix_.InstallRootHost() + "/Method/" + name, bytes);
  }
  test::TempPrefix prefix_;
  DictionarySet set_;
};

TEST_F(MethodFolderTest, LoadsInByteOrderAndSwitchedOffNamesTakeNoBit) {
  Write("30c", SmallDictionary("C"));
  Write("10a", SmallDictionary("A"));
  Write("20b", SmallDictionary("B"));
  Write("abc", SmallDictionary("letter first"));
  Write("40lib", SmallDictionary("library"));

  LoadMethodDictionaries(set_, nullptr, MethodFolder());
  EXPECT_EQ(set_.count, 3);
  EXPECT_EQ(LoadedNames(set_), (std::vector<std::string>{"10a", "20b", "30c"}));

  const JudgmentSettings settings = SwitchedOff({"20b"});
  LoadMethodDictionaries(set_, &settings, MethodFolder());
  ASSERT_EQ(set_.count, 2);
  EXPECT_EQ(LoadedNames(set_), (std::vector<std::string>{"10a", "30c"}));
  EXPECT_EQ(set_.dictionaries[0].bit, 1u);
  EXPECT_EQ(set_.dictionaries[1].bit, 2u);
  // The reload rebuilt the index: no mask carries a third bit.
  for (uint16_t mask : set_.prefilter) ASSERT_EQ(mask & ~3u, 0u);
}

TEST_F(MethodFolderTest, NoFolderOrNoQualifyingFileGivesCountZero) {
  Write("10a", SmallDictionary("A"));
  LoadMethodDictionaries(set_, nullptr, MethodFolder());
  ASSERT_EQ(set_.count, 1);

  std::filesystem::remove_all(prefix_.InstallRootHost() + "/Method");
  LoadMethodDictionaries(set_, nullptr, MethodFolder());
  EXPECT_EQ(set_.count, 0);
  EXPECT_TRUE(set_.dictionaries.empty());
  for (uint16_t mask : set_.prefilter) ASSERT_EQ(mask, 0u);

  Write("readme", SmallDictionary("A"));
  LoadMethodDictionaries(set_, nullptr, MethodFolder());
  EXPECT_EQ(set_.count, 0);
}

// The loader reads the folder it is given, whatever the current folder
// holds, and leaves the current folder to the user.
TEST_F(MethodFolderTest, ReadsTheGivenFolderAndLeavesTheCurrentFolder) {
  DictionaryContents one;
  one.category = "one";
  one.entries = {{"winner", 5, {}, {}}};
  Write("10a", one);
  test::WriteDictionary(prefix_.path() + "/drive_c/Other", "20b", one);
  test::WriteDictionary(prefix_.path() + "/drive_c/WINDOWS", "30c", one);
  ASSERT_TRUE(platform::SetCurrentDirectory("C:\\WINDOWS\\Method"));

  LoadMethodDictionaries(set_, nullptr, MethodFolder());
  EXPECT_EQ(LoadedNames(set_), std::vector<std::string>{"10a"});
  LoadMethodDictionaries(set_, nullptr, "C:\\Other\\Method\\");
  EXPECT_EQ(LoadedNames(set_), std::vector<std::string>{"20b"});
  EXPECT_EQ(platform::GetCurrentDirectory(), "C:\\WINDOWS\\Method");
}

TEST_F(MethodFolderTest, ConvertsByteOrderUnscramblesWordsAndAttachesCompanion) {
  DictionaryContents contents;
  contents.category = Sjis("出会い系");
  contents.language = kLanguageJapanese;
  contents.scrambled = true;
  contents.companion_name = "10deai.cmp";
  contents.entries = {
      {Sjis("出会い"), 40, {Sjis("であい"), Sjis("デアイ")}, {{2, 7, 300}}},
      {Sjis("無料"), -3, {}, {}},
      {Sjis("人妻"), 70000, {Sjis("ひとづま")}, {{0, 1, 1}, {1, 2, 3}}},
  };
  Write("10deai", contents);
  LoadMethodDictionaries(set_, nullptr, MethodFolder());
  ASSERT_EQ(set_.count, 1);
  const MethodDictionary& d = set_.dictionaries[0];

  EXPECT_STREQ(d.category(), Sjis("出会い系").c_str());
  EXPECT_EQ(d.language(), kLanguageJapanese);
  ASSERT_EQ(d.entries.size(), 3u);
  EXPECT_STREQ(d.entries[0].word, Sjis("出会い").c_str());
  EXPECT_EQ(d.word_lengths[0], 6);
  EXPECT_STREQ(d.entries[1].word, Sjis("無料").c_str());
  EXPECT_EQ(d.entries[0].weight, 40);
  EXPECT_EQ(d.entries[1].weight, -3);
  EXPECT_EQ(d.entries[2].weight, 70000);
  EXPECT_EQ(d.entries[0].slots[0].related, 2);
  EXPECT_EQ(d.entries[0].slots[0].weight_a, 7);
  EXPECT_EQ(d.entries[0].slots[0].weight_b, 300);
  EXPECT_EQ(d.entries[2].slots[1].weight_b, 3);
  EXPECT_EQ(d.entries[0].hit_count, 0);

  // CR became TAB, so each line ends in TAB LF.
  const std::string companion(d.companion.data());
  EXPECT_EQ(companion, Sjis("であい,デアイ") + "\t\n" + Sjis("ひとづま") + "\t\n");
  ASSERT_EQ(d.item_begin, (std::vector<int32_t>{0, 2, 2, 3}));
  auto item = [&](int k) {
    return std::string(d.companion.data() + d.items[k].offset, d.items[k].length);
  };
  EXPECT_EQ(item(0), Sjis("であい"));
  EXPECT_EQ(item(1), Sjis("デアイ"));
  EXPECT_EQ(item(2), Sjis("ひとづま"));

  // Words and forms are registered under their keys.
  for (const std::string& word : {Sjis("出会い"), Sjis("であい"), Sjis("人妻"), Sjis("ひとづま")}) {
    EXPECT_EQ(set_.prefilter[PrefilterWordKey(word.c_str(), static_cast<int>(word.size()))], 1u)
        << platform::Cp932ToUtf8(word);
  }
}

TEST_F(MethodFolderTest, MissingCompanionFileLeavesDictionaryWithoutOne) {
  DictionaryContents contents = SmallDictionary("A");
  contents.companion_name = "10a.cmp";
  contents.entries[0].forms = {"freemoney"};
  WriteRaw("10a", test::BuildDictionaryFile(contents));
  LoadMethodDictionaries(set_, nullptr, MethodFolder());
  ASSERT_EQ(set_.count, 1);
  EXPECT_TRUE(set_.dictionaries[0].companion.empty());
  EXPECT_TRUE(set_.dictionaries[0].items.empty());
}

TEST_F(MethodFolderTest, CompanionItemsTooLongOrEmptyAreLeftOut) {
  DictionaryContents contents = SmallDictionary("A");
  contents.companion_name = "10a.cmp";
  contents.entries[0].forms = {std::string(55, 'x'), "", std::string(56, 'y'), "ok!"};
  Write("10a", contents);
  LoadMethodDictionaries(set_, nullptr, MethodFolder());
  ASSERT_EQ(set_.count, 1);
  const MethodDictionary& d = set_.dictionaries[0];
  ASSERT_EQ(d.items.size(), 2u);
  EXPECT_EQ(d.items[0].length, 55);
  EXPECT_EQ(d.items[1].length, 3);
}

// ---------------------------------------------------------------------------
// Corrupt files are skipped without a bit, and never read past their end.

TEST_F(MethodFolderTest, CorruptDictionariesAreSkipped) {
  struct Case {
    const char* why;
    std::function<void(std::string& dict, std::string& companion)> spoil;
  };
  auto put32 = [](std::string& bytes, size_t offset, uint32_t value) {
    WriteBe32(bytes.data() + offset, value);
  };
  const size_t entry0 = kDictHeaderSize;
  const size_t entry1 = kDictHeaderSize + kEntrySize;
  const Case cases[] = {
      {"shorter than its header", [](std::string& d, std::string&) { d.resize(200); }},
      {"truncated inside the last entry",
       [](std::string& d, std::string&) { d.resize(d.size() - 1); }},
      {"entry count larger than the file holds",
       [&](std::string& d, std::string&) { put32(d, kDictEntryCountOffset, 3); }},
      {"entry count far too large",
       [&](std::string& d, std::string&) { put32(d, kDictEntryCountOffset, 0x7FFFFFFF); }},
      {"negative entry count",
       [&](std::string& d, std::string&) { put32(d, kDictEntryCountOffset, 0xFFFFFFFF); }},
      {"companion offset past the companion text",
       [&](std::string& d, std::string& c) {
         put32(d, entry1 + kEntryCompanionLineOffset, static_cast<uint32_t>(c.size()));
       }},
      {"companion offset far outside",
       [&](std::string& d, std::string&) {
         put32(d, entry0 + kEntryCompanionLineOffset, 0x7FFFFFF0);
       }},
      {"companion line without its end",
       [&](std::string&, std::string& c) { c.resize(c.size() - 2); }},
      {"follow-up number past the last entry",
       [&](std::string& d, std::string&) {
         put32(d, entry0 + kEntryFirstSlotOffset + kSlotRelatedOffset, 3);
       }},
      {"follow-up number past the last entry in its low 16 bits",
       [&](std::string& d, std::string&) {
         put32(d, entry0 + kEntryFirstSlotOffset + kSlotRelatedOffset, 0x00010009);
       }},
      {"plain word filling its field without a NUL",
       [&](std::string& d, std::string&) {
         std::memset(d.data() + entry1, 'w', kEntryWordSize);
       }},
      {"scrambled word longer than its field",
       [&](std::string& d, std::string&) {
         put32(d, kDictFlagsOffset, kDictFlagScrambled);
         d[entry0] = static_cast<char>(56);
       }},
      {"companion name without its end",
       [&](std::string& d, std::string&) {
         std::memset(d.data() + kDictCompanionNameOffset, 'n', kDictCompanionNameSize);
       }},
  };
  DictionaryContents contents = SmallDictionary("bad");
  contents.companion_name = "10bad.cmp";
  contents.entries[0].forms = {"free cash", "easy money"};
  contents.entries[1].forms = {"winning"};
  contents.entries[0].follow_ups = {{2, 1, 1}};
  Write("20good", SmallDictionary("good"));

  for (const Case& c : cases) {
    std::string dict = test::BuildDictionaryFile(contents);
    std::string companion = test::BuildCompanionFile(contents);
    c.spoil(dict, companion);
    WriteRaw("10bad", dict);
    WriteRaw("10bad.cmp", companion);
    LoadMethodDictionaries(set_, nullptr, MethodFolder());
    ASSERT_EQ(set_.count, 1) << c.why;
    EXPECT_EQ(set_.dictionaries[0].file_name, "20good") << c.why;
    EXPECT_EQ(set_.dictionaries[0].bit, 1u) << c.why;
  }

  // The untouched pair loads, so each row above is what made it corrupt.
  WriteRaw("10bad", test::BuildDictionaryFile(contents));
  WriteRaw("10bad.cmp", test::BuildCompanionFile(contents));
  LoadMethodDictionaries(set_, nullptr, MethodFolder());
  EXPECT_EQ(set_.count, 2);
}

TEST_F(MethodFolderTest, NamesThatDoNotFitThePathAreaAreRefused) {
  // "C:\Program Files\ZVRX\Method\" is 29 bytes; with the NUL, 29 are left.
  const size_t room = kMethodPathWorkSize - 1 - MethodFolder().size();
  ASSERT_EQ(room, 29u);
  const std::string fits(room, '1');
  const std::string too_long(room + 1, '2');
  Write(fits, SmallDictionary("fits"));
  Write(too_long, SmallDictionary("too long"));
  LoadMethodDictionaries(set_, nullptr, MethodFolder());
  EXPECT_EQ(LoadedNames(set_), std::vector<std::string>{fits});

  // A companion name that does not fit is treated like a missing companion.
  DictionaryContents contents = SmallDictionary("A");
  contents.companion_name = std::string(room + 1, 'c');
  contents.entries[0].forms = {"cash"};
  Write("0a", contents);
  LoadMethodDictionaries(set_, nullptr, MethodFolder());
  ASSERT_EQ(set_.count, 2);
  EXPECT_EQ(set_.dictionaries[0].file_name, "0a");
  EXPECT_TRUE(set_.dictionaries[0].items.empty());
}

// ---------------------------------------------------------------------------
// Prefilter keys.

TEST(PrefilterTest, ThreeByteWordsUseKey3AndLongerWordsKey4) {
  PrefilterIndex index(kPrefilterSize, 0);
  PrefilterRegister(index, "abc", 3, 1);
  PrefilterRegister(index, "abcdef", 6, 2);
  EXPECT_EQ(index[PrefilterKey3('a', 'b', 'c')], 1u);
  EXPECT_EQ(index[PrefilterKey4('a', 'b', 'c', 0)] & 1u, 0u);  // not under key4
  EXPECT_EQ(index[PrefilterKey4('a', 'b', 'c', 'd')], 2u);

  // The text "abcdxyz" starts both words; "abcxyz" only the three-byte one.
  EXPECT_EQ(PrefilterCandidates(index, "abcdxyz"), 3u);
  EXPECT_EQ(PrefilterCandidates(index, "abcxyz") & 3u, 1u);
  EXPECT_EQ(PrefilterCandidates(index, "abxdef") & 2u, 0u);
}

TEST(PrefilterTest, KeysFollowTheirFormulasModulo65536) {
  // key3 = ((b0-32)&127)*512 + ((b1-32)&127)*8 + ((b2-32)&127)
  EXPECT_EQ(PrefilterKey3(' ', ' ', ' '), 0);
  EXPECT_EQ(PrefilterKey3('!', '"', '#'), 512 + 16 + 3);
  EXPECT_EQ(PrefilterKey3(0x1F, 0, 0), (127 * 512 + 96 * 8 + 96) % 65536);
  // key4 = (b0&127)*512 + (b1&127)*4 + (b2&127)*256 + (b3&127)
  EXPECT_EQ(PrefilterKey4(1, 2, 3, 4), 512 + 8 + 768 + 4);
  EXPECT_EQ(PrefilterKey4(0xFF, 0xFF, 0xFF, 0xFF), (127 * 512 + 127 * 4 + 127 * 256 + 127) % 65536);
  // Bytes past a word's end count as zero, for words and text alike.
  EXPECT_EQ(PrefilterWordKey("ab", 2), PrefilterKey4('a', 'b', 0, 0));
  EXPECT_EQ(PrefilterWordKey("abcd,", 4), PrefilterKey4('a', 'b', 'c', 'd'));
  PrefilterIndex index(kPrefilterSize, 0);
  PrefilterRegister(index, "ab", 2, 4);
  EXPECT_EQ(PrefilterCandidates(index, "ab") & 4u, 4u);
}

// ---------------------------------------------------------------------------
// Analysis tables.

TEST(AnalysisTablesTest, LoadsThresholdsAndUnscramblesSubjectTables) {
  test::TempPrefix prefix;
  const std::string data = prefix.DataFolderHost() + "/";
  test::WriteHostFile(data + "kZVj-128", test::BuildThresholds({-5, 70, -300, 20, -2000, 0,
                                                                 500, 1}) + "ignored tail");
  test::WriteHostFile(data + "ZVRd-128",
                      test::BuildSubjectTable(false, 100, 300, {{Sjis("未承諾広告"), 500}}));
  test::WriteHostFile(data + "ZVRd-129", test::BuildSubjectTable(true, 0, 2000, {{"viagra", 80}}));
  AnalysisTables tables;
  MailLists lists;
  LoadAnalysisTables(tables, lists);
  const int32_t expected[kThresholdCount] = {-5, 70, -300, 20, -2000, 0, 500, 1};
  for (int i = 0; i < kThresholdCount; ++i) EXPECT_EQ(tables.thresholds[i], expected[i]) << i;

  const SubjectTable& ja = tables.subject[kLanguageJapanese];
  ASSERT_TRUE(ja.present);
  EXPECT_FALSE(ja.ignore_case);
  EXPECT_EQ(ja.lower, 100);
  EXPECT_EQ(ja.upper, 300);
  ASSERT_EQ(ja.keywords.size(), 1u);
  EXPECT_EQ(ja.keywords[0].keyword, Sjis("未承諾広告"));
  EXPECT_EQ(ja.keywords[0].weight, 500);

  const SubjectTable& en = tables.subject[kLanguageEnglish];
  ASSERT_TRUE(en.present);
  EXPECT_TRUE(en.ignore_case);
  EXPECT_EQ(en.lower, 0);
  ASSERT_EQ(en.keywords.size(), 1u);
  EXPECT_EQ(en.keywords[0].keyword, "viagra");
}

TEST(AnalysisTablesTest, MissingShortOrOverrunningFilesLeaveTablesEmpty) {
  test::TempPrefix prefix;
  const std::string data = prefix.DataFolderHost() + "/";
  AnalysisTables tables;
  MailLists lists;
  LoadAnalysisTables(tables, lists);
  for (int32_t p : tables.thresholds) EXPECT_EQ(p, 0);
  EXPECT_FALSE(tables.subject[0].present);
  EXPECT_FALSE(tables.subject[1].present);

  // Seven values are not a parameter set; a count past the end is corrupt.
  test::WriteHostFile(data + "kZVj-128",
                      test::BuildThresholds({1, 2, 3, 4, 5, 6, 7, 8}).substr(0, 28));
  std::string table = test::BuildSubjectTable(false, 0, 10, {{"a", 1}, {"b", 2}});
  test::WriteHostFile(data + "ZVRd-128", table.substr(0, table.size() - 1));
  test::WriteHostFile(data + "ZVRd-129", table.substr(0, 7));
  LoadAnalysisTables(tables, lists);
  for (int32_t p : tables.thresholds) EXPECT_EQ(p, 0);
  EXPECT_FALSE(tables.subject[0].present);
  EXPECT_FALSE(tables.subject[1].present);
}

}  // namespace
}  // namespace zvrx
