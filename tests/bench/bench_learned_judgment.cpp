// Cost of the learned judgment's step per message (the tokens of the
// analysis text, Subject and From, and their score) on 1 KB and 20 KB
// texts in both languages, with the model of the build's delivered data,
// beside the dictionaries' scan that bench_analyse_text measures.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "checker/analysis/learned_judgment.h"
#include "platform/cp932.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

const char* const kJapanese =
    "いつもご利用いただきありがとうございます。お客様のアカウントに異常なログインが"
    "確認されました。下記のリンクから本人確認をお願いします。会議の資料を添付しました。\r\n";
const char* const kEnglish =
    "Dear customer, we noticed unusual sign-in activity on your account. Please verify your "
    "identity within 24 hours. Thanks for the meeting notes, see you on Friday.\r\n";

struct Fixture {
  LearnedModel model;
  Fixture() {
    test::TempPrefix prefix;
    if (prefix.InstallDeliveredData()) {
      std::vector<DataProblem> problems;
      LoadLearnedModel(model, problems);
    }
  }
};

// Arguments: text bytes, language.
void BM_LearnedJudgment(benchmark::State& bench) {
  static Fixture fixture;
  if (!fixture.model.loaded) {
    bench.SkipWithError("no learned model in the build's distribution folder");
    return;
  }
  const int32_t language = static_cast<int32_t>(bench.range(1));
  const std::string paragraph =
      language == 0 ? platform::Utf8ToCp932(kJapanese) : std::string(kEnglish);
  std::string text;
  while (text.size() < static_cast<size_t>(bench.range(0))) text += paragraph;
  text.resize(static_cast<size_t>(bench.range(0)));
  MailRecord record{};
  std::snprintf(record.subject, sizeof record.subject, "Your account");
  std::snprintf(record.from, sizeof record.from, "Service Desk <desk@example.com>");
  std::vector<uint64_t> tokens;
  for (auto _ : bench) {
    LearnedTokens(text.c_str(), record, language, 0, tokens);
    benchmark::DoNotOptimize(LearnedScore(fixture.model, tokens));
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations()) * bench.range(0));
}

BENCHMARK(BM_LearnedJudgment)
    ->ArgNames({"bytes", "lang"})
    ->ArgsProduct({{1024, 20000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zvrx
