#include "checker/core/configuration.h"

#include <cstring>

#include "checker/analysis/analysis_tables.h"
#include "checker/analysis/european_charsets.h"
#include "checker/analysis/lists.h"
#include "checker/analysis/method_dictionaries.h"
#include "checker/core/scheduler.h"
#include "platform/files.h"
#include "platform/socket_stream.h"
#include "shared/locations.h"
#include "shared/record_files.h"
#include "shared/records.h"

namespace zvrx {

namespace {

// Without "ZVoi128" an automatic check that finds mail shows its dialog.
constexpr uint16_t kDefaultOptionBits = kOptAutoDialog;

const uint8_t* EuropeanTable(const JudgmentSettings& judgment) {
  return &judgment.european_charsets[0][0];
}

}  // namespace

bool LoadConfiguration(CheckerState& state) {
  SettingsRecords& records = state.transfer.records;
  AnalysisState& analysis = state.analysis;

  // The analysis limits (exponent 3, factors 80, 100, 120) are constants of
  // the text scoring. Then the delivered tables; a missing file leaves its
  // table empty. The anonymous-sign lists go straight into their slots.
  LoadAnalysisTables(analysis.scoring.tables, analysis.lists);
  // The learned judgment's model comes with the tables; the option that
  // switches it is read at every check.
  analysis.learned_problems.clear();
  LoadLearnedModel(analysis.learned, analysis.learned_problems);

  state.counters = CheckCounters{};

  if (!platform::FolderExists(DataFolder())) {
    Post(state, kTranStartupError, {.p1 = kFatalNoDataFolder});
    FatalError(state, kFatalNoDataFolder);
    return false;
  }

  BasicSettings basic{};
  if (!LoadBasicSettings(basic)) {
    Post(state, kTranNoBasicSettings);
    FatalError(state, kFatalNoBasicSettings);
    return false;
  }
  records.basic = basic;
  for (int16_t& apop : state.apop_state) apop = 0;

  records.options.option_bits = kDefaultOptionBits;

  MailerSettings mailer{};
  if (LoadMailerSettings(mailer)) {
    std::memcpy(&records.mailer, &mailer, kMailerSettingsCheckerPart);
  }

  NotifyOptions options{};
  if (LoadNotifyOptions(options)) {
    records.options.option_bits = options.option_bits;
    records.options.word1 = options.word1;
    records.basic.launch_flags = 1;  // derived again below
  }

  JudgmentSettings judgment{};
  state.have_judgment_settings = LoadJudgmentSettings(judgment);
  if (state.have_judgment_settings) {
    records.judgment = judgment;
    TakeJudgmentChoices(analysis, records.judgment);
    LoadDictionaries(analysis, &records.judgment);
  } else {
    LoadDictionaries(analysis, nullptr);
  }

  // Without a single dictionary the comprehensive judgment cannot work.
  records.basic.inspection_level = LevelAfterLoading(records.basic.inspection_level, analysis);

  LoadRejectionList(analysis.lists.rejection);
  LoadAcceptanceList(analysis.lists.acceptance);
  BuildEuropeanCharsetList(analysis.european,
                           state.have_judgment_settings ? EuropeanTable(records.judgment) : nullptr);

  records.basic.launch_flags = DeriveLaunchFlags(records.options.option_bits);

  // Refused data is never used quietly: the user hears of it once per start.
  const std::vector<std::string> problems = DataProblemLines(analysis);
  if (!problems.empty() && !state.data_problems_shown && state.ui != nullptr) {
    state.data_problems_shown = true;
    state.ui->ShowDataProblems(problems);
  }
  return true;
}

bool StartWorker(CheckerState& state) {
  state.last_check_time = PackedMinutesNow();
  if (!platform::NetworkAvailable()) {
    FatalError(state, kFatalNoNetwork);
    return false;
  }
  // The receive buffers are part of the connection and cannot fail here.
  state.startup_check_pending = true;
  return LoadConfiguration(state);
}

void WorkerMain(CheckerState& state) {
  if (!StartWorker(state)) return;
  RunScheduler(state);
}

void ApplyDelivery(CheckerState& state, const DeliveryResult& delivery) {
  if (!delivery.taken) return;
  AnalysisState& analysis = state.analysis;
  const JudgmentSettings& judgment = state.transfer.records.judgment;
  TakeJudgmentChoices(analysis, judgment);
  if (delivery.list_reload == ListReload::kAcceptance) {
    LoadAcceptanceList(analysis.lists.acceptance);
  } else if (delivery.list_reload == ListReload::kRejection) {
    LoadRejectionList(analysis.lists.rejection);
  }
  if (delivery.languages_changed) ReloadLanguageTables(analysis, &judgment);
}

}  // namespace zvrx
