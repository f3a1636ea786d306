// Damaged or missing delivered data is refused, never trusted: with any
// one delivered file emptied, cut, overwritten with random bytes or 0xFF,
// or replaced by a folder, no legitimate corpus message is deleted and the
// refusal is reported. A refused threshold file or Subject table switches
// the text analysis off (the judgment falls back to the rejection list as
// without dictionaries); a refused sign list or dictionary is left out.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/analysis_tables.h"
#include "checker/analysis/judgment.h"
#include "checker/analysis/lists.h"
#include "checker/analysis/parse_message.h"
#include "checker/core/message_file.h"
#include "shared/records.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

const std::string kCorpusFolder = ZVRX_SOURCE_DIR "/tests/corpus";

const char* const kLegitimate[] = {"ja-ham-01.eml", "ja-ham-02.eml", "ja-ham-03.eml",
                                   "ja-ham-04.eml", "ja-ham-05.eml", "en-ham-01.eml",
                                   "en-ham-02.eml", "en-ham-03.eml", "en-ham-04.eml",
                                   "en-ham-05.eml"};

struct Damage {
  const char* name;
  std::function<void(const fs::path&)> apply;
};

std::string Bytes(const fs::path& file) { return test::ReadHostFile(file.string()); }

const Damage kDamages[] = {
    {"emptied", [](const fs::path& f) { test::WriteHostFile(f.string(), ""); }},
    {"cut by its last byte",
     [](const fs::path& f) {
       std::string b = Bytes(f);
       test::WriteHostFile(f.string(), b.substr(0, b.size() - 1));
     }},
    {"cut in half",
     [](const fs::path& f) {
       std::string b = Bytes(f);
       test::WriteHostFile(f.string(), b.substr(0, b.size() / 2));
     }},
    {"random bytes of its size",
     [](const fs::path& f) {
       std::string b = Bytes(f);
       std::mt19937 random(20261210);
       for (char& c : b) c = static_cast<char>(random() & 0xFF);
       test::WriteHostFile(f.string(), b);
     }},
    {"0xFF bytes of its size",
     [](const fs::path& f) {
       test::WriteHostFile(f.string(), std::string(Bytes(f).size(), '\xff'));
     }},
    {"a folder in its place",
     [](const fs::path& f) {
       fs::remove(f);
       fs::create_directories(f / "sub");
     }},
    {"missing", [](const fs::path& f) { fs::remove(f); }},
};

struct Target {
  const char* file;             // under the install root
  const char* reported_as;      // the name in the report
  bool switches_analysis_off;   // thresholds and Subject tables
  // A sign list cut at a line end is a shorter sound list, and a
  // dictionary that is not there cannot be missed: those rows do not apply.
  bool lines = false;
  bool listed = false;
};

const Target kTargets[] = {
    {"Zvrx Staffs/kZVj-128", "kZVj-128", true},
    {"Zvrx Staffs/ZVRd-128", "ZVRd-128", true},
    {"Zvrx Staffs/ZVRd-129", "ZVRd-129", true},
    {"Zvrx Staffs/ZVRk-128", "ZVRk-128", false, true},
    {"Zvrx Staffs/ZVRk-129", "ZVRk-129", false, true},
    {"Method/", "Method\\", false, false, true},  // the first dictionary, named below
};

// The first delivered dictionary in load order.
std::string FirstDictionary(const fs::path& method) {
  std::string first;
  for (const auto& entry : fs::directory_iterator(method)) {
    const std::string name = entry.path().filename().string();
    if (name[0] >= '0' && name[0] <= '9' && (first.empty() || name < first)) first = name;
  }
  return first;
}

// Verdicts of the legitimate messages at the level the checker would use
// after loading (a stored comprehensive level).
std::vector<std::string> DeletedLegitimate(AnalysisState& state) {
  const int16_t level = LevelAfterLoading(kLevelComprehensive, state);
  std::vector<std::string> deleted;
  ShiftJisConverter converter;
  BodyBuffer body;
  for (const char* name : kLegitimate) {
    const std::string raw = test::ReadHostFile(kCorpusFolder + "/" + name);
    EXPECT_FALSE(raw.empty()) << name;
    MessageFileToTopText(raw, body);
    MailRecord record{};
    ParseMessage(body.data(), body.text_length, record, converter);
    JudgmentResult result;
    JudgeMail(state, level, record, body.data(), body.text_length, JudgmentEffects{}, &result);
    if (result.verdict == kVerdictDelete) deleted.push_back(name);
  }
  return deleted;
}

bool Reported(const AnalysisState& state, const std::string& file) {
  for (const DataProblem& problem : DataProblems(state)) {
    if (problem.file == file) return true;
  }
  return false;
}

class DamagedDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(prefix_.InstallDeliveredData()) << "build the delivered data first";
  }
  test::TempPrefix prefix_;
};

// The fixture shows the fault it guards against: the ten messages are kept
// with the delivered data, and some of them would be deleted by the zero
// thresholds a refused file used to leave behind.
TEST_F(DamagedDataTest, TheLegitimateMessagesAreKeptAndZeroThresholdsWouldDeleteThem) {
  AnalysisState state;
  JudgmentSettings judgment{};
  LoadAnalysisState(state, &judgment);
  EXPECT_TRUE(DataProblems(state).empty()) << DataProblemLines(state)[0];
  EXPECT_FALSE(state.scoring.tables.text_analysis_off);
  EXPECT_GE(state.scoring.dictionaries.count, 7);
  EXPECT_EQ(DeletedLegitimate(state), std::vector<std::string>{});

  for (int32_t& p : state.scoring.tables.thresholds) p = 0;
  EXPECT_FALSE(DeletedLegitimate(state).empty());
}

TEST_F(DamagedDataTest, EveryDamagedFileIsRefusedReportedAndDeletesNothing) {
  const fs::path root = prefix_.InstallRootHost();
  const std::string dictionary = FirstDictionary(root / "Method");
  ASSERT_FALSE(dictionary.empty());
  int dictionaries = 0;
  {
    AnalysisState intact;
    LoadAnalysisState(intact, nullptr);
    dictionaries = intact.scoring.dictionaries.count;
  }
  for (const Target& target : kTargets) {
    const std::string extra = target.listed ? dictionary : std::string();
    const fs::path file = root / (target.file + extra);
    const std::string reported_as = target.reported_as + extra;
    const std::string original = Bytes(file);
    ASSERT_FALSE(original.empty()) << file;
    for (const Damage& damage : kDamages) {
      const std::string name = damage.name;
      if ((target.lines && name == "cut in half") || (target.listed && name == "missing")) {
        continue;
      }
      SCOPED_TRACE(file.string() + " " + damage.name);
      fs::remove_all(file);
      test::WriteHostFile(file.string(), original);
      damage.apply(file);

      AnalysisState state;
      JudgmentSettings judgment{};
      LoadAnalysisState(state, &judgment);
      EXPECT_TRUE(Reported(state, reported_as));
      EXPECT_EQ(DeletedLegitimate(state), std::vector<std::string>{});
      EXPECT_EQ(state.scoring.tables.text_analysis_off, target.switches_analysis_off);
      if (target.switches_analysis_off) {
        // As without dictionaries: the stored comprehensive level falls back.
        EXPECT_EQ(state.scoring.dictionaries.count, 0);
        EXPECT_EQ(LevelAfterLoading(kLevelComprehensive, state), kLevelRejectionList);
        EXPECT_EQ(DataProblemLines(state).back(),
                  "text analysis off: mail is judged by the rejection list only");
      } else {
        // Only the refused file is left out; the other dictionaries work.
        EXPECT_EQ(state.scoring.dictionaries.count, dictionaries - (target.listed ? 1 : 0));
      }
    }
    fs::remove_all(file);
    test::WriteHostFile(file.string(), original);
  }
}

// Values the data compiler never writes, one per row, in otherwise sound
// files: each is refused with its reason.
TEST(DamagedTablesTest, ValuesOutsideTheCompilersRangesAreRefused) {
  struct Row {
    const char* rule;
    std::array<int32_t, 8> p;
    bool sound;
  };
  const Row thresholds[] = {
      {"the delivered kind of values", {5500, 300, 4000, 200, 3000, 100, 4000, 100}, true},
      {"all zero is what a source of zeros compiles to", {0, 0, 0, 0, 0, 0, 0, 0}, true},
      {"a negative slope", {5500, -1, 4000, 200, 3000, 100, 4000, 100}, false},
      {"a base beyond 100000", {100001, 300, 4000, 200, 3000, 100, 4000, 100}, false},
      {"a knee beyond 20000", {5500, 300, 4000, 200, 3000, 100, 20001, 100}, false},
      {"a slope beyond the knee above 10000", {5500, 300, 4000, 200, 3000, 100, 4000, 10001},
       false},
      {"lenient below standard", {3999, 300, 4000, 200, 3000, 100, 4000, 100}, false},
      {"standard slope below strict", {5500, 300, 4000, 99, 3000, 100, 4000, 100}, false},
  };
  for (const Row& row : thresholds) {
    std::string bytes(kThresholdFileSize, '\0');
    for (int i = 0; i < kThresholdCount; ++i) {
      WriteBe32(bytes.data() + 4 * i, static_cast<uint32_t>(row.p[i]));
    }
    int32_t p[kThresholdCount];
    std::string why;
    EXPECT_EQ(ParseThresholds(bytes.data(), bytes.size(), p, &why), row.sound) << row.rule;
    EXPECT_EQ(why.empty(), row.sound) << row.rule << ": " << why;
    if (!row.sound) {
      for (int32_t v : p) EXPECT_EQ(v, 0) << row.rule;
    }
  }

  auto table = [](int16_t flag, int16_t lower, int16_t upper,
                  std::vector<std::pair<std::string, int32_t>> keywords) {
    std::string bytes(kSubjectHeaderSize + kSubjectRecordSize * keywords.size(), '\0');
    WriteBe16(bytes.data() + kSubjectCaseFlagOffset, static_cast<uint16_t>(flag));
    WriteBe16(bytes.data() + kSubjectLowerOffset, static_cast<uint16_t>(lower));
    WriteBe16(bytes.data() + kSubjectUpperOffset, static_cast<uint16_t>(upper));
    WriteBe16(bytes.data() + kSubjectCountOffset, static_cast<uint16_t>(keywords.size()));
    for (size_t r = 0; r < keywords.size(); ++r) {
      char* record = bytes.data() + kSubjectHeaderSize + kSubjectRecordSize * r;
      keywords[r].first.copy(record, kSubjectKeywordSize);
      WriteBe32(record + kSubjectWeightOffset, static_cast<uint32_t>(keywords[r].second));
    }
    return bytes;
  };
  struct TableRow {
    const char* rule;
    std::string bytes;
    bool sound;
  };
  const TableRow tables[] = {
      {"sound", table(0, 1500, 6000, {{"viagra", 1500}, {"casino", -10000}}), true},
      {"a case flag of 2", table(2, 1500, 6000, {{"viagra", 1500}}), false},
      {"a negative lower bound", table(0, -1, 6000, {{"viagra", 1500}}), false},
      {"upper not above lower", table(0, 1500, 1500, {{"viagra", 1500}}), false},
      {"a weight beyond 10000", table(0, 1500, 6000, {{"viagra", 10001}}), false},
      {"an empty keyword", table(0, 1500, 6000, {{"", 10}}), false},
      {"a keyword filling its field", table(0, 1500, 6000, {{std::string(36, 'k'), 10}}), false},
      {"bytes after the keyword's end", table(0, 1500, 6000, {{std::string("ab\0cd", 5), 10}}),
       false},
      {"weights times the upper bound beyond 32 bits",
       table(0, 0, 32767, {{"aaa", 10000}, {"bbb", 10000}, {"ccc", 10000}, {"ddd", 10000},
                           {"eee", 10000}, {"fff", 10000}, {"ggg", 10000}}),
       false},
      {"a byte after the last record", table(0, 1500, 6000, {{"viagra", 1500}}) + "x", false},
  };
  for (const TableRow& row : tables) {
    SubjectTable out;
    std::string why;
    EXPECT_EQ(ParseSubjectTable(row.bytes.data(), row.bytes.size(), out, &why), row.sound)
        << row.rule;
    EXPECT_EQ(out.present, row.sound) << row.rule << ": " << why;
  }
}

TEST(DamagedTablesTest, SignListsMustBeTheCompilersLines) {
  struct Row {
    const char* rule;
    std::string text;
    bool sound;
  };
  const Row rows[] = {
      {"lines ending in CR LF", "@localhost>\r\nanon-mailer@\r\n", true},
      {"Shift-JIS text and a TAB", "\x83\x81\x81\x5b\x83\x8b\tx\r\n", true},
      {"a line of 63 bytes", std::string(63, 'a') + "\r\n", true},
      {"a line of 64 bytes", std::string(64, 'a') + "\r\n", false},
      {"the last line without CR LF", "@localhost>\r\nanon", false},
      {"a bare LF", "a\nb\r\n", false},
      {"a bare CR", "a\rb\r\n", false},
      {"a NUL inside", std::string("a\0b\r\n", 5), false},
  };
  for (const Row& row : rows) {
    std::string why;
    EXPECT_EQ(CheckSignListText(row.text.data(), row.text.size(), &why), row.sound) << row.rule;
  }
}

}  // namespace
}  // namespace zvrx
