// The labelled sample corpus judged at the comprehensive level with the
// delivered data, as installed from the build's distribution folder: at the
// standard strictness no legitimate message may be deleted and at least 85%
// of the spam must be. The figures of all three strictness levels are
// printed, with the scores of every message judged wrongly.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/judgment.h"
#include "checker/analysis/parse_message.h"
#include "checker/core/message_file.h"
#include "platform/cp932.h"
#include "shared/records.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

const std::string kCorpusFolder = ZVRX_SOURCE_DIR "/tests/corpus";

struct Labelled {
  std::string file;
  bool spam = false;
  std::string category;  // UTF-8, "-" for legitimate mail
};

std::vector<Labelled> ReadLabels() {
  std::vector<Labelled> labels;
  std::ifstream in(kCorpusFolder + "/labels.tsv");
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    Labelled entry;
    std::string label;
    std::getline(fields, entry.file, '\t');
    std::getline(fields, label, '\t');
    std::getline(fields, entry.category, '\t');
    entry.spam = label == "spam";
    labels.push_back(entry);
  }
  return labels;
}

struct Figures {
  int ham = 0;
  int ham_deleted = 0;
  int spam = 0;
  int spam_deleted = 0;
  std::string report;  // every message judged wrongly, with its scores
};

std::string Scores(const AnalysisState& state, const JudgmentResult& result) {
  if (!result.analysed) return " (not analysed)";
  const ScoreDetails& d = result.details;
  std::string text = " class " + std::to_string(result.language_class) +
                     " L=" + std::to_string(d.length) + " S=" + std::to_string(d.subject_score) +
                     " R=" + std::to_string(d.recipient_score) +
                     " T=" + std::to_string(d.threshold) + ":";
  const auto& dictionaries = state.scoring.dictionaries.dictionaries;
  for (size_t j = 0; j < dictionaries.size() && j < kMaxDictionaries; ++j) {
    if (dictionaries[j].language() != result.language_class) continue;
    text += " " + dictionaries[j].file_name + "=" + std::to_string(d.scores[j]);
  }
  return text;
}

Figures JudgeCorpus(const std::vector<Labelled>& labels, int16_t strictness) {
  // A user who has Western European mail read as English (the first box
  // of the European-languages dialog) and otherwise the page's defaults.
  JudgmentSettings judgment{};
  judgment.strictness = strictness;
  judgment.european_charsets[1][0] = 1;
  AnalysisState state;
  LoadAnalysisState(state, &judgment);
  EXPECT_GE(state.scoring.dictionaries.count, 7);

  Figures figures;
  ShiftJisConverter converter;
  BodyBuffer body;
  for (const Labelled& entry : labels) {
    std::string raw = test::ReadHostFile(kCorpusFolder + "/" + entry.file);
    EXPECT_FALSE(raw.empty()) << entry.file;
    MessageFileToTopText(raw, body);
    MailRecord record{};
    ParseMessage(body.data(), body.text_length, record, converter);
    JudgmentResult result;
    JudgeMail(state, kLevelComprehensive, record, body.data(), body.text_length,
              JudgmentEffects{}, &result);
    const bool deleted = result.verdict == kVerdictDelete;
    const std::string category = platform::Cp932ToUtf8(result.category);
    if (entry.spam) {
      ++figures.spam;
      if (deleted) ++figures.spam_deleted;
    } else {
      ++figures.ham;
      if (deleted) ++figures.ham_deleted;
    }
    const bool wrong = entry.spam ? (!deleted || category != entry.category) : deleted;
    if (wrong) {
      figures.report += "  " + entry.file + ": " + (deleted ? "deleted as " + category : "kept") +
                        ", labelled " + entry.category + Scores(state, result) + "\n";
    }
  }
  return figures;
}

TEST(CorpusTest, DeliveredDataAtTheComprehensiveLevel) {
  std::vector<Labelled> labels = ReadLabels();
  ASSERT_GE(labels.size(), 80u);

  test::TempPrefix prefix;
  ASSERT_TRUE(prefix.InstallDeliveredData()) << "build the delivered data first";

  for (int16_t strictness : {int16_t{-1}, int16_t{0}, int16_t{1}}) {
    Figures f = JudgeCorpus(labels, strictness);
    std::printf("strictness %2d: spam deleted %d/%d (%.1f%%), legitimate deleted %d/%d\n%s",
                strictness, f.spam_deleted, f.spam, 100.0 * f.spam_deleted / f.spam,
                f.ham_deleted, f.ham, f.report.c_str());
    if (strictness == 0) {
      EXPECT_EQ(f.ham_deleted, 0);
      EXPECT_GE(f.spam_deleted * 100, f.spam * 85);
    }
  }
}

}  // namespace
}  // namespace zvrx
