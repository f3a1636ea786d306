// The data compiler: it refuses bad sources with the file and line, and the
// files it writes have the exact layout the checker reads.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "checker/analysis/brand_check.h"
#include "checker/analysis/method_dictionaries.h"
#include "platform/cp932.h"
#include "shared/data_scramble.h"
#include "shared/dictionary_format.h"
#include "tests/support/sjis.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

const std::string kDatac = std::string(ZVRX_BINARY_DIR) + "/tools/zvrx_datac";

using test::Sjis;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ManyNames(int count, int length) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::string(length, 'a') + "\n";
  return text;
}

int32_t Be32At(const std::string& bytes, size_t offset) { return ReadBe32(bytes.data() + offset); }

class DatacTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kDatac)) << "build the zvrx_datac target first";
    root_ = fs::temp_directory_path() /
            ("zvrx_datac_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    // A small but complete source tree; each test changes one file.
    files_ = {
        {"method/1jp_test.dic",
         "category: テスト分類\nlanguage: ja\nscramble: yes\n\n"
         "出会い | 10 | forms: であい, 出逢い | then: 無料:3:7\n"
         "無料 | 2\n"},
        {"method/5en_test.dic", "category: 英文テスト\nlanguage: en\nscramble: no\nviagra | 25\n"},
        {"subject_ja.txt", "case: exact\nlower: 100\nupper: 300\n副業 | 50\n"},
        {"subject_en.txt", "case: ignore\nlower: 100\nupper: 300\nviagra | 20\n"},
        {"thresholds.txt", "P0: 55\nP1: 3\nP2: 40\nP3: 2\nP4: 30\nP5: 1\nP6: 4000\nP7: 1\n"},
        {"anon_from.txt", "# comment\n@mailinator.com\n<>\n"},
        {"anon_msgid.txt", "@localhost>\n"},
    };
    for (int n = 1; n <= 15; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "european/ISO5%02d.txt", n);
      files_[name] = "ISO-8859-" + std::to_string(n) + "\n";
    }
  }
  void TearDown() override { fs::remove_all(root_); }

  // Writes the tree and runs the compiler; returns its exit status.
  int Compile() {
    for (const auto& [relative, text] : files_) {
      const fs::path path = root_ / "src" / relative;
      fs::create_directories(path.parent_path());
      std::ofstream(path, std::ios::binary) << text;
    }
    const std::string command = "'" + kDatac + "' '" + (root_ / "src").string() + "' '" +
                                (root_ / "out").string() + "' 2>'" +
                                (root_ / "stderr.txt").string() + "'";
    const int status = std::system(command.c_str());
    errors_ = ReadAll(root_ / "stderr.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string Source(const std::string& relative) const {
    return (root_ / "src" / relative).string();
  }
  std::string Output(const std::string& relative) const {
    return ReadAll(root_ / "out" / relative);
  }

  fs::path root_;
  std::map<std::string, std::string> files_;
  std::string errors_;
};

TEST_F(DatacTest, RefusesBadSourcesWithFileAndLine) {
  struct Case {
    const char* what;
    const char* file;
    std::string text;
    int line;
    const char* reason;
  };
  const std::string header = "category: テスト分類\nlanguage: ja\n";
  const Case cases[] = {
      // 28 kanji are 56 bytes: one more than the word field holds.
      {"word longer than its field", "method/1jp_test.dic",
       header + "一二三四五六七八九十一二三四五六七八九十一二三四五六七八 | 5\n", 3,
       "longer than 55 bytes"},
      {"companion form longer than 55 bytes", "method/1jp_test.dic",
       header + "出会い | 5 | forms: 一二三四五六七八九十一二三四五六七八九十一二三四五六七八\n", 3,
       "longer than 55 bytes"},
      {"follow-up that is no entry", "method/1jp_test.dic",
       header + "出会い | 5 | then: 登録:1:2\n", 3, "unknown follow-up word"},
      {"category over the 30 bytes the work log takes", "method/1jp_test.dic",
       "category: 一二三四五六七八九十一二三四五六\nlanguage: ja\n出会い | 5\n", 1,
       "category name must be 1 to 30 bytes"},
      {"weight that is no number", "method/1jp_test.dic", header + "出会い | 1O\n", 3,
       "bad weight"},
      {"weight beyond the safe range", "method/1jp_test.dic", header + "出会い | 99999999\n",
       3, "bad weight"},
      {"bad follow-up weight", "method/1jp_test.dic",
       header + "出会い | 5 | then: 無料:x:2\n無料 | 1\n", 3, "bad follow-up weight"},
      {"word the prefilter can never find", "method/1jp_test.dic", header + "金 | 5\n", 3,
       "shorter than 3 bytes"},
      {"upper case in an English dictionary", "method/5en_test.dic",
       "category: 英文\nlanguage: en\nViagra | 5\n", 3, "upper-case"},
      {"entry hidden behind a shorter earlier one", "method/1jp_test.dic",
       header + "出会い | 5\n出会い系 | 9\n", 4, "word never matches"},
      {"character without a CP932 form", "method/1jp_test.dic",
       header + "出会い\xF0\x9F\x98\x80 | 5\n", 3, "outside CP932"},
      {"header line after the entries", "method/1jp_test.dic",
       header + "出会い | 5\nscramble: no\n", 4, "expected 'word | weight'"},
      {"Subject keyword over 35 bytes", "subject_ja.txt",
       "case: exact\nlower: 1\nupper: 2\n一二三四五六七八九十一二三四五六七八 | 5\n", 4,
       "keyword must be 1 to 35 bytes"},
      {"Subject bounds the wrong way round", "subject_ja.txt",
       "case: exact\nlower: 300\nupper: 100\n副業 | 5\n", 3, "upper must exceed lower"},
      {"threshold given twice", "thresholds.txt", "P0: 1\nP0: 2\n", 2, "given twice"},
      {"sign-list line over the 63-byte working area", "anon_from.txt",
       std::string(64, 'a') + "\n", 1, "longer than 63 bytes"},
      {"charset name with a blank", "european/ISO503.txt", "ISO 8859-3\n", 1,
       "printable ASCII without blanks"},
      {"brand domain in upper case", "brands.txt", "score: 100\nつばさ | 1jp_test | Tsubasa.example\n",
       2, "no lower-case domain name"},
      {"brand without a kind", "brands.txt", "score: 100\nつばさ |  | tsubasa.example\n", 2,
       "needs a kind"},
      {"brand score beyond a word's weight", "brands.txt", "score: 20000\n", 1,
       "score must be 0 to 10000"},
      {"brand name of one letter", "brands.txt", "score: 100\nQ | 1jp_test | q.example\n", 2,
       "at least two bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    files_[c.file] = c.text;
    EXPECT_EQ(Compile(), 1);
    const std::string expected = Source(c.file) + ":" + std::to_string(c.line) + ": ";
    EXPECT_NE(errors_.find(expected), std::string::npos) << errors_;
    EXPECT_NE(errors_.find(c.reason), std::string::npos) << errors_;
    // Nothing is written when any source is refused.
    EXPECT_FALSE(fs::exists(root_ / "out"));
    TearDown();
  }
}

TEST_F(DatacTest, RefusesWholeFileProblems) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> changes;
    const char* reason;
  };
  const std::string dict = "category: 分類\nlanguage: ja\n出会い | 5\n";
  const Case cases[] = {
      {"name with a letter first is never loaded", {{"method/jp_x.dic", dict}},
       "must start with a digit"},
      {"name containing lib is never loaded", {{"method/2library.dic", dict}},
       "must not contain '..', 'lib'"},
      {"switching one off would switch off the other (first 19 bytes)",
       {{"method/2jp_abcdefghijklmnop1.dic", dict}, {"method/2jp_abcdefghijklmnop2.dic", dict}},
       "switching off one would switch off both"},
      {"lenient below standard", {{"thresholds.txt",
                                   "P0: 30\nP1: 3\nP2: 40\nP3: 2\nP4: 30\nP5: 1\nP6: 1\nP7: 1\n"}},
       "the wrong way"},
      {"missing parameter", {{"thresholds.txt", "P0: 1\n"}}, "missing P7"},
      // Sixty names of 60 bytes: 3720 bytes with their CR LF.
      {"European files over 3000 bytes together", {{"european/ISO501.txt", ManyNames(60, 60)}},
       "exceed 3000 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    for (const auto& [file, text] : c.changes) files_[file] = text;
    EXPECT_EQ(Compile(), 1);
    EXPECT_NE(errors_.find(c.reason), std::string::npos) << errors_;
    TearDown();
  }
}

TEST_F(DatacTest, MoreThanSixteenDictionariesAreRefused) {
  for (int n = 0; n < 17; ++n) {
    files_["method/" + std::to_string(10 + n) + "d.dic"] =
        "category: 分類\nlanguage: ja\n出会い | 5\n";
  }
  EXPECT_EQ(Compile(), 1);
  EXPECT_NE(errors_.find("more than 16 dictionaries"), std::string::npos) << errors_;
}

TEST_F(DatacTest, DictionaryHasTheExactLayout) {
  ASSERT_EQ(Compile(), 0) << errors_;
  const std::string dict = Output("Method/1jp_test");
  ASSERT_EQ(dict.size(), size_t{kDictHeaderSize + 2 * kEntrySize});

  EXPECT_EQ(std::string(dict.data() + kDictCategoryOffset), Sjis("テスト分類"));
  EXPECT_EQ(std::string(dict.data() + kDictCompanionNameOffset), "w1jp_test");
  EXPECT_EQ(Be32At(dict, kDictCompanionTextOffset), 0);
  EXPECT_EQ(Be32At(dict, kDictLanguageOffset), kLanguageJapanese);
  EXPECT_EQ(static_cast<uint32_t>(Be32At(dict, kDictFlagsOffset)), kDictFlagScrambled);
  EXPECT_EQ(Be32At(dict, kDictEntryCountOffset), 2);

  // Entry 0: length byte, scrambled word, weight, companion line 0, one
  // follow-up slot pointing at entry 2 (1-based) with weights 3 and 7.
  const size_t e0 = kDictHeaderSize;
  const std::string word = Sjis("出会い");
  ASSERT_EQ(static_cast<uint8_t>(dict[e0]), word.size());
  std::string plain = dict.substr(e0 + 1, word.size());
  ScrambleWordBytes(reinterpret_cast<uint8_t*>(plain.data()), static_cast<int>(plain.size()));
  EXPECT_EQ(plain, word);
  EXPECT_EQ(Be32At(dict, e0 + kEntryWeightOffset), 10);
  EXPECT_EQ(Be32At(dict, e0 + kEntryHitCountOffset), 0);
  EXPECT_EQ(Be32At(dict, e0 + kEntryCompanionLineOffset), 0);
  EXPECT_EQ(Be32At(dict, e0 + kEntryFirstSlotOffset + kSlotRelatedOffset), 2);
  EXPECT_EQ(Be32At(dict, e0 + kEntryFirstSlotOffset + kSlotWeightAOffset), 3);
  EXPECT_EQ(Be32At(dict, e0 + kEntryFirstSlotOffset + kSlotWeightBOffset), 7);
  for (int k = 1; k < kFollowUpSlotCount; ++k) {
    EXPECT_EQ(Be32At(dict, e0 + kEntryFirstSlotOffset + k * kFollowUpSlotSize), 0);
  }
  // Entry 1 has no companion line.
  EXPECT_EQ(Be32At(dict, e0 + kEntrySize + kEntryCompanionLineOffset), -1);

  std::string companion = Output("Method/w1jp_test");
  DataScramble(companion.data(), companion.size());
  EXPECT_EQ(companion, Sjis("であい,出逢い") + "\r\n");

  // An unscrambled dictionary keeps its word as plain text; no forms, no
  // companion file.
  const std::string en = Output("Method/5en_test");
  EXPECT_EQ(std::string(en.data() + kDictHeaderSize), "viagra");
  EXPECT_EQ(Be32At(en, kDictFlagsOffset), 0);
  EXPECT_EQ(Be32At(en, kDictLanguageOffset), kLanguageEnglish);
  EXPECT_EQ(en[kDictCompanionNameOffset], '\0');
  EXPECT_FALSE(fs::exists(root_ / "out/Method/w5en_test"));
}

TEST_F(DatacTest, CompiledDictionaryLoadsWithTheCheckersReader) {
  ASSERT_EQ(Compile(), 0) << errors_;
  const std::string dict = Output("Method/1jp_test");
  const std::string companion = Output("Method/w1jp_test");
  MethodDictionary loaded;
  ASSERT_TRUE(ParseDictionaryFile(dict.data(), dict.size(), loaded));
  ASSERT_TRUE(AttachCompanion(companion.data(), companion.size(), loaded));
  ASSERT_EQ(loaded.entries.size(), 2u);
  EXPECT_EQ(std::string(loaded.entries[0].word), Sjis("出会い"));
  EXPECT_EQ(std::string(loaded.entries[1].word), Sjis("無料"));
  EXPECT_EQ(loaded.item_begin[1] - loaded.item_begin[0], 2);
}

TEST_F(DatacTest, TablesListsAndCharsetFilesHaveTheirLayout) {
  ASSERT_EQ(Compile(), 0) << errors_;

  std::string subject = Output("Zvrx Staffs/ZVRd-128");
  DataScramble(subject.data(), subject.size());
  ASSERT_EQ(subject.size(), size_t{kSubjectHeaderSize + kSubjectRecordSize});
  EXPECT_EQ(ReadBe16(subject.data() + kSubjectCaseFlagOffset), 0);
  EXPECT_EQ(ReadBe16(subject.data() + kSubjectLowerOffset), 100);
  EXPECT_EQ(ReadBe16(subject.data() + kSubjectUpperOffset), 300);
  EXPECT_EQ(ReadBe16(subject.data() + kSubjectCountOffset), 1);
  EXPECT_EQ(std::string(subject.data() + kSubjectHeaderSize), Sjis("副業"));
  EXPECT_EQ(Be32At(subject, kSubjectHeaderSize + kSubjectWeightOffset), 50);

  std::string english = Output("Zvrx Staffs/ZVRd-129");
  DataScramble(english.data(), english.size());
  EXPECT_EQ(ReadBe16(english.data() + kSubjectCaseFlagOffset), 1);

  const std::string thresholds = Output("Zvrx Staffs/kZVj-128");
  ASSERT_EQ(thresholds.size(), size_t{kThresholdFileSize});
  const int32_t expected[kThresholdCount] = {55, 3, 40, 2, 30, 1, 4000, 1};
  for (int n = 0; n < kThresholdCount; ++n) EXPECT_EQ(Be32At(thresholds, 4 * n), expected[n]);

  // Sign lists: every line ends in CR LF, comments dropped, scrambled.
  std::string list_a = Output("Zvrx Staffs/ZVRk-128");
  DataScramble(list_a.data(), list_a.size());
  EXPECT_EQ(list_a, "@mailinator.com\r\n<>\r\n");
  std::string list_b = Output("Zvrx Staffs/ZVRk-129");
  DataScramble(list_b.data(), list_b.size());
  EXPECT_EQ(list_b, "@localhost>\r\n");

  // Charset files are plain and end in CR LF even after the last name,
  // without which that name could never match.
  EXPECT_EQ(Output("Zvrx Staffs/ISO501"), "ISO-8859-1\r\n");
  EXPECT_EQ(Output("Zvrx Staffs/ISO515"), "ISO-8859-15\r\n");
}

// The brand table is optional in a source tree; when there, the checker's
// own reader takes what the compiler writes.
TEST_F(DatacTest, BrandTableIsReadByTheCheckersReader) {
  ASSERT_EQ(Compile(), 0) << errors_;
  EXPECT_FALSE(fs::exists(root_ / "out/Zvrx Staffs/ZVRXBrand.txt"));
  files_["brands.txt"] =
      "# a comment\nscore: 1200\nshared: w3.example, social.example\n"
      "つばさカード, Ｔｓｕｂａｓａ | 1jp_test, 5en_test | tsubasa.example.jp, mail.tsubasa.example\n"
      "月光銀行 | 1jp_test | -\n";
  ASSERT_EQ(Compile(), 0) << errors_;
  BrandTable table;
  std::string why;
  ASSERT_TRUE(ParseBrandTable(Output("Zvrx Staffs/ZVRXBrand.txt"), table, &why)) << why;
  EXPECT_EQ(table.score, 1200);
  EXPECT_EQ(table.shared_domains, (std::vector<std::string>{"w3.example", "social.example"}));
  ASSERT_EQ(table.brands.size(), 2u);
  EXPECT_EQ(table.brands[0].names, (std::vector<std::string>{Sjis("つばさカード"), "tsubasa"}));
  EXPECT_EQ(table.brands[0].kinds, (std::vector<std::string>{"1jp_test", "5en_test"}));
  EXPECT_EQ(table.brands[0].domains.size(), 2u);
  EXPECT_TRUE(table.brands[1].domains.empty());
}

TEST_F(DatacTest, StaleDictionaryIsRemovedFromTheOutput) {
  ASSERT_EQ(Compile(), 0) << errors_;
  ASSERT_TRUE(fs::exists(root_ / "out/Method/5en_test"));
  fs::remove(root_ / "src/method/5en_test.dic");
  files_.erase("method/5en_test.dic");
  ASSERT_EQ(Compile(), 0) << errors_;
  // A dictionary whose source is gone must not be installed any more.
  EXPECT_FALSE(fs::exists(root_ / "out/Method/5en_test"));
  EXPECT_TRUE(fs::exists(root_ / "out/Method/1jp_test"));
}

// The build's distribution folder holds every delivered file, and every
// delivered dictionary passes the checker's own reader.
TEST(DeliveredData, EveryFileIsThereAndEveryDictionaryLoads) {
  const fs::path dist = fs::path(ZVRX_BINARY_DIR) / "Installer Resources";
  ASSERT_TRUE(fs::is_directory(dist / "Method")) << "build the zvrx_data target first";
  for (const char* name : {"ZVRd-128", "ZVRd-129", "kZVj-128", "ZVRk-128", "ZVRk-129"}) {
    EXPECT_TRUE(fs::exists(dist / "Zvrx Staffs" / name)) << name;
  }
  for (int n = 1; n <= 15; ++n) {
    char name[8];
    std::snprintf(name, sizeof name, "ISO5%02d", n);
    EXPECT_TRUE(fs::exists(dist / "Zvrx Staffs" / name)) << name;
  }
  int per_language[2] = {0, 0};
  for (const auto& item : fs::directory_iterator(dist / "Method")) {
    const std::string name = item.path().filename().string();
    if (name[0] < '0' || name[0] > '9') continue;  // companion files
    SCOPED_TRACE(name);
    const std::string bytes = ReadAll(item.path());
    MethodDictionary loaded;
    ASSERT_TRUE(ParseDictionaryFile(bytes.data(), bytes.size(), loaded));
    const std::string companion_name = loaded.header.companion_name;
    if (!companion_name.empty()) {
      const std::string companion = ReadAll(dist / "Method" / companion_name);
      EXPECT_TRUE(AttachCompanion(companion.data(), companion.size(), loaded));
    }
    EXPECT_LE(std::string(loaded.category()).size(), size_t{kMaxCategoryLength});
    ASSERT_TRUE(loaded.language() == 0 || loaded.language() == 1);
    ++per_language[loaded.language()];
  }
  EXPECT_GE(per_language[kLanguageJapanese], 4);
  EXPECT_GE(per_language[kLanguageEnglish], 3);
}

}  // namespace
}  // namespace zvrx
