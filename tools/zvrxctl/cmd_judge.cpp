// zvrxctl judge: judges message files exactly as a check would judge the
// same messages on the server, with the prefix's delivered data, lists and
// judgment settings, and writes nothing (no log entry, no marker).
#include <cstdio>
#include <string>
#include <vector>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/judgment.h"
#include "checker/analysis/parse_top.h"
#include "checker/core/message_file.h"
#include "platform/cp932.h"
#include "shared/extension_settings.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "tools/zvrxctl/commands.h"

namespace zvrx::ctl {

namespace {

// More than any TOP text can hold, even before LF becomes CR LF.
constexpr size_t kReadLimit = kBodyTextSize;

bool ReadMessageFile(const std::string& host_path, std::string& raw) {
  std::FILE* file = std::fopen(host_path.c_str(), "rb");
  if (file == nullptr) return false;
  raw.assign(kReadLimit, '\0');
  size_t got = std::fread(raw.data(), 1, raw.size(), file);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  raw.resize(got);
  return !failed;
}

void PrintDetails(const std::string& name, const AnalysisState& state,
                  const JudgmentResult& result) {
  if (!result.analysed) {
    std::fprintf(stderr, "%s: not analysed\n", name.c_str());
    return;
  }
  const ScoreDetails& d = result.details;
  std::fprintf(stderr, "%s: class %d, L=%d S=%lld R=%lld T=%lld\n", name.c_str(),
               result.language_class, d.length, static_cast<long long>(d.subject_score),
               static_cast<long long>(d.recipient_score), static_cast<long long>(d.threshold));
  const auto& dictionaries = state.scoring.dictionaries.dictionaries;
  for (size_t j = 0; j < dictionaries.size() && j < kMaxDictionaries; ++j) {
    if (dictionaries[j].language() != result.language_class) continue;
    std::fprintf(stderr, "  %s %s: %lld", dictionaries[j].file_name.c_str(),
                 platform::Cp932ToUtf8(dictionaries[j].category()).c_str(),
                 static_cast<long long>(d.scores[j]));
    if (d.extra[j] != 0) std::fprintf(stderr, " (brand %lld)", static_cast<long long>(d.extra[j]));
    std::fputc('\n', stderr);
  }
  const BrandFinding& brand = result.brand;
  if (brand.brand >= 0) {
    const auto& brands = state.scoring.tables.brands.brands;
    std::fprintf(stderr, "  brand %s: sender %s, %d of %d links elsewhere, %s\n",
                 platform::Cp932ToUtf8(brands[brand.brand].names.front()).c_str(),
                 brand.sender_own ? "its own" : "not its own", brand.foreign_links, brand.links,
                 brand.scored ? "scored" : "not scored");
  }
  if (result.quoted_warning_kept) {
    std::fprintf(stderr, "  quoted warning: kept, scored without its quotations (with them: %s)\n",
                 platform::Cp932ToUtf8(result.quoted_category).c_str());
  }
  const LearnedOutcome& learned = result.learned;
  if (learned.scored) {
    std::fprintf(stderr, "  learned: %lld (threshold %lld)%s%s\n",
                 static_cast<long long>(learned.score), static_cast<long long>(learned.threshold),
                 learned.deleted ? ", deletes" : "", learned.vetoed ? ", overrules the dictionaries" : "");
  }
}

}  // namespace

int RunJudge(const Args& args) {
  int level_override = -1;
  bool verbose = false;
  size_t i = 0;
  for (; i < args.size(); ++i) {
    if (args[i] == "--level") {
      if (i + 1 >= args.size() || args[i + 1].size() != 1 || args[i + 1][0] < '0' ||
          args[i + 1][0] > '2') {
        return Fail("judge: --level must be 0, 1 or 2");
      }
      level_override = args[++i][0] - '0';
    } else if (args[i] == "-v") {
      verbose = true;
    } else {
      break;
    }
  }
  if (i >= args.size()) return Fail("judge: no message file given");

  BasicSettings basic{};
  LoadBasicSettings(basic);
  JudgmentSettings judgment{};
  const bool have_judgment = LoadJudgmentSettings(judgment);
  AnalysisState state;
  LoadAnalysisState(state, have_judgment ? &judgment : nullptr);
  // A verdict from refused data would not be the checker's; say what is off.
  for (const std::string& line : DataProblemLines(state)) {
    std::fprintf(stderr, "zvrxctl: judge: %s\n", line.c_str());
  }
  TakeExtensionChoices(state, LoadExtensionSettings());
  int16_t level = LevelAfterLoading(basic.inspection_level, state);
  // An explicit level works like settings delivered after start-up.
  if (level_override >= 0) level = static_cast<int16_t>(level_override);

  int status = 0;
  ShiftJisConverter converter;
  BodyBuffer body;
  const JudgmentEffects no_effects;  // nothing counted, marked or logged
  for (size_t k = i; k < args.size(); ++k) {
    const std::string& name = args[k];
    std::string raw;
    if (!ReadMessageFile(name, raw)) {
      Fail("judge: cannot read " + name);
      status = 2;
      continue;
    }
    MessageFileToTopText(raw, body);
    MailRecord record{};
    ParseTop(body.data(), body.text_length, record, converter, state.modern_mail, state.european);
    JudgmentResult result;
    JudgeMail(state, level, record, body.data(), body.text_length, no_effects, &result);
    if (result.verdict == kVerdictDelete) {
      std::printf("%s\tdelete\t%s\n", name.c_str(), platform::Cp932ToUtf8(result.category).c_str());
    } else {
      std::printf("%s\tkeep\n", name.c_str());
    }
    if (verbose) {
      std::fflush(stdout);
      PrintDetails(name, state, result);
    }
  }
  if (std::fflush(stdout) != 0) status = 2;
  return status;
}

}  // namespace zvrx::ctl
