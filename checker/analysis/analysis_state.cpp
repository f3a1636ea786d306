#include "checker/analysis/analysis_state.h"

#include "checker/analysis/analysis_tables.h"
#include "checker/analysis/method_dictionaries.h"
#include "shared/extension_settings.h"
#include "shared/locations.h"
#include "shared/records.h"

namespace zvrx {

static_assert(sizeof(JudgmentSettings::european_charsets) == kEuropeanTableSize);

void TakeExtensionChoices(AnalysisState& state, const ExtensionSettings& extension) {
  state.modern_mail = extension.Bool(kModernMailKey);
  state.learned_judgment = extension.Bool(kLearnedJudgmentKey);
  state.brand_check = extension.Bool(kBrandCheckKey);
  state.quoted_warnings = extension.Bool(kQuotedWarningsKey);
}

void TakeJudgmentChoices(AnalysisState& state, const JudgmentSettings& judgment) {
  state.scoring.strictness = judgment.strictness;
  state.foreign_handling = judgment.foreign_handling;
  state.unknown_format_handling = judgment.unknown_format_handling;
}

void LoadDictionaries(AnalysisState& state, const JudgmentSettings* judgment) {
  LoadMethodDictionaries(state.scoring.dictionaries, judgment, MethodFolder());
  // Loaded all the same, so that a damaged dictionary is still reported.
  if (state.scoring.tables.text_analysis_off) {
    std::vector<DataProblem> problems = std::move(state.scoring.dictionaries.problems);
    ClearDictionaries(state.scoring.dictionaries);
    state.scoring.dictionaries.problems = std::move(problems);
  }
  FoldDictionarySet(state.scoring.dictionaries, state.scoring.folded_dictionaries);
}

void ReloadLanguageTables(AnalysisState& state, const JudgmentSettings* judgment) {
  LoadDictionaries(state, judgment);
  BuildEuropeanCharsetList(state.european,
                           judgment != nullptr ? &judgment->european_charsets[0][0] : nullptr);
}

void LoadAnalysisState(AnalysisState& state, const JudgmentSettings* judgment) {
  LoadAnalysisTables(state.scoring.tables, state.lists);
  state.learned_problems.clear();
  LoadLearnedModel(state.learned, state.learned_problems);
  if (judgment != nullptr) TakeJudgmentChoices(state, *judgment);
  LoadDictionaries(state, judgment);
  LoadRejectionList(state.lists.rejection);
  LoadAcceptanceList(state.lists.acceptance);
  BuildEuropeanCharsetList(state.european,
                           judgment != nullptr ? &judgment->european_charsets[0][0] : nullptr);
}

int16_t LevelAfterLoading(int16_t stored_level, const AnalysisState& state) {
  return state.scoring.dictionaries.count == 0 ? int16_t{0} : stored_level;
}

std::vector<DataProblem> DataProblems(const AnalysisState& state) {
  std::vector<DataProblem> problems = state.scoring.tables.problems;
  const auto& more = state.scoring.dictionaries.problems;
  problems.insert(problems.end(), more.begin(), more.end());
  problems.insert(problems.end(), state.learned_problems.begin(), state.learned_problems.end());
  return problems;
}

std::vector<std::string> DataProblemLines(const AnalysisState& state) {
  std::vector<std::string> lines;
  for (const DataProblem& problem : DataProblems(state)) {
    lines.push_back(DescribeDataProblem(problem));
  }
  if (state.scoring.tables.text_analysis_off) {
    lines.push_back("text analysis off: mail is judged by the rejection list only");
  }
  return lines;
}

}  // namespace zvrx
