// Everything the judgment of a message reads and remembers, bundled so the
// checker's state embeds one of these and tests and tools make their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "checker/analysis/data_problem.h"
#include "checker/analysis/european_charsets.h"
#include "checker/analysis/learned_judgment.h"
#include "checker/analysis/lists.h"
#include "checker/analysis/mail_record.h"
#include "checker/analysis/text_scoring.h"
#include "shared/extension_settings.h"

namespace zvrx {

struct JudgmentSettings;

// One slot per compared value: 255 bytes and a NUL.
inline constexpr int kDuplicateSlotSize = 256;
inline constexpr int kDuplicateBodyBytes = kDuplicateSlotSize - 1;

// The previous message that reached the duplicate test; it lives as long as
// the process, across accounts and checks.
struct DuplicateMemory {
  bool filled = false;  // nothing remembered before the first test
  char from[kDuplicateSlotSize] = {};
  char subject[kDuplicateSlotSize] = {};
  char body[kDuplicateSlotSize] = {};
};

struct AnalysisState {
  MailLists lists;                 // acceptance, rejection, anonymous A and B
  ScoringState scoring;            // tables, dictionaries, strictness, buffer
  EuropeanCharsetList european;    // names read as English
  DuplicateMemory duplicates;
  int16_t foreign_handling = 0;         // neither Japanese nor English: 0 keep, 1 English, 2 delete
  int16_t unknown_format_handling = 0;  // unclear format: 0 keep, 1 as text, 2 delete
  // The extension option modern_mail (ZVRXExt.ini), read afresh for every
  // check; off, the written decoding alone reads the mail.
  bool modern_mail = false;
  // The extension option learned_judgment, read afresh for every check, and
  // the delivered model it judges with (loaded with the tables).
  bool learned_judgment = false;
  LearnedModel learned;
  std::vector<DataProblem> learned_problems;
  // The extension option brand_check (ZVRXExt.ini), read like modern_mail;
  // on, a message that names a brand of the delivered table but is not on
  // the brand's domains scores higher as that brand's kind of phishing.
  bool brand_check = false;
  // The extension option quoted_warnings, read like modern_mail; on, a
  // Japanese warning about fraud mail that the dictionaries would delete is
  // scored once more without its quotations (quoted_warning.h).
  bool quoted_warnings = false;
};

// Takes the judgment's options of the extension settings file (today's
// mail, the learned judgment, the brand check, the guard for quoted
// warnings), read afresh for every check.
void TakeExtensionChoices(AnalysisState& state, const ExtensionSettings& extension);

// Takes words 0 to 2 of the judgment settings: strictness and the two
// handling choices. Done for every loaded or delivered record.
void TakeJudgmentChoices(AnalysisState& state, const JudgmentSettings& judgment);

// Loads the Method dictionaries without the switched-off ones; while the
// text analysis is off (thresholds or a Subject table refused) none is
// kept, so the judgment falls back as when no dictionary loads.
void LoadDictionaries(AnalysisState& state, const JudgmentSettings* judgment);

// Reloads the Method dictionaries without the switched-off ones and
// rebuilds the European charset list (`judgment` may be null: no record).
void ReloadLanguageTables(AnalysisState& state, const JudgmentSettings* judgment);

// Loads what the judgment needs at start-up, in the checker's order: the
// delivered tables and sign lists, the judgment settings with the
// dictionaries, then the user's lists and the European charset list.
void LoadAnalysisState(AnalysisState& state, const JudgmentSettings* judgment);

// The inspection level the checker works with after loading its settings:
// without a single dictionary the comprehensive judgment cannot work, so
// the rejection-list level (0) replaces whatever was stored.
int16_t LevelAfterLoading(int16_t stored_level, const AnalysisState& state);

// Every refused or missing delivered file of the last loads: the tables and
// sign lists first, then the dictionaries.
std::vector<DataProblem> DataProblems(const AnalysisState& state);

// The report of those problems, one line per file, with a last line saying
// that the text analysis is off when it is; empty when the data is sound.
std::vector<std::string> DataProblemLines(const AnalysisState& state);

}  // namespace zvrx
