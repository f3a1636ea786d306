#include "checker/analysis/analysis_state.h"

#include "checker/analysis/analysis_tables.h"
#include "checker/analysis/method_dictionaries.h"
#include "shared/records.h"

namespace zvrx {

static_assert(sizeof(JudgmentSettings::european_charsets) == kEuropeanTableSize);

void TakeJudgmentChoices(AnalysisState& state, const JudgmentSettings& judgment) {
  state.scoring.strictness = judgment.strictness;
  state.foreign_handling = judgment.foreign_handling;
  state.unknown_format_handling = judgment.unknown_format_handling;
}

void ReloadLanguageTables(AnalysisState& state, const JudgmentSettings* judgment) {
  LoadMethodDictionaries(state.scoring.dictionaries, judgment);
  BuildEuropeanCharsetList(state.european,
                           judgment != nullptr ? &judgment->european_charsets[0][0] : nullptr);
}

void LoadAnalysisState(AnalysisState& state, const JudgmentSettings* judgment) {
  LoadAnalysisTables(state.scoring.tables, state.lists);
  if (judgment != nullptr) TakeJudgmentChoices(state, *judgment);
  LoadMethodDictionaries(state.scoring.dictionaries, judgment);
  LoadRejectionList(state.lists.rejection);
  LoadAcceptanceList(state.lists.acceptance);
  BuildEuropeanCharsetList(state.european,
                           judgment != nullptr ? &judgment->european_charsets[0][0] : nullptr);
}

int16_t LevelAfterLoading(int16_t stored_level, const AnalysisState& state) {
  return state.scoring.dictionaries.count == 0 ? int16_t{0} : stored_level;
}

}  // namespace zvrx
